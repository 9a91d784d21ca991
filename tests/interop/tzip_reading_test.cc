// tzip -t, -x and --join end to end: on archives the write path makes in
// every form (levels, encryption, Zip64, both volume namings, volumes so
// small that entries span many of them), on archives other programs made
// (one behind a self-extractor stub),
// on damaged archives and on hostile ones. Joined archives are checked by
// Info-ZIP unzip, Python's zipfile and 7-Zip; extracted files are compared
// byte for byte with their sources.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/noise.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

using test::RunCommand;
using test::ShellQuote;

std::string Ledger(size_t lines) {
  std::string text;
  for (size_t i = 0; i < lines; ++i) {
    text += "Line " + std::to_string(i) + ": invoice " +
            std::to_string(i * 7919 % 10007) + " balance carried\r\n";
  }
  return text;
}

class TzipReadingTest : public ::testing::Test {
 protected:
  TzipReadingTest() {
    dir_.MakeDir("data");
    dir_.MakeDir("data/sub");
    dir_.MakeDir("data/empty");
    // noise.dat deflates to more than three 64 KiB volumes.
    dir_.WriteFile("data/noise.dat", test::Noise(230000, 7));
    dir_.WriteFile("data/ledger.txt", Ledger(20000));
    dir_.WriteFile("data/sub/empty.cfg", "");
    dir_.WriteFile("data/sub/small.txt", "a small file\n");
  }

  std::string Path(const std::string& name) const { return dir_.Join(name); }
  std::string Q(const std::string& name) const { return ShellQuote(Path(name)); }

  // Runs tzip in the temporary folder.
  test::CommandResult Tzip(const std::string& arguments) {
    return RunCommand("cd " + ShellQuote(dir_.path()) + " && " +
                      ShellQuote(test::BinaryDir() + "/app/tzip") + " " +
                      arguments + " </dev/null");
  }

  // Runs a command in the temporary folder.
  test::CommandResult Shell(const std::string& command) {
    return RunCommand("cd " + ShellQuote(dir_.path()) + " && " + command);
  }

  void ExpectSameTree(const std::string& extracted) {
    const test::CommandResult r = Shell("diff -r data " + extracted + "/data");
    EXPECT_EQ(r.exit_code, 0) << r.output;
  }

  void ExpectPeersAccept(const std::string& archive,
                         const std::string& password = "") {
    const std::string p = password.empty() ? "" : " -P " + password;
    test::CommandResult r = Shell("unzip -t -q" + p + " " + archive);
    EXPECT_EQ(r.exit_code, 0) << "unzip -t\n" << r.output;
    r = Shell("7z t -bd" + (password.empty() ? std::string(" -p-") : " -p" + password) +
              " " + archive);
    EXPECT_EQ(r.exit_code, 0) << "7z t\n" << r.output;
    r = Shell("python3 " +
              ShellQuote(test::SourceDir() + "/tests/interop/zipcheck.py") +
              " verify " + archive + " ." +
              (password.empty() ? "" : " --password " + password));
    EXPECT_EQ(r.exit_code, 0) << "zipfile\n" << r.output;
  }

  // Tests, extracts and joins `archive`, comparing and checking each.
  void RoundTrip(const std::string& archive, const std::string& password) {
    const std::string p = password.empty() ? "" : " -P " + password;
    test::CommandResult r = Tzip("-t " + archive + p);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find("entries tested, all OK"), std::string::npos)
        << r.output;
    r = Tzip("-x " + archive + " -d x" + p);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    ExpectSameTree("x");
    r = Tzip("--join " + archive + " joined.zip");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    ExpectPeersAccept("joined.zip", password);
    Shell("rm -rf x joined.zip");
  }

  test::TempDir dir_;
};

