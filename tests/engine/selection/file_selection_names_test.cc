// Stored names that only one file may have: within one scan the first file
// of a name is kept and every later file that would be stored under the
// same name (ignoring letter case, after the path is stripped, or after the
// code-page conversion) is offered to the failure dialogue instead of
// silently replacing it.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/selection/selection_fixture.h"

namespace tessaly::engine::test {
namespace {

using NameList = std::vector<std::string>;

using SelectionNamesTest = SelectionTest;

TEST_F(SelectionNamesTest, NamesCollidingAfterThePathIsStrippedAreReported) {
  File("a.dat", "top");
  Folder("sub");
  File("sub/a.dat", "below");
  host_.Options.StorePath = spNoPath;
  host_.Options.OverwriteMode = omAlways;
  AnswerFailures(fxaIgnore);

  Scan({"*.dat"}, true);

  ASSERT_EQ(Names(), (NameList{"a.dat"}));
  EXPECT_EQ(Item("a.dat").SourceFileName, Base() + "a.dat");
  EXPECT_EQ(Item("a.dat").EntryAction, poAdd);
  EXPECT_EQ(FailedFiles(), (NameList{dir_.Join("sub/a.dat")}));
}

TEST_F(SelectionNamesTest, RetryAsksAgainAndAStoreFileRenameResolvesIt) {
  File("a.dat");
  Folder("sub");
  File("sub/a.dat");
  host_.Options.StorePath = spNoPath;
  int renamed = 0;
  host_.OnStoreFile = [&](Component*, std::string& name, uint32_t&,
                          std::string&, const std::string& original) {
    if (original == dir_.Join("sub/a.dat") && !host_.failures.empty()) {
      name = "sub-a.dat";
      ++renamed;
    }
  };
  AnswerFailures(fxaRetry);

  Scan({"*.dat"}, true);

  EXPECT_EQ(Names(), (NameList{"a.dat", "sub-a.dat"}));
  EXPECT_EQ(host_.failures.size(), 1u);
  EXPECT_EQ(renamed, 1);
  EXPECT_EQ(host_.SelectionLeftOut.size(), 0u);
}

TEST_F(SelectionNamesTest, AbortEndsTheScanAtTheSecondFileOfAName) {
  File("a.dat");
  Folder("sub");
  File("sub/a.dat");
  File("sub/b.dat");
  host_.Options.StorePath = spNoPath;
  AnswerFailures(fxaAbort);

  const std::optional<SelectionAbort> aborted = Scan({"*.dat"}, true);

  ASSERT_TRUE(aborted.has_value());
  EXPECT_EQ(aborted->native_error, 63);
  EXPECT_EQ(FailedFiles(), (NameList{dir_.Join("sub/a.dat")}));
  EXPECT_FALSE(Has("b.dat")) << "the scan went on after the abort";
  EXPECT_TRUE(host_.SelectionLeftOut.empty());
}

TEST_F(SelectionNamesTest, SameFileMatchedTwiceFollowsTheOverwriteMode) {
  File("a.dat");
  host_.Options.OverwriteMode = omAlways;

  Scan({"a.dat", "*.dat", Base() + "a.dat"});

  ASSERT_EQ(Names(), (NameList{"a.dat"}));
  EXPECT_EQ(Item("a.dat").EntryAction, poUpdate);
  EXPECT_TRUE(host_.failures.empty());
}

TEST_F(SelectionNamesTest, EntryOfTheArchiveIsReplacedByOverwriteRules) {
  File("a.dat", "new");
  Folder("sub");
  File("sub/a.dat", "also new");
  TDirItem old;
  old.StoredName = "A.DAT";
  host_.Dir().AddItem(old);
  host_.Options.StorePath = spNoPath;
  host_.Options.OverwriteMode = omAlways;
  AnswerFailures(fxaIgnore);

  Scan({"*.dat"}, true);

  // The first file replaces the entry the archive had; the second one would
  // replace the first.
  ASSERT_EQ(Names(), (NameList{"a.dat"}));
  EXPECT_EQ(Item("a.dat").EntryAction, poUpdate);
  EXPECT_EQ(Item("a.dat").SourceFileName, Base() + "a.dat");
  EXPECT_EQ(FailedFiles(), (NameList{dir_.Join("sub/a.dat")}));
}

}  // namespace
}  // namespace tessaly::engine::test
