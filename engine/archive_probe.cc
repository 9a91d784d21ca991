// Opening an existing archive: finding its end record and working out
// whether it is a plain archive, a split archive (numbered volume files in
// one folder) or a spanned one (one volume per removable disk).
//
// The stored SpanningMode setting is not trusted: it is recomputed from what
// the archive turns out to be. The end record's "number of this disk" tells
// whether earlier volumes exist; the presence of the volume before the last
// under either naming scheme confirms a split archive (and which scheme it
// uses). While probing, RebuildDirectory is cleared so that the end-record
// search reports its real result instead of falling back to recovery.
#include <string>

#include "engine/archiver.h"
#include "engine/base/za_exception.h"
#include "engine/volumes/volume_naming.h"
#include "platform/path.h"
#include "platform/text.h"

namespace tessaly::engine {

namespace {

// Restores RebuildDirectory when a probe ends, also by an exception.
class RebuildFlagGuard {
 public:
  explicit RebuildFlagGuard(bool& flag) : flag_(flag), saved_(flag) {}
  ~RebuildFlagGuard() { flag_ = saved_; }
  RebuildFlagGuard(const RebuildFlagGuard&) = delete;
  RebuildFlagGuard& operator=(const RebuildFlagGuard&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

bool ContainsExe(const std::string& text) {
  return platform::AnsiLowerCase(text).find(".exe") != std::string::npos;
}

}  // namespace

void TZABaseArchiver::OpenExisting() {
  spanning_mode_ = smNone;
  CurrentVolume.Reset();
  if (HasExeExtension(FileName)) {
    ProbeSelfExtracting();
  } else {
    ProbePlain();
  }
  if (DirManager->RecheckEndRecord()) {
    DirManager->LoadDir();
  } else {
    ReleaseArchiveStream();
    throw EZAException(kCodeOpenFailed, this);
  }
}

void TZABaseArchiver::ProbePlain() {
  RebuildFlagGuard guard(RebuildDirectory);
  RebuildDirectory = false;
  ProbeLastVolume();
}

void TZABaseArchiver::ProbeLastVolume() {
  bool found = false;
  do {
    DirManager.reset();
    CurrentVolume.Reset();
    TZAVolumeNumberInfo last;
    last.SetLast(true);
    if (!env_.FileExists(FileName) && IsRemovable(FileName)) {
      spanning_mode_ = smSpanning;
    }
    OpenVolume(last);
    DirManager = std::make_unique<TZADirManager>(archive_stream_.get(), *this,
                                                 /*creating=*/false);
    found = DirManager->RecheckEndRecord();
    DetectSpanningMode();
  } while (!found && spanning_mode_ != smNone);
}

void TZABaseArchiver::ProbeSelfExtracting() {
  RebuildFlagGuard guard(RebuildDirectory);
  TZAVolumeNumberInfo last;
  last.SetLast(true);
  OpenVolume(last);
  DirManager = std::make_unique<TZADirManager>(archive_stream_.get(), *this,
                                               /*creating=*/false);
  RebuildDirectory = false;
  if (DirManager->RecheckEndRecord()) {
    DetectSpanningMode();
    return;
  }
  DirManager.reset();
  // The stub may stand before the first volume of a split archive whose
  // last volume carries the archive's name with a ".zip" extension.
  spanning_mode_ = smSplitting;
  if (!ExistingVolumeName(MakeVolumeName(FileName, -1, false)).empty()) {
    CurrentVolume.Reset();
    TZAVolumeNumberInfo split_last;
    split_last.SetLast(true);
    OpenVolume(split_last);
  }
  spanning_mode_ = smNone;
  ProbeLastVolume();
}

void TZABaseArchiver::DetectSpanningMode() {
  if (DirManager->EndRecord.signature == 0) {
    // No end record: only a removable disk can hold a later volume.
    spanning_mode_ = IsRemovable(FileName) ? smSpanning : smNone;
    return;
  }
  if (DirManager->RecheckEndRecord() && DirManager->EndRecord.this_disk == 0) {
    spanning_mode_ = smNone;
    return;
  }
  const int32_t disk = DirManager->EndRecord.this_disk;
  spanning_mode_ = smSplitting;
  if (!ExistingVolumeName(MakeVolumeName(FileName, disk - 1, false)).empty()) {
    if (disk == 0) spanning_mode_ = smNone;
    return;
  }
  SpanningOptions.AdvancedNaming = !SpanningOptions.AdvancedNaming;
  if (!ExistingVolumeName(MakeVolumeName(FileName, disk - 1, false)).empty()) {
    return;
  }
  SpanningOptions.AdvancedNaming = !SpanningOptions.AdvancedNaming;
  if (ContainsExe(FileName)) {
    spanning_mode_ = smNone;
  } else if (disk > 0 || IsRemovable(FileName)) {
    spanning_mode_ = smSpanning;
  } else {
    spanning_mode_ = smNone;
  }
}

}  // namespace tessaly::engine
