// The archiver component: property rules and event dispatchers.
//
// Every event goes through one dispatcher. A dispatcher first gives the
// answer parameter its starting value, then calls the handler when one is
// set, and otherwise applies the default: a fixed answer, or a box shown
// through the archiver's DialogService. The rest of the engine raises
// events only through the dispatchers, so a host sees one consistent
// behaviour whether or not it handles an event.
#include "engine/archiver.h"

#include <algorithm>
#include <charconv>

#include "engine/base/messages.h"
#include "engine/base/za_exception.h"
#include "platform/exception.h"
#include "platform/open_stream.h"
#include "platform/path.h"

namespace tessaly::engine {

namespace {

std::string Replace(std::string text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}

}  // namespace

bool TZABaseArchiver::ResolveExistingVolume(std::string& name) {
  // A volume copied from a system that ignores letter case may carry
  // another spelling of its name; it is still that volume.
  const std::string existing = ExistingVolumeName(name);
  if (existing.empty()) return false;
  name = existing;
  return true;
}

TZABaseArchiver::TZABaseArchiver(platform::Env& env)
    : ArchiverCore(env),
      selector_(env, this, *this,
                SelectionSettings{BaseDir, Options, NoCompressionMasks,
                                  Password, EntryMethod, compression_mode_,
                                  CurrentBaseDir, SelectionLeftOut}) {
  Zip64Mode = zmAuto;
  SetCompressionLevel(clFastest);
}

TZABaseArchiver::~TZABaseArchiver() { Close(); }

DialogService& TZABaseArchiver::Dialogs() const {
  return dialogs_ != nullptr ? *dialogs_ : DefaultDialogService();
}

// ---- Properties -------------------------------------------------------------

void TZABaseArchiver::SetCompressionLevel(TZACompressionLevel level) {
  compression_level_ = level;
  switch (level) {
    case clNone:
      compression_mode_ = 0;
      break;
    case clFastest:
      compression_mode_ = 1;
      break;
    case clNormal:
      compression_mode_ = 6;
      break;
    case clMax:
      compression_mode_ = 9;
      break;
  }
  UpdateCompressionMethod();
}

void TZABaseArchiver::SetCompressionMode(uint8_t mode) {
  if (mode > 9) throw EZAException(kCodeCompressionMode, this);
  compression_mode_ = mode;
  if (mode == 0) {
    compression_level_ = clNone;
  } else if (mode <= 3) {
    compression_level_ = clFastest;
  } else if (mode <= 6) {
    compression_level_ = clNormal;
  } else {
    compression_level_ = clMax;
  }
  UpdateCompressionMethod();
}

std::string TZABaseArchiver::CurrentVersion() const {
  // to_chars never consults the locale, so the separator is always ".".
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), 2.72,
                              std::chars_format::fixed, 2);
  return std::string(buffer, result.ptr) + " ";
}

void TZABaseArchiver::SetCurrentVersion(const std::string&) {}

void TZABaseArchiver::SetSpanningMode(TZASpanningMode mode) {
  if (ArchiveOpen) throw platform::Exception(std::string(kSpanningModeOnOpen));
  spanning_mode_ = mode;
}

void TZABaseArchiver::SetInMemory(bool value) {
  if (value == in_memory_) return;
  if (!ArchiveOpen) {
    in_memory_ = value;
    return;
  }
  if (!value) {
    if (FileName.empty()) throw EZAException(kCodeInMemoryNoFileName, this);
    {
      const std::unique_ptr<platform::File> file =
          platform::OpenStream(env_, FileName, platform::kOpenCreate);
      volumes_.stream()->Seek(0);
      file->CopyFrom(*volumes_.stream(), -1);
    }
    Close();
    in_memory_ = false;
    Open();
  } else {
    Close();
    in_memory_ = true;
    Open();
  }
  in_memory_ = value;
}

void TZABaseArchiver::SetFileMasks(const TStringList& masks) {
  FileMasks.Assign(masks);
}

void TZABaseArchiver::SetExclusionMasks(const TStringList& masks) {
  ExclusionMasks.Assign(masks);
}

void TZABaseArchiver::SetNoCompressionMasks(const TStringList& masks) {
  NoCompressionMasks.Assign(masks);
}

void TZABaseArchiver::UpdateCompressionMethod() { EntryMethod = 0xFFFF; }

// ---- Dispatchers --------------------------------------------------------------

void TZABaseArchiver::DoOverallProgress(double Progress,
                                        TZAProcessOperation Operation,
                                        TZAProgressPhase ProgressPhase,
                                        bool& Cancel) {
  if (OnOverallProgress) {
    OnOverallProgress(this, Progress, Operation, ProgressPhase, Cancel);
  } else {
    Cancel = false;
  }
}

