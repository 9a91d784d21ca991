// Where entries lie: the place the running rewrite writes to, how an item
// finds the old entry it continues, and how an item records where its local
// header lies. Shared by the entry writer, the entry pipeline and the
// archiver's transaction.
#ifndef TESSALY_ENGINE_ENTRIES_ENTRY_PLACEMENT_H_
#define TESSALY_ENGINE_ENTRIES_ENTRY_PLACEMENT_H_

#include <cstdint>
#include <vector>

#include "engine/base/types.h"
#include "engine/directory/dir_array.h"
#include "engine/directory/dir_item.h"
#include "platform/stream.h"

namespace tessaly::engine {

// Where the running update rewrites the archive. The archiver's transaction
// sets it up and ends it; the entry writer writes by it.
struct RewritePlace {
  // Where the rewriting begins in the current volume.
  int64_t start = 0;
  // The old bytes of the current volume from `start` on, when entries are
  // carried over from there (owned by the volumes' undo log); null
  // otherwise.
  platform::Stream* backup = nullptr;

  // Staged rewriting of a single-file archive: the new tail is written
  // behind the old end with its local headers hidden. Items always carry
  // their final offsets; while staging their bytes lie write_shift further
  // on.
  bool staging = false;
  int64_t write_shift = 0;
  struct HiddenHeader {
    int64_t position;  // in the stream
    uint32_t signature;
  };
  std::vector<HiddenHeader> hidden_headers;

  // The position of an item's local header in the stream while staging.
  int64_t PhysicalOffset(const TDirItem& item) const {
    return static_cast<int64_t>(item.LocalHeaderOffset()) + write_shift;
  }
  // Back to no rewriting.
  void Clear() {
    staging = false;
    write_shift = 0;
    hidden_headers.clear();
    backup = nullptr;
  }
};

// The index in `saved` of the entry that `item` continues, or -1.
//
// Searched from index 0. An entry of the same name (letter case ignored)
// whose local header lies where `item` says its header lies is taken first,
// so that duplicate names in a foreign archive each find their own data; then
// the first entry of the same name; for a pending rename, the entry at the
// same place whatever its name.
// (Not const: the name index of `saved` is consulted.)
int32_t FindOldItem(TZADirArray& saved, const TDirItem& item);

// Gives item `index` of `dir`, which failed to be written, the old entry it
// replaced: the item becomes its entry of `saved` (FindOldItem), with the
// old directory values and data. Returns that entry's index in `saved`, or
// -1 when there is none (the item is left as it is).
int32_t GiveOldEntryBack(TZADirArray& dir, TZADirArray& saved, int32_t index);

// Records where an item's local header lies: in the 32-bit field, or as
// 0xFFFFFFFF there with the position in Zip64LocalOffset (and the Zip64 mark
// set) when the position is 0xFFFFFFFF or beyond or `mode` is zmAlways.
void SetLocalOffset(TDirItem& item, int64_t position, TZip64Mode mode);

// Records the volume holding an item's local header; 0xFFFF and the number
// in Zip64DiskStart from volume 65,535 on. A negative number counts as 0.
void SetDiskStart(TDirItem& item, int32_t volume);

// Sets the stream's position to `position` and cuts it there. Raises
// platform::EWriteError when it cannot.
void CutAt(platform::Stream& stream, int64_t position);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ENTRIES_ENTRY_PLACEMENT_H_
