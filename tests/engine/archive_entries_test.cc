// The entry listing of the archiver (EntryCount, Entry): what it reports of
// archives written by a peer and by the engine itself, split ones included,
// and of the entries pending in a running update.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/archiver.h"
#include "engine/base/scripted_dialog_service.h"
#include "tests/support/noise.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::engine {
namespace {

class ArchiveEntriesTest : public ::testing::Test {
 protected:
  ArchiveEntriesTest() {
    zip_.SetName("ZipArchiver");
    zip_.SetDialogService(&dialogs_);
    zip_.Options.StorePath = spNoPath;
  }

  void Pack(const std::vector<std::string>& files) {
    TStringList masks;
    for (const std::string& file : files) masks.Add(file);
    zip_.SetFileMasks(masks);
    zip_.Open(kOpenCreate);
    zip_.AddMatchingFiles();
    zip_.Close();
  }

  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
  tessaly::test::TempDir dir_;
};

TEST_F(ArchiveEntriesTest, ListsWhatAPeerWrote) {
  if (!tessaly::test::PeerToolsAvailable()) {
    GTEST_SKIP() << tessaly::test::kNoPeerTools;
  }
  // Python writes the time fields as given, so a date no calendar has
  // (month 15, hour 31, minute 63, second 62) comes back field by field.
  const std::string script = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    i = zipfile.ZipInfo("dir/", (2020, 2, 29, 0, 0, 0))
    i.external_attr = 0x10
    z.writestr(i, b"")
    i = zipfile.ZipInfo("dir/a.txt", (2021, 7, 14, 13, 45, 58))
    i.compress_type = zipfile.ZIP_DEFLATED
    i.external_attr = 0x21
    z.writestr(i, b"hello, hello, hello, hello\n" * 40)
    i = zipfile.ZipInfo("b.bin", (1990, 15, 31, 31, 63, 62))
    z.writestr(i, b"\x00\x01\x02")
)";
  const std::string archive = dir_.Join("peer.zip");
  const std::string py = dir_.WriteFile("make.py", script);
  const auto made =
      tessaly::test::RunCommand("python3 " + tessaly::test::ShellQuote(py) +
                                " " + tessaly::test::ShellQuote(archive));
  ASSERT_EQ(made.exit_code, 0) << made.output;

  zip_.FileName = archive;
  EXPECT_EQ(zip_.EntryCount(), 0) << "no archive open";
  zip_.Open(kOpenReadOnlyDenyNone);
  ASSERT_EQ(zip_.EntryCount(), 3);

  const EntryInfo folder = zip_.Entry(0);
  EXPECT_EQ(folder.Name, "dir/");
  EXPECT_TRUE(folder.IsFolder());
  EXPECT_EQ(folder.UncompressedSize, 0u);
  EXPECT_EQ(folder.Modified.year, 2020);
  EXPECT_EQ(folder.Modified.month, 2);
  EXPECT_EQ(folder.Modified.day, 29);

  const std::string text = [] {
    std::string s;
    for (int i = 0; i < 40; ++i) s += "hello, hello, hello, hello\n";
    return s;
  }();
  const EntryInfo a = zip_.Entry(1);
  EXPECT_EQ(a.Name, "dir/a.txt");
  EXPECT_FALSE(a.IsFolder());
  EXPECT_EQ(a.Method, 8);
  EXPECT_EQ(a.UncompressedSize, text.size());
  EXPECT_LT(a.CompressedSize, text.size());
  EXPECT_EQ(a.Crc32, crc32(0, reinterpret_cast<const Bytef*>(text.data()),
                           static_cast<uInt>(text.size())));
  EXPECT_EQ(a.Attributes, 0x21u);
  EXPECT_EQ(a.FirstVolume, 0u);
  EXPECT_FALSE(a.Pending);
  const platform::CivilTime& t = a.Modified;
  EXPECT_EQ(
      (std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}),
      (std::vector<int>{2021, 7, 14, 13, 45, 58}));

  const EntryInfo b = zip_.Entry(2);
  EXPECT_EQ(b.Method, 0);
  EXPECT_EQ(b.CompressedSize, 3u);
  const platform::CivilTime& u = b.Modified;
  EXPECT_EQ(
      (std::vector<int>{u.year, u.month, u.day, u.hour, u.minute, u.second}),
      (std::vector<int>{1990, 15, 31, 31, 63, 62}));
  zip_.Close();
  EXPECT_EQ(zip_.EntryCount(), 0);
}

