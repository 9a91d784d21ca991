// Archives that other tools wrote, updated by the engine: a file is added
// and one is replaced, the entries behind the first change are carried
// over, and the result must still pass `unzip -t` and give every entry's
// bytes back to Python's zipfile. Also covers tzip's list and update modes.
#include <sys/stat.h>

#include <string>

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

class UpdateInteropTest : public ::testing::Test {
 protected:
  UpdateInteropTest() {
    src_ = dir_.Join("src/");
    ::mkdir(src_.c_str(), 0755);
    dir_.WriteFile("src/a.txt", std::string(20000, 'a') + "end of a");
    dir_.WriteFile("src/b.txt", "second file, kept as it is");
    dir_.WriteFile("src/c.txt", std::string(5000, 'c'));
    archive_ = dir_.Join("peer.zip");
  }

  void Make(const std::string& command) {
    const auto r = RunCommand("cd " + ShellQuote(src_) + " && " + command);
    ASSERT_EQ(r.exit_code, 0) << command << "\n" << r.output;
  }

  // An archiver on the peer's archive selecting `masks` in src/.
  void Configure(TZipArchiver& zip, std::initializer_list<const char*> masks) {
    zip.SetDialogService(&dialogs_);
    zip.FileName = archive_;
    zip.BaseDir = src_;
    for (const char* mask : masks) zip.FileMasks.Add(mask);
  }

  // Python's zipfile reads `count` entries, each equal to its source file.
  void Verify(int count) {
    const auto r = RunCommand(
        "python3 " + ShellQuote(test::SourceDir() + "/tests/interop/zipcheck.py") +
        " verify " + ShellQuote(archive_) + " " + ShellQuote(src_));
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find(std::to_string(count) + " entries ok"),
              std::string::npos)
        << r.output;
  }

  // Replaces a.txt and adds d.txt through the engine.
  void Update() {
    dir_.WriteFile("src/a.txt", "a replaced");
    dir_.WriteFile("src/d.txt", std::string(3000, 'd'));
    TZipArchiver zip;
    Configure(zip, {"a.txt", "d.txt"});
    zip.Open();
    ASSERT_EQ(zip.LastOpenMode(), kOpenReadWriteDenyWrite);
    zip.AddMatchingFiles();
    EXPECT_EQ(zip.EntryCount(), 4);
    zip.Close();
  }

  void Check() {
    const auto r = RunCommand("unzip -t " + ShellQuote(archive_));
    EXPECT_EQ(r.exit_code, 0) << r.output;
    Verify(4);
  }

  test::TempDir dir_;
  std::string src_;
  std::string archive_;
  ScriptedDialogService dialogs_;
};

TEST_F(UpdateInteropTest, InfoZipArchiveWithComment) {
  Make("zip -q " + ShellQuote(archive_) + " a.txt b.txt c.txt && echo 'the comment' | zip -q -z " +
       ShellQuote(archive_));
  Update();
  Check();
  const auto r = RunCommand("unzip -z " + ShellQuote(archive_));
  EXPECT_NE(r.output.find("the comment"), std::string::npos) << r.output;
}

TEST_F(UpdateInteropTest, PythonZip64ArchiveWithComment) {
  Make("python3 -c \"import zipfile\n"
       "with zipfile.ZipFile('" + archive_ + "', 'w', zipfile.ZIP_DEFLATED) as z:\n"
       "    z.comment = b'python comment'\n"
       "    for n in ('a.txt', 'b.txt', 'c.txt'):\n"
       "        with open(n, 'rb') as f, z.open(n, 'w', force_zip64=True) as o:\n"
       "            o.write(f.read())\n\"");
  Update();
  Check();
}

TEST_F(UpdateInteropTest, SevenZipArchive) {
  Make("7z a -tzip -bd " + ShellQuote(archive_) + " a.txt b.txt c.txt >/dev/null");
  Update();
  Check();
}

TEST_F(UpdateInteropTest, ArchiveWithAStubInFront) {
  Make("zip -q " + ShellQuote(dir_.Join("plain.zip")) + " a.txt b.txt c.txt && cat " +
       ShellQuote(dir_.Join("plain.zip")) + " > " + ShellQuote(archive_ + ".tmp") +
       " && (head -c 2048 /dev/zero; cat " + ShellQuote(archive_ + ".tmp") + ") > " +
       ShellQuote(archive_));
  Update();
  Check();
}

