#include "engine/format/end_record.h"

#include <algorithm>

namespace tessaly::engine {

void EndRecord::Encode(ByteWriter& writer) const {
  writer.PutU32(signature);
  writer.PutU16(this_disk);
  writer.PutU16(directory_disk);
  writer.PutU16(entries_this_disk);
  writer.PutU16(total_entries);
  writer.PutU32(directory_size);
  writer.PutU32(directory_offset);
  writer.PutU16(comment_length);
}

std::optional<EndRecord> EndRecord::Decode(std::span<const uint8_t> data) {
  if (data.size() < kFixedSize) return std::nullopt;
  ByteReader reader(data);
  EndRecord r;
  reader.GetU32(&r.signature);
  reader.GetU16(&r.this_disk);
  reader.GetU16(&r.directory_disk);
  reader.GetU16(&r.entries_this_disk);
  reader.GetU16(&r.total_entries);
  reader.GetU32(&r.directory_size);
  reader.GetU32(&r.directory_offset);
  reader.GetU16(&r.comment_length);
  if (!reader.ok()) return std::nullopt;
  return r;
}

EndRecord MakeEndRecord(uint32_t signature, const DirectoryLocation& location,
                        uint16_t comment_length) {
  EndRecord r;
  r.signature = signature;
  r.this_disk = To16OrMarker(
      static_cast<uint64_t>(std::max<int64_t>(location.this_disk, 0)));
  r.directory_disk = To16OrMarker(
      static_cast<uint64_t>(std::max<int64_t>(location.directory_disk, 0)));
  r.entries_this_disk = To16OrMarker(location.entry_count);
  r.total_entries = To16OrMarker(location.entry_count);
  r.directory_size = To32OrMarker(location.directory_size);
  r.directory_offset = To32OrMarker(location.directory_offset);
  r.comment_length = comment_length;
  return r;
}

}  // namespace tessaly::engine
