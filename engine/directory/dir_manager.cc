#include "engine/directory/dir_manager.h"

#include "engine/format/signatures.h"
#include "engine/za_exception.h"
#include "platform/env.h"
#include "platform/file_stream.h"

namespace tessaly::engine {

namespace {

constexpr int32_t kStubWriteError = 46;
constexpr int32_t kStubTooLargeError = 47;

}  // namespace

bool DirOwner::RenameVolume(const std::string& from, const std::string& to) {
  return OwnerEnv().RenameFile(from, to);
}

TZADirManager::TZADirManager(platform::Stream* stream, DirOwner& owner,
                             bool creating)
    : Stream(stream),
      Creating(creating),
      ForeignStream(stream != owner.ArchiveStream()),
      Owner(owner) {
  Reset();
  if (creating) {
    Owner.CurrentVolumeInfo().SetFirst(true);
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
  platform::FileStream stub(Owner.OwnerEnv(), Owner.StubFileName(),
                            platform::kOpenRead | platform::kShareDenyWrite);
  const int64_t size = stub.Size();
  if (Owner.CurrentSpanningMode() != smNone) {
    TZAVolumeNumberInfo first;
    first.SetFirst(true);
    const int64_t limit = Owner.VolumeLimitFor(first);
    if (limit != -1 && size > limit) {
      throw EZAException(kStubTooLargeError, Owner.OwnerComponent());
    }
  }
  if (Stream == nullptr) return;
  if (!Stream->SetSize(0) || Stream->Seek(0) != 0) {
    throw EZAException(kStubWriteError, Owner.OwnerComponent());
  }
  stub.Seek(0);
  Stream->CopyFrom(stub, size);
  PrefixSize = size;
}

void TZADirManager::OpenVolumeFor(TZAVolumeNumberInfo& info) {
  if (ForeignStream) return;
  Owner.OpenVolume(info);
  Stream = Owner.ArchiveStream();
}

}  // namespace tessaly::engine
