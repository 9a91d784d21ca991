// Which files a scan selects: direct names, masks, attributes, folders,
// recursion and exclusions, over a real folder tree.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/selection/selection_fixture.h"

namespace tessaly::engine::test {
namespace {

using NameList = std::vector<std::string>;

NameList Sorted(NameList names) {
  std::sort(names.begin(), names.end());
  return names;
}

constexpr int32_t kNoHidden = kAllAttributes & ~0x02;
constexpr int32_t kFilesOnly = 0x20;

TEST_F(SelectionTest, DirectFileThenMaskInFileSystemOrder) {
  File(".FileList.cfg");  // hidden on POSIX: a dot-name
  for (const char* name : {"c.dat", "a.dat", "e.dat", "b.dat", "d.rpt"}) {
    File(name);
  }
  File(".hidden.dat");
  Folder("sub");
  File("sub/f.dat");
  host_.Options.StorePath = spNoPath;

  Scan({Base() + ".FileList.cfg", Base() + "*.dat"}, false, kNoHidden);

  // The direct name is taken whatever its attributes; the mask takes the
  // visible .dat files in the order the file system lists them.
  std::vector<std::string> expected = {".FileList.cfg"};
  for (const platform::FoundFile& found :
       env_.FindFiles(Base() + "*.dat", kNoHidden & ~0x10)) {
    expected.push_back(found.name);
  }
  EXPECT_EQ(Names(), expected);
  EXPECT_EQ(expected.size(), 5u);
  EXPECT_EQ(Item(".FileList.cfg").header.external_attributes, 0x22u);
}

// The first file keeps the name; the second is offered to the failure
// dialogue (this double answers Abort) instead of replacing it.
TEST_F(SelectionTest, NoPathWithRecursionKeepsOneEntryPerName) {
  File("a.dat");
  Folder("sub");
  File("sub/a.dat");
  host_.Options.StorePath = spNoPath;
  AnswerFailures(fxaIgnore);

  host_.Options.OverwriteMode = omAlways;
  Scan({"*.dat"}, true);
  ASSERT_EQ(Names(), (NameList{"a.dat"}));
  EXPECT_EQ(Item("a.dat").SourceFileName, dir_.Join("a.dat"));
  EXPECT_EQ(Item("a.dat").EntryAction, poAdd);
  ASSERT_EQ(host_.failures.size(), 1u);
  EXPECT_EQ(host_.failures[0].file, dir_.Join("sub/a.dat"));
}

TEST_F(SelectionTest, FolderMatchingTheMaskComesWithAllItsContent) {
  File("a.dat");
  Folder("x.dat");
  File("x.dat/in.txt");
  Folder("x.dat/deeper");
  File("x.dat/deeper/y.bin");
  Folder("other");
  File("other/z.dat");

  Scan({"*.dat"}, /*recurse=*/false);

  EXPECT_EQ(Sorted(Names()), Sorted({"a.dat", "x.dat/", "x.dat/in.txt",
                                     "x.dat/deeper/", "x.dat/deeper/y.bin"}));
  const TDirItem& folder = Item("x.dat/");
  EXPECT_EQ(folder.header.external_attributes, 0x10u);
  EXPECT_EQ(folder.SourceFileName, dir_.Join("x.dat/"));
}

TEST_F(SelectionTest, FoldersAreNotAddedWithoutTheFolderBit) {
  File("a.dat");
  Folder("x.dat");
  File("x.dat/in.txt");

  Scan({"*.dat"}, false, kFilesOnly);
  EXPECT_EQ(Names(), (NameList{"a.dat"}));
}

TEST_F(SelectionTest, TheArchiveItselfIsNeverAdded) {
  File("out.zip");
  File("other.zip");
  archive_ = Base() + "out.zip";

  Scan({"*.zip", Base() + "out.zip"});
  EXPECT_EQ(Names(), (NameList{"other.zip"}));
}

TEST_F(SelectionTest, PlainExclusionAppliesInEveryFolder) {
  File("a.tmp");
  File("a.dat");
  Folder("sub");
  File("sub/b.tmp");
  File("sub/b.dat");
  exclusions_ = {"*.tmp"};

  Scan({"*.*"}, true, kFilesOnly);
  EXPECT_EQ(Sorted(Names()), Sorted({"a.dat", "sub/b.dat"}));
}

TEST_F(SelectionTest, PathExclusionTakesEverythingBelowItsFolder) {
  File("top.dat");
  Folder("sub");
  File("sub/a.dat");
  Folder("sub/deep");
  File("sub/deep/b.dat");
  exclusions_ = {dir_.Join("sub/*.*")};

  Scan({"*.*"}, true);
  // The folder entry itself has no dot, so "*.*" does not exclude it.
  EXPECT_EQ(Sorted(Names()), Sorted({"top.dat", "sub/"}));
}

TEST_F(SelectionTest, ExcludedFolderIsNotSearched) {
  File("a.dat");
  Folder("tmp1");
  File("tmp1/b.dat");
  exclusions_ = {"tmp*"};

  Scan({"*.dat"}, true);
  EXPECT_EQ(Names(), (NameList{"a.dat"}));
}

TEST_F(SelectionTest, PathMaskRecursesWithItsNamePart) {
  File("c.dat");
  Folder("sub");
  File("sub/a.dat");
  Folder("sub/deep");
  File("sub/deep/b.dat");

  Scan({dir_.Join("sub/*.dat")}, true, kFilesOnly);
  EXPECT_EQ(Sorted(Names()), Sorted({"sub/a.dat", "sub/deep/b.dat"}));
}

TEST_F(SelectionTest, FullNameWithoutWildcardsIsNotSearchedBelow) {
  Folder("sub");
  File("sub/a.dat");
  Folder("sub/deep");
  File("sub/deep/a.dat");

  Scan({dir_.Join("sub/a.dat"), dir_.Join("sub/missing.dat")}, true,
       kFilesOnly);
  EXPECT_EQ(Names(), (NameList{"sub/a.dat"}));
}

TEST_F(SelectionTest, EmptyMaskSelectsNothingAndEnds) {
  File("a.dat");
  Folder("sub");
  File("sub/b.dat");

  Scan({"", "/"}, true);
  EXPECT_TRUE(Names().empty());
}

TEST_F(SelectionTest, MissingBaseFolderAddsNothing) {
  File("a.dat");
  host_.BaseDir = Base() + "missing";

  Scan({"*.dat"}, true);
  EXPECT_TRUE(Names().empty());
}

TEST_F(SelectionTest, FileVanishingAfterTheSearchIsStillQueuedAsAFile) {
  File("a.dat");
  env_.DeleteAfterFind(Base() + "a.dat");

  Scan({"*.dat"});
  ASSERT_EQ(Names(), (NameList{"a.dat"}));
  // Neither a file nor a folder now: a plain file's attribute, not -1.
  EXPECT_EQ(Item("a.dat").header.external_attributes, 0x20u);
  EXPECT_EQ(Item("a.dat").EntryLevel, 1);
}

TEST_F(SelectionTest, NoCompressionMaskStoresMatchingEntries) {
  File("pic.bmp");
  File("a.dat");
  host_.NoCompressionMasks.Add("*.bmp");

  Scan({"*.*"});
  EXPECT_EQ(Item("pic.bmp").header.method, 0);
  EXPECT_EQ(Item("pic.bmp").EntryLevel, 0);
  EXPECT_EQ(Item("a.dat").header.method, 8);
  EXPECT_EQ(Item("a.dat").EntryLevel, 1);
}

// What the command line reports as masks that matched nothing.
TEST_F(SelectionTest, MaskMatchCountsLeaveOutExcludedFiles) {
  File("a.dat");
  File("b.dat");
  File("skip.dat");
  exclusions_ = {"skip.dat"};

  Scan({"*.dat", "*.none", Base() + "a.dat"}, false, kFilesOnly);
  EXPECT_EQ(host_.Selector().MaskMatchCounts(),
            (std::vector<int32_t>{2, 0, 1}));

  Scan({"*.none"});
  EXPECT_EQ(host_.Selector().MaskMatchCounts(), (std::vector<int32_t>{0}))
      << "each scan counts afresh";
}

}  // namespace
}  // namespace tessaly::engine::test
