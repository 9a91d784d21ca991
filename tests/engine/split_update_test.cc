// Updates of split and spanned archives, checked volume by volume: an update
// that is rolled back (Abort, Cancel, a declined volume) leaves every volume
// file as it was, byte for byte, and no other; an update that does not fit
// into the last volume grows into new ones; a spanned archive on a fixed
// folder never writes a volume over an earlier one. What the tests leave is
// read back by the tests' reader and, where they run, the peer tools
// (volumes joined, then unzip -t and Python's zipfile; 7z t on the volumes).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/testing/fault_env.h"
#include "tests/support/noise.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::engine {
namespace {

using Files = std::map<std::string, std::string>;  // name -> bytes

using test::Noise;

constexpr int64_t kVolumeSize = 65536;
const std::string kEmptyArchive =
    std::string("PK\x05\x06", 4) + std::string(18, '\0');

class SplitUpdateTest : public ::testing::Test {
 protected:
  SplitUpdateTest() : zip_(env_) {
    zip_.SetName("Zipper");
    zip_.SetDialogService(&dialogs_);
    zip_.FileName = out_.Join("arc.zip");
    zip_.BaseDir = in_.path();
    zip_.SetCompressionMode(0);  // stored: sizes known exactly
    zip_.Options.StorePath = spNoPath;
    Split(smSplitting);
    zip_.OnRequestBlankVolume = [this](Component*, int32_t number,
                                       std::string& name, bool& cancel) {
      requests_.push_back(number);
      if (decline_ > 0 && number == decline_) cancel = true;
      if (on_blank_) on_blank_(number, name);
    };
  }

  void Split(TZASpanningMode mode) {
    zip_.SetSpanningMode(mode);
    zip_.SpanningOptions.AdvancedNaming = false;
    zip_.SpanningOptions.VolumeSize = vsCustom;
    zip_.SpanningOptions.SetCustomVolumeSize(kVolumeSize);
  }

  // Writes the sources into the input folder and selects them, in order.
  void Select(const Files& files, const std::vector<std::string>& order) {
    zip_.FileMasks.Clear();
    for (const std::string& name : order) {
      const auto it = files.find(name);
      if (it != files.end()) in_.WriteFile(name, it->second);
      zip_.FileMasks.Add(name);
    }
  }

  // A new split archive of a.bin, b.bin, c.bin and s.bin (three volumes;
  // s.bin lies on the last one).
  void MakeArchive() {
    sources_ = {{"a.bin", Noise(50000, 1)},
                {"b.bin", Noise(50000, 2)},
                {"c.bin", Noise(50000, 3)},
                {"s.bin", Noise(1000, 8)}};
    Select(sources_, {"a.bin", "b.bin", "c.bin", "s.bin"});
    zip_.Open(kOpenCreate);
    zip_.AddMatchingFiles();
    zip_.Close();
    requests_.clear();
    ASSERT_EQ(Volumes().size(), 3u);
  }

  // Adds d.bin and e.bin (two more volumes' worth) in one transaction.
  void UpdateArchive(const std::vector<std::string>& order = {"d.bin",
                                                              "e.bin"}) {
    const Files added = {{"d.bin", Noise(60000, 4)},
                         {"e.bin", Noise(60000, 5)}};
    for (const auto& [name, content] : added) sources_[name] = content;
    Select(added, order);
    zip_.Open();
    ASSERT_EQ(zip_.SpanningMode(), smSplitting);
    zip_.BeginUpdate();
    zip_.AddMatchingFiles();
    zip_.EndUpdate();
  }

  // Every file of the archive's folder with its bytes.
  Files Volumes() const {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(out_.path())) {
      if (!entry.is_regular_file()) continue;
      const std::string name = entry.path().filename().string();
      files[name] = out_.ReadFile(name);
    }
    return files;
  }

