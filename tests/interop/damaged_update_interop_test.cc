// `tzip -u` on damaged and stubbed archives, end to end: an archive whose
// end record is not found (junk after it, or a download cut short) and an
// archive with a stub put in front without adjusting its offsets. After the
// update `unzip -t`, `7z t` and Python's zipfile must read every entry that
// was whole before, plus the new one, and an empty file must still be a
// file.
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

using test::RunCommand;
using test::ShellQuote;

class DamagedUpdateInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    src_ = dir_.MakeDir("src");
    archive_ = dir_.Join("a.zip");
    Run("head -c 150000 /dev/urandom > a.bin && seq 1 30000 > b.txt && "
        ": > empty.dat");
    Tzip("", "a.bin b.txt empty.dat");
    original_ = dir_.ReadFile(archive_);
    ASSERT_FALSE(original_.empty());
    dir_.WriteFile("src/new.txt", "added by tzip -u\n");
  }

  void Run(const std::string& command) {
    const auto r = RunCommand("cd " + ShellQuote(src_) + " && " + command);
    ASSERT_EQ(r.exit_code, 0) << command << "\n" << r.output;
  }

  void Tzip(const std::string& options, const std::string& masks) {
    const std::string tzip = test::BinaryDir() + "/app/tzip";
    const auto r = RunCommand(ShellQuote(tzip) + " " + options + " -b " +
                              ShellQuote(src_) + " " + ShellQuote(archive_) +
                              " " + masks);
    ASSERT_EQ(r.exit_code, 0) << r.output;
  }

  // The peers read the archive: `unzip -t` without a warning, `7z t`, and
  // Python's zipfile finds `count` entries equal to their source files.
  void CheckWithPeers(int count) {
    auto r = RunCommand("unzip -t " + ShellQuote(archive_));
    EXPECT_EQ(r.exit_code, 0) << r.output;
    r = RunCommand("7z t " + ShellQuote(archive_));
    EXPECT_EQ(r.exit_code, 0) << r.output;
    r = RunCommand("python3 " +
                   ShellQuote(test::SourceDir() + "/tests/interop/zipcheck.py") +
                   " verify " + ShellQuote(archive_) + " " + ShellQuote(src_));
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find(std::to_string(count) + " entries ok"),
              std::string::npos)
        << r.output;
  }

  // zipinfo's line for `name`: "-rw..." for a file, "drw..." for a folder.
  std::string ZipInfoLine(const std::string& name) {
    const auto r = RunCommand("zipinfo " + ShellQuote(archive_) + " " + name);
    return r.output;
  }

  test::TempDir dir_;
  std::string src_;
  std::string archive_;
  std::string original_;
};

TEST_F(DamagedUpdateInteropTest, JunkAfterTheEndRecord) {
  dir_.WriteFile("a.zip", original_ + "x");
  Tzip("-u", "new.txt");
  CheckWithPeers(4);
  EXPECT_EQ(ZipInfoLine("empty.dat").substr(0, 1), "-")
      << ZipInfoLine("empty.dat");
  const std::string updated = dir_.ReadFile(archive_);
  EXPECT_GT(updated.size(), original_.size() - 300);
}

TEST_F(DamagedUpdateInteropTest, DownloadCutShort) {
  // Cut 1,000 bytes into b.txt's data: a.bin is whole, the rest is lost.
  const size_t name = original_.find("b.txt");  // in its local header
  ASSERT_NE(name, std::string::npos);
  dir_.WriteFile("a.zip", original_.substr(0, name + 5 + 1000));
  Tzip("-u", "new.txt");
  CheckWithPeers(2);
  const auto r = RunCommand("unzip -Z1 " + ShellQuote(archive_));
  EXPECT_EQ(r.output, "a.bin\nnew.txt\n");
}

TEST_F(DamagedUpdateInteropTest, StubInFrontOfAnArchive) {
  dir_.WriteFile("stub.bin", std::string(3000, '\x90'));
  const std::string plain = dir_.WriteFile("plain.zip", original_);
  const auto made = RunCommand("cat " + ShellQuote(dir_.Join("stub.bin")) +
                               " " + ShellQuote(plain) + " > " +
                               ShellQuote(archive_));
  ASSERT_EQ(made.exit_code, 0) << made.output;
  Tzip("-u", "new.txt");
  // unzip -t exits 0 only when no offset needed correcting: the new
  // directory counts the stub.
  CheckWithPeers(4);
  EXPECT_EQ(ZipInfoLine("empty.dat").substr(0, 1), "-");
}

}  // namespace
}  // namespace tessaly::engine
