#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "engine/directory/dir_manager.h"
#include "platform/testing/mem_env.h"
#include "tests/engine/directory/dir_test_owner.h"
#include "tests/support/ansi_text.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

using testing::TestDirOwner;

// Entries as Python's zipfile sees them, one line each; offsets are where
// the local headers really are.
constexpr char kPythonListing[] =
    "import zipfile,sys\n"
    "z=zipfile.ZipFile(sys.argv[1])\n"
    "for i in z.infolist(): print(i.filename, i.file_size, i.compress_size, "
    "i.header_offset, i.CRC, i.external_attr & 0x10)\n";

// What this Python program wrote, with every time stamp at
// 2024-03-14 15:09:26:
//   z = zipfile.ZipFile(path, 'w')
//   z.writestr('d/', '')
//   z.writestr('d/a.txt', 'alpha' * 20, zipfile.ZIP_DEFLATED)
//   z.writestr('b.txt', 'bravo')
//   z.close()
constexpr char kSmallArchive[] =
    "\x50\x4B\x03\x04\x14\x00\x00\x00\x00\x00\x2D\x79\x6E\x58\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x64\x2F"
    "\x50\x4B\x03\x04\x14\x00\x00\x00\x08\x00\x2D\x79\x6E\x58\x58\xB8"
    "\x82\x9F\x0A\x00\x00\x00\x64\x00\x00\x00\x07\x00\x00\x00\x64\x2F"
    "\x61\x2E\x74\x78\x74\x4B\xCC\x29\xC8\x48\x4C\xA4\x2D\x01\x00\x50"
    "\x4B\x03\x04\x14\x00\x00\x00\x00\x00\x2D\x79\x6E\x58\x89\xB8\x9B"
    "\x09\x05\x00\x00\x00\x05\x00\x00\x00\x05\x00\x00\x00\x62\x2E\x74"
    "\x78\x74\x62\x72\x61\x76\x6F\x50\x4B\x01\x02\x14\x03\x14\x00\x00"
    "\x00\x00\x00\x2D\x79\x6E\x58\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x10\x00\xFD"
    "\x41\x00\x00\x00\x00\x64\x2F\x50\x4B\x01\x02\x14\x03\x14\x00\x00"
    "\x00\x08\x00\x2D\x79\x6E\x58\x58\xB8\x82\x9F\x0A\x00\x00\x00\x64"
    "\x00\x00\x00\x07\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80"
    "\x01\x20\x00\x00\x00\x64\x2F\x61\x2E\x74\x78\x74\x50\x4B\x01\x02"
    "\x14\x03\x14\x00\x00\x00\x00\x00\x2D\x79\x6E\x58\x89\xB8\x9B\x09"
    "\x05\x00\x00\x00\x05\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x80\x01\x4F\x00\x00\x00\x62\x2E\x74\x78\x74\x50"
    "\x4B\x05\x06\x00\x00\x00\x00\x03\x00\x03\x00\x98\x00\x00\x00\x77"
    "\x00\x00\x00\x00\x00";

// Python's zipfile with the name 'Ärger.txt' (flagged UTF-8), content 'x'.
constexpr char kUtf8Archive[] =
    "\x50\x4B\x03\x04\x14\x00\x00\x08\x00\x00\x2D\x79\x6E\x58\x83\x16"
    "\xDC\x8C\x01\x00\x00\x00\x01\x00\x00\x00\x0A\x00\x00\x00\xC3\x84"
    "\x72\x67\x65\x72\x2E\x74\x78\x74\x78\x50\x4B\x01\x02\x14\x03\x14"
    "\x00\x00\x08\x00\x00\x2D\x79\x6E\x58\x83\x16\xDC\x8C\x01\x00\x00"
    "\x00\x01\x00\x00\x00\x0A\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x80\x01\x00\x00\x00\x00\xC3\x84\x72\x67\x65\x72\x2E\x74\x78"
    "\x74\x50\x4B\x05\x06\x00\x00\x00\x00\x01\x00\x01\x00\x38\x00\x00"
    "\x00\x29\x00\x00\x00\x00\x00";

