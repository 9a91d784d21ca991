// Opening existing archives: the probe that finds the end record and works
// out the volume layout, for archives we wrote and archives peers wrote.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "engine/base/za_exception.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

using test::RunCommand;
using test::ShellQuote;

class OpenTest : public ::testing::Test {
 protected:
  OpenTest() {
    src_ = dir_.MakeDir("src");
    std::mt19937 rng(5);
    std::string noise(150000, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    dir_.WriteFile("src/noise.dat", noise);
    dir_.WriteFile("src/text.rpt", std::string(50000, 'r'));
    dir_.WriteFile("src/FileList.cfg", "noise.dat\r\ntext.rpt\r\n");
    zip_.SetDialogService(&dialogs_);
  }

  // Writes a split archive of src/ with 65,536-byte volumes.
  void WriteSplit(const std::string& name, bool classic) {
    TZipArchiver writer;
    writer.SetDialogService(&dialogs_);
    writer.FileName = dir_.Join(name);
    writer.BaseDir = src_;
    writer.FileMasks.Add("*.*");
    writer.SetSpanningMode(smSplitting);
    writer.SpanningOptions.AdvancedNaming = !classic;
    writer.SpanningOptions.VolumeSize = vsCustom;
    writer.SpanningOptions.SetCustomVolumeSize(65536);
    writer.Open(kOpenCreate);
    writer.AddMatchingFiles();
    writer.Close();
  }

  std::vector<std::string> Names() {
    std::vector<std::string> names;
    TZADirArray& dir = zip_.DirectoryStore()->Dir;
    for (int32_t i = 0; i < dir.Count(); ++i) {
      names.push_back(dir.ItemPtr(i).StoredName);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir dir_;
  std::string src_;
  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
};

const std::vector<std::string> kExpected = {"FileList.cfg", "noise.dat",
                                            "text.rpt"};

TEST_F(OpenTest, SplitArchiveIsRecognisedWhateverTheStoredSetting) {
  WriteSplit("split.zip", /*classic=*/true);
  zip_.FileName = dir_.Join("split.zip");
  zip_.SpanningOptions.AdvancedNaming = true;  // the other scheme: retried
  zip_.Open();
  EXPECT_EQ(zip_.SpanningMode(), smSplitting);
  EXPECT_FALSE(zip_.SpanningOptions.AdvancedNaming);
  EXPECT_EQ(Names(), kExpected);
  zip_.Close();
}

TEST_F(OpenTest, SplitArchiveWithAdvancedNamesOpens) {
  WriteSplit("adv.zip", /*classic=*/false);
  zip_.FileName = dir_.Join("adv.zip");
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.Open(kOpenReadOnlyDenyNone);
  EXPECT_EQ(zip_.SpanningMode(), smSplitting);
  EXPECT_TRUE(zip_.SpanningOptions.AdvancedNaming);
  EXPECT_EQ(Names(), kExpected);
}

TEST_F(OpenTest, UpperCaseVolumeNamesCountAsTheVolumes) {
  WriteSplit("up.zip", /*classic=*/true);
  for (int i = 1;; ++i) {
    char lower[16], upper[16];
    std::snprintf(lower, sizeof(lower), "up.z%02d", i);
    std::snprintf(upper, sizeof(upper), "up.Z%02d", i);
    if (std::rename(dir_.Join(lower).c_str(), dir_.Join(upper).c_str()) != 0) {
      ASSERT_GT(i, 2) << "the archive must have several volumes";
      break;
    }
  }
  zip_.FileName = dir_.Join("up.zip");
  zip_.Open(kOpenReadOnlyDenyNone);
  EXPECT_EQ(zip_.SpanningMode(), smSplitting);
  EXPECT_EQ(Names(), kExpected);
}

TEST_F(OpenTest, InfoZipSplitArchiveOpens) {
  if (!test::PeerToolsAvailable()) GTEST_SKIP() << test::kNoPeerTools;
  const std::string archive = dir_.Join("iz.zip");
  auto r = RunCommand("cd " + ShellQuote(src_) + " && zip -q -s 64k " +
                      ShellQuote(archive) + " noise.dat text.rpt FileList.cfg");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  zip_.FileName = archive;
  zip_.Open(kOpenReadOnlyDenyNone);
  EXPECT_EQ(zip_.SpanningMode(), smSplitting);
  EXPECT_EQ(Names(), kExpected);
}

TEST_F(OpenTest, DirectoryInTheLastVolumeListsWithoutTheFirstVolume) {
  // Listing needs only the volumes that hold the directory.
  WriteSplit("gap.zip", /*classic=*/true);
  ASSERT_EQ(std::remove(dir_.Join("gap.z01").c_str()), 0);
  zip_.FileName = dir_.Join("gap.zip");
  zip_.Open(kOpenReadOnlyDenyNone);
  EXPECT_EQ(zip_.SpanningMode(), smSplitting);
  EXPECT_EQ(Names(), kExpected);
}

TEST_F(OpenTest, ArchiveWithAStubOpensAndLists) {
  TZipArchiver writer;
  writer.SetDialogService(&dialogs_);
  writer.FileName = dir_.Join("plain.zip");
  writer.BaseDir = src_;
  writer.FileMasks.Add("*.*");
  writer.Open(kOpenCreate);
  writer.AddMatchingFiles();
  writer.Close();
  const std::string stubbed =
      std::string(4096, 'S') + dir_.ReadFile("plain.zip");
  dir_.WriteFile("stub.zip", stubbed);
  zip_.FileName = dir_.Join("stub.zip");
  zip_.Open(kOpenReadOnlyDenyNone);
  EXPECT_EQ(zip_.SpanningMode(), smNone);
  EXPECT_EQ(zip_.DirectoryStore()->PrefixSize, 4096);
  EXPECT_EQ(Names(), kExpected);
}

TEST_F(OpenTest, GarbageWithoutLocalHeadersRaises35AndStaysClosed) {
  dir_.WriteFile("junk.zip", std::string(1000, 'j'));
  zip_.FileName = dir_.Join("junk.zip");
  try {
    zip_.Open(kOpenReadOnlyDenyNone);
    FAIL() << "opened junk";
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError(), 35) << e.what();
  }
  EXPECT_FALSE(zip_.IsOpen());
  zip_.Close();  // frees what the failed open left behind
}

TEST_F(OpenTest, EndRecordMissingWithRebuildOffRaises48) {
  dir_.WriteFile("junk.zip", std::string(1000, 'j'));
  zip_.FileName = dir_.Join("junk.zip");
  zip_.SetRebuildDirectory(false);
  try {
    zip_.Open(kOpenReadOnlyDenyNone);
    FAIL() << "opened junk";
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError(), 48) << e.what();
  }
  EXPECT_EQ(zip_.Volumes().stream(), nullptr);
}

}  // namespace
}  // namespace tessaly::engine
