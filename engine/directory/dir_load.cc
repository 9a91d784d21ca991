// Reading the central directory of an existing archive (APPNOTE 4.3.12 to
// 4.3.16).
//
// The end of central directory record is found by a backwards search over
// the last 65,600 bytes (22 bytes of record plus a comment of at most 65,535
// bytes, with a little slack): the record has no fixed place, since the
// archive comment follows it. A candidate counts only when its comment
// length accounts exactly for the bytes after it, which rejects signature
// patterns inside the comment. A one-volume archive is then located from its
// end, by the directory size, and not by the stored directory offset, so that
// data prepended to the archive (a self-extractor stub) does not hide the
// directory; whether the stored entry offsets count that data is worked out
// afterwards (PrefixSize).
//
// Everything read here is untrusted. Counts and sizes are checked against
// what the stream can hold before anything is allocated, every record is
// read with a checked read, and extra blocks are parsed inside the bytes of
// their field. Damage found while reading the directory raises an error,
// which turns into a rebuild from the local headers when the owner allows it.

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/directory/dir_manager.h"
#include "engine/directory/entry_extent.h"
#include "engine/directory/signature_scanner.h"
#include "engine/format/byte_codec.h"
#include "engine/format/central_header.h"
#include "engine/format/entry_name.h"
#include "engine/format/local_header.h"
#include "engine/format/signatures.h"
#include "engine/format/zip64_extra.h"
#include "engine/base/za_exception.h"
#include "platform/exception.h"

