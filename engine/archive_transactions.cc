// Opening, update transactions and closing.
//
// Every change to an archive is made in an update transaction: operations
// only mark directory items as pending, and the outermost EndUpdate applies
// all of them in one step (ApplyUpdate), which also writes the directory.
// BeginUpdate keeps a copy of the directory so that the apply step can put
// the archive back exactly as it was when the update is cancelled or fails.
#include <memory>
#include <optional>
#include <string>

#include "engine/archiver.h"
#include "engine/base/za_exception.h"
#include "platform/open_stream.h"
#include "platform/memory_stream.h"
#include "platform/path.h"
#include "platform/text.h"

namespace tessaly::engine {

bool TZABaseArchiver::HasFileNamePart() const {
  return !platform::ExtractFileName(FileName).empty();
}

bool TZABaseArchiver::IsRemovable(const std::string& name) {
  return volumes_.IsRemovableDrive(name);
}

void TZABaseArchiver::Open(uint16_t Mode) {
  if (!in_memory_ && !HasFileNamePart()) throw EZAException(kCodeOpenNoFileName, this);
  if (Mode != kOpenCreate && !env_.FileExists(FileName) &&
      spanning_mode_ != smSpanning && !IsRemovable(FileName)) {
    throw EZAException(kCodeArchiveNotFound, {FileName}, this);
  }
  if (Mode != kOpenCreate && in_memory_) {
    throw EZAException(kCodeInMemoryCreateOnly, {FileName}, this);
  }
  Close();
  volumes_.ForgetWritten();
  OpenMode = Mode;
  if (Mode == kOpenCreate || in_memory_) {
    CreateArchive();
  } else {
    OpenExisting();
  }
  ArchiveOpen = true;
  if (AfterOpen) AfterOpen(this);
}

void TZABaseArchiver::CreateArchive() {
  volumes_.current().Reset();
  if (in_memory_) {
    volumes_.Replace(std::make_unique<platform::MemoryStream>(), "");
  } else {
    volumes_.current().SetFirst(true);
    volumes_.Open(volumes_.current());
  }
  DirManager = std::make_unique<TZADirManager>(
        volumes_.stream(), *this, volumes_, /*creating=*/true);
}

void TZABaseArchiver::Open() {
  UpdateApplied = false;
  if (!in_memory_ && !HasFileNamePart()) throw EZAException(kCodeNoFileName, this);
  uint16_t mode;
  if (in_memory_ || !env_.FileExists(FileName)) {
    mode = kOpenCreate;
  } else if (env_.OpenFile(FileName, kOpenReadWriteDenyWrite) != nullptr) {
    mode = kOpenReadWriteDenyWrite;  // the probe file closes at once
  } else {
    mode = kOpenReadOnlyDenyNone;
  }
  Open(mode);
}

void TZABaseArchiver::Close() {
  if (!ArchiveOpen) {
    // Leftovers of a failed open.
    DirManager.reset();
    volumes_.Release();
    volumes_.current().Reset();
    return;
  }
  try {
    ApplyUpdate();
    platform::Stream* stream = volumes_.stream();
    if (stream != nullptr && stream->Size() == 0 && DirManager) {
      // An archive that never got an entry still gets its end record.
      DirManager->SaveDir(true);
    }
  } catch (...) {
    // Closing always succeeds; the archive is released whatever happened.
  }
  ArchiveOpen = false;
  DirManager.reset();
  volumes_.Release();
  volumes_.current().Reset();
}

void TZABaseArchiver::SetActive(bool value) {
  if (value && !ArchiveOpen) {
    Open();
  } else if (!value && ArchiveOpen) {
    Close();
  }
}

void TZABaseArchiver::BeginUpdate() {
  if (spanning_mode_ != smNone && UpdateApplied) {
    EndUntouched(uoRefused, EZAException(kCodeMultipleTransactions));
  }
  if (UpdateCount == 0) {
    SetActive(true);
    if ((OpenMode & 0x3) == 0) throw EZAException(kCodeReadOnly, this);
    TZADirArray& dir = DirManager->Dir;
    for (int32_t i = 0; i < dir.Count(); ++i) dir.ItemPtr(i).Pending = false;
    DirManager->SavedDir.Assign(dir);
    SelectionLeftOut.clear();
  }
  ++UpdateCount;
}

void TZABaseArchiver::EndUpdate() {
  if (UpdateCount <= 0) return;
  if (UpdateCount > 1) {
    --UpdateCount;
    return;
  }
  UpdateApplied = true;
  ApplyUpdate();
  if (spanning_mode_ != smNone && OpenMode == kOpenCreate) {
    // The volumes exist now: later volume changes reopen them.
    OpenMode = kOpenReadWriteDenyWrite;
  }
}

void TZABaseArchiver::DiscardUpdate() {
  if (UpdateCount > 0) UpdateCount = 0;
}

void TZABaseArchiver::ScanFileMasks(const TStringList& masks,
                                    int32_t search_attr, bool recurse,
                                    bool move, const TStringList& exclusions) {
  if (!DirManager) throw EZAException(kCodeNotOpen, this);
  const std::optional<SelectionAbort> aborted =
      selector_.ScanFileMasks(DirManager->Dir, ArchiveFileNames(), masks,
                              search_attr, recurse, move, exclusions);
  if (!aborted) return;
  // As an Abort while the update is applied: nothing of the transaction
  // remains to be written (items queued by selection own no stream), and
  // the archive, not yet touched, is as it was.
  DirManager->Dir.Assign(DirManager->SavedDir);
  UpdateCount = 0;
  last_update_ = TZAUpdateResult{};
  last_update_.Outcome = uoAborted;
  last_update_.NativeError = aborted->native_error;
  last_update_.Message = aborted->message;
  last_update_.RolledBack = true;
  SelectionLeftOut.clear();
}

void TZABaseArchiver::AddMatchingFiles() {
  if (!ArchiveOpen) throw EZAException(kCodeNotOpen, this);
  if (UpdateCount == 0 && DirManager->Dir.Count() > 0 &&
      spanning_mode_ != smNone) {
    EndUntouched(uoRefused, EZAException(kCodeMultiVolumeModified, this));
  }
  BeginUpdate();
  try {
    // The archive never adds its own file, nor, when it is split, the
    // volumes that exist by now (the first one is made when the archive
    // is opened): a scan of the archive's own folder would otherwise pack
    // half-written volumes into the archive.
    TStringList exclusions;
    exclusions.Assign(ExclusionMasks);
    for (const std::string& name : ArchiveFileNames()) {
      exclusions.Add(selector_.ResolvePath("", name, CurrentBaseDir));
    }
    ScanFileMasks(FileMasks, Options.SearchAttr, Options.Recurse,
                  /*move=*/false, exclusions);
    EndUpdate();
  } catch (...) {
    DiscardUpdate();
    throw;
  }
}

}  // namespace tessaly::engine
