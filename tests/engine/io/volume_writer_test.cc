#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/za_exception.h"
#include "platform/memory_stream.h"
#include "platform/path.h"
#include "platform/testing/fault_env.h"
#include "tests/engine/io/core_double.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

using Lines = std::vector<std::string>;

std::string Pattern(size_t n, int seed = 0) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + seed) % 251);
  return s;
}

int NativeErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EZAException& e) {
    return e.NativeError();
  }
  return 0;
}

// A new split archive "arc.zip": volumes arc.z01, arc.z02, ... of 65,536
// bytes on a disk with plenty of room.
class VolumeWriterTest : public ::testing::Test {
 protected:
  VolumeWriterTest() : core_(env_) {
    env_.SetFreeSpace(int64_t{1} << 40);
    core_.FileName = dir_.Join("arc.zip");
    core_.SetSpanningMode(smSplitting);
    core_.SpanningOptions.AdvancedNaming = false;
    core_.SpanningOptions.VolumeSize = vsCustom;
    core_.SpanningOptions.SetCustomVolumeSize(65536);
    core_.OpenMode = kOpenCreate;
  }
  void Create() {
    core_.CurrentVolume.SetFirst(true);
    core_.OpenVolume(core_.CurrentVolume);
    stream_ = core_.ArchiveStream();
  }
  int64_t Write(const std::string& bytes, int64_t keep_together = -1,
                platform::MemoryStream* staging = nullptr) {
    return core_.WriteToVolumes(bytes.data(), bytes.size(), keep_together,
                                core_.CurrentVolume, stream_, staging);
  }
  std::string Name(int n) { return dir_.Join("arc.z0" + std::to_string(n)); }
  // The bytes of volume n. The volume being written is read through the
  // writer's stream: Windows lets no one else open it meanwhile.
  std::string Volume(int n) {
    if (stream_ == nullptr || core_.CurrentVolumeName != Name(n)) {
      return dir_.ReadFile(Name(n));
    }
    const int64_t position = stream_->Position();
    std::string bytes(static_cast<size_t>(stream_->Size()), '\0');
    stream_->Seek(0);
    bytes.resize(static_cast<size_t>(
        std::max<int64_t>(0, stream_->Read(bytes.data(), bytes.size()))));
    stream_->Seek(position);
    return bytes;
  }

  tessaly::test::TempDir dir_;
  platform::FaultEnv env_;
  test::CoreDouble core_;
  platform::Stream* stream_ = nullptr;
};

TEST_F(VolumeWriterTest, DivisibleWriteFillsEachVolumeExactlyToItsLimit) {
  Create();
  const std::string data = Pattern(150000);
  EXPECT_EQ(Write(data), 150000);
  EXPECT_TRUE(Volume(1) == data.substr(0, 65536));
  EXPECT_TRUE(Volume(2) == data.substr(65536, 65536));
  EXPECT_TRUE(Volume(3) == data.substr(131072));
  EXPECT_EQ(stream_, core_.ArchiveStream());
  EXPECT_EQ(core_.CurrentVolume.Number, 2);
  EXPECT_EQ(core_.events, (Lines{"blank 1 " + Name(1), "blank 2 " + Name(2),
                                 "blank 3 " + Name(3)}));
}

TEST_F(VolumeWriterTest, PieceKeptTogetherStartsAFreshVolume) {
  Create();
  Write(Pattern(65500));
  EXPECT_EQ(Write(Pattern(30, 1), 6), 30) << "30 + 6 more fit exactly";
  const std::string header = Pattern(30, 2);
  EXPECT_EQ(Write(header, 1), 30);
  EXPECT_EQ(Volume(1).size(), 65530u) << "left shorter than its limit";
  EXPECT_EQ(Volume(2), header);
}

TEST_F(VolumeWriterTest, PieceNoVolumeCanHoldIsRefusedWithoutNewVolumes) {
  Create();
  const std::string piece = Pattern(70000);
  EXPECT_EQ(Write(piece, 0), 0);
  EXPECT_EQ(NativeErrorOf([&] {
              core_.WriteToVolumesChecked(piece.data(), piece.size(), 0,
                                          core_.CurrentVolume, stream_,
                                          nullptr);
            }),
            46);
  EXPECT_EQ(core_.events.size(), 1u);
}

