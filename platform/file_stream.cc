#include "platform/file_stream.h"

#include <utility>

#include "platform/exception.h"

namespace tessaly::platform {

FileStream::FileStream(Env& env, const std::string& path, uint16_t mode)
    : file_(env.OpenFile(path, mode)) {
  if (file_ == nullptr) {
    if (mode == kOpenCreate) {
      throw EFCreateError("Cannot create file \"" + path + "\"");
    }
    throw EFOpenError("Cannot open file \"" + path + "\"");
  }
}

FileStream::FileStream(std::unique_ptr<File> file) : file_(std::move(file)) {}

FileStream::~FileStream() = default;

int64_t FileStream::Read(void* buffer, int64_t count) {
  const int64_t n = file_->Read(buffer, count);
  return n < 0 ? 0 : n;
}

int64_t FileStream::Write(const void* buffer, int64_t count) {
  return file_->Write(buffer, count);
}

int64_t FileStream::Seek(int64_t position) { return file_->Seek(position); }

int64_t FileStream::Position() const { return file_->Position(); }

int64_t FileStream::Size() const { return file_->Size(); }

bool FileStream::SetSize(int64_t size) { return file_->SetSize(size); }

bool FileStream::Flush() { return file_->Sync(); }

}  // namespace tessaly::platform
