// The apply step through the public component: what a host sees (events,
// failure dialogue, cancel) and what lands in the archive, read back with
// the tests' own reader and, where the peer tools run, Python's zipfile; for
// local headers with a decoder of our own.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/format/crc32.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/exception.h"
#include "platform/testing/fault_env.h"
#include "tests/support/ansi_text.h"
#include "tests/support/noise.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::engine {
namespace {

uint32_t Get16(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8;
}
uint32_t Get32(const std::string& b, size_t at) {
  return Get16(b, at) | Get16(b, at + 2) << 16;
}
uint64_t Get64(const std::string& b, size_t at) {
  return Get32(b, at) | static_cast<uint64_t>(Get32(b, at + 4)) << 32;
}

// The local header at `at` (APPNOTE 4.3.7).
struct Local {
  uint32_t signature, version, method, crc, compressed, uncompressed;
  std::string name, extra;
};
Local LocalAt(const std::string& b, size_t at) {
  const uint32_t name_length = Get16(b, at + 26);
  return {Get32(b, at),
          Get16(b, at + 4),
          Get16(b, at + 8),
          Get32(b, at + 14),
          Get32(b, at + 18),
          Get32(b, at + 22),
          b.substr(at + 30, name_length),
          b.substr(at + 30 + name_length, Get16(b, at + 28))};
}

uint32_t Crc(const std::string& data) {
  return ~UpdateCrc(0xFFFFFFFF, data.data(), static_cast<int64_t>(data.size()));
}

using test::Noise;

// After testzip() and a read of every entry, one line per entry:
// "name method CRC size compressed_size offset".
constexpr char kListScript[] = R"(import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
bad = z.testzip()
if bad is not None:
    sys.exit('testzip: ' + bad)
for i in z.infolist():
    z.read(i)
    print(i.filename, i.compress_type, '%08X' % i.CRC, i.file_size,
          i.compress_size, i.header_offset)
)";

struct Event {
  char kind;  // 'F' file progress, 'O' overall progress
  TZAProgressPhase phase;
  double progress;
  std::string name;  // file events: relative to the source folder
  TZAProcessOperation operation = poAdd;
};

struct Failure {
  std::string name;
  TZAProcessOperation operation;
  int32_t native, code;
  std::string message;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class PipelineTest : public ::testing::Test {
 protected:
  PipelineTest() : zip_(env_) {
    zip_.SetName("Zipper");
    zip_.SetDialogService(&dialogs_);
    zip_.FileName = dir_.Join("out.zip");
    zip_.TempDir = dir_.Join("tmp");
    src_ = dir_.MakeDir("src");
    dir_.MakeDir("tmp");
    zip_.BaseDir = src_;
    zip_.Options.Recurse = false;
    zip_.OnFileProgress = [this](Component*, const std::string& name,
                                 double progress, TZAProcessOperation op,
                                 TZAProgressPhase phase, bool& cancel) {
      Record({'F', phase, progress, Relative(name), op}, cancel);
    };
    zip_.OnOverallProgress = [this](Component*, double progress,
                                    TZAProcessOperation op,
                                    TZAProgressPhase phase, bool& cancel) {
      Record({'O', phase, progress, "", op}, cancel);
    };
    zip_.OnProcessFileFailure = [this](Component*, const std::string& name,
                                       TZAProcessOperation op, int32_t native,
                                       int32_t code, const std::string& message,
                                       TZAAction& action) {
      failures_.push_back({name, op, native, code, message});
      action = fxaIgnore;
      if (!answers_.empty()) {
        action = answers_.front();
        answers_.erase(answers_.begin());
      }
      if (on_failure_) on_failure_();
    };
  }

  ~PipelineTest() override {
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(zip_.TempDir, ec)) {
      ADD_FAILURE() << "temporary file left: " << entry.path();
    }
  }

  void Record(const Event& event, bool& cancel) {
    events_.push_back(event);
    if (cancel_when_ && cancel_when_(event)) cancel = true;
  }

  // Handlers see backslashes; the tests compare names relative to src_,
  // with '/'.
  std::string Relative(std::string name) const {
    auto slashes = [](std::string path) {
      for (char& c : path) {
        if (c == '\\') c = '/';
      }
      return path;
    };
    name = slashes(name);
    const std::string base = slashes(src_);
    return name.rfind(base, 0) == 0 ? name.substr(base.size()) : name;
  }

  std::string Source(const std::string& name, const std::string& content) {
    return dir_.WriteFile("src/" + name, content);
  }

  void Add(std::initializer_list<const char*> masks) {
    zip_.FileMasks.Clear();
    for (const char* mask : masks) zip_.FileMasks.Add(mask);
    zip_.AddMatchingFiles();
  }

  // A new archive of the masks, closed; returns its bytes. Its events and
  // failures are forgotten.
  std::string MakeArchive(std::initializer_list<const char*> masks) {
    zip_.Open(kOpenCreate);
    Add(masks);
    zip_.Close();
    events_.clear();
    failures_.clear();
    return Archive();
  }