TEST_F(VolumeWriterTest, PieceLargerThanTheFreeSpaceCountsAsAFullDisk) {
  core_.SpanningOptions.VolumeSize = vsAutoDetect;
  env_.SetFreeSpace(100000);  // passes the 64 KiB test of a new volume
  Create();
  const std::string piece = Pattern(120000);
  EXPECT_EQ(NativeErrorOf([&] { Write(piece, 0); }), 45);
  EXPECT_EQ(core_.events, (Lines{"blank 1 " + Name(1), "blank 2 " + Name(2),
                                 "full 2 " + Name(2)}));
  EXPECT_EQ(stream_, nullptr) << "the caller keeps no freed stream";

  core_.events.clear();
  Create();
  core_.OnDiskFull = [&](Component*, int32_t, const std::string&, bool&) {
    env_.SetFreeSpace(200000);  // the host made room and retries
  };
  EXPECT_EQ(Write(piece, 0), 120000);
  EXPECT_EQ(core_.events.size(), 4u);  // blank 1, blank 2, full 2, blank 2
  EXPECT_TRUE(Volume(2) == piece);
}

TEST_F(VolumeWriterTest, WithoutALimitFreeSpaceCutsTheVolumes) {
  core_.SpanningOptions.VolumeSize = vsAutoDetect;
  env_.SetFreeSpace(70000);
  Create();
  EXPECT_EQ(Write(Pattern(100000)), 100000);
  EXPECT_EQ(Volume(1).size(), 70000u);

  core_.SpanningOptions = TZASpanningOptions();  // CustomVolumeSize 0
  core_.SpanningOptions.VolumeSize = vsCustom;
  core_.SpanningOptions.AdvancedNaming = false;
  env_.SetFreeSpace(int64_t{1} << 40);
  core_.events.clear();
  Create();
  EXPECT_EQ(Write(Pattern(100000)), 100000) << "an unset size is no limit";
  EXPECT_EQ(core_.events.size(), 1u);
}

TEST_F(VolumeWriterTest, StagingCollectsOutputUntilTheVolumeIsFull) {
  Create();
  platform::MemoryStream staging;
  const std::string data = Pattern(100000);
  EXPECT_EQ(Write(data, -1, &staging), 100000);
  EXPECT_TRUE(Volume(1) == data.substr(0, 65536)) << "written at the change";
  EXPECT_EQ(stream_->Size(), 0);
  EXPECT_TRUE(staging.view() == data.substr(65536));
}

TEST_F(VolumeWriterTest, DeviceRefusingBytesStopsTheWrite) {
  Create();
  env_.ShortenNthWrite(1, 100);
  EXPECT_EQ(Write(Pattern(1000)), 100);
  EXPECT_EQ(core_.events.size(), 1u) << "no volume after volume";
}

TEST_F(VolumeWriterTest, NewVolumeNeedsMoreThan64KiBFreeAndMayBeDeclined) {
  env_.SetFreeSpace(65536);
  EXPECT_EQ(NativeErrorOf([&] { Create(); }), 45);
  EXPECT_EQ(core_.events, (Lines{"blank 1 " + Name(1), "full 1 " + Name(1)}));
  int full = 0;
  core_.OnDiskFull = [&](Component*, int32_t number, const std::string&,
                         bool&) {
    EXPECT_EQ(number, 1);
    if (++full == 2) env_.SetFreeSpace(65537);
  };
  Create();
  EXPECT_EQ(full, 2) << "each answer without Cancel asks again";
  EXPECT_TRUE(env_.FileExists(Name(1)));

  core_.OnRequestBlankVolume = [](Component*, int32_t, std::string&,
                                  bool& cancel) { cancel = true; };
  EXPECT_EQ(NativeErrorOf([&] { Create(); }), 45);
}