// Python's zipfile writing to a stream it cannot seek: data descriptors
// after x.txt ('data' * 10, deflated) and y.txt ('why', stored). The
// listing is zipfile's (kPythonListing) of the whole archive.
constexpr char kStreamedArchive[] =
    "\x50\x4B\x03\x04\x14\x00\x08\x00\x08\x00\x2D\x79\x6E\x58\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x05\x00\x00\x00\x78\x2E"
    "\x74\x78\x74\x4B\x49\x2C\x49\x4C\x21\x02\x03\x00\x50\x4B\x07\x08"
    "\x1C\x94\x9D\x87\x09\x00\x00\x00\x28\x00\x00\x00\x50\x4B\x03\x04"
    "\x14\x00\x08\x00\x00\x00\x2D\x79\x6E\x58\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x05\x00\x00\x00\x79\x2E\x74\x78\x74\x77"
    "\x68\x79\x50\x4B\x07\x08\xF0\x8F\x02\x2A\x03\x00\x00\x00\x03\x00"
    "\x00\x00\x50\x4B\x01\x02\x14\x03\x14\x00\x08\x00\x08\x00\x2D\x79"
    "\x6E\x58\x1C\x94\x9D\x87\x09\x00\x00\x00\x28\x00\x00\x00\x05\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80\x01\x00\x00\x00\x00"
    "\x78\x2E\x74\x78\x74\x50\x4B\x01\x02\x14\x03\x14\x00\x08\x00\x00"
    "\x00\x2D\x79\x6E\x58\xF0\x8F\x02\x2A\x03\x00\x00\x00\x03\x00\x00"
    "\x00\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80\x01\x3C"
    "\x00\x00\x00\x79\x2E\x74\x78\x74\x50\x4B\x05\x06\x00\x00\x00\x00"
    "\x02\x00\x02\x00\x66\x00\x00\x00\x72\x00\x00\x00\x00\x00";
constexpr char kStreamedListing[] =
    "x.txt 40 9 0 2275251228 0\n"
    "y.txt 3 3 60 704810992 0\n";

template <size_t N>
std::string LiteralBytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string Python(const std::string& script, const std::string& path) {
  const auto result = test::RunCommand(
      "python3 -c " + test::ShellQuote(script) + " " + test::ShellQuote(path));
  EXPECT_EQ(result.exit_code, 0) << script << result.output;
  return result.output;
}

std::string Listing(TZADirManager& manager) {
  std::ostringstream out;
  for (int32_t i = 0; i < manager.Dir.Count(); ++i) {
    const TDirItem& item = manager.Dir.ItemPtr(i);
    out << item.StoredName << ' ' << item.UncompressedSize() << ' '
        << item.CompressedSize() << ' ' << item.LocalHeaderOffset() << ' '
        << item.header.crc32 << ' ' << (item.header.external_attributes & 0x10)
        << '\n';
  }
  return out.str();
}

class DirLoadTest : public ::testing::Test {
 protected:
  // Loads `bytes` as a one-volume archive.
  TZADirManager& Load(std::string_view bytes) {
    return owner_.LoadMemory(bytes, manager_);
  }
  // A small archive made by Python's zipfile (a folder, a deflated and a
  // stored file: kSmallArchive) with `comment` as its archive comment.
  static std::string SmallArchive(const std::string& comment = "") {
    std::string archive = LiteralBytes(kSmallArchive);
    archive[archive.size() - 2] = static_cast<char>(comment.size() & 0xFF);
    archive[archive.size() - 1] = static_cast<char>(comment.size() >> 8);
    return archive + comment;
  }

  test::TempDir dir_;
  platform::MemEnv env_;
  TestDirOwner owner_{env_};
  std::unique_ptr<TZADirManager> manager_;
};

