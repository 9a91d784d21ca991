// Env: everything the engine and the program ask of the operating system.
//
// One abstract interface in the style of LevelDB's Env, so that tests can put
// a fault-injecting or in-memory environment (platform/testing/) in place of
// the real one. The real one is Env::Default(): platform/posix/posix_env.cc
// or platform/windows/windows_env.cc, as the build picks.
//
// Conventions shared by all methods:
// - Paths are native paths (platform/path.h); names are the file system's
//   bytes (UTF-8 on POSIX, the system ANSI code page on Windows).
// - Failures are returned (false, -1, empty, nullptr, an ErrorKind), never
//   thrown; turning them into exceptions is the caller's business.
// - File attributes are Windows file attribute bits (kAttr* below). A POSIX
//   file has: regular file 0x20, plus 0x01 when its owner may not write it,
//   plus 0x02 when its name begins with a dot; a folder 0x10, plus 0x02 for a
//   dot-folder. Other kinds of file (devices, sockets, pipes, dangling links)
//   have no attributes: they are never found and FileAttributes gives -1.
//   Symbolic links are followed. A Windows file has its own attributes, of
//   which read-only, hidden, system, folder and archive are passed on (a
//   file with none of them has 0, not kAttrNormal).
// - Times are MS-DOS date-times in local time: date in the high 16 bits
//   (day 0-4, month 5-8, year-1980 9-15), time in the low 16 bits
//   (seconds/2 0-4, minute 5-10, hour 11-15).
// - Thread safety: Env::Default() and its methods may be used from any thread
//   at the same time; a File is used by one thread at a time.
#ifndef TESSALY_PLATFORM_ENV_H_
#define TESSALY_PLATFORM_ENV_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/stream.h"

namespace tessaly::platform {

// Windows file attribute bits.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrVolumeLabel = 0x08;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;

// The 16-bit open modes: 0xFFFF creates (or truncates) a file for reading and
// writing; any other value opens an existing file, with the access in the low
// two bits and the sharing mode in bits 4-6. Sharing is not enforced on
// POSIX. On Windows it is what other opens of the file may do meanwhile:
// compat and deny-none allow reading and writing, exclusive nothing,
// deny-write reading, deny-read writing; an open that the sharing of an
// open file forbids fails with kAccessDenied.
inline constexpr uint16_t kOpenCreate = 0xFFFF;
inline constexpr uint16_t kOpenRead = 0x00;
inline constexpr uint16_t kOpenWrite = 0x01;
inline constexpr uint16_t kOpenReadWrite = 0x02;
inline constexpr uint16_t kShareCompat = 0x00;
inline constexpr uint16_t kShareExclusive = 0x10;
inline constexpr uint16_t kShareDenyWrite = 0x20;
inline constexpr uint16_t kShareDenyRead = 0x30;
inline constexpr uint16_t kShareDenyNone = 0x40;

// Why an operation on a file failed.
enum class ErrorKind {
  kNone,          // no failure
  kNotFound,      // the file or a folder of its path does not exist
  kAccessDenied,  // permissions, a read-only file or file system
  kDiskFull,      // no space left on the device (or quota exceeded)
  kIsDirectory,   // a folder stands where a file was expected
  kIOError,       // anything else
};

// A readable name of a kind ("not found", "disk full", ...), for messages in
// tests and logs.
const char* ErrorKindName(ErrorKind kind);

// An entry found by Env::FindFiles.
struct FoundFile {
  std::string name;     // the name alone, without folder
  uint32_t attributes;  // Windows file attributes
};

// A file opened through Env::OpenFile: a Stream (platform/stream.h) over an
// operating-system file, which closes itself when destroyed. Not copyable;
// one thread at a time. Beyond the Stream contract:
// - Read returns 0 also on an error, Write fewer bytes than asked when the
//   device refused the rest (typically a full disk), Size -1 on an error;
//   LastError tells why.
// - Flush pushes the operating system's buffers to the device (fsync).
class File : public Stream {
 public:
  bool IsFile() const override { return true; }

  // The kind of the last failure of Read, Write, Seek, SetSize or Flush;
  // kNone when none failed yet.
  virtual ErrorKind LastError() const = 0;

  // The path the file was opened with.
  virtual const std::string& Path() const = 0;
};

enum class DriveType {
  kUnknown,
  kNoRootDir,
  kRemovable,
  kFixed,
  kRemote,
  kCdRom,
  kRamDisk,
};

class Env {
 public:
  Env() = default;
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;
  virtual ~Env() = default;

  // The environment of the running system. A function-local static that
  // lives for the whole process; never delete it.
  static Env& Default();

  // --- Finding files ------------------------------------------------------

