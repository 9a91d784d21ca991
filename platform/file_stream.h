// FileStream: a Stream over a file opened through an Env.
#ifndef TESSALY_PLATFORM_FILE_STREAM_H_
#define TESSALY_PLATFORM_FILE_STREAM_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/stream.h"

namespace tessaly::platform {

class FileStream final : public Stream {
 public:
  // Opens `path` through `env` with a 16-bit open mode (platform/env.h).
  // Throws EFCreateError ("Cannot create file \"<path>\"") when mode is
  // kOpenCreate and the file cannot be created, EFOpenError ("Cannot open
  // file \"<path>\"") when any other mode fails. `env` must outlive the
  // stream. The file is closed when the stream is destroyed.
  FileStream(Env& env, const std::string& path, uint16_t mode);

  // Takes over an already open file. REQUIRES: file != nullptr.
  explicit FileStream(std::unique_ptr<File> file);

  ~FileStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t position) override;
  int64_t Position() const override;
  int64_t Size() const override;
  bool SetSize(int64_t size) override;
  bool IsFile() const override { return true; }
  // fsync of the file.
  bool Flush() override;

  // The name the file was opened with.
  const std::string& FileName() const { return file_->Path(); }

  // The kind of the last failure of the underlying file (kNone if none).
  ErrorKind LastError() const { return file_->LastError(); }

  File& file() { return *file_; }

 private:
  std::unique_ptr<File> file_;
};

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_FILE_STREAM_H_