TEST_F(DirLoadTest, PeerArchivesLoadAsPythonReadsThem) {
  if (!test::PeerToolsAvailable()) GTEST_SKIP() << test::kNoPeerTools;
  dir_.WriteFile("b.txt", "bravo");
  dir_.WriteFile("stub.bin", std::string(1000, 'S'));
  const std::string d = test::ShellQuote(dir_.path());
  const auto made = test::RunCommand(
      "cd " + d +
      " && mkdir d && head -c 300 stub.bin > d/a.txt && "
      "zip -q -r zip.zip d b.txt && cat stub.bin zip.zip > "
      "stub.zip && cp stub.zip adjusted.zip && zip -q -A adjusted.zip");
  ASSERT_EQ(made.exit_code, 0) << made.output;
  Python(
      "import zipfile,sys\n"
      "zipfile.ZIP64_LIMIT=3; zipfile.ZIP_FILECOUNT_LIMIT=1\n"
      "z=zipfile.ZipFile(sys.argv[1],'w')\n"
      "z.writestr('d/','')\n"
      "z.writestr('one.txt','first entry',zipfile.ZIP_DEFLATED)\n"
      "with z.open('two.txt','w',force_zip64=True) as f: f.write(b'second')\n"
      "z.comment=b'zip64 comment'\nz.close()\n",
      dir_.Join("zip64.zip"));

  struct Case {
    const char* file;
    int64_t prefix;
    bool zip64;
    const char* comment;
  };
  for (const Case& c : {Case{"zip.zip", 0, false, ""},
                        Case{"stub.zip", 1000, false, ""},  // offsets shifted
                        Case{"adjusted.zip", 1000, false, ""},
                        Case{"zip64.zip", 0, true, "zip64 comment"}}) {
    SCOPED_TRACE(c.file);
    TZADirManager& manager = Load(dir_.ReadFile(c.file));
    const std::string expected = Python(kPythonListing, dir_.Join(c.file));
    EXPECT_EQ(Listing(manager), expected);
    EXPECT_EQ(manager.PrefixSize, c.prefix);
    EXPECT_EQ(manager.HasZip64End, c.zip64);
    EXPECT_EQ(manager.Comment, c.comment);
    const int64_t end_records = owner_.stream()->Size() - 22 -
                                static_cast<int64_t>(manager.Comment.size()) -
                                (c.zip64 ? 76 : 0);
    EXPECT_EQ(manager.EndRecordPosition, end_records);
    for (int32_t i = 0; i < manager.Dir.Count(); ++i) {
      const TDirItem& item = manager.Dir.ItemPtr(i);
      if (c.zip64 && item.CompressedSize() > 3) {
        EXPECT_TRUE(item.HasZip64) << item.StoredName;
      }
      if (item.StoredName == "d/a.txt") {  // Info-ZIP's time and Unix blocks
        EXPECT_EQ(item.ExtraBlocks.size(), 2u);
      }
    }
    // Written back over the old directory, the archive reads the same.
    manager.SaveDir(false);
    const std::string again =
        dir_.WriteFile("again.zip", owner_.memory().view());
    EXPECT_EQ(Python(kPythonListing, again), expected);
    const auto unzip = test::RunCommand("unzip -tq " + test::ShellQuote(again));
    EXPECT_EQ(unzip.exit_code, 0) << unzip.output;
  }
}

TEST_F(DirLoadTest, EndRecordMustBeFollowedByExactlyItsComment) {
  const std::string archive = SmallArchive("0123456789");
  TZADirManager& manager = Load(archive);
  EXPECT_EQ(manager.Dir.Count(), 3);
  EXPECT_EQ(manager.Comment, "0123456789");
  engine::EndRecord record;
  int64_t position = 0;
  ASSERT_TRUE(manager.FindEndRecord(kEndRecordSignature, record, position));
  EXPECT_EQ(position, static_cast<int64_t>(archive.size()) - 32);

  // One byte more: no end record, so the entries come from local headers.
  const std::string expected = Listing(manager);
  TZADirManager& rebuilt = Load(archive + "x");
  EXPECT_FALSE(rebuilt.FindEndRecord(kEndRecordSignature, record, position));
  EXPECT_EQ(record, engine::EndRecord{});
  EXPECT_EQ(position, -1);
  EXPECT_EQ(Listing(rebuilt), expected);
  EXPECT_EQ(rebuilt.EndRecordPosition, -1);

  // A 65,535-byte comment that starts with a false end record.
  const std::string fake =
      "PK\x05\x06" + std::string(18, '0') + std::string(65535 - 22, 'c');
  std::string long_comment = SmallArchive(fake);
  TZADirManager& found = Load(long_comment);
  EXPECT_EQ(found.Comment.size(), 65535u);
  EXPECT_EQ(found.Comment.substr(0, 4), "PK\x05\x06");
  EXPECT_EQ(found.EndRecordPosition,
            static_cast<int64_t>(long_comment.size()) - 65535 - 22);

  owner_.UseMemory("PK\x05\x06" + std::string(17, '\0'));  // 21 bytes
  TZADirManager tiny(owner_.stream(), owner_, owner_.volumes, false);
  EXPECT_FALSE(tiny.FindEndRecord(kEndRecordSignature, record, position));
}

