// A growable array of directory items with a case-insensitive index of
// their names. The name of item i is always at position i of the index.
#ifndef TESSALY_ENGINE_DIRECTORY_DIR_ARRAY_H_
#define TESSALY_ENGINE_DIRECTORY_DIR_ARRAY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/directory/dir_item.h"
#include "engine/directory/hashed_string_list.h"

namespace tessaly::engine {

class TZADirArray {
 public:
  TZADirArray();
  TZADirArray(const TZADirArray&) = delete;
  TZADirArray& operator=(const TZADirArray&) = delete;
  ~TZADirArray();

  int32_t Count() const { return Used; }

  // Grows the storage by a step that doubles up to GrowLimit when n exceeds
  // the capacity; releases all storage for n = 0; otherwise keeps it.
  void SetCount(int32_t n);

  // Makes room for at least n items without changing Count or the growth
  // step; storage never shrinks here. For readers that grow the array as
  // the items they read prove real rather than by what a record claims.
  void Reserve(int32_t n);

  // Frees every item's extra data and lets go of its source stream; Used = 0
  // (storage kept); names cleared.
  void Clear();

  // Copies item `index` out. Raises EZAException 2 outside 0..Count-1.
  void GetItem(int32_t index, TDirItem& item) const;
  // The item for editing in place. Raises EZAException 3 outside the range.
  TDirItem& ItemPtr(int32_t index);
  const TDirItem& ItemPtr(int32_t index) const;
  // Stores a copy of `item` at `index` and keeps the name index in step.
  // Raises 1 outside the range, 58 when the name index is out of step.
  void PutItem(int32_t index, const TDirItem& item);
  // Removes item `index` (its owned source stream is freed unless another
  // copy of the item holds it). Raises 4.
  void DeleteItem(int32_t index);
  // Appends a copy of `item` (SetCount(Count()+1), PutItem). Returns index.
  int32_t AddItem(const TDirItem& item);

  // Clear, then a copy of every item of `source`.
  void Assign(const TZADirArray& source);

  // Index of the item whose name equals `name` ignoring letter case (the
  // last inserted when several share it), or -1. Returns index >= 0.
  bool FindName(const std::string& name, int32_t& index);

  // Renames item `index` and keeps the name index in step. The index is
  // positional: the name goes to position `index`, appended when the items
  // before it are named and it is not; raises 59 when an earlier item has no
  // name yet, and 3 when `index` is outside 0..Count-1.
  void RenameItem(int32_t index, const std::string& name);

  // Storage and growth state, exposed for tests.
  int32_t GrowStep = 500;
  int32_t GrowLimit = 10000;
  int32_t Capacity = 0;
  int32_t Used = 0;

 private:
  std::vector<TDirItem> Items;
  TZAHashedStringList Names;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_DIR_ARRAY_H_
