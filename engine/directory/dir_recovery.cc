// Recovery: rebuilding the directory from the local headers when the central
// directory is missing or unreadable.
//
// The scan looks for local header signatures front to back. A header is
// taken as an entry only when its name, extra field and data lie inside the
// stream, and the scan then goes on after the entry's data: a signature
// inside the data (a stored archive, say) is not taken for an entry of its
// own, and no two recovered entries share a byte. A header that is not taken
// is passed by 4 bytes. An entry whose flag bit 3 says that its local header
// does not hold its CRC-32 and sizes takes them from the first data
// descriptor after its data whose compressed size is the distance to it
// (APPNOTE 4.3.9; signed, 16 or 24 bytes); a descriptor that does not fit
// belongs to something else. A signature inside entry data cannot always be
// told from a real header, so the scan is a best effort: it finds fewer or
// more entries, but fails only when it finds none at all.
//
// Memory follows what is found, not what headers claim: one item per entry
// taken, and taken entries do not overlap. Both scans move forward only and
// keep their last chunk in memory, and the descriptor scan keeps the
// signatures it passed only while a later entry may still need them, so a
// stream crowded with signatures is still read about once.
//
// The next update writes after the last entry recovered: a damaged directory
// or anything else behind it is not worth keeping, and what lies before is
// never touched.

#include <algorithm>
#include <array>
#include <deque>
#include <optional>
#include <span>
#include <string>

#include "engine/directory/dir_manager.h"
#include "engine/directory/signature_scanner.h"
#include "engine/format/byte_codec.h"
#include "engine/format/data_descriptor.h"
#include "engine/format/entry_name.h"
#include "engine/format/local_header.h"
#include "engine/format/signatures.h"
#include "engine/format/zip64_extra.h"
#include "engine/base/za_exception.h"

namespace tessaly::engine {

namespace {

constexpr int64_t kFindSignatureChunk = 10000;
constexpr int64_t kLocalHeaderChunk = 65535;
constexpr uint16_t kMaxRecoveredExtra = 260;
// Descriptor signatures tried for one entry before it is given up, which
// bounds the work per header on a stream crowded with them.
constexpr size_t kDescriptorCandidates = 256;

// The next local header at or after `from` with a whole fixed header left
// before the end; -1 when none.
int64_t NextLocalHeader(SignatureScanner& scanner, int64_t size, int64_t from) {
  const int64_t q = scanner.Next(from);
  // Later matches lie even closer to the end.
  if (q < 0 || size - q < int64_t{LocalHeader::kFixedSize}) return -1;
  return q;
}

// The sizes of the local Zip64 extra field in `extra`, if there is one.
bool FindLocalZip64Extra(const std::string& extra, LocalZip64Extra& out) {
  const auto* data = reinterpret_cast<const uint8_t*>(extra.data());
  size_t position = 0;
  while (extra.size() - position >= ExtraBlockHeader::kFixedSize) {
    const std::span<const uint8_t> rest(data + position,
                                        extra.size() - position);
    const ExtraBlockHeader header = *ExtraBlockHeader::Decode(rest);
    if (header.id == kZip64ExtraId) {
      if (auto zip64 = LocalZip64Extra::Decode(rest)) {
        out = *zip64;
        return true;
      }
      return false;
    }
    position += ExtraBlockHeader::kFixedSize + header.data_size;
    if (position > extra.size()) break;
  }
  return false;
}

// The data descriptor signatures of the stream, found by one forward scan.
// Queries never start before the header being examined, and headers come in
// ascending order, so signatures behind it are forgotten.
class DescriptorIndex {
 public:
  explicit DescriptorIndex(platform::Stream& stream)
      : scanner_(stream, kDataDescriptorSignature, kLocalHeaderChunk) {}

  // No later query starts before `position`.
  void Forget(int64_t position) {
    while (!known_.empty() && known_.front() < position) known_.pop_front();
    next_ = std::max(next_, position);
  }

  // The k-th signature (from 0) at or after `from`; -1 when there is none.
  int64_t Find(int64_t from, size_t k) {
    const size_t index = static_cast<size_t>(
        std::lower_bound(known_.begin(), known_.end(), from) -
        known_.begin()) + k;
    while (index >= known_.size() && !done_) {
      const int64_t q = scanner_.Next(next_);
      if (q < 0) {
        done_ = true;
        break;
      }
      known_.push_back(q);
      next_ = q + 1;
    }
    return index < known_.size() ? known_[index] : -1;
  }