  std::string Archive() const { return dir_.ReadFile("out.zip"); }

  // kListScript's output, from the tests' reader; fails the test when it
  // cannot read every entry. Where the peer tools run, Python's zipfile
  // must read the same.
  std::string List(const std::string& archive = "") {
    return Listed(test::ReadZip(archive.empty() ? zip_.FileName : archive),
                  archive);
  }

  std::string Listed(const test::ZipReadResult& read,
                     const std::string& archive) {
    EXPECT_TRUE(read.ok()) << read.error;
    if (!test::PeerToolsAvailable()) return read.Listing();
    const auto result = test::RunCommand(
        "python3 -c " + test::ShellQuote(kListScript) + " " +
        test::ShellQuote(archive.empty() ? zip_.FileName : archive));
    EXPECT_EQ(result.exit_code, 0) << result.output;
    EXPECT_EQ(read.Listing(), result.output) << "zipfile reads otherwise";
    return result.output;
  }

  // "name method CRC size" of an entry holding `content`.
  static std::string Line(const std::string& name, int method,
                          const std::string& content) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", Crc(content));
    return name + " " + std::to_string(method) + " " + crc + " " +
           std::to_string(content.size());
  }

  size_t Count(char kind, TZAProgressPhase phase) const {
    size_t n = 0;
    for (const Event& e : events_) n += e.kind == kind && e.phase == phase;
    return n;
  }

  platform::FaultEnv env_;  // outlives zip_
  test::TempDir dir_;
  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
  std::string src_;
  std::vector<Event> events_;
  std::function<bool(const Event&)> cancel_when_;
  std::vector<Failure> failures_;
  std::vector<TZAAction> answers_;
  std::function<void()> on_failure_;
};

// ---- Events and what is written -----------------------------------------

TEST_F(PipelineTest, EventsOfAFolderAnEmptyFileAndAThreeBlockFile) {
  dir_.MakeDir("src/fold");
  Source("empty.dat", "");
  const std::string big = Noise(1200000, 7);  // 3 blocks of 512 KiB
  Source("big.dat", big);
  zip_.Open(kOpenCreate);
  Add({"fold", "empty.dat", "big.dat"});

  // File k = 2 of n = 3 at fraction f: overall (k + f) / n * 100.
  const double f = 524288.0 / 1200000.0;
  const std::vector<Event> expected = {
      {'O', ppStart, 0, ""},
      {'F', ppStart, 0, "fold/"},
      {'F', ppEnd, 100, "fold/"},
      {'F', ppStart, 0, "empty.dat"},
      {'F', ppEnd, 100, "empty.dat"},
      {'F', ppStart, 0, "big.dat"},
      {'F', ppProcess, 0, "big.dat"},
      {'O', ppProcess, 2.0 / 3 * 100, ""},
      {'F', ppProcess, f * 100, "big.dat"},
      {'O', ppProcess, (f + 2) / 3 * 100, ""},
      {'F', ppProcess, 2 * f * 100, "big.dat"},
      {'O', ppProcess, (2 * f + 2) / 3 * 100, ""},
      {'F', ppEnd, 100, "big.dat"},
      {'O', ppEnd, 100, ""},
  };
  ASSERT_EQ(events_.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events_[i].kind, expected[i].kind);
    EXPECT_EQ(events_[i].phase, expected[i].phase);
    EXPECT_NEAR(events_[i].progress, expected[i].progress, 1e-9);
    EXPECT_EQ(events_[i].name, expected[i].name);
    EXPECT_EQ(events_[i].operation, poAdd);
  }
  zip_.Close();
  const std::string list = List();
  EXPECT_TRUE(Contains(list, "fold/ 0 00000000 0 0 "));
  EXPECT_TRUE(Contains(list, Line("big.dat", 8, big) + " ")) << list;
}

// Compressed on two threads, the same files give the same events with the
// same values and the same archive, byte for byte, as on one; some changes
// bytes while it is read, in a progress event after the workers have read
// ahead.
TEST_F(PipelineTest, TwoThreadsRaiseTheEventsAndWriteTheArchiveOfOne) {
  Source("a.dat", Noise(2500000, 4) + std::string(900000, 'a'));
  Source("b.dat", "bravo");
  Source("c.dat", Noise(3100000, 5));
  int processed = 0;
  zip_.OnFileProgress = [&](Component*, const std::string& name,
                            double progress, TZAProcessOperation op,
                            TZAProgressPhase phase, bool& cancel) {
    if (phase == ppProcess && name.ends_with("c.dat") && ++processed == 2) {
      Source("c.dat", Noise(3100000, 6));
    }
    Record({'F', phase, progress, Relative(name), op}, cancel);
  };
  const auto written = std::filesystem::last_write_time(src_ + "b.dat");
  std::vector<std::string> archives;
  std::vector<std::vector<Event>> events;
  for (int threads : {1, 2}) {
    SCOPED_TRACE(threads);
    processed = 0;
    Source("c.dat", Noise(3100000, 5));
    // The same times in both archives, however long the runs take.
    for (const char* name : {"a.dat", "c.dat"}) {
      std::filesystem::last_write_time(src_ + name, written);
    }
    zip_.CompressionThreads = threads;
    zip_.SetCompressionMode(6);
    archives.push_back(MakeArchive({"a.dat", "b.dat", "c.dat"}));
    events.push_back(events_);
  }
  ASSERT_EQ(events[0].size(), events[1].size());
  for (size_t i = 0; i < events[0].size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[1][i].kind, events[0][i].kind);
    EXPECT_EQ(events[1][i].phase, events[0][i].phase);
    EXPECT_EQ(events[1][i].progress, events[0][i].progress);
    EXPECT_EQ(events[1][i].name, events[0][i].name);
  }
  EXPECT_TRUE(archives[1] == archives[0]);
}

