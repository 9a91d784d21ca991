#include "platform/testing/fault_env.h"

#include <algorithm>
#include <utility>

#include "platform/path.h"

namespace tessaly::platform {

// Passes everything to the target's file; Write consults the environment's
// write fault first.
class FaultEnv::FaultFile final : public File {
 public:
  FaultFile(FaultEnv& env, std::unique_ptr<File> target)
      : env_(env), target_(std::move(target)) {}

  int64_t Read(void* buffer, int64_t count) override {
    return target_->Read(buffer, count);
  }

  int64_t Write(const void* buffer, int64_t count) override {
    if (!env_.ChangeAllowed()) {
      last_error_ = ErrorKind::kDiskFull;
      return 0;
    }
    ErrorKind kind = ErrorKind::kNone;
    const int64_t allowed = env_.AllowedWrite(target_->Path(), count, &kind);
    if (allowed == count) return target_->Write(buffer, count);
    const int64_t written = allowed > 0 ? target_->Write(buffer, allowed) : 0;
    last_error_ = written < allowed ? target_->LastError() : kind;
    return written;
  }

  int64_t Seek(int64_t position) override { return target_->Seek(position); }
  int64_t Position() const override { return target_->Position(); }
  int64_t Size() const override { return target_->Size(); }
  bool SetSize(int64_t size) override {
    if (!env_.ChangeAllowed()) {
      last_error_ = ErrorKind::kIOError;
      return false;
    }
    return target_->SetSize(size);
  }

  bool Flush() override {
    ++env_.flush_count_;
    return target_->Flush();
  }

  ErrorKind LastError() const override {
    return last_error_ != ErrorKind::kNone ? last_error_ : target_->LastError();
  }

  const std::string& Path() const override { return target_->Path(); }

