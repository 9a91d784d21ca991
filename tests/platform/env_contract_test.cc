// One contract for every Env: the same tests run on the system's
// environment (POSIX or Windows, in a temporary folder), on FaultEnv with no
// fault switched on, and on MemEnv. Where the contract lets the systems
// differ, the expectation names the system.

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/dos_time.h"
#include "platform/env.h"
#include "platform/path.h"
#include "platform/testing/fault_env.h"
#include "platform/testing/mem_env.h"
#include "tests/support/temp_dir.h"

namespace tessaly::platform {
namespace {

constexpr bool kWindows = kNativeSyntax == PathSyntax::kWindows;

// An environment under test plus a writable, empty folder in it.
class EnvUnderTest {
 public:
  virtual ~EnvUnderTest() = default;
  virtual Env& env() = 0;
  virtual std::string root() = 0;  // with trailing delimiter
};

class DefaultUnderTest : public EnvUnderTest {
 public:
  Env& env() override { return Env::Default(); }
  std::string root() override { return dir_.path(); }

 private:
  test::TempDir dir_;
};

class FaultUnderTest : public DefaultUnderTest {
 public:
  Env& env() override { return fault_; }

 private:
  FaultEnv fault_{Env::Default()};
};

class MemUnderTest : public EnvUnderTest {
 public:
  MemUnderTest() { mem_.CreateDir(root()); }
  Env& env() override { return mem_; }
  std::string root() override { return kWindows ? "C:\\work\\" : "/work/"; }

 private:
  MemEnv mem_;
};

struct Factory {
  const char* name;
  std::function<std::unique_ptr<EnvUnderTest>()> make;
};

class EnvContractTest : public ::testing::TestWithParam<Factory> {
 protected:
  void SetUp() override {
    under_test_ = GetParam().make();
    root_ = under_test_->root();
  }

  Env& env() { return under_test_->env(); }
  std::string Path(const std::string& name) const { return root_ + name; }

  void Write(const std::string& name, const std::string& content) {
    auto file = env().OpenFile(Path(name), kOpenCreate);
    ASSERT_NE(file, nullptr) << name;
    ASSERT_EQ(file->Write(content.data(), static_cast<int64_t>(content.size())),
              static_cast<int64_t>(content.size()));
  }

  std::string Read(const std::string& name) {
    auto file = env().OpenFile(Path(name), kOpenRead);
    if (file == nullptr) return "<missing>";
    std::string content(static_cast<size_t>(file->Size()), '\0');
    content.resize(static_cast<size_t>(
        std::max<int64_t>(0, file->Read(content.data(), file->Size()))));
    return content;
  }