// Text of short words, so that every level finds matches.
std::string Words(size_t n, uint32_t seed) {
  static const char* const kWords[] = {"ledger ", "total ", "net ", "stock ",
                                       "due\r\n", "tax ",   "period ", "amount "};
  std::string out;
  while (out.size() < n) {
    seed = seed * 1103515245 + 12345;
    out += kWords[(seed >> 16) % 8];
    if ((seed >> 8) % 5 == 0) out += std::to_string(seed % 100000);
  }
  out.resize(n);
  return out;
}

// Many files, mostly smaller than a block, of every kind and around the
// block sizes, in split volumes at every level: with 2 and 4 threads (the
// workers compress entries ahead of the one being written) every volume is
// the same, byte for byte, and every event the same, as with one thread.
TEST_F(PipelineTest, ManyFilesGiveTheVolumesAndEventsOfOneThreadAtEveryLevel) {
  Source("empty.dat", "");
  Source("one.dat", "x");
  Source("block1.dat", Words(512 * 1024, 1));   // one block at levels 1-3
  Source("block4.dat", Noise(1024 * 1024, 2));  // one block at levels 4-6
  Source("block7.dat", Words(1536 * 1024 + 1, 3));  // and a byte, at 7-9
  for (uint32_t k = 0; k < 24; ++k) {
    const size_t size = 1 + (k * 7919) % 90000;
    Source("s" + std::to_string(k) + ".dat",
           k % 3 == 0 ? Noise(size, k) : Words(size, k));
  }
  zip_.SetSpanningMode(smSplitting);
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(400000);

  // Every volume of the archive, by name.
  const auto volumes = [&] {
    std::vector<std::pair<std::string, std::string>> found;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      const std::string name = e.path().filename().string();
      if (name.rfind("out.", 0) == 0) found.emplace_back(name, dir_.ReadFile(name));
    }
    std::sort(found.begin(), found.end());
    return found;
  };
  for (int level = 1; level <= 9; ++level) {
    zip_.SetCompressionMode(static_cast<uint8_t>(level));
    std::vector<std::pair<std::string, std::string>> one;
    std::vector<Event> one_events;
    for (int threads : {1, 2, 4}) {
      if (threads == 4 && level % 4 != 1) continue;  // levels 1, 5, 9
      SCOPED_TRACE("level " + std::to_string(level) + ", " +
                   std::to_string(threads) + " threads");
      for (const auto& [name, bytes] : volumes()) {
        std::filesystem::remove(dir_.Join(name));
      }
      zip_.CompressionThreads = threads;
      zip_.Open();  // creates the archive: its volumes are gone
      Add({"*.dat"});
      zip_.Close();
      ASSERT_TRUE(failures_.empty());
      if (threads == 1) {
        one = volumes();
        one_events = events_;
        ASSERT_GT(one.size(), 3u);
      } else {
        const auto many = volumes();
        ASSERT_EQ(many.size(), one.size());
        for (size_t v = 0; v < one.size(); ++v) {
          EXPECT_EQ(many[v].first, one[v].first);
          EXPECT_TRUE(many[v].second == one[v].second) << one[v].first;
        }
        ASSERT_EQ(events_.size(), one_events.size());
        for (size_t i = 0; i < events_.size(); ++i) {
          EXPECT_EQ(events_[i].kind, one_events[i].kind) << i;
          EXPECT_EQ(events_[i].phase, one_events[i].phase) << i;
          EXPECT_EQ(events_[i].progress, one_events[i].progress) << i;
          EXPECT_EQ(events_[i].name, one_events[i].name) << i;
        }
      }
      events_.clear();
    }
  }
}

