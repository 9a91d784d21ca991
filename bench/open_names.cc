// Opens an archive, loads its directory and looks every entry up by name,
// the way an update does before it replaces entries. Prints the entry count
// and the seconds taken.
//
//   open_names ARCHIVE
#include <chrono>
#include <cstdio>
#include <string>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/exception.h"

int main(int argc, char** argv) {
  using namespace tessaly;
  if (argc != 2) {
    std::fprintf(stderr, "usage: open_names ARCHIVE\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  engine::ScriptedDialogService dialogs;
  engine::TZipArchiver zip;
  zip.SetDialogService(&dialogs);
  zip.FileName = argv[1];
  int32_t found = 0;
  int32_t count = 0;
  try {
    zip.Open(engine::kOpenReadOnlyDenyNone);
    engine::TZADirArray& dir = zip.DirectoryStore()->Dir;
    count = dir.Count();
    for (int32_t i = 0; i < count; ++i) {
      int32_t index = -1;
      const std::string name = dir.ItemPtr(i).StoredName;
      found += dir.FindName(name, index) && index == i;
    }
    zip.Close();
  } catch (const platform::Exception& e) {
    std::fprintf(stderr, "%s: %s\n", e.ClassName(), e.what());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  std::printf("entries %d found %d seconds %.4f\n", count, found, seconds);
  return found == count ? 0 : 1;
}