namespace tessaly::engine {

namespace {

constexpr int64_t kEndSearchWindow = 65600;
constexpr int64_t kPrefixSearchChunk = 10000;
// Directory items allocated before the first header is read.
constexpr int64_t kFirstReservation = 1000;

struct PrefixProbe {
  int64_t prefix = 0;
  // The stored offsets leave out the prefix and must be shifted by it.
  bool relative = false;
};

// The local header at `q`, when one of either signature set stands there
// whole with its name.
std::optional<LocalHeader> LocalHeaderAt(platform::Stream& stream,
                                         int64_t size, int64_t q) {
  std::array<uint8_t, LocalHeader::kFixedSize> raw;
  if (q < 0 || size - q < static_cast<int64_t>(raw.size())) return {};
  if (!ReadAt(stream, q, raw.data(), raw.size())) return {};
  const auto local = LocalHeader::Decode(raw);
  if (!local || !IsLocalSignature(local->signature)) return {};
  if (size - q - static_cast<int64_t>(raw.size()) < local->name_length) {
    return {};
  }
  return local;
}

// Whether the local header at `q` can be item 0's.
bool ConsistentWithFirstItem(platform::Stream& stream, int64_t size, int64_t q,
                             const CentralHeader& central) {
  const auto local = LocalHeaderAt(stream, size, q);
  if (!local) return false;
  if (q == 0) return true;
  return local->version_needed == central.version_needed &&
         local->method == central.method &&
         local->mod_time == central.mod_time &&
         local->mod_date == central.mod_date && local->crc32 == central.crc32 &&
         local->compressed_size == central.compressed_size &&
         local->uncompressed_size == central.uncompressed_size;
}

// How far the directory lies behind where the end records say it starts
// (whose stored offset counts from a start that many bytes into the
// stream); `end_records` is where the end records start.
int64_t DirectoryMove(const TZADirManager& manager, int64_t end_records) {
  const bool zip64 = manager.HasZip64End;
  const uint64_t size = zip64 ? manager.Zip64End.directory_size
                              : manager.EndRecord.directory_size;
  const uint64_t offset = zip64 ? manager.Zip64End.directory_offset
                                : manager.EndRecord.directory_offset;
  const uint64_t end = static_cast<uint64_t>(std::max<int64_t>(end_records, 0));
  if (size > end || offset > end - size) return 0;
  return static_cast<int64_t>(end - size - offset);
}

// Where the archive data starts, and whether the stored offsets leave out
// what lies before it. Data put in front of a whole archive (`cat stub.bin
// a.zip`) moves its directory and its entries alike: when the directory
// lies M bytes behind its stored offset and a local header stands M bytes
// behind item 0's stored offset, every offset is M short. Otherwise the
// offsets are taken as they stand, and the data starts where item 0's
// local header is found at or after its offset (one that matches its
// directory entry). Trusting that search alone would let a later header
// that happens to match item 0 (a copy of the same file, behind a first
// header that does not match its entry) shift the offsets of an archive
// whose offsets are right.
PrefixProbe ProbePrefix(TZADirManager& manager, int64_t end_records) {
  PrefixProbe probe;
  if (manager.Dir.Count() == 0 || manager.EndRecord.total_entries == 0) {
    probe.prefix = std::max<int64_t>(end_records, 0);
    return probe;
  }
  if (manager.Stream == nullptr) return probe;
  platform::Stream& stream = *manager.Stream;
  const TDirItem& first = manager.Dir.ItemPtr(0);
  const uint64_t stored = first.LocalHeaderOffset();
  const int64_t size = StreamSize(stream);
  if (stored >= static_cast<uint64_t>(size)) return probe;
  const int64_t saved = stream.Position();
  const int64_t moved = DirectoryMove(manager, end_records);
  if (moved > 0 && moved < size &&
      LocalHeaderAt(stream, size, static_cast<int64_t>(stored) + moved)) {
    probe.relative = true;
    probe.prefix = moved;
    stream.Seek(saved);
    return probe;
  }
  SignatureScanner scanner(stream,
                           SignaturesFor(manager.Owner.IsZipFormat()).local,
                           kPrefixSearchChunk);
  for (int64_t q = scanner.Next(static_cast<int64_t>(stored));
       q >= 0 && q < size; q = scanner.Next(q + 1)) {
    if (ConsistentWithFirstItem(stream, size, q, first.header)) {
      probe.prefix = q;
      break;
    }
  }
  stream.Seek(saved);
  return probe;
}

// The Zip64 end record for the locator just read: at the offset the locator
// gives, or else (when data was prepended to the archive, which moves the
// record) directly in front of the locator. Returns its position, -1 when
// neither place holds one.
int64_t ReadZip64EndRecord(TZADirManager& manager, int64_t locator_position,
                           Zip64EndRecord& record) {
  platform::Stream& stream = *manager.Stream;
  const int64_t size = int64_t{Zip64EndRecord::kFixedSize};
  const uint64_t stored = manager.Zip64Locator.zip64_end_offset;
  const int64_t in_front = locator_position - size;
  int64_t candidates[2] = {-1, in_front};
  if (in_front >= 0 && stored <= static_cast<uint64_t>(in_front)) {
    candidates[0] = static_cast<int64_t>(stored);
  }
  for (int64_t position : candidates) {
    if (position < 0) continue;
    std::array<uint8_t, Zip64EndRecord::kFixedSize> raw;
    if (!ReadAt(stream, position, raw.data(), size)) continue;
    const auto decoded = Zip64EndRecord::Decode(raw);
    if (decoded && decoded->signature == kZip64EndRecordSignature) {
      record = *decoded;
      return position;
    }
  }
  return -1;
}

// Where new entries may go in a one-volume archive whose directory starts
// at `directory_start`: there, unless the bytes of a listed entry reach
// further (a damaged or crafted archive whose entries overlap the directory
// or lie behind it); never beyond the end of the stream. Only entries that
// could reach the directory have their local header read: an entry ending
// more than a header, two 16-bit fields and a descriptor before it cannot.
int64_t EndOfEntries(TZADirManager& manager, int64_t directory_start) {
  constexpr uint64_t kLongestOverhead =
      LocalHeader::kFixedSize + 2 * 0xFFFF + 24;
  platform::Stream& stream = *manager.Stream;
  const int64_t size = StreamSize(stream);
  const uint64_t start = static_cast<uint64_t>(directory_start);
  uint64_t end = start;
  for (int32_t i = 0; i < manager.Dir.Count(); ++i) {
    const TDirItem& item = manager.Dir.ItemPtr(i);
    const uint64_t offset = item.LocalHeaderOffset();
    const uint64_t compressed = item.CompressedSize();
    if (offset < start && compressed <= start - offset &&
        start - offset - compressed >= kLongestOverhead) {
      continue;
    }
    end = std::max(end, EntryEnd(stream, item));
  }
  return static_cast<int64_t>(std::min(end, static_cast<uint64_t>(size)));
}

int32_t ClampVolume(uint64_t volume) {
  return static_cast<int32_t>(
      std::min<uint64_t>(volume, std::numeric_limits<int32_t>::max()));
}

}  // namespace

bool TZADirManager::FindEndRecord(uint32_t signature, engine::EndRecord& record,
                                  int64_t& position) {
  Comment.clear();
  record = engine::EndRecord{};
  position = -1;
  if (Stream == nullptr) return false;
  const int64_t size = StreamSize(*Stream);
  const int64_t n = std::min(size, kEndSearchWindow);
  const int64_t record_size = int64_t{engine::EndRecord::kFixedSize};
  if (n < record_size) return false;

  std::vector<uint8_t> buffer(static_cast<size_t>(n));
  const int64_t saved = Stream->Position();
  const bool read = ReadAt(*Stream, size - n, buffer.data(), n);
  Stream->Seek(saved);
  if (!read) return false;

  uint8_t wanted[4];
  EncodeFixed32(wanted, signature);
  for (int64_t i = n - 1; i >= 3; --i) {
    const uint8_t* p = &buffer[static_cast<size_t>(i - 3)];
    if (p[3] != wanted[3] || p[2] != wanted[2] || p[1] != wanted[1] ||
        p[0] != wanted[0]) {
      continue;
    }
    const int64_t start = i - 3;
    const int64_t after = n - start - record_size;
    if (after < 0) continue;
    const auto candidate = engine::EndRecord::Decode(
        std::span<const uint8_t>(buffer).subspan(static_cast<size_t>(start)));
    if (!candidate || candidate->comment_length != after) continue;
    record = *candidate;
    position = size - n + start;
    const uint8_t* comment = p + record_size;
    Comment.assign(reinterpret_cast<const char*>(comment),
                   candidate->comment_length);
    return true;
  }
  return false;
}

bool TZADirManager::RecheckEndRecord() {
  int64_t position = -1;
  const bool found = FindEndRecord(SignaturesFor(Owner.IsZipFormat()).end,
                                   EndRecord, position);
  return Owner.ShouldRebuildDirectory() || found;
}

void TZADirManager::LoadDir() {
  Reset();
  PrefixSize = 0;
  HasZip64End = false;
  Zip64Locator = engine::Zip64Locator{};
  Zip64End = engine::Zip64EndRecord{};
  EndRecordPosition = -1;
  TZAVolumeNumberInfo info;

  int64_t p = -1;
  bool found;
  if (Owner.IsZipFormat()) {
    found = FindEndRecord(kEndRecordSignature, EndRecord, p);
  } else {
    found = FindEndRecord(kAltEndRecordSignature, EndRecord, p) ||
            FindEndRecord(kEndRecordSignature, EndRecord, p);
  }
  if (!found) {
    RebuildFromLocalHeaders();
    return;
  }

  const int64_t locator_size = int64_t{engine::Zip64Locator::kFixedSize};
  if (p > locator_size) {
    std::array<uint8_t, engine::Zip64Locator::kFixedSize> raw;
    if (ReadAt(*Stream, p - locator_size, raw.data(), locator_size)) {
      Zip64Locator = *engine::Zip64Locator::Decode(raw);
      HasZip64End = Zip64Locator.signature == kZip64LocatorSignature;
      if (HasZip64End) p -= locator_size;
    }
  }
  if (HasZip64End) {
    p = ReadZip64EndRecord(*this, p, Zip64End);
    if (p < 0) throw EZAException(kCodeZip64EndRecord);
  }
  if (!HasZip64End && EndRecord.total_entries == kZip64Marker16) {
    RebuildFromLocalHeaders();
    return;
  }
  EndRecordPosition = p;

  uint64_t start_volume = EndRecord.directory_disk;
  if (start_volume == kZip64Marker16) {
    start_volume = HasZip64End ? Zip64End.directory_disk : 0;
  }
  uint64_t last_volume = EndRecord.this_disk;
  if (last_volume == kZip64Marker16) {
    last_volume = HasZip64End && Zip64Locator.total_disks > 0
                      ? Zip64Locator.total_disks - 1
                      : 0;
  }
  info.LastNumber = ClampVolume(last_volume);
  info.SetNumber(ClampVolume(start_volume));
  const bool multi_volume = Owner.CurrentSpanningMode() != smNone;
  if (multi_volume) OpenVolumeFor(info);

  const bool oem = Owner.UsesOemFileNames();
  int64_t start = 0;  // where the directory starts
  try {
    uint64_t count;
    uint64_t directory_size;
    uint64_t directory_offset;
    if (HasZip64End) {
      count = Zip64End.total_entries;
      directory_size = Zip64End.directory_size;
      directory_offset = Zip64End.directory_offset;
    } else {
      count = EndRecord.total_entries;
      directory_size = EndRecord.directory_size;
      directory_offset = EndRecord.directory_offset;
    }
    // Where the directory starts and how many bytes it can occupy there.
    int64_t room;
    if (multi_volume) {
      const int64_t volume_size = StreamSize(*Stream);
      if (directory_offset > static_cast<uint64_t>(volume_size)) {
        throw EZAException(kCodeDamaged);
      }
      start = static_cast<int64_t>(directory_offset);
      room = volume_size - start;
    } else {
      if (directory_size > static_cast<uint64_t>(p)) {
        throw EZAException(kCodeDamaged);
      }
      start = p - static_cast<int64_t>(directory_size);
      room = static_cast<int64_t>(directory_size);
    }
    const uint64_t fit =
        static_cast<uint64_t>(room) / CentralHeader::kFixedSize;
    // In one volume every header lies between the start and the end
    // records; a split directory is allocated as it is read.
    if (count > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) ||
        (!multi_volume && count > fit)) {
      throw EZAException(kCodeDamaged);
    }
    if (Stream->Seek(start) != start) throw EZAException(kCodeDamaged);
    Dir.SetCount(0);

    // Reads `count` bytes of the directory. The volume writer may divide an
    // entry comment between volumes, so a split directory continues on the
    // next volume where the current one ends.
    auto read = [&](void* buffer, int64_t wanted) {
      auto* out = static_cast<uint8_t*>(buffer);
      for (;;) {
        const int64_t got = std::max<int64_t>(Stream->Read(out, wanted), 0);
        out += got;
        wanted -= got;
        if (wanted == 0) return;
        if (!multi_volume || ForeignStream || info.Number >= info.LastNumber) {
          throw platform::EReadError();
        }
        info.SetNumber(info.Number + 1);
        OpenVolumeFor(info);
      }
    };

    std::vector<uint8_t> bytes;
    for (int32_t i = 0; static_cast<uint64_t>(i) < count; ++i) {
      if (multi_volume && StreamSize(*Stream) - Stream->Position() <
                              int64_t{CentralHeader::kFixedSize}) {
        if (info.Number >= info.LastNumber) throw EZAException(kCodeDamaged);
        info.SetNumber(info.Number + 1);
        OpenVolumeFor(info);
      }
      // The array grows as headers prove real, not by the claimed count:
      // it at most doubles what has been read (growing by a fixed step
      // would copy a large directory over and over).
      if (i >= Dir.Capacity) {
        const int64_t wanted = std::max<int64_t>(int64_t{Dir.Capacity} * 2,
                                                 kFirstReservation);
        Dir.Reserve(static_cast<int32_t>(
            std::min<uint64_t>(count, static_cast<uint64_t>(wanted))));
      }
      Dir.SetCount(i + 1);

      std::array<uint8_t, CentralHeader::kFixedSize> raw;
      read(raw.data(), static_cast<int64_t>(raw.size()));
      const CentralHeader header = *CentralHeader::Decode(raw);
      if (header.signature != kCentralHeaderSignature &&
          header.signature != kAltCentralHeaderSignature) {
        throw EZAException(kCodeDamaged);
      }
      TDirItem& item = Dir.ItemPtr(i);
      item = TDirItem{};
      item.header = header;

      std::string name(header.name_length, '\0');
      read(name.data(), header.name_length);
      Dir.RenameItem(i, DecodeEntryName(std::move(name), header.flags, oem));

      if (header.extra_length > 0) {
        bytes.resize(header.extra_length);
        read(bytes.data(), header.extra_length);
        item.HasZip64 = false;
        ByteReader reader(bytes);
        while (reader.remaining() >= ExtraBlockHeader::kFixedSize) {
          ExtraBlock block;
          reader.GetU16(&block.id);
          reader.GetU16(&block.size);
          // A block may declare more data than the field has left.
          block.size = static_cast<uint16_t>(
              std::min<size_t>(block.size, reader.remaining()));
          block.data.resize(block.size);
          reader.GetBytes(block.data);
          if (block.id == kZip64ExtraId) {
            Zip64Values values{item.Zip64UncompressedSize,
                               item.Zip64CompressedSize, item.Zip64LocalOffset,
                               item.Zip64DiskStart};
            ParseCentralZip64Extra(block.data, item.header, &values);
            item.Zip64UncompressedSize = values.uncompressed_size;
            item.Zip64CompressedSize = values.compressed_size;
            item.Zip64LocalOffset = values.local_header_offset;
            item.Zip64DiskStart = values.disk_number_start;
            item.HasZip64 = true;
          }
          item.ExtraBlocks.push_back(std::move(block));
        }
      }

      item.Comment.assign(header.comment_length, '\0');
      read(item.Comment.data(), header.comment_length);
    }
  } catch (const platform::Exception&) {
    if (!Owner.ShouldRebuildDirectory()) throw;
    RebuildFromLocalHeaders();
    return;
  }

