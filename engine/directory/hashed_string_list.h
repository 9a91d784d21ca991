// A string list whose lookups go through chained hash tables, so that the
// directory store can find an entry among tens of thousands by name.
//
// TZAStringHash maps keys to positions: each bucket heads a singly linked
// chain, new items go to the head, a lookup returns the first exact match,
// so among equal keys the one inserted last wins.
//
// TZAHashedStringList keeps two such tables over its strings: a value index
// (whole string -> position) used by IndexOf and a name index (text before
// the first "=" -> position) used by IndexOfName. Keys are the strings
// themselves when CaseSensitive(), otherwise their upper-case forms
// (platform::AnsiUpperCase).
#ifndef TESSALY_ENGINE_DIRECTORY_HASHED_STRING_LIST_H_
#define TESSALY_ENGINE_DIRECTORY_HASHED_STRING_LIST_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/string_list.h"

namespace tessaly::engine {

struct THashItem {
  THashItem* Next;
  std::string Key;
  int32_t Value;
};

class TZAStringHash {
 public:
  // A table of `bucket_count` empty chains (a count of 0 is taken as 1).
  explicit TZAStringHash(uint32_t bucket_count);
  TZAStringHash(const TZAStringHash&) = delete;
  TZAStringHash& operator=(const TZAStringHash&) = delete;
  virtual ~TZAStringHash();

  // h := 0; for each byte c: h := rotl32(h, 2) xor c. The bucket is
  // HashKey(key) mod BucketCount(). Descendants may supply another hash.
  virtual uint32_t HashKey(std::string_view key) const;

  // Puts (key, value) at the head of its chain; equal keys are not merged.
  void Insert(std::string_view key, int32_t value);
  // The link (bucket head or an item's Next) that refers to the first item
  // of key's chain whose Key equals `key` byte for byte, or the chain's
  // terminating null link. Valid until the table changes.
  THashItem** FindSlot(std::string_view key);
  // The Value of the item FindSlot finds, or -1.
  int32_t Lookup(std::string_view key);
  // Unlinks and frees the item FindSlot finds, if any.
  void Remove(std::string_view key);
  // Unlinks and frees the first item of key's chain whose Key equals `key`
  // and whose Value equals `value`, if any.
  void Remove(std::string_view key, int32_t value);
  // Frees every item; the bucket count stays.
  void Clear();

  // The bucket count given at creation.
  const uint32_t BucketCount;

 protected:
  // One chain head per bucket; null for an empty chain. The items are owned.
  std::vector<THashItem*> Buckets;

 private:
  THashItem*& Head(std::string_view key);
};

class TZAHashedStringList : public TStringList {
 public:
  TZAHashedStringList() = default;
  ~TZAHashedStringList() override = default;

  // Appends as the base list does. While the value index is valid, the new
  // string is entered into it; once the list holds more than five strings
  // per bucket the index is dropped, to be rebuilt at its new size by the
  // next IndexOf.
  int Add(std::string_view s) override;
  // Replaces as the base list does and keeps an existing value index in
  // step (the old string's entry for `index` is removed, the new one
  // entered).
  void Put(int index, std::string_view s) override;
  // Removes as the base list does; both indexes become invalid (positions
  // after `index` moved).
  void Delete(int index) override;
  // Empties the list and the value index (which stays valid).
  void Clear() override;
  // The position of `s`, or -1; among equal strings the one entered into
  // the index last, i.e. after a rebuild the highest position and after an
  // Add of a duplicate the new one. Builds the value index when needed:
  // max(Count(), 1000) buckets.
  int IndexOf(std::string_view s) override;
  // The position whose name (text before the first "=") equals `name`
  // under the key rule, or -1; the highest such position. Rebuilds the
  // 256-bucket name index whenever the list changed since it was built.
  int IndexOfName(std::string_view name) override;
  // Changes the key rule, so both indexes become invalid.
  void SetCaseSensitive(bool value) override;

  // For inspection: bucket count of an index, or -1 when it does not exist,
  // and whether it is marked valid.
  int64_t ValueIndexBucketCount() const;
  int64_t NameIndexBucketCount() const;
  bool IsValueIndexValid() const { return ValueIndexValid; }
  bool IsNameIndexValid() const { return NameIndexValid; }

 protected:
  // The key of `s` under the current CaseSensitive setting.
  std::string Key(std::string_view s) const;
  void RebuildValueIndex();
  void RebuildNameIndex();

  std::unique_ptr<TZAStringHash> ValueIndex;  // whole string -> position
  std::unique_ptr<TZAStringHash> NameIndex;   // name -> position
  bool ValueIndexValid = false;  // ValueIndex holds exactly the strings
  bool NameIndexValid = false;   // NameIndex holds exactly the names

 private:
  uint64_t name_index_change_count_ = 0;  // ChangeCount() when NameIndex built
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_HASHED_STRING_LIST_H_
