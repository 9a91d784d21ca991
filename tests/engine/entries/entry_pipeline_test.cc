// The loop over an update's items: what Retry, Ignore, Abort and Cancel do
// to the items, the counters and the events, and that an item's owned
// source stream is let go of once its entry is written.
#include "engine/entries/entry_pipeline.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/component.h"
#include "engine/format/signatures.h"
#include "platform/memory_stream.h"
#include "platform/testing/mem_env.h"

namespace tessaly::engine {
namespace {

// A single-file archive asks nothing of its host.
class NoVolumes final : public VolumeHost {
 public:
  void DoRequestBlankVolume(int32_t, std::string&, bool&) override {}
  void DoRequestFirstVolume(std::string&, bool&) override {}
  void DoRequestLastVolume(std::string&, bool&) override {}
  void DoRequestMiddleVolume(int32_t, std::string&, bool&) override {}
  void DoDiskFull(int32_t, const std::string&, bool&) override {}
  void DoCopyTempFileProgress(double, TZAProgressPhase, bool&) override {}
  VolumeNaming Naming() const override { return {}; }
};

// Logs the file events ("start a", "end a", "fail b"; block events are
// left out) and answers failures from `answers` in turn (then Ignore).
class EventLog final : public EntryEvents {
 public:
  std::vector<std::string> lines;
  std::vector<TZAAction> answers;
  std::string cancel_at;  // a file start event answered Cancel

  void DoOverallProgress(double, TZAProcessOperation, TZAProgressPhase,
                         bool&) override {}
  void DoFileProgress(const std::string& name, double, TZAProcessOperation,
                      TZAProgressPhase phase, bool& cancel) override {
    if (phase == ppProcess) return;
    lines.push_back((phase == ppStart ? "start " : "end ") + name);
    cancel = phase == ppStart && name == cancel_at;
  }
  void DoProcessFileFailure(const std::string& name, TZAProcessOperation,
                            int32_t, int32_t, const std::string&,
                            TZAAction& action) override {
    lines.push_back("fail " + name);
    action = fxaIgnore;
    if (!answers.empty()) {
      action = answers.front();
      answers.erase(answers.begin());
    }
  }
};

class EntryPipelineTest : public ::testing::Test {
 protected:
  EntryPipelineTest()
      : volumes_(env_, &component_, host_,
                 VolumeSettings{archive_name_, mode_, open_mode_,
                                spanning_options_}),
        pipeline_(env_, &component_, volumes_,
                  EntryWriterSettings{options_, zip64_mode_, zip_format_,
                                      mode_, compression_mode_, temp_dir_,
                                      entry_method_},
                  log_, place_) {
    volumes_.Replace(std::make_unique<platform::MemoryStream>(), "");
  }

  // A new stored entry named `name` whose data come from a stream the item
  // owns; `source` empty: from the file `name`, which does not exist.
  void Add(const std::string& name, const std::string& source) {
    TDirItem item;
    item.StoredName = name;
    item.SourceFileName = name;
    item.Pending = true;
    item.EntryAction = poAdd;
    item.header.method = kMethodStored;
    if (!source.empty()) {
      auto stream = std::make_unique<platform::MemoryStream>();
      stream->WriteBuffer(source.data(), static_cast<int64_t>(source.size()));
      item.SourceStream = SourceStreamRef::Owned(std::move(stream));
    }
    dir_.AddItem(item);
  }

  void Run() {
    pipeline_.BeginStep(dir_, 0);
    pipeline_.WriteItems(dir_, saved_, left_out_);
  }

  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int32_t i = 0; i < dir_.Count(); ++i) {
      names.push_back(dir_.ItemPtr(i).StoredName);
    }
    return names;
  }

  platform::MemEnv env_;
  Component component_;
  NoVolumes host_;
  EventLog log_;
  std::string archive_name_ = "a.zip";
  TZASpanningMode mode_ = smNone;
  uint16_t open_mode_ = 0;
  TZASpanningOptions spanning_options_;
  TZAOptions options_;
  TZip64Mode zip64_mode_ = zmAuto;
  bool zip_format_ = true;
  uint8_t compression_mode_ = 0;
  std::string temp_dir_;
  uint16_t entry_method_ = 0xFFFF;
  RewritePlace place_;
  VolumeSequence volumes_;
  EntryPipeline pipeline_;
  TZADirArray dir_;
  TZADirArray saved_;
  std::vector<std::string> left_out_;
};

TEST_F(EntryPipelineTest, RetryTriesAgainAndIgnoreDropsANewItem) {
  Add("a", "alpha");
  Add("b", "");
  Add("c", "gamma");
  log_.answers = {fxaRetry, fxaIgnore};
  Run();
  EXPECT_EQ(log_.lines,
            (std::vector<std::string>{"start a", "end a", "start b", "fail b",
                                      "start b", "fail b", "start c",
                                      "end c"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(left_out_, std::vector<std::string>{"b"});
  EXPECT_FALSE(pipeline_.Cancelled());
  EXPECT_FALSE(pipeline_.Aborted());
  EXPECT_EQ(pipeline_.Progress().FilesTotal, 3);
  EXPECT_EQ(pipeline_.Progress().FilesDone, 2);
  EXPECT_EQ(entry_method_, kMethodStored);  // set by every new entry
  // Written entries let go of their sources and lie one after the other:
  // a local header of 30 bytes, the one-letter name and five bytes each.
  for (int32_t i = 0; i < dir_.Count(); ++i) {
    EXPECT_EQ(dir_.ItemPtr(i).SourceStream.get(), nullptr) << i;
  }
  EXPECT_EQ(dir_.ItemPtr(0).LocalHeaderOffset(), 0u);
  EXPECT_EQ(dir_.ItemPtr(1).LocalHeaderOffset(), 36u);
  EXPECT_EQ(volumes_.stream()->Size(), 72);
}

TEST_F(EntryPipelineTest, AbortAndCancelEndTheLoopWithTheRestUntouched) {
  Add("a", "alpha");
  Add("b", "");
  Add("c", "gamma");
  log_.answers = {fxaAbort};
  Run();
  EXPECT_TRUE(pipeline_.Aborted());
  EXPECT_FALSE(pipeline_.CopyCancelled());
  EXPECT_EQ(pipeline_.LastFailure().name, "b");
  EXPECT_TRUE(left_out_.empty());
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_NE(dir_.ItemPtr(2).SourceStream.get(), nullptr);
  EXPECT_EQ(pipeline_.Progress().FilesDone, 1);

  // A new step starts without the old answer; a Cancel at the start of a
  // file ends the loop before that file is opened.
  dir_.Clear();
  volumes_.Replace(std::make_unique<platform::MemoryStream>(), "");
  Add("d", "delta");
  Add("e", "epsilon");
  log_.lines.clear();
  log_.cancel_at = "e";
  Run();
  EXPECT_FALSE(pipeline_.Aborted());
  EXPECT_TRUE(pipeline_.Cancelled());
  EXPECT_EQ(log_.lines, (std::vector<std::string>{"start d", "end d",
                                                  "start e"}));
  EXPECT_NE(dir_.ItemPtr(1).SourceStream.get(), nullptr);
}

}  // namespace
}  // namespace tessaly::engine
