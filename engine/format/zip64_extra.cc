#include "engine/format/zip64_extra.h"

#include "engine/format/signatures.h"

namespace tessaly::engine {

void ExtraBlockHeader::Encode(ByteWriter& writer) const {
  writer.PutU16(id);
  writer.PutU16(data_size);
}

std::optional<ExtraBlockHeader> ExtraBlockHeader::Decode(
    std::span<const uint8_t> data) {
  if (data.size() < kFixedSize) return std::nullopt;
  ByteReader reader(data);
  ExtraBlockHeader h;
  reader.GetU16(&h.id);
  reader.GetU16(&h.data_size);
  if (!reader.ok()) return std::nullopt;
  return h;
}

void LocalZip64Extra::Encode(ByteWriter& writer) const {
  ExtraBlockHeader{kZip64ExtraId, kDataSize}.Encode(writer);
  writer.PutU64(uncompressed_size);
  writer.PutU64(compressed_size);
}

std::optional<LocalZip64Extra> LocalZip64Extra::Decode(
    std::span<const uint8_t> data) {
  if (data.size() < kFixedSize) return std::nullopt;
  const std::optional<ExtraBlockHeader> h = ExtraBlockHeader::Decode(data);
  if (!h || h->id != kZip64ExtraId || h->data_size < kDataSize) {
    return std::nullopt;
  }
  ByteReader reader(data.subspan(ExtraBlockHeader::kFixedSize));
  LocalZip64Extra e;
  reader.GetU64(&e.uncompressed_size);
  reader.GetU64(&e.compressed_size);
  if (!reader.ok()) return std::nullopt;
  return e;
}

size_t CentralZip64ExtraSize(const CentralHeader& header) {
  size_t data = 0;
  if (header.uncompressed_size == kZip64Marker32) data += 8;
  if (header.compressed_size == kZip64Marker32) data += 8;
  if (header.local_header_offset == kZip64Marker32) data += 8;
  if (header.disk_number_start == kZip64Marker16) data += 4;
  return data == 0 ? 0 : ExtraBlockHeader::kFixedSize + data;
}

void EncodeCentralZip64Extra(const CentralHeader& header,
                             const Zip64Values& values, ByteWriter& writer) {
  const size_t size = CentralZip64ExtraSize(header);
  if (size == 0) return;
  ExtraBlockHeader{kZip64ExtraId,
                   static_cast<uint16_t>(size - ExtraBlockHeader::kFixedSize)}
      .Encode(writer);
  if (header.uncompressed_size == kZip64Marker32) {
    writer.PutU64(values.uncompressed_size);
  }
  if (header.compressed_size == kZip64Marker32) {
    writer.PutU64(values.compressed_size);
  }
  if (header.local_header_offset == kZip64Marker32) {
    writer.PutU64(values.local_header_offset);
  }
  if (header.disk_number_start == kZip64Marker16) {
    writer.PutU32(values.disk_number_start);
  }
}

bool ParseCentralZip64Extra(std::span<const uint8_t> data,
                            const CentralHeader& header, Zip64Values* values) {
  // Each value is read only after checking that it fits, so a short block
  // never fails the reader half-way through a value; the first value that
  // does not fit ends the parse.
  ByteReader reader(data);
  auto take64 = [&reader](bool flagged, uint64_t* out) {
    if (!flagged) return true;
    if (reader.remaining() < 8) return false;
    return reader.GetU64(out);
  };
  if (!take64(header.uncompressed_size == kZip64Marker32,
              &values->uncompressed_size) ||
      !take64(header.compressed_size == kZip64Marker32,
              &values->compressed_size) ||
      !take64(header.local_header_offset == kZip64Marker32,
              &values->local_header_offset)) {
    return false;
  }
  if (header.disk_number_start != kZip64Marker16) return true;
  if (reader.remaining() < 4) return false;
  return reader.GetU32(&values->disk_number_start);
}

}  // namespace tessaly::engine
