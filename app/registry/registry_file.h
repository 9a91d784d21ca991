// A Windows registry export (".reg" text) read into memory. On a system
// without a registry the collector takes its settings from such a file, so
// that an administrator can write it by hand or export it from a Windows
// machine with the registry editor.
//
// Accepted format (what the registry editor writes and reads):
//
//   Windows Registry Editor Version 5.00        (or "REGEDIT4")
//
//   ; a comment
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Vendor\App]    a key (a section)
//   "Name"="text with \\ and \" escapes"         a string value
//   @="default value"                           the key's unnamed value
//   "Count"=dword:0000001f                      a 32-bit number
//   "Blob"=hex:01,02,ff                         binary data
//   "Path"=hex(2):43,00,3a,00,00,00             data of type 2 (expandable
//                                               string), UTF-16LE in version
//                                               5.00 files, ANSI in REGEDIT4
//   "Long"=hex(7):41,00,00,00,\                 a hex list continues on the
//     00,00                                     next line after a backslash
//   "Old"=-                                     deletes a value
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\Old]          deletes a key and its subkeys
//
// The file may be UTF-8 (with or without a byte-order mark) or UTF-16 with a
// byte-order mark, as the registry editor saves it. Key paths and value names
// compare without regard to letter case, as on Windows.
#ifndef TESSALY_APP_REGISTRY_REGISTRY_FILE_H_
#define TESSALY_APP_REGISTRY_REGISTRY_FILE_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/exception.h"

namespace tessaly::app {

// A registry file that is not an export, a malformed line in one, or a value
// read as the wrong type.
class ERegistryException : public platform::Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override {
    return "ERegistryException";
  }
};

// Registry data types, numbered as Windows numbers them (REG_NONE ...).
enum RegistryDataType : uint32_t {
  kRegNone = 0,
  kRegString = 1,
  kRegExpandString = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiString = 7,
  kRegQword = 11,
};

// A readable name of a type: "string", "dword", "type 0x15", ...
std::string RegistryTypeName(uint32_t type);

struct RegistryValue {
  std::string name;  // as written; "" for the unnamed value (@)
  uint32_t type = kRegNone;
  // kRegString and kRegExpandString: the text (UTF-8), without the
  // terminating NUL that binary forms carry.
  std::string text;
  // Every other type: the bytes as stored (a dword little-endian).
  std::vector<uint8_t> data;
};

class RegistryFile {
 public:
  enum class Format { kVersion5, kRegedit4 };

  // Parses the content of an export file; `origin` names it in messages.
  // Raises ERegistryException when the first line is not one of the two
  // headers, or a line cannot be understood (the message gives the line).
  static RegistryFile Parse(std::string_view content, std::string_view origin);

  // Reads and parses the file `path`. std::nullopt when there is no such
  // file or it cannot be read (a folder, access refused): the registry then
  // reads as empty. Parse errors raise as for Parse.
  static std::optional<RegistryFile> Load(platform::Env& env,
                                          const std::string& path);

  Format format() const { return format_; }

  // Whether the key exists: a section names it or one of its subkeys (a key
  // implies its parents). `path` is the full path beginning with the root
  // name ("HKEY_LOCAL_MACHINE\SOFTWARE\..."); a trailing '\' is ignored.
  bool KeyExists(std::string_view path) const;

  // The value `name` of the key `path`, or nullptr when either is missing.
  const RegistryValue* FindValue(std::string_view path,
                                 std::string_view name) const;

  // Number of keys that sections define (not counting implied parents).
  size_t KeyCount() const { return keys_.size(); }

 private:
  struct Key {
    std::string path;  // as first written
    // By folded name.
    std::map<std::string, RegistryValue> values;
  };

  RegistryFile() = default;

  Format format_ = Format::kVersion5;
  // By folded path without a trailing '\'.
  std::map<std::string, Key> keys_;

  friend class RegistryParser;
};

// The registry key path in the form used as a map key: upper case (Unicode
// simple case mapping), runs of '\' collapsed, no leading or trailing '\'.
std::string FoldRegistryPath(std::string_view path);

}  // namespace tessaly::app

#endif  // TESSALY_APP_REGISTRY_REGISTRY_FILE_H_
