#include "engine/base/options.h"

#include "engine/base/volume_number_info.h"

namespace tessaly::engine {

void TZAOptions::Assign(const TZAOptions& source) {
  // ShareMode describes how this process opens sources and is not copied.
  StorePath = source.StorePath;
  Recurse = source.Recurse;
  OverwriteMode = source.OverwriteMode;
  CreateDirs = source.CreateDirs;
  ReplaceReadOnly = source.ReplaceReadOnly;
  SetAttributes = source.SetAttributes;
  SearchAttr = source.SearchAttr;
  FlushBuffers = source.FlushBuffers;
  OEMFileNames = source.OEMFileNames;
}

void TZASpanningOptions::SetCustomVolumeSize(int64_t size) {
  custom_volume_size_ = size < kMinimumVolumeSize ? kMinimumVolumeSize : size;
}

int64_t TZASpanningOptions::PresetSize(TZAVolumeSize preset) const {
  switch (preset) {
    case vsAutoDetect:
      return -1;
    case vsCustom:
      return custom_volume_size_;
    case vs1_44MB:
      return 1457664;
    case vs100MB:
      return 104857600;
    case vs200MB:
      return 209715200;
    case vs250MB:
      return 262144000;
    case vs600MB:
      return 629145600;
    case vs650MB:
      return 681574400;
    case vs700MB:
      return 734003200;
    case vs4700MB:
      return 4928307200LL;
  }
  return -1;
}

int64_t TZASpanningOptions::VolumeSizeFor(const TZAVolumeNumberInfo& info) const {
  if (info.IsFirst() && FirstVolumeSize > 0) return FirstVolumeSize;
  return PresetSize(VolumeSize);
}

void TZASpanningOptions::Assign(const TZASpanningOptions& source) {
  AdvancedNaming = source.AdvancedNaming;
  FirstVolumeSize = source.FirstVolumeSize;
  VolumeSize = source.VolumeSize;
  custom_volume_size_ = source.custom_volume_size_;
}

}  // namespace tessaly::engine
