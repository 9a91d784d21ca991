// Whether a code page holds a name is tested by converting the name there
// and back: a character without a form in the code page comes back as '_',
// so only a name the code page holds comes back unchanged. For UTF-8 the
// converted bytes must also be valid UTF-8, because on POSIX the conversion
// is the identity and a file name may hold any bytes.

#include "engine/format/entry_name.h"

#include "engine/format/signatures.h"
#include "platform/text.h"

namespace tessaly::engine {
namespace {

bool HasOemForm(std::string_view name) {
  return platform::OemToAnsi(platform::AnsiToOem(name)) == name;
}

bool HasUtf8Form(std::string_view name) {
  const std::string utf8 = platform::AnsiToUtf8(name);
  return platform::IsValidUtf8(utf8) && platform::Utf8ToAnsi(utf8) == name;
}

}  // namespace

uint16_t NameEncodingFlag(std::string_view name, bool oem) {
  if (!oem || HasOemForm(name) || !HasUtf8Form(name)) return 0;
  return kFlagUtf8Name;
}

std::string EncodeEntryName(std::string_view name, uint16_t flags, bool oem) {
  if ((flags & kFlagUtf8Name) != 0) return platform::AnsiToUtf8(name);
  return oem ? platform::AnsiToOem(name) : std::string(name);
}

std::string DecodeEntryName(std::string raw, uint16_t flags, bool oem) {
  const size_t nul = raw.find('\0');
  if (nul != std::string::npos) raw.resize(nul);
  // A name flagged as UTF-8 is UTF-8 whatever OEMFileNames says; in memory
  // names are ANSI text, so that they compare with the file system's.
  if ((flags & kFlagUtf8Name) != 0) return platform::Utf8ToAnsi(raw);
  if (oem) return platform::OemToAnsi(raw);
  return raw;
}

uint16_t VersionForName(uint16_t version, uint16_t flags) {
  if ((flags & kFlagUtf8Name) == 0) return version;
  return static_cast<uint16_t>((kVersionAnsi & 0xFF00) | (version & 0x00FF));
}

std::string WrittenEntryName(std::string_view name, bool oem) {
  const uint16_t flags = NameEncodingFlag(name, oem);
  return DecodeEntryName(EncodeEntryName(name, flags, oem), flags, oem);
}

}  // namespace tessaly::engine