TEST_F(DirLoadTest, DamagedDirectoryIsRebuiltOrReported) {
  std::string archive = SmallArchive();
  const size_t central = archive.find("PK\x01\x02");
  const std::string expected = Listing(Load(archive));

  std::string broken = archive;
  broken[central + 3] = 'X';  // not a central header any more
  EXPECT_EQ(Listing(Load(broken)), expected);

  owner_.rebuild = false;
  auto code_of = [&](const std::string& bytes) {
    try {
      Load(bytes);
    } catch (const EZAException& e) {
      return e.NativeError();
    }
    return 0;
  };
  EXPECT_EQ(code_of(broken), 57);
  std::string oversized = archive;  // compressed size of d/a.txt
  const size_t second = archive.find("PK\x01\x02", central + 4);
  oversized[second + 23] = 0x7F;
  EXPECT_EQ(code_of(oversized), 57);
  // Entry counts are checked against the room before anything is allocated.
  std::string counted = archive;
  const size_t end = archive.rfind("PK\x05\x06");
  counted[end + 8] = counted[end + 10] = '\xFE';
  counted[end + 9] = counted[end + 11] = '\xFF';
  EXPECT_EQ(code_of(counted), 57);
  EXPECT_EQ(manager_->Dir.Capacity, 0);
  std::string locator = std::string(60, 'j') + "PK\x06\x07" +
                        std::string(16, '\0') + "PK\x05\x06" +
                        std::string(18, '\0');
  EXPECT_EQ(code_of(locator), 40);

  owner_.rebuild = true;
  owner_.mode = smSplitting;
  EXPECT_EQ(code_of(archive + "x"), 44);
  owner_.mode = smNone;
  EXPECT_EQ(code_of("no archive here, nothing at all"), 35);
}

TEST_F(DirLoadTest, TruncatedOrCorruptedArchivesNeverCrash) {
  const std::string archive = SmallArchive("c");
  std::mt19937 random(1234);
  for (bool rebuild : {true, false}) {
    owner_.rebuild = rebuild;
    auto attempt = [&](const std::string& bytes) {
      try {
        Load(bytes);
        EXPECT_LE(manager_->Dir.Capacity,
                  std::max<int64_t>(1000, static_cast<int64_t>(bytes.size())));
      } catch (const platform::Exception&) {
        // Reported damage is fine; anything else escapes and fails.
      }
    };
    for (size_t n = 0; n <= archive.size(); ++n) attempt(archive.substr(0, n));
    for (int round = 0; round < 1500; ++round) {
      std::string bytes = archive;
      for (int flips = 1 + round % 4; flips > 0; --flips) {
        bytes[random() % bytes.size()] = static_cast<char>(random());
      }
      attempt(bytes);
    }
  }
}

TEST_F(DirLoadTest, NamesAreReadInTheirEncoding) {
  // A name flagged as UTF-8 is the system's ANSI text in memory, so that it
  // is found by the name of the file on disk, and it is saved back as UTF-8
  // with its flag, whatever OEMFileNames says.
  const std::string name = test::Ansi("Ärger.txt");
  ASSERT_FALSE(name.empty());
  for (const bool oem : {true, false}) {
    SCOPED_TRACE(oem ? "OEM names" : "ANSI names");
    owner_.oem = oem;
    TZADirManager& utf8 = Load(LiteralBytes(kUtf8Archive));
    EXPECT_EQ(utf8.Dir.ItemPtr(0).StoredName, name);
    int32_t found = -1;
    EXPECT_TRUE(utf8.Dir.FindName(name, found));
    EXPECT_EQ(found, 0);
    utf8.SaveDir(false);
    const std::string saved(owner_.memory().view());
    EXPECT_EQ(saved.find("\x8Erger"), std::string::npos);
    const size_t local = saved.find("\xC3\x84rger.txt");
    ASSERT_NE(local, std::string::npos);
    EXPECT_NE(saved.find("\xC3\x84rger.txt", local + 1), std::string::npos)
        << "the central header keeps the UTF-8 bytes";
    TZADirManager& again = Load(saved);
    EXPECT_EQ(again.Dir.ItemPtr(0).StoredName, name);
    EXPECT_EQ(again.Dir.ItemPtr(0).header.flags & 0x0800, 0x0800);
  }

  owner_.UseMemory();
  TZADirManager writer(owner_.stream(), owner_, owner_.volumes, false);
  TDirItem item;
  item.header.signature = kCentralHeaderSignature;
  item.StoredName = test::Ansi("Ärger.txt");
  writer.Dir.AddItem(item);
  item.StoredName = std::string("a\0b", 3);  // the name ends at the NUL
  writer.Dir.AddItem(item);
  writer.SaveDir(true);
  TZADirManager& oem = Load(std::string(owner_.memory().view()));
  EXPECT_EQ(oem.Dir.ItemPtr(0).StoredName, test::Ansi("Ärger.txt"));
  EXPECT_EQ(oem.Dir.ItemPtr(1).StoredName, "a");
}

