#include <string>

#include <gtest/gtest.h>

#include "engine/directory/dir_manager.h"
#include "platform/open_stream.h"
#include "platform/testing/fault_env.h"
#include "platform/testing/mem_env.h"
#include "tests/engine/directory/dir_test_owner.h"
#include "tests/support/ansi_text.h"

namespace tessaly::engine {
namespace {

using testing::Bytes;
using testing::TestDirOwner;

std::string ReadAll(platform::Env& env, const std::string& path) {
  const auto file = platform::OpenStream(env, path, platform::kOpenRead);
  std::string bytes(static_cast<size_t>(file->Size()), '\0');
  file->ReadBuffer(bytes.data(), file->Size());
  return bytes;
}

// Checks the 22-byte end record at `at` field by field.
void ExpectEndRecord(Bytes b, size_t at, uint64_t disk, uint64_t dir_disk,
                     uint64_t entries, uint64_t size, uint64_t offset,
                     const std::string& comment) {
  EXPECT_EQ(b.At(at, 4), 0x06054B50u) << "end record: signature";
  EXPECT_EQ(b.At(at + 4, 2), disk) << "end record: this disk";
  EXPECT_EQ(b.At(at + 6, 2), dir_disk) << "end record: directory disk";
  EXPECT_EQ(b.At(at + 8, 2), entries) << "end record: entries this disk";
  EXPECT_EQ(b.At(at + 10, 2), entries) << "end record: total entries";
  EXPECT_EQ(b.At(at + 12, 4), size) << "end record: directory size";
  EXPECT_EQ(b.At(at + 16, 4), offset) << "end record: directory offset";
  EXPECT_EQ(b.At(at + 20, 2), comment.size()) << "end record: comment length";
  EXPECT_EQ(b.Text(at + 22, b.data.size() - at - 22), comment)
      << "end record: comment";
}

class DirSaveTest : public ::testing::Test {
 protected:
  platform::MemEnv env_;
  TestDirOwner owner_{env_};
};

TEST_F(DirSaveTest, EmptyDirectoryIsTheEndRecordAtItsOwnPosition) {
  platform::MemoryStream& out = owner_.UseMemory("stub!");
  TZADirManager manager(&out, owner_, owner_.volumes, /*creating=*/false);
  EXPECT_FALSE(manager.ForeignStream);
  manager.Comment = "hi";
  manager.SaveDir(true);
  ASSERT_EQ(out.Size(), 5 + 22 + 2);
  ExpectEndRecord(Bytes{out.bytes()}, 5, 0, 0, 0, 0, 5, "hi");
}

TEST_F(DirSaveTest, CentralHeadersAreWrittenFieldByField) {
  for (bool oem : {true, false}) {
    SCOPED_TRACE(oem ? "OEM names" : "ANSI names");
    owner_.oem = oem;
    platform::MemoryStream& out = owner_.UseMemory(std::string(100, 'L'));
    TZADirManager manager(&out, owner_, owner_.volumes, false);
    TDirItem a;
    a.header = {0x02014B50, 0x0B14,     0x0014, 0x0001, 8, 0x6000,
                0x5821,     0xCBF43926, 70,     90,     0, 0,
                0,          0,          1,      0x20,   0};
    a.StoredName = test::Ansi("Dir/Ärger.txt");  // Ä: 0x8E in CP437
    a.Comment = "note";
    a.ExtraBlocks = {{0x0001, 8, {9, 9, 9, 9, 9, 9, 9, 9}},  // stale Zip64
                     {0x5455, 3, {1, 2, 3}}};
    TDirItem b;
    b.header.signature = 0x02014B50;
    b.header.uncompressed_size = 0xFFFFFFFF;
    b.header.local_header_offset = 0xFFFFFFFF;
    b.Zip64UncompressedSize = 0x123456789;
    b.Zip64LocalOffset = 0x1000000AB;
    b.StoredName = "b";
    manager.Dir.AddItem(a);
    manager.Dir.AddItem(b);
    manager.SaveDir(true);

    const Bytes bytes{out.bytes()};
    const std::string name =
        oem ? std::string("Dir/\x8Erger.txt") : a.StoredName;
    size_t at = 100;
    EXPECT_EQ(bytes.At(at, 4), 0x02014B50u) << "a: signature";
    EXPECT_EQ(bytes.At(at + 4, 2), 0x0B14u) << "a: version made by";
    EXPECT_EQ(bytes.At(at + 6, 2), 0x0014u) << "a: version needed";
    EXPECT_EQ(bytes.At(at + 8, 2), 1u) << "a: flags";
    EXPECT_EQ(bytes.At(at + 10, 2), 8u) << "a: method";
    EXPECT_EQ(bytes.At(at + 12, 4), 0x58216000u) << "a: time and date";
    EXPECT_EQ(bytes.At(at + 16, 4), 0xCBF43926u) << "a: crc32";
    EXPECT_EQ(bytes.At(at + 20, 4), 70u) << "a: compressed size";
    EXPECT_EQ(bytes.At(at + 24, 4), 90u) << "a: uncompressed size";
    EXPECT_EQ(bytes.At(at + 28, 2), name.size()) << "a: name length";
    EXPECT_EQ(bytes.At(at + 30, 2), 7u) << "a: extra length (only 0x5455)";
    EXPECT_EQ(bytes.At(at + 32, 2), 4u) << "a: comment length";
    EXPECT_EQ(bytes.At(at + 36, 2), 1u) << "a: internal attributes";
    EXPECT_EQ(bytes.At(at + 38, 4), 0x20u) << "a: external attributes";
    EXPECT_EQ(bytes.At(at + 42, 4), 0u) << "a: local header offset";
    EXPECT_EQ(bytes.Text(at + 46, name.size()), name) << "a: name";
    at += 46 + name.size();
    EXPECT_EQ(bytes.Text(at, 7), std::string("\x55\x54\x03\x00\x01\x02\x03", 7))
        << "a: kept block";
    EXPECT_EQ(bytes.Text(at + 7, 4), "note") << "a: comment";
    EXPECT_EQ(manager.Dir.ItemPtr(0).header.name_length, name.size());

    at += 11;
    EXPECT_EQ(bytes.At(at + 24, 4), 0xFFFFFFFFu) << "b: uncompressed size";
    EXPECT_EQ(bytes.At(at + 30, 2), 20u) << "b: extra length";
    EXPECT_EQ(bytes.At(at + 47, 2), 0x0001u) << "b: Zip64 header id";
    EXPECT_EQ(bytes.At(at + 49, 2), 16u) << "b: Zip64 data size";
    EXPECT_EQ(bytes.At(at + 51, 8), 0x123456789u) << "b: Zip64 uncompressed";
    EXPECT_EQ(bytes.At(at + 59, 8), 0x1000000ABu) << "b: Zip64 offset";
    const size_t end = at + 46 + 1 + 20;
    ExpectEndRecord(bytes, end, 0, 0, 2, end - 100, 100, "");
  }
}

TEST_F(DirSaveTest, TooLongNameIsRefusedBeforeTheArchiveIsTouched) {
  platform::MemoryStream& out = owner_.UseMemory("keep");
  TZADirManager manager(&out, owner_, owner_.volumes, false);
  TDirItem item;
  item.StoredName = std::string(65535, 'n');
  manager.Dir.AddItem(item);
  item.StoredName += "n";
  manager.Dir.AddItem(item);
  try {
    manager.SaveDir(true);
    FAIL() << "a 65,536-byte name was written";
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError(), 61);
    EXPECT_EQ(std::string(e.what()).rfind("Zipper: File name is too long", 0),
              0u);
  }
  EXPECT_EQ(out.view(), "keep");
  manager.Dir.DeleteItem(1);
  manager.SaveDir(true);
  EXPECT_EQ(Bytes{out.bytes()}.At(4 + 28, 2), 0xFFFFu) << "name length";
}

TEST_F(DirSaveTest, Zip64EndRecordsFollowTheEntryCount) {
  for (int32_t count : {65534, 65535}) {
    platform::MemoryStream& out = owner_.UseMemory();
    TZADirManager manager(&out, owner_, owner_.volumes, false);
    manager.Dir.SetCount(count);
    for (int32_t i = 0; i < count; ++i) manager.Dir.RenameItem(i, "");
    manager.SaveDir(true);
    const Bytes b{out.bytes()};
    const uint64_t dir_size = 46ull * count;
    if (count == 65534) {
      ASSERT_EQ(out.Size(), static_cast<int64_t>(dir_size + 22));
      ExpectEndRecord(b, dir_size, 0, 0, 65534, dir_size, 0, "");
      continue;
    }
    ASSERT_EQ(out.Size(), static_cast<int64_t>(dir_size + 56 + 20 + 22));
    size_t at = dir_size;
    EXPECT_EQ(b.At(at, 4), 0x06064B50u) << "zip64 end: signature";
    EXPECT_EQ(b.At(at + 4, 8), 44u) << "zip64 end: record size";
    EXPECT_EQ(b.At(at + 12, 4), 0x002D002Du) << "zip64 end: versions";
    EXPECT_EQ(b.At(at + 24, 8), 65535u) << "zip64 end: entries this disk";
    EXPECT_EQ(b.At(at + 32, 8), 65535u) << "zip64 end: total entries";
    EXPECT_EQ(b.At(at + 40, 8), dir_size) << "zip64 end: directory size";
    EXPECT_EQ(b.At(at + 48, 8), 0u) << "zip64 end: directory offset";
    at += 56;
    EXPECT_EQ(b.At(at, 4), 0x07064B50u) << "locator: signature";
    EXPECT_EQ(b.At(at + 8, 8), dir_size) << "locator: zip64 end offset";
    EXPECT_EQ(b.At(at + 16, 4), 1u) << "locator: total disks";
    ExpectEndRecord(b, at + 20, 0, 0, 0xFFFF, dir_size, 0, "");
  }
}

// A stream that starts far out: bytes before `base` do not exist.
class FarStream : public platform::Stream {
 public:
  explicit FarStream(int64_t base) : base_(base), position_(base) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    data_.insert(data_.end(), p, p + count);
    position_ += count;
    return count;
  }
  int64_t Seek(int64_t position) override {
    return position == Size() ? (position_ = position) : -1;
  }
  int64_t Position() const override { return position_; }
  int64_t Size() const override {
    return base_ + static_cast<int64_t>(data_.size());
  }
  bool SetSize(int64_t size) override { return size == Size(); }
  std::vector<uint8_t> data_;