// With two threads the first blocks of later files are read ahead while
// earlier ones are written. A file rewritten at its own start event (same
// size, other bytes), one grown there, one removed there and one that
// vanished before it was read ahead give exactly what one thread gives:
// the bytes read at the entry's turn, the same failures and events.
TEST_F(PipelineTest, FilesChangedAtTheirStartAfterBeingReadAheadAsOnOneThread) {
  const auto sources = [&] {
    Source("a.dat", Noise(300000, 1));
    for (const char* name : {"b.dat", "c.dat", "d.dat", "e.dat", "f.dat"}) {
      Source(name, Words(60000 + name[0], name[0]));
    }
  };
  zip_.OnFileProgress = [this](Component*, const std::string& name,
                               double progress, TZAProcessOperation op,
                               TZAProgressPhase phase, bool& cancel) {
    const std::string relative = Relative(name);
    if (phase == ppStart && relative == "b.dat") {
      std::filesystem::remove(src_ + "f.dat");
    } else if (phase == ppStart && relative == "c.dat") {
      Source("c.dat", Words(60000 + 'c', 99));
    } else if (phase == ppStart && relative == "d.dat") {
      Source("d.dat", Words(70000, 'd'));
    } else if (phase == ppStart && relative == "e.dat") {
      std::filesystem::remove(src_ + "e.dat");
    }
    Record({'F', phase, progress, relative, op}, cancel);
  };
  zip_.SetCompressionMode(6);
  std::vector<std::string> archives;
  std::vector<std::vector<Event>> events;
  std::vector<std::vector<std::string>> failed;
  for (int threads : {1, 2}) {
    SCOPED_TRACE(threads);
    sources();
    zip_.CompressionThreads = threads;
    const size_t opened = env_.opened_files().size();
    zip_.Open(kOpenCreate);
    Add({"*.dat"});
    zip_.Close();
    // How often c.dat was opened: by its entry, and with two threads also
    // while b.dat was written.
    const auto opens_of_c = std::count_if(
        env_.opened_files().begin() + static_cast<ptrdiff_t>(opened),
        env_.opened_files().end(),
        [](const std::string& path) { return path.ends_with("c.dat"); });
    EXPECT_EQ(opens_of_c, threads);
    archives.push_back(Archive());
    events.push_back(events_);
    failed.emplace_back();
    for (const Failure& f : failures_) failed.back().push_back(Relative(f.name));
    events_.clear();
    failures_.clear();
  }
  EXPECT_EQ(failed[0], (std::vector<std::string>{"e.dat", "f.dat"}));
  EXPECT_EQ(failed[1], failed[0]);
  ASSERT_EQ(events[1].size(), events[0].size());
  for (size_t i = 0; i < events[0].size(); ++i) {
    EXPECT_EQ(events[1][i].phase, events[0][i].phase) << i;
    EXPECT_EQ(events[1][i].progress, events[0][i].progress) << i;
    EXPECT_EQ(events[1][i].name, events[0][i].name) << i;
  }
  EXPECT_TRUE(archives[1] == archives[0]);
  const std::string list = List();
  EXPECT_TRUE(Contains(list, Line("c.dat", 8, Words(60000 + 'c', 99))))
      << list;
  EXPECT_TRUE(Contains(list, Line("d.dat", 8, Words(70000, 'd')))) << list;
}

TEST_F(PipelineTest, LocalHeadersCarryFinalValuesAndTheOemNameLength) {
  Source("empty.dat", "");
  const std::string text(5000, 'q');
  Source(test::Ansi("caf\xC3\xA9.txt"), text);  // "café.txt"
  zip_.SetCompressionMode(9);
  const std::string bytes = MakeArchive({"empty.dat", "*.txt"});

  // An empty file is stored: method 0, CRC 0, sizes 0, no data.
  const Local empty = LocalAt(bytes, 0);
  EXPECT_EQ(empty.signature, 0x04034B50u);
  EXPECT_EQ(empty.version, 0x0014u) << "OEM names";
  EXPECT_EQ(empty.method, 0u);
  EXPECT_EQ(empty.crc, 0u);
  EXPECT_EQ(empty.compressed, 0u);
  EXPECT_EQ(empty.uncompressed, 0u);
  EXPECT_EQ(empty.extra, "");
  // The next header follows the name at once; its name length counts the
  // CP437 bytes (one for e-acute), not the UTF-8 ones.
  const Local q = LocalAt(bytes, 30 + 9);
  EXPECT_EQ(q.signature, 0x04034B50u);
  EXPECT_EQ(q.name, "caf\x82.txt");
  EXPECT_EQ(q.method, 8u);
  EXPECT_EQ(q.crc, Crc(text));
  EXPECT_EQ(q.uncompressed, 5000u);
  EXPECT_EQ(Get32(bytes, 39 + 30 + 8 + q.compressed), 0x02014B50u)
      << "the data is followed by the directory";
  const std::string list = List();
  EXPECT_TRUE(Contains(list, "empty.dat 0 00000000 0 0 0\n"));
  EXPECT_TRUE(Contains(list, Line("caf\xC3\xA9.txt", 8, text))) << list;
}

