#include "engine/directory/entry_info.h"

namespace tessaly::engine {

EntryInfo DescribeEntry(const TDirItem& item) {
  EntryInfo entry;
  entry.Name = item.StoredName;
  entry.UncompressedSize = item.UncompressedSize();
  entry.CompressedSize = item.CompressedSize();
  entry.Method = item.header.method;
  entry.Crc32 = item.header.crc32;
  entry.Modified = platform::DecodeDosDateTime(
      static_cast<uint32_t>(item.header.mod_date) << 16 | item.header.mod_time);
  entry.Attributes = item.header.external_attributes;
  entry.FirstVolume = item.DiskStart();
  entry.Pending = item.Pending;
  entry.SourceFileName = item.SourceFileName;
  entry.Action = item.EntryAction;
  return entry;
}

}  // namespace tessaly::engine
