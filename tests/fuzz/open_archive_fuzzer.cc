// libFuzzer target: arbitrary bytes opened as an archive. The archive is
// probed, its directory loaded (or rebuilt from local headers), every entry
// looked up by name and read back by the entry reader (decrypted with a
// fixed password where encrypted, inflated and checked), and the archive
// closed. Nothing may crash, hang, read out of bounds or allocate without
// bound; engine errors are expected.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/archive_reader.h"
#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/exception.h"
#include "platform/testing/mem_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaly;
  platform::MemEnv env;
  {
    auto file = env.OpenFile("/tmp/fuzz.zip", platform::kOpenCreate);
    if (!file) return 0;
    file->Write(data, static_cast<int64_t>(size));
  }
  engine::ScriptedDialogService dialogs;
  engine::TZipArchiver zip(env);
  zip.SetDialogService(&dialogs);
  zip.FileName = "/tmp/fuzz.zip";
  try {
    zip.Open(engine::kOpenReadOnlyDenyNone);
    engine::TZADirArray& dir = zip.DirectoryStore()->Dir;
    for (int32_t i = 0; i < dir.Count(); ++i) {
      std::string name = dir.ItemPtr(i).StoredName;
      int32_t index = -1;
      dir.FindName(name, index);
      (void)dir.ItemPtr(i).CompressedSize();
    }
    engine::TZAArchiveReader reader(zip);
    // Small inputs may inflate a thousandfold: each entry stops after
    // 16 MiB, which keeps a run fast without hiding the reader's own limits.
    for (int32_t i = 0; i < reader.EntryCount(); ++i) {
      uint64_t taken = 0;
      reader.ReadEntry(i, "pw", [&taken](const uint8_t*, size_t n) {
        taken += n;
        return taken < (16u << 20);
      });
    }
  } catch (const platform::Exception&) {
    // Damaged input is reported through exceptions: fine.
  }
  zip.Close();
  return 0;
}
