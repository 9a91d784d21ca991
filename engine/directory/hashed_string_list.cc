#include "engine/directory/hashed_string_list.h"

#include <algorithm>

#include "platform/text.h"

namespace tessaly::engine {

TZAStringHash::TZAStringHash(uint32_t bucket_count)
    : BucketCount(std::max<uint32_t>(bucket_count, 1)),
      Buckets(BucketCount, nullptr) {}

TZAStringHash::~TZAStringHash() { Clear(); }

uint32_t TZAStringHash::HashKey(std::string_view key) const {
  uint32_t h = 0;
  for (char c : key) {
    h = ((h << 2) | (h >> 30)) ^ static_cast<unsigned char>(c);
  }
  return h;
}

THashItem*& TZAStringHash::Head(std::string_view key) {
  return Buckets[HashKey(key) % Buckets.size()];
}

void TZAStringHash::Insert(std::string_view key, int32_t value) {
  THashItem*& head = Head(key);
  head = new THashItem{head, std::string(key), value};
}

THashItem** TZAStringHash::FindSlot(std::string_view key) {
  THashItem** link = &Head(key);
  while (*link != nullptr && (*link)->Key != key) link = &(*link)->Next;
  return link;
}

int32_t TZAStringHash::Lookup(std::string_view key) {
  THashItem* item = *FindSlot(key);
  return item ? item->Value : -1;
}

void TZAStringHash::Remove(std::string_view key) {
  THashItem** link = FindSlot(key);
  if (THashItem* item = *link) {
    *link = item->Next;
    delete item;
  }
}

void TZAStringHash::Remove(std::string_view key, int32_t value) {
  THashItem** link = &Head(key);
  while (*link != nullptr && ((*link)->Key != key || (*link)->Value != value)) {
    link = &(*link)->Next;
  }
  if (THashItem* item = *link) {
    *link = item->Next;
    delete item;
  }
}

void TZAStringHash::Clear() {
  for (THashItem*& head : Buckets) {
    while (THashItem* item = head) {
      head = item->Next;
      delete item;
    }
  }
}

std::string TZAHashedStringList::Key(std::string_view s) const {
  return CaseSensitive() ? std::string(s) : platform::AnsiUpperCase(s);
}

int TZAHashedStringList::Add(std::string_view s) {
  int position = TStringList::Add(s);
  if (ValueIndex && ValueIndexValid) {
    ValueIndex->Insert(Key(s), position);
    if (static_cast<uint64_t>(Count()) > 5ull * ValueIndex->BucketCount) {
      ValueIndex.reset();
      ValueIndexValid = false;
    }
  }
  return position;
}

void TZAHashedStringList::Put(int index, std::string_view s) {
  // Get checks the index before the index is touched. Only the entry that
  // stands for this position is removed: with duplicates, removing the
  // first entry of the old key could drop another position's entry and
  // leave this one pointing at the new string.
  std::string old_key = Key(Get(index));
  if (ValueIndex) ValueIndex->Remove(old_key, index);
  TStringList::Put(index, s);
  if (ValueIndex) ValueIndex->Insert(Key(s), index);
}

void TZAHashedStringList::Delete(int index) {
  TStringList::Delete(index);
  ValueIndexValid = false;
  NameIndexValid = false;
}

void TZAHashedStringList::Clear() {
  TStringList::Clear();
  if (ValueIndex) ValueIndex->Clear();
}

int TZAHashedStringList::IndexOf(std::string_view s) {
  RebuildValueIndex();
  return ValueIndex->Lookup(Key(s));
}

int TZAHashedStringList::IndexOfName(std::string_view name) {
  RebuildNameIndex();
  return NameIndex->Lookup(Key(name));
}

void TZAHashedStringList::SetCaseSensitive(bool value) {
  if (value == CaseSensitive()) return;
  TStringList::SetCaseSensitive(value);
  ValueIndexValid = false;
  NameIndexValid = false;
}

int64_t TZAHashedStringList::ValueIndexBucketCount() const {
  return ValueIndex ? static_cast<int64_t>(ValueIndex->BucketCount) : -1;
}

int64_t TZAHashedStringList::NameIndexBucketCount() const {
  return NameIndex ? static_cast<int64_t>(NameIndex->BucketCount) : -1;
}

void TZAHashedStringList::RebuildValueIndex() {
  if (!ValueIndex) {
    ValueIndex = std::make_unique<TZAStringHash>(
        static_cast<uint32_t>(std::max(Count(), 1000)));
  }
  if (ValueIndexValid) return;
  ValueIndex->Clear();
  for (int i = 0; i < Count(); ++i) ValueIndex->Insert(Key(Get(i)), i);
  ValueIndexValid = true;
}

void TZAHashedStringList::RebuildNameIndex() {
  if (NameIndex && NameIndexValid &&
      name_index_change_count_ == ChangeCount()) {
    return;
  }
  if (NameIndex) {
    NameIndex->Clear();
  } else {
    NameIndex = std::make_unique<TZAStringHash>(256);
  }
  for (int i = 0; i < Count(); ++i) {
    std::string_view name;
    if (NamePart(Get(i), name)) NameIndex->Insert(Key(name), i);
  }
  NameIndexValid = true;
  name_index_change_count_ = ChangeCount();
}

}  // namespace tessaly::engine
