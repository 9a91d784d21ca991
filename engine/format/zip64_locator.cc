#include "engine/format/zip64_locator.h"

#include <algorithm>

#include "engine/format/signatures.h"

namespace tessaly::engine {

void Zip64Locator::Encode(ByteWriter& writer) const {
  writer.PutU32(signature);
  writer.PutU32(zip64_end_disk);
  writer.PutU64(zip64_end_offset);
  writer.PutU32(total_disks);
}

std::optional<Zip64Locator> Zip64Locator::Decode(
    std::span<const uint8_t> data) {
  if (data.size() < kFixedSize) return std::nullopt;
  ByteReader reader(data);
  Zip64Locator r;
  reader.GetU32(&r.signature);
  reader.GetU32(&r.zip64_end_disk);
  reader.GetU64(&r.zip64_end_offset);
  reader.GetU32(&r.total_disks);
  if (!reader.ok()) return std::nullopt;
  return r;
}

Zip64Locator MakeZip64Locator(int64_t this_disk, uint64_t zip64_end_offset) {
  // Keeps total_disks (disk + 1) from wrapping to 0.
  const int64_t disk =
      std::clamp<int64_t>(this_disk, 0, int64_t{UINT32_MAX} - 1);
  Zip64Locator r;
  r.signature = kZip64LocatorSignature;
  r.zip64_end_disk = static_cast<uint32_t>(disk);
  r.zip64_end_offset = zip64_end_offset;
  r.total_disks = static_cast<uint32_t>(disk + 1);
  return r;
}

}  // namespace tessaly::engine
