#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/component.h"
#include "engine/base/za_exception.h"
#include "engine/volumes/volume_sequence.h"
#include "platform/memory_stream.h"
#include "platform/path.h"
#include "platform/testing/fault_env.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

using Lines = std::vector<std::string>;

std::string Pattern(size_t n, int seed = 0) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + seed) % 251);
  return s;
}

// The host of a sequence: split names "<base>.z01", "<base>.z02", ... and
// the archive's name for the last volume (spanned: for every volume), the disk's free space from the
// environment, and the requests answered as the component answers them
// without a dialog. Each request is logged in `events` ("blank 2 <name>",
// "full 1 <name>", "copy <phase> <progress>"); hosts answer through the
// handlers, which see volume numbers counted from 1.
class HostDouble : public VolumeHost {
 public:
  HostDouble(platform::Env& env, const std::string& archive_name,
             const TZASpanningMode& mode)
      : env_(env), archive_name_(archive_name), mode_(mode) {}

  std::vector<std::string> events;
  std::function<void(Component*, int32_t, std::string&, bool&)>
      OnRequestBlankVolume;
  std::function<void(Component*, int32_t, const std::string&, bool&)>
      OnDiskFull;
  std::function<void(Component*, double, TZAProgressPhase, bool&)>
      OnCopyTempFileProgress;

  void DoRequestBlankVolume(int32_t index, std::string& name,
                            bool& cancel) override {
    Log("blank", index, name);
    cancel = false;
    if (OnRequestBlankVolume) OnRequestBlankVolume(nullptr, index + 1, name, cancel);
  }
  void DoRequestFirstVolume(std::string& name, bool& cancel) override {
    Answer("first", 0, name, cancel);
  }
  void DoRequestLastVolume(std::string& name, bool& cancel) override {
    Answer("last", -1, name, cancel);
  }
  void DoRequestMiddleVolume(int32_t index, std::string& name,
                             bool& cancel) override {
    Answer("middle", index, name, cancel);
  }
  void DoDiskFull(int32_t index, const std::string& name,
                  bool& cancel) override {
    Log("full", index, name);
    cancel = !OnDiskFull;  // no handler: give up, as splitting does
    if (OnDiskFull) OnDiskFull(nullptr, index + 1, name, cancel);
  }
  void DoCopyTempFileProgress(double progress, TZAProgressPhase phase,
                              bool& cancel) override {
    char line[64];
    std::snprintf(line, sizeof line, "copy %d %g", phase, progress);
    events.push_back(line);
    cancel = false;
    if (OnCopyTempFileProgress) {
      OnCopyTempFileProgress(nullptr, progress, phase, cancel);
    }
  }

  VolumeNaming Naming() const override { return VolumeNaming{mode_}; }

 private:
  void Log(const char* kind, int32_t index, const std::string& name) {
    events.push_back(std::string(kind) + " " + std::to_string(index + 1) + " " +
                     name);
  }
  // Offers the volume's name and cancels when it is missing.
  void Answer(const char* kind, int32_t index, std::string& name,
              bool& cancel) {
    name = VolumeFileName(archive_name_, index, Naming());
    Log(kind, index, name);
    cancel = !env_.FileExists(name);
  }

  platform::Env& env_;
  const std::string& archive_name_;
  const TZASpanningMode& mode_;
};

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
class VolumeSequenceTest : public ::testing::Test {
 protected:
  VolumeSequenceTest() {
    env_.SetFreeSpace(int64_t{1} << 40);
    options_.VolumeSize = vsCustom;
    options_.SetCustomVolumeSize(65536);
  }
  VolumeSequence& volumes() { return volumes_; }
  platform::Stream* stream() { return volumes().stream(); }
  void Create() {
    volumes().current().SetFirst(true);
    volumes().Open(volumes().current());
  }
  int64_t Write(const std::string& bytes, int64_t keep_together = -1) {
    return volumes().Write(bytes.data(), bytes.size(), keep_together);
  }
  std::string Name(int n) { return dir_.Join("arc.z0" + std::to_string(n)); }
  // The bytes of volume n. The volume being written is read through the
  // writer's stream: Windows lets no one else open it meanwhile.
  std::string Volume(int n) {
    platform::Stream* const current = stream();
    if (current == nullptr || volumes().name() != Name(n)) {
      return dir_.ReadFile(Name(n));
    }
    const int64_t position = current->Position();
    std::string bytes(static_cast<size_t>(current->Size()), '\0');
    current->Seek(0);
    bytes.resize(static_cast<size_t>(
        std::max<int64_t>(0, current->Read(bytes.data(), bytes.size()))));
    current->Seek(position);
    return bytes;
  }

