// Test doubles for the directory store: an owner that keeps one archive in a
// MemoryStream, or volume files in an Env through a real volume sequence
// with simple answers to its requests, and a
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
#include "engine/base/options.h"
#include "engine/base/volume_number_info.h"
#include "engine/volumes/volume_sequence.h"
#include "engine/base/za_exception.h"
#include "platform/env.h"
#include "platform/memory_stream.h"

namespace tessaly::engine::testing {

class TestDirOwner : public DirOwner, public VolumeHost {
 public:
  explicit TestDirOwner(platform::Env& env)
      : volumes(env, &component, *this,
                VolumeSettings{file_name, mode, open_mode, options}),
        env_(env) {
    component.SetName("Zipper");
  }

  // Single volume: the archive is a memory stream holding `bytes`.
  platform::MemoryStream& UseMemory(std::string_view bytes = {}) {
    auto memory = std::make_unique<platform::MemoryStream>(bytes);
    platform::MemoryStream& result = *memory;
    volumes.Replace(std::move(memory), "");
    return result;
  }
  // Makes `manager` a store on `bytes` held in memory (one volume) and
  // loads its directory; `manager` is set before loading, so it stays
  // inspectable when LoadDir raises.
  TZADirManager& LoadMemory(std::string_view bytes,
                            std::unique_ptr<TZADirManager>& manager) {
    UseMemory(bytes);
    manager =
        std::make_unique<TZADirManager>(stream(), *this, volumes, false);
    manager->LoadDir();
    return *manager;
  }
  platform::Stream* stream() { return volumes.stream(); }
  platform::MemoryStream& memory() {
    return static_cast<platform::MemoryStream&>(*stream());
  }
  // Volumes of `limit` bytes (at least 65,536) from the second on.
  void LimitVolumes(int64_t limit) {
    options.VolumeSize = vsCustom;
    options.SetCustomVolumeSize(limit);
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
  TZASpanningOptions options;
  uint16_t open_mode = kOpenCreate;  // volumes are created, not opened
  std::vector<int32_t> opened;       // volume numbers asked for, in order
  VolumeSequence volumes;

  // DirOwner
  const Component* OwnerComponent() const override { return &component; }
  platform::Env& OwnerEnv() override { return env_; }
  bool IsZipFormat() const override { return zip_format; }
  bool UsesOemFileNames() const override { return oem; }
  bool ShouldRebuildDirectory() const override { return rebuild; }
  TZASpanningMode CurrentSpanningMode() const override { return mode; }
  const std::string& StubFileName() const override { return stub; }

  // VolumeHost: every request is answered with the numbered name (the last
  // volume: the archive's name); a full disk gives up.
  void DoRequestBlankVolume(int32_t index, std::string&, bool& cancel) override {
    opened.push_back(index);
    cancel = false;
  }
  void DoRequestFirstVolume(std::string& name, bool& cancel) override {
    Answer(0, NumberedName(0), name, cancel);
  }
  void DoRequestLastVolume(std::string& name, bool& cancel) override {
    Answer(-1, file_name, name, cancel);
  }
  void DoRequestMiddleVolume(int32_t index, std::string& name,
                             bool& cancel) override {
    Answer(index, NumberedName(index), name, cancel);
  }
  void DoDiskFull(int32_t, const std::string&, bool& cancel) override {
    cancel = true;
  }
  void DoCopyTempFileProgress(double, TZAProgressPhase, bool& cancel) override {
    cancel = false;
  }

  // Volume files "<base>.z01", "<base>.z02", ... (NumberedName).
  VolumeNaming Naming() const override { return VolumeNaming{mode}; }

 private:
  void Answer(int32_t number, const std::string& answer, std::string& name,
              bool& cancel) {
    opened.push_back(number);
    name = answer;
    cancel = false;
  }

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
