#include "engine/directory/entry_extent.h"

#include <array>
#include <limits>

#include "engine/directory/signature_scanner.h"
#include "engine/format/byte_codec.h"
#include "engine/format/local_header.h"
#include "engine/format/signatures.h"

namespace tessaly::engine {

namespace {

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  return b > std::numeric_limits<uint64_t>::max() - a
             ? std::numeric_limits<uint64_t>::max()
             : a + b;
}

}  // namespace

bool IsLocalSignature(uint32_t signature) {
  return signature == kLocalHeaderSignature ||
         signature == kAltLocalHeaderSignature;
}

int64_t DataDescriptorLength(platform::Stream& stream, int64_t position,
                             bool zip64) {
  const int64_t sizes = zip64 ? 16 : 8;
  uint8_t raw[4];
  const bool signed_form = ReadAt(stream, position, raw, sizeof raw) &&
                           DecodeFixed32(raw) == kDataDescriptorSignature;
  return (signed_form ? 8 : 4) + sizes;
}

uint64_t EntryEnd(platform::Stream& stream, const TDirItem& item) {
  const uint64_t offset = item.LocalHeaderOffset();
  if (offset > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    return 0;
  }
  std::array<uint8_t, LocalHeader::kFixedSize> raw;
  if (!ReadAt(stream, static_cast<int64_t>(offset), raw.data(),
              static_cast<int64_t>(raw.size()))) {
    return 0;
  }
  const LocalHeader local = *LocalHeader::Decode(raw);
  if (!IsLocalSignature(local.signature)) return 0;
  const uint64_t data = offset + raw.size() + local.name_length +
                        local.extra_length;
  const uint64_t end = SaturatingAdd(data, item.CompressedSize());
  if ((item.header.flags & kFlagDataDescriptor) == 0 ||
      end > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    return end;
  }
  const bool zip64 = item.header.compressed_size == kZip64Marker32 ||
                     item.header.uncompressed_size == kZip64Marker32;
  return end + static_cast<uint64_t>(DataDescriptorLength(
                   stream, static_cast<int64_t>(end), zip64));
}

}  // namespace tessaly::engine