  // The volume files of the archive, first to last.
  std::vector<std::string> VolumePaths() const {
    std::vector<std::string> paths;
    for (int i = 1;; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "arc.z%02d", i);
      if (!std::filesystem::exists(out_.Join(name))) break;
      paths.push_back(out_.Join(name));
    }
    paths.push_back(zip_.FileName);
    return paths;
  }

  // Every volume within the limit, and the archive read back whole: by the
  // tests' reader and, where they run, by 7-Zip, by Info-ZIP and Python's
  // zipfile after joining; every entry equal to its source.
  void ExpectReadable(const std::vector<std::string>& names) {
    const std::vector<std::string> paths = VolumePaths();
    for (const std::string& path : paths) {
      EXPECT_LE(std::filesystem::file_size(path),
                static_cast<uintmax_t>(kVolumeSize))
          << path;
    }
    const test::ZipReadResult read = test::ReadZipVolumes(paths);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.Names(), names);
    if (!test::PeerToolsAvailable()) return;
    std::string command =
        "7z t " + test::ShellQuote(zip_.FileName) + " >/dev/null && python3 " +
        test::ShellQuote(test::SourceDir() + "/tests/interop/zipcheck.py") +
        " join " + test::ShellQuote(out_.Join("joined"));
    for (const std::string& path : paths)
      command += " " + test::ShellQuote(path);
    const std::string joined = test::ShellQuote(out_.Join("joined"));
    command +=
        " && unzip -tqq " + joined + " && python3 " +
        test::ShellQuote(test::SourceDir() + "/tests/interop/zipcheck.py") +
        " verify " + joined + " " + test::ShellQuote(in_.path()) +
        "; status=$?; rm -f " + joined + "; exit $status";
    const auto result = test::RunCommand(command);
    EXPECT_EQ(result.exit_code, 0) << result.output;
  }

  platform::FaultEnv env_;
  test::TempDir out_;
  test::TempDir in_;
  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
  Files sources_;
  std::vector<int32_t> requests_;
  int32_t decline_ = 0;  // the blank volume (from 1) to decline
  std::function<void(int32_t, std::string&)> on_blank_;
};

// ---- Rolled back: every answer that rolls back
// -------------------------------

enum class Answer {
  kAbortLongName,
  kCancelWhileWriting,
  kCancelAtTheEnd,
  kDeclineAVolume
};

struct RollBackCase {
  const char* label;
  Answer answer;
};

class RollBackTest : public SplitUpdateTest,
                     public ::testing::WithParamInterface<RollBackCase> {
 protected:
  // Arms the answer; returns false (the test skips) when this system
  // cannot make its cause.
  bool Arm(int32_t volume_to_decline) {
    switch (GetParam().answer) {
      case Answer::kAbortLongName: {
        // A source whose full name has 260 characters between the others;
        // the default box answers Abort when nobody does.
        const size_t room = 260 - in_.path().size();
        long_name_ = std::string(room - 4, 'l') + ".bin";
        if (!(std::ofstream(in_.Join(long_name_), std::ios::binary) << "x")) {
          return false;
        }
        break;
      }
      case Answer::kCancelWhileWriting:
        zip_.OnFileProgress = [](Component*, const std::string& name, double,
                                 TZAProcessOperation, TZAProgressPhase phase,
                                 bool& cancel) {
          cancel = phase == ppStart && name.find("e.bin") != std::string::npos;
        };
        break;
      case Answer::kCancelAtTheEnd:
        zip_.OnOverallProgress = [](Component*, double, TZAProcessOperation,
                                    TZAProgressPhase phase,
                                    bool& cancel) { cancel = phase == ppEnd; };
        break;
      case Answer::kDeclineAVolume:
        decline_ = volume_to_decline;
        break;
    }
    return true;
  }

  // The sources in the order that puts a long name after the first one.
  std::vector<std::string> Order(const std::string& first,
                                 const std::string& second) const {
    if (long_name_.empty()) return {first, second};
    return {first, long_name_, second};
  }

  void ExpectOutcome() {
    const TZAUpdateResult& result = zip_.LastUpdate();
    EXPECT_TRUE(result.RolledBack);
    switch (GetParam().answer) {
      case Answer::kAbortLongName:
        EXPECT_EQ(result.Outcome, uoAborted);
        EXPECT_EQ(result.NativeError, 61);
        break;
      case Answer::kDeclineAVolume:
        EXPECT_EQ(result.Outcome, uoAborted);
        EXPECT_EQ(result.NativeError, 45);
        break;
      default:
        EXPECT_EQ(result.Outcome, uoCancelled);
    }
  }

  std::string long_name_;
};

TEST_P(RollBackTest, NewArchiveKeepsOnlyItsEmptyFirstVolume) {
  if (!Arm(3)) GTEST_SKIP() << "cannot create a 260-character path here";
  // d.bin fills the first volume and ends in the second, e.bin crosses
  // into the third.
  sources_ = {{"d.bin", Noise(70000, 4)},
              {"e.bin", Noise(70000, 5)},
              {"f.bin", Noise(70000, 6)}};
  std::vector<std::string> order = Order("d.bin", "e.bin");
  order.push_back("f.bin");
  Select(sources_, order);
  zip_.Open(kOpenCreate);
  const Files before = Volumes();
  ASSERT_EQ(before, (Files{{"arc.z01", ""}}));

  EXPECT_NO_THROW(zip_.AddMatchingFiles());
  ExpectOutcome();
  EXPECT_GE(requests_.size(), 2u) << "the update reached a second volume";
  EXPECT_EQ(Volumes(), before);
  EXPECT_EQ(zip_.DirectoryStore()->Dir.Count(), 0);

  // Closed without entries: one valid empty archive.
  zip_.Close();
  EXPECT_EQ(Volumes(), (Files{{"arc.zip", kEmptyArchive}}));
  if (test::PeerToolsAvailable()) {
    const auto r = test::RunCommand("7z t " + test::ShellQuote(zip_.FileName));
    EXPECT_EQ(r.exit_code, 0) << r.output;
  }
}

