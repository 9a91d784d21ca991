// Damaged and crafted archives: what the recovery scan takes from the local
// headers, where the next update may write after a load, and how much
// memory a load takes for what an archive claims.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/directory/dir_manager.h"
#include "engine/format/signatures.h"
#include "engine/base/za_exception.h"
#include "platform/testing/mem_env.h"
#include "tests/engine/directory/archive_builder.h"
#include "tests/engine/directory/dir_test_owner.h"

namespace tessaly::engine {
namespace {

using testing::ArchiveBuilder;
using testing::TestDirOwner;

class RecoveryTest : public ::testing::Test {
 protected:
  // Loads `bytes` as a one-volume archive.
  TZADirManager& Load(std::string_view bytes) {
    return owner_.LoadMemory(bytes, manager_);
  }

  std::string Names() const {
    std::string names;
    for (int32_t i = 0; i < manager_->Dir.Count(); ++i) {
      names += manager_->Dir.ItemPtr(i).StoredName + ";";
    }
    return names;
  }

  // Where the next update writes: the directory offset LoadDir leaves.
  uint64_t AppendPosition() const {
    const uint32_t offset = manager_->EndRecord.directory_offset;
    return offset == kZip64Marker32 ? manager_->Zip64End.directory_offset
                                    : offset;
  }

  int32_t LoadError(std::string_view bytes) {
    try {
      Load(bytes);
    } catch (const EZAException& e) {
      return e.NativeError();
    }
    return 0;
  }

