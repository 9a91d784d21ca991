// Split archives written end to end by TZipArchiver, checked against the
// volume limit and read back by the tests' reader and, where the peer tools
// run, Info-ZIP (zip -s 0 joins the volumes, unzip -t tests the result).
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::engine {
namespace {

std::string NoiseBytes(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1103515245 + 12345;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

class VolumeSplitTest : public ::testing::Test {
 protected:
  VolumeSplitTest() {
    zip_.SetName("ZipArchiver");
    zip_.SetDialogService(&dialogs_);
    zip_.FileName = dir_.Join("arc.zip");
    zip_.SetSpanningMode(smSplitting);
    zip_.SpanningOptions.AdvancedNaming = false;
    zip_.SpanningOptions.VolumeSize = vsCustom;
    zip_.SpanningOptions.SetCustomVolumeSize(65536);
    zip_.Options.StorePath = spNoPath;
    zip_.OnRequestBlankVolume = [this](Component*, int32_t number,
                                       std::string& name, bool&) {
      requests_.push_back(std::to_string(number) + " " + name);
    };
  }

  // Adds the given files (written into the folder "in") in this order.
  void Add(const std::vector<std::pair<std::string, std::string>>& files) {
    TStringList masks;
    for (const auto& [name, content] : files) {
      masks.Add(in_.WriteFile(name, content));
    }
    zip_.SetFileMasks(masks);
    zip_.Open(kOpenCreate);
    zip_.AddMatchingFiles();
    zip_.Close();
  }
  int64_t Size(const std::string& name) {
    return static_cast<int64_t>(dir_.ReadFile(name).size());
  }
  // Reads every entry across the volumes; where the peer tools run, also
  // joins the volumes with Info-ZIP and tests every entry.
  void ExpectInfoZipAccepts() {
    std::vector<std::string> volumes;
    for (int i = 1;; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "arc.z%02d", i);
      if (!zip_.env().FileExists(dir_.Join(name))) break;
      volumes.push_back(dir_.Join(name));
    }
    volumes.push_back(dir_.Join("arc.zip"));
    const test::ZipReadResult read = test::ReadZipVolumes(volumes);
    EXPECT_TRUE(read.ok()) << read.error;
    if (!test::PeerToolsAvailable()) return;
    const auto result = test::RunCommand(
        "cd " + test::ShellQuote(dir_.path()) +
        " && zip -q -s 0 arc.zip --out joined.zip && unzip -tqq joined.zip");
    EXPECT_EQ(result.exit_code, 0) << result.output;
  }

  tessaly::test::TempDir dir_;
  tessaly::test::TempDir in_;
  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
  std::vector<std::string> requests_;
};

TEST_F(VolumeSplitTest, DataCrossingTheLimitFillsVolumesExactly) {
  zip_.SetCompressionMode(9);
  Add({{"a.bin", NoiseBytes(50000, 1)},
       {"b.bin", NoiseBytes(50000, 2)},
       {"c.bin", NoiseBytes(50000, 3)}});
  EXPECT_EQ(Size("arc.z01"), 65536);
  EXPECT_EQ(Size("arc.z02"), 65536);
  EXPECT_GT(Size("arc.zip"), 0);
  EXPECT_FALSE(zip_.env().FileExists(dir_.Join("arc.z03")))
      << "the last volume takes the archive's name";
  EXPECT_EQ(requests_, (std::vector<std::string>{"1 " + dir_.Join("arc.z01"),
                                                 "2 " + dir_.Join("arc.z02"),
                                                 "3 " + dir_.Join("arc.z03")}));
  ExpectInfoZipAccepts();
}

TEST_F(VolumeSplitTest, LocalHeaderThatWouldCrossTheLimitStartsTheNextVolume) {
  zip_.SetCompressionMode(0);  // stored: entry sizes are known exactly
  // a.bin ends 20 bytes before the limit; b.bin's 35-byte header cannot
  // follow it there.
  Add({{"a.bin", NoiseBytes(65536 - 35 - 20, 4)}, {"b.bin", NoiseBytes(1000, 5)}});
  EXPECT_EQ(Size("arc.z01"), 65536 - 20);
  EXPECT_EQ(dir_.ReadFile("arc.zip").substr(0, 4), std::string("PK\3\4", 4))
      << "b.bin's local header opens the second volume";
  ExpectInfoZipAccepts();
}

TEST_F(VolumeSplitTest, ScanOfTheArchivesOwnFolderLeavesItsVolumesOut) {
  // The folder holds the data, a volume left by an earlier run, and, once
  // the archive is opened, its first volume: only the data is packed.
  // Three volumes; no entry spans more than two (zip -s 0 cannot join
  // those).
  for (int i = 1; i <= 3; ++i) {
    dir_.WriteFile("data" + std::to_string(i) + ".bin", NoiseBytes(60000, 6 + i));
  }
  dir_.WriteFile("arc.z02", "a volume of an earlier run");
  TStringList masks;
  masks.Add(dir_.Join("*.*"));
  zip_.SetFileMasks(masks);
  zip_.Open(kOpenCreate);
  zip_.AddMatchingFiles();
  zip_.Close();
  const test::ZipReadResult read = test::ReadZipVolumes(
      {dir_.Join("arc.z01"), dir_.Join("arc.z02"), dir_.Join("arc.zip")});
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.Names(), (std::vector<std::string>{"data1.bin", "data2.bin",
                                                    "data3.bin"}));
  ExpectInfoZipAccepts();
}

TEST_F(VolumeSplitTest, ContentThatFitsOneVolumeIsASingleFile) {
  Add({{"small.txt", "hello"}});
  EXPECT_EQ(requests_.size(), 1u);
  EXPECT_FALSE(zip_.env().FileExists(dir_.Join("arc.z01")));
  ExpectInfoZipAccepts();
}

TEST_F(VolumeSplitTest, CancelDuringTheCopyAbortsTheUpdate) {
  int overall_end = 0;
  zip_.OnOverallProgress = [&](Component*, double, TZAProcessOperation,
                               TZAProgressPhase phase,
                               bool&) { overall_end += phase == ppEnd; };
  zip_.OnCopyTempFileProgress = [](Component*, double, TZAProgressPhase phase,
                                   bool& cancel) {
    cancel = phase == ppProcess;
  };
  EXPECT_NO_THROW(Add({{"a.bin", NoiseBytes(5000, 6)}}));
  EXPECT_EQ(overall_end, 0) << "the update was rolled back, not finished";
}

}  // namespace
}  // namespace tessaly::engine
