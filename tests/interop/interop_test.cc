// Archives written by the engine, checked by independent readers: Info-ZIP
// unzip, 7-Zip and Python's zipfile (which also compares every entry's
// bytes with its source file). Split archives are joined first: by 7-Zip
// itself, by a join of our own (tests/interop/zipcheck.py, correct for
// entries spanning any number of volumes) and, where it is known to work,
// by Info-ZIP's `zip -s 0`. A missing tool fails the test.
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

using test::RunCommand;
using test::ShellQuote;

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
  return bytes;
}

std::string Report(size_t lines, uint32_t seed) {
  std::mt19937 rng(seed);
  static const char* const kWords[] = {"ledger", "total", "invoice", "stock",
                                       "customer", "balance", "2026", "net"};
  std::string text;
  for (size_t i = 0; i < lines; ++i) {
    text += "Line " + std::to_string(i) + ":";
    for (int w = 0; w < 8; ++w) text += std::string(" ") + kWords[rng() % 8];
    text += "\r\n";
  }
  return text;
}

class InteropTest : public ::testing::Test {
 protected:
  InteropTest() {
    src_ = out_.Join("data/");
    ::mkdir(src_.c_str(), 0755);
    ::mkdir((src_ + "sub").c_str(), 0755);
    ::mkdir((src_ + "empty-folder").c_str(), 0755);
    Write("report.rpt", Report(3000, 1));        // ~200 KB, compressible
    Write("noise.dat", RandomBytes(300000, 2));  // incompressible
    Write("empty.cfg", "");
    Write("sub/picture.bmp", std::string(70000, '\x7f') + RandomBytes(500, 3));
    Write("sub/caf\xC3\xA9.dat", "accented name");  // é: 0x82 in CP437
    zip_.SetName("ZipArchiver");
    zip_.SetDialogService(&dialogs_);
    zip_.BaseDir = src_;
    zip_.FileMasks.Add("*.*");
    zip_.SetCompressionMode(9);
    zip_.FileName = out_.Join("out/test.zip");
    ::mkdir(out_.Join("out").c_str(), 0755);
  }

  void Write(const std::string& name, const std::string& content) {
    std::ofstream(src_ + name, std::ios::binary) << content;
  }

  void Build() {
    zip_.Open(kOpenCreate);
    zip_.AddMatchingFiles();
    zip_.Close();
  }

  static void ExpectOk(const test::CommandResult& r, const std::string& what) {
    EXPECT_EQ(r.exit_code, 0) << what << "\n" << r.output;
  }

  void CheckUnzip(const std::string& archive, const std::string& password = "") {
    ExpectOk(RunCommand("unzip -t " +
                        (password.empty() ? "" : "-P " + ShellQuote(password) + " ") +
                        ShellQuote(archive)),
             "unzip -t");
  }
  void Check7z(const std::string& archive, const std::string& password = "") {
    ExpectOk(RunCommand("7z t -p" + ShellQuote(password) + " " + ShellQuote(archive)),
             "7z t");
  }
  void CheckPython(const std::string& archive, const std::string& password = "") {
    ExpectOk(RunCommand("python3 " + ShellQuote(Script()) + " verify " +
                        ShellQuote(archive) + " " + ShellQuote(src_) +
                        (password.empty() ? "" : " --password " + ShellQuote(password))),
             "python zipfile");
  }
  static std::string Script() {
    return test::SourceDir() + "/tests/interop/zipcheck.py";
  }

  // Volume files in order: the numbered ones, then the archive's name.
  std::vector<std::string> Volumes(bool classic) {
    std::vector<std::string> names;
    for (int i = 1;; ++i) {
      char suffix[16];
      std::snprintf(suffix, sizeof(suffix), classic ? ".z%02d" : "_%03d.zip", i);
      const std::string name = out_.Join("out/test") + suffix;
      struct stat st;
      if (::stat(name.c_str(), &st) != 0) break;
      names.push_back(name);
    }
    names.push_back(zip_.FileName);
    return names;
  }

  std::string Join(const std::vector<std::string>& volumes) {
    std::string command = "python3 " + ShellQuote(Script()) + " join " +
                          ShellQuote(out_.Join("joined.zip"));
    for (const std::string& v : volumes) command += " " + ShellQuote(v);
    ExpectOk(RunCommand(command), "join");
    return out_.Join("joined.zip");
  }

  static int64_t SizeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
  }

  test::TempDir out_;
  std::string src_;
  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
};

TEST_F(InteropTest, SingleFileArchiveIsReadByEveryReader) {
  Build();
  CheckUnzip(zip_.FileName);
  Check7z(zip_.FileName);
  CheckPython(zip_.FileName);
  const auto listing = RunCommand("unzip -Z1 " + ShellQuote(zip_.FileName));
  EXPECT_NE(listing.output.find("empty-folder/"), std::string::npos)
      << listing.output;
  EXPECT_NE(listing.output.find("sub/caf"), std::string::npos);
}

