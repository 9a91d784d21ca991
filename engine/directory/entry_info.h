// One entry of an archive's directory as an application sees it: its name,
// sizes, method, checksum, time, attributes and volume, decoded from the
// central header held in memory.
#ifndef TESSALY_ENGINE_DIRECTORY_ENTRY_INFO_H_
#define TESSALY_ENGINE_DIRECTORY_ENTRY_INFO_H_

#include <cstdint>
#include <string>

#include "engine/base/types.h"
#include "engine/directory/dir_item.h"
#include "platform/dos_time.h"

namespace tessaly::engine {

struct EntryInfo {
  std::string Name;  // stored name, "/" separators
  uint64_t UncompressedSize = 0;
  uint64_t CompressedSize = 0;
  uint16_t Method = 0;  // 0 stored, 8 deflated
  uint32_t Crc32 = 0;
  // The modification time as stored (MS-DOS local time, even seconds),
  // not checked: an invalid stored date comes back as its fields read.
  platform::CivilTime Modified;
  uint32_t Attributes = 0;   // Windows file attributes; 0x10 = folder
  uint32_t FirstVolume = 0;  // number of the volume the entry starts on
  // Touched by the running update transaction (or by the last one, until
  // the next begins), and how: the file it is packed from and the action.
  bool Pending = false;
  std::string SourceFileName;
  TZAProcessOperation Action = poAdd;

  bool IsFolder() const { return (Attributes & 0x10) != 0; }
};

// The entry `item` describes, with the 64-bit values where the header holds
// their Zip64 markers.
EntryInfo DescribeEntry(const TDirItem& item);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_ENTRY_INFO_H_
