// Reading the bytes of an existing archive across its volumes.
//
// A position in a multi-volume archive is a volume number (counted from 0)
// and an offset inside that volume's file; the bytes of an entry run on from
// the end of one volume into the start of the next. The reader opens the
// volume files one at a time, by the names the archive's naming gives them,
// and moves on to the next volume when the current one ends. A volume whose
// file is missing or cannot be opened raises EVolumeMissing naming it.
//
// Memory is bounded: one open file, no buffering beyond the caller's.
#ifndef TESSALY_ENGINE_VOLUMES_VOLUME_READER_H_
#define TESSALY_ENGINE_VOLUMES_VOLUME_READER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/exception.h"
#include "platform/stream.h"

namespace tessaly::engine {

// A volume of the archive that could not be opened.
class EVolumeMissing : public platform::Exception {
 public:
  EVolumeMissing(int32_t volume, const std::string& file_name);
  const char* ClassName() const noexcept override { return "EVolumeMissing"; }
  int32_t volume() const { return volume_; }
  const std::string& file_name() const { return file_name_; }

 private:
  int32_t volume_;
  std::string file_name_;
};

class VolumeReader {
 public:
  // The file name of volume `number` (0 .. last).
  using VolumeNamer = std::function<std::string(int32_t number)>;

  // `last_volume` is the number of the archive's last volume (0 for a
  // one-file archive). `env` must outlive the reader.
  VolumeReader(platform::Env& env, int32_t last_volume, VolumeNamer namer);
  // Reads a one-file archive from an open stream (not owned), which must
  // outlive the reader.
  explicit VolumeReader(platform::Stream& single);
  ~VolumeReader();
  VolumeReader(const VolumeReader&) = delete;
  VolumeReader& operator=(const VolumeReader&) = delete;

  // Moves to `offset` in volume `volume`. Raises EVolumeMissing when the
  // volume does not exist. An offset beyond the volume's end is allowed:
  // the next Read then moves on to the following volume, as a position at
  // a volume's end does.
  void Seek(uint32_t volume, uint64_t offset);

  // Reads up to `count` bytes, moving on through the following volumes as
  // each ends. Returns fewer than `count` only at the end of the last
  // volume or on a read error. Raises EVolumeMissing when a following
  // volume is needed and missing.
  int64_t Read(void* buffer, int64_t count);

  // Where the next byte comes from.
  int32_t volume() const { return volume_; }
  uint64_t offset() const { return offset_; }
  int32_t last_volume() const { return last_volume_; }
  // The file name of volume `number` ("" for a stream given directly).
  std::string VolumeFileName(int32_t number) const;

 private:
  void Open(int32_t volume);

  platform::Env* env_ = nullptr;
  int32_t last_volume_ = 0;
  VolumeNamer namer_;
  std::unique_ptr<platform::Stream> owned_;
  platform::Stream* stream_ = nullptr;  // the open volume
  int32_t volume_ = -1;
  uint64_t offset_ = 0;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_VOLUMES_VOLUME_READER_H_
