// Stored names on POSIX, where a folder may hold names that differ only in
// letter case and names are UTF-8 of any script: the first file of a name
// is kept and a later one is reported, and a name that CP437 cannot hold is
// flagged to be written in UTF-8.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/format/signatures.h"
#include "tests/engine/selection/selection_fixture.h"

namespace tessaly::engine::test {
namespace {

using NameList = std::vector<std::string>;

using PosixSelectionNamesTest = SelectionTest;

TEST_F(PosixSelectionNamesTest, NamesDifferingOnlyInCaseKeepTheFirstAndReportTheRest) {
  File("CUST.dat", "upper");
  File("cust.dat", "lower");
  File("Cust.DAT", "mixed");
  File("\xC3\x89" "COLE.dat", "upper");  // ÉCOLE.dat
  File("\xC3\xA9" "cole.dat", "lower");  // école.dat
  AnswerFailures(fxaIgnore);

  Scan({"*.dat"});

  // Listed by upper-cased name, then by bytes: CUST.dat, Cust.DAT, cust.dat.
  EXPECT_EQ(Names(), (NameList{"CUST.dat", "\xC3\x89" "COLE.dat"}));
  EXPECT_EQ(Item("CUST.dat").SourceFileName, Base() + "CUST.dat");
  EXPECT_EQ(FailedFiles(),
            (NameList{Base() + "Cust.DAT", Base() + "cust.dat",
                      Base() + "\xC3\xA9" "cole.dat"}));
  for (const auto& failure : host_.failures) {
    EXPECT_EQ(failure.native_error, 63);
  }
  EXPECT_EQ(host_.failures[0].message,
            "Files \"" + Base() + "CUST.dat\" and \"" + Base() +
                "Cust.DAT\" would be stored under the same name "
                "\"Cust.DAT\" - Native error: 00063");
  EXPECT_EQ(host_.SelectionLeftOut.size(), 3u);
}

// ---- Names outside the OEM code page ------------------------------------

TEST_F(PosixSelectionNamesTest, NamesOutsideTheOemCodePageAreFlaggedUtf8) {
  const NameList outside = {"\xE4\xB8\xAD.dat",          // 中.dat
                            "\xE6\x96\x87.dat",          // 文.dat
                            "\xF0\x9F\x98\x80.dat",      // 😀.dat
                            "\xC5\x9D.dat"};             // ŝ.dat
  for (const std::string& name : outside) File(name, name);
  File("\xC3\x84rger.dat");  // Ärger.dat: CP437 has Ä
  File("plain.dat");

  Scan({"*.dat"});

  EXPECT_TRUE(host_.failures.empty()) << host_.failures[0].message;
  ASSERT_EQ(host_.Dir().Count(), 6);
  // A UTF-8 name is no OEM text: host NTFS, as for ANSI names, because
  // Info-ZIP converts every name of an MS-DOS host from the OEM code page.
  for (const std::string& name : outside) {
    EXPECT_EQ(Item(name).header.flags, kFlagUtf8Name) << name;
    EXPECT_EQ(Item(name).header.version_made_by, 0x0B14) << name;
    EXPECT_EQ(Item(name).header.version_needed, 0x0B14) << name;
  }
  EXPECT_EQ(Item("\xC3\x84rger.dat").header.flags, 0);
  EXPECT_EQ(Item("\xC3\x84rger.dat").header.version_made_by, 0x0014);
  EXPECT_EQ(Item("plain.dat").header.flags, 0);
}

TEST_F(PosixSelectionNamesTest, FlagIsSetForTheNameTheHostChoseAndKeptForFolders) {
  Folder("\xE4\xB8\xAD");  // 中
  File("a.dat");
  host_.OnStoreFile = [](Component*, std::string& name, uint32_t&,
                         std::string&, const std::string&) {
    if (name == "a.dat") name = "\xE6\x96\x87.dat";
  };

  Scan({"*"}, false, kAllAttributes);

  EXPECT_EQ(Item("\xE6\x96\x87.dat").header.flags, kFlagUtf8Name);
  EXPECT_EQ(Item("\xE4\xB8\xAD/").header.flags, kFlagFolder | kFlagUtf8Name);
}

TEST_F(PosixSelectionNamesTest, AnsiNamesAreNeverFlagged) {
  File("\xE4\xB8\xAD.dat");
  host_.Options.OEMFileNames = false;

  Scan({"*.dat"});
  EXPECT_EQ(Item("\xE4\xB8\xAD.dat").header.flags, 0);
}

// Bytes that are no UTF-8 cannot be written in UTF-8 either: they become
// '_' as before, and two names that become the same are reported.
TEST_F(PosixSelectionNamesTest, InvalidBytesThatMakeTheSameNameAreReported) {
  File("D\xE9ta.dat", "latin-1");
  File("D\xE8ta.dat", "another");
  AnswerFailures(fxaIgnore);

  Scan({"*.dat"});

  ASSERT_EQ(host_.Dir().Count(), 1);
  EXPECT_EQ(host_.Dir().ItemPtr(0).header.flags, 0);
  EXPECT_EQ(host_.failures.size(), 1u);
}

}  // namespace
}  // namespace tessaly::engine::test
