// The Win32 environment, through the ANSI ("A") functions: names are bytes
// of the system's ANSI code page, as everywhere in this program.
//
// - FindFiles lists the folder with FindFirstFileA/FindNextFileA on "*" and
//   matches the names itself with FindPatternMatches. A name that the ANSI
//   code page cannot spell is given by its 8.3 short name. The native matching
//   of FindFirstFile also tries each entry's 8.3 short name ("*.htm" finds
//   "page.html" through "PAGE~1.HTM") and treats '<', '>' and '"' as DOS
//   wildcards; matching here keeps every Env in agreement on one rule.
// - Attributes: only read-only, hidden, system, folder and archive are
//   passed on; FILE_ATTRIBUTE_NORMAL (0x80, "none of the others") becomes 0.
// - Times: the last-write FILETIME (UTC) through FileTimeToLocalFileTime,
//   that is with the zone's current offset, the way DOS time stamps of
//   Windows files have always been made; SetFileAge takes the same way back,
//   so the two round-trip whatever the date's daylight-saving state.
// - Open modes: sharing bits 4-6 become the dwShareMode of CreateFileA:
//   compat and deny-none share reading and writing, exclusive shares
//   nothing, deny-write shares reading, deny-read shares writing.
//   kOpenCreate truncates or creates the file sharing reading only: no
//   other writer can interleave with ours (the classic FileCreate shares
//   nothing at all), while a viewer, a virus scanner or a test may read
//   what has been written so far.
// - A read-only file cannot be deleted or truncated; a hidden or system file
//   cannot be re-created (CREATE_ALWAYS refuses it). Both are Windows'
//   own rules and are kept.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/dos_time.h"
#include "platform/env.h"
#include "platform/find_match.h"
#include "platform/path.h"

#include "platform/windows/win32.h"

namespace tessaly::platform {
namespace {

// Bytes per ReadFile/WriteFile call (the count is a DWORD).
constexpr int64_t kMaxChunk = int64_t{1} << 30;

// The attribute bits the Env contract knows and a real file can carry.
constexpr DWORD kPassedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;

// The attributes SetFileAttributesA accepts from us.
constexpr DWORD kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
    FILE_ATTRIBUTE_ARCHIVE;

// 1970-01-01 (the Unix epoch) as a FILETIME: 100 ns ticks since 1601-01-01.
constexpr int64_t kUnixEpochIn100ns = 116444736000000000LL;

ErrorKind ErrorKindOf(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return ErrorKind::kNone;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_NOT_READY:
      return ErrorKind::kNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
      return ErrorKind::kAccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      return ErrorKind::kDiskFull;
    case ERROR_DIRECTORY:
      return ErrorKind::kIsDirectory;
    default:
      return ErrorKind::kIOError;
  }
}

// Attributes of an existing entry; INVALID_FILE_ATTRIBUTES when missing.
DWORD RawAttributes(const std::string& path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesA(path.c_str());
}

// Removes the read-only bit from an entry whose attributes are `attributes`.
void ClearReadOnly(const std::string& path, DWORD attributes) {
  DWORD kept =
      attributes & kSettableAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
  SetFileAttributesA(path.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
}

// The name of a found entry as the ANSI functions can open it. A long name
// with characters outside the ANSI code page comes with '?' in their place,
// which no real name holds and no open finds; the 8.3 short name, when the
// volume keeps one, names the same file in plain ASCII.
std::string AnsiNameOf(const WIN32_FIND_DATAA& data) {
  const std::string name = data.cFileName;
  if (name.find('?') != std::string::npos &&
      data.cAlternateFileName[0] != '\0') {
    return data.cAlternateFileName;
  }
  return name;
}

bool IsFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

CivilTime CivilTimeOf(const SYSTEMTIME& st) {
  CivilTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  return t;
}

// A UTC FILETIME as a local MS-DOS date-time, clamped to 1980..2107.
uint32_t DosDateTimeOf(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) ||
      !FileTimeToSystemTime(&local, &st)) {
    return EncodeDosDateTime({});
  }
  return EncodeDosDateTime(CivilTimeOf(st));
}

// Sharing of CreateFileA for bits 4-6 of an open mode; false for values
// that are no sharing mode.
bool ShareModeOf(uint16_t mode, DWORD* share) {
  switch (mode & 0x70) {
    case kShareCompat:
    case kShareDenyNone:
      *share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      return true;
    case kShareExclusive:
      *share = 0;
      return true;
    case kShareDenyWrite:
      *share = FILE_SHARE_READ;
      return true;
    case kShareDenyRead:
      *share = FILE_SHARE_WRITE;
      return true;
    default:
      return false;
  }
}

