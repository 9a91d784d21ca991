// Masks written with '/' on Windows: '/' and '\' are one delimiter, so an
// exclusion or a selection mask selects the same files whichever it uses.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/selection/selection_fixture.h"

namespace tessaly::engine::test {
namespace {

using NameList = std::vector<std::string>;

NameList SortedNames(NameList names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(SelectionTest, ExclusionWrittenWithSlashes) {
  File("top.dat");
  Folder("sub");
  File("sub/a.dat");
  Folder("sub/deep");
  File("sub/deep/b.dat");
  exclusions_ = {Base() + "sub/*.*"};

  Scan({"*.*"}, true);
  EXPECT_EQ(SortedNames(Names()), SortedNames({"top.dat", "sub/"}));
}

TEST_F(SelectionTest, MaskWrittenWithSlashesMeetsBackslashExclusion) {
  Folder("sub");
  File("sub/a.dat");
  File("sub/b.dat");
  exclusions_ = {Base() + "sub\\a.dat"};

  Scan({Base() + "sub/*.dat"}, false, 0x20);
  EXPECT_EQ(Names(), (NameList{"sub/b.dat"}));
  EXPECT_EQ(Item("sub/b.dat").SourceFileName, Base() + "sub\\b.dat");
}

}  // namespace
}  // namespace tessaly::engine::test
