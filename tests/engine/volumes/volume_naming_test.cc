#include "engine/volumes/volume_naming.h"

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/path.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

struct NamingCase {
  VolumeNaming naming;
  const char* archive;
  int32_t index;
  const char* expected;
};

std::ostream& operator<<(std::ostream& os, const NamingCase& c) {
  return os << "mode " << int(c.naming.mode)
            << (c.naming.advanced ? " advanced" : " plain")
            << (c.naming.self_extracting ? " sfx" : "")
            << (c.naming.own_format ? " own" : "") << " " << c.archive << " #"
            << c.index;
}

constexpr VolumeNaming kSplit{smSplitting, false, false, false};
constexpr VolumeNaming kSplitAdvanced{smSplitting, true, false, false};
constexpr VolumeNaming kSplitOwn{smSplitting, false, false, true};
constexpr VolumeNaming kSplitSfx{smSplitting, false, true, false};
constexpr VolumeNaming kSpan{smSpanning, false, false, false};
constexpr VolumeNaming kSpanAdvanced{smSpanning, true, false, false};
constexpr VolumeNaming kSpanAdvancedSfx{smSpanning, true, true, false};
constexpr VolumeNaming kNone{smNone, true, true, true};

const NamingCase kNamingCases[] = {
    {kSplit, "/d/b.zip", 0, "/d/b.z01"},
    {kSplit, "/d/b.zip", 8, "/d/b.z09"},
    {kSplit, "/d/b.zip", 9, "/d/b.z10"},
    {kSplit, "/d/b.zip", 99, "/d/b.z100"},  // never cut
    {kSplit, "/d/b.zip", -1, "/d/b.zip"},
    {kSplit, "/d/data", 2, "/d/data.z03"},
    {kSplit, "/d.x/data", 0, "/d.x/data.z01"},  // a dot in the folder only
    {kSplitOwn, "/d/a.zip", 1, "/d/a.F02"},
    {kSplitAdvanced, "/d/a.zip", 0, "/d/a_001.zip"},
    {kSplitAdvanced, "/d/a.zip", 999, "/d/a_1000.zip"},
    // An archive named ".exe" is a self-extractor: its first volume keeps
    // the name, its last one becomes ".ZIP" (".ZA" in the own format).
    {kSplit, "/d/a.exe", 0, "/d/a.exe"},
    {kSplit, "/d/a.exe", 1, "/d/a.z02"},
    {kSplitAdvanced, "/d/a.exe", 1, "/d/a_002.exe"},
    {kSplit, "/d/a.exe", -1, "/d/a.ZIP"},
    {kSplitOwn, "/d/a.EXE", -1, "/d/a.ZA"},
    {kSplitSfx, "/d/a.zip", 0, "/d/a.exe"},
    {kSplitSfx, "/d/a.zip", 1, "/d/a.z02"},
    // "a.ZIP" would be the archive itself where case is ignored.
    {kSplitSfx, "/d/a.zip", -1, "/d/a.zip"},
    {kSpan, "/d/a.zip", 5, "/d/a.zip"},
    {kSpan, "/d/a.zip", -1, "/d/a.zip"},
    {kSpanAdvanced, "/d/a.zip", 5, "/d/a_006.zip"},
    {kSpanAdvancedSfx, "/d/a.zip", 2, "/d/a_003.exe"},
    {kNone, "/d/a.zip", 3, "/d/a.zip"},
};

class VolumeFileNameTest : public ::testing::TestWithParam<NamingCase> {};