TEST_F(PipelineTest, ZipAlwaysGivesEveryEntryWithDataTheLocalZip64Form) {
  const std::string one = Noise(3000, 4);
  Source("one.dat", one);
  dir_.MakeDir("src/fold");
  zip_.Zip64Mode = zmAlways;
  const std::string bytes = MakeArchive({"one.dat", "fold"});

  const Local local = LocalAt(bytes, 0);
  EXPECT_EQ(local.version, 0x002Du);
  EXPECT_EQ(local.compressed, 0xFFFFFFFFu);
  EXPECT_EQ(local.uncompressed, 0xFFFFFFFFu);
  EXPECT_EQ(local.crc, Crc(one));
  ASSERT_EQ(local.extra.size(), 20u);
  EXPECT_EQ(Get16(local.extra, 0), 1u) << "extra: header ID";
  EXPECT_EQ(Get16(local.extra, 2), 16u) << "extra: data size";
  EXPECT_EQ(Get64(local.extra, 4), one.size()) << "extra: size";
  // A folder has no data and so no sizes to hold: no extra field.
  const size_t at = 30 + 7 + 20 + Get64(local.extra, 12);
  const Local folder = LocalAt(bytes, at);
  EXPECT_EQ(folder.name, "fold/");
  EXPECT_EQ(folder.uncompressed, 0u);
  EXPECT_EQ(folder.extra, "");
  const size_t central = at + 30 + 5;
  ASSERT_EQ(Get32(bytes, central), 0x02014B50u);
  EXPECT_EQ(Get32(bytes, central + 42), 0xFFFFFFFFu) << "central: offset";
  const std::string list = List();
  EXPECT_TRUE(Contains(list, Line("one.dat", 8, one) + " ")) << list;
  EXPECT_TRUE(Contains(list, "fold/ 0 00000000 0 0 " + std::to_string(at)));
}

TEST_F(PipelineTest, ForeignEntriesKeepTheirLongerLocalExtraFields) {
  if (!test::PeerToolsAvailable()) GTEST_SKIP() << test::kNoPeerTools;
  // Info-ZIP writes local extra fields longer than the central ones.
  Source("a.txt", "alpha");
  Source("b.txt", std::string(4000, 'b'));
  Source("c.txt", "charlie");
  const auto made =
      test::RunCommand("cd " + test::ShellQuote(src_) + " && zip -q " +
                       test::ShellQuote(zip_.FileName) + " a.txt b.txt c.txt");
  ASSERT_EQ(made.exit_code, 0) << made.output;
  ASSERT_FALSE(LocalAt(Archive(), 0).extra.empty());

  Source("a.txt", "alpha, replaced");
  zip_.Open();
  Add({"a.txt"});
  zip_.Close();
  const std::string list = List();
  EXPECT_TRUE(Contains(list, Line("a.txt", 8, "alpha, replaced"))) << list;
  EXPECT_TRUE(Contains(list, Line("b.txt", 8, std::string(4000, 'b'))));
  EXPECT_TRUE(Contains(list, Line("c.txt", 0, "charlie"))) << list;
}

TEST_F(PipelineTest, FlushBuffersSyncsTheArchiveOnlyWhenSet) {
  Source("a.dat", "alpha");
  Source("b.dat", "bravo");
  zip_.Options.FlushBuffers = false;
  zip_.Open(kOpenCreate);
  const int64_t start = env_.flush_count();
  Add({"a.dat"});
  EXPECT_EQ(env_.flush_count(), start);
  zip_.Options.FlushBuffers = true;
  Add({"b.dat"});
  EXPECT_EQ(env_.flush_count(), start + 1);
  zip_.Close();
}

TEST_F(PipelineTest, SplitOutputAssemblesEachEntryInATemporaryFile) {
  zip_.SetSpanningMode(smSplitting);
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(65536);
  const std::string a = Noise(150000, 1);
  Source("a.dat", a);
  Source("b.dat", "bravo");
  std::vector<std::string> temp_files;
  cancel_when_ = [&](const Event& e) {
    if (e.kind == 'F' && e.phase == ppProcess) {
      for (const auto& f : std::filesystem::directory_iterator(zip_.TempDir)) {
        temp_files.push_back(f.path().filename().string());
      }
    }
    return false;
  };
  MakeArchive({"a.dat", "b.dat"});
  ASSERT_EQ(temp_files.size(), 2u) << "one per entry, in TempDir";
  EXPECT_EQ(temp_files[0].substr(0, 2), "FC");
  EXPECT_NE(temp_files[0], temp_files[1]);

  std::vector<std::string> volumes;
  std::string quoted;
  for (const char* name : {"out.z01", "out.z02", "out.z03"}) {
    if (std::filesystem::exists(dir_.Join(name))) {
      volumes.push_back(dir_.Join(name));
      quoted += test::ShellQuote(dir_.Join(name)) + " ";
    }
  }
  volumes.push_back(zip_.FileName);
  const std::string joined = dir_.Join("joined.zip");
  if (test::PeerToolsAvailable()) {
    const auto join = test::RunCommand(
        "python3 " +
        test::ShellQuote(test::SourceDir() + "/tests/interop/zipcheck.py") +
        " join " + test::ShellQuote(joined) + " " + quoted +
        test::ShellQuote(zip_.FileName));
    ASSERT_EQ(join.exit_code, 0) << join.output;
  }
  const std::string list = Listed(test::ReadZipVolumes(volumes), joined);
  EXPECT_TRUE(Contains(list, Line("a.dat", 8, a))) << list;
  EXPECT_TRUE(Contains(list, Line("b.dat", 8, "bravo"))) << list;
}

