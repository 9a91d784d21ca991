// The archiver's two nested option objects. Each archiver owns one of each
// for its whole life; applications set their fields.
#ifndef TESSALY_ENGINE_BASE_OPTIONS_H_
#define TESSALY_ENGINE_BASE_OPTIONS_H_

#include <cstdint>

#include "engine/base/types.h"

namespace tessaly::engine {

class TZAVolumeNumberInfo;

class TZAOptions {
 public:
  TZAStorePathMode StorePath = spRelativePath;
  bool Recurse = true;
  TZAFileShareMode ShareMode = smShareDenyNone;
  TZAOverwriteMode OverwriteMode = omAlways;
  bool CreateDirs = true;       // extraction option, kept for settings only
  bool ReplaceReadOnly = true;  // extraction option, kept for settings only
  bool SetAttributes = true;    // extraction option, kept for settings only
  int32_t SearchAttr = 10431;   // 0x28BF: every attribute bit
  bool FlushBuffers = true;
  bool OEMFileNames = true;

  // Copies every field except ShareMode.
  void Assign(const TZAOptions& source);
};

class TZASpanningOptions {
 public:
  static constexpr int64_t kMinimumVolumeSize = 0x10000;

  bool AdvancedNaming = true;
  int64_t FirstVolumeSize = 0;
  TZAVolumeSize VolumeSize = vsAutoDetect;

  int64_t CustomVolumeSize() const { return custom_volume_size_; }
  // Values below 65,536 are raised to 65,536.
  void SetCustomVolumeSize(int64_t size);

  // The byte limit of the volume `info` describes: FirstVolumeSize for the
  // first volume when that is set (> 0), else the preset's size; -1 for
  // vsAutoDetect (the limit is then the free space of the disk).
  int64_t VolumeSizeFor(const TZAVolumeNumberInfo& info) const;

  // Size of a preset; -1 for vsAutoDetect, CustomVolumeSize for vsCustom.
  int64_t PresetSize(TZAVolumeSize preset) const;

  void Assign(const TZASpanningOptions& source);

 private:
  int64_t custom_volume_size_ = 0;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_OPTIONS_H_