  if (!Owner.ShouldRebuildDirectory() && !multi_volume) CheckSizes();
  if (last_volume == 0) {
    const PrefixProbe probe = ProbePrefix(*this, p);
    PrefixSize = probe.prefix;
    if (probe.relative) ShiftOffsets();
    // The stored directory offset may count from a later start than the
    // stream's (data prepended to the archive): an update must append
    // where the directory really is, not over the last entries.
    if (!multi_volume) SetDirectoryOffset(EndOfEntries(*this, start));
  }
}

void TZADirManager::SetDirectoryOffset(uint64_t offset) {
  if (offset >= kZip64Marker32) {
    EndRecord.directory_offset = kZip64Marker32;
    Zip64End.directory_offset = offset;
  } else {
    EndRecord.directory_offset = static_cast<uint32_t>(offset);
  }
}

void TZADirManager::DetectPrefix(int64_t end_records_position) {
  PrefixSize = ProbePrefix(*this, end_records_position).prefix;
}

// Every entry moves with the prefix, folders included: a folder entry has a
// local header like any other, and an offset left behind would be written
// back wrong with the next directory.
void TZADirManager::ShiftOffsets() {
  if (PrefixSize <= 0) return;
  const uint64_t shift = static_cast<uint64_t>(PrefixSize);
  for (int32_t i = 0; i < Dir.Count(); ++i) {
    TDirItem& item = Dir.ItemPtr(i);
    if (item.header.local_header_offset == kZip64Marker32) {
      item.Zip64LocalOffset += shift;
      continue;
    }
    const uint64_t offset = item.header.local_header_offset + shift;
    if (offset >= kZip64Marker32) {
      // No longer fits the 32-bit field: it moves to the Zip64 extra field.
      item.header.local_header_offset = kZip64Marker32;
      item.Zip64LocalOffset = offset;
      item.HasZip64 = true;
    } else {
      item.header.local_header_offset = static_cast<uint32_t>(offset);
    }
  }
}

void TZADirManager::CheckSizes() {
  // The 64-bit sizes: a field holding the Zip64 marker says nothing about
  // the entry's size.
  uint64_t total = 0;
  for (int32_t i = 0; i < Dir.Count(); ++i) {
    const uint64_t size = Dir.ItemPtr(i).CompressedSize();
    total = size > UINT64_MAX - total ? UINT64_MAX : total + size;
  }
  const int64_t size = Stream != nullptr ? StreamSize(*Stream) : 0;
  if (total > static_cast<uint64_t>(size)) throw EZAException(kCodeDamaged);
}

}  // namespace tessaly::engine