// ---- Failures offered to the host ------------------------------------------

TEST_F(PipelineTest, UnreadableFileIgnoredIsLeftOut) {
  Source("a.dat", "alpha");
  const std::string bad = Source("b.dat", "bravo");
  env_.RefuseOpen(bad);
  zip_.Open(kOpenCreate);
  Add({"a.dat", "b.dat"});
  zip_.Close();
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].name, bad);
  EXPECT_EQ(failures_[0].operation, poAdd);
  EXPECT_EQ(failures_[0].native, 33);
  EXPECT_EQ(failures_[0].code, 12);
  EXPECT_EQ(failures_[0].message,
            "Zipper: Cannot open file \"" + bad + "\" - Native error: 00033");
  EXPECT_EQ(List(), Line("a.dat", 8, "alpha") + " 7 0\n");
}

TEST_F(PipelineTest, UnreadableFileAbortedRollsTheUpdateBack) {
  Source("a.dat", "alpha");
  const std::string before = MakeArchive({"a.dat"});
  env_.RefuseOpen(Source("b.dat", "bravo"));
  Source("c.dat", "charlie");
  answers_ = {fxaAbort};
  zip_.Open();
  EXPECT_NO_THROW(Add({"c.dat", "b.dat"}));
  EXPECT_EQ(Count('O', ppEnd), 0u);
  zip_.Close();
  EXPECT_EQ(Archive(), before);
}

TEST_F(PipelineTest, RetryAfterTheCauseIsGoneWritesTheFile) {
  env_.RefuseOpen(Source("b.dat", "bravo"));
  answers_ = {fxaRetry};
  on_failure_ = [this] { env_.ClearFaults(); };
  zip_.Open(kOpenCreate);
  Add({"b.dat"});
  zip_.Close();
  EXPECT_EQ(failures_.size(), 1u);
  EXPECT_EQ(Count('F', ppStart), 2u) << "the entry starts again";
  EXPECT_EQ(List(), Line("b.dat", 8, "bravo") + " 7 0\n");
}

TEST_F(PipelineTest, SourcePathOf260CharactersIsRefusedWith61) {
  const std::string folder = dir_.MakeDir("src/" + std::string(100, 'd'));
  const size_t room = 259 - folder.size();
  const std::string ok = folder + std::string(room - 4, 'k') + ".dat";
  const std::string too_long = folder + std::string(room - 3, 'l') + ".dat";
  ASSERT_EQ(ok.size(), 259u);
  ASSERT_EQ(too_long.size(), 260u);
  dir_.WriteFile(ok.substr(dir_.path().size()), "ok");
  // Windows' ANSI functions stop at 259 characters (Wine does not).
  if (!(std::ofstream(too_long, std::ios::binary) << "long")) {
    GTEST_SKIP() << "this system cannot create a file whose path has 260 "
                    "characters";
  }
  zip_.Open(kOpenCreate);
  zip_.FileMasks.Clear();
  zip_.FileMasks.Add(ok);
  zip_.FileMasks.Add(too_long);
  zip_.AddMatchingFiles();
  zip_.Close();
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].native, 61);
  EXPECT_EQ(failures_[0].code, 36);
  EXPECT_EQ(failures_[0].message, "Zipper: File name is too long: \r\n\"" +
                                      too_long + "\" - Native error: 00061");
  const std::string list = List();
  EXPECT_TRUE(Contains(list, std::string(room - 4, 'k') + ".dat 8"));
  EXPECT_FALSE(Contains(list, std::string(room - 3, 'l')));
}

TEST_F(PipelineTest, SourceOfFourGigabytesWithZip64DisabledFailsWith43) {
  Source("small.dat", "small");
  const std::string huge = Source("huge.dat", "");
  // Sparse, and never read: the entry is refused before its data.
  std::error_code error;
  std::filesystem::resize_file(huge, 0xFFFFFFFFull, error);
  ASSERT_FALSE(error) << error.message();
  ASSERT_EQ(zip_.Zip64Mode, zmDisabled);
  zip_.Open(kOpenCreate);
  Add({"huge.dat", "small.dat"});
  zip_.Close();
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].native, 43);
  EXPECT_EQ(failures_[0].message, "Zipper: Cannot compress file '" + huge +
                                      "'. Zip64 mode is not enabled - Native "
                                      "error: 00043");
  EXPECT_EQ(Count('F', ppProcess), 1u) << "only small.dat is read";
  EXPECT_EQ(List(), Line("small.dat", 8, "small") + " 7 0\n");
}

