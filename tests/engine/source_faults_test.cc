// Sources that change between selection and writing: a file that vanishes
// before it is opened, and one that shrinks while it is read. Both are
// offered to the host as per-file failures, and the archive written without
// them is sound.
#include <cstdio>
#include <filesystem>
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

struct SourceFailure {
  std::string file;
  int32_t native_error;
  std::string message;
};

// How the entries are compressed: on one thread, or on two at a mode whose
// blocks the workers compress.
struct FaultCompression {
  const char* label;
  int32_t threads;
  uint8_t mode;
};

class SourceFaultTest : public ::testing::TestWithParam<FaultCompression> {
 protected:
  SourceFaultTest() {
    src_ = dir_.MakeDir("src");
    dir_.WriteFile("src/a.dat", std::string(3 << 20, 'a'));  // several blocks
    dir_.WriteFile("src/b.dat", "bravo");
    zip_.SetName("ZipArchiver");
    zip_.SetDialogService(&dialogs_);
    zip_.FileName = dir_.Join("out.zip");
    zip_.BaseDir = src_;
    zip_.FileMasks.Add("*.dat");
    zip_.SetCompressionMode(GetParam().mode);
    zip_.CompressionThreads = GetParam().threads;
    zip_.OnProcessFileFailure = [this](Component*, const std::string& file,
                                       TZAProcessOperation, int32_t native,
                                       int32_t, const std::string& message,
                                       TZAAction& action) {
      failures_.push_back({file, native, message});
      action = fxaIgnore;
    };
  }

  // The archive's entries, every one read and checked; where the peer
  // tools run, Info-ZIP must list and test the same.
  std::vector<std::string> Entries() {
    const test::ZipReadResult read = test::ReadZip(zip_.FileName);
    EXPECT_TRUE(read.ok()) << read.error;
    if (!test::PeerToolsAvailable()) return read.Names();
    const auto r = test::RunCommand("unzip -Z1 " + test::ShellQuote(zip_.FileName));
    EXPECT_EQ(test::RunCommand("unzip -tq " + test::ShellQuote(zip_.FileName)).exit_code, 0);
    std::vector<std::string> names;
    size_t start = 0;
    for (size_t end; (end = r.output.find('\n', start)) != std::string::npos;
         start = end + 1) {
      names.push_back(r.output.substr(start, end - start));
    }
    EXPECT_EQ(read.Names(), names) << "Info-ZIP reads otherwise";
    return names;
  }

  test::TempDir dir_;
  std::string src_;
  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
  std::vector<SourceFailure> failures_;
};

TEST_P(SourceFaultTest, FileVanishedBeforeWritingIsOfferedAs33) {
  zip_.OnFileProgress = [this](Component*, const std::string& name, double,
                               TZAProcessOperation, TZAProgressPhase phase,
                               bool&) {
    if (phase == ppStart && name.ends_with("a.dat")) {
      std::remove((src_ + "a.dat").c_str());
    }
  };
  zip_.Open(kOpenCreate);
  zip_.AddMatchingFiles();
  zip_.Close();
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].native_error, 33);
  EXPECT_EQ(failures_[0].message, "ZipArchiver: Cannot open file \"" + src_ +
                                      "a.dat\" - Native error: 00033");
  EXPECT_EQ(Entries(), std::vector<std::string>{"b.dat"});
}

TEST_P(SourceFaultTest, FileShrunkWhileReadIsOfferedAs34) {
  bool cut = false;
  zip_.OnFileProgress = [&](Component*, const std::string& name, double,
                            TZAProcessOperation, TZAProgressPhase phase,
                            bool&) {
    if (phase == ppProcess && !cut && name.ends_with("a.dat")) {
      cut = true;
      std::error_code error;
      std::filesystem::resize_file(src_ + "a.dat", 1000, error);
      ASSERT_FALSE(error) << error.message();
    }
  };
  zip_.Open(kOpenCreate);
  zip_.AddMatchingFiles();
  zip_.Close();
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].native_error, 34);
  EXPECT_NE(failures_[0].message.find("Invalid compressed size"),
            std::string::npos)
      << failures_[0].message;
  EXPECT_EQ(Entries(), std::vector<std::string>{"b.dat"});
}

INSTANTIATE_TEST_SUITE_P(Compressions, SourceFaultTest,
                         ::testing::Values(FaultCompression{"OneThread", 1, 1},
                                           FaultCompression{"TwoThreads", 2, 6}),
                         [](const auto& info) {
                           return std::string(info.param.label);
                         });

}  // namespace
}  // namespace tessaly::engine