TEST_P(VolumeFileNameTest, MakesTheExpectedName) {
  const NamingCase& c = GetParam();
  EXPECT_EQ(VolumeFileName(c.archive, c.index, c.naming), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Tables, VolumeFileNameTest,
                         ::testing::ValuesIn(kNamingCases));

TEST(HasExeExtensionTest, LooksAtTheExtensionOnly) {
  EXPECT_TRUE(HasExeExtension("/d/a.EXE"));
  EXPECT_TRUE(HasExeExtension("a.exe"));
  EXPECT_FALSE(HasExeExtension("/d.exe/a.zip"));
  EXPECT_FALSE(HasExeExtension("/d/a.exe.zip"));
  EXPECT_FALSE(HasExeExtension("/d/exe"));
}

class VolumeLookupTest : public ::testing::Test {
 protected:
  platform::Env& env_ = platform::Env::Default();
  tessaly::test::TempDir dir_;
  // On Windows two spellings are one name, which keeps the one asked for;
  // elsewhere a file is found as it is spelt.
  const bool one_name_ =
      platform::kNativeSyntax == platform::PathSyntax::kWindows;
  std::string Found(const char* asked, const char* spelt) const {
    return dir_.Join(one_name_ ? asked : spelt);
  }
};

TEST_F(VolumeLookupTest, FallsBackToTheSchemeThatExists) {
  const std::string archive = dir_.Join("a.zip");
  EXPECT_EQ(FindVolumeFileName(env_, archive, 1, kSplit), dir_.Join("a.z02"))
      << "neither exists: the configured scheme";
  dir_.WriteFile("a_002.zip", "x");
  EXPECT_EQ(FindVolumeFileName(env_, archive, 1, kSplit),
            dir_.Join("a_002.zip"));
  EXPECT_EQ(VolumeFileName(archive, 1, kSplit), dir_.Join("a.z02"));
  dir_.WriteFile("a.z02", "x");
  EXPECT_EQ(FindVolumeFileName(env_, archive, 1, kSplit), dir_.Join("a.z02"))
      << "the configured scheme wins when both exist";
  EXPECT_EQ(FindVolumeFileName(env_, archive, 1, kSplitAdvanced),
            dir_.Join("a_002.zip"));
}

TEST_F(VolumeLookupTest, AVolumeDifferingOnlyInCaseIsFound) {
  dir_.WriteFile("A.Z01", "x");
  dir_.WriteFile("A.ZIP", "x");
  const std::string archive = dir_.Join("a.zip");
  EXPECT_EQ(FindVolumeFileName(env_, archive, 0, kSplit),
            Found("a.z01", "A.Z01"));
  EXPECT_EQ(FindVolumeFileName(env_, archive, -1, kSplit),
            Found("a.zip", "A.ZIP"));
  EXPECT_EQ(ExistingVolumeName(env_, dir_.Join("a.z01")),
            Found("a.z01", "A.Z01"));
  EXPECT_EQ(ExistingVolumeName(env_, dir_.Join("a.z02")), "");
  EXPECT_EQ(ExistingVolumeName(env_, dir_.path()), "") << "no file name";
  ASSERT_TRUE(env_.CreateDir(dir_.Join("b.z01")));
  EXPECT_EQ(ExistingVolumeName(env_, dir_.Join("B.Z01")), "")
      << "a folder is not a volume";
  EXPECT_TRUE(FileNamesAnyCase(env_, dir_.Join("b.z01")).empty());
}

TEST_F(VolumeLookupTest, EverySpellingIsListedInByteOrder) {
  if (one_name_) GTEST_SKIP() << "one spelling per name on this system";
  dir_.WriteFile("orvane.ZIP", "x");
  dir_.WriteFile("Orvane.zip", "x");
  dir_.WriteFile("ORVANE.zip", "x");
  dir_.WriteFile("Orvane.zip.bak", "x");
  dir_.WriteFile("Orvane_zip", "x");
  const std::vector<std::string> expected{dir_.Join("ORVANE.zip"),
                                          dir_.Join("Orvane.zip"),
                                          dir_.Join("orvane.ZIP")};
  EXPECT_EQ(FileNamesAnyCase(env_, dir_.Join("Orvane.zip")), expected);
  EXPECT_EQ(ExistingVolumeName(env_, dir_.Join("Orvane.zip")),
            dir_.Join("Orvane.zip"))
      << "the exact spelling first";
  EXPECT_EQ(ExistingVolumeName(env_, dir_.Join("oRVANE.zip")),
            dir_.Join("ORVANE.zip"))
      << "else the first in byte order";
}

TEST_F(VolumeLookupTest, WildcardCharactersInANameAreTakenLiterally) {
  if (one_name_) GTEST_SKIP() << "'*' and '?' cannot stand in a Windows name";
  dir_.WriteFile("a?.z01", "x");
  dir_.WriteFile("ab.z01", "x");
  const std::vector<std::string> expected{dir_.Join("a?.z01")};
  EXPECT_EQ(FileNamesAnyCase(env_, dir_.Join("A?.Z01")), expected);
  EXPECT_TRUE(FileNamesAnyCase(env_, dir_.Join("*.z01")).empty());
}

TEST_F(VolumeLookupTest, NumberedVolumesStopAtTheFirstGap) {
  const std::string archive = dir_.Join("a.zip");
  dir_.WriteFile("a.zip", "x");
  dir_.WriteFile("a.z01", "x");
  dir_.WriteFile(one_name_ ? "a.z02" : "A.Z02", "x");
  dir_.WriteFile("a.z04", "x");
  const std::vector<std::string> expected{dir_.Join("a.z01"),
                                          Found("a.z02", "A.Z02")};
  EXPECT_EQ(ExistingNumberedVolumes(env_, archive, kSplit), expected);
  EXPECT_TRUE(ExistingNumberedVolumes(env_, archive, kSplitAdvanced).empty());
  // Spanned disks all carry the archive's name: no numbered files.
  EXPECT_TRUE(ExistingNumberedVolumes(env_, archive, kSpan).empty());
  EXPECT_TRUE(ExistingNumberedVolumes(env_, "", kSplit).empty());
}

}  // namespace
}  // namespace tessaly::engine
