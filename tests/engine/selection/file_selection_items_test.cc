// What a selected file becomes: the item's header image, replacing an entry
// of the same name, the host's events, and the scan state around them.

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/selection/file_selector.h"
#include "tests/engine/selection/selection_fixture.h"

namespace tessaly::engine::test {
namespace {

// Whether another thread could take the scan lock now.
bool ScanLockIsFree() {
  bool free = false;
  std::thread other([&free] {
    free = ScanLock().try_lock();
    if (free) ScanLock().unlock();
  });
  other.join();
  return free;
}

TEST_F(SelectionTest, FileItemHeaderImage) {
  const std::string full = File("a.dat", "hello");
  const uint32_t stamp = DosStamp(2021, 6, 15, 10, 20, 30);
  ASSERT_TRUE(env_.SetFileAge(full, stamp));
  host_.Password = "secret";

  Scan({"a.dat"});
  const TDirItem& item = Item("a.dat");
  const CentralHeader& h = item.header;
  EXPECT_EQ(h.signature, 0x02014B50u) << "signature";
  EXPECT_EQ(h.version_made_by, 0x0014) << "version made by";
  EXPECT_EQ(h.version_needed, 0x0014) << "version needed";
  EXPECT_EQ(h.flags, 0x0001) << "flags: encrypted";
  EXPECT_EQ(h.method, 8) << "method";
  EXPECT_EQ(h.mod_time, stamp & 0xFFFF) << "time";
  EXPECT_EQ(h.mod_date, stamp >> 16) << "date";
  EXPECT_EQ(h.crc32, 0xFFFFFFFFu) << "crc placeholder";
  EXPECT_EQ(h.compressed_size, 0u) << "compressed size";
  EXPECT_EQ(h.uncompressed_size, 0u) << "uncompressed size";
  EXPECT_EQ(h.name_length, 5) << "name length";
  EXPECT_EQ(h.extra_length, 0) << "extra length";
  EXPECT_EQ(h.comment_length, 0) << "comment length";
  EXPECT_EQ(h.external_attributes, 0x20u) << "attributes";
  EXPECT_EQ(h.local_header_offset, 0u) << "local header offset";
  EXPECT_TRUE(item.Pending);
  EXPECT_EQ(item.EntryPassword, "secret");
  EXPECT_EQ(item.SourceFileName, full);
  EXPECT_EQ(item.EntryLevel, 1);
  EXPECT_EQ(item.EntryAction, poAdd);
}

TEST_F(SelectionTest, AnsiNamesAndReadOnlyFiles) {
  const std::string full = File("r.dat");
  ASSERT_TRUE(env_.SetFileAttributes(full, 0x01));
  host_.Options.OEMFileNames = false;

  Scan({"*.dat"});
  const CentralHeader& h = Item("r.dat").header;
  EXPECT_EQ(h.version_made_by, 0x0B14);
  EXPECT_EQ(h.version_needed, 0x0B14);
  EXPECT_EQ(h.flags, 0) << "no password, no encryption";
  EXPECT_EQ(h.external_attributes, 0x21u);
}

TEST_F(SelectionTest, FolderItemIsStoredWithoutData) {
  Folder("x.dat");
  host_.Password = "secret";

  Scan({"*.dat"});
  const TDirItem& item = Item("x.dat/");
  EXPECT_EQ(item.header.method, 0);
  EXPECT_EQ(item.header.crc32, 0u);
  EXPECT_EQ(item.header.flags, 0x0002) << "exactly, no encryption bit";
  EXPECT_EQ(item.header.external_attributes, 0x10u);
  EXPECT_EQ(item.EntryLevel, 0);
  EXPECT_NE(item.header.mod_date, 0) << "a folder takes the current time";
}

// ---- Replacing an entry of the same name -------------------------------

const uint32_t k2020 = DosStamp(2020, 1, 1, 12, 0, 0);
const uint32_t k2030 = DosStamp(2030, 1, 1, 12, 0, 0);
const uint32_t k2045 = DosStamp(2045, 1, 1, 12, 0, 0);  // date's top bit set

struct OverwriteCase {
  TZAOverwriteMode mode;
  uint32_t entry_stamp;
  uint32_t file_stamp;
  bool replaced;
};

class OverwriteTest : public SelectionTest,
                      public testing::WithParamInterface<OverwriteCase> {};

// a.dat is selected once, its entry gets the case's time, the file the
// case's time, and it is selected again under the case's mode.
TEST_P(OverwriteTest, ReplacesByMode) {
  const OverwriteCase& c = GetParam();
  const std::string full = File("a.dat");
  Scan({"a.dat"});
  ASSERT_EQ(host_.Dir().Count(), 1);
  TDirItem& item = host_.Dir().ItemPtr(0);
  item.header.mod_date = static_cast<uint16_t>(c.entry_stamp >> 16);
  item.header.mod_time = static_cast<uint16_t>(c.entry_stamp & 0xFFFF);
  item.ExtraBlocks.push_back({0x5455, 1, {0}});
  ASSERT_TRUE(env_.SetFileAge(full, c.file_stamp));
  host_.Options.OverwriteMode = c.mode;

  Scan({"*.dat"});
  ASSERT_EQ(host_.Dir().Count(), 1);
  const TDirItem& after = Item("a.dat");
  EXPECT_EQ(after.EntryAction, c.replaced ? poUpdate : poAdd);
  EXPECT_EQ(after.header.mod_date,
            (c.replaced ? c.file_stamp : c.entry_stamp) >> 16);
  // Extra fields of the old entry do not describe the new data.
  EXPECT_EQ(after.ExtraBlocks.empty(), c.replaced);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, OverwriteTest,
    testing::Values(OverwriteCase{omAlways, k2020, k2030, true},
                    OverwriteCase{omNever, k2020, k2030, false},
                    OverwriteCase{omIfNewer, k2030, k2030, false},
                    OverwriteCase{omIfNewer, k2020, k2030, true},
                    OverwriteCase{omIfNewer, k2030, k2020, false},
                    OverwriteCase{omIfNewer, k2030, k2045, true},
                    OverwriteCase{omIfOlder, k2030, k2020, true},
                    OverwriteCase{omIfOlder, k2030, k2030, false},
                    OverwriteCase{omIfOlder, k2030, k2045, false}));

TEST_F(SelectionTest, FolderIsNeverNewer) {
  Folder("x.dat");
  host_.Options.OverwriteMode = omIfNewer;
  Scan({"*.dat", "*.dat"});
  EXPECT_EQ(Item("x.dat/").EntryAction, poAdd);

  host_.Options.OverwriteMode = omIfOlder;
  Scan({"*.dat"});
  EXPECT_EQ(Item("x.dat/").EntryAction, poUpdate);
}

TEST_F(SelectionTest, PromptAsksWithSourceAndStoredName) {
  const std::string full = File("a.dat");
  host_.Options.OverwriteMode = omPrompt;
  std::vector<std::string> asked;
  host_.OnConfirmOverwrite = [&](Component*, const std::string& source,
                                 std::string& dest, bool& confirm) {
    asked.push_back(source + "|" + dest);
    confirm = false;
  };
  Scan({"a.dat", "A.DAT"});
  EXPECT_EQ(asked, std::vector<std::string>{full + "|a.dat"});
  EXPECT_EQ(Item("a.dat").EntryAction, poAdd);
}

TEST_F(SelectionTest, PromptMayRenameTheReplacedEntry) {
  File("a.dat");
  host_.Options.OverwriteMode = omPrompt;
  host_.OnConfirmOverwrite = [](Component*, const std::string&,
                                std::string& dest, bool& confirm) {
    dest = "b.dat";
    confirm = true;
  };
  Scan({"a.dat", "a.dat"});
  ASSERT_EQ(host_.Dir().Count(), 1);
  EXPECT_FALSE(Has("a.dat"));
  EXPECT_EQ(Item("b.dat").EntryAction, poUpdate);
  EXPECT_EQ(Item("b.dat").header.name_length, 5);
}

// ---- Events ------------------------------------------------------------

TEST_F(SelectionTest, StoreFileHandlerSeesBackslashesAndMayChangeAll) {
  Folder("sub");
  const std::string full = File("sub/b.dat");
  std::string seen_name;
  std::string seen_original;
  uint32_t seen_attributes = 0;
  host_.OnStoreFile = [&](Component*, std::string& name, uint32_t& attr,
                          std::string& comment, const std::string& original) {
    seen_name = name;
    seen_attributes = attr;
    seen_original = original;
    if (original != full) return;
    name = "renamed\\b.dat";
    attr = 0x21;
    comment = "note";
  };

  Scan({Native("sub/*.dat")});
  EXPECT_EQ(seen_name, "sub\\b.dat");
  EXPECT_EQ(seen_attributes, 0x20u);
  EXPECT_EQ(seen_original, full);
  const TDirItem& item = Item("renamed/b.dat");
  EXPECT_EQ(item.StoredName, "renamed/b.dat");
  EXPECT_EQ(item.header.name_length, 13);
  EXPECT_EQ(item.header.external_attributes, 0x21u);
  EXPECT_EQ(item.Comment, "note");
  EXPECT_EQ(item.header.comment_length, 4);
}

TEST_F(SelectionTest, ConfirmProcessFileMayVeto) {
  File("a.dat");
  File("b.dat");
  std::vector<TZAProcessOperation> operations;
  host_.OnConfirmProcessFile = [&](Component*, const std::string& name,
                                   TZAProcessOperation op, bool& confirm) {
    operations.push_back(op);
    confirm = name != Base() + "b.dat";
  };
  Scan({"*.dat"});
  EXPECT_EQ(Names(), std::vector<std::string>{"a.dat"});
  EXPECT_EQ(operations, (std::vector<TZAProcessOperation>{poAdd, poAdd}));
}

TEST_F(SelectionTest, MoveMarksEveryItem) {
  File("a.dat");
  TZAProcessOperation asked = poAdd;
  host_.OnConfirmProcessFile = [&](Component*, const std::string&,
                                   TZAProcessOperation op,
                                   bool&) { asked = op; };
  Scan({"*.dat"}, false, kAllAttributes, /*move=*/true);
  EXPECT_EQ(asked, poMove);
  EXPECT_EQ(Item("a.dat").EntryAction, poMove);
}

// ---- Scan state --------------------------------------------------------

TEST_F(SelectionTest, ScanHoldsTheLockAndSwapsTheBaseFolder) {
  File("a.dat");
  host_.CurrentBaseDir = "previous";
  std::string during;
  bool lock_free_during = true;
  host_.OnStoreFile = [&](Component*, std::string&, uint32_t&, std::string&,
                          const std::string&) {
    during = host_.CurrentBaseDir;
    lock_free_during = ScanLockIsFree();
  };
  Scan({"*.dat"});
  EXPECT_EQ(during, Base());
  EXPECT_FALSE(lock_free_during);
  EXPECT_EQ(host_.CurrentBaseDir, "previous");
  EXPECT_TRUE(ScanLockIsFree());
}

TEST_F(SelectionTest, HandlerExceptionRestoresStateAndReleasesTheLock) {
  File("a.dat");
  host_.CurrentBaseDir = "previous";
  host_.OnStoreFile = [](Component*, std::string&, uint32_t&, std::string&,
                         const std::string&) {
    throw std::runtime_error("handler failed");
  };
  EXPECT_THROW(Scan({"*.dat"}), std::runtime_error);
  EXPECT_EQ(host_.CurrentBaseDir, "previous");
  EXPECT_TRUE(ScanLockIsFree());
}

TEST_F(SelectionTest, HandlerMayScanAnotherArchiver) {
  File("a.dat");
  File("b.rpt");
  SelectionDouble other(env_);
  other.BaseDir = Base();
  host_.OnConfirmProcessFile = [&](Component*, const std::string&,
                                   TZAProcessOperation, bool&) {
    if (other.Dir().Count() > 0) return;
    TStringList masks;
    masks.Add("*.rpt");
    TStringList none;
    other.ScanFileMasks(masks, kAllAttributes, false, false, none);
  };
  Scan({"*.dat"});
  EXPECT_EQ(Names(), std::vector<std::string>{"a.dat"});
  ASSERT_EQ(other.Dir().Count(), 1);
  EXPECT_EQ(other.Dir().ItemPtr(0).StoredName, "b.rpt");
}

}  // namespace
}  // namespace tessaly::engine::test
