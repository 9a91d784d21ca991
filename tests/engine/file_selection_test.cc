// File selection through the component: what AddMatchingFiles writes, as
// the tests' reader and, where the peer tools run, Info-ZIP read it back.
#include <string>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/env.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::engine {
namespace {

class FileSelectionTest : public ::testing::Test {
 protected:
  FileSelectionTest() {
    zip_.SetDialogService(&dialogs_);
    data_ = dir_.Join("data/");
    EXPECT_TRUE(platform::Env::Default().CreateDir(data_));
    zip_.BaseDir = data_;
  }

  void File(const std::string& name, const std::string& content = "content") {
    dir_.WriteFile("data/" + name, content);
  }

  void Run() {
    zip_.Open(kOpenCreate);
    zip_.AddMatchingFiles();
    zip_.Close();
  }

  // "name method" per entry ("def" deflated, "sto" stored), in directory
  // order, as Info-ZIP's zipinfo reads it.
  std::string Listing() {
    const test::ZipReadResult read = test::ReadZip(zip_.FileName);
    EXPECT_TRUE(read.ok()) << read.error;
    std::string listing;
    for (const test::ZipEntryInfo& entry : read.entries) {
      listing += entry.name + (entry.method == 8 ? " def\n" : " sto\n");
    }
    if (!test::PeerToolsAvailable()) return listing;
    const test::CommandResult result =
        test::RunCommand("unzip -Z " + test::ShellQuote(zip_.FileName) +
                         " | awk '/^[-d]/ { print $NF, substr($6, 1, 3) }'");
    EXPECT_EQ(result.exit_code, 0) << result.output;
    EXPECT_EQ(listing, result.output) << "Info-ZIP reads otherwise";
    return result.output;
  }

  test::TempDir dir_;
  std::string data_;
  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
};

TEST_F(FileSelectionTest, FullPathMasksStoreBareNames) {
  File("FileList.cfg");
  File("a.dat", std::string(1000, 'a'));
  File("b.rpt", std::string(1000, 'b'));
  File("c.bmp", std::string(1000, 'c'));
  File("d.txt");
  zip_.FileName = dir_.Join("Orvane.zip");
  for (const char* mask : {"FileList.cfg", "*.dat", "*.rpt", "*.bmp"}) {
    zip_.FileMasks.Add(data_ + mask);
  }
  zip_.Options.StorePath = spNoPath;
  zip_.Options.Recurse = false;
  zip_.NoCompressionMasks.Add("*.bmp");

  Run();
  EXPECT_EQ(Listing(),
            "FileList.cfg def\n"
            "a.dat def\n"
            "b.rpt def\n"
            "c.bmp sto\n");
}

TEST_F(FileSelectionTest, ArchiveInTheScannedFolderDoesNotAddItself) {
  File("a.dat");
  zip_.FileName = data_ + "out.zip";
  zip_.FileMasks.Add("*.*");

  Run();
  EXPECT_EQ(Listing(), "a.dat def\n");
}

TEST_F(FileSelectionTest, StoreFileHandlerSeesBackslashes) {
  EXPECT_TRUE(platform::Env::Default().CreateDir(data_ + "sub"));
  File("sub/b.dat");
  zip_.FileName = dir_.Join("out.zip");
  zip_.FileMasks.Add("sub/*.dat");
  std::string seen;
  zip_.OnStoreFile = [&](Component*, std::string& name, uint32_t&, std::string&,
                         const std::string&) {
    seen = name;
    name = "renamed\\" + name;
  };

  Run();
  EXPECT_EQ(seen, "sub\\b.dat");
  EXPECT_EQ(Listing(), "renamed/sub/b.dat def\n");
}

TEST_F(FileSelectionTest, SubfolderMatchingTheMaskIsWrittenWithItsContent) {
  File("a.dat");
  EXPECT_TRUE(platform::Env::Default().CreateDir(data_ + "x.dat"));
  File("x.dat/in.txt");
  zip_.FileName = dir_.Join("out.zip");
  zip_.FileMasks.Add("*.dat");
  zip_.Options.Recurse = false;

  Run();
  const std::string listing = Listing();
  EXPECT_NE(listing.find("a.dat def\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("x.dat/ sto\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("x.dat/in.txt def\n"), std::string::npos) << listing;
}

// An Abort answered to a failure of selection drops everything the update
// transaction queued, also what an earlier AddMatchingFiles in it queued,
// and the archive stays as it was.
TEST_F(FileSelectionTest, AbortDropsTheWholeTransaction) {
  File("earlier.txt");
  File("queued.txt");
  File("a.dat");
  EXPECT_TRUE(platform::Env::Default().CreateDir(data_ + "sub"));
  File("sub/a.dat");
  zip_.FileName = dir_.Join("out.zip");
  zip_.FileMasks.Add("earlier.txt");
  Run();

  zip_.Options.StorePath = spNoPath;
  zip_.OnProcessFileFailure = [](Component*, const std::string&,
                                 TZAProcessOperation, int32_t, int32_t,
                                 const std::string&, TZAAction& action) {
    action = fxaAbort;
  };
  zip_.Open();
  zip_.BeginUpdate();
  zip_.FileMasks.Clear();
  zip_.FileMasks.Add("queued.txt");
  zip_.AddMatchingFiles();
  ASSERT_EQ(zip_.EntryCount(), 2);
  zip_.FileMasks.Clear();
  zip_.FileMasks.Add("*.dat");  // a.dat and sub/a.dat: one name
  zip_.AddMatchingFiles();

  EXPECT_FALSE(zip_.IsUpdating()) << "nothing is left to apply";
  EXPECT_EQ(zip_.EntryCount(), 1);
  EXPECT_EQ(zip_.LastUpdate().Outcome, uoAborted);
  EXPECT_EQ(zip_.LastUpdate().NativeError, 63);
  EXPECT_TRUE(zip_.LastUpdate().RolledBack);
  EXPECT_TRUE(zip_.LastUpdate().FilesLeftOut.empty());
  zip_.EndUpdate();
  zip_.Close();
  EXPECT_EQ(Listing(), "earlier.txt def\n");
}

}  // namespace
}  // namespace tessaly::engine
