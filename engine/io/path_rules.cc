// The selection's naming rules over plain strings. Every rule that speaks of
// drives, shares or the backslash applies to the Windows syntax only; on
// POSIX a leading '/' plays the part of the drive (it makes a name
// absolute), and '\' is an ordinary name character.

#include "engine/io/path_rules.h"

#include <string>

#include "engine/io/mask.h"
#include "platform/text.h"

namespace tessaly::engine {
namespace {

using platform::PathSyntax;

bool IsWindows(const PathContext& c) {
  return c.syntax == PathSyntax::kWindows;
}

bool IsSep(const PathContext& c, char ch) {
  return ch == '/' || (IsWindows(c) && ch == '\\');
}

bool StartsWithSep(const PathContext& c, std::string_view s) {
  return !s.empty() && IsSep(c, s[0]);
}

bool StartsWithTwoSeps(const PathContext& c, std::string_view s) {
  return s.size() >= 2 && IsSep(c, s[0]) && IsSep(c, s[1]);
}

bool HasColon(const PathContext& c, std::string_view s) {
  return IsWindows(c) && s.find(':') != std::string_view::npos;
}

bool HasSeparator(const PathContext& c, std::string_view s) {
  for (const char ch : s) {
    if (IsSep(c, ch)) return true;
  }
  return false;
}

// "..\" or "../" anywhere (POSIX: "../").
bool HasParentReference(const PathContext& c, std::string_view s) {
  for (size_t i = 0; i + 2 < s.size(); ++i) {
    if (s[i] == '.' && s[i + 1] == '.' && IsSep(c, s[i + 2])) return true;
  }
  return false;
}

std::string WithDelimiter(const PathContext& c, std::string_view path) {
  return platform::IncludeTrailingPathDelimiter(path, c.syntax);
}

std::string Expand(const PathContext& c, std::string_view path) {
  return platform::ExpandFileName(path, c.CurrentFolder(), c.syntax);
}

// Delimiters written as the system's own: on Windows a mask or folder
// written with '/' then compares as text with the names found on disk.
std::string Native(const PathContext& c, std::string_view path) {
  return platform::NormalizePathDelimiters(path, c.syntax);
}

std::string FilePath(const PathContext& c, std::string_view path) {
  return platform::ExtractFilePath(path, c.syntax);
}

std::string FileName(const PathContext& c, std::string_view path) {
  return platform::ExtractFileName(path, c.syntax);
}

// `dest` relative to the folder of `base`. As with two Windows drives, a
// path cannot be made relative to a folder of another kind: on POSIX an
// absolute path against a relative folder (or the reverse) comes back
// unchanged.
std::string RelativeTo(const PathContext& c, std::string_view base,
                       std::string_view dest) {
  if (!IsWindows(c) && StartsWithSep(c, base) != StartsWithSep(c, dest)) {
    return std::string(dest);
  }
  return platform::ExtractRelativePath(base, dest, c.syntax);
}

// Drops a drive ("C:"), a share server ("\\srv") and one leading separator
// from a Windows full path.
std::string CutWindowsPrefix(const PathContext& c, std::string p) {
  const size_t colon = p.find(':');
  if (colon != std::string::npos) {
    p.erase(0, colon + 1);
  } else {
    for (size_t i = 0; i + 1 < p.size(); ++i) {
      if (!IsSep(c, p[i]) || !IsSep(c, p[i + 1])) continue;
      // Up to the separator that ends the component after the pair.
      size_t end = i + 2;
      while (end < p.size() && IsSep(c, p[end])) ++end;
      while (end < p.size() && !IsSep(c, p[end])) ++end;
      p.erase(0, end);
      break;
    }
  }
  if (StartsWithSep(c, p)) p.erase(0, 1);
  return p;
}

}  // namespace

std::string ResolvePath(const PathContext& context, std::string_view base,
                        std::string_view name, std::string_view default_base) {
  const PathContext& c = context;
  const std::string_view chosen = base.empty() ? default_base : base;
  if (!name.empty()) {
    if (HasColon(c, name) || (IsWindows(c) && StartsWithTwoSeps(c, name))) {
      return std::string(name);
    }
    if (StartsWithSep(c, name)) return Expand(c, name);
    // With no folder at all the name is taken in the current folder, not at
    // the root that a lone delimiter would name.
    const std::string folder = chosen.empty()
                                   ? WithDelimiter(c, c.CurrentFolder())
                                   : WithDelimiter(c, chosen);
    return Expand(c, folder + std::string(name));
  }

  if (HasColon(c, base)) return std::string(base);
  const std::string folder = WithDelimiter(c, chosen);
  if (!base.empty() && !c.FolderExists(folder)) return std::string(base);
  if (chosen.empty() || (IsWindows(c) && folder.size() == 1)) {
    return WithDelimiter(c, c.CurrentFolder());
  }
  return Expand(c, folder);
}

ResolvedMask ResolveMask(const PathContext& context, std::string_view mask,
                         std::string_view folder) {
  const PathContext& c = context;
  if (mask.empty()) return {};
  const std::string resolved_folder =
      Native(c, ResolvePath(c, folder, "", c.current_base_dir));
  const std::string f = WithDelimiter(c, resolved_folder);
  const std::string m = Native(c, mask);

  if (m.size() == 1 && IsSep(c, m[0])) return {resolved_folder, false};
  if (StartsWithTwoSeps(c, m)) return {m, false};
  if (StartsWithSep(c, m)) {
    if (!IsWindows(c)) return {m, false};  // absolute
    return {f + m.substr(1), false};
  }
  if (m.size() >= 2 && m[0] == '.' && IsSep(c, m[1])) {
    return {f + m.substr(2), false};
  }
  if (HasColon(c, m) || HasParentReference(c, m)) return {m, false};
  return {f + m, true};
}

bool PathMatchesMask(const PathContext& context, std::string_view path,
                     std::string_view mask, bool is_folder) {
  const PathContext& c = context;
  if (mask == "*.*") return true;

  // Compared as text: both with the system's delimiters.
  std::string p = Native(c, path);
  std::string m = Native(c, mask);
  if (is_folder) {
    p = WithDelimiter(c, p);
    if (m.empty() || m.back() != '*') m = WithDelimiter(c, m);
  }

  ResolvedMask resolved;
  if (HasColon(c, m)) {
    resolved = {m, false};
  } else {
    resolved = ResolveMask(c, m, c.current_base_dir);
  }

  if (resolved.plain) {
    std::string n = RelativeTo(c, WithDelimiter(c, c.current_base_dir), p);
    if (!HasSeparator(c, m)) n = FileName(c, n);
    if (n.empty()) {
      n = FileName(c, platform::ExcludeTrailingPathDelimiter(p, c.syntax));
    }
    const std::string name_part = FileName(c, resolved.path);
    return MaskMatch(n, name_part) ||
           MaskMatch(n, RelativeTo(c, c.base_dir, name_part));
  }

  const std::string path_folder = FilePath(c, p);
  const std::string mask_folder = FilePath(c, resolved.path);
  if (platform::AnsiUpperCase(path_folder) ==
      platform::AnsiUpperCase(mask_folder)) {
    return MaskMatch(p, resolved.path);
  }
  // "<folder>\*.*" also takes everything in the folders below.
  return FileName(c, resolved.path) == "*.*" &&
         platform::AnsiLowerCase(path_folder)
             .starts_with(platform::AnsiLowerCase(mask_folder));
}

std::string MakeStoredName(const PathContext& context, std::string_view path,
                           std::string_view root, TZAStorePathMode mode,
                           std::string_view base) {
  const PathContext& c = context;
  const std::string r = ResolvePath(c, root, "", base);
  std::string p = ResolvePath(c, r, path, base);
  // A Windows full path is returned unresolved by ResolvePath; resolve its
  // "." and ".." segments here so that no stored name can climb out of the
  // folder it is extracted to. (A bare "C:" is no full path and stays.)
  if (IsWindows(c) && platform::IsAbsolutePath(p, c.syntax)) p = Expand(c, p);

  if (!p.empty() && IsSep(c, p.back())) p.pop_back();
  if (!p.empty() && p.back() == '.') p.pop_back();

  switch (mode) {
    case spNoPath:
      p = FileName(c, p);
      break;
    case spRelativePath: {
      std::string q = RelativeTo(c, WithDelimiter(c, r), p);
      if (!HasParentReference(c, q)) p = std::move(q);
      break;
    }
    case spFullPath:
      break;
    case spFullPathWithDrive:
      p = Expand(c, p);
      break;
  }

  if (IsWindows(c)) {
    if (mode != spFullPathWithDrive) p = CutWindowsPrefix(c, std::move(p));
    for (char& ch : p) {
      if (ch == '\\') ch = '/';
    }
  }
  // Entry names are relative (APPNOTE 4.4.17): whatever mode, no leading
  // '/' survives (a POSIX full path, a Windows share kept with its drive).
  const size_t first = p.find_first_not_of('/');
  p.erase(0, first == std::string::npos ? p.size() : first);
  return p;
}

}  // namespace tessaly::engine
