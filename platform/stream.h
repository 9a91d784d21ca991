// Byte streams: the one abstraction through which the engine reads sources,
// writes archives, volumes and temporary files, and stages bytes in memory.
// Concrete streams: File (platform/env.h, an operating-system file opened
// through an Env) and MemoryStream (platform/memory_stream.h).
#ifndef TESSALY_PLATFORM_STREAM_H_
#define TESSALY_PLATFORM_STREAM_H_

#include <cstdint>

namespace tessaly::platform {

class Stream {
 public:
  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  virtual ~Stream() = default;

  // Reads up to `count` bytes at the current position into `buffer` and
  // advances. Returns the number of bytes read: fewer than asked at the end
  // of the stream, 0 at its end or on a read error. Never throws.
  virtual int64_t Read(void* buffer, int64_t count) = 0;

  // Writes up to `count` bytes at the current position and advances,
  // extending the stream as needed. Returns the number written; fewer than
  // asked means the device refused the rest (for example a full disk).
  // Never throws.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;

  // Moves the position to `position` (>= 0; may lie beyond the end, which a
  // later write fills with zeros). Returns the new position, or -1 on error.
  virtual int64_t Seek(int64_t position) = 0;

  virtual int64_t Position() const = 0;
  virtual int64_t Size() const = 0;

  // Cuts or extends the stream to `size` bytes; the position is kept unless
  // it lies beyond the new end, in which case it moves to the end.
  // Returns false on error.
  virtual bool SetSize(int64_t size) = 0;

  // Whether this is a stream over an operating-system file, and so has
  // buffers that Flush can push to the device.
  virtual bool IsFile() const { return false; }

  // Pushes the operating system's buffers of a file to the device (fsync).
  // Returns false on error; a no-op returning true for memory streams.
  virtual bool Flush() { return true; }

  // Write-all: throws EWriteError ("Stream write error") when fewer than
  // `count` bytes were written.
  void WriteBuffer(const void* buffer, int64_t count);

  // Read-all: throws EReadError ("Stream read error") when fewer than
  // `count` bytes were read.
  void ReadBuffer(void* buffer, int64_t count);

  // Copies `count` bytes (or, with count < 0, everything from `source`'s
  // position to its end) from `source` into this stream at the current
  // position, in blocks. Returns the number of bytes copied; throws
  // EReadError/EWriteError on a short read or write.
  int64_t CopyFrom(Stream& source, int64_t count);
};

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_STREAM_H_
