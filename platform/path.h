// Pure string functions on file paths, written once for both path syntaxes.
//
// Windows syntax: '\' and '/' are both delimiters; a path may begin with a
// drive ("C:") or a UNC share ("\\server\share"). POSIX syntax: '/' is the
// only delimiter and there are no drives. Every function takes the syntax as
// its last parameter, defaulting to the one of the running system, so the
// Windows rules can be tested on any host. None touches the file system.
//
// Examples (Windows syntax):
//   ExtractFilePath("C:\\data\\a.dat")     == "C:\\data\\"
//   ExtractFileDir("C:\\data\\a.dat")      == "C:\\data"
//   ExtractFileName("C:\\data\\a.dat")     == "a.dat"
//   ExtractFileExt("C:\\data\\a.dat")      == ".dat"
//   ExtractFileDrive("\\\\srv\\share\\x")  == "\\\\srv\\share"
//   ExtractRelativePath("C:\\data\\a.dat", "C:\\other\\c.bmp")
//                                          == "..\\other\\c.bmp"
#ifndef TESSALY_PLATFORM_PATH_H_
#define TESSALY_PLATFORM_PATH_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tessaly::platform {

enum class PathSyntax { kPosix, kWindows };

#ifdef _WIN32
inline constexpr PathSyntax kNativeSyntax = PathSyntax::kWindows;
#else
inline constexpr PathSyntax kNativeSyntax = PathSyntax::kPosix;
#endif

// The preferred delimiter: '/' (POSIX) or '\' (Windows).
char PathDelimiter(PathSyntax syntax = kNativeSyntax);

// Whether s[i] is a path delimiter. False when i is out of range, and on
// Windows for a '\' byte that is the second byte of a double-byte character
// of the ANSI code page (platform/text.h AnsiCharLength); the functions
// below ask the same way.
bool IsPathDelimiter(std::string_view s, size_t i,
                     PathSyntax syntax = kNativeSyntax);

// Appends the preferred delimiter unless `path` already ends with one. An
// empty path gives the delimiter alone (the root of the current drive).
std::string IncludeTrailingPathDelimiter(std::string_view path,
                                         PathSyntax syntax = kNativeSyntax);

// Removes one trailing delimiter, if any.
std::string ExcludeTrailingPathDelimiter(std::string_view path,
                                         PathSyntax syntax = kNativeSyntax);

// `path` with every delimiter written as the preferred one: on Windows each
// '/' becomes '\'. On POSIX `path` is returned unchanged ('/' is the only
// delimiter there, and '\' an ordinary name character).
std::string NormalizePathDelimiters(std::string_view path,
                                    PathSyntax syntax = kNativeSyntax);

// The drive and folder part, with its trailing delimiter: everything up to
// and including the last delimiter (or a Windows drive colon). "" when the
// path has neither.
std::string ExtractFilePath(std::string_view path,
                            PathSyntax syntax = kNativeSyntax);

// ExtractFilePath without its trailing delimiter, except where removing it
// would change the meaning: a root ("/", "C:\") keeps it.
std::string ExtractFileDir(std::string_view path,
                           PathSyntax syntax = kNativeSyntax);

// The part after the last delimiter (or Windows drive colon).
std::string ExtractFileName(std::string_view path,
                            PathSyntax syntax = kNativeSyntax);

// The extension with its dot: from the last '.' of the name part to the end;
// "" when the name part has no dot.
std::string ExtractFileExt(std::string_view path,
                           PathSyntax syntax = kNativeSyntax);

// Replaces the extension of the name part by `extension` (given with its dot,
// or "" to remove it), or appends it when there is none.
std::string ChangeFileExt(std::string_view path, std::string_view extension,
                          PathSyntax syntax = kNativeSyntax);

// Windows: "C:" for a drive path, "\\server\share" for a UNC path (with the
// delimiters as written), else "". POSIX: always "".
std::string ExtractFileDrive(std::string_view path,
                             PathSyntax syntax = kNativeSyntax);

// POSIX: begins with '/'. Windows: "C:\..." (drive plus delimiter) or a UNC
// path "\\server\share...". "\x" and "C:x" are not absolute.
bool IsAbsolutePath(std::string_view path, PathSyntax syntax = kNativeSyntax);

// Makes `path` absolute against `current_dir` (an absolute folder, with or
// without trailing delimiter), then resolves "." and ".." segments and
// collapses repeated delimiters. ".." never climbs above the root (or
// drive/share). On Windows "\x" is taken relative to the drive of
// `current_dir`, "C:x" against `current_dir` when it is on drive C: and
// against "C:\" otherwise; delimiters are written as '\'. A trailing
// delimiter of `path` is kept. An empty `path` gives "".
std::string ExpandFileName(std::string_view path, std::string_view current_dir,
                           PathSyntax syntax = kNativeSyntax);

// The path of `dest_name` relative to the folder of `base_name` (a file name,
// or a folder given with a trailing delimiter), built from ".." segments and
// the remaining components of `dest_name`. Both should be absolute. When the
// drives differ (Windows, compared case-insensitively) `dest_name` is returned
// unchanged. Components are compared case-insensitively on Windows and
// case-sensitively on POSIX.
std::string ExtractRelativePath(std::string_view base_name,
                                std::string_view dest_name,
                                PathSyntax syntax = kNativeSyntax);

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_PATH_H_