  platform::MemEnv env_;
  TestDirOwner owner_{env_};
  std::unique_ptr<TZADirManager> manager_;
};

TEST_F(RecoveryTest, OnlyANameEndingInSlashIsAFolder) {
  ArchiveBuilder archive;
  archive.Stored("empty.dat", "").Stored("d/", "").Stored("full.txt", "data");
  archive.Streamed("streamed-empty.dat", "").Directory().Raw("x");
  TZADirManager& manager = Load(archive.bytes());
  ASSERT_EQ(Names(), "empty.dat;d/;full.txt;streamed-empty.dat;");
  EXPECT_FALSE(manager.Dir.ItemPtr(0).IsFolder()) << "an empty file";
  EXPECT_EQ(manager.Dir.ItemPtr(0).header.external_attributes, 0x20u);
  EXPECT_TRUE(manager.Dir.ItemPtr(1).IsFolder());
  EXPECT_FALSE(manager.Dir.ItemPtr(2).IsFolder());
  EXPECT_FALSE(manager.Dir.ItemPtr(3).IsFolder());
}

TEST_F(RecoveryTest, EntriesCutShortAreLeftOutAndUpdatesFollowTheLastWhole) {
  ArchiveBuilder archive;
  archive.Stored("a.txt", std::string(100, 'a'))
      .Stored("b.txt", std::string(200, 'b'))
      .Directory();
  const std::string& bytes = archive.bytes();
  const auto& a = archive.entries()[0];
  const auto& b = archive.entries()[1];

  // Junk after the end record: both entries; the old directory is replaced.
  Load(bytes + "x");
  EXPECT_EQ(Names(), "a.txt;b.txt;");
  EXPECT_EQ(AppendPosition(), b.end);
  EXPECT_EQ(AppendPosition(), archive.directory_offset());

  struct Cut {
    const char* where;
    uint64_t length;
  };
  for (const Cut cut : {Cut{"in b's data", b.offset + 30 + 5 + 50},
                        Cut{"in b's name", b.offset + 32},
                        Cut{"in b's header", b.offset + 20},
                        Cut{"after b's data", b.end}}) {
    SCOPED_TRACE(cut.where);
    Load(bytes.substr(0, cut.length));
    const bool whole = cut.length == b.end;
    EXPECT_EQ(Names(), whole ? "a.txt;b.txt;" : "a.txt;");
    EXPECT_EQ(AppendPosition(), whole ? b.end : a.end);
    EXPECT_EQ(manager_->Dir.ItemPtr(0).CompressedSize(), 100u);
  }

  // A header whose name runs past the end is no entry, and nothing else is.
  std::string header = ArchiveBuilder::LocalEntry("n", "");
  header[26] = static_cast<char>(200);
  EXPECT_EQ(LoadError(header), 35);
}

TEST_F(RecoveryTest, AnArchiveStoredInsideAnEntryIsNotTakenApart) {
  ArchiveBuilder inner;
  inner.Stored("inner-1.txt", "one").Streamed("inner-2.txt", "two").Directory();
  ArchiveBuilder outer;
  outer.Stored("inner.zip", inner.bytes())
      .Streamed("streamed.zip", inner.bytes())
      .Stored("after.txt", "z");
  TZADirManager& manager = Load(outer.bytes());
  ASSERT_EQ(Names(), "inner.zip;streamed.zip;after.txt;");
  const TDirItem& streamed = manager.Dir.ItemPtr(1);
  EXPECT_EQ(streamed.CompressedSize(), inner.bytes().size())
      << "the descriptor that fits the outer entry's data";
  EXPECT_EQ(streamed.header.crc32, ArchiveBuilder::Crc(inner.bytes()));
  EXPECT_EQ(AppendPosition(), outer.bytes().size());
}

TEST_F(RecoveryTest, DescriptorsAreTakenOnlyWhereTheyFitTheData) {
  const std::string tricky = "data with PK\x07\x08 and more data after it";
  const std::string large(70000, 'L');
  ArchiveBuilder archive;
  archive.Streamed("tricky.txt", tricky)
      .Streamed("zip64.bin", large, /*zip64=*/true)
      .Streamed("last.txt", "last");
  const std::string& bytes = archive.bytes();
  TZADirManager& manager = Load(bytes);
  ASSERT_EQ(Names(), "tricky.txt;zip64.bin;last.txt;");
  const TDirItem& first = manager.Dir.ItemPtr(0);
  EXPECT_EQ(first.header.crc32, ArchiveBuilder::Crc(tricky));
  EXPECT_EQ(first.CompressedSize(), tricky.size());
  EXPECT_EQ(first.UncompressedSize(), tricky.size());
  const TDirItem& second = manager.Dir.ItemPtr(1);
  EXPECT_EQ(second.header.crc32, ArchiveBuilder::Crc(large));
  EXPECT_EQ(second.UncompressedSize(), large.size()) << "24-byte descriptor";
  EXPECT_EQ(AppendPosition(), bytes.size());

  // Without its descriptor a streamed entry has no known data: left out.
  Load(bytes.substr(0, bytes.size() - 10));
  EXPECT_EQ(Names(), "tricky.txt;zip64.bin;");
  EXPECT_EQ(AppendPosition(), archive.entries()[1].end);
}

TEST_F(RecoveryTest, RecoveredEntriesNeverShareBytes) {
  // A header every 8 bytes, each claiming 1,027 bytes of data: the scan
  // takes one, steps over its data, and so makes one item per 1,057 bytes
  // instead of one per 8.
  std::string crowded;
  while (crowded.size() < 65536) crowded += std::string("PK\x03\x04\0\0\0\0", 8);
  TZADirManager& manager = Load(crowded);
  ASSERT_GT(manager.Dir.Count(), 0);
  EXPECT_LE(manager.Dir.Count(), 65536 / 1057 + 1);
  EXPECT_LE(manager.Dir.Capacity, 1000);
  for (int32_t i = 1; i < manager.Dir.Count(); ++i) {
    const TDirItem& previous = manager.Dir.ItemPtr(i - 1);
    EXPECT_GE(manager.Dir.ItemPtr(i).LocalHeaderOffset(),
              previous.LocalHeaderOffset() + 30 + previous.CompressedSize())
        << "item " << i;
  }
}

TEST_F(RecoveryTest, DataInFrontMovesTheDirectoryOffsetWithTheEntries) {
  ArchiveBuilder archive;
  archive.Stored("a.txt", std::string(5000, 'a'))
      .Stored("b.txt", "bravo")
      .Directory("comment");
  const std::string stub(3000, 'S');
  TZADirManager& manager = Load(stub + archive.bytes());
  EXPECT_EQ(manager.PrefixSize, 3000);
  EXPECT_EQ(manager.Dir.ItemPtr(1).LocalHeaderOffset(),
            3000 + archive.entries()[1].offset);
  EXPECT_EQ(AppendPosition(), 3000 + archive.directory_offset())
      << "not over the last 3,000 bytes of the entries";

  // Offsets that already count the stub stay as they are.
  ArchiveBuilder counted;
  counted.Raw(stub).Stored("a.txt", "alpha").Directory();
  Load(counted.bytes());
  EXPECT_EQ(AppendPosition(), counted.directory_offset());

  // From 4 GiB on the offset stands in the Zip64 end record.
  manager_->SetDirectoryOffset(0x123456789);
  EXPECT_EQ(manager_->EndRecord.directory_offset, 0xFFFFFFFFu);
  EXPECT_EQ(AppendPosition(), 0x123456789u);
}

TEST_F(RecoveryTest, AMatchingHeaderFurtherOnDoesNotShiftRightOffsets) {
  // The first entry's local header has no CRC-32 or sizes (it is streamed),
  // so it does not match its directory entry; the copy behind it does.
  // Nothing was put in front of the archive: the offsets stay.
  const std::string data = "the same file twice";
  ArchiveBuilder archive;
  archive.Streamed("a.txt", data).Stored("copy/a.txt", data).Directory();
  TZADirManager& manager = Load(archive.bytes());
  ASSERT_EQ(Names(), "a.txt;copy/a.txt;");
  EXPECT_EQ(manager.Dir.ItemPtr(0).LocalHeaderOffset(), 0u);
  EXPECT_EQ(manager.Dir.ItemPtr(1).LocalHeaderOffset(),
            archive.entries()[1].offset);
  EXPECT_EQ(AppendPosition(), archive.directory_offset());

  // The same archive behind a stub is still shifted by the stub.
  Load(std::string(100, 'S') + archive.bytes());
  EXPECT_EQ(manager_->Dir.ItemPtr(1).LocalHeaderOffset(),
            100 + archive.entries()[1].offset);
}

TEST_F(RecoveryTest, EntriesReachingPastTheDirectoryAreNotWrittenOver) {
  // "hidden" lies in the archive comment, behind the directory and the end
  // record; its bytes must survive the next update.
  const std::string hidden_data = "bytes kept in the comment";
  const std::string hidden = ArchiveBuilder::LocalEntry("hidden", hidden_data);
  ArchiveBuilder archive;
  archive.Stored("a.txt", "alpha");
  const uint64_t directory = archive.bytes().size();
  const uint64_t comment = directory + (46 + 5) + (46 + 6) + 22;
  archive.Listed("hidden", hidden_data, comment);
  archive.Directory(hidden + "tail");
  TZADirManager& manager = Load(archive.bytes());
  ASSERT_EQ(Names(), "a.txt;hidden;");
  EXPECT_EQ(AppendPosition(), comment + hidden.size());

  // An entry whose data runs past the end keeps what it has.
  ArchiveBuilder cut;
  cut.Stored("a.txt", "alpha").Listed("long", std::string(9999, 'x'), 0);
  cut.Directory();
  Load(cut.bytes());
  EXPECT_EQ(AppendPosition(), cut.bytes().size());
  (void)manager;
}

TEST_F(RecoveryTest, ClaimedEntriesAreAllocatedOnlyAsHeadersAreRead) {
  // A megabyte of data and an end record claiming 20,000 entries in a
  // directory that would start inside the data: not one header is real.
  ArchiveBuilder archive;
  archive.Stored("big.bin", std::string(1 << 20, 'x'))
      .Directory("", 20000, 20000 * 46);
  owner_.rebuild = false;
  EXPECT_EQ(LoadError(archive.bytes()), 57);
  EXPECT_LE(manager_->Dir.Capacity, 1000);
  owner_.rebuild = true;
  Load(archive.bytes());
  EXPECT_EQ(Names(), "big.bin;");
  EXPECT_LE(manager_->Dir.Capacity, 1000);

  // A few hundred bytes whose Zip64 end record claims ten million entries.
  std::string tiny(200, 'j');
  const uint64_t zip64_end = tiny.size();
  ArchiveBuilder::Put(tiny, 0x06064B50, 4);
  ArchiveBuilder::Put(tiny, 44, 8);
  ArchiveBuilder::Put(tiny, 45, 2);
  ArchiveBuilder::Put(tiny, 45, 2);
  ArchiveBuilder::Put(tiny, 0, 4);
  ArchiveBuilder::Put(tiny, 0, 4);
  ArchiveBuilder::Put(tiny, 10000000, 8);
  ArchiveBuilder::Put(tiny, 10000000, 8);
  ArchiveBuilder::Put(tiny, 150, 8);  // directory size
  ArchiveBuilder::Put(tiny, 50, 8);   // directory offset
  ArchiveBuilder::Put(tiny, 0x07064B50, 4);
  ArchiveBuilder::Put(tiny, 0, 4);
  ArchiveBuilder::Put(tiny, zip64_end, 8);
  ArchiveBuilder::Put(tiny, 1, 4);
  tiny += std::string("PK\x05\x06", 4) + std::string(4, '\0') +
          std::string(12, '\xFF') + std::string(2, '\0');
  owner_.rebuild = false;
  EXPECT_EQ(LoadError(tiny), 57);
  EXPECT_LE(manager_->Dir.Capacity, 1000);

  // A directory that is all real grows to its count, by doubling.
  ArchiveBuilder many;
  for (int i = 0; i < 2500; ++i) many.Stored("e" + std::to_string(i), "");
  many.Directory();
  Load(many.bytes());
  EXPECT_EQ(manager_->Dir.Count(), 2500);
  EXPECT_EQ(manager_->Dir.Capacity, 2500);
  EXPECT_EQ(AppendPosition(), many.directory_offset());
}

}  // namespace
}  // namespace tessaly::engine
