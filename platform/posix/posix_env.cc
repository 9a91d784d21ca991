// The POSIX environment. Windows notions map as follows:
// - attributes: a regular file is 0x20 (+0x01 without owner write
//   permission, +0x02 for a dot-name), a folder 0x10 (+0x02); other kinds
//   of file have none and are skipped by FindFiles;
// - times: st_mtime in local time, encoded as an MS-DOS date-time;
// - open modes: access bits to O_RDONLY/O_WRONLY/O_RDWR, 0xFFFF to
//   O_RDWR|O_CREAT|O_TRUNC; sharing modes are not enforced;
// - free space: statvfs f_bavail; drives are all fixed; volume labels cannot
//   be set.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/dos_time.h"
#include "platform/env.h"
#include "platform/find_match.h"
#include "platform/path.h"

namespace tessaly::platform {
namespace {

// Bytes per read/write call, below any platform's SSIZE_MAX.
constexpr int64_t kMaxChunk = int64_t{1} << 30;

ErrorKind ErrorKindOf(int error_number) {
  switch (error_number) {
    case 0:
      return ErrorKind::kNone;
    case ENOENT:
    case ENOTDIR:
      return ErrorKind::kNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return ErrorKind::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ErrorKind::kDiskFull;
    case EISDIR:
      return ErrorKind::kIsDirectory;
    default:
      return ErrorKind::kIOError;
  }
}

// "." and ".." are not hidden, as on Windows; other dot-names are.
bool IsDotName(const std::string& name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

int32_t AttributesOf(const struct stat& st, const std::string& name) {
  uint32_t attributes;
  if (S_ISREG(st.st_mode)) {
    attributes = kAttrArchive;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
  } else if (S_ISDIR(st.st_mode)) {
    attributes = kAttrDirectory;
  } else {
    return -1;
  }
  if (IsDotName(name)) attributes |= kAttrHidden;
  return static_cast<int32_t>(attributes);
}

uint32_t DosDateTimeOf(time_t seconds) {
  struct tm local;
  if (localtime_r(&seconds, &local) == nullptr) return EncodeDosDateTime({});
  CivilTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = std::min(local.tm_sec, 59);  // a leap second
  return EncodeDosDateTime(t);
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override { close(fd_); }

  int64_t Read(void* buffer, int64_t count) override {
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
      const ssize_t n =
          pread(fd_, out + done,
                static_cast<size_t>(std::min(count - done, kMaxChunk)),
                position_ + done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return Fail(errno, int64_t{0});
      }
      if (n == 0) break;  // end of file
      done += n;
    }
    position_ += done;
    return done;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    const auto* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
      const ssize_t n =
          pwrite(fd_, in + done,
                 static_cast<size_t>(std::min(count - done, kMaxChunk)),
                 position_ + done);
      if (n < 0) {
        if (errno == EINTR) continue;
        const int error_number = errno;
        position_ += done;
        return Fail(error_number, done);
      }
      if (n == 0) {  // should not happen for regular files; avoid spinning
        position_ += done;
        return Fail(ENOSPC, done);
      }
      done += n;
    }
    position_ += done;
    return done;
  }

  int64_t Seek(int64_t position) override {
    if (position < 0) return Fail(EINVAL, -1);
    position_ = position;
    return position_;
  }

  int64_t Position() const override { return position_; }

  int64_t Size() const override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return -1;
    return st.st_size;
  }

  bool SetSize(int64_t size) override {
    if (size < 0) return Fail(EINVAL, false);
    if (ftruncate(fd_, size) != 0) return Fail(errno, false);
    position_ = std::min(position_, size);
    return true;
  }

  bool Flush() override {
    if (fsync(fd_) != 0) return Fail(errno, false);
    return true;
  }

  ErrorKind LastError() const override { return last_error_; }
  const std::string& Path() const override { return path_; }

 private:
  template <typename T>
  T Fail(int error_number, T result) {
    last_error_ = ErrorKindOf(error_number);
    return result;
  }

  const int fd_;
  const std::string path_;
  int64_t position_ = 0;
  ErrorKind last_error_ = ErrorKind::kNone;
};

