// The naming rules of file selection as pure functions: resolving names and
// masks against folders, testing a path against a selection mask, and
// forming the name an entry is stored under.
//
// The rules are written once for both path syntaxes (platform/path.h):
//
//   Windows                            POSIX
//   '\' and '/' separate               '/' separates ('\' is a name byte)
//   a name with ':' has a drive        (no drives)
//   "\\server\share\..." is a share    (no shares; "//x" is just absolute)
//   "\x" is rooted on the current      "/x" is absolute
//     drive
//
// So that both can be tested on any host, the file system is consulted only
// through the context's oracles (is this an existing folder? which folder is
// current?). Stored names always use '/' and never begin with '/'.
//
// Example with the root folder 'C:\data\' (POSIX: '/data/'):
//   'C:\data\sub\b.rpt'  spRelativePath  -> 'sub/b.rpt'
//   'D:\other\c.bmp'     spRelativePath  -> 'other/c.bmp'
//   '\\srv\share\x.txt'  spFullPath      -> 'share/x.txt'
//   '/data/a.dat'        spFullPath      -> 'data/a.dat'
#ifndef TESSALY_ENGINE_IO_PATH_RULES_H_
#define TESSALY_ENGINE_IO_PATH_RULES_H_

#include <functional>
#include <string>
#include <string_view>

#include "engine/base/types.h"
#include "platform/path.h"

namespace tessaly::engine {

// What the rules need to know besides their arguments. Cheap to copy.
struct PathContext {
  platform::PathSyntax syntax = platform::kNativeSyntax;
  // The folder against which the selection resolves (the archiver's
  // CurrentBaseDir) and the configured base folder (BaseDir).
  std::string current_base_dir;
  std::string base_dir;
  // Whether `path` names an existing folder. Unset: nothing exists.
  std::function<bool(const std::string& path)> folder_exists;
  // The process's current folder (with or without trailing delimiter).
  // Asked only when a rule needs it. Unset: "".
  std::function<std::string()> current_folder;

  bool FolderExists(const std::string& path) const {
    return folder_exists && folder_exists(path);
  }
  std::string CurrentFolder() const {
    return current_folder ? current_folder() : std::string();
  }
};

// The absolute form of `name`, relative to the folder `base`, or to
// `default_base` when `base` is empty. With B the chosen folder plus a
// trailing delimiter:
// - Windows: a name with a colon or beginning with two separators is
//   returned unchanged.
// - A name beginning with a separator is expanded on its own (Windows: on
//   the current drive; POSIX: it is absolute).
// - Any other non-empty name: B + name, expanded ("." and ".." resolved).
//   When both folders are empty, B is the current folder.
// - An empty name gives the folder itself: `base` unchanged when it has a
//   colon (Windows), or when it is not empty and B is no existing folder;
//   otherwise B expanded, with its trailing delimiter. When both folders
//   are empty (Windows: also when B is a lone separator) that is the
//   current folder.
std::string ResolvePath(const PathContext& context, std::string_view base,
                        std::string_view name, std::string_view default_base);

struct ResolvedMask {
  std::string path;
  bool plain = false;  // the mask carried no path of its own
};

// Turns a mask into a path. F is the folder `folder` resolved against the
// context's current_base_dir, with a trailing delimiter:
//   ""                               -> "",                    not plain
//   a lone separator                 -> F without delimiter,   not plain
//   two leading separators           -> the mask,              not plain
//   one leading separator: Windows   -> F + mask less the separator
//                          POSIX     -> the mask (absolute),   not plain
//   "." + separator + rest           -> F + rest,              not plain
//   Windows: contains ':'            -> the mask,              not plain
//   contains ".." + separator        -> the mask,              not plain
//   anything else                    -> F + mask,              plain
// The path is written with the syntax's own delimiter (Windows: each '/'
// becomes '\'; POSIX: unchanged).
ResolvedMask ResolveMask(const PathContext& context, std::string_view mask,
                         std::string_view folder);

// Whether `path` (a full name) is selected by the exclusion or
// no-compression mask `mask`. "*.*" selects everything. A folder is tested
// with a trailing delimiter, and so is the mask unless it ends in "*".
// A plain mask is matched against the path relative to current_base_dir
// (only its name part when the mask has no separator); a mask with a path
// is matched against the whole path when both lie in the same folder
// (letter case ignored), and otherwise selects only when its name part is
// "*.*" and the path lies below the mask's folder.
// On Windows '/' and '\' in path and mask are one delimiter.
// Raises what MaskMatch raises for an invalid mask.
bool PathMatchesMask(const PathContext& context, std::string_view path,
                     std::string_view mask, bool is_folder);

// The name under which the file `path` is stored, for the root folder
// `root` (both resolved against `base`) and the store-path mode. One
// trailing separator and then one trailing dot are dropped. spNoPath keeps
// the name part; spRelativePath the path below `root` (a file outside it
// keeps its full path); spFullPath the full path less its drive or
// "\\server" prefix; spFullPathWithDrive (Windows) the full path with its
// drive, on POSIX the same as spFullPath. The result uses '/' as separator
// (Windows: every '\' becomes '/'; POSIX keeps '\' as a name character) and
// never begins with '/'. A bare drive ('C:') gives "".
std::string MakeStoredName(const PathContext& context, std::string_view path,
                           std::string_view root, TZAStorePathMode mode,
                           std::string_view base);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_PATH_RULES_H_