TEST_F(PipelineTest, FailedReplacementIgnoredBringsTheOldEntryBack) {
  Source("a.dat", "old alpha");
  Source("b.dat", "old bravo");
  Source("c.dat", "old charlie");
  MakeArchive({"a.dat", "b.dat", "c.dat"});
  Source("a.dat", "new alpha!");
  env_.RefuseOpen(Source("b.dat", "new bravo!"));
  zip_.Open();
  Add({"a.dat", "b.dat"});
  zip_.Close();
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].name, "b.dat") << "a replacement names the entry";
  EXPECT_EQ(failures_[0].operation, poUpdate);
  EXPECT_EQ(events_[0].operation, poUpdate) << "overall: the first item's";
  const std::string list = List();
  EXPECT_TRUE(Contains(list, Line("a.dat", 8, "new alpha!"))) << list;
  EXPECT_TRUE(Contains(list, Line("b.dat", 8, "old bravo"))) << list;
  EXPECT_TRUE(Contains(list, Line("c.dat", 8, "old charlie"))) << list;
}

TEST_F(PipelineTest, ShortWritesRollBack) {
  Source("a.dat", "alpha");
  const std::string before = MakeArchive({"a.dat"});
  Source("b.dat", Noise(100000, 9));
  zip_.Open();
  // Of a header: not a per-file failure; the exception reaches the caller.
  env_.ShortenNthWrite(1, 10, zip_.FileName);
  EXPECT_THROW(Add({"b.dat"}), platform::EWriteError);
  EXPECT_TRUE(failures_.empty());
  // Of the data (third write: header, name, data): offered as code 34.
  env_.ShortenNthWrite(3, 10, zip_.FileName);
  answers_ = {fxaAbort};
  EXPECT_NO_THROW(Add({"b.dat"}));
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].message,
            "Zipper: Invalid compressed size, rfs.size = 100000, count = 0 - "
            "Native error: 00034");
  zip_.Close();
  EXPECT_EQ(Archive(), before);
}

TEST_F(PipelineTest, OtherExceptionsRollBackAndPropagate) {
  Source("a.dat", "alpha");
  Source("b.dat", Noise(2000000, 5));
  const std::string before = MakeArchive({"a.dat", "b.dat"});
  // Replacing the first entry writes the new tail behind the old end; a
  // full disk there is not a per-file failure.
  Source("a.dat", "alpha 2");
  zip_.Open();
  env_.FailNthWrite(1, platform::ErrorKind::kDiskFull, zip_.FileName);
  EXPECT_THROW(Add({"a.dat"}), platform::EWriteError);
  EXPECT_EQ(Archive(), before);
  env_.ClearFaults();
  Source("c.dat", Noise(2000000, 6));
  cancel_when_ = [](const Event& e) -> bool {
    if (e.kind == 'F' && e.phase == ppProcess && e.progress > 0) {
      throw std::runtime_error("host failed");
    }
    return false;
  };
  EXPECT_THROW(Add({"c.dat"}), std::runtime_error);
  zip_.Close();
  EXPECT_EQ(Archive(), before);
}

// ---- Cancel -----------------------------------------------------------------

struct CancelPoint {
  const char* label;
  char kind;
  TZAProgressPhase phase;
  int file;  // 0-based file (by ppStart events) the event belongs to
  int nth;   // which matching event of that file
};

// How the entries are compressed: on one thread at the default mode, or on
// two at a mode whose blocks the workers compress.
struct CancelCompression {
  const char* label;
  int32_t threads;
  uint8_t mode;
};

class CancelTest
    : public PipelineTest,
      public ::testing::WithParamInterface<std::tuple<CancelPoint, CancelCompression>> {
 protected:
  // Runs Add for the masks on the archive, cancelling at the parameter's
  // point; the archive must come out byte for byte as before.
  void AddAndCancel(std::initializer_list<const char*> masks,
                    const std::string& before) {
    const CancelPoint point = std::get<0>(GetParam());
    zip_.CompressionThreads = std::get<1>(GetParam()).threads;
    zip_.SetCompressionMode(std::get<1>(GetParam()).mode);
    cancel_when_ = [point, file = -1, seen = 0](const Event& e) mutable {
      if (e.kind == 'F' && e.phase == ppStart) {
        ++file;
        seen = 0;
      }
      if (e.kind != point.kind || e.phase != point.phase) return false;
      if (point.file >= 0 && file != point.file) return false;
      return seen++ == point.nth;
    };
    EXPECT_NO_THROW(Add(masks));
    const bool at_end = point.kind == 'O' && point.phase == ppEnd;
    EXPECT_EQ(Count('O', ppEnd), at_end ? 1u : 0u);
    zip_.Close();
    EXPECT_EQ(Archive(), before);
  }
};

TEST_P(CancelTest, AddingToAnArchive) {
  Source("a.dat", "alpha");
  Source("b.dat", Noise(70000, 1));
  const std::string before = MakeArchive({"a.dat", "b.dat"});
  Source("c.dat", "charlie");
  Source("d.dat", Noise(1100000, 2));
  Source("e.dat", Noise(1100000, 3));
  zip_.Open();
  AddAndCancel({"c.dat", "d.dat", "e.dat"}, before);
}

TEST_P(CancelTest, ReplacingTheFirstEntry) {
  Source("a.dat", "alpha");
  Source("b.dat", Noise(70000, 1));
  const std::string before = MakeArchive({"a.dat", "b.dat"});
  Source("a.dat", "alpha, second version");
  Source("d.dat", Noise(1100000, 2));
  Source("e.dat", Noise(1100000, 3));
  zip_.Open();
  AddAndCancel({"a.dat", "d.dat", "e.dat"}, before);
}

