// File selection over symbolic links, which only POSIX tests can make
// without privileges.
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::engine {
namespace {

// A link back up the tree is not followed (the scan would repeat until the
// names got too long); a link to a folder elsewhere is.
TEST(PosixFileSelectionTest, LinksBackUpTheTreeAreNotEntered) {
  test::TempDir dir;
  platform::Env& env = platform::Env::Default();
  ASSERT_TRUE(env.CreateDir(dir.Join("data")));
  ASSERT_TRUE(env.CreateDir(dir.Join("data/sub")));
  ASSERT_TRUE(env.CreateDir(dir.Join("other")));
  dir.WriteFile("data/a.txt", "a");
  dir.WriteFile("data/sub/b.txt", "b");
  dir.WriteFile("other/c.txt", "c");
  ASSERT_EQ(symlink("..", dir.Join("data/sub/up").c_str()), 0);
  ASSERT_EQ(symlink(dir.Join("other").c_str(), dir.Join("data/elsewhere").c_str()),
            0);

  ScriptedDialogService dialogs;
  TZipArchiver zip;
  zip.SetDialogService(&dialogs);
  zip.FileName = dir.Join("out.zip");
  zip.BaseDir = dir.Join("data/");
  zip.Options.Recurse = true;
  zip.Options.StorePath = spRelativePath;
  TStringList masks;
  masks.Add("*.txt");
  zip.SetFileMasks(masks);
  zip.Open(kOpenCreate);
  zip.AddMatchingFiles();
  zip.Close();

  const test::ZipReadResult read = test::ReadZip(dir.Join("out.zip"));
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.Names(), (std::vector<std::string>{
                              "a.txt", "elsewhere/c.txt", "sub/b.txt"}));
  EXPECT_TRUE(dialogs.boxes.empty()) << "no file-name-too-long failure";
}

}  // namespace
}  // namespace tessaly::engine