class WindowsFile final : public File {
 public:
  WindowsFile(HANDLE handle, std::string path, bool writable)
      : handle_(handle), path_(std::move(path)), writable_(writable) {}
  ~WindowsFile() override { CloseHandle(handle_); }

  int64_t Read(void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    if (!MoveTo(position_)) return 0;
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
      const DWORD chunk = static_cast<DWORD>(std::min(count - done, kMaxChunk));
      DWORD n = 0;
      if (!ReadFile(handle_, out + done, chunk, &n, nullptr)) {
        Fail(GetLastError());
        return 0;
      }
      if (n == 0) break;  // end of file
      done += n;
    }
    position_ += done;
    return done;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    if (!MoveTo(position_)) return 0;
    const auto* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
      const DWORD chunk = static_cast<DWORD>(std::min(count - done, kMaxChunk));
      DWORD n = 0;
      const BOOL ok = WriteFile(handle_, in + done, chunk, &n, nullptr);
      done += n;
      if (!ok) {
        Fail(GetLastError());
        break;
      }
      if (n < chunk) {  // a short write without an error: the disk is full
        last_error_ = ErrorKind::kDiskFull;
        break;
      }
    }
    position_ += done;
    return done;
  }

  int64_t Seek(int64_t position) override {
    if (position < 0) {
      last_error_ = ErrorKind::kIOError;
      return -1;
    }
    position_ = position;
    return position_;
  }

  int64_t Position() const override { return position_; }

  int64_t Size() const override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) return -1;
    return size.QuadPart;
  }

  bool SetSize(int64_t size) override {
    if (size < 0) {
      last_error_ = ErrorKind::kIOError;
      return false;
    }
    if (!MoveTo(size)) return false;
    if (!SetEndOfFile(handle_)) return Fail(GetLastError());
    position_ = std::min(position_, size);
    return true;
  }

  bool Flush() override {
    // FlushFileBuffers needs write access; a file opened for reading has
    // nothing of ours to push.
    if (!writable_) return true;
    if (!FlushFileBuffers(handle_)) return Fail(GetLastError());
    return true;
  }

  ErrorKind LastError() const override { return last_error_; }
  const std::string& Path() const override { return path_; }

 private:
  bool MoveTo(int64_t position) {
    LARGE_INTEGER to;
    to.QuadPart = position;
    if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) {
      return Fail(GetLastError());
    }
    return true;
  }

  bool Fail(DWORD error) {
    last_error_ = ErrorKindOf(error);
    return false;
  }

  const HANDLE handle_;
  const std::string path_;
  const bool writable_;
  int64_t position_ = 0;
  ErrorKind last_error_ = ErrorKind::kNone;
};