TEST_P(CancelTest, CreatingAnArchive) {
  Source("c.dat", "charlie");
  Source("d.dat", Noise(1100000, 2));
  Source("e.dat", Noise(1100000, 3));
  zip_.Open(kOpenCreate);
  AddAndCancel({"c.dat", "d.dat", "e.dat"},
               std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

INSTANTIATE_TEST_SUITE_P(
    Points, CancelTest,
    ::testing::Combine(
        ::testing::Values(
            CancelPoint{"OverallStart", 'O', ppStart, -1, 0},
            CancelPoint{"FirstEventOfThirdFile", 'F', ppStart, 2, 0},
            CancelPoint{"SecondBlockOfSecondFile", 'F', ppProcess, 1, 1},
            CancelPoint{"OverallBlockOfThirdFile", 'O', ppProcess, 2, 1},
            CancelPoint{"EndOfFirstFile", 'F', ppEnd, 0, 0},
            CancelPoint{"OverallEnd", 'O', ppEnd, -1, 0}),
        ::testing::Values(CancelCompression{"OneThread", 1, 1},
                          CancelCompression{"TwoThreads", 2, 6})),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).label) +
             std::get<1>(info.param).label;
    });

// ---- Moved sources
// ------------------------------------------------------------

class MoveTest : public PipelineTest {
 protected:
  // Queues the masks as moves (excluding *.keep) in one transaction.
  void Move(std::initializer_list<const char*> masks) {
    TStringList list;
    for (const char* mask : masks) list.Add(mask);
    TStringList exclusions;
    exclusions.Add("*.keep");
    zip_.Open(kOpenCreate);
    zip_.BeginUpdate();
    zip_.ScanFileMasks(list, zip_.Options.SearchAttr, true, true, exclusions);
    zip_.EndUpdate();
    zip_.Close();
  }
};

TEST_F(MoveTest, SourcesGoOnlyOnceTheArchiveIsComplete) {
  const std::string a = Source("a.dat", "alpha");
  dir_.MakeDir("src/sub");
  const std::string inner = Source("sub/i.dat", "inner");
  bool gone_at_end = false;
  cancel_when_ = [&](const Event& e) {
    if (e.kind == 'O' && e.phase == ppEnd) gone_at_end = !env_.FileExists(a);
    return false;
  };
  Move({"a.dat", "sub"});
  EXPECT_TRUE(gone_at_end);
  EXPECT_EQ(events_[1].operation, poMove);
  EXPECT_FALSE(env_.FileExists(inner));
  EXPECT_FALSE(env_.DirectoryExists(src_ + "sub"));
  const std::string list = List();
  EXPECT_TRUE(Contains(list, Line("a.dat", 8, "alpha")));
  EXPECT_TRUE(Contains(list, Line("sub/i.dat", 8, "inner")));
}

TEST_F(MoveTest, CancelledMoveDeletesNothing) {
  const std::string a = Source("a.dat", "alpha");
  const std::string b = Source("b.dat", "bravo");
  cancel_when_ = [](const Event& e) {
    return e.kind == 'F' && e.phase == ppEnd && e.name == "b.dat";
  };
  Move({"a.dat", "b.dat"});
  EXPECT_TRUE(env_.FileExists(a));
  EXPECT_TRUE(env_.FileExists(b));
}

TEST_F(MoveTest, FolderWithUnarchivedContentIsKept) {
  dir_.MakeDir("src/sub");
  const std::string inner = Source("sub/i.dat", "inner");
  const std::string kept = Source("sub/notes.keep", "not archived");
  Move({"sub"});
  EXPECT_FALSE(env_.FileExists(inner));
  EXPECT_TRUE(env_.FileExists(kept));
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].native, 60);
  EXPECT_EQ(failures_[0].operation, poMove);
  EXPECT_TRUE(Contains(List(), "sub/i.dat"));
}

TEST_F(MoveTest, AbortWhileDeletingSourcesKeepsTheArchive) {
  const std::string a = Source("a.dat", "alpha");
  const std::string b = Source("b.dat", "bravo");
  // a.dat vanishes once written, so that deleting it fails.
  cancel_when_ = [&](const Event& e) {
    if (e.kind == 'F' && e.phase == ppEnd && e.name == "a.dat") {
      std::remove(a.c_str());
    }
    return false;
  };
  answers_ = {fxaAbort};
  Move({"a.dat", "b.dat"});
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_EQ(failures_[0].message,
            "Zipper: Cannot delete file \"" + a + "\" - Native error: 00027");
  EXPECT_TRUE(env_.FileExists(b)) << "nothing deleted after the Abort";
  const std::string list = List();
  EXPECT_TRUE(Contains(list, Line("a.dat", 8, "alpha")));
  EXPECT_TRUE(Contains(list, Line("b.dat", 8, "bravo")));
}

}  // namespace
}  // namespace tessaly::engine
