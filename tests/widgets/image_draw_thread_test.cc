#include "widgets/image_draw_thread.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "widgets/synchronizer.h"

namespace tessaly::widgets {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = std::chrono::seconds(5);

// A timing thread whose steps are counted; the test body plays the GUI
// thread and runs the handed-over calls with sync_.RunPending().
class ImageDrawThreadTest : public testing::Test {
 protected:
  std::unique_ptr<TImageDrawThread> StartThread(uint32_t delay) {
    auto thread = std::make_unique<TImageDrawThread>(sync_);
    thread->SetStepDelay(delay);
    thread->OnStep = [this](TImageDrawThread&) {
      ++steps_;
      step_thread_ = std::this_thread::get_id();
    };
    thread->Resume();
    return thread;
  }

  // Destroys `thread` and returns how long that took.
  static Clock::duration TimeDestruction(
      std::unique_ptr<TImageDrawThread> thread) {
    const auto start = Clock::now();
    thread.reset();
    return Clock::now() - start;
  }

  QueuedSynchronizer sync_;
  int steps_ = 0;
  std::thread::id step_thread_;
};

TEST_F(ImageDrawThreadTest, StepsRunOnlyWhenTheGuiRunsPendingCalls) {
  auto thread = StartThread(1);
  for (int cycle = 1; cycle <= 3; ++cycle) {
    ASSERT_TRUE(sync_.WaitForPending(kPatience));
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(sync_.PendingCount(), 1u) << "never more than one step queued";
    EXPECT_EQ(steps_, cycle - 1);
    EXPECT_EQ(sync_.RunPending(), 1);
    EXPECT_EQ(steps_, cycle);
  }
  EXPECT_EQ(step_thread_, std::this_thread::get_id());
}

TEST_F(ImageDrawThreadTest, SuspendedThreadHandsOverNoSteps) {
  TImageDrawThread created(sync_);
  created.SetStepDelay(1);
  EXPECT_TRUE(created.Suspended());
  EXPECT_FALSE(sync_.WaitForPending(milliseconds(50)));

  auto thread = StartThread(1);
  ASSERT_TRUE(sync_.WaitForPending(kPatience));
  thread->Suspend();
  sync_.RunPending();  // The step already handed over still runs.
  EXPECT_FALSE(sync_.WaitForPending(milliseconds(50)));
  thread->Resume();
  EXPECT_TRUE(sync_.WaitForPending(kPatience));
}

TEST_F(ImageDrawThreadTest, DestructionDropsAWaitingStep) {
  auto thread = StartThread(1);
  ASSERT_TRUE(sync_.WaitForPending(kPatience));
  EXPECT_LT(TimeDestruction(std::move(thread)), kPatience);
  EXPECT_EQ(sync_.PendingCount(), 0u);
  EXPECT_EQ(sync_.RunPending(), 0);
  EXPECT_EQ(steps_, 0);
}

TEST_F(ImageDrawThreadTest, DestructionInterruptsSleepAndSuspension) {
  EXPECT_LT(TimeDestruction(StartThread(60'000)), milliseconds(1'000));
  auto suspended = StartThread(1);
  suspended->Suspend();
  EXPECT_LT(TimeDestruction(std::move(suspended)), kPatience);
}

TEST_F(ImageDrawThreadTest, TerminateFromAStepEndsTheSteps) {
  auto thread = StartThread(1);
  thread->OnStep = [&](TImageDrawThread& self) {
    ++steps_;
    self.Terminate();
  };
  ASSERT_TRUE(sync_.WaitForPending(kPatience));
  sync_.RunPending();
  EXPECT_EQ(steps_, 1);
  EXPECT_TRUE(thread->Terminated());
  EXPECT_FALSE(sync_.WaitForPending(milliseconds(50)));
}

TEST_F(ImageDrawThreadTest, ExceptionInAStepEndsTheLoopQuietly) {
  auto thread = StartThread(1);
  thread->OnStep = [](TImageDrawThread&) { throw std::runtime_error("boom"); };
  ASSERT_TRUE(sync_.WaitForPending(kPatience));
  EXPECT_NO_THROW(sync_.RunPending());
  const auto deadline = Clock::now() + kPatience;
  while (!thread->Finished() && Clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_TRUE(thread->Finished());
  EXPECT_EQ(sync_.PendingCount(), 0u);
}

TEST(QueuedSynchronizerTest, RunsOnlyCallsQueuedBeforeRunPendingStarted) {
  std::atomic<int> wakes = 0;
  QueuedSynchronizer sync([&wakes] { ++wakes; });
  std::stop_source never;
  bool ran_second = false;
  std::jthread second;
  std::jthread first([&] {
    sync.Synchronize(
        [&] {
          second = std::jthread([&] {
            sync.Synchronize([&] { ran_second = true; }, never.get_token());
          });
          sync.WaitForPending(kPatience);
        },
        never.get_token());
  });
  ASSERT_TRUE(sync.WaitForPending(kPatience));
  EXPECT_EQ(sync.RunPending(), 1) << "the call queued meanwhile waits";
  EXPECT_FALSE(ran_second);
  EXPECT_EQ(sync.RunPending(), 1);
  EXPECT_TRUE(ran_second);
  first.join();
  second.join();
  EXPECT_EQ(wakes, 2);
}

TEST(QueuedSynchronizerTest, StopBeforeTheCallStartsCancelsIt) {
  QueuedSynchronizer sync;
  std::stop_source stop;
  std::atomic<bool> result = true;
  std::jthread worker(
      [&] { result = sync.Synchronize([] { FAIL(); }, stop.get_token()); });
  ASSERT_TRUE(sync.WaitForPending(kPatience));
  stop.request_stop();
  worker.join();
  EXPECT_FALSE(result);
  EXPECT_EQ(sync.RunPending(), 0);
}

}  // namespace
}  // namespace tessaly::widgets