void TZABaseArchiver::DoFileProgress(const std::string& FileName,
                                     double Progress,
                                     TZAProcessOperation Operation,
                                     TZAProgressPhase ProgressPhase,
                                     bool& Cancel) {
  if (OnFileProgress) {
    OnFileProgress(this, Replace(FileName, '/', '\\'), Progress, Operation,
                   ProgressPhase, Cancel);
  } else {
    Cancel = false;
  }
}

void TZABaseArchiver::DoCopyTempFileProgress(double Progress,
                                             TZAProgressPhase ProgressPhase,
                                             bool& Cancel) {
  Cancel = false;
  if (OnCopyTempFileProgress) {
    OnCopyTempFileProgress(this, Progress, ProgressPhase, Cancel);
  }
}

void TZABaseArchiver::DoConfirmOverwrite(const std::string& SourceFileName,
                                         std::string& DestFileName,
                                         bool& Confirm) {
  if (OnConfirmOverwrite) {
    OnConfirmOverwrite(this, SourceFileName, DestFileName, Confirm);
    return;
  }
  const std::string text =
      FormatMessage(kOverwritePrompt, {DestFileName, SourceFileName});
  switch (Dialogs().MessageBox(
      DialogKind::kConfirmation, text,
      kButtonYes | kButtonNo | kButtonYesToAll | kButtonNoToAll)) {
    case mrYes:
      Confirm = true;
      break;
    case mrYesToAll:
      Confirm = true;
      Options.OverwriteMode = omAlways;
      break;
    case mrNoToAll:
      Confirm = false;
      Options.OverwriteMode = omNever;
      break;
    default:
      Confirm = false;
      break;
  }
}

void TZABaseArchiver::DoConfirmProcessFile(const std::string& FileName,
                                           TZAProcessOperation Operation,
                                           bool& Confirm) {
  Confirm = true;
  if (OnConfirmProcessFile) OnConfirmProcessFile(this, FileName, Operation, Confirm);
}

void TZABaseArchiver::DoPassword(const std::string& FileName,
                                 std::string& NewPassword, bool& SkipFile) {
  if (OnPassword) {
    OnPassword(this, FileName, NewPassword, SkipFile);
    return;
  }
  SkipFile = !Dialogs().InputBox(FormatMessage(kPasswordCaption, {FileName}),
                                 kPasswordPrompt, NewPassword);
}

void TZABaseArchiver::DoProcessFileFailure(const std::string& FileName,
                                           TZAProcessOperation Operation,
                                           int32_t NativeError,
                                           int32_t ErrorCode,
                                           const std::string& ErrorMessage,
                                           TZAAction& Action) {
  Action = fxaIgnore;
  if (OnProcessFileFailure) {
    OnProcessFileFailure(this, FileName, Operation, NativeError, ErrorCode,
                         ErrorMessage, Action);
    return;
  }
  // A volume that cannot be obtained cannot be fixed by retrying the file.
  if (NativeError == kCodeVolumeDeclined) {
    Action = fxaAbort;
    return;
  }
  DialogResult answer;
  // Retrying changes neither a name that is too long nor one that is taken.
  if (NativeError == kCodeNameTooLong || NativeError == kCodeSameName) {
    answer = Dialogs().MessageBox(DialogKind::kConfirmation, ErrorMessage,
                                  kButtonAbort | kButtonIgnore);
  } else {
    answer = Dialogs().MessageBox(
        DialogKind::kConfirmation,
        FormatMessage(kFileFailurePrompt, {ErrorMessage}),
        kButtonAbort | kButtonRetry | kButtonIgnore);
  }
  switch (answer) {
    case mrRetry:
      Action = fxaRetry;
      break;
    case mrIgnore:
      Action = fxaIgnore;
      break;
    default:
      Action = fxaAbort;
      break;
  }
}

void TZABaseArchiver::DoRequestBlankVolume(int32_t VolumeIndex,
                                           std::string& VolumeFileName,
                                           bool& Cancel) {
  const int32_t index = std::max(VolumeIndex, 0);
  VolumeFileName = MakeVolumeName(FileName, index, false);
  Cancel = false;
  if (OnRequestBlankVolume) {
    OnRequestBlankVolume(this, VolumeIndex + 1, VolumeFileName, Cancel);
    return;
  }
  if (spanning_mode_ == smSpanning) {
    Cancel = Dialogs().MessageBox(DialogKind::kConfirmation,
                                  FormatMessage(kInsertBlankDisk,
                                                {VolumeIndex + 1}),
                                  kButtonOk | kButtonCancel) != mrOk;
  }
}