  // The entries of the folder part of `pattern` (platform/path.h
  // ExtractFilePath; "" is the current folder) whose names match its name
  // part, as find-first/find-next would return them:
  // - Matching is Windows wildcard matching, letters compared without case
  //   (AnsiUpperCase): '*' takes any run of characters, '?' one character
  //   (AnsiCharLength: a UTF-8 sequence on POSIX, a byte or double-byte
  //   pair on Windows); a name without a dot also matches when it would
  //   with a dot appended, so "*.*" and "a.*" match "a", and "*." matches
  //   the names without a dot (platform/find_match.h). Only the long name
  //   counts: Windows' 8.3 short names are not matched.
  // - "." and ".." are included (when the filter holds kAttrDirectory and
  //   the pattern matches them), as Windows returns them; callers skip them.
  // - Entries with any of the bits hidden 0x02, system 0x04, volume 0x08 or
  //   folder 0x10 are returned only when `attribute_filter` has that bit;
  //   other entries always.
  // - Order: by upper-cased name (platform/find_match.h SortFoundFiles),
  //   as NTFS lists a folder, whatever the file system.
  // A folder that cannot be listed gives an empty list, and the reason in
  // *error when `error` is not null: kNotFound when the folder does not
  // exist (or is not a folder), kAccessDenied when it may not be read (also
  // when an entry in it cannot be examined for that reason), kIOError for
  // anything else. *error is kNone when the folder was listed, whether or
  // not anything matched; an entry that vanishes meanwhile is left out.
  virtual std::vector<FoundFile> FindFiles(const std::string& pattern,
                                           uint32_t attribute_filter,
                                           ErrorKind* error = nullptr) = 0;

  // --- File properties ----------------------------------------------------

  // The Windows attributes of a file or folder; -1 when it does not exist or
  // is of another kind.
  virtual int32_t FileAttributes(const std::string& path) = 0;

  // Sets attributes. Only the read-only bit has an effect on POSIX: set, the
  // owner's (and group's and others') write permission is removed; clear,
  // the owner's write permission is granted. Windows sets read-only,
  // hidden, system and archive as given (so 0 clears the archive bit too).
  // Returns false when the file does not exist or cannot be changed.
  virtual bool SetFileAttributes(const std::string& path,
                                 uint32_t attributes) = 0;

  // Whether `path` names an existing file (false for a folder).
  bool FileExists(const std::string& path);

  // Whether `path` names an existing folder.
  bool DirectoryExists(const std::string& path);

  // `path` itself when it is an existing folder, else the nearest folder of
  // its path that exists (the current folder for a relative path none of
  // whose folders exists); "" when there is none. For measuring the disk a
  // file that does not exist yet will be created on.
  std::string NearestExistingFolder(const std::string& path);

  // The modification time of a file as an MS-DOS date-time in local time;
  // -1 when it cannot be read, and always for a folder. Times before 1980
  // give 1980-01-01 00:00:00, times after 2107 give 2107-12-31 23:59:58.
  // Dates from 2044 on have bit 31 set and so are negative here: cast to
  // uint32_t; -1 itself is never a valid date-time.
  virtual int32_t FileAge(const std::string& path) = 0;

  // Sets the modification time of a file from an MS-DOS date-time in local
  // time. Returns false when the file is missing or the value is not a
  // valid date-time. Windows converts local time with the zone's current
  // offset both ways (FileTimeToLocalFileTime), so a time set is read back
  // unchanged.
  virtual bool SetFileAge(const std::string& path, uint32_t dos_date_time) = 0;

  // The size of a file in bytes; -1 when it is missing or a folder.
  virtual int64_t FileSize(const std::string& path) = 0;

  // A text that names the file or folder `path` leads to, the same for
  // every path of it (through symbolic links, hard links or junctions) and
  // different for every other file: POSIX device and inode, Windows volume
  // serial number and file index. "" when it cannot be told (missing, or an
  // Env without such identities).
  virtual std::string FileId(const std::string& path) {
    (void)path;
    return std::string();
  }

  // FileId of a folder; "" for a file or when `path` is no folder.
  std::string FolderId(const std::string& path);

  // --- Opening and changing files -----------------------------------------

  // Opens `path` with a 16-bit open mode (kOpen* | kShare*, or
  // kOpenCreate). kOpenCreate creates the file, or truncates an existing
  // one, for reading and writing; other modes open an existing file only.
  // Windows shares a created file for reading only (as kShareDenyWrite
  // does), and refuses to truncate a read-only, hidden or system file
  // (kAccessDenied). An access
  // of 3, or on Windows a sharing mode above kShareDenyNone, is no mode:
  // kIOError. Returns the open file (owned by the caller), or nullptr with
  // the reason in *error (when error is not null; it is set to kNone on
  // success).
  virtual std::unique_ptr<File> OpenFile(const std::string& path, uint16_t mode,
                                         ErrorKind* error = nullptr) = 0;

  // Deletes a file (not a folder). Returns false when it does not exist or
  // cannot be deleted. A read-only file can be deleted on POSIX when its
  // folder is writable; on Windows it cannot be deleted until its read-only
  // attribute is cleared.
  virtual bool RemoveFile(const std::string& path) = 0;

  // Renames or moves a file or folder. Unlike POSIX rename(), fails when
  // `to` already exists (as on Windows): callers delete the target first.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;

