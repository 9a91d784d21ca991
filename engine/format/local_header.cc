#include "engine/format/local_header.h"

namespace tessaly::engine {

void LocalHeader::Encode(ByteWriter& writer) const {
  writer.PutU32(signature);
  writer.PutU16(version_needed);
  writer.PutU16(flags);
  writer.PutU16(method);
  writer.PutU16(mod_time);
  writer.PutU16(mod_date);
  writer.PutU32(crc32);
  writer.PutU32(compressed_size);
  writer.PutU32(uncompressed_size);
  writer.PutU16(name_length);
  writer.PutU16(extra_length);
}

std::optional<LocalHeader> LocalHeader::Decode(std::span<const uint8_t> data) {
  if (data.size() < kFixedSize) return std::nullopt;
  ByteReader reader(data);
  LocalHeader h;
  reader.GetU32(&h.signature);
  reader.GetU16(&h.version_needed);
  reader.GetU16(&h.flags);
  reader.GetU16(&h.method);
  reader.GetU16(&h.mod_time);
  reader.GetU16(&h.mod_date);
  reader.GetU32(&h.crc32);
  reader.GetU32(&h.compressed_size);
  reader.GetU32(&h.uncompressed_size);
  reader.GetU16(&h.name_length);
  reader.GetU16(&h.extra_length);
  if (!reader.ok()) return std::nullopt;
  return h;
}

}  // namespace tessaly::engine