 private:
  int64_t base_;
  int64_t position_;
};

TEST_F(DirSaveTest, PositionsBeyond32BitsUseMarkersAndZip64Records) {
  for (int64_t base : {int64_t{0xFFFFFFF0}, int64_t{0x100000000}}) {
    FarStream out(base);
    TZADirManager manager(&out, owner_, owner_.volumes, false);
    TDirItem item;
    item.StoredName = "x";
    manager.Dir.AddItem(item);
    manager.SaveDir(true);
    const Bytes b{out.data_};
    ASSERT_EQ(out.data_.size(), 47u + 56 + 20 + 22);
    EXPECT_EQ(b.At(47 + 48, 8), static_cast<uint64_t>(base))
        << "zip64 end: directory offset";
    EXPECT_EQ(b.At(47 + 56 + 8, 8), static_cast<uint64_t>(base + 47))
        << "locator: zip64 end offset";
    ExpectEndRecord(b, 47 + 56 + 20, 0, 0, 1, 47,
                    std::min<uint64_t>(base, 0xFFFFFFFF), "");
  }
}

TEST_F(DirSaveTest, ShortWriteOfTheEndRecordRaises46) {
  platform::FaultEnv faults(env_);
  owner_.volumes.Replace(
      platform::OpenStream(faults, "/short.zip", platform::kOpenCreate),
      "/short.zip");
  TZADirManager manager(owner_.stream(), owner_, owner_.volumes, false);
  faults.ShortenNthWrite(1, 10);
  try {
    manager.SaveDir(true);
    FAIL() << "short write not reported";
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError(), 46);
  }
}