  // Names and attributes found, sorted by name.
  std::vector<std::string> Find(const std::string& pattern, uint32_t filter) {
    std::vector<std::string> names;
    for (const FoundFile& f : env().FindFiles(Path(pattern), filter)) {
      names.push_back(f.name + ":" + std::to_string(f.attributes));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<EnvUnderTest> under_test_;
  std::string root_;
};

using Names = std::vector<std::string>;

TEST_P(EnvContractTest, CreatedFileReadsBackWhatWasWritten) {
  ErrorKind error = ErrorKind::kIOError;
  auto file = env().OpenFile(Path("a.dat"), kOpenCreate, &error);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(error, ErrorKind::kNone);
  EXPECT_EQ(file->Write("hello world", 11), 11);
  EXPECT_EQ(file->Position(), 11);
  EXPECT_EQ(file->Size(), 11);
  EXPECT_EQ(file->Seek(6), 6);
  char buffer[16] = {};
  EXPECT_EQ(file->Read(buffer, 16), 5);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(file->Read(buffer, 16), 0) << "at the end";
  EXPECT_TRUE(file->Flush());
  EXPECT_EQ(file->Path(), Path("a.dat"));
  EXPECT_EQ(file->LastError(), ErrorKind::kNone);
  file.reset();
  EXPECT_TRUE(env().FileExists(Path("a.dat")));
  EXPECT_EQ(env().FileSize(Path("a.dat")), 11);
}

TEST_P(EnvContractTest, CreateTruncatesAnExistingFile) {
  Write("a.dat", "long old content");
  Write("a.dat", "new");
  EXPECT_EQ(Read("a.dat"), "new");
}

TEST_P(EnvContractTest, OpenModesGiveTheirAccess) {
  Write("a.dat", "abcdef");
  auto rw = env().OpenFile(Path("a.dat"), kOpenReadWrite | kShareDenyWrite);
  ASSERT_NE(rw, nullptr);
  EXPECT_EQ(rw->Size(), 6) << "opening does not truncate";
  rw->Seek(2);
  EXPECT_EQ(rw->Write("XY", 2), 2);
  rw.reset();
  EXPECT_EQ(Read("a.dat"), "abXYef");

  auto ro = env().OpenFile(Path("a.dat"), kOpenRead | kShareDenyNone);
  ASSERT_NE(ro, nullptr);
  EXPECT_LT(ro->Write("z", 1), 1) << "a read-only handle refuses writes";
  EXPECT_NE(ro->LastError(), ErrorKind::kNone);

  auto wo = env().OpenFile(Path("a.dat"), kOpenWrite);
  ASSERT_NE(wo, nullptr);
  char c;
  EXPECT_EQ(wo->Read(&c, 1), 0) << "a failed read reads as the end";
  EXPECT_NE(wo->LastError(), ErrorKind::kNone) << "but tells why";
}

TEST_P(EnvContractTest, OpenFailuresReportTheirKind) {
  ErrorKind error = ErrorKind::kNone;
  EXPECT_EQ(env().OpenFile(Path("missing.dat"), kOpenRead, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kNotFound);
  EXPECT_EQ(env().OpenFile(Path("missing.dat"), kOpenReadWrite, &error),
            nullptr);
  EXPECT_EQ(error, ErrorKind::kNotFound);
  EXPECT_FALSE(env().FileExists(Path("missing.dat"))) << "not created";
  EXPECT_EQ(env().OpenFile(Path("no/such/dir/x"), kOpenCreate, &error),
            nullptr);
  EXPECT_EQ(error, ErrorKind::kNotFound);

  ASSERT_TRUE(env().CreateDir(Path("sub")));
  EXPECT_EQ(env().OpenFile(Path("sub"), kOpenRead, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kIsDirectory);
  EXPECT_EQ(env().OpenFile(Path("sub"), kOpenCreate, &error), nullptr);
  EXPECT_EQ(error, ErrorKind::kIsDirectory);
  EXPECT_EQ(env().OpenFile(Path("sub"), kOpenCreate), nullptr)
      << "the error out-parameter is optional";
}

TEST_P(EnvContractTest, SeekBeyondEndThenWriteFillsWithZeros) {
  auto file = env().OpenFile(Path("a.dat"), kOpenCreate);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Seek(4), 4);
  EXPECT_EQ(file->Size(), 0) << "seeking alone does not extend";
  EXPECT_EQ(file->Write("x", 1), 1);
  file.reset();
  EXPECT_EQ(Read("a.dat"), std::string("\0\0\0\0x", 5));
  EXPECT_EQ(env().OpenFile(Path("a.dat"), kOpenRead)->Seek(-1), -1);
}

TEST_P(EnvContractTest, SetSizeCutsAndExtendsAndClampsThePosition) {
  auto file = env().OpenFile(Path("a.dat"), kOpenCreate);
  ASSERT_NE(file, nullptr);
  file->Write("0123456789", 10);
  EXPECT_TRUE(file->SetSize(4));
  EXPECT_EQ(file->Size(), 4);
  EXPECT_EQ(file->Position(), 4) << "position beyond the new end moves";
  EXPECT_TRUE(file->SetSize(6));
  EXPECT_EQ(file->Position(), 4) << "position inside is kept";
  file->Seek(2);
  EXPECT_TRUE(file->SetSize(file->Position()));
  file.reset();
  EXPECT_EQ(Read("a.dat"), "01");
}

TEST_P(EnvContractTest, AttributesOfFilesAndFolders) {
  Write("a.dat", "x");
  Write(".profile", "x");
  ASSERT_TRUE(env().CreateDir(Path("sub")));
  ASSERT_TRUE(env().CreateDir(Path(".cache")));
  // A dot-name is hidden on POSIX; Windows needs the attribute set.
  ASSERT_TRUE(env().SetFileAttributes(Path(".profile"), 0x22));
  ASSERT_TRUE(env().SetFileAttributes(Path(".cache"), 0x12));
  EXPECT_EQ(env().FileAttributes(Path("a.dat")), 0x20);
  EXPECT_EQ(env().FileAttributes(Path(".profile")), 0x22);
  EXPECT_EQ(env().FileAttributes(Path("sub")), 0x10);
  EXPECT_EQ(env().FileAttributes(Path("sub/")), 0x10);
  EXPECT_EQ(env().FileAttributes(Path(".cache")), 0x12);
  EXPECT_EQ(env().FileAttributes(Path("missing")), -1);

  EXPECT_TRUE(env().FileExists(Path("a.dat")));
  EXPECT_FALSE(env().FileExists(Path("sub")));
  EXPECT_TRUE(env().DirectoryExists(Path("sub")));
  EXPECT_FALSE(env().DirectoryExists(Path("a.dat")));
  EXPECT_FALSE(env().DirectoryExists(Path("missing")));
}

TEST_P(EnvContractTest, ReadOnlyBitRoundTrips) {
  Write("a.dat", "x");
  EXPECT_TRUE(env().SetFileAttributes(Path("a.dat"), 0x21));
  EXPECT_EQ(env().FileAttributes(Path("a.dat")), 0x21);
  EXPECT_TRUE(env().SetFileAttributes(Path("a.dat"), 0x20));
  EXPECT_EQ(env().FileAttributes(Path("a.dat")), 0x20);
  EXPECT_FALSE(env().SetFileAttributes(Path("missing"), 0x20));
}

TEST_P(EnvContractTest, FileAgeRoundTripsAsDosDateTime) {
  Write("a.dat", "x");
  const uint32_t stamp =
      EncodeDosDateTime({2009, 7, 14, 15, 26, 52});  // in local time
  ASSERT_TRUE(env().SetFileAge(Path("a.dat"), stamp));
  EXPECT_EQ(static_cast<uint32_t>(env().FileAge(Path("a.dat"))), stamp);
  EXPECT_FALSE(env().SetFileAge(Path("a.dat"), 0)) << "month 0 is invalid";
  EXPECT_FALSE(env().SetFileAge(Path("missing"), stamp));

  ASSERT_TRUE(env().CreateDir(Path("sub")));
  EXPECT_EQ(env().FileAge(Path("sub")), -1) << "always -1 for a folder";
  EXPECT_EQ(env().FileAge(Path("missing")), -1);
  EXPECT_EQ(env().FileSize(Path("sub")), -1);
}

TEST_P(EnvContractTest, FindFilesMatchesNamesWithoutCaseAndFiltersAttributes) {
  Write("a.dat", "x");
  Write("B.DAT", "x");
  Write("c.rpt", "x");
  Write("noext", "x");
  Write(".h.dat", "x");
  ASSERT_TRUE(env().SetFileAttributes(Path(".h.dat"), 0x22));
  ASSERT_TRUE(env().CreateDir(Path("sub.dat")));

  EXPECT_EQ(Find("*.dat", 0), (Names{"B.DAT:32", "a.dat:32"}));
  EXPECT_EQ(Find("*.DAT", 0x20), (Names{"B.DAT:32", "a.dat:32"}))
      << "archive is not a selective bit";
  EXPECT_EQ(Find("*.dat", 0x02), (Names{".h.dat:34", "B.DAT:32", "a.dat:32"}));
  EXPECT_EQ(Find("*.dat", 0x10), (Names{"B.DAT:32", "a.dat:32", "sub.dat:16"}));
  EXPECT_EQ(Find("?.dat", 0), (Names{"B.DAT:32", "a.dat:32"}));
  EXPECT_EQ(Find("c.rpt", 0), (Names{"c.rpt:32"}));
  EXPECT_EQ(Find("noext.*", 0), (Names{"noext:32"}));
  EXPECT_EQ(Find("*.*", 0),
            (Names{"B.DAT:32", "a.dat:32", "c.rpt:32", "noext:32"}));
  EXPECT_EQ(Find("*", 0x16),
            (Names{"..:16", ".:16", ".h.dat:34", "B.DAT:32", "a.dat:32",
                   "c.rpt:32", "noext:32", "sub.dat:16"}))
      << "\".\" and \"..\" come with the folder bit";
  EXPECT_EQ(Find("*.bmp", 0xFF), Names{});
  EXPECT_EQ(Find("missing/*.*", 0xFF), Names{});
}

TEST_P(EnvContractTest, FindFilesTellsAFolderThatCannotBeListed) {
  Write("f", "x");
  ASSERT_TRUE(env().CreateDir(Path("empty")));
  ErrorKind error = ErrorKind::kIOError;
  EXPECT_TRUE(env().FindFiles(Path("empty/*.dat"), 0xFF, &error).empty());
  EXPECT_EQ(error, ErrorKind::kNone) << "listed, nothing matched";
  error = ErrorKind::kIOError;
  EXPECT_EQ(env().FindFiles(Path("*"), 0, &error).size(), 1u);
  EXPECT_EQ(error, ErrorKind::kNone);
  EXPECT_TRUE(env().FindFiles(Path("missing/*"), 0xFF, &error).empty());
  EXPECT_EQ(error, ErrorKind::kNotFound);
  error = ErrorKind::kNone;
  EXPECT_TRUE(env().FindFiles(Path("f/*"), 0xFF, &error).empty());
  EXPECT_EQ(error, ErrorKind::kNotFound) << "a file is no folder";
}

TEST_P(EnvContractTest, RemoveFileDeletesFilesOnly) {
  Write("a.dat", "x");
  ASSERT_TRUE(env().CreateDir(Path("sub")));
  EXPECT_TRUE(env().RemoveFile(Path("a.dat")));
  EXPECT_FALSE(env().FileExists(Path("a.dat")));
  EXPECT_FALSE(env().RemoveFile(Path("a.dat")));
  EXPECT_FALSE(env().RemoveFile(Path("sub")));
  EXPECT_TRUE(env().DirectoryExists(Path("sub")));
}

TEST_P(EnvContractTest, RenameNeverReplacesAnExistingFile) {
  Write("a.dat", "a");
  Write("b.dat", "b");
  EXPECT_FALSE(env().RenameFile(Path("a.dat"), Path("b.dat")));
  EXPECT_EQ(Read("a.dat"), "a");
  EXPECT_EQ(Read("b.dat"), "b");
  EXPECT_TRUE(env().RenameFile(Path("a.dat"), Path("c.dat")));
  EXPECT_FALSE(env().FileExists(Path("a.dat")));
  EXPECT_EQ(Read("c.dat"), "a");
  EXPECT_FALSE(env().RenameFile(Path("a.dat"), Path("d.dat")));

  ASSERT_TRUE(env().CreateDir(Path("sub")));
  Write("sub/x", "x");
  EXPECT_TRUE(env().RenameFile(Path("sub"), Path("moved")));
  EXPECT_EQ(Read("moved/x"), "x");
}

TEST_P(EnvContractTest, FoldersAreCreatedAndRemoved) {
  EXPECT_TRUE(env().CreateDir(Path("sub")));
  EXPECT_FALSE(env().CreateDir(Path("sub"))) << "exists";
  EXPECT_FALSE(env().CreateDir(Path("x/y"))) << "parent missing";
  Write("sub/f", "x");
  EXPECT_FALSE(env().RemoveDir(Path("sub"))) << "not empty";
  EXPECT_TRUE(env().RemoveFile(Path("sub/f")));
  EXPECT_TRUE(env().RemoveDir(Path("sub")));
  EXPECT_FALSE(env().DirectoryExists(Path("sub")));
  EXPECT_FALSE(env().RemoveDir(Path("sub")));
}

TEST_P(EnvContractTest, FolderIdNamesOneFolderWhateverThePath) {
  ASSERT_TRUE(env().CreateDir(Path("one")));
  ASSERT_TRUE(env().CreateDir(Path("one/two")));
  Write("one/f", "x");
  const std::string id = env().FolderId(Path("one"));
  if (id.empty()) {
    GTEST_SKIP() << "this Env has no folder identities";
  }
  EXPECT_EQ(env().FolderId(Path("one/")), id);
  EXPECT_EQ(env().FolderId(Path("one/two/..")), id);
  EXPECT_NE(env().FolderId(Path("one/two")), id);
  EXPECT_EQ(env().FolderId(Path("one/f")), "") << "a file";
  EXPECT_EQ(env().FolderId(Path("missing")), "");
}

TEST_P(EnvContractTest, FileIdNamesOneFileWhateverThePath) {
  ASSERT_TRUE(env().CreateDir(Path("one")));
  ASSERT_TRUE(env().CreateDir(Path("one/two")));
  Write("one/f", "x");
  Write("one/g", "x");
  const std::string id = env().FileId(Path("one/f"));
  if (id.empty()) {
    GTEST_SKIP() << "this Env has no file identities";
  }
  EXPECT_EQ(env().FileId(Path("one/two/../f")), id);
  EXPECT_NE(env().FileId(Path("one/g")), id) << "same content, other file";
  EXPECT_EQ(env().FileId(Path("one")), env().FolderId(Path("one")));
  EXPECT_EQ(env().FileId(Path("missing")), "");
  // Open for writing, as an archive being made is.
  auto open = env().OpenFile(Path("one/f"), kOpenReadWrite | kShareExclusive);
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(env().FileId(Path("one/f")), id);
}

TEST_P(EnvContractTest, NearestExistingFolderClimbsToAnExistingOne) {
  ASSERT_TRUE(env().CreateDir(Path("one")));
  Write("one/f", "x");
  EXPECT_EQ(env().NearestExistingFolder(Path("one")), Path("one"));
  EXPECT_EQ(env().NearestExistingFolder(Path("one/not/yet/a.zip")),
            Path("one"));
  EXPECT_EQ(env().NearestExistingFolder(Path("one/f")), Path("one"))
      << "a file is not a folder";
}

TEST_P(EnvContractTest, RemoveTreeRemovesAFolderWithAllContent) {
  ASSERT_TRUE(env().CreateDir(Path("t")));
  ASSERT_TRUE(env().CreateDir(Path("t/inner")));
  ASSERT_TRUE(env().CreateDir(Path("t/inner/deep")));
  Write("t/a", "x");
  Write("t/inner/.b", "x");
  Write("t/inner/deep/c", "x");
  Write("keep", "x");
  EXPECT_TRUE(env().RemoveTree(Path("t/")));
  EXPECT_EQ(env().FileAttributes(Path("t")), -1);
  EXPECT_TRUE(env().FileExists(Path("keep")));
  EXPECT_FALSE(env().RemoveTree(Path("t")));
  EXPECT_FALSE(env().RemoveTree(Path("keep"))) << "not a folder";
  EXPECT_TRUE(env().FileExists(Path("keep")));
}

TEST_P(EnvContractTest, TempFileNameCreatesUniqueFilesWithThePrefix) {
  const std::string first = env().TempFileName(root_, "FC");
  const std::string second = env().TempFileName(root_, "FC");
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(root_ + "FC", 0), 0u) << first;
  EXPECT_TRUE(env().FileExists(first));
  EXPECT_EQ(env().FileSize(first), 0);
  EXPECT_EQ(env().TempFileName(Path("missing"), "FC"), "");
  const std::string system = env().TempFileName("", "FC");
  ASSERT_FALSE(system.empty()) << "system temporary folder";
  EXPECT_TRUE(env().RemoveFile(system));
}

TEST_P(EnvContractTest, DriveQueries) {
  EXPECT_GT(env().FreeSpace(root_), 0);
  EXPECT_GT(env().FreeSpace(Path("not/yet/Orvane.zip")), 0)
      << "measured on the nearest existing folder";
  EXPECT_EQ(env().DriveTypeOf(root_), DriveType::kFixed);
  // Windows would relabel the system drive: not tried there.
  if (!kWindows) {
    EXPECT_FALSE(env().SetVolumeLabel(root_, "pkback# 001"));
  }
}

TEST_P(EnvContractTest, ClockAndCurrentFolder) {
  EXPECT_TRUE(IsValidDosDateTime(env().NowDosDateTime()));
  EXPECT_GE(DecodeDosDateTime(env().NowDosDateTime()).year, 2020);
  EXPECT_GT(env().NowMicros(), int64_t{1'600'000'000} * 1'000'000);
  const std::string current = env().CurrentDirectory();
  ASSERT_FALSE(current.empty());
  EXPECT_EQ(current.back(), PathDelimiter());
  EXPECT_TRUE(env().DirectoryExists(current));
}

INSTANTIATE_TEST_SUITE_P(
    Envs, EnvContractTest,
    ::testing::Values(
        Factory{kWindows ? "Windows" : "Posix",
                [] { return std::make_unique<DefaultUnderTest>(); }},
        Factory{"FaultPassThrough",
                [] { return std::make_unique<FaultUnderTest>(); }},
        Factory{"Mem", [] { return std::make_unique<MemUnderTest>(); }}),
    [](const ::testing::TestParamInfo<Factory>& info) {
      return std::string(info.param.name);
    });

}  // namespace
}  // namespace tessaly::platform
