#include "engine/directory/dir_manager.h"

#include "engine/format/signatures.h"
#include "engine/base/za_exception.h"
#include "platform/env.h"
#include "platform/open_stream.h"

namespace tessaly::engine {

TZADirManager::TZADirManager(platform::Stream* stream, DirOwner& owner,
                             VolumeSequence& volumes, bool creating)
    : Stream(stream),
      Creating(creating),
      ForeignStream(stream != volumes.stream()),
      Owner(owner),
      Volumes(volumes) {
  Reset();
  if (creating) {
    Volumes.current().SetFirst(true);
    if (!Owner.StubFileName().empty()) CopyStub();
  }
}

TZADirManager::~TZADirManager() = default;

void TZADirManager::Reset() {
  Dir.SetCount(0);
  EndRecord = engine::EndRecord{};
  EndRecord.signature = SignaturesFor(Owner.IsZipFormat()).end;
}

void TZADirManager::CopyStub() {
  const std::unique_ptr<platform::File> stub =
      platform::OpenStream(Owner.OwnerEnv(), Owner.StubFileName(),
                           platform::kOpenRead | platform::kShareDenyWrite);
  const int64_t size = stub->Size();
  if (Owner.CurrentSpanningMode() != smNone) {
    TZAVolumeNumberInfo first;
    first.SetFirst(true);
    const int64_t limit = Volumes.LimitFor(first);
    if (limit != -1 && size > limit) {
      throw EZAException(kCodeStubTooLarge, Owner.OwnerComponent());
    }
  }
  if (Stream == nullptr) return;
  if (!Stream->SetSize(0) || Stream->Seek(0) != 0) {
    throw EZAException(kCodeWriteError, Owner.OwnerComponent());
  }
  stub->Seek(0);
  Stream->CopyFrom(*stub, size);
  PrefixSize = size;
}

void TZADirManager::OpenVolumeFor(TZAVolumeNumberInfo& info) {
  if (ForeignStream) return;
  Volumes.Open(info);
  Stream = Volumes.stream();
}

}  // namespace tessaly::engine