TEST_F(VolumeWriterTest, SpannedDiskMustHoldAVolumeAndIsLabelled) {
  core_.SetSpanningMode(smSpanning);
  core_.SpanningOptions.VolumeSize = vs1_44MB;
  env_.AcceptVolumeLabels();
  env_.SetFreeSpace(1000000);
  core_.OnDiskFull = [&](Component*, int32_t, const std::string&, bool&) {
    env_.SetFreeSpace(1457664);
  };
  Create();
  EXPECT_EQ(core_.events.size(), 3u);  // blank, full, blank
  EXPECT_EQ(env_.volume_labels(), (Lines{"pkback# 001"}));
  EXPECT_EQ(core_.CurrentVolumeName, dir_.Join("arc.zip"));
}

TEST_F(VolumeWriterTest, ExistingVolumesAreRequestedByKind) {
  dir_.WriteFile("ARC.Z01", "one");
  // On Windows the two spellings are one name, which keeps the one asked
  // for; elsewhere the volume found is the file as it is spelled.
  const bool one_name =
      platform::kNativeSyntax == platform::PathSyntax::kWindows;
  const std::string first = one_name ? Name(1) : dir_.Join("ARC.Z01");
  dir_.WriteFile("arc.z02", "two");
  dir_.WriteFile("arc.zip", "last");
  core_.OpenMode = 0x22;
  TZAVolumeNumberInfo info;
  info.SetFirst(true);
  core_.OpenVolume(info);
  EXPECT_EQ(core_.CurrentVolumeName, first);
  core_.OpenVolume(info);  // already open: no request
  info.SetNumber(1);
  core_.OpenVolume(info);
  info.LastNumber = 2;
  info.SetLast(true);
  core_.OpenVolume(info);
  EXPECT_EQ(core_.CurrentVolumeName, dir_.Join("arc.zip"));
  EXPECT_EQ(core_.events,
            (Lines{"first 1 " + first, "middle 2 " + Name(2),
                   "last 0 " + dir_.Join("arc.zip")}));
  info.SetNumber(5);
  EXPECT_EQ(NativeErrorOf([&] { core_.OpenVolume(info); }), 45);
}

class CopyToVolumesTest : public VolumeWriterTest {
 protected:
  CopyToVolumesTest() {
    core_.SetSpanningMode(smNone);
    stream_ = &out_;
  }
  bool Copy(platform::Stream& source, int64_t size, int cancel_phase = -1) {
    core_.OnCopyTempFileProgress = [=](Component*, double, TZAProgressPhase p,
                                       bool& cancel) {
      cancel = p == cancel_phase;
    };
    bool cancel = false;
    core_.CopyToVolumes(source, stream_, true, nullptr, -1, size, cancel,
                        core_.CurrentVolume);
    return cancel;
  }
  platform::MemoryStream out_;
};

TEST_F(CopyToVolumesTest, ReportsProgressPerMillionBytes) {
  const std::string data = Pattern(2500010);
  platform::MemoryStream source(data);
  source.Seek(10);
  EXPECT_FALSE(Copy(source, -1));
  EXPECT_TRUE(out_.view() == data.substr(10));
  EXPECT_EQ(core_.events, (Lines{"copy 0 0", "copy 1 40", "copy 1 80",
                                 "copy 1 100", "copy 2 100"}));
}

TEST_F(CopyToVolumesTest, CancelInAnyEventReachesTheCaller) {
  platform::MemoryStream source(Pattern(2500000));
  EXPECT_TRUE(Copy(source, -1, ppStart));
  EXPECT_EQ(out_.Size(), 0);
  EXPECT_EQ(core_.events, (Lines{"copy 0 0"}));

  core_.events.clear();
  EXPECT_TRUE(Copy(source, -1, ppProcess)) << "ppEnd answered no Cancel";
  EXPECT_EQ(out_.Size(), 1000000);
  EXPECT_EQ(core_.events, (Lines{"copy 0 0", "copy 1 40", "copy 2 100"}));

  EXPECT_TRUE(Copy(source, 0, ppEnd));
}

}  // namespace
}  // namespace tessaly::engine