TEST_P(RollBackTest, ExistingArchiveComesBackVolumeByVolume) {
  MakeArchive();
  if (!Arm(5)) GTEST_SKIP() << "cannot create a 260-character path here";
  const Files before = Volumes();

  UpdateArchive(Order("d.bin", "e.bin"));
  ExpectOutcome();
  EXPECT_FALSE(requests_.empty()) << "the update grew into a new volume";
  EXPECT_EQ(Volumes(), before);
  EXPECT_EQ(zip_.DirectoryStore()->Dir.Count(), 4);
  zip_.Close();
  EXPECT_EQ(Volumes(), before);
  sources_.erase("d.bin");
  sources_.erase("e.bin");
  std::filesystem::remove(in_.Join("d.bin"));
  std::filesystem::remove(in_.Join("e.bin"));
  if (!long_name_.empty()) std::filesystem::remove(in_.Join(long_name_));
  ExpectReadable({"a.bin", "b.bin", "c.bin", "s.bin"});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RollBackTest,
    ::testing::Values(RollBackCase{"AbortForALongName", Answer::kAbortLongName},
                      RollBackCase{"CancelWhileWriting",
                                   Answer::kCancelWhileWriting},
                      RollBackCase{"CancelAtTheEnd", Answer::kCancelAtTheEnd},
                      RollBackCase{"DeclinedVolume", Answer::kDeclineAVolume}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- Growing
// -------------------------------------------------------------------

TEST_F(SplitUpdateTest, UpdateThatDoesNotFitTheLastVolumeGrowsIntoNewOnes) {
  MakeArchive();
  const Files before = Volumes();
  const std::string last = before.at("arc.zip");
  // The old directory starts where the end record says (offset at 16).
  const size_t directory = static_cast<uint8_t>(last[last.size() - 6]) |
                           static_cast<uint8_t>(last[last.size() - 5]) << 8 |
                           static_cast<uint8_t>(last[last.size() - 4]) << 16;

  UpdateArchive();
  EXPECT_EQ(zip_.LastUpdate().Outcome, uoApplied);
  EXPECT_TRUE(zip_.LastUpdate().Complete());
  zip_.Close();

  const Files after = Volumes();
  EXPECT_EQ(after.at("arc.z01"), before.at("arc.z01"));
  EXPECT_EQ(after.at("arc.z02"), before.at("arc.z02"));
  // The old last volume took its numbered name; its entries stayed.
  ASSERT_EQ(after.count("arc.z03"), 1u);
  EXPECT_EQ(after.at("arc.z03").substr(0, directory),
            last.substr(0, directory));
  EXPECT_EQ(after.at("arc.z03").size(), static_cast<size_t>(kVolumeSize));
  EXPECT_EQ(requests_, (std::vector<int32_t>{4, 5}))
      << "each new volume was requested like a blank one";
  ExpectReadable({"a.bin", "b.bin", "c.bin", "s.bin", "d.bin", "e.bin"});

  // It opens as a split archive of five volumes again.
  zip_.Open();
  EXPECT_EQ(zip_.SpanningMode(), smSplitting);
  EXPECT_EQ(zip_.DirectoryStore()->Dir.Count(), 6);
  zip_.Close();
}

// A new archive created after a split one was written starts with a fresh
// transaction state: its first update is not refused as a second update.
TEST_F(SplitUpdateTest, ArchiveCreatedAfterAnotherTakesItsFirstUpdate) {
  MakeArchive();
  zip_.FileName = out_.Join("other.zip");
  zip_.Open(kOpenCreate);
  EXPECT_NO_THROW(zip_.AddMatchingFiles());
  EXPECT_EQ(zip_.LastUpdate().Outcome, uoApplied);
  zip_.Close();
  EXPECT_TRUE(std::filesystem::exists(out_.Join("other.z01")));
}

TEST_F(SplitUpdateTest, NumberedNameTakenByAnotherFileStopsTheGrowth) {
  MakeArchive();
  out_.WriteFile("arc.z03", "not ours");
  const Files before = Volumes();
  UpdateArchive();
  EXPECT_EQ(zip_.LastUpdate().Outcome, uoAborted);
  EXPECT_EQ(zip_.LastUpdate().NativeError, 45);
  EXPECT_EQ(Volumes(), before);
  zip_.Close();
}

TEST_F(SplitUpdateTest, ReplacingAnEntryOfTheLastVolumeRollsBackExactly) {
  MakeArchive();
  const Files before = Volumes();
  // s.bin, on the last volume, grows beyond it.
  in_.WriteFile("s.bin", Noise(90000, 9));
  zip_.OnOverallProgress = [](Component*, double, TZAProcessOperation,
                              TZAProgressPhase phase,
                              bool& cancel) { cancel = phase == ppEnd; };
  Select({}, {"s.bin"});
  zip_.Open();
  zip_.BeginUpdate();
  zip_.AddMatchingFiles();
  zip_.EndUpdate();
  EXPECT_EQ(zip_.LastUpdate().Outcome, uoCancelled);
  EXPECT_EQ(requests_, (std::vector<int32_t>{4})) << "it had grown";
  EXPECT_EQ(Volumes(), before);
  zip_.Close();
  in_.WriteFile("s.bin", sources_.at("s.bin"));
  ExpectReadable({"a.bin", "b.bin", "c.bin", "s.bin"});
}

// ---- Spanned volumes
// ------------------------------------------------------------

TEST_F(SplitUpdateTest, SpannedVolumeOnAFixedFolderNeverOverwritesTheLastOne) {
  Split(smSpanning);
  sources_ = {{"a.bin", Noise(50000, 1)}, {"b.bin", Noise(50000, 2)}};
  Select(sources_, {"a.bin", "b.bin"});
  zip_.Open(kOpenCreate);
  EXPECT_NO_THROW(zip_.AddMatchingFiles());
  // Every disk has the archive's name: the second would be the first.
  EXPECT_EQ(zip_.LastUpdate().Outcome, uoAborted);
  EXPECT_EQ(zip_.LastUpdate().NativeError, 45);
  EXPECT_EQ(requests_, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Volumes(), (Files{{"arc.zip", ""}}));
  zip_.Close();
  EXPECT_EQ(Volumes(), (Files{{"arc.zip", kEmptyArchive}}));
}

TEST_F(SplitUpdateTest, SpannedDiskThatWasNotChangedIsAskedForAgain) {
  Split(smSpanning);
  env_.SetDriveType(platform::DriveType::kRemovable);
  env_.AcceptVolumeLabels();
  const std::string disk1 = out_.MakeDir("disk1");
  int asked_for_second = 0;
  on_blank_ = [&](int32_t number, std::string&) {
    // The first time the user answers without changing the disk; the
    // second time the first disk's file has gone with its disk.
    if (number == 2 && ++asked_for_second == 2) {
      std::filesystem::rename(zip_.FileName, disk1 + "arc.zip");
    }
  };
  sources_ = {{"a.bin", Noise(50000, 1)}, {"b.bin", Noise(50000, 2)}};
  Select(sources_, {"a.bin", "b.bin"});
  zip_.Open(kOpenCreate);
  zip_.AddMatchingFiles();
  zip_.Close();
  EXPECT_EQ(zip_.LastUpdate().Outcome, uoApplied);
  EXPECT_EQ(requests_, (std::vector<int32_t>{1, 2, 2}));
  const test::ZipReadResult read =
      test::ReadZipVolumes({disk1 + "arc.zip", zip_.FileName});
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.Names(), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST_F(SplitUpdateTest, SpannedDiskNotChangedAndThenDeclinedRollsBack) {
  Split(smSpanning);
  env_.SetDriveType(platform::DriveType::kRemovable);
  env_.AcceptVolumeLabels();
  zip_.OnRequestBlankVolume = nullptr;  // the default boxes ask
  dialogs_.answers = {mrOk, mrOk, mrCancel};
  sources_ = {{"a.bin", Noise(50000, 1)}, {"b.bin", Noise(50000, 2)}};
  Select(sources_, {"a.bin", "b.bin"});
  zip_.Open(kOpenCreate);
  zip_.AddMatchingFiles();
  std::vector<std::string> texts;
  for (const auto& box : dialogs_.boxes) texts.push_back(box.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Please insert a blank disk #1",
                                             "Please insert a blank disk #2",
                                             "Please insert a blank disk #2"}));
  EXPECT_EQ(zip_.LastUpdate().Outcome, uoAborted);
  EXPECT_EQ(Volumes(), (Files{{"arc.zip", ""}}));
  zip_.Close();
}

}  // namespace
}  // namespace tessaly::engine
