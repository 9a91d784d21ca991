// The path rules of both syntaxes in one place. POSIX syntax is the Windows
// syntax without '\' as a delimiter and without drives, so each function
// asks only "is this a delimiter" and "how long is the drive prefix".

#include "platform/path.h"

#include <vector>

#include "platform/text.h"

namespace tessaly::platform {
namespace {

// Whether a delimiter stands at s[i]. On Windows a '\' byte (0x5C) can be
// the second byte of a double-byte character of the ANSI code page (Shift
// JIS "\x95\x5C"), and then it is no delimiter; only a byte that can lead
// such a character calls for the scan from the start. '/', ':' and '.' lie
// below every code page's second bytes (0x40 and up).
bool IsDelim(std::string_view s, size_t i, PathSyntax syntax) {
  if (i >= s.size()) return false;
  if (s[i] == '/') return true;
  if (syntax != PathSyntax::kWindows || s[i] != '\\') return false;
  if (i == 0 || AnsiCharLength(static_cast<unsigned char>(s[i - 1])) == 1) {
    return true;
  }
  size_t pos = 0;
  while (pos < i) pos += AnsiCharLength(s, pos);
  return pos == i;
}

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The length of the drive prefix: "C:" (2), "\\server\share" (up to the
// delimiter after the share name, or the whole path), or 0.
size_t DriveLength(std::string_view path, PathSyntax syntax) {
  if (syntax != PathSyntax::kWindows) return 0;
  if (path.size() >= 2 && path[1] == ':' && IsLetter(path[0])) return 2;
  if (IsDelim(path, 0, syntax) && IsDelim(path, 1, syntax)) {
    int delimiters = 0;
    for (size_t i = 2; i < path.size(); ++i) {
      if (IsDelim(path, i, syntax) && ++delimiters == 2) return i;
    }
    return path.size();
  }
  return 0;
}

// The index just after the last delimiter or drive colon; 0 if none.
size_t NameStart(std::string_view path, PathSyntax syntax) {
  for (size_t i = path.size(); i > 0; --i) {
    const char c = path[i - 1];
    if (IsDelim(path, i - 1, syntax) ||
        (syntax == PathSyntax::kWindows && c == ':')) {
      return i;
    }
  }
  return 0;
}

// Index of the extension's dot in the name part, or npos.
size_t ExtensionDot(std::string_view path, PathSyntax syntax) {
  const size_t start = NameStart(path, syntax);
  const size_t dot = path.rfind('.');
  return dot != std::string_view::npos && dot >= start ? dot
                                                       : std::string_view::npos;
}

// Splits at delimiters, dropping empty components.
std::vector<std::string_view> Components(std::string_view path,
                                         PathSyntax syntax) {
  std::vector<std::string_view> parts;
  size_t begin = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsDelim(path, i, syntax)) {
      if (i > begin) parts.push_back(path.substr(begin, i - begin));
      begin = i + 1;
    }
  }
  return parts;
}

bool SameText(std::string_view a, std::string_view b, PathSyntax syntax) {
  if (syntax == PathSyntax::kPosix) return a == b;
  return AnsiUpperCase(a) == AnsiUpperCase(b);
}

}  // namespace

char PathDelimiter(PathSyntax syntax) {
  return syntax == PathSyntax::kWindows ? '\\' : '/';
}

bool IsPathDelimiter(std::string_view s, size_t i, PathSyntax syntax) {
  return IsDelim(s, i, syntax);
}

std::string IncludeTrailingPathDelimiter(std::string_view path,
                                         PathSyntax syntax) {
  std::string result(path);
  if (result.empty() || !IsDelim(result, result.size() - 1, syntax)) {
    result += PathDelimiter(syntax);
  }
  return result;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path,
                                         PathSyntax syntax) {
  if (!path.empty() && IsDelim(path, path.size() - 1, syntax)) {
    path.remove_suffix(1);
  }
  return std::string(path);
}

