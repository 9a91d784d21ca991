// MemEnv: an Env whose files and folders live in memory, for fast tests that
// must not touch the disk. Paths use the native syntax and are absolute
// (relative paths are taken against "/", the current folder); the root "/"
// and "/tmp" (where TempFileName makes files by default) exist from the
// start. Attributes, times and free space are kept as set: a new file has
// 0x20 (plus 0x02 for a dot-name) and the time NowDosDateTime() reports,
// which is fixed (SetNow) so that tests are reproducible. Files opened
// through it must not outlive it. Thread-safe (one mutex).
#ifndef TESSALY_PLATFORM_TESTING_MEM_ENV_H_
#define TESSALY_PLATFORM_TESTING_MEM_ENV_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/env.h"

namespace tessaly::platform {

class MemEnv final : public Env {
 public:
  MemEnv();
  ~MemEnv() override;

  // The time NowDosDateTime reports and new files take. Default
  // 2024-01-02 03:04:06.
  void SetNow(uint32_t dos_date_time);
  // The value FreeSpace reports. Default 1 TiB.
  void SetFreeSpace(int64_t bytes);

  std::vector<FoundFile> FindFiles(const std::string& pattern,
                                   uint32_t attribute_filter,
                                   ErrorKind* error = nullptr) override;
  int32_t FileAttributes(const std::string& path) override;
  bool SetFileAttributes(const std::string& path, uint32_t attributes) override;
  int32_t FileAge(const std::string& path) override;
  bool SetFileAge(const std::string& path, uint32_t dos_date_time) override;
  int64_t FileSize(const std::string& path) override;
  // The normalized path: a MemEnv has no links, so a file has one name.
  std::string FileId(const std::string& path) override;
  std::unique_ptr<File> OpenFile(const std::string& path, uint16_t mode,
                                 ErrorKind* error = nullptr) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool CreateDir(const std::string& path) override;
  bool RemoveDir(const std::string& path) override;
  bool RemoveTree(const std::string& path) override;
  std::string TempFileName(const std::string& dir,
                           const std::string& prefix) override;
  int64_t FreeSpace(const std::string& path) override;
  DriveType DriveTypeOf(const std::string& path) override;
  bool SetVolumeLabel(const std::string& path,
                      const std::string& label) override;
  std::string CurrentDirectory() override;
  uint32_t NowDosDateTime() override;
  int64_t NowMicros() override;

 private:
  struct Node;
  class MemFile;

  std::string Normalize(const std::string& path) const;
  Node* Lookup(const std::string& normalized);

  std::mutex mutex_;
  // Normalized absolute path (no trailing '/', except the root) -> node.
  std::map<std::string, std::shared_ptr<Node>> nodes_;
  uint32_t now_;
  int64_t free_space_;
  int64_t temp_counter_ = 0;
};

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_TESTING_MEM_ENV_H_