void TZABaseArchiver::DoRequestFirstVolume(std::string& VolumeFileName,
                                           bool& Cancel) {
  const bool handled = static_cast<bool>(OnRequestFirstVolume);
  VolumeFileName = MakeVolumeName(FileName, 0, !handled);
  Cancel = false;
  if (handled) {
    OnRequestFirstVolume(this, VolumeFileName, Cancel);
    return;
  }
  if (spanning_mode_ == smSpanning) {
    Cancel = Dialogs().MessageBox(DialogKind::kConfirmation, kInsertFirstDisk,
                                  kButtonOk | kButtonCancel) != mrOk;
    VolumeFileName = MakeVolumeName(FileName, 0, true);
  } else {
    Cancel = !ResolveExistingVolume(VolumeFileName) && OpenMode != kOpenCreate;
  }
}

void TZABaseArchiver::DoRequestLastVolume(std::string& VolumeFileName,
                                          bool& Cancel) {
  VolumeFileName = MakeVolumeName(FileName, -1, true);
  Cancel = false;
  if (OnRequestLastVolume) {
    OnRequestLastVolume(this, VolumeFileName, Cancel);
    return;
  }
  if (spanning_mode_ == smSpanning) {
    bool first_pass = true;
    do {
      const std::string text =
          first_pass ? std::string(kInsertLastDisk)
                     : FormatMessage(kLastDiskNotFound, {VolumeFileName});
      first_pass = false;
      Cancel = Dialogs().MessageBox(DialogKind::kConfirmation, text,
                                    kButtonOk | kButtonCancel) != mrOk;
    } while (!Cancel && !ResolveExistingVolume(VolumeFileName));
  } else {
    Cancel = !ResolveExistingVolume(VolumeFileName);
  }
}

void TZABaseArchiver::DoRequestMiddleVolume(int32_t VolumeIndex,
                                            std::string& VolumeFileName,
                                            bool& Cancel) {
  const bool handled = static_cast<bool>(OnRequestMiddleVolume);
  VolumeFileName = MakeVolumeName(FileName, VolumeIndex, !handled);
  Cancel = false;
  if (handled) {
    OnRequestMiddleVolume(this, VolumeIndex + 1, VolumeFileName, Cancel);
    return;
  }
  if (spanning_mode_ == smSpanning) {
    Cancel = Dialogs().MessageBox(DialogKind::kConfirmation,
                                  FormatMessage(kInsertDisk, {VolumeIndex + 1}),
                                  kButtonOk | kButtonCancel) != mrOk;
  } else {
    Cancel = !ResolveExistingVolume(VolumeFileName);
  }
  VolumeFileName = MakeVolumeName(FileName, VolumeIndex, true);
  ResolveExistingVolume(VolumeFileName);
}

void TZABaseArchiver::DoDiskFull(int32_t VolumeIndex,
                                 const std::string& VolumeFileName,
                                 bool& Cancel) {
  Cancel = false;
  if (OnDiskFull) {
    OnDiskFull(this, VolumeIndex + 1, VolumeFileName, Cancel);
    return;
  }
  if (spanning_mode_ == smSpanning) {
    TZAVolumeNumberInfo volume;
    volume.SetNumber(VolumeIndex);
    const int64_t required = SpanningOptions.VolumeSizeFor(volume);
    const int64_t available = volumes_.DiskFreeSpace(VolumeFileName);
    Cancel = Dialogs().MessageBox(DialogKind::kConfirmation,
                                  FormatMessage(kDiskFull, {required, available}),
                                  kButtonOk | kButtonCancel) != mrOk;
  } else {
    Cancel = true;
  }
}

void TZABaseArchiver::DoInternalEvent() {
  if (internal_event_) internal_event_();
}

void TZABaseArchiver::DoStoreFile(std::string& FileName, uint32_t& FileAttr,
                                  std::string& Comment,
                                  const std::string& OriginalFileName) {
  if (!OnStoreFile) return;
  FileName = Replace(std::move(FileName), '/', '\\');
  OnStoreFile(this, FileName, FileAttr, Comment, OriginalFileName);
  FileName = Replace(std::move(FileName), '\\', '/');
}

void TZABaseArchiver::DoExtractFile(std::string& FileName, uint32_t& FileAttr,
                                    const std::string& Comment) {
  FileName = Replace(std::move(FileName), '/', '\\');
  if (OnExtractFile) OnExtractFile(this, FileName, FileAttr, Comment);
}

// ---- TZipArchiver ---------------------------------------------------------------

TZipArchiver::TZipArchiver(platform::Env& env) : TZABaseArchiver(env) {
  ZipFormat = true;
  Zip64Mode = zmDisabled;
  // The base constructor ran the base class's method choice; run ours.
  UpdateCompressionMethod();
}

TZipArchiver::~TZipArchiver() {
  // Apply pending work while this class's behaviour is still in place.
  Close();
}

void TZipArchiver::UpdateCompressionMethod() {
  EntryMethod = compression_mode_ != 0 ? 8 : 0;
}

}  // namespace tessaly::engine