std::string NormalizePathDelimiters(std::string_view path, PathSyntax syntax) {
  std::string out(path);
  if (syntax != PathSyntax::kWindows) return out;
  // '/' is never the second byte of a double-byte character (those are 0x40
  // and up), so each '/' byte is a delimiter.
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

std::string ExtractFilePath(std::string_view path, PathSyntax syntax) {
  return std::string(path.substr(0, NameStart(path, syntax)));
}

std::string ExtractFileDir(std::string_view path, PathSyntax syntax) {
  size_t end = NameStart(path, syntax);
  // Drop the final delimiter unless it is the root's: "/", "C:\", "a\\"...
  if (end > 1 && IsDelim(path, end - 1, syntax)) {
    const char before = path[end - 2];
    if (!IsDelim(path, end - 2, syntax) &&
        !(syntax == PathSyntax::kWindows && before == ':')) {
      --end;
    }
  }
  return std::string(path.substr(0, end));
}

std::string ExtractFileName(std::string_view path, PathSyntax syntax) {
  return std::string(path.substr(NameStart(path, syntax)));
}

std::string ExtractFileExt(std::string_view path, PathSyntax syntax) {
  const size_t dot = ExtensionDot(path, syntax);
  return dot == std::string_view::npos ? std::string()
                                       : std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension,
                          PathSyntax syntax) {
  const size_t dot = ExtensionDot(path, syntax);
  std::string result(path.substr(0, dot));  // npos keeps the whole path
  result += extension;
  return result;
}

std::string ExtractFileDrive(std::string_view path, PathSyntax syntax) {
  return std::string(path.substr(0, DriveLength(path, syntax)));
}

bool IsAbsolutePath(std::string_view path, PathSyntax syntax) {
  if (syntax == PathSyntax::kPosix) return !path.empty() && path[0] == '/';
  if (IsDelim(path, 0, syntax) && IsDelim(path, 1, syntax)) {
    return true;
  }
  return path.size() >= 3 && path[1] == ':' && IsLetter(path[0]) &&
         IsDelim(path, 2, syntax);
}

std::string ExpandFileName(std::string_view path, std::string_view current_dir,
                           PathSyntax syntax) {
  if (path.empty()) return std::string();
  const char delimiter = PathDelimiter(syntax);

  // Split into a root (drive or share, "" on POSIX) and the components below
  // it, taking the missing parts from the current folder.
  std::string root;
  std::string full;  // the path to normalise below `root`
  const size_t drive = DriveLength(path, syntax);
  const size_t current_drive = DriveLength(current_dir, syntax);
  if (drive > 2 || (drive == 2 && IsPathDelimiter(path, 2, syntax))) {
    root = path.substr(0, drive);  // "\\srv\share\x" or "C:\x"
    full = path.substr(drive);
  } else if (drive == 2) {  // "C:x": relative to that drive's folder
    root = path.substr(0, 2);
    if (SameText(root, current_dir.substr(0, current_drive), syntax)) {
      full = std::string(current_dir.substr(current_drive)) + delimiter +
             std::string(path.substr(2));
    } else {
      full = std::string(path.substr(2));
    }
  } else if (IsDelim(path, 0, syntax)) {  // "\x" or "/x"
    root = current_dir.substr(0, current_drive);
    full = path;
  } else {
    root = current_dir.substr(0, current_drive);
    full = std::string(current_dir.substr(current_drive)) + delimiter +
           std::string(path);
  }

  std::vector<std::string_view> kept;
  for (const std::string_view part : Components(full, syntax)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }

  std::string result = root;
  for (size_t i = 0; i < result.size(); ++i) {
    if (IsDelim(result, i, syntax)) result[i] = delimiter;
  }
  for (const std::string_view part : kept) {
    result += delimiter;
    result += part;
  }
  const bool trailing = IsDelim(path, path.size() - 1, syntax);
  if (kept.empty() || trailing) result += delimiter;
  return result;
}

std::string ExtractRelativePath(std::string_view base_name,
                                std::string_view dest_name, PathSyntax syntax) {
  const std::string base_drive = ExtractFileDrive(base_name, syntax);
  const std::string dest_drive = ExtractFileDrive(dest_name, syntax);
  if (!SameText(base_drive, dest_drive, syntax)) return std::string(dest_name);

  const std::string base_path = ExtractFilePath(base_name, syntax);
  const std::string dest_path = ExtractFilePath(dest_name, syntax);
  const auto base_parts =
      Components(std::string_view(base_path).substr(base_drive.size()), syntax);
  const auto dest_parts =
      Components(std::string_view(dest_path).substr(dest_drive.size()), syntax);

  size_t common = 0;
  while (common < base_parts.size() && common < dest_parts.size() &&
         SameText(base_parts[common], dest_parts[common], syntax)) {
    ++common;
  }
  const char delimiter = PathDelimiter(syntax);
  std::string result;
  for (size_t i = common; i < base_parts.size(); ++i) {
    result += "..";
    result += delimiter;
  }
  for (size_t i = common; i < dest_parts.size(); ++i) {
    result += dest_parts[i];
    result += delimiter;
  }
  result += ExtractFileName(dest_name, syntax);
  return result;
}

}  // namespace tessaly::platform
