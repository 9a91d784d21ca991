// TStringList: an ordered list of strings with lookups by whole string and
// by name (the part before the first "="), like the class library's list.
// The archiver keeps its mask lists in it; the directory store's hashed
// name list derives from it and overrides the operations that change or
// search the list.
#ifndef TESSALY_ENGINE_BASE_STRING_LIST_H_
#define TESSALY_ENGINE_BASE_STRING_LIST_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exception.h"

namespace tessaly::engine {

// An index outside the list: "List index out of bounds (<index>)".
class EStringListError : public platform::Exception {
 public:
  explicit EStringListError(int index);
  const char* ClassName() const noexcept override { return "EStringListError"; }
};

class TStringList {
 public:
  TStringList() = default;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;
  virtual ~TStringList() = default;

  // Appends `s` and returns its position.
  virtual int Add(std::string_view s);
  // Replaces the string at `index`. Raises EStringListError when `index` is
  // outside 0..Count()-1.
  virtual void Put(int index, std::string_view s);
  // Removes the string at `index`; later strings move down by one. Raises
  // EStringListError when `index` is outside 0..Count()-1.
  virtual void Delete(int index);
  virtual void Clear();

  // The first position whose string equals `s`, or -1. Strings compare
  // exactly when CaseSensitive(), otherwise by their upper-case forms
  // (platform::AnsiUpperCase). Derived lists may answer a different
  // position among equal strings (see TZAHashedStringList).
  virtual int IndexOf(std::string_view s);
  // The first position whose name (the text before the first "=") equals
  // `name` under the same rule, or -1. Strings without "=" have no name.
  virtual int IndexOfName(std::string_view name);

  int Count() const { return static_cast<int>(strings_.size()); }
  // The string at `index`. Raises EStringListError when out of range.
  const std::string& Get(int index) const;
  const std::string& operator[](int index) const { return Get(index); }
  const std::vector<std::string>& Strings() const { return strings_; }

  bool CaseSensitive() const { return case_sensitive_; }
  virtual void SetCaseSensitive(bool value);

  // Replaces the contents by a copy of `lines` / of `other`'s strings
  // (through Clear and Add, so derived lists stay consistent). The
  // CaseSensitive setting is not copied.
  void Assign(const std::vector<std::string>& lines);
  void Assign(const TStringList& other);
  // Replaces the contents by the lines of `text`, split at CR LF, LF or CR;
  // a line break at the very end does not start another line.
  void SetText(std::string_view text);

 protected:
  // Raised by every change of contents or of CaseSensitive; derived lists
  // compare it to tell whether the list changed since they last looked.
  uint64_t ChangeCount() const { return change_count_; }
  void Changed() { ++change_count_; }

  // The text before the first "=", or false when there is none.
  static bool NamePart(std::string_view s, std::string_view& name);

 private:
  void CheckIndex(int index) const;
  bool SameText(std::string_view a, std::string_view b) const;

  std::vector<std::string> strings_;
  bool case_sensitive_ = false;
  uint64_t change_count_ = 0;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_STRING_LIST_H_
