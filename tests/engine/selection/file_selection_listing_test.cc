// Folders that cannot be listed: offered to the failure dialogue like a file
// that cannot be read (code 33 with the folder's name), once per scan,
// whereas a folder that does not exist simply matches nothing.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/selection/selection_fixture.h"

namespace tessaly::engine::test {
namespace {

using NameList = std::vector<std::string>;

class SelectionListingTest : public SelectionTest {
 protected:
  SelectionListingTest() {
    File("a.dat");
    File("b.rpt");
    Folder("sub");
    File("sub/c.dat");
    File("sub/d.rpt");
    env_.RefuseFind(dir_.Join("sub"));
  }

  void Answer(TZAAction answer) {
    host_.OnProcessFileFailure = [this, answer](
                                     Component*, const std::string&,
                                     TZAProcessOperation, int32_t, int32_t,
                                     const std::string&, TZAAction& action) {
      action = answer;
      if (answer == fxaRetry) env_.ClearFaults();
    };
  }
};

TEST_F(SelectionListingTest, IgnoredFolderIsOfferedOnceAndLeftOut) {
  Answer(fxaIgnore);

  Scan({"*.dat", "*.rpt"}, /*recurse=*/true);

  EXPECT_EQ(Names(), (NameList{"a.dat", "b.rpt"}));
  ASSERT_EQ(host_.failures.size(), 1u);
  EXPECT_EQ(host_.failures[0].file, dir_.Join("sub/"));
  EXPECT_EQ(host_.failures[0].native_error, 33);
  EXPECT_EQ(host_.failures[0].message,
            "Cannot open file \"" + dir_.Join("sub/") +
                "\" - Native error: 00033");
  EXPECT_EQ(host_.SelectionLeftOut.size(), 1u);
}

// A folder that a mask selects is stored; what it holds could not be
// listed, and the host has been told so.
TEST_F(SelectionListingTest, FolderSelectedByTheMaskKeepsItsEntry) {
  Answer(fxaIgnore);

  Scan({"*"}, /*recurse=*/false);

  EXPECT_EQ(Names(), (NameList{"a.dat", "b.rpt", "sub/"}));
  ASSERT_EQ(host_.failures.size(), 1u);
  EXPECT_EQ(host_.failures[0].file, dir_.Join("sub/"));
}

TEST_F(SelectionListingTest, RetryListsTheFolderAgain) {
  Answer(fxaRetry);

  Scan({"*.dat"}, true, kAllAttributes & ~0x10);

  EXPECT_EQ(Names(), (NameList{"a.dat", "sub/c.dat"}));
  EXPECT_EQ(host_.failures.size(), 1u);
  EXPECT_EQ(host_.SelectionLeftOut.size(), 0u);
}

// The scan ends at the folder; what it queued before stays for the caller
// to drop.
TEST_F(SelectionListingTest, AbortEndsTheScanWithTheFailure) {
  Answer(fxaAbort);

  const std::optional<SelectionAbort> aborted =
      Scan({"*.dat", "*.rpt"}, true);

  ASSERT_TRUE(aborted.has_value());
  EXPECT_EQ(aborted->native_error, 33);
  EXPECT_EQ(aborted->message, host_.failures.at(0).message);
  EXPECT_EQ(Names(), (NameList{"a.dat"})) << "b.rpt comes after the abort";
  EXPECT_TRUE(host_.SelectionLeftOut.empty());
}

TEST_F(SelectionListingTest, UnreadableBaseFolderFailsTheMaskWithoutAPath) {
  env_.RefuseFind(Base());
  Answer(fxaIgnore);

  Scan({"*.dat", Base() + "*.rpt"}, true);

  EXPECT_TRUE(Names().empty());
  ASSERT_EQ(host_.failures.size(), 1u) << "one folder, one box";
  EXPECT_EQ(host_.failures[0].file, Base());
}

TEST_F(SelectionListingTest, MissingFolderMatchesNothingWithoutABox) {
  Scan({dir_.Join("gone/*.dat"), dir_.Join("gone/x.dat")}, true);

  EXPECT_TRUE(Names().empty());
  EXPECT_TRUE(host_.failures.empty());
}

}  // namespace
}  // namespace tessaly::engine::test
