// Updating archives that were damaged or had data put in front of them:
// the new entry goes after the data that is kept, every kept entry keeps
// its bytes, and what the engine writes reads back soundly (checked with the
// tests' own reader; tests/interop runs the peers on the same cases).
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::engine {
namespace {

uint64_t Le(const std::string& bytes, size_t at, size_t size) {
  uint64_t v = 0;
  for (size_t i = size; i-- > 0;) {
    v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
  }
  return v;
}

class DamagedArchiveUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    src_ = dir_.MakeDir("src");
    std::mt19937 random(7);
    std::string noise(60000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    dir_.WriteFile("src/a.bin", noise);
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i) + "\n";
    dir_.WriteFile("src/b.txt", text);
    dir_.WriteFile("src/empty.dat", "");
    archive_ = dir_.Join("a.zip");
    Run({"*.*"}, /*create=*/true);
    original_ = dir_.ReadFile(archive_);
    const test::ZipReadResult read = test::ReadZip(archive_);
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.Names(),
              (std::vector<std::string>{"a.bin", "b.txt", "empty.dat"}));
    entries_ = read.entries;
    directory_ = static_cast<size_t>(Le(original_, original_.size() - 6, 4));
    dir_.WriteFile("src/new.txt", "the entry added by the update");
  }

  // Creates the archive from `masks`, or adds them to it.
  void Run(std::initializer_list<const char*> masks, bool create) {
    TZipArchiver zip;
    zip.SetDialogService(&dialogs_);
    zip.FileName = archive_;
    zip.BaseDir = src_;
    for (const char* mask : masks) zip.FileMasks.Add(mask);
    if (create) {
      zip.Open(kOpenCreate);
    } else {
      zip.Open();
    }
    zip.AddMatchingFiles();
    zip.Close();
  }

  // Whether the archive lists `name` as a folder.
  bool ListedAsFolder(const std::string& name) {
    TZipArchiver zip;
    zip.SetDialogService(&dialogs_);
    zip.FileName = archive_;
    zip.Open(kOpenReadOnlyDenyNone);
    int32_t index = -1;
    EXPECT_TRUE(zip.DirectoryStore()->Dir.FindName(name, index)) << name;
    const bool folder =
        index >= 0 && zip.DirectoryStore()->Dir.ItemPtr(index).IsFolder();
    zip.Close();
    return folder;
  }

  test::TempDir dir_;
  std::string src_;
  std::string archive_;
  ScriptedDialogService dialogs_;
  std::string original_;
  std::vector<test::ZipEntryInfo> entries_;  // of the undamaged archive
  size_t directory_ = 0;                     // where its directory starts
};

TEST_F(DamagedArchiveUpdateTest, UpdateAfterRecoveryAppendsAfterTheEntries) {
  dir_.WriteFile("a.zip", original_ + "x");  // the end record is not found
  Run({"new.txt"}, /*create=*/false);
  const std::string updated = dir_.ReadFile(archive_);
  EXPECT_EQ(updated.substr(0, directory_), original_.substr(0, directory_))
      << "the entries' bytes are kept where they were";
  const test::ZipReadResult read = test::ReadZip(archive_);
  ASSERT_TRUE(read.ok()) << read.error;
  ASSERT_EQ(read.Names(), (std::vector<std::string>{"a.bin", "b.txt",
                                                    "empty.dat", "new.txt"}));
  EXPECT_EQ(read.entries[3].offset, directory_) << "over the old directory";
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read.entries[i].crc, entries_[i].crc) << read.entries[i].name;
    EXPECT_EQ(read.entries[i].offset, entries_[i].offset);
  }
  EXPECT_FALSE(ListedAsFolder("empty.dat")) << "an empty file stays a file";
}

TEST_F(DamagedArchiveUpdateTest, UpdateOfAnArchiveCutShortKeepsTheWholeEntries) {
  // Cut in the middle of b.txt's data: a.bin is whole, the rest is lost.
  const size_t cut = static_cast<size_t>(entries_[1].offset) + 30 + 5 +
                     static_cast<size_t>(entries_[1].compressed_size) / 2;
  dir_.WriteFile("a.zip", original_.substr(0, cut));
  Run({"new.txt"}, /*create=*/false);
  const test::ZipReadResult read = test::ReadZip(archive_);
  ASSERT_TRUE(read.ok()) << read.error;
  ASSERT_EQ(read.Names(), (std::vector<std::string>{"a.bin", "new.txt"}));
  EXPECT_EQ(read.entries[1].offset, entries_[1].offset)
      << "right after the last whole entry";
  const std::string updated = dir_.ReadFile(archive_);
  EXPECT_EQ(updated.substr(0, entries_[1].offset),
            original_.substr(0, entries_[1].offset));
}

TEST_F(DamagedArchiveUpdateTest, UpdateOfAStubbedArchiveKeepsEveryEntry) {
  // A stub put in front without adjusting the offsets, as `cat` does.
  const std::string stub(3000, 'S');
  dir_.WriteFile("a.zip", stub + original_);
  Run({"new.txt"}, /*create=*/false);
  const std::string updated = dir_.ReadFile(archive_);
  EXPECT_EQ(updated.substr(0, stub.size() + directory_),
            stub + original_.substr(0, directory_));
  const test::ZipReadResult read = test::ReadZip(archive_);
  ASSERT_TRUE(read.ok()) << read.error;
  ASSERT_EQ(read.Names().size(), 4u);

  // The directory written by the update counts the stub: every stored
  // offset is the true position in the file.
  const size_t end = updated.size() - 22;
  ASSERT_EQ(updated.substr(end, 4), std::string("PK\x05\x06", 4));
  const uint64_t directory = Le(updated, end + 16, 4);
  EXPECT_EQ(directory, stub.size() + directory_ + 30 + 7 +
                           (read.entries[3].compressed_size));
  EXPECT_EQ(updated.substr(directory, 4), std::string("PK\x01\x02", 4));
  size_t header = directory;
  for (size_t i = 0; i < 4; ++i) {
    const uint64_t offset = Le(updated, header + 42, 4);
    EXPECT_EQ(updated.substr(offset, 4), std::string("PK\x03\x04", 4))
        << "entry " << i;
    if (i < 3) {
      EXPECT_EQ(offset, stub.size() + entries_[i].offset) << "entry " << i;
    }
    header += 46 + Le(updated, header + 28, 2) + Le(updated, header + 30, 2) +
              Le(updated, header + 32, 2);
  }
}

}  // namespace
}  // namespace tessaly::engine
