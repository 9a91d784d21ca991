#include <string>

#include <gtest/gtest.h>

#include "platform/testing/fault_env.h"
#include "tests/engine/core_double.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

TEST(ArchiverVolumesTest, NamingFollowsTheSettings) {
  platform::FaultEnv env;
  CoreDouble core(env);
  core.SetSpanningMode(smSplitting);
  core.SpanningOptions.AdvancedNaming = false;
  EXPECT_EQ(core.MakeVolumeName("/d/a.zip", 0, false), "/d/a.z01");
  core.SpanningOptions.AdvancedNaming = true;
  EXPECT_EQ(core.MakeVolumeName("/d/a.zip", 0, false), "/d/a_001.zip");
  core.SpanningOptions.AdvancedNaming = false;
  core.SFXStub = "/s/stub.exe";
  EXPECT_EQ(core.MakeVolumeName("/d/a.zip", 0, false), "/d/a.exe");
  core.SFXStub.clear();
  core.SetEntryMethod(252);
  EXPECT_EQ(core.MakeVolumeName("/d/a.zip", 1, false), "/d/a.F02");
  core.SetEntryMethod(8);
  core.SetSpanningMode(smNone);
  EXPECT_EQ(core.MakeVolumeName("/d/a.zip", 3, false), "/d/a.zip");
}

TEST(ArchiverVolumesTest, LooksVolumesUpInItsEnv) {
  platform::FaultEnv env;
  CoreDouble core(env);
  core.SetSpanningMode(smSplitting);
  core.SpanningOptions.AdvancedNaming = false;
  tessaly::test::TempDir dir;
  dir.WriteFile("a.zip", "x");
  dir.WriteFile("a_001.zip", "x");
  EXPECT_EQ(core.MakeVolumeName(dir.Join("a.zip"), 0, true),
            dir.Join("a_001.zip"));
  EXPECT_EQ(core.MakeVolumeName(dir.Join("a.zip"), 0, false),
            dir.Join("a.z01"));
  core.FileName = dir.Join("a.zip");
  dir.WriteFile("a.z01", "x");
  const std::vector<std::string> names{dir.Join("a.zip"), dir.Join("a.z01")};
  EXPECT_EQ(core.ArchiveFileNames(), names);
}

}  // namespace
}  // namespace tessaly::engine
