// Entry names through the component on POSIX, where file names are UTF-8
// and the OEM code page is CP437: what a name that CP437 can hold and one
// that it cannot become in the archive, byte for byte and as the peers read
// them.
#include <zlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/env.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::engine {
namespace {

// 2003-04-05 06:07:08, fixed so that the archive's bytes are too.
constexpr uint32_t kStamp = (23u << 25) | (4u << 21) | (5u << 16) |
                            (6u << 11) | (7u << 5) | 4u;

class PosixEntryNamesTest : public ::testing::Test {
 protected:
  void File(const std::string& name, const std::string& content) {
    const std::string path = dir_.WriteFile("data/" + name, content);
    ASSERT_TRUE(platform::Env::Default().SetFileAge(path, kStamp)) << path;
  }

  // Stores (mode 0: no deflate, so the bytes do not depend on zlib) every
  // file below data/ with relative paths and no folder entries.
  std::string Build(bool oem) {
    TZipArchiver zip;
    zip.SetDialogService(&dialogs_);
    zip.FileName = dir_.Join(oem ? "oem.zip" : "ansi.zip");
    zip.BaseDir = dir_.Join("data/");
    zip.FileMasks.Add("*");
    zip.SetCompressionMode(0);
    zip.Options.SearchAttr = 0x20;
    zip.Options.OEMFileNames = oem;
    zip.Open(kOpenCreate);
    zip.AddMatchingFiles();
    zip.Close();
    return dir_.ReadFile(zip.FileName);
  }

  static uint32_t Crc(const std::string& bytes) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()),
              static_cast<uInt>(bytes.size())));
  }

  test::TempDir dir_;
  ScriptedDialogService dialogs_;
};

// Names that CP437 holds, all different: the archive is the one this engine
// has always written (size and CRC-32 of the whole file were taken before
// names outside CP437 got the UTF-8 flag).
TEST_F(PosixEntryNamesTest, RepresentableNamesKeepTheirBytes) {
  dir_.MakeDir("data");
  dir_.MakeDir("data/sub");
  File("FileList.cfg", "[Files]\r\n");
  File("\xC3\x84rger.dat", "umlaut");               // Ärger.dat
  File("caf\xC3\xA9.rpt", "acute");                 // café.rpt
  File("sub/\xC3\xBCnter.bmp", "BM in a sub-folder");  // sub/ünter.bmp
  File("_under_score.dat", "an underscore of its own");

  const std::string oem = Build(true);
  EXPECT_EQ(oem.size(), 580u);
  EXPECT_EQ(Crc(oem), 0x72AE46A1u);
  const std::string ansi = Build(false);
  EXPECT_EQ(ansi.size(), 586u);
  EXPECT_EQ(Crc(ansi), 0x98E32DE3u);
}

}  // namespace
}  // namespace tessaly::engine