  tessaly::test::TempDir dir_;
  platform::FaultEnv env_;
  std::string file_name_ = dir_.Join("arc.zip");
  TZASpanningMode mode_ = smSplitting;
  uint16_t open_mode_ = kOpenCreate;
  TZASpanningOptions options_;
  HostDouble host_{env_, file_name_, mode_};
  Component component_;
  VolumeSequence volumes_{env_, &component_, host_,
                          VolumeSettings{file_name_, mode_, open_mode_,
                                         options_}};
};

TEST_F(VolumeSequenceTest, DivisibleWriteFillsEachVolumeExactlyToItsLimit) {
  Create();
  const std::string data = Pattern(150000);
  EXPECT_EQ(Write(data), 150000);
  EXPECT_TRUE(Volume(1) == data.substr(0, 65536));
  EXPECT_TRUE(Volume(2) == data.substr(65536, 65536));
  EXPECT_TRUE(Volume(3) == data.substr(131072));
  EXPECT_EQ(volumes().current().Number, 2);
  EXPECT_EQ(host_.events, (Lines{"blank 1 " + Name(1), "blank 2 " + Name(2),
                                 "blank 3 " + Name(3)}));
}

TEST_F(VolumeSequenceTest, PieceKeptTogetherStartsAFreshVolume) {
  Create();
  Write(Pattern(65500));
  EXPECT_EQ(Write(Pattern(30, 1), 6), 30) << "30 + 6 more fit exactly";
  const std::string header = Pattern(30, 2);
  EXPECT_EQ(Write(header, 1), 30);
  EXPECT_EQ(Volume(1).size(), 65530u) << "left shorter than its limit";
  EXPECT_EQ(Volume(2), header);
}

TEST_F(VolumeSequenceTest, PieceNoVolumeCanHoldIsRefusedWithoutNewVolumes) {
  Create();
  const std::string piece = Pattern(70000);
  EXPECT_EQ(Write(piece, 0), 0);
  EXPECT_EQ(NativeErrorOf([&] {
              volumes().WriteChecked(piece.data(), piece.size(), 0);
            }),
            46);
  EXPECT_EQ(host_.events.size(), 1u);
}

TEST_F(VolumeSequenceTest, PieceLargerThanTheFreeSpaceCountsAsAFullDisk) {
  options_.VolumeSize = vsAutoDetect;
  env_.SetFreeSpace(100000);  // passes the 64 KiB test of a new volume
  Create();
  const std::string piece = Pattern(120000);
  EXPECT_EQ(NativeErrorOf([&] { Write(piece, 0); }), 45);
  EXPECT_EQ(host_.events, (Lines{"blank 1 " + Name(1), "blank 2 " + Name(2),
                                 "full 2 " + Name(2)}));
  EXPECT_EQ(stream(), nullptr) << "no stream is left open on a refused disk";

  host_.events.clear();
  Create();
  host_.OnDiskFull = [&](Component*, int32_t, const std::string&, bool&) {
    env_.SetFreeSpace(200000);  // the host made room and retries
  };
  EXPECT_EQ(Write(piece, 0), 120000);
  EXPECT_EQ(host_.events.size(), 4u);  // blank 1, blank 2, full 2, blank 2
  EXPECT_TRUE(Volume(2) == piece);
}

TEST_F(VolumeSequenceTest, WithoutALimitFreeSpaceCutsTheVolumes) {
  options_.VolumeSize = vsAutoDetect;
  env_.SetFreeSpace(70000);
  Create();
  EXPECT_EQ(Write(Pattern(100000)), 100000);
  EXPECT_EQ(Volume(1).size(), 70000u);

  options_ = TZASpanningOptions();  // CustomVolumeSize 0
  options_.VolumeSize = vsCustom;
  options_.AdvancedNaming = false;
  env_.SetFreeSpace(int64_t{1} << 40);
  host_.events.clear();
  Create();
  EXPECT_EQ(Write(Pattern(100000)), 100000) << "an unset size is no limit";
  EXPECT_EQ(host_.events.size(), 1u);
}

TEST_F(VolumeSequenceTest, StagingCollectsOutputUntilTheVolumeIsFull) {
  Create();
  volumes().StartStaging();
  const std::string data = Pattern(100000);
  EXPECT_EQ(Write(data, -1), 100000);
  EXPECT_TRUE(Volume(1) == data.substr(0, 65536)) << "written at the change";
  EXPECT_EQ(stream()->Size(), 0);
  EXPECT_TRUE(volumes().staging()->view() == data.substr(65536));
  volumes().FlushStaging();
  EXPECT_TRUE(Volume(2) == data.substr(65536));
  EXPECT_EQ(volumes().staging()->Size(), 0);
}

