// FaultEnv: an Env that passes every call to another Env, with faults that a
// test can switch on to reach failure paths: a file that cannot be opened, a
// write that fails or comes up short, a full disk, a file that vanishes
// between being found and being opened, no temporary file.
//
// With no fault switched on it behaves exactly as its target. Faults stay on
// until cleared (ClearFaults) unless said otherwise. Files opened through it
// must not outlive it. Not thread-safe: use it from one thread.
#ifndef TESSALY_PLATFORM_TESTING_FAULT_ENV_H_
#define TESSALY_PLATFORM_TESTING_FAULT_ENV_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/env.h"

namespace tessaly::platform {

class FaultEnv : public EnvWrapper {
 public:
  // `target` must outlive the FaultEnv.
  explicit FaultEnv(Env& target = Env::Default());
  ~FaultEnv() override;

  // OpenFile of `path` fails with `kind` (typically kNotFound or
  // kAccessDenied), whatever the mode. The path is compared as given.
  void RefuseOpen(const std::string& path,
                  ErrorKind kind = ErrorKind::kAccessDenied);

  // The `n`th Write call (counted from 1) writes nothing and fails with
  // `kind`; every later write fails too when `sticky` (a disk that stays
  // full). Counting covers every file opened through this environment, or
  // only the files named `path` when it is not empty. Counting starts when
  // the fault is switched on.
  void FailNthWrite(int64_t n, ErrorKind kind = ErrorKind::kDiskFull,
                    const std::string& path = "", bool sticky = false);

  // The `n`th Write call writes only its first `bytes` bytes (fewer when it
  // was asked for fewer) and reports that count, with LastError() kDiskFull.
  // Counting as for FailNthWrite.
  void ShortenNthWrite(int64_t n, int64_t bytes, const std::string& path = "");

  // FreeSpace reports `bytes` for every path.
  void SetFreeSpace(int64_t bytes);

  // The next FindFiles that lists a file named `path` (its folder part plus
  // the found name, compared as given) deletes that file before returning,
  // so the caller finds it but cannot open it. Fires once.
  void DeleteAfterFind(const std::string& path);

  // FindFiles of every pattern in the folder `folder` (compared as given
  // but for the kind of its delimiters, with or without the trailing one)
  // lists nothing and fails with
  // `kind`, as a folder that may not be read does.
  void RefuseFind(const std::string& folder,
                  ErrorKind kind = ErrorKind::kAccessDenied);

  // TempFileName returns "" (no temporary file can be created).
  void FailTempFileName(bool fail = true);

  // SetVolumeLabel succeeds (records the label) instead of passing through.
  void AcceptVolumeLabels(bool accept = true);

  // DriveTypeOf reports `type` for every path.
  void SetDriveType(DriveType type);

  // A power loss after the next `n` changes to the file system: writes,
  // size changes, files created or truncated, deleted or renamed, folders
  // made or removed, attributes and times set, counted over every file of
  // this environment. Every later change fails (as a full disk would, for
  // writes) and changes nothing, so the files keep exactly what the first
  // `n` changes made of them; reads and syncs of what is there go on.
  void LosePowerAfter(int64_t n);
  // Whether a change has been refused since LosePowerAfter.
  bool power_lost() const { return power_lost_; }
  // Changes made or refused since LosePowerAfter (or since construction).
  int64_t changes_seen() const { return changes_; }

  // Switches every fault off. Counters and records are kept.
  void ClearFaults();

  // Number of Write calls made through files of this environment.
  int64_t write_count() const { return write_count_; }
  // Paths of every successful OpenFile, in order.
  const std::vector<std::string>& opened_files() const { return opened_; }
  // Every label passed to SetVolumeLabel, in order.
  const std::vector<std::string>& volume_labels() const { return labels_; }
  // Number of Flush calls made through files of this environment.
  int64_t flush_count() const { return flush_count_; }

  std::vector<FoundFile> FindFiles(const std::string& pattern,
                                   uint32_t attribute_filter,
                                   ErrorKind* error = nullptr) override;
  std::unique_ptr<File> OpenFile(const std::string& path, uint16_t mode,
                                 ErrorKind* error = nullptr) override;
  std::string TempFileName(const std::string& dir,
                           const std::string& prefix) override;
  int64_t FreeSpace(const std::string& path) override;
  DriveType DriveTypeOf(const std::string& path) override;
  bool SetVolumeLabel(const std::string& path,
                      const std::string& label) override;
  bool SetFileAttributes(const std::string& path, uint32_t attributes) override;
  bool SetFileAge(const std::string& path, uint32_t dos_date_time) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool CreateDir(const std::string& path) override;
  bool RemoveDir(const std::string& path) override;
  bool RemoveTree(const std::string& path) override;

 private:
  class FaultFile;

  struct WriteFault {
    int64_t n = 0;
    int64_t seen = 0;  // writes counted since the fault was switched on
    std::string path;
    bool shorten = false;
    int64_t bytes = 0;
    ErrorKind kind = ErrorKind::kDiskFull;
    bool sticky = false;
  };

  // What the `count`-byte write to `path` may write (<= count), and the
  // error to report when it is cut short.
  int64_t AllowedWrite(const std::string& path, int64_t count, ErrorKind* kind);
  // Counts one change; false when the power is gone.
  bool ChangeAllowed();

  std::vector<std::pair<std::string, ErrorKind>> refused_;
  std::vector<std::pair<std::string, ErrorKind>> refused_finds_;
  std::optional<WriteFault> write_fault_;
  std::optional<int64_t> free_space_;
  std::optional<DriveType> drive_type_;
  std::vector<std::string> delete_after_find_;
  bool fail_temp_ = false;
  bool accept_labels_ = false;
  int64_t write_count_ = 0;
  int64_t flush_count_ = 0;
  std::optional<int64_t> power_for_;  // changes left before the power loss
  int64_t changes_ = 0;
  bool power_lost_ = false;
  std::vector<std::string> opened_;
  std::vector<std::string> labels_;
};

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_TESTING_FAULT_ENV_H_