 private:
  FaultEnv& env_;
  std::unique_ptr<File> target_;
  ErrorKind last_error_ = ErrorKind::kNone;
};

FaultEnv::FaultEnv(Env& target) : EnvWrapper(target) {}

FaultEnv::~FaultEnv() = default;

void FaultEnv::RefuseOpen(const std::string& path, ErrorKind kind) {
  refused_.emplace_back(path, kind);
}

void FaultEnv::RefuseFind(const std::string& folder, ErrorKind kind) {
  refused_finds_.emplace_back(
      NormalizePathDelimiters(IncludeTrailingPathDelimiter(folder)), kind);
}

void FaultEnv::FailNthWrite(int64_t n, ErrorKind kind, const std::string& path,
                            bool sticky) {
  WriteFault fault;
  fault.n = n;
  fault.path = path;
  fault.kind = kind;
  fault.sticky = sticky;
  write_fault_ = fault;
}

void FaultEnv::ShortenNthWrite(int64_t n, int64_t bytes,
                               const std::string& path) {
  WriteFault fault;
  fault.n = n;
  fault.path = path;
  fault.shorten = true;
  fault.bytes = std::max<int64_t>(0, bytes);
  write_fault_ = fault;
}

void FaultEnv::SetFreeSpace(int64_t bytes) { free_space_ = bytes; }

void FaultEnv::DeleteAfterFind(const std::string& path) {
  delete_after_find_.push_back(path);
}

void FaultEnv::FailTempFileName(bool fail) { fail_temp_ = fail; }

void FaultEnv::AcceptVolumeLabels(bool accept) { accept_labels_ = accept; }

void FaultEnv::SetDriveType(DriveType type) { drive_type_ = type; }

void FaultEnv::LosePowerAfter(int64_t n) {
  power_for_ = n;
  changes_ = 0;
  power_lost_ = false;
}

bool FaultEnv::ChangeAllowed() {
  ++changes_;
  if (!power_for_ || changes_ <= *power_for_) return true;
  power_lost_ = true;
  return false;
}

void FaultEnv::ClearFaults() {
  refused_.clear();
  refused_finds_.clear();
  write_fault_.reset();
  free_space_.reset();
  drive_type_.reset();
  delete_after_find_.clear();
  fail_temp_ = false;
  accept_labels_ = false;
  power_for_.reset();
}

int64_t FaultEnv::AllowedWrite(const std::string& path, int64_t count,
                               ErrorKind* kind) {
  ++write_count_;
  if (!write_fault_ ||
      (!write_fault_->path.empty() && write_fault_->path != path)) {
    return count;
  }
  WriteFault& fault = *write_fault_;
  const int64_t seen = ++fault.seen;
  if (seen < fault.n || (seen > fault.n && !fault.sticky)) return count;
  if (fault.shorten) {
    *kind = ErrorKind::kDiskFull;
    return std::min(count, fault.bytes);
  }
  *kind = fault.kind;
  return 0;
}

std::vector<FoundFile> FaultEnv::FindFiles(const std::string& pattern,
                                           uint32_t attribute_filter,
                                           ErrorKind* error) {
  const std::string folder = ExtractFilePath(pattern);
  const std::string normalized = NormalizePathDelimiters(folder);
  for (const auto& [refused_folder, kind] : refused_finds_) {
    if (refused_folder == normalized) {
      if (error != nullptr) *error = kind;
      return {};
    }
  }
  std::vector<FoundFile> found =
      target().FindFiles(pattern, attribute_filter, error);
  if (delete_after_find_.empty()) return found;
  for (const FoundFile& file : found) {
    const std::string full = folder + file.name;
    const auto it =
        std::find(delete_after_find_.begin(), delete_after_find_.end(), full);
    if (it != delete_after_find_.end()) {
      target().RemoveFile(full);
      delete_after_find_.erase(it);
    }
  }
  return found;
}

std::unique_ptr<File> FaultEnv::OpenFile(const std::string& path, uint16_t mode,
                                         ErrorKind* error) {
  if (mode == kOpenCreate && !ChangeAllowed()) {
    if (error != nullptr) *error = ErrorKind::kIOError;
    return nullptr;
  }
  for (const auto& [refused_path, kind] : refused_) {
    if (refused_path == path) {
      if (error != nullptr) *error = kind;
      return nullptr;
    }
  }
  std::unique_ptr<File> file = target().OpenFile(path, mode, error);
  if (file == nullptr) return nullptr;
  opened_.push_back(path);
  return std::make_unique<FaultFile>(*this, std::move(file));
}

std::string FaultEnv::TempFileName(const std::string& dir,
                                   const std::string& prefix) {
  if (fail_temp_ || !ChangeAllowed()) return std::string();
  return target().TempFileName(dir, prefix);
}

int64_t FaultEnv::FreeSpace(const std::string& path) {
  return free_space_ ? *free_space_ : target().FreeSpace(path);
}

DriveType FaultEnv::DriveTypeOf(const std::string& path) {
  return drive_type_ ? *drive_type_ : target().DriveTypeOf(path);
}

bool FaultEnv::SetVolumeLabel(const std::string& path,
                              const std::string& label) {
  labels_.push_back(label);
  if (accept_labels_) return true;
  return target().SetVolumeLabel(path, label);
}

bool FaultEnv::SetFileAttributes(const std::string& path, uint32_t attributes) {
  return ChangeAllowed() && target().SetFileAttributes(path, attributes);
}

bool FaultEnv::SetFileAge(const std::string& path, uint32_t dos_date_time) {
  return ChangeAllowed() && target().SetFileAge(path, dos_date_time);
}

bool FaultEnv::RemoveFile(const std::string& path) {
  return ChangeAllowed() && target().RemoveFile(path);
}

bool FaultEnv::RenameFile(const std::string& from, const std::string& to) {
  return ChangeAllowed() && target().RenameFile(from, to);
}

bool FaultEnv::CreateDir(const std::string& path) {
  return ChangeAllowed() && target().CreateDir(path);
}

bool FaultEnv::RemoveDir(const std::string& path) {
  return ChangeAllowed() && target().RemoveDir(path);
}

bool FaultEnv::RemoveTree(const std::string& path) {
  return ChangeAllowed() && target().RemoveTree(path);
}

}  // namespace tessaly::platform