TEST_F(UpdateInteropTest, TzipListsAndUpdates) {
  const std::string tzip = test::BinaryDir() + "/app/tzip";
  Make("zip -q " + ShellQuote(archive_) + " a.txt b.txt c.txt");
  dir_.WriteFile("src/d.txt", std::string(3000, 'd'));
  dir_.WriteFile("src/a.txt", "a replaced");
  auto r = RunCommand(ShellQuote(tzip) + " -u -b " + ShellQuote(src_) + " " +
                      ShellQuote(archive_) + " a.txt d.txt");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, archive_ + "\n");
  Check();
  r = RunCommand(ShellQuote(tzip) + " -l " + ShellQuote(archive_));
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("a.txt\t10\t"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("b.txt\t26\t26\t0\t"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("4 entries\n"), std::string::npos) << r.output;
}

TEST_F(UpdateInteropTest, TzipReportsEngineErrorsOnStderr) {
  const std::string tzip = test::BinaryDir() + "/app/tzip";
  const auto r = RunCommand(ShellQuote(tzip) + " -l " + ShellQuote(dir_.Join("missing.zip")));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.output, "EZAException: ZipArchiver: File \"" + dir_.Join("missing.zip") +
                          "\" not found - Native error: 00012\n");
}

TEST_F(UpdateInteropTest, InfoZipSplitArchiveTakesNewFilesInOneTransaction) {
  dir_.WriteFile("src/n.bin", std::string(200000, 'n'));
  Make("zip -q -0 -s 64k " + ShellQuote(archive_) + " a.txt b.txt c.txt n.bin");
  dir_.WriteFile("src/d.txt", std::string(3000, 'd'));
  TZipArchiver zip;
  Configure(zip, {"d.txt"});
  zip.Open();
  ASSERT_EQ(zip.SpanningMode(), smSplitting);
  zip.BeginUpdate();
  zip.AddMatchingFiles();
  zip.EndUpdate();
  zip.Close();
  auto r = RunCommand("7z t " + ShellQuote(archive_));
  EXPECT_EQ(r.exit_code, 0) << r.output;
  // n.bin spans three volumes, which `zip -s 0` cannot join: our own join.
  const std::string joined = dir_.Join("joined.zip");
  r = RunCommand("python3 " + ShellQuote(test::SourceDir() + "/tests/interop/zipcheck.py") +
                 " join " + ShellQuote(joined) + " " + ShellQuote(dir_.Join("peer.z01")) + " " +
                 ShellQuote(dir_.Join("peer.z02")) + " " + ShellQuote(dir_.Join("peer.z03")) +
                 " " + ShellQuote(archive_));
  ASSERT_EQ(r.exit_code, 0) << r.output;
  archive_ = joined;
  r = RunCommand("unzip -t " + ShellQuote(archive_));
  EXPECT_EQ(r.exit_code, 0) << r.output;
  Verify(5);
}

TEST_F(UpdateInteropTest, SplitArchiveRefusesToRewriteEarlierVolumes) {
  dir_.WriteFile("src/n.bin", std::string(200000, 'n'));
  Make("zip -q -0 -s 64k " + ShellQuote(archive_) + " a.txt b.txt c.txt n.bin");
  const std::string before = dir_.ReadFile("peer.z01") + dir_.ReadFile("peer.zip");
  dir_.WriteFile("src/a.txt", "a replaced");  // a.txt lies on the first volume
  TZipArchiver zip;
  Configure(zip, {"a.txt"});
  zip.Open();
  zip.BeginUpdate();
  zip.AddMatchingFiles();
  try {
    zip.EndUpdate();
    FAIL() << "an earlier volume was rewritten";
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError(), 52) << e.what();
  }
  zip.Close();
  EXPECT_EQ(dir_.ReadFile("peer.z01") + dir_.ReadFile("peer.zip"), before);
}

}  // namespace
}  // namespace tessaly::engine
