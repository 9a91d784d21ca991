// tzip end to end on folders laid out carelessly: names that differ only in
// letter case, names that meet once the path is stripped, names outside
// code page 437, and an archive reached through a symbolic link into the
// folder it packs. Every archive is read back by Python's zipfile, Info-ZIP
// and 7-Zip.
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

using test::RunCommand;
using test::ShellQuote;

class TzipSelectionTest : public ::testing::Test {
 protected:
  TzipSelectionTest() { dir_.MakeDir("src"); }

  // Runs tzip in the temporary folder with `answers` on its stdin.
  test::CommandResult Tzip(const std::string& arguments,
                           const std::string& answers = "") {
    return RunCommand("cd " + ShellQuote(dir_.path()) + " && printf '" +
                      answers + "' | " +
                      ShellQuote(test::BinaryDir() + "/app/tzip") + " " +
                      arguments);
  }

  // The entry names Python's zipfile reads, one per line.
  std::string Names(const std::string& archive) {
    const test::CommandResult r = RunCommand(
        "python3 -c 'import sys, zipfile\n"
        "for n in zipfile.ZipFile(sys.argv[1]).namelist(): print(n)' " +
        ShellQuote(dir_.Join(archive)));
    EXPECT_EQ(r.exit_code, 0) << r.output;
    return r.output;
  }

  std::string Entry(const std::string& archive, const std::string& name) {
    const test::CommandResult r = RunCommand(
        "python3 -c 'import sys, zipfile\n"
        "sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2])"
        ".decode())' " +
        ShellQuote(dir_.Join(archive)) + " " + ShellQuote(name));
    EXPECT_EQ(r.exit_code, 0) << r.output;
    return r.output;
  }

  void ExpectPeersRead(const std::string& archive) {
    const std::string path = ShellQuote(dir_.Join(archive));
    test::CommandResult r = RunCommand("unzip -t " + path);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    r = RunCommand("7z t " + path);
    EXPECT_EQ(r.exit_code, 0) << r.output;
  }

  test::TempDir dir_;
};