TEST_F(DirLoadTest, ExtraBlocksAreCutToTheirField) {
  owner_.UseMemory();
  TZADirManager writer(owner_.stream(), owner_, owner_.volumes, false);
  TDirItem item;
  item.header.signature = kCentralHeaderSignature;
  item.StoredName = "cut";
  item.ExtraBlocks = {{0x5455, 3, {1, 2, 3}}};
  writer.Dir.AddItem(item);
  item.ExtraBlocks.clear();
  item.StoredName = "zip64";
  item.header.compressed_size = 0xFFFFFFFF;
  item.Zip64CompressedSize = 0x987654321;
  writer.Dir.AddItem(item);
  writer.SaveDir(true);
  std::string bytes(owner_.memory().view());
  bytes[46 + 3 + 2] = '\xC8';  // the block declares 200 bytes, 3 are left

  TZADirManager& manager = Load(bytes);
  ASSERT_EQ(manager.Dir.Count(), 2);
  const TDirItem& cut = manager.Dir.ItemPtr(0);
  ASSERT_EQ(cut.ExtraBlocks.size(), 1u);
  EXPECT_EQ(cut.ExtraBlocks[0].size, 3);
  EXPECT_EQ(cut.ExtraBlocks[0].data, (std::vector<uint8_t>{1, 2, 3}));
  const TDirItem& zip64 = manager.Dir.ItemPtr(1);
  EXPECT_TRUE(zip64.HasZip64);
  EXPECT_EQ(zip64.CompressedSize(), 0x987654321u);
  EXPECT_EQ(zip64.Zip64UncompressedSize, 0u);
}

TEST_F(DirLoadTest, RecoveryTakesSizesFromDataDescriptors) {
  const std::string archive = LiteralBytes(kStreamedArchive);
  TZADirManager& manager = Load(archive.substr(0, archive.find("PK\x01\x02")));
  EXPECT_EQ(Listing(manager), kStreamedListing);
  EXPECT_EQ(manager.Dir.ItemPtr(0).header.signature, kCentralHeaderSignature);
}

TEST_F(DirLoadTest, SplitDirectoryIsReadAcrossVolumes) {
  owner_.mode = smSplitting;
  owner_.LimitVolumes(65536);  // three entries per volume; a comment is divided
  TZAVolumeNumberInfo first;
  first.SetFirst(true);
  owner_.volumes.Open(first);
  TZADirManager writer(owner_.stream(), owner_, owner_.volumes, false);
  for (int i = 0; i < 12; ++i) {
    TDirItem item;
    item.StoredName = "entry" + std::to_string(i);
    item.Comment = std::string(20000, static_cast<char>('a' + i));
    item.header.signature = kCentralHeaderSignature;
    writer.Dir.AddItem(item);
  }
  writer.SaveDir(true);
  ASSERT_GE(owner_.volumes.current().Number, 2);

  owner_.open_mode = kOpenReadWriteDenyNone;
  owner_.volumes.current().Reset();
  owner_.volumes.current().Kind = kindLast;
  TZADirManager reader(owner_.stream(), owner_, owner_.volumes, false);
  reader.LoadDir();
  ASSERT_EQ(reader.Dir.Count(), 12);
  for (int32_t i = 0; i < 12; ++i) {
    EXPECT_EQ(reader.Dir.ItemPtr(i).Comment, writer.Dir.ItemPtr(i).Comment);
  }
}

TEST_F(DirLoadTest, SignatureScansCrossChunksAndKeepThePosition) {
  std::string bytes(20000, '\0');
  bytes.replace(9998, 4, "PK\x03\x04");  // across the first 10,000 bytes
  TZADirManager& manager = Load(bytes);
  EXPECT_EQ(manager.Dir.Count(), 1);  // rebuilt from that header
  owner_.stream()->Seek(123);
  int64_t position = -1;
  const uint8_t local[4] = {'P', 'K', 3, 4};
  EXPECT_TRUE(manager.FindSignature(*owner_.stream(), 0, local, position));
  EXPECT_EQ(position, 9998);
  EXPECT_FALSE(manager.FindSignature(*owner_.stream(), 9999, local, position));
  EXPECT_EQ(manager.FindLocalHeader(0), 9998);
  EXPECT_EQ(owner_.stream()->Position(), 123);
  owner_.stream()->SetSize(9998 + 29);  // a header needs 30 bytes
  EXPECT_EQ(manager.FindLocalHeader(0), -1);
}

}  // namespace
}  // namespace tessaly::engine
