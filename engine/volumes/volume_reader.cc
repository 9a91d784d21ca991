#include "engine/volumes/volume_reader.h"

#include <algorithm>
#include <utility>


namespace tessaly::engine {

EVolumeMissing::EVolumeMissing(int32_t volume, const std::string& file_name)
    : platform::Exception("Volume " + std::to_string(volume + 1) +
                          " of the archive is missing: cannot open \"" +
                          file_name + "\""),
      volume_(volume),
      file_name_(file_name) {}

VolumeReader::VolumeReader(platform::Env& env, int32_t last_volume,
                           VolumeNamer namer)
    : env_(&env), last_volume_(std::max(last_volume, 0)),
      namer_(std::move(namer)) {}

VolumeReader::VolumeReader(platform::Stream& single)
    : stream_(&single), volume_(0) {}

VolumeReader::~VolumeReader() = default;

std::string VolumeReader::VolumeFileName(int32_t number) const {
  return namer_ ? namer_(number) : std::string();
}

void VolumeReader::Open(int32_t volume) {
  if (!namer_) {
    // One stream given directly: there is no other volume.
    if (volume != 0) throw EVolumeMissing(volume, "");
    volume_ = 0;
    return;
  }
  const std::string name = VolumeFileName(volume);
  // Spanned volumes on one folder share the archive's name: an earlier
  // volume under the last one's name is not there.
  const bool shadowed =
      volume != last_volume_ && name == VolumeFileName(last_volume_);
  std::unique_ptr<platform::File> file;
  if (volume <= last_volume_ && !name.empty() && !shadowed) {
    file = env_->OpenFile(name, platform::kOpenRead | platform::kShareDenyNone);
  }
  if (file == nullptr) {
    owned_.reset();
    stream_ = nullptr;
    volume_ = -1;
    throw EVolumeMissing(volume, name);
  }
  owned_ = std::move(file);
  stream_ = owned_.get();
  volume_ = volume;
}

void VolumeReader::Seek(uint32_t volume, uint64_t offset) {
  const int32_t wanted = static_cast<int32_t>(
      std::min<uint64_t>(volume, static_cast<uint64_t>(INT32_MAX)));
  if (wanted != volume_ || stream_ == nullptr) Open(wanted);
  offset_ = offset;
  const int64_t size = stream_->Size();
  const int64_t position =
      offset > static_cast<uint64_t>(size) ? size : static_cast<int64_t>(offset);
  stream_->Seek(position);
}

int64_t VolumeReader::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    if (stream_ == nullptr) break;
    const int64_t size = stream_->Size();
    if (offset_ < static_cast<uint64_t>(size)) {
      const int64_t got = stream_->Read(out + done, count - done);
      if (got <= 0) break;  // a read error inside the volume
      done += got;
      offset_ += static_cast<uint64_t>(got);
      continue;
    }
    // The volume has ended: the bytes go on at the start of the next one.
    if (volume_ >= last_volume_) break;
    Open(volume_ + 1);
    offset_ = 0;
    stream_->Seek(0);
  }
  return done;
}

}  // namespace tessaly::engine
