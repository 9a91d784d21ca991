// One entry of the central directory held in memory. The header image is the
// entry's central directory file header exactly as it stands on disk (46
// bytes once encoded); the other fields exist only in memory.
#ifndef TESSALY_ENGINE_DIRECTORY_DIR_ITEM_H_
#define TESSALY_ENGINE_DIRECTORY_DIR_ITEM_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/types.h"
#include "engine/directory/source_stream_ref.h"
#include "engine/format/central_header.h"

namespace tessaly::engine {

// An extra field block kept from an existing central directory. The data
// belongs to the item that holds the block; copying an item copies it.
struct ExtraBlock {
  uint16_t id = 0;
  uint16_t size = 0;  // bytes of data (== data.size())
  std::vector<uint8_t> data;
};

struct TDirItem {
  CentralHeader header;                 // central header image
  std::string StoredName;               // ANSI (UTF-8), "/" separators
  std::string Comment;                  // entry comment
  std::vector<ExtraBlock> ExtraBlocks;  // kept blocks, in order
  bool HasZip64 = false;
  uint64_t Zip64UncompressedSize = 0;   // when header holds 0xFFFFFFFF
  uint64_t Zip64CompressedSize = 0;     // when header holds 0xFFFFFFFF
  uint64_t Zip64LocalOffset = 0;        // when header holds 0xFFFFFFFF
  uint32_t Zip64DiskStart = 0;          // when header holds 0xFFFF
  bool Pending = false;                 // touched by the running transaction
  std::string EntryPassword;
  // The entry's data in place of SourceFileName's file, or none; an owned
  // stream is freed when no copy of the item holds it any more.
  SourceStreamRef SourceStream;
  uint32_t SourceOffset = 0;
  std::string SourceFileName;
  uint8_t EntryLevel = 0;                    // compression mode 0..9
  TZAProcessOperation EntryAction = poAdd;

  // The 64-bit values, taken from the Zip64 fields where the 32-bit (or
  // 16-bit) header field holds its marker.
  uint64_t UncompressedSize() const;
  uint64_t CompressedSize() const;
  uint64_t LocalHeaderOffset() const;
  uint32_t DiskStart() const;
  bool OwnsSource() const { return SourceStream.owned(); }
  bool IsFolder() const { return (header.external_attributes & 0x10) != 0; }
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_DIR_ITEM_H_
