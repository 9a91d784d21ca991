#include "engine/format/data_descriptor.h"

namespace tessaly::engine {

void DataDescriptor::Encode(ByteWriter& writer) const {
  writer.PutU32(signature);
  writer.PutU32(crc32);
  writer.PutU32(compressed_size);
  writer.PutU32(uncompressed_size);
}

std::optional<DataDescriptor> DataDescriptor::Decode(
    std::span<const uint8_t> data) {
  if (data.size() < kFixedSize) return std::nullopt;
  ByteReader reader(data);
  DataDescriptor d;
  reader.GetU32(&d.signature);
  reader.GetU32(&d.crc32);
  reader.GetU32(&d.compressed_size);
  reader.GetU32(&d.uncompressed_size);
  if (!reader.ok()) return std::nullopt;
  return d;
}

void Zip64DataDescriptor::Encode(ByteWriter& writer) const {
  writer.PutU32(signature);
  writer.PutU32(crc32);
  writer.PutU64(compressed_size);
  writer.PutU64(uncompressed_size);
}

std::optional<Zip64DataDescriptor> Zip64DataDescriptor::Decode(
    std::span<const uint8_t> data) {
  if (data.size() < kFixedSize) return std::nullopt;
  ByteReader reader(data);
  Zip64DataDescriptor d;
  reader.GetU32(&d.signature);
  reader.GetU32(&d.crc32);
  reader.GetU64(&d.compressed_size);
  reader.GetU64(&d.uncompressed_size);
  if (!reader.ok()) return std::nullopt;
  return d;
}

}  // namespace tessaly::engine