class WindowsEnv final : public Env {
 public:
  std::vector<FoundFile> FindFiles(const std::string& pattern,
                                   uint32_t attribute_filter,
                                   ErrorKind* error = nullptr) override {
    ErrorKind ignored;
    ErrorKind& kind = error != nullptr ? *error : ignored;
    kind = ErrorKind::kNone;
    std::vector<FoundFile> found;
    const std::string folder = ExtractFilePath(pattern);
    const std::string name_pattern = ExtractFileName(pattern);
    if (name_pattern.empty()) return found;
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      // No entry at all (a drive's empty root) is an empty listing; a
      // folder part that names a file is no folder.
      if (code == ERROR_DIRECTORY) {
        kind = ErrorKind::kNotFound;
      } else if (code != ERROR_FILE_NOT_FOUND) {
        kind = ErrorKindOf(code);
      }
      return found;
    }
    do {
      const std::string name = AnsiNameOf(data);
      if (!FindPatternMatches(name_pattern, name)) continue;
      const uint32_t attributes = data.dwFileAttributes & kPassedAttributes;
      if (!PassesAttributeFilter(attributes, attribute_filter)) continue;
      found.push_back({name, attributes});
    } while (FindNextFileA(find, &data));
    const DWORD code = GetLastError();
    FindClose(find);
    if (code != ERROR_NO_MORE_FILES) {
      kind = ErrorKindOf(code);
      found.clear();
      return found;
    }
    SortFoundFiles(found);
    return found;
  }

  int32_t FileAttributes(const std::string& path) override {
    const DWORD attributes = RawAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return -1;
    return static_cast<int32_t>(attributes & kPassedAttributes);
  }

  bool SetFileAttributes(const std::string& path,
                         uint32_t attributes) override {
    if (RawAttributes(path) == INVALID_FILE_ATTRIBUTES) return false;
    DWORD native = attributes & kSettableAttributes;
    if (native == 0) native = FILE_ATTRIBUTE_NORMAL;
    return SetFileAttributesA(path.c_str(), native) != 0;
  }

  int32_t FileAge(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() ||
        !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return -1;
    }
    return static_cast<int32_t>(DosDateTimeOf(data.ftLastWriteTime));
  }

  bool SetFileAge(const std::string& path, uint32_t dos_date_time) override {
    if (path.empty() || !IsValidDosDateTime(dos_date_time)) return false;
    const CivilTime t = DecodeDosDateTime(dos_date_time);
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    FILETIME local, utc;
    if (!SystemTimeToFileTime(&st, &local) ||
        !LocalFileTimeToFileTime(&local, &utc)) {
      return false;
    }
    if (IsFolder(RawAttributes(path))) return false;
    const HANDLE handle =
        CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const BOOL ok = SetFileTime(handle, nullptr, nullptr, &utc);
    CloseHandle(handle);
    return ok != 0;
  }

  int64_t FileSize(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() ||
        !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return -1;
    }
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  std::string FileId(const std::string& path) override {
    if (path.empty()) return std::string();
    // No access asked for: only the identity is read, so a file that
    // another handle holds without sharing is still reached.
    // FILE_FLAG_BACKUP_SEMANTICS opens a folder too; without
    // FILE_FLAG_OPEN_REPARSE_POINT a link or junction leads to its target.
    HANDLE handle = CreateFileA(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::string();
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!ok) return std::string();
    return std::to_string(info.dwVolumeSerialNumber) + ":" +
           std::to_string(info.nFileIndexHigh) + ":" +
           std::to_string(info.nFileIndexLow);
  }

  std::unique_ptr<File> OpenFile(const std::string& path, uint16_t mode,
                                 ErrorKind* error = nullptr) override {
    ErrorKind ignored;
    ErrorKind& kind = error != nullptr ? *error : ignored;
    kind = ErrorKind::kNone;
    DWORD access;
    DWORD share;
    DWORD disposition;
    if (mode == kOpenCreate) {
      access = GENERIC_READ | GENERIC_WRITE;
      share = FILE_SHARE_READ;
      disposition = CREATE_ALWAYS;
    } else {
      switch (mode & 0x03) {
        case kOpenRead:
          access = GENERIC_READ;
          break;
        case kOpenWrite:
          access = GENERIC_WRITE;
          break;
        case kOpenReadWrite:
          access = GENERIC_READ | GENERIC_WRITE;
          break;
        default:
          kind = ErrorKind::kIOError;  // no such access mode
          return nullptr;
      }
      if (!ShareModeOf(mode, &share)) {
        kind = ErrorKind::kIOError;  // no such sharing mode
        return nullptr;
      }
      disposition = OPEN_EXISTING;
    }
    if (path.empty()) {
      kind = ErrorKind::kNotFound;
      return nullptr;
    }
    // Windows refuses to write a read-only file; Wine run by root would
    // let the write through (it keeps read-only as Unix permissions), so
    // the rule is checked here as well.
    const DWORD existing = RawAttributes(path);
    if ((access & GENERIC_WRITE) != 0 && existing != INVALID_FILE_ATTRIBUTES &&
        (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
            FILE_ATTRIBUTE_READONLY) {
      kind = ErrorKind::kAccessDenied;
      return nullptr;
    }
    const HANDLE handle =
        CreateFileA(path.c_str(), access, share, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD last = GetLastError();
      // Opening a folder as a file fails with "access denied".
      kind = IsFolder(RawAttributes(path)) ? ErrorKind::kIsDirectory
                                           : ErrorKindOf(last);
      return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {  // a device such as "NUL"
      CloseHandle(handle);
      kind = ErrorKind::kIOError;
      return nullptr;
    }
    return std::make_unique<WindowsFile>(handle, path,
                                         (access & GENERIC_WRITE) != 0);
  }

  bool RemoveFile(const std::string& path) override {
    return !path.empty() && DeleteFileA(path.c_str()) != 0;
  }

  bool RenameFile(const std::string& from, const std::string& to) override {
    return !from.empty() && !to.empty() &&
           MoveFileA(from.c_str(), to.c_str()) != 0;
  }

  bool CreateDir(const std::string& path) override {
    return !path.empty() && CreateDirectoryA(path.c_str(), nullptr) != 0;
  }

  bool RemoveDir(const std::string& path) override {
    return !path.empty() && RemoveDirectoryA(path.c_str()) != 0;
  }

  bool RemoveTree(const std::string& path) override {
    const DWORD attributes = RawAttributes(path);
    if (!IsFolder(attributes)) return false;
    const std::string root = ExcludeTrailingPathDelimiter(path);
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return RemoveDirectoryA(root.c_str()) != 0;  // the link, not its target
    }
    return RemoveTreeAt(root);
  }

  std::string TempFileName(const std::string& dir,
                           const std::string& prefix) override {
    std::string folder = dir;
    if (folder.empty()) {
      char temp[MAX_PATH + 1];
      const DWORD n = GetTempPathA(sizeof temp, temp);
      if (n == 0 || n > MAX_PATH) return std::string();
      folder.assign(temp, n);
    }
    // GetTempFileNameA takes the first three characters of the prefix and
    // creates "<dir>\<pre><hex>.tmp".
    char name[MAX_PATH + 1];
    if (GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, name) == 0) {
      return std::string();
    }
    return name;
  }

  int64_t FreeSpace(const std::string& path) override {
    // A file that is about to be created does not exist yet: measure the
    // nearest folder of its path that does.
    const std::string probe = NearestExistingFolder(path);
    if (probe.empty()) return -1;
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(IncludeTrailingPathDelimiter(probe).c_str(),
                             &available, nullptr, nullptr)) {
      return -1;
    }
    return static_cast<int64_t>(available.QuadPart);
  }

  DriveType DriveTypeOf(const std::string& path) override {
    const std::string root = RootOf(path);
    switch (GetDriveTypeA(root.empty() ? nullptr : root.c_str())) {
      case DRIVE_NO_ROOT_DIR:
        return DriveType::kNoRootDir;
      case DRIVE_REMOVABLE:
        return DriveType::kRemovable;
      case DRIVE_FIXED:
        return DriveType::kFixed;
      case DRIVE_REMOTE:
        return DriveType::kRemote;
      case DRIVE_CDROM:
        return DriveType::kCdRom;
      case DRIVE_RAMDISK:
        return DriveType::kRamDisk;
      default:
        return DriveType::kUnknown;
    }
  }

  bool SetVolumeLabel(const std::string& path,
                      const std::string& label) override {
    const std::string root = RootOf(path);
    return SetVolumeLabelA(root.empty() ? nullptr : root.c_str(),
                           label.c_str()) != 0;
  }

  std::string CurrentDirectory() override {
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
      const DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()),
                                           buffer.data());
      if (n == 0) return std::string();
      if (n < buffer.size()) {
        return IncludeTrailingPathDelimiter(std::string(buffer.data(), n));
      }
      buffer.resize(n + 1);  // n is the size needed, with the NUL
    }
  }

  uint32_t NowDosDateTime() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeDosDateTime(CivilTimeOf(st));
  }

  int64_t NowMicros() override {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const int64_t ticks =
        (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (ticks - kUnixEpochIn100ns) / 10;
  }

 private:
  // The root folder of the drive holding `path` ("C:\", "\\server\share\");
  // "" for a path without a drive, which means the current drive.
  static std::string RootOf(const std::string& path) {
    const std::string drive = ExtractFileDrive(path);
    if (drive.empty()) return std::string();
    return IncludeTrailingPathDelimiter(drive);
  }

  // Removes the folder `path` (no trailing delimiter) and everything below
  // it, carrying on past failures so that as much as possible goes.
  // Read-only entries lose that attribute first; linked folders (reparse
  // points) are removed as links, never entered.
  static bool RemoveTreeAt(const std::string& path) {
    bool ok = true;
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        const std::string child = path + "\\" + name;
        const DWORD attributes = data.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
          ClearReadOnly(child, attributes);
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
          ok = DeleteFileA(child.c_str()) != 0 && ok;
        } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
          ok = RemoveDirectoryA(child.c_str()) != 0 && ok;
        } else {
          ok = RemoveTreeAt(child) && ok;
        }
      } while (FindNextFileA(find, &data));
      FindClose(find);
    } else {
      ok = false;
    }
    const DWORD own = GetFileAttributesA(path.c_str());
    if (own != INVALID_FILE_ATTRIBUTES &&
        (own & FILE_ATTRIBUTE_READONLY) != 0) {
      ClearReadOnly(path, own);
    }
    return RemoveDirectoryA(path.c_str()) != 0 && ok;
  }
};

}  // namespace

Env& Env::Default() {
  static WindowsEnv env;
  return env;
}

}  // namespace tessaly::platform
