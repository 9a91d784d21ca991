// The array keeps `Items` at its capacity and `Used` items in use. The name
// index is positional: Names[i] is the lower-case name of item i for every
// i below Names.Count(), which may run behind Used while a directory is
// being filled in order (each new item's name is then appended).

#include "engine/directory/dir_array.h"

#include <algorithm>
#include <utility>

#include "engine/base/za_exception.h"
#include "platform/stream.h"
#include "platform/text.h"

namespace tessaly::engine {

namespace {

// Codes of the index errors; raised without an archiver.

std::string NameKey(const std::string& name) {
  return platform::AnsiLowerCase(name);
}

}  // namespace

TZADirArray::TZADirArray() = default;

TZADirArray::~TZADirArray() { Clear(); }

void TZADirArray::SetCount(int32_t n) {
  n = std::max(n, 0);
  if (n > Capacity) {
    GrowStep = static_cast<int32_t>(
        std::min<int64_t>(int64_t{GrowStep} * 2, GrowLimit));
    const int64_t grown = int64_t{Capacity} + GrowStep;
    Capacity = grown > n ? static_cast<int32_t>(grown) : n;
    Items.resize(static_cast<size_t>(Capacity));
  } else if (n == 0) {
    std::vector<TDirItem>().swap(Items);
    Capacity = 0;
  }
  // Names of items that are no longer in use would otherwise be found by
  // FindName and point past the end.
  while (Names.Count() > n) Names.Delete(Names.Count() - 1);
  Used = n;
}

void TZADirArray::Reserve(int32_t n) {
  if (n <= Capacity) return;
  Items.resize(static_cast<size_t>(n));
  Capacity = n;
}

void TZADirArray::Clear() {
  for (int32_t i = 0; i < Used; ++i) {
    TDirItem& item = Items[static_cast<size_t>(i)];
    std::vector<ExtraBlock>().swap(item.ExtraBlocks);
    item.SourceStream.Reset();
  }
  Used = 0;
  Names.Clear();
}

void TZADirArray::GetItem(int32_t index, TDirItem& item) const {
  if (index < 0 || index >= Used) throw EZAException(kCodeGetItemIndex);
  item = Items[static_cast<size_t>(index)];
}

TDirItem& TZADirArray::ItemPtr(int32_t index) {
  if (index < 0 || index >= Used) throw EZAException(kCodeItemPtrIndex);
  return Items[static_cast<size_t>(index)];
}

const TDirItem& TZADirArray::ItemPtr(int32_t index) const {
  if (index < 0 || index >= Used) throw EZAException(kCodeItemPtrIndex);
  return Items[static_cast<size_t>(index)];
}

void TZADirArray::PutItem(int32_t index, const TDirItem& item) {
  if (index < 0 || index >= Used) throw EZAException(kCodePutItemIndex);
  const std::string key = NameKey(item.StoredName);
  if (index < Names.Count()) {
    Names.Put(index, key);
  } else if (index == Names.Count()) {
    Names.Add(key);
  } else {
    throw EZAException(kCodePutItemNames);
  }
  // Copy assignment gives the slot its own extra block data and frees the
  // old one; `item` may be the slot itself.
  Items[static_cast<size_t>(index)] = item;
}

void TZADirArray::DeleteItem(int32_t index) {
  if (index < 0 || index >= Used) throw EZAException(kCodeDeleteItemIndex);
  // The name index is positional, so the item's own position goes. Looking
  // the name up by value would pick the last of several equal names and
  // leave the index out of step with the items.
  if (index < Names.Count()) Names.Delete(index);

  auto first = Items.begin() + index;
  std::move(first + 1, Items.begin() + Used, first);
  Items[static_cast<size_t>(Used - 1)] = TDirItem{};
  SetCount(Used - 1);
}

int32_t TZADirArray::AddItem(const TDirItem& item) {
  const int32_t index = Used;
  SetCount(Used + 1);
  try {
    PutItem(index, item);
  } catch (...) {
    Used = index;
    throw;
  }
  return index;
}

void TZADirArray::Assign(const TZADirArray& source) {
  if (&source == this) return;
  Clear();
  SetCount(source.Count());
  for (int32_t i = 0; i < source.Count(); ++i) {
    PutItem(i, source.Items[static_cast<size_t>(i)]);
  }
}

bool TZADirArray::FindName(const std::string& name, int32_t& index) {
  index = Names.IndexOf(NameKey(name));
  if (index >= Used) index = -1;
  return index >= 0;
}

void TZADirArray::RenameItem(int32_t index, const std::string& name) {
  TDirItem& item = ItemPtr(index);
  const std::string key = NameKey(name);
  if (index < Names.Count()) {
    Names.Put(index, key);
  } else if (index == Names.Count()) {
    Names.Add(key);
  } else {
    // Earlier items have no names yet: there is no position for this one.
    throw EZAException(kCodeRenameItemNames);
  }
  item.StoredName = name;
}

}  // namespace tessaly::engine