 private:
  SignatureScanner scanner_;
  std::deque<int64_t> known_;  // ascending
  int64_t next_ = 0;           // where the scan goes on
  bool done_ = false;          // the scan reached the end
};

struct FoundDescriptor {
  int64_t end = 0;  // just after the descriptor
  uint32_t crc32 = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
};

// The first signed descriptor after entry data starting at `data` whose
// compressed size is the distance from `data` to it. The 24-byte form is
// tried first for an entry whose local header is in the Zip64 form.
std::optional<FoundDescriptor> FindDescriptor(DescriptorIndex& index,
                                              platform::Stream& stream,
                                              int64_t size, int64_t data,
                                              bool zip64) {
  for (size_t k = 0; k < kDescriptorCandidates; ++k) {
    const int64_t d = index.Find(data, k);
    const int64_t left = size - d;
    if (d < 0 || left < int64_t{DataDescriptor::kFixedSize}) break;
    std::array<uint8_t, Zip64DataDescriptor::kFixedSize> raw;
    const int64_t n = std::min<int64_t>(left, int64_t{raw.size()});
    if (!ReadAt(stream, d, raw.data(), n)) break;
    const auto bytes = std::span<const uint8_t>(raw).first(
        static_cast<size_t>(n));
    const uint64_t distance = static_cast<uint64_t>(d - data);
    const auto small = DataDescriptor::Decode(bytes);
    const auto large = Zip64DataDescriptor::Decode(bytes);
    const bool small_fits = small && small->compressed_size == distance;
    const bool large_fits = large && large->compressed_size == distance;
    if (large_fits && (zip64 || !small_fits)) {
      return FoundDescriptor{d + int64_t{Zip64DataDescriptor::kFixedSize},
                             large->crc32, large->compressed_size,
                             large->uncompressed_size};
    }
    if (small_fits) {
      return FoundDescriptor{d + int64_t{DataDescriptor::kFixedSize},
                             small->crc32, small->compressed_size,
                             small->uncompressed_size};
    }
  }
  return std::nullopt;
}

// Puts a size or offset into its header field, or 0xFFFFFFFF there and the
// value in its Zip64 field when it does not fit 32 bits.
void SetSize(TDirItem& item, uint32_t& field, uint64_t& zip64_field,
             uint64_t value) {
  if (value >= kZip64Marker32) {
    field = kZip64Marker32;
    zip64_field = value;
    item.HasZip64 = true;
  } else {
    field = static_cast<uint32_t>(value);
  }
}

struct ScanContext {
  platform::Stream& stream;
  int64_t size;
  const SignatureSet& signatures;
  bool oem;
  DescriptorIndex& descriptors;
};

// Reads the entry whose local header stands at `h` into `item`. Returns
// where its bytes end, or -1 when it is not taken: its extra field is
// implausibly long, or its name, data or descriptor do not lie inside the
// stream.
int64_t TakeEntry(ScanContext& scan, int64_t h, TDirItem& item) {
  platform::Stream& stream = scan.stream;
  std::array<uint8_t, LocalHeader::kFixedSize> raw;
  if (!ReadAt(stream, h, raw.data(), static_cast<int64_t>(raw.size()))) {
    return -1;
  }
  const LocalHeader local = *LocalHeader::Decode(raw);
  if (local.extra_length > kMaxRecoveredExtra) return -1;
  const int64_t name_position = h + int64_t{LocalHeader::kFixedSize};
  const int64_t data = name_position + local.name_length + local.extra_length;
  if (data > scan.size) return -1;

  CentralHeader& header = item.header;
  header.signature = scan.signatures.central;
  header.version_made_by = local.version_needed;
  header.version_needed = local.version_needed;
  header.flags = local.flags;
  header.method = local.method;
  header.mod_time = local.mod_time;
  header.mod_date = local.mod_date;
  header.crc32 = local.crc32;
  header.compressed_size = local.compressed_size;
  header.uncompressed_size = local.uncompressed_size;
  header.name_length = local.name_length;
  header.extra_length = local.extra_length;

  // Sizes that stand in the local Zip64 extra field (APPNOTE 4.5.3).
  if (local.compressed_size == kZip64Marker32 ||
      local.uncompressed_size == kZip64Marker32) {
    std::string extra(local.extra_length, '\0');
    LocalZip64Extra zip64;
    if (ReadAt(stream, name_position + local.name_length, extra.data(),
               local.extra_length) &&
        FindLocalZip64Extra(extra, zip64)) {
      item.HasZip64 = true;
      item.Zip64UncompressedSize = zip64.uncompressed_size;
      item.Zip64CompressedSize = zip64.compressed_size;
    }
  }

  int64_t end = -1;
  if ((local.flags & kFlagDataDescriptor) != 0) {
    scan.descriptors.Forget(h);
    if (const auto found = FindDescriptor(scan.descriptors, stream, scan.size,
                                          data, item.HasZip64)) {
      header.crc32 = found->crc32;
      SetSize(item, header.compressed_size, item.Zip64CompressedSize,
              found->compressed_size);
      SetSize(item, header.uncompressed_size, item.Zip64UncompressedSize,
              found->uncompressed_size);
      end = found->end;
    }
  }
  if (end < 0) {
    // No descriptor: the local header holds the sizes, or, for a streamed
    // entry that lost its descriptor, nothing usable (no data at all).
    const uint64_t compressed = item.CompressedSize();
    const bool streamed = (local.flags & kFlagDataDescriptor) != 0;
    if ((streamed && compressed == 0) ||
        compressed > static_cast<uint64_t>(scan.size - data)) {
      return -1;
    }
    end = data + static_cast<int64_t>(compressed);
  }

  std::string name(local.name_length, '\0');
  if (!ReadAt(stream, name_position, name.data(), local.name_length)) {
    return -1;
  }
  item.StoredName = DecodeEntryName(std::move(name), local.flags, scan.oem);
  // Only a name ending in "/" is a folder: an empty file is a file.
  const bool folder =
      !item.StoredName.empty() && item.StoredName.back() == '/';
  header.external_attributes = folder ? 0x10 : 0x20;
  SetSize(item, header.local_header_offset, item.Zip64LocalOffset,
          static_cast<uint64_t>(h));
  return end;
}

}  // namespace

bool TZADirManager::FindSignature(platform::Stream& stream, int64_t from,
                                  const uint8_t signature[4],
                                  int64_t& position) {
  const int64_t saved = stream.Position();
  SignatureScanner scanner(stream, DecodeFixed32(signature),
                           kFindSignatureChunk);
  position = scanner.Next(from);
  stream.Seek(saved);
  return position >= 0;
}

int64_t TZADirManager::FindLocalHeader(int64_t from) {
  if (Stream == nullptr) return -1;
  const int64_t saved = Stream->Position();
  SignatureScanner scanner(*Stream, SignaturesFor(Owner.IsZipFormat()).local,
                           kLocalHeaderChunk);
  const int64_t found = NextLocalHeader(scanner, StreamSize(*Stream), from);
  Stream->Seek(saved);
  return found;
}

void TZADirManager::RebuildFromLocalHeaders() {
  Dir.Clear();
  EndRecordPosition = -1;
  if (Owner.CurrentSpanningMode() != smNone) {
    throw EZAException(kCodeMultiVolumeRebuild);
  }
  if (Stream == nullptr) throw EZAException(kCodeNoLocalHeader);
  platform::Stream& stream = *Stream;
  const int64_t size = StreamSize(stream);
  const SignatureSet& signatures = SignaturesFor(Owner.IsZipFormat());

  SignatureScanner headers(stream, signatures.local, kLocalHeaderChunk);
  DescriptorIndex descriptors(stream);
  ScanContext scan{stream, size, signatures, Owner.UsesOemFileNames(),
                   descriptors};
  int64_t end_of_entries = 0;
  for (int64_t h = NextLocalHeader(headers, size, 0); h >= 0;) {
    TDirItem item;
    const int64_t end = TakeEntry(scan, h, item);
    if (end < 0) {
      h = NextLocalHeader(headers, size, h + 4);
      continue;
    }
    Dir.AddItem(item);
    end_of_entries = end;
    h = NextLocalHeader(headers, size, end);
  }
  if (Dir.Count() == 0) throw EZAException(kCodeNoLocalHeader);
  SetDirectoryOffset(static_cast<uint64_t>(end_of_entries));
}

}  // namespace tessaly::engine
