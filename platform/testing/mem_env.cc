// Every file and folder is a node in one map keyed by its normalised
// absolute path, so a folder's entries are the keys that extend its path by
// one component. Open files share their node's bytes, so a file deleted or
// renamed while open stays usable through the open handle, as on POSIX.

#include "platform/testing/mem_env.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/dos_time.h"
#include "platform/find_match.h"
#include "platform/path.h"

namespace tessaly::platform {
namespace {

constexpr std::string_view kRoot =
    kNativeSyntax == PathSyntax::kPosix ? "/" : "C:\\";

bool IsDotName(std::string_view name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

}  // namespace

struct MemEnv::Node {
  bool is_dir = false;
  uint32_t attributes = kAttrArchive;
  uint32_t time = 0;
  std::vector<uint8_t> data;
};

class MemEnv::MemFile final : public File {
 public:
  MemFile(MemEnv& env, std::shared_ptr<Node> node, std::string path,
          bool readable, bool writable)
      : env_(env),
        node_(std::move(node)),
        path_(std::move(path)),
        readable_(readable),
        writable_(writable) {}

  int64_t Read(void* buffer, int64_t count) override {
    std::lock_guard<std::mutex> lock(env_.mutex_);
    if (!readable_) return Fail(ErrorKind::kAccessDenied, int64_t{0});
    const int64_t size = static_cast<int64_t>(node_->data.size());
    if (count <= 0 || position_ >= size) return 0;
    const int64_t n = std::min(count, size - position_);
    std::memcpy(buffer, node_->data.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    std::lock_guard<std::mutex> lock(env_.mutex_);
    if (!writable_) return Fail(ErrorKind::kAccessDenied, int64_t{0});
    if (count <= 0) return 0;
    const int64_t end = position_ + count;
    if (end > static_cast<int64_t>(node_->data.size())) {
      node_->data.resize(static_cast<size_t>(end));
    }
    std::memcpy(node_->data.data() + position_, buffer,
                static_cast<size_t>(count));
    position_ = end;
    node_->time = env_.now_;
    return count;
  }

  int64_t Seek(int64_t position) override {
    if (position < 0) return Fail(ErrorKind::kIOError, int64_t{-1});
    position_ = position;
    return position_;
  }

  int64_t Position() const override { return position_; }

  int64_t Size() const override {
    std::lock_guard<std::mutex> lock(env_.mutex_);
    return static_cast<int64_t>(node_->data.size());
  }

  bool SetSize(int64_t size) override {
    std::lock_guard<std::mutex> lock(env_.mutex_);
    if (!writable_) return Fail(ErrorKind::kAccessDenied, false);
    if (size < 0) return Fail(ErrorKind::kIOError, false);
    node_->data.resize(static_cast<size_t>(size));
    position_ = std::min(position_, size);
    return true;
  }

  bool Flush() override { return true; }
  ErrorKind LastError() const override { return last_error_; }
  const std::string& Path() const override { return path_; }

 private:
  template <typename T>
  T Fail(ErrorKind kind, T result) {
    last_error_ = kind;
    return result;
  }

  MemEnv& env_;
  std::shared_ptr<Node> node_;
  const std::string path_;
  const bool readable_;
  const bool writable_;
  int64_t position_ = 0;
  ErrorKind last_error_ = ErrorKind::kNone;
};

MemEnv::MemEnv()
    : now_(0x58220000 | (3 << 11) | (4 << 5) | 3),
      free_space_(int64_t{1} << 40) {
  // 0x5822: 2024-01-02 (44 << 9 | 1 << 5 | 2); 03:04:06 below.
  auto root = std::make_shared<Node>();
  root->is_dir = true;
  root->attributes = kAttrDirectory;
  nodes_[std::string(kRoot)] = root;
  // The folder TempFileName uses when given none.
  auto tmp = std::make_shared<Node>(*root);
  nodes_[std::string(kRoot) + "tmp"] = tmp;
}

MemEnv::~MemEnv() = default;

void MemEnv::SetNow(uint32_t dos_date_time) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ = dos_date_time;
}

void MemEnv::SetFreeSpace(int64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  free_space_ = bytes;
}

std::string MemEnv::Normalize(const std::string& path) const {
  if (path.empty()) return std::string();
  std::string full = ExpandFileName(path, kRoot);
  if (full.size() > kRoot.size()) full = ExcludeTrailingPathDelimiter(full);
  return full;
}

MemEnv::Node* MemEnv::Lookup(const std::string& normalized) {
  const auto it = nodes_.find(normalized);
  return it == nodes_.end() ? nullptr : it->second.get();
}

std::vector<FoundFile> MemEnv::FindFiles(const std::string& pattern,
                                         uint32_t attribute_filter,
                                         ErrorKind* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (error != nullptr) *error = ErrorKind::kNone;
  std::vector<FoundFile> found;
  const std::string folder =
      Normalize(ExtractFilePath(pattern).empty() ? std::string(kRoot)
                                                 : ExtractFilePath(pattern));
  const std::string name_pattern = ExtractFileName(pattern);
  const Node* dir = Lookup(folder);
  if (dir == nullptr || !dir->is_dir) {
    if (error != nullptr) *error = ErrorKind::kNotFound;
    return found;
  }
  auto offer = [&](const std::string& name, uint32_t attributes) {
    if (FindPatternMatches(name_pattern, name) &&
        PassesAttributeFilter(attributes, attribute_filter)) {
      found.push_back({name, attributes});
    }
  };
  offer(".", kAttrDirectory);
  offer("..", kAttrDirectory);
  const std::string prefix = IncludeTrailingPathDelimiter(folder);
  for (auto it = nodes_.lower_bound(prefix);
       it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
       ++it) {
    const std::string name = it->first.substr(prefix.size());
    if (name.empty() || name.find(PathDelimiter()) != std::string::npos) {
      continue;
    }
    offer(name, it->second->attributes);
  }
  return found;
}

int32_t MemEnv::FileAttributes(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Node* node = Lookup(Normalize(path));
  return node == nullptr ? -1 : static_cast<int32_t>(node->attributes);
}

bool MemEnv::SetFileAttributes(const std::string& path, uint32_t attributes) {
  std::lock_guard<std::mutex> lock(mutex_);
  Node* node = Lookup(Normalize(path));
  if (node == nullptr) return false;
  if (node->is_dir) return true;
  node->attributes =
      (node->attributes & ~kAttrReadOnly) | (attributes & kAttrReadOnly);
  return true;
}

int32_t MemEnv::FileAge(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Node* node = Lookup(Normalize(path));
  if (node == nullptr || node->is_dir) return -1;
  return static_cast<int32_t>(node->time);
}

bool MemEnv::SetFileAge(const std::string& path, uint32_t dos_date_time) {
  if (!IsValidDosDateTime(dos_date_time)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  Node* node = Lookup(Normalize(path));
  if (node == nullptr) return false;
  node->time = dos_date_time;
  return true;
}

int64_t MemEnv::FileSize(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Node* node = Lookup(Normalize(path));
  if (node == nullptr || node->is_dir) return -1;
  return static_cast<int64_t>(node->data.size());
}

std::string MemEnv::FileId(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string normalized = Normalize(path);
  return Lookup(normalized) == nullptr ? std::string() : "mem:" + normalized;
}

std::unique_ptr<File> MemEnv::OpenFile(const std::string& path, uint16_t mode,
                                       ErrorKind* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  ErrorKind ignored;
  ErrorKind& kind = error != nullptr ? *error : ignored;
  kind = ErrorKind::kNone;
  const std::string key = Normalize(path);
  if (key.empty()) {
    kind = ErrorKind::kNotFound;
    return nullptr;
  }
  const bool create = mode == kOpenCreate;
  const int access = mode & 0x03;
  if (!create && access == 0x03) {
    kind = ErrorKind::kIOError;
    return nullptr;
  }
  const bool readable = create || access != kOpenWrite;
  const bool writable = create || access != kOpenRead;
  auto it = nodes_.find(key);
  if (it != nodes_.end()) {
    Node& node = *it->second;
    if (node.is_dir) {
      kind = ErrorKind::kIsDirectory;
      return nullptr;
    }
    if (writable && (node.attributes & kAttrReadOnly) != 0) {
      kind = ErrorKind::kAccessDenied;
      return nullptr;
    }
    if (create) {
      node.data.clear();
      node.time = now_;
    }
    return std::make_unique<MemFile>(*this, it->second, path, readable,
                                     writable);
  }
  const Node* parent = Lookup(Normalize(ExtractFileDir(key)));
  if (!create || parent == nullptr || !parent->is_dir) {
    kind = ErrorKind::kNotFound;
    return nullptr;
  }
  auto node = std::make_shared<Node>();
  node->time = now_;
  if (IsDotName(ExtractFileName(key))) node->attributes |= kAttrHidden;
  nodes_[key] = node;
  return std::make_unique<MemFile>(*this, node, path, true, true);
}

bool MemEnv::RemoveFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = nodes_.find(Normalize(path));
  if (it == nodes_.end() || it->second->is_dir) return false;
  nodes_.erase(it);
  return true;
}

bool MemEnv::RenameFile(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string source = Normalize(from);
  const std::string target = Normalize(to);
  if (source.empty() || target.empty() || source == kRoot) return false;
  if (Lookup(source) == nullptr || Lookup(target) != nullptr) return false;
  const Node* parent = Lookup(Normalize(ExtractFileDir(target)));
  if (parent == nullptr || !parent->is_dir) return false;
  const std::string prefix = IncludeTrailingPathDelimiter(source);
  if (target.compare(0, prefix.size(), prefix) == 0)
    return false;  // into itself
  std::vector<std::pair<std::string, std::shared_ptr<Node>>> moved;
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    if (it->first == source ||
        it->first.compare(0, prefix.size(), prefix) == 0) {
      moved.emplace_back(target + it->first.substr(source.size()), it->second);
      it = nodes_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [key, node] : moved) {
    if (!node->is_dir) {
      node->attributes = (node->attributes & ~kAttrHidden) |
                         (IsDotName(ExtractFileName(key)) ? kAttrHidden : 0);
    }
    nodes_[key] = std::move(node);
  }
  return true;
}

bool MemEnv::CreateDir(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string key = Normalize(path);
  if (key.empty() || Lookup(key) != nullptr) return false;
  const Node* parent = Lookup(Normalize(ExtractFileDir(key)));
  if (parent == nullptr || !parent->is_dir) return false;
  auto node = std::make_shared<Node>();
  node->is_dir = true;
  node->attributes =
      kAttrDirectory | (IsDotName(ExtractFileName(key)) ? kAttrHidden : 0);
  node->time = now_;
  nodes_[key] = node;
  return true;
}

bool MemEnv::RemoveDir(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string key = Normalize(path);
  const auto it = nodes_.find(key);
  if (it == nodes_.end() || !it->second->is_dir || key == kRoot) return false;
  const std::string prefix = IncludeTrailingPathDelimiter(key);
  const auto child = nodes_.lower_bound(prefix);
  if (child != nodes_.end() &&
      child->first.compare(0, prefix.size(), prefix) == 0) {
    return false;  // not empty
  }
  nodes_.erase(it);
  return true;
}

bool MemEnv::RemoveTree(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string key = Normalize(path);
  const auto it = nodes_.find(key);
  if (it == nodes_.end() || !it->second->is_dir || key == kRoot) return false;
  const std::string prefix = IncludeTrailingPathDelimiter(key);
  nodes_.erase(it);
  auto child = nodes_.lower_bound(prefix);
  while (child != nodes_.end() &&
         child->first.compare(0, prefix.size(), prefix) == 0) {
    child = nodes_.erase(child);
  }
  return true;
}

std::string MemEnv::TempFileName(const std::string& dir,
                                 const std::string& prefix) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string folder =
      Normalize(dir.empty() ? std::string(kRoot) + "tmp" : dir);
  const Node* parent = Lookup(folder);
  if (parent == nullptr || !parent->is_dir) return std::string();
  for (;;) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06llX",
                  static_cast<unsigned long long>(++temp_counter_ & 0xFFFFFF));
    const std::string name =
        IncludeTrailingPathDelimiter(folder) + prefix + suffix;
    if (Lookup(name) != nullptr) continue;
    auto node = std::make_shared<Node>();
    node->time = now_;
    nodes_[name] = node;
    return name;
  }
}

int64_t MemEnv::FreeSpace(const std::string&) {
  std::lock_guard<std::mutex> lock(mutex_);
  return free_space_;
}

DriveType MemEnv::DriveTypeOf(const std::string&) { return DriveType::kFixed; }

bool MemEnv::SetVolumeLabel(const std::string&, const std::string&) {
  return false;
}

std::string MemEnv::CurrentDirectory() { return std::string(kRoot); }

uint32_t MemEnv::NowDosDateTime() {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

int64_t MemEnv::NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace tessaly::platform
