// Stored names that only one file may have: within one scan the first file
// of a name is kept and every later file that would be stored under the
// same name (ignoring letter case, after the path is stripped, or after the
// code-page conversion) is offered to the failure dialogue instead of
// silently replacing it.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/io/selection_fixture.h"

namespace tessaly::engine::test {
namespace {

using NameList = std::vector<std::string>;

using SelectionNamesTest = SelectionTest;

TEST_F(SelectionNamesTest, NamesCollidingAfterThePathIsStrippedAreReported) {
  File("a.dat", "top");
  Folder("sub");
  File("sub/a.dat", "below");
  core_.Options.StorePath = spNoPath;
  core_.Options.OverwriteMode = omAlways;
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
  core_.Options.StorePath = spNoPath;
  int renamed = 0;
  core_.OnStoreFile = [&](Component*, std::string& name, uint32_t&,
                          std::string&, const std::string& original) {
    if (original == dir_.Join("sub/a.dat") && !core_.failures.empty()) {
      name = "sub-a.dat";
      ++renamed;
    }
  };
  AnswerFailures(fxaRetry);

  Scan({"*.dat"}, true);

  EXPECT_EQ(Names(), (NameList{"a.dat", "sub-a.dat"}));
  EXPECT_EQ(core_.failures.size(), 1u);
  EXPECT_EQ(renamed, 1);
  EXPECT_EQ(core_.SelectionLeftOut.size(), 0u);
}

TEST_F(SelectionNamesTest, AbortDropsTheWholeTransaction) {
  File("a.dat");
  Folder("sub");
  File("sub/a.dat");
  File("b.dat");
  core_.Options.StorePath = spNoPath;
  TDirItem earlier;
  earlier.StoredName = "earlier.txt";
  core_.Dir().AddItem(earlier);
  core_.DirManager->SavedDir.Assign(core_.Dir());
  TDirItem queued;
  queued.StoredName = "queued.txt";
  queued.Pending = true;
  core_.Dir().AddItem(queued);
  core_.UpdateCount = 2;  // AddMatchingFiles inside the host's transaction
  AnswerFailures(fxaAbort);

  Scan({"*.dat"}, true);

  EXPECT_EQ(Names(), (NameList{"earlier.txt"}));
  EXPECT_EQ(core_.UpdateCount, 0) << "nothing is left to apply";
  EXPECT_EQ(FailedFiles(), (NameList{dir_.Join("sub/a.dat")}));
}

TEST_F(SelectionNamesTest, SameFileMatchedTwiceFollowsTheOverwriteMode) {
  File("a.dat");
  core_.Options.OverwriteMode = omAlways;

  Scan({"a.dat", "*.dat", Base() + "a.dat"});

  ASSERT_EQ(Names(), (NameList{"a.dat"}));
  EXPECT_EQ(Item("a.dat").EntryAction, poUpdate);
  EXPECT_TRUE(core_.failures.empty());
}

TEST_F(SelectionNamesTest, EntryOfTheArchiveIsReplacedByOverwriteRules) {
  File("a.dat", "new");
  Folder("sub");
  File("sub/a.dat", "also new");
  TDirItem old;
  old.StoredName = "A.DAT";
  core_.Dir().AddItem(old);
  core_.Options.StorePath = spNoPath;
  core_.Options.OverwriteMode = omAlways;
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