class PosixEnv final : public Env {
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
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
      kind = ErrorKindOf(errno);
      return found;
    }
    for (;;) {
      errno = 0;
      const struct dirent* entry = readdir(dir);
      if (entry == nullptr) {
        if (errno != 0) kind = ErrorKindOf(errno);
        break;
      }
      const std::string name = entry->d_name;
      if (!FindPatternMatches(name_pattern, name)) continue;
      struct stat st;
      if (stat((folder + name).c_str(), &st) != 0) {
        // A folder that may be read but not searched: nothing in it can be
        // examined. (A vanished entry or a dangling link is left out.)
        if (errno == EACCES) {
          kind = ErrorKind::kAccessDenied;
          break;
        }
        continue;
      }
      const int32_t attributes = AttributesOf(st, name);
      if (attributes == -1) continue;
      if (!PassesAttributeFilter(attributes, attribute_filter)) continue;
      found.push_back({name, static_cast<uint32_t>(attributes)});
    }
    closedir(dir);
    if (kind != ErrorKind::kNone) {
      found.clear();
      return found;
    }
    SortFoundFiles(found);
    return found;
  }

  int32_t FileAttributes(const std::string& path) override {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return -1;
    return AttributesOf(st,
                        ExtractFileName(ExcludeTrailingPathDelimiter(path)));
  }

  bool SetFileAttributes(const std::string& path,
                         uint32_t attributes) override {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) return true;  // read-only has no meaning here
    if (!S_ISREG(st.st_mode)) return false;
    mode_t mode = st.st_mode & 07777;
    if ((attributes & kAttrReadOnly) != 0) {
      mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
      mode |= S_IWUSR;
    }
    return mode == (st.st_mode & 07777) || chmod(path.c_str(), mode) == 0;
  }

  int32_t FileAge(const std::string& path) override {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      return -1;
    }
    return static_cast<int32_t>(DosDateTimeOf(st.st_mtime));
  }

  bool SetFileAge(const std::string& path, uint32_t dos_date_time) override {
    if (!IsValidDosDateTime(dos_date_time)) return false;
    const CivilTime t = DecodeDosDateTime(dos_date_time);
    struct tm local = {};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;  // let the zone rules decide
    const time_t seconds = mktime(&local);
    if (seconds == static_cast<time_t>(-1)) return false;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = seconds;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
  }

  int64_t FileSize(const std::string& path) override {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      return -1;
    }
    return st.st_size;
  }

  std::string FileId(const std::string& path) override {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return std::string();
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  }

  std::unique_ptr<File> OpenFile(const std::string& path, uint16_t mode,
                                 ErrorKind* error = nullptr) override {
    ErrorKind ignored;
    ErrorKind& kind = error != nullptr ? *error : ignored;
    kind = ErrorKind::kNone;
    int flags;
    if (mode == kOpenCreate) {
      flags = O_RDWR | O_CREAT | O_TRUNC;
    } else {
      switch (mode & 0x03) {
        case kOpenRead:
          flags = O_RDONLY;
          break;
        case kOpenWrite:
          flags = O_WRONLY;
          break;
        case kOpenReadWrite:
          flags = O_RDWR;
          break;
        default:
          kind = ErrorKind::kIOError;  // no such access mode
          return nullptr;
      }
    }
    if (path.empty()) {
      kind = ErrorKind::kNotFound;
      return nullptr;
    }
    // O_NONBLOCK keeps a FIFO from blocking the open; it is cleared below.
    int fd;
    do {
      fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      kind = ErrorKindOf(errno);
      return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
      kind = ErrorKindOf(errno);
      close(fd);
      return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
      kind = ErrorKind::kIsDirectory;
      close(fd);
      return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<PosixFile>(fd, path);
  }

  bool RemoveFile(const std::string& path) override {
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
      return false;
    }
    return unlink(path.c_str()) == 0;
  }

  bool RenameFile(const std::string& from, const std::string& to) override {
    if (from.empty() || to.empty()) return false;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                  RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // The file system cannot refuse to replace; check first (not atomic).
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) return false;
    return rename(from.c_str(), to.c_str()) == 0;
  }

  bool CreateDir(const std::string& path) override {
    return !path.empty() && mkdir(path.c_str(), 0777) == 0;
  }

  bool RemoveDir(const std::string& path) override {
    return !path.empty() && rmdir(path.c_str()) == 0;
  }

  bool RemoveTree(const std::string& path) override {
    struct stat st;
    if (path.empty() || lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      return false;
    }
    return RemoveTreeAt(ExcludeTrailingPathDelimiter(path));
  }

  std::string TempFileName(const std::string& dir,
                           const std::string& prefix) override {
    std::string folder = dir;
    if (folder.empty()) {
      const char* tmpdir = std::getenv("TMPDIR");
      folder = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
    }
    std::string name = IncludeTrailingPathDelimiter(folder) + prefix + "XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return std::string();
    close(fd);
    return name;
  }

  int64_t FreeSpace(const std::string& path) override {
    // A file that is about to be created does not exist yet: measure the
    // nearest folder of its path that does.
    const std::string probe = NearestExistingFolder(path);
    if (probe.empty()) return -1;
    struct statvfs fs;
    if (statvfs(probe.c_str(), &fs) != 0) return -1;
    return static_cast<int64_t>(fs.f_bavail) *
           static_cast<int64_t>(fs.f_frsize);
  }

  DriveType DriveTypeOf(const std::string&) override {
    return DriveType::kFixed;
  }

  bool SetVolumeLabel(const std::string&, const std::string&) override {
    return false;
  }

  std::string CurrentDirectory() override {
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return std::string();
      buffer.resize(buffer.size() * 2);
    }
    return IncludeTrailingPathDelimiter(buffer.data());
  }

  uint32_t NowDosDateTime() override { return DosDateTimeOf(time(nullptr)); }

  int64_t NowMicros() override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }

 private:
  // Removes the folder `path` (no trailing '/') and everything below it,
  // carrying on past failures so that as much as possible goes.
  static bool RemoveTreeAt(const std::string& path) {
    bool ok = true;
    if (DIR* dir = opendir(path.c_str())) {
      while (const struct dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string child = path + "/" + name;
        struct stat st;
        if (lstat(child.c_str(), &st) != 0) {
          ok = false;
        } else if (S_ISDIR(st.st_mode)) {
          ok = RemoveTreeAt(child) && ok;
        } else if (unlink(child.c_str()) != 0) {
          ok = false;
        }
      }
      closedir(dir);
    } else {
      ok = false;
    }
    return rmdir(path.c_str()) == 0 && ok;
  }
};

}  // namespace

Env& Env::Default() {
  static PosixEnv env;
  return env;
}

}  // namespace tessaly::platform