  // Creates one folder (its parent must exist). False when it exists already
  // or cannot be created.
  virtual bool CreateDir(const std::string& path) = 0;

  // Removes an empty folder. False when it is missing, not empty or cannot
  // be removed.
  virtual bool RemoveDir(const std::string& path) = 0;

  // Removes a folder with all its content (symbolic links, and on Windows
  // folder junctions and other reparse points, are removed, not followed;
  // on Windows read-only entries lose that attribute and go too). Returns
  // true when the folder is gone; false when it did not exist or something
  // could not be removed (what could be is removed).
  virtual bool RemoveTree(const std::string& path) = 0;

  // Creates a new, empty, uniquely named file whose name begins with
  // `prefix` in the folder `dir`; when `dir` is empty, in the system's
  // temporary folder: $TMPDIR, else /tmp (POSIX); GetTempPath, that is
  // %TMP%, %TEMP%, ... (Windows). Windows keeps the first three characters
  // of `prefix` and names the file "<prefix><hex digits>.tmp". Returns the
  // file's full name (the caller deletes the file), or "" when no file
  // could be created.
  virtual std::string TempFileName(const std::string& dir,
                                   const std::string& prefix) = 0;

  // --- Drives ---------------------------------------------------------------

  // Bytes available to the caller on the file system that holds `path`
  // (or, when `path` does not exist, its nearest existing parent folder);
  // -1 on error.
  virtual int64_t FreeSpace(const std::string& path) = 0;

  // The kind of drive holding `path`. POSIX: always kFixed (no drive is
  // removable). Windows: GetDriveType of the root of the path's drive
  // ("C:\", "\\server\share\"; the current drive for a path without
  // one): floppy drives A: and B: are kRemovable, a drive letter that is
  // not assigned kNoRootDir.
  virtual DriveType DriveTypeOf(const std::string& path) = 0;

  // Sets the volume label of the disk holding `path`. POSIX: not possible,
  // always false. Windows: the label of the root of the path's drive (the
  // current drive for a path without one); false when refused.
  virtual bool SetVolumeLabel(const std::string& path,
                              const std::string& label) = 0;

  // --- Process and time ---------------------------------------------------

  // The current folder, with a trailing delimiter; "" on error.
  virtual std::string CurrentDirectory() = 0;

  // The current local time as an MS-DOS date-time.
  virtual uint32_t NowDosDateTime() = 0;

  // Microseconds since the Unix epoch (wall clock), e.g. for seeding.
  virtual int64_t NowMicros() = 0;
};

// Forwards every call to another Env; derive from it to override a few
// calls (see platform/testing/fault_env.h). `target` must outlive the
// wrapper.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env& target) : target_(target) {}

  Env& target() const { return target_; }

  std::vector<FoundFile> FindFiles(const std::string& pattern,
                                   uint32_t attribute_filter,
                                   ErrorKind* error = nullptr) override {
    return target_.FindFiles(pattern, attribute_filter, error);
  }
  int32_t FileAttributes(const std::string& path) override {
    return target_.FileAttributes(path);
  }
  bool SetFileAttributes(const std::string& path,
                         uint32_t attributes) override {
    return target_.SetFileAttributes(path, attributes);
  }
  int32_t FileAge(const std::string& path) override {
    return target_.FileAge(path);
  }
  bool SetFileAge(const std::string& path, uint32_t dos_date_time) override {
    return target_.SetFileAge(path, dos_date_time);
  }
  int64_t FileSize(const std::string& path) override {
    return target_.FileSize(path);
  }
  std::string FileId(const std::string& path) override {
    return target_.FileId(path);
  }
  std::unique_ptr<File> OpenFile(const std::string& path, uint16_t mode,
                                 ErrorKind* error = nullptr) override {
    return target_.OpenFile(path, mode, error);
  }
  bool RemoveFile(const std::string& path) override {
    return target_.RemoveFile(path);
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return target_.RenameFile(from, to);
  }
  bool CreateDir(const std::string& path) override {
    return target_.CreateDir(path);
  }
  bool RemoveDir(const std::string& path) override {
    return target_.RemoveDir(path);
  }
  bool RemoveTree(const std::string& path) override {
    return target_.RemoveTree(path);
  }
  std::string TempFileName(const std::string& dir,
                           const std::string& prefix) override {
    return target_.TempFileName(dir, prefix);
  }
  int64_t FreeSpace(const std::string& path) override {
    return target_.FreeSpace(path);
  }
  DriveType DriveTypeOf(const std::string& path) override {
    return target_.DriveTypeOf(path);
  }
  bool SetVolumeLabel(const std::string& path,
                      const std::string& label) override {
    return target_.SetVolumeLabel(path, label);
  }
  std::string CurrentDirectory() override { return target_.CurrentDirectory(); }
  uint32_t NowDosDateTime() override { return target_.NowDosDateTime(); }
  int64_t NowMicros() override { return target_.NowMicros(); }

 private:
  Env& target_;
};

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_ENV_H_