TEST_F(ArchiveEntriesTest, GivesTheVolumeEachEntryStartsOn) {
  zip_.FileName = dir_.Join("arc.zip");
  zip_.SetSpanningMode(smSplitting);
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(65536);
  zip_.SetCompressionMode(0);
  std::vector<std::string> files;
  for (int i = 0; i < 5; ++i) {
    files.push_back(dir_.WriteFile("f" + std::to_string(i) + ".bin",
                                   tessaly::test::Noise(40000, i + 1)));
  }
  Pack(files);

  // Where the tests' own reader finds each local header, in the volumes
  // joined, and which volume that byte lies in.
  std::vector<std::string> volumes;
  std::vector<uint64_t> ends;  // each volume's end in the joined bytes
  uint64_t end = 0;
  for (int n = 1;; ++n) {
    const std::string name =
        dir_.Join((n < 10 ? "arc.z0" : "arc.z") + std::to_string(n));
    if (!zip_.env().FileExists(name)) break;
    volumes.push_back(name);
  }
  volumes.push_back(dir_.Join("arc.zip"));
  for (const std::string& v : volumes) {
    end += dir_.ReadFile(v).size();
    ends.push_back(end);
  }
  ASSERT_GE(volumes.size(), 3u);
  const tessaly::test::ZipReadResult read =
      tessaly::test::ReadZipVolumes(volumes);
  ASSERT_TRUE(read.ok()) << read.error;

  zip_.Open(kOpenReadOnlyDenyNone);
  ASSERT_EQ(zip_.EntryCount(), 5);
  uint32_t last = 0;
  for (int32_t i = 0; i < 5; ++i) {
    uint32_t volume = 0;
    while (read.entries[i].offset >= ends[volume]) ++volume;
    const EntryInfo entry = zip_.Entry(i);
    EXPECT_EQ(entry.Name, read.entries[i].name);
    EXPECT_EQ(entry.FirstVolume, volume) << entry.Name;
    last = entry.FirstVolume;
  }
  EXPECT_GT(last, 0u);
  zip_.Close();
}

TEST_F(ArchiveEntriesTest, ShowsTheEntriesAnUpdateHasPending) {
  zip_.FileName = dir_.Join("arc.zip");
  const std::string a = dir_.WriteFile("a.txt", "first");
  const std::string b = dir_.WriteFile("b.txt", "second");
  Pack({a});

  dir_.WriteFile("a.txt", "first, changed");
  zip_.FileMasks.Clear();
  zip_.FileMasks.Add(a);
  zip_.FileMasks.Add(b);
  zip_.Open();
  zip_.BeginUpdate();
  zip_.AddMatchingFiles();
  ASSERT_EQ(zip_.EntryCount(), 2);
  const EntryInfo replaced = zip_.Entry(0);
  const EntryInfo added = zip_.Entry(1);
  EXPECT_TRUE(replaced.Pending);
  EXPECT_EQ(replaced.Action, poUpdate);
  EXPECT_EQ(replaced.SourceFileName, a);
  EXPECT_TRUE(added.Pending);
  EXPECT_EQ(added.Action, poAdd);
  EXPECT_EQ(added.Name, "b.txt");
  zip_.EndUpdate();
  EXPECT_EQ(zip_.Entry(0).UncompressedSize, 14u);
  zip_.Close();
}

}  // namespace
}  // namespace tessaly::engine