TEST_F(TzipSelectionTest, NamesDifferingInCaseAreReportedAndExitFour) {
  dir_.WriteFile("src/CUST.dat", "upper");
  dir_.WriteFile("src/cust.dat", "lower");
  dir_.WriteFile("src/Cust.DAT", "mixed");

  const test::CommandResult r = Tzip("t.zip 'src/*'", "Ignore\\nIgnore\\n");

  EXPECT_EQ(r.exit_code, 4) << r.output;
  EXPECT_NE(r.output.find("Files \"" + dir_.Join("src/CUST.dat") +
                          "\" and \"" + dir_.Join("src/cust.dat") +
                          "\" would be stored under the same name"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(Names("t.zip"), "src/CUST.dat\n");
  EXPECT_EQ(Entry("t.zip", "src/CUST.dat"), "upper");
  ExpectPeersRead("t.zip");
}

TEST_F(TzipSelectionTest, StrippedPathsThatMeetKeepTheFirstFile) {
  dir_.MakeDir("src/a");
  dir_.MakeDir("src/b");
  dir_.WriteFile("src/a/x.txt", "from a");
  dir_.WriteFile("src/b/x.txt", "from b");

  const test::CommandResult r = Tzip("-p none t.zip 'src/*.txt'", "Ignore\\n");

  EXPECT_EQ(r.exit_code, 4) << r.output;
  EXPECT_NE(r.output.find(dir_.Join("src/a/x.txt") + "\" and \"" +
                          dir_.Join("src/b/x.txt") + "\""),
            std::string::npos)
      << r.output;
  EXPECT_EQ(Names("t.zip"), "x.txt\n");
  EXPECT_EQ(Entry("t.zip", "x.txt"), "from a");
  ExpectPeersRead("t.zip");
}

TEST_F(TzipSelectionTest, ArchiveReachedThroughALinkDoesNotPackItself) {
  dir_.WriteFile("src/a.txt", std::string(50000, 'a'));
  dir_.WriteFile("src/b.bin", std::string(90000, 'b'));
  ASSERT_EQ(symlink("src", dir_.Join("lnk").c_str()), 0);

  test::CommandResult r = Tzip("lnk/g.zip 'src/*'");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(Names("src/g.zip"), "src/a.txt\nsrc/b.bin\n");
  ExpectPeersRead("src/g.zip");

  // Split: the first volume exists while the folder is scanned. The files
  // it prints are the volumes, first to last.
  r = Tzip("-0 -s 65536 --classic-naming lnk/s.zip 'src/*.*'");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ASSERT_EQ(r.output.substr(0, 10), "lnk/s.z01\n") << r.output;
  std::string join = "cd " + ShellQuote(dir_.path()) + " && python3 " +
                     ShellQuote(test::SourceDir() + "/tests/interop/zipcheck.py") +
                     " join joined.zip";
  for (size_t at = 0, end; (end = r.output.find('\n', at)) != std::string::npos;
       at = end + 1) {
    join += " " + ShellQuote(r.output.substr(at, end - at));
  }
  r = RunCommand(join);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(Names("joined.zip"), "src/a.txt\nsrc/b.bin\nsrc/g.zip\n");
  ExpectPeersRead("joined.zip");
  r = RunCommand("7z t " + ShellQuote(dir_.Join("src/s.zip")));
  EXPECT_EQ(r.exit_code, 0) << r.output;
}

// Names that code page 437 cannot hold are written in UTF-8 with general
// purpose bit 11; each peer lists them under their own names.
TEST_F(TzipSelectionTest, NamesOutsideCodePage437KeepTheirNames) {
  const std::vector<std::string> names = {
      "\xC3\x84rger.dat",      // Ärger.dat, in CP437
      "\xC5\x9D.dat",          // ŝ.dat
      "\xE4\xB8\xAD.dat",      // 中.dat
      "\xE6\x96\x87.dat",      // 文.dat
      "\xF0\x9F\x98\x80.dat",  // 😀.dat
  };
  std::string expected;
  for (const std::string& name : names) {
    dir_.WriteFile("src/" + name, "data of " + name);
    expected += name + "\n";
  }

  const test::CommandResult r = Tzip("-b src t.zip '*.dat'");
  ASSERT_EQ(r.exit_code, 0) << r.output;

  EXPECT_EQ(Names("t.zip"), expected);
  for (const std::string& name : names) {
    EXPECT_EQ(Entry("t.zip", name), "data of " + name);
  }
  ExpectPeersRead("t.zip");
  // Info-ZIP and 7-Zip list the flagged names as they are. (The CP437 name
  // they show in their own ways: Info-ZIP in ISO 8859-1, p7zip as its
  // bytes, as for every archive with OEM names.)
  const std::string path = ShellQuote(dir_.Join("t.zip"));
  const test::CommandResult unzip =
      RunCommand("LANG=C.UTF-8 unzip -Z1 " + path);
  const test::CommandResult sevenzip = RunCommand(
      "7z l -slt -sccUTF-8 " + path + " | sed -n 's/^Path = //p'");
  for (size_t i = 1; i < names.size(); ++i) {
    EXPECT_NE(unzip.output.find("\n" + names[i] + "\n"), std::string::npos)
        << unzip.output;
    EXPECT_NE(sevenzip.output.find("\n" + names[i] + "\n"), std::string::npos)
        << sevenzip.output;
  }
  EXPECT_EQ(std::count(unzip.output.begin(), unzip.output.end(), '\n'), 5);
  // Extracted by Info-ZIP, the files carry their names.
  dir_.MakeDir("out");
  const test::CommandResult extracted = RunCommand(
      "cd " + ShellQuote(dir_.Join("out")) + " && LANG=C.UTF-8 unzip -q " +
      path + " && ls");
  for (size_t i = 1; i < names.size(); ++i) {
    EXPECT_EQ(dir_.ReadFile("out/" + names[i]), "data of " + names[i])
        << extracted.output;
  }
}

}  // namespace
}  // namespace tessaly::engine