TEST_F(VolumeSequenceTest, DeviceRefusingBytesStopsTheWrite) {
  Create();
  env_.ShortenNthWrite(1, 100);
  EXPECT_EQ(Write(Pattern(1000)), 100);
  EXPECT_EQ(host_.events.size(), 1u) << "no volume after volume";
}

TEST_F(VolumeSequenceTest, NewVolumeNeedsMoreThan64KiBFreeAndMayBeDeclined) {
  env_.SetFreeSpace(65536);
  EXPECT_EQ(NativeErrorOf([&] { Create(); }), 45);
  EXPECT_EQ(host_.events, (Lines{"blank 1 " + Name(1), "full 1 " + Name(1)}));
  int full = 0;
  host_.OnDiskFull = [&](Component*, int32_t number, const std::string&,
                         bool&) {
    EXPECT_EQ(number, 1);
    if (++full == 2) env_.SetFreeSpace(65537);
  };
  Create();
  EXPECT_EQ(full, 2) << "each answer without Cancel asks again";
  EXPECT_TRUE(env_.FileExists(Name(1)));

  host_.OnRequestBlankVolume = [](Component*, int32_t, std::string&,
                                  bool& cancel) { cancel = true; };
  EXPECT_EQ(NativeErrorOf([&] { Create(); }), 45);
}

TEST_F(VolumeSequenceTest, SpannedDiskMustHoldAVolumeAndIsLabelled) {
  mode_ = smSpanning;
  options_.VolumeSize = vs1_44MB;
  env_.AcceptVolumeLabels();
  env_.SetFreeSpace(1000000);
  host_.OnDiskFull = [&](Component*, int32_t, const std::string&, bool&) {
    env_.SetFreeSpace(1457664);
  };
  Create();
  EXPECT_EQ(host_.events.size(), 3u);  // blank, full, blank
  EXPECT_EQ(env_.volume_labels(), (Lines{"pkback# 001"}));
  EXPECT_EQ(volumes().name(), dir_.Join("arc.zip"));
}

TEST_F(VolumeSequenceTest, ExistingVolumesAreRequestedByKind) {
  dir_.WriteFile("arc.z01", "one");
  const std::string first = Name(1);
  dir_.WriteFile("arc.z02", "two");
  dir_.WriteFile("arc.zip", "last");
  open_mode_ = 0x22;
  TZAVolumeNumberInfo info;
  info.SetFirst(true);
  volumes().Open(info);
  EXPECT_EQ(volumes().name(), first);
  volumes().Open(info);  // already open: no request
  info.SetNumber(1);
  volumes().Open(info);
  info.LastNumber = 2;
  info.SetLast(true);
  volumes().Open(info);
  EXPECT_EQ(volumes().name(), dir_.Join("arc.zip"));
  EXPECT_EQ(host_.events,
            (Lines{"first 1 " + first, "middle 2 " + Name(2),
                   "last 0 " + dir_.Join("arc.zip")}));
  info.SetNumber(5);
  EXPECT_EQ(NativeErrorOf([&] { volumes().Open(info); }), 45);
}

TEST_F(VolumeSequenceTest, LastVolumeTakesTheFinalNameAndUndoRemovesTheRest) {
  Create();
  volumes().MarkStart();
  volumes().undo().Begin();
  const std::string data = Pattern(150000);
  EXPECT_EQ(Write(data), 150000);
  volumes().FinishLastVolume();
  EXPECT_EQ(volumes().name(), dir_.Join("arc.zip"));
  EXPECT_FALSE(env_.FileExists(Name(3)));
  EXPECT_EQ(stream()->Position(), stream()->Size()) << "ready to append";
  EXPECT_EQ(stream()->Size(), 150000 - 2 * 65536);
  volumes().FinishLastVolume();  // already named: nothing to do
  EXPECT_EQ(volumes().name(), dir_.Join("arc.zip"));

  EXPECT_TRUE(volumes().Undo());
  EXPECT_FALSE(env_.FileExists(dir_.Join("arc.zip")));
  EXPECT_FALSE(env_.FileExists(Name(2)));
  EXPECT_FALSE(env_.FileExists(Name(3)));
  EXPECT_EQ(volumes().name(), Name(1)) << "open again on the starting volume";
  EXPECT_EQ(volumes().current().Number, 0);
  ASSERT_NE(stream(), nullptr);
  EXPECT_EQ(stream()->Size(), 65536);
}

