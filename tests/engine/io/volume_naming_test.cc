#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "platform/path.h"
#include "platform/testing/fault_env.h"
#include "tests/engine/io/core_double.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

struct NamingCase {
  TZASpanningMode mode;
  bool advanced;
  const char* name;
  int32_t index;
  const char* stub;  // SFXStub
  uint16_t method;   // EntryMethod
  const char* expected;
};

std::ostream& operator<<(std::ostream& os, const NamingCase& c) {
  return os << "mode " << int(c.mode) << (c.advanced ? " advanced " : " plain ")
            << c.name << " #" << c.index << " stub '" << c.stub << "' method "
            << c.method;
}

constexpr NamingCase kNamingCases[] = {
    {smSplitting, false, "/d/b.zip", 0, "", 8, "/d/b.z01"},
    {smSplitting, false, "/d/b.zip", 99, "", 8, "/d/b.z100"},  // never cut
    {smSplitting, false, "/d/b.zip", -1, "", 8, "/d/b.zip"},
    {smSplitting, false, "/d/data", 2, "", 0, "/d/data.z03"},
    {smSplitting, false, "/d/a.zip", 1, "", 252, "/d/a.F02"},
    {smSplitting, true, "/d/a.zip", 0, "", 8, "/d/a_001.zip"},
    {smSplitting, true, "/d/a.zip", 999, "", 8, "/d/a_1000.zip"},
    {smSplitting, false, "/d/a.exe", 0, "", 8, "/d/a.exe"},
    {smSplitting, false, "/d/a.exe", 1, "", 8, "/d/a.z02"},
    {smSplitting, true, "/d/a.exe", 1, "", 8, "/d/a_002.exe"},
    {smSplitting, false, "/d/a.exe", -1, "", 8, "/d/a.ZIP"},
    {smSplitting, false, "/d/a.exe", -1, "", 252, "/d/a.ZA"},
    {smSplitting, false, "/d/a.zip", 0, "/s/stub.exe", 8, "/d/a.exe"},
    {smSplitting, false, "/d/a.zip", -1, "/s/stub.exe", 8, "/d/a.zip"},
    {smSpanning, false, "/d/a.zip", 5, "", 8, "/d/a.zip"},
    {smSpanning, true, "/d/a.zip", 5, "", 8, "/d/a_006.zip"},
    {smSpanning, true, "/d/a.zip", 2, "/s/stub.exe", 8, "/d/a_003.exe"},
    {smNone, false, "/d/a.zip", 3, "", 8, "/d/a.zip"},
};

class VolumeNamingTest : public ::testing::TestWithParam<NamingCase> {};

TEST_P(VolumeNamingTest, MakesTheExpectedName) {
  const NamingCase& c = GetParam();
  platform::FaultEnv env;
  test::CoreDouble core(env);
  core.SetSpanningMode(c.mode);
  core.SpanningOptions.AdvancedNaming = c.advanced;
  core.SFXStub = c.stub;
  core.EntryMethod = c.method;
  EXPECT_EQ(core.MakeVolumeName(c.name, c.index, false), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Tables, VolumeNamingTest,
                         ::testing::ValuesIn(kNamingCases));

class VolumeLookupTest : public ::testing::Test {
 protected:
  VolumeLookupTest() : core_(env_) {
    core_.SetSpanningMode(smSplitting);
    core_.SpanningOptions.AdvancedNaming = false;
  }
  platform::FaultEnv env_;
  test::CoreDouble core_;
  tessaly::test::TempDir dir_;
};

TEST_F(VolumeLookupTest, TryOtherFallsBackToTheSchemeThatExists) {
  const std::string archive = dir_.Join("a.zip");
  EXPECT_EQ(core_.MakeVolumeName(archive, 1, true), dir_.Join("a.z02"))
      << "neither exists: the configured scheme";
  dir_.WriteFile("a_002.zip", "x");
  EXPECT_EQ(core_.MakeVolumeName(archive, 1, true), dir_.Join("a_002.zip"));
  EXPECT_EQ(core_.MakeVolumeName(archive, 1, false), dir_.Join("a.z02"));
  dir_.WriteFile("a.z02", "x");
  EXPECT_EQ(core_.MakeVolumeName(archive, 1, true), dir_.Join("a.z02"))
      << "the configured scheme wins when both exist";
}

TEST_F(VolumeLookupTest, VolumeDifferingOnlyInCaseIsFound) {
  dir_.WriteFile("A.Z01", "x");
  dir_.WriteFile("A.ZIP", "x");
  // On Windows the two spellings are one name, which keeps the one asked
  // for; elsewhere the volume found is the file as it is spelled.
  const bool one_name =
      platform::kNativeSyntax == platform::PathSyntax::kWindows;
  auto found = [&](const char* asked, const char* spelled) {
    return dir_.Join(one_name ? asked : spelled);
  };
  EXPECT_EQ(core_.MakeVolumeName(dir_.Join("a.zip"), 0, true),
            found("a.z01", "A.Z01"));
  EXPECT_EQ(core_.MakeVolumeName(dir_.Join("a.zip"), -1, true),
            found("a.zip", "A.ZIP"));
  EXPECT_EQ(core_.ExistingVolumeName(dir_.Join("a.z01")),
            found("a.z01", "A.Z01"));
  EXPECT_EQ(core_.ExistingVolumeName(dir_.Join("a.z02")), "");
  ASSERT_TRUE(env_.CreateDir(dir_.Join("b.z01")));
  EXPECT_EQ(core_.ExistingVolumeName(dir_.Join("B.Z01")), "")
      << "a folder is not a volume";
}

TEST(VolumeDriveTest, ExeExtensionFloppyAndFreeSpace) {
  EXPECT_TRUE(ArchiverCore::HasExeExtension("/d/a.EXE"));
  EXPECT_FALSE(ArchiverCore::HasExeExtension("/d.exe/a.exe.zip"));
  platform::FaultEnv env;
  test::CoreDouble core(env);
  EXPECT_FALSE(core.IsFloppyDrive("/a:/x.zip")) << "POSIX paths have no drive";
  env.SetFreeSpace(12345);
  EXPECT_EQ(core.DiskFreeSpace("relative.zip"), 12345);
}

}  // namespace
}  // namespace tessaly::engine
