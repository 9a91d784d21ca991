#include "engine/format/zip64_end_record.h"

#include <algorithm>

#include "engine/format/signatures.h"

namespace tessaly::engine {

namespace {

uint32_t DiskNumber(int64_t volume) {
  return static_cast<uint32_t>(
      std::clamp<int64_t>(volume, 0, int64_t{UINT32_MAX}));
}

}  // namespace

void Zip64EndRecord::Encode(ByteWriter& writer) const {
  writer.PutU32(signature);
  writer.PutU64(record_size);
  writer.PutU16(version_made_by);
  writer.PutU16(version_needed);
  writer.PutU32(this_disk);
  writer.PutU32(directory_disk);
  writer.PutU64(entries_this_disk);
  writer.PutU64(total_entries);
  writer.PutU64(directory_size);
  writer.PutU64(directory_offset);
}

std::optional<Zip64EndRecord> Zip64EndRecord::Decode(
    std::span<const uint8_t> data) {
  if (data.size() < kFixedSize) return std::nullopt;
  ByteReader reader(data);
  Zip64EndRecord r;
  reader.GetU32(&r.signature);
  reader.GetU64(&r.record_size);
  reader.GetU16(&r.version_made_by);
  reader.GetU16(&r.version_needed);
  reader.GetU32(&r.this_disk);
  reader.GetU32(&r.directory_disk);
  reader.GetU64(&r.entries_this_disk);
  reader.GetU64(&r.total_entries);
  reader.GetU64(&r.directory_size);
  reader.GetU64(&r.directory_offset);
  if (!reader.ok()) return std::nullopt;
  return r;
}

Zip64EndRecord MakeZip64EndRecord(const DirectoryLocation& location) {
  Zip64EndRecord r;
  r.signature = kZip64EndRecordSignature;
  r.record_size = Zip64EndRecord::kRecordSize;
  r.version_made_by = kVersionZip64;
  r.version_needed = kVersionZip64;
  r.this_disk = DiskNumber(location.this_disk);
  r.directory_disk = DiskNumber(location.directory_disk);
  r.entries_this_disk = location.entry_count;
  r.total_entries = location.entry_count;
  r.directory_size = location.directory_size;
  r.directory_offset = location.directory_offset;
  return r;
}

}  // namespace tessaly::engine