TEST_F(DirSaveTest, StubIsCopiedUnlessTheFirstVolumeIsTooSmall) {
  owner_.stub = "/stub.exe";
  {
    platform::OpenStream(env_, owner_.stub, platform::kOpenCreate)
        ->WriteBuffer("MZ-stub-code", 12);
  }
  platform::MemoryStream& out = owner_.UseMemory("old");
  TZADirManager manager(&out, owner_, owner_.volumes, /*creating=*/true);
  EXPECT_EQ(out.view(), "MZ-stub-code");
  EXPECT_EQ(manager.PrefixSize, 12);
  EXPECT_TRUE(owner_.volumes.current().IsFirst());

  owner_.mode = smSplitting;
  owner_.options.FirstVolumeSize = 11;
  owner_.UseMemory("old");
  try {
    TZADirManager refused(owner_.stream(), owner_, owner_.volumes, true);
    FAIL() << "stub larger than the first volume was placed";
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError(), 47);
  }
  EXPECT_EQ(owner_.memory().view(), "old");
}

TEST_F(DirSaveTest, SplitDirectoryStartsWhereItsFirstHeaderLands) {
  owner_.mode = smSplitting;
  owner_.LimitVolumes(65536);
  owner_.file_name = "/out/arc.zip";
  env_.CreateDir("/out");
  {
    platform::OpenStream(env_, "/out/arc.zip", platform::kOpenCreate)
        ->WriteBuffer("stale", 5);
  }
  TZAVolumeNumberInfo first;
  first.SetFirst(true);
  owner_.volumes.Open(first);
  const std::string filler(65536 - 50, 'd');  // 50 bytes left on volume 0
  owner_.stream()->WriteBuffer(filler.data(), filler.size());
  TZADirManager manager(owner_.stream(), owner_, owner_.volumes, false);
  TDirItem item;
  item.StoredName = "entry.txt";  // 46 + 9 bytes do not fit
  manager.Dir.AddItem(item);
  manager.SaveDir(true);

  EXPECT_EQ(owner_.opened, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(ReadAll(env_, "/out/arc.z01"), filler);
  EXPECT_FALSE(env_.FileExists("/out/arc.z02"));  // renamed
  EXPECT_EQ(owner_.volumes.name(), "/out/arc.zip");
  ASSERT_NE(manager.Stream, nullptr);
  EXPECT_EQ(manager.Stream, owner_.stream());
  const std::string last = ReadAll(env_, "/out/arc.zip");
  ASSERT_EQ(last.size(), 55u + 22);
  const Bytes b{{reinterpret_cast<const uint8_t*>(last.data()), last.size()}};
  EXPECT_EQ(b.Text(46, 9), "entry.txt");
  ExpectEndRecord(b, 55, 1, 1, 1, 55, 0, "");
}

}  // namespace
}  // namespace tessaly::engine
