// Test doubles for the directory store: an owner that keeps one archive in a
// MemoryStream, or volume files in an Env with a size limit per volume, and a
// small little-endian reader for checking written bytes independently of the
// record codec.
#ifndef TESSALY_TESTS_ENGINE_DIRECTORY_DIR_TEST_OWNER_H_
#define TESSALY_TESTS_ENGINE_DIRECTORY_DIR_TEST_OWNER_H_

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/base/component.h"
#include "engine/directory/dir_manager.h"
#include "engine/directory/dir_owner.h"
#include "engine/base/volume_number_info.h"
#include "engine/base/za_exception.h"
#include "platform/env.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"

namespace tessaly::engine::testing {

class TestDirOwner : public DirOwner {
 public:
  explicit TestDirOwner(platform::Env& env) : env_(env) {
    component.SetName("Zipper");
  }

  // Single volume: the archive is a memory stream holding `bytes`.
  platform::MemoryStream& UseMemory(std::string_view bytes = {}) {
    auto memory = std::make_unique<platform::MemoryStream>(bytes);
    platform::MemoryStream& result = *memory;
    stream = std::move(memory);
    return result;
  }
  // Makes `manager` a store on `bytes` held in memory (one volume) and
  // loads its directory; `manager` is set before loading, so it stays
  // inspectable when LoadDir raises.
  TZADirManager& LoadMemory(std::string_view bytes,
                            std::unique_ptr<TZADirManager>& manager) {
    UseMemory(bytes);
    manager = std::make_unique<TZADirManager>(stream.get(), *this, false);
    manager->LoadDir();
    return *manager;
  }
  platform::MemoryStream& memory() {
    return static_cast<platform::MemoryStream&>(*stream);
  }

  // Volume files: "<base>.z01", "<base>.z02", ... and the final name.
  std::string NumberedName(int32_t index) const {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".z%02d", index + 1);
    return file_name.substr(0, file_name.rfind('.')) + suffix;
  }

  Component component;
  bool zip_format = true;
  bool oem = false;
  bool rebuild = true;
  TZASpanningMode mode = smNone;
  std::string file_name = "/arc.zip";
  std::string stub;
  int64_t first_limit = -1;  // multi-volume limits; -1: none
  int64_t limit = -1;
  bool creating = true;  // volumes are created, not opened
  std::unique_ptr<platform::Stream> stream;
  std::string volume_name;
  TZAVolumeNumberInfo current;
  std::vector<int32_t> opened;  // volume numbers opened, in order

  const Component* OwnerComponent() const override { return &component; }
  platform::Env& OwnerEnv() override { return env_; }
  bool IsZipFormat() const override { return zip_format; }
  bool UsesOemFileNames() const override { return oem; }
  bool ShouldRebuildDirectory() const override { return rebuild; }
  TZASpanningMode CurrentSpanningMode() const override { return mode; }
  const std::string& ArchiveFileName() const override { return file_name; }
  const std::string& StubFileName() const override { return stub; }
  platform::Stream* ArchiveStream() override { return stream.get(); }
  void ReplaceArchiveStream(std::unique_ptr<platform::Stream> s,
                            const std::string& name) override {
    stream = std::move(s);
    volume_name = name;
  }
  void ReleaseArchiveStream() override { stream.reset(); }
  const std::string& CurrentVolumeFileName() const override {
    return volume_name;
  }
  TZAVolumeNumberInfo& CurrentVolumeInfo() override { return current; }
  int64_t VolumeLimitFor(const TZAVolumeNumberInfo& info) const override {
    if (mode == smNone) return -1;
    return info.IsFirst() && first_limit > 0 ? first_limit : limit;
  }
  std::string VolumeName(const std::string& name, int32_t index,
                         bool) override {
    return index < 0 ? name : NumberedName(index);
  }
  void OpenVolume(TZAVolumeNumberInfo& info) override {
    if (!creating && current.SameVolume(info)) return;
    const std::string name = !creating && info.IsLast()
                                 ? file_name
                                 : NumberedName(std::max(info.Number, 0));
    if (!creating && !env_.FileExists(name)) throw EZAException(45);
    stream.reset();
    stream = std::make_unique<platform::FileStream>(
        env_, name, creating ? platform::kOpenCreate : kOpenReadWriteDenyNone);
    volume_name = name;
    current.Number = info.Number;
    current.Kind = info.Kind;
    opened.push_back(info.Number);
  }
  // The writing rules of the volume writer, with limits but no free space.
  int64_t WriteToVolumesChecked(const void* buffer, int64_t count,
                                int64_t keep_together,
                                TZAVolumeNumberInfo& info,
                                platform::Stream*& out,
                                platform::MemoryStream* staging) override {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    if (mode == smNone) {
      if (out->Write(bytes, count) != count) throw EZAException(46);
      return count;
    }
    int64_t written = 0;
    while (written < count) {
      const int64_t staged = staging ? staging->Size() : 0;
      const int64_t max = VolumeLimitFor(info);
      const int64_t room = max < 0 ? INT64_MAX : max - out->Size() - staged;
      const int64_t left = count - written;
      if (keep_together < 0 || keep_together + left <= room) {
        const int64_t n = std::min(room, left);
        platform::Stream* target = staging ? staging : out;
        written += target->Write(bytes + written, n);
      } else if (out->Size() + staged == 0) {
        throw EZAException(46);  // would never fit
      }
      if (written < count) {
        if (staging && staging->Size() > 0) {
          out->Write(staging->data(), staging->Size());
          staging->Clear();
        }
        info.SetNumber(info.Number + 1);
        OpenVolume(info);
        out = stream.get();
      }
    }
    return written;
  }

 private:
  platform::Env& env_;
};

// Little-endian reads from written bytes, for independent decoding.
struct Bytes {
  std::span<const uint8_t> data;
  uint64_t At(size_t offset, size_t size) const {
    uint64_t v = 0;
    for (size_t i = size; i-- > 0;) v = (v << 8) | data[offset + i];
    return v;
  }
  std::string Text(size_t offset, size_t size) const {
    return std::string(reinterpret_cast<const char*>(&data[offset]), size);
  }
};

}  // namespace tessaly::engine::testing

#endif  // TESSALY_TESTS_ENGINE_DIRECTORY_DIR_TEST_OWNER_H_