TEST_F(TzipReadingTest, EveryFormTheWritePathMakesReadsBack) {
  struct Case {
    const char* what;
    const char* options;
    const char* password;
  };
  const Case cases[] = {
      {"stored", "-0", ""},
      {"level 9, encrypted", "-9 -P pw0rd", "pw0rd"},
      {"Zip64 always", "--zip64 always", ""},
      {"split, .z01 naming, entries over many volumes",
       "-s 64k --classic-naming", ""},
      {"split, _001 naming, encrypted, Zip64", "-s 64k --zip64 always -P pw0rd",
       "pw0rd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Shell("rm -f out.*");
    const test::CommandResult made =
        Tzip(std::string("-q ") + c.options + " out.zip data");
    ASSERT_EQ(made.exit_code, 0) << made.output;
    RoundTrip("out.zip", c.password);
  }
  // The split archive above had its noise.dat over at least four volumes.
  EXPECT_EQ(Shell("test -f out_004.zip").exit_code, 0);
}

TEST_F(TzipReadingTest, ArchivesOtherProgramsMadeReadBack) {
  struct Case {
    const char* what;
    const char* command;
  };
  const Case cases[] = {
      {"Info-ZIP", "zip -q -r peer.zip data"},
      {"Info-ZIP split", "zip -q -r -s 64k peer.zip data"},
      {"7-Zip", "7z a -bd -tzip peer.zip data >/dev/null"},
      {"Info-ZIP behind a stub",
       "zip -q -r p.zip data && { head -c 3000 /dev/zero; cat p.zip; } "
       "> peer.zip && rm p.zip"},
      {"Python zipfile, Zip64",
       "python3 -c 'import os, zipfile\n"
       "with zipfile.ZipFile(\"peer.zip\", \"w\", zipfile.ZIP_DEFLATED) as z:\n"
       "  for root, dirs, files in os.walk(\"data\"):\n"
       "    for d in dirs: z.write(os.path.join(root, d))\n"
       "    for f in files:\n"
       "      p = os.path.join(root, f)\n"
       "      with open(p, \"rb\") as s, z.open(p, \"w\", force_zip64=True) as o:\n"
       "        o.write(s.read())'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Shell("rm -f peer.*");
    const test::CommandResult made = Shell(c.command);
    ASSERT_EQ(made.exit_code, 0) << made.output;
    RoundTrip("peer.zip", "");
  }
}

TEST_F(TzipReadingTest, AFlippedByteFailsItsEntryOnly) {
  ASSERT_EQ(Tzip("-q -0 out.zip data").exit_code, 0);
  // Flip a byte inside ledger.txt's stored data.
  const test::CommandResult flipped = Shell(
      "python3 -c 'import sys\n"
      "b = bytearray(open(\"out.zip\", \"rb\").read())\n"
      "i = b.index(b\"Line 100:\")\n"
      "b[i] ^= 0x20\n"
      "open(\"out.zip\", \"wb\").write(b)'");
  ASSERT_EQ(flipped.exit_code, 0) << flipped.output;
  test::CommandResult r = Tzip("-t out.zip");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_NE(r.output.find("data/ledger.txt: CRC error"), std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("1 failed"), std::string::npos) << r.output;

  r = Tzip("-x out.zip -d x");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_EQ(Shell("cmp data/noise.dat x/data/noise.dat").exit_code, 0);
  // No half-written file, under its name or a temporary one.
  EXPECT_NE(Shell("test -e x/data/ledger.txt").exit_code, 0);
  EXPECT_EQ(Shell("ls x/data").output, "empty\nnoise.dat\nsub\n");
}

TEST_F(TzipReadingTest, MissingOrTruncatedVolumesAreNamed) {
  ASSERT_EQ(Tzip("-q -s 64k --classic-naming out.zip data").exit_code, 0);
  Shell("mv out.z02 kept.z02");
  test::CommandResult r = Tzip("-t out.zip");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_NE(r.output.find("missing: cannot open \"out.z02\""),
            std::string::npos)
      << r.output;
  r = Tzip("--join out.zip joined.zip");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_NE(r.output.find("out.z02"), std::string::npos) << r.output;
  EXPECT_NE(Shell("test -e joined.zip").exit_code, 0);
  EXPECT_EQ(Shell("ls | grep -c FC").output, "0\n");
  Shell("mv kept.z02 out.z02");
  // The last volume alone.
  dir_.MakeDir("alone");
  Shell("cp out.zip alone/");
  r = Tzip("-t alone/out.zip");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_NE(r.output.find("the volumes before it (out.z01 ... or out_001.zip "
                          "...) are not in its folder"),
            std::string::npos)
      << r.output;

  // The last volume cut short loses the directory: reported, not OK.
  Shell("truncate -s -200 out.zip");
  r = Tzip("-t out.zip");
  EXPECT_NE(r.exit_code, 0) << r.output;
  // Cut before its directory: what local headers remain may be read, but
  // the archive is reported damaged either way.
  Shell("truncate -s 100 out.zip");
  r = Tzip("-t out.zip");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_TRUE(r.output.find("no usable central directory") != std::string::npos ||
              r.output.find("Invalid archive") != std::string::npos)
      << r.output;
}

TEST_F(TzipReadingTest, HostileArchivesWriteNothingOutsideTheFolder) {
  dir_.MakeDir("victim");
  const std::string absolute = Path("victim/absolute.txt");
  const std::string generator =
      "python3 " + ShellQuote(test::SourceDir() + "/tests/interop/hostile_zip.py");
  ASSERT_EQ(Shell(generator + " traversal evil.zip " + ShellQuote(absolute))
                .exit_code,
            0);
  dir_.MakeDir("deep");
  dir_.MakeDir("deep/er");
  const test::CommandResult r = Shell("cd deep/er && " + ShellQuote(test::BinaryDir() + "/app/tzip") +
            " -x ../../evil.zip -d out </dev/null");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  // Everything written is inside the folder: the harmless entry, the
  // absolute and drive names stripped, the link as a plain file.
  const std::string outside =
      Shell("find . -type f ! -path './deep/er/out/*' ! -name evil.zip "
            "! -path './data/*'")
          .output;
  EXPECT_EQ(outside, "") << r.output;
  EXPECT_EQ(Shell("find . -type l").output, "");
  EXPECT_EQ(dir_.ReadFile("deep/er/out/ok/fine.txt"), "fine");
  EXPECT_EQ(dir_.ReadFile("deep/er/out/drive.txt"), "drive");
  EXPECT_EQ(dir_.ReadFile("deep/er/out" + absolute), "absolute");
  EXPECT_NE(r.output.find("../up-one.txt: refused"), std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("link/through-link.txt: cannot make the folder"),
            std::string::npos)
      << r.output;
}

TEST_F(TzipReadingTest, BombsAndAbsurdSizesStayBounded) {
  const std::string generator =
      "python3 " + ShellQuote(test::SourceDir() + "/tests/interop/hostile_zip.py");
  ASSERT_EQ(Shell(generator + " bomb bomb.zip").exit_code, 0);
  ASSERT_EQ(Shell(generator + " absurd absurd.zip").exit_code, 0);
  const std::string tzip = ShellQuote(test::BinaryDir() + "/app/tzip");
  // The peak resident size in KiB follows the output.
  test::CommandResult r = Shell("/usr/bin/time -f 'rss %M' " + tzip +
                                " -x bomb.zip -d b </dev/null");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_NE(r.output.find("bomb.bin: the data goes on beyond its declared "
                          "size of 1000 bytes"),
            std::string::npos)
      << r.output;
  EXPECT_NE(Shell("test -e b/bomb.bin").exit_code, 0);
  EXPECT_EQ(dir_.ReadFile("b/after.txt"), "after the bomb");
  const auto rss = [](const std::string& output) {
    const size_t at = output.rfind("rss ");
    return at == std::string::npos ? -1L : std::stol(output.substr(at + 4));
  };
  EXPECT_LT(rss(r.output), 200 * 1024) << r.output;

  r = Shell("/usr/bin/time -f 'rss %M' " + tzip +
            " -x absurd.zip -d a </dev/null");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_NE(Shell("test -e a/huge.bin").exit_code, 0);
  EXPECT_NE(Shell("test -e a/endless.bin").exit_code, 0);
  EXPECT_EQ(dir_.ReadFile("a/fine.txt"), "fine");
  EXPECT_LT(rss(r.output), 200 * 1024) << r.output;
}

TEST_F(TzipReadingTest, ExistingFilesNeedOverwriteAndTimesAreRestored) {
  ASSERT_EQ(Tzip("-q out.zip data").exit_code, 0);
  dir_.MakeDir("x");
  dir_.MakeDir("x/data");
  dir_.WriteFile("x/data/ledger.txt", "mine");
  test::CommandResult r = Tzip("-x out.zip -d x");
  EXPECT_EQ(r.exit_code, 4) << r.output;
  EXPECT_NE(r.output.find("data/ledger.txt: exists, kept"), std::string::npos);
  EXPECT_EQ(dir_.ReadFile("x/data/ledger.txt"), "mine");
  r = Tzip("-x out.zip -d x -o");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  ExpectSameTree("x");
  // The modification time of the source, to the two seconds of the format.
  r = Shell("a=$(stat -c %Y data/ledger.txt); b=$(stat -c %Y x/data/ledger.txt);"
            " test $((a - b)) -ge 0 -a $((a - b)) -le 2");
  EXPECT_EQ(r.exit_code, 0) << r.output;

  // Masks choose entries; a mask matching nothing has nothing to do.
  r = Tzip("-x out.zip -d y '*.txt'");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(Shell("cd y && find . -type f | sort").output,
            "./data/ledger.txt\n./data/sub/small.txt\n");
  EXPECT_EQ(Tzip("-x out.zip -d z '*.none'").exit_code, 12);

  // --join does not replace a file without -o, nor ever a volume.
  dir_.WriteFile("taken.zip", "x");
  EXPECT_EQ(Tzip("--join out.zip taken.zip").exit_code, 1);
  EXPECT_EQ(dir_.ReadFile("taken.zip"), "x");
  EXPECT_EQ(Tzip("--join out.zip out.zip -o").exit_code, 1);
  EXPECT_EQ(Tzip("--join out.zip taken.zip -o").exit_code, 0);
  EXPECT_EQ(Shell("unzip -tq taken.zip").exit_code, 0);
}

}  // namespace
}  // namespace tessaly::engine
