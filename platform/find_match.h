// The name matching and attribute filtering of Env::FindFiles, shared by
// every Env implementation so that they agree.
#ifndef TESSALY_PLATFORM_FIND_MATCH_H_
#define TESSALY_PLATFORM_FIND_MATCH_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace tessaly::platform {

// Whether `name` matches the find pattern `pattern`: '*' takes any run of
// characters, '?' exactly one character (platform/text.h AnsiCharLength:
// one UTF-8 sequence or one invalid byte on POSIX, one byte or double-byte
// pair on Windows), everything else itself with letters compared by their
// upper case (AnsiUpperCase). A name without a dot also matches when it matches
// with a dot appended, as on Windows: "*.*" and "a.*" match "a", "*." matches
// exactly the names without a dot. An empty pattern matches nothing.
bool FindPatternMatches(std::string_view pattern, std::string_view name);

// Whether an entry with `attributes` is returned under `attribute_filter`:
// every one of the bits hidden 0x02, system 0x04, volume 0x08 and folder
// 0x10 that the entry has must be in the filter.
bool PassesAttributeFilter(uint32_t attributes, uint32_t attribute_filter);

// Puts found entries in the order NTFS lists a folder: by their upper-cased
// names (AnsiUpperCase) compared byte by byte, names equal in that form by
// their own bytes. Every Env lists in this order, so an archive holds its
// entries in the same order whatever file system the files came from.
void SortFoundFiles(std::vector<FoundFile>& found);

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_FIND_MATCH_H_