TEST_F(InteropTest, SplitArchiveWithClassicNamesIsReadAfterJoining) {
  zip_.SetSpanningMode(smSplitting);
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(65536);
  Build();
  const std::vector<std::string> volumes = Volumes(/*classic=*/true);
  ASSERT_GT(volumes.size(), 4u) << "entries must cross several volumes";
  int at_limit = 0;
  for (size_t i = 0; i + 1 < volumes.size(); ++i) {
    EXPECT_LE(SizeOf(volumes[i]), 65536) << volumes[i];
    at_limit += SizeOf(volumes[i]) == 65536;
  }
  EXPECT_GT(at_limit, 0) << "data crossing a limit fills the volume exactly";
  Check7z(zip_.FileName);  // 7-Zip reads .z01 volumes directly
  const std::string joined = Join(volumes);
  CheckUnzip(joined);
  CheckPython(joined);
}

TEST_F(InteropTest, SplitArchiveWithAdvancedNamesIsReadAfterJoining) {
  zip_.SetSpanningMode(smSplitting);
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(100000);
  Build();
  const std::vector<std::string> volumes = Volumes(/*classic=*/false);
  ASSERT_GT(volumes.size(), 2u);
  const std::string joined = Join(volumes);
  CheckUnzip(joined);
  Check7z(joined);
  CheckPython(joined);
}

TEST_F(InteropTest, InfoZipJoinsVolumesWhenNoEntrySpansThree) {
  zip_.SetSpanningMode(smSplitting);
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(400000);
  Build();
  const std::string joined = out_.Join("zipjoined.zip");
  ExpectOk(RunCommand("zip -s 0 " + ShellQuote(zip_.FileName) + " --out " +
                      ShellQuote(joined)),
           "zip -s 0");
  CheckUnzip(joined);
  CheckPython(joined);
}

TEST_F(InteropTest, DirectoryStartingANewVolumeIsFound) {
  // A stored entry that leaves less room in the first volume than its own
  // central header needs: the directory must begin on the next volume.
  zip_.FileMasks.Clear();
  zip_.FileMasks.Add("f.bin");
  zip_.NoCompressionMasks.Add("*");
  Write("f.bin", RandomBytes(65536 - 35 - 20, 4));
  zip_.SetSpanningMode(smSplitting);
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(65536);
  Build();
  const std::vector<std::string> volumes = Volumes(/*classic=*/true);
  ASSERT_EQ(volumes.size(), 2u);
  EXPECT_EQ(SizeOf(volumes[0]), 65536 - 20);
  Check7z(zip_.FileName);
  CheckPython(Join(volumes));
}

TEST_F(InteropTest, Zip64AlwaysIsReadByEveryReader) {
  zip_.Zip64Mode = zmAlways;
  Build();
  CheckUnzip(zip_.FileName);
  Check7z(zip_.FileName);
  CheckPython(zip_.FileName);
}

TEST_F(InteropTest, EncryptedEntriesDecryptWithThePassword) {
  zip_.Password = "s3cret";
  Build();
  CheckUnzip(zip_.FileName, "s3cret");
  Check7z(zip_.FileName, "s3cret");
  CheckPython(zip_.FileName, "s3cret");
  EXPECT_NE(RunCommand("unzip -t -P wrong " + ShellQuote(zip_.FileName)).exit_code, 0);
}

TEST_F(InteropTest, EncryptedSplitArchive) {
  zip_.Password = "pw";
  zip_.SetSpanningMode(smSplitting);
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(65536);
  Build();
  Check7z(zip_.FileName, "pw");
  CheckPython(Join(Volumes(/*classic=*/true)), "pw");
}

TEST_F(InteropTest, NoCompressionMasksStoreThoseEntries) {
  zip_.NoCompressionMasks.Add("*.bmp");
  Build();
  CheckUnzip(zip_.FileName);
  CheckPython(zip_.FileName);
  const auto listing = RunCommand("unzip -v " + ShellQuote(zip_.FileName));
  bool found = false;
  std::istringstream lines(listing.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("picture.bmp") != std::string::npos) {
      found = true;
      EXPECT_NE(line.find("Stored"), std::string::npos) << line;
    } else if (line.find("report.rpt") != std::string::npos) {
      EXPECT_NE(line.find("Defl"), std::string::npos) << line;
    }
  }
  EXPECT_TRUE(found) << listing.output;
}

TEST_F(InteropTest, AnsiNamesAreStoredAsTheyAre) {
  zip_.Options.OEMFileNames = false;
  Build();
  CheckUnzip(zip_.FileName);
  Check7z(zip_.FileName);
}

}  // namespace
}  // namespace tessaly::engine