// A file already under the archive's final name makes way for the last
// volume, but only for good: undoing the update brings it back, and only
// committing it deletes it (no copy of it is left behind either way).
TEST_F(VolumeSequenceTest, FileUnderTheFinalNameComesBackWithTheUndo) {
  const auto files_in_folder = [&] {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      (void)entry;
      ++count;
    }
    return count;
  };
  for (const bool undo : {true, false}) {
    SCOPED_TRACE(undo ? "undone" : "committed");
    dir_.WriteFile("arc.zip", "the old archive");
    Create();
    volumes().MarkStart();
    volumes().undo().Begin();
    EXPECT_EQ(Write(Pattern(150000)), 150000);
    volumes().FinishLastVolume();
    EXPECT_EQ(stream()->Size(), 150000 - 2 * 65536);
    if (undo) {
      EXPECT_TRUE(volumes().Undo());
      EXPECT_EQ(dir_.ReadFile("arc.zip"), "the old archive");
      EXPECT_FALSE(env_.FileExists(Name(2)));
      EXPECT_EQ(files_in_folder(), 2u) << "arc.zip and the first volume";
      volumes().Release();
      env_.RemoveFile(Name(1));
    } else {
      volumes().undo().Commit();
      volumes().Release();
      EXPECT_EQ(dir_.ReadFile("arc.zip").size(), 150000u - 2 * 65536);
      EXPECT_EQ(files_in_folder(), 3u) << "two volumes and arc.zip";
      for (int i = 1; i <= 2; ++i) env_.RemoveFile(Name(i));
      env_.RemoveFile(dir_.Join("arc.zip"));
    }
  }
}

TEST_F(VolumeSequenceTest, OneFileArchiveIsWrittenAndUndoneInPlace) {
  mode_ = smNone;
  volumes().Replace(std::make_unique<platform::MemoryStream>("old"), "");
  stream()->Seek(3);
  volumes().undo().Begin();
  volumes().undo().TailChanges("", 3, nullptr);
  volumes().StartStaging();  // one volume needs no staging: ignored
  EXPECT_EQ(Write("new bytes", 0), 9);
  volumes().FinishLastVolume();
  EXPECT_EQ(stream()->Size(), 12);
  EXPECT_TRUE(volumes().Undo());
  EXPECT_EQ(stream()->Size(), 3);
  EXPECT_EQ(volumes().staging(), nullptr);
  EXPECT_TRUE(host_.events.empty());
}

TEST_F(VolumeSequenceTest, FloppyDrivesAndFreeSpace) {
  EXPECT_FALSE(VolumeSequence::IsFloppyDrive("/a:/x.zip"))
      << "POSIX paths have no drive";
  env_.SetFreeSpace(12345);
  EXPECT_EQ(volumes().DiskFreeSpace("relative.zip"), 12345);
}

class VolumeCopyTest : public VolumeSequenceTest {
 protected:
  VolumeCopyTest() {
    mode_ = smNone;
    auto out = std::make_unique<platform::MemoryStream>();
    out_ = out.get();
    volumes().Replace(std::move(out), "");
  }
  bool Copy(platform::Stream& source, int64_t size, int cancel_phase = -1) {
    host_.OnCopyTempFileProgress = [=](Component*, double, TZAProgressPhase p,
                                       bool& cancel) {
      cancel = p == cancel_phase;
    };
    bool cancel = false;
    volumes().Copy(source, true, -1, size, cancel);
    return cancel;
  }
  platform::MemoryStream* out_ = nullptr;
};

TEST_F(VolumeCopyTest, ReportsProgressPerMillionBytes) {
  const std::string data = Pattern(2500010);
  platform::MemoryStream source(data);
  source.Seek(10);
  EXPECT_FALSE(Copy(source, -1));
  EXPECT_TRUE(out_->view() == data.substr(10));
  EXPECT_EQ(host_.events, (Lines{"copy 0 0", "copy 1 40", "copy 1 80",
                                 "copy 1 100", "copy 2 100"}));
}

TEST_F(VolumeCopyTest, CancelInAnyEventReachesTheCaller) {
  platform::MemoryStream source(Pattern(2500000));
  EXPECT_TRUE(Copy(source, -1, ppStart));
  EXPECT_EQ(out_->Size(), 0);
  EXPECT_EQ(host_.events, (Lines{"copy 0 0"}));

  host_.events.clear();
  EXPECT_TRUE(Copy(source, -1, ppProcess)) << "ppEnd answered no Cancel";
  EXPECT_EQ(out_->Size(), 1000000);
  EXPECT_EQ(host_.events, (Lines{"copy 0 0", "copy 1 40", "copy 2 100"}));

  EXPECT_TRUE(Copy(source, 0, ppEnd));
}

}  // namespace
}  // namespace tessaly::engine
