// Entry names as they are written into ZIP records and read back.
//
// In memory an entry name is the system's ANSI text (platform/text.h). With
// OEM names on it is written in the OEM code page; otherwise its ANSI bytes
// are written as they stand. A name that the OEM code page cannot hold is
// written in UTF-8 instead and flagged with general purpose bit 11 (APPNOTE
// 4.4.4 and appendix D), which Info-ZIP, 7-Zip and Python's zipfile all
// honour: the reader gets the real name, and names that differ only in
// characters the code page lacks stay different. A name the OEM code page
// holds is written exactly as it always was.
#ifndef TESSALY_ENGINE_FORMAT_ENTRY_NAME_H_
#define TESSALY_ENGINE_FORMAT_ENTRY_NAME_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaly::engine {

// The name flag a new entry called `name` needs: kFlagUtf8Name when `oem`
// is on, some character of `name` has no OEM form, and the whole name has a
// UTF-8 form; 0 otherwise. (Bytes that are not ANSI text at all, such as
// an invalid UTF-8 sequence on POSIX, have no UTF-8 form: such a name is
// written in the OEM code page as before, each of those bytes as '_'.)
uint16_t NameEncodingFlag(std::string_view name, bool oem);

// The bytes written for `name` (ANSI text) under the general purpose
// `flags`: UTF-8 when they hold kFlagUtf8Name, else the OEM code page when
// `oem`, else the ANSI bytes unchanged.
std::string EncodeEntryName(std::string_view name, uint16_t flags, bool oem);

// The ANSI name that the bytes `raw` of a record stand for under `flags`
// (the inverse of EncodeEntryName). `raw` ends at its first NUL byte.
std::string DecodeEntryName(std::string raw, uint16_t flags, bool oem);

// The "version made by" (which this engine also writes as "version
// needed") of an entry chosen as `version` for its size and name mode, once
// its name is written under `flags`: a name flagged as UTF-8 claims host
// NTFS (11), as ANSI names do, because Info-ZIP converts every name of an
// MS-DOS host (0) from the OEM code page, flagged or not. Other names keep
// `version`.
uint16_t VersionForName(uint16_t version, uint16_t flags);

// The name as a reader of the archive gets it back: `name` itself, or, when
// some of its characters cannot be written (see NameEncodingFlag), the name
// with '_' in their place.
std::string WrittenEntryName(std::string_view name, bool oem);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_ENTRY_NAME_H_
