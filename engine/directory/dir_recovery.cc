// Recovery: rebuilding the directory from the local headers when the central
// directory is missing or unreadable.
//
// The scan looks for local header signatures front to back and takes every
// plausible header as an entry; data descriptors (APPNOTE 4.3.9) supply the
// CRC-32 and sizes of entries whose flag bit 3 says the local header does
// not hold them. A signature inside entry data cannot be told from a real
// header, so the scan is a best effort: it never fails on damaged data, it
// only finds fewer or more entries.
//
// Both scans move forward only. They keep their last chunk in memory, and
// the descriptor search remembers its last answer, so a stream crowded with
// signatures is still read about once.

#include <array>
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
#include "engine/za_exception.h"

namespace tessaly::engine {

namespace {

constexpr int32_t kNoLocalHeaderError = 35;
constexpr int32_t kMultiVolumeRebuildError = 44;
constexpr int64_t kFindSignatureChunk = 10000;
constexpr int64_t kLocalHeaderChunk = 65535;
constexpr uint16_t kMaxRecoveredExtra = 260;

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
  if (Owner.CurrentSpanningMode() != smNone) {
    throw EZAException(kMultiVolumeRebuildError);
  }
  if (Stream == nullptr) throw EZAException(kNoLocalHeaderError);
  platform::Stream& stream = *Stream;
  const int64_t size = StreamSize(stream);
  const SignatureSet& signatures = SignaturesFor(Owner.IsZipFormat());
  const bool oem = Owner.UsesOemFileNames();

  SignatureScanner headers(stream, signatures.local, kLocalHeaderChunk);
  int64_t h = NextLocalHeader(headers, size, 0);
  if (h < 0) throw EZAException(kNoLocalHeaderError);

  SignatureScanner descriptors(stream, kDataDescriptorSignature,
                               kLocalHeaderChunk);
  // The last descriptor found, -1 once none is left, -2 before the first
  // search. Headers come in ascending order, so an answer stays good until
  // the scan passes it.
  int64_t descriptor = -2;

  for (; h >= 0; h = NextLocalHeader(headers, size, h + 4)) {
    std::array<uint8_t, LocalHeader::kFixedSize> raw;
    if (!ReadAt(stream, h, raw.data(), static_cast<int64_t>(raw.size()))) {
      break;
    }
    const LocalHeader local = *LocalHeader::Decode(raw);
    if (local.extra_length > kMaxRecoveredExtra) continue;
    const int64_t name_position = h + int64_t{LocalHeader::kFixedSize};
    const bool name_fits = size - name_position >= local.name_length;

    TDirItem item;
    CentralHeader& header = item.header;
    header.signature = signatures.central;
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
    if (name_fits && (local.compressed_size == kZip64Marker32 ||
                      local.uncompressed_size == kZip64Marker32)) {
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
    if (item.CompressedSize() >= static_cast<uint64_t>(size)) continue;

    const bool has_descriptor = (local.flags & kFlagDataDescriptor) != 0;
    header.external_attributes =
        local.uncompressed_size != 0 || has_descriptor ? 0x20 : 0x10;
    if (static_cast<uint64_t>(h) >= kZip64Marker32) {
      header.local_header_offset = kZip64Marker32;
      item.Zip64LocalOffset = static_cast<uint64_t>(h);
      item.HasZip64 = true;
    } else {
      header.local_header_offset = static_cast<uint32_t>(h);
    }

    std::string name;
    if (name_fits) {
      name.assign(local.name_length, '\0');
      if (!ReadAt(stream, name_position, name.data(), local.name_length)) {
        name.clear();
      }
    }
    item.StoredName = DecodeEntryName(std::move(name), local.flags, oem);

    if (has_descriptor) {
      if (descriptor != -1 && descriptor < h) descriptor = descriptors.Next(h);
      std::array<uint8_t, DataDescriptor::kFixedSize> bytes;
      if (descriptor >= 0 &&
          size - descriptor >= static_cast<int64_t>(bytes.size()) &&
          ReadAt(stream, descriptor, bytes.data(),
                 static_cast<int64_t>(bytes.size()))) {
        const DataDescriptor found = *DataDescriptor::Decode(bytes);
        header.crc32 = found.crc32;
        header.compressed_size = found.compressed_size;
        header.uncompressed_size = found.uncompressed_size;
      }
    }
    Dir.AddItem(item);
  }
}

}  // namespace tessaly::engine
