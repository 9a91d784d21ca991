#include "engine/directory/dir_item.h"

#include "engine/format/zip64.h"

namespace tessaly::engine {

uint64_t TDirItem::UncompressedSize() const {
  return ValueOrZip64(header.uncompressed_size, Zip64UncompressedSize);
}

uint64_t TDirItem::CompressedSize() const {
  return ValueOrZip64(header.compressed_size, Zip64CompressedSize);
}

uint64_t TDirItem::LocalHeaderOffset() const {
  return ValueOrZip64(header.local_header_offset, Zip64LocalOffset);
}

uint32_t TDirItem::DiskStart() const {
  return ValueOrZip64(header.disk_number_start, Zip64DiskStart);
}

}  // namespace tessaly::engine
