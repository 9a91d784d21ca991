// The archive's own file, reached through a symbolic or hard link, is
// recognised by its identity and never selected.

#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/selection/selection_fixture.h"

namespace tessaly::engine::test {
namespace {

using NameList = std::vector<std::string>;

TEST_F(SelectionTest, ArchiveReachedThroughASymbolicLinkIsNotSelected) {
  File("a.dat");
  File("out.zip", "the archive being written");
  ASSERT_EQ(symlink(Base().c_str(), dir_.Join("lnk").c_str()), 0);
  host_.FileName = dir_.Join("lnk/out.zip");

  Scan({"*.*"}, false, kAllAttributes & ~0x10);

  EXPECT_EQ(Names(), (NameList{"a.dat"}));
}

TEST_F(SelectionTest, HardLinkOfTheArchiveIsNotSelected) {
  File("a.dat");
  Folder("elsewhere");
  const std::string archive = File("elsewhere/out.zip", "the archive");
  ASSERT_EQ(link(archive.c_str(), dir_.Join("copy.zip").c_str()), 0);
  host_.FileName = archive;

  Scan({"*.*"}, false, kAllAttributes & ~0x10);

  EXPECT_EQ(Names(), (NameList{"a.dat"}));
}

}  // namespace
}  // namespace tessaly::engine::test
