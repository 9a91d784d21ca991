#include "widgets/image_draw_thread.h"

#include <chrono>
#include <utility>

namespace tessaly::widgets {

TImageDrawThread::TImageDrawThread(Synchronizer& synchronizer,
                                   bool create_suspended)
    : synchronizer_(synchronizer),
      suspended_(create_suspended),
      worker_([this](std::stop_token stop) { Execute(std::move(stop)); }) {}

TImageDrawThread::~TImageDrawThread() {
  // The stop token wakes the worker in every wait: the suspension and sleep
  // waits use condition_variable_any's stop-aware overloads, and Synchronize
  // drops a call the GUI thread has not taken yet. So joining here cannot
  // deadlock even though the GUI thread is the one joining.
  Terminate();
  if (worker_.joinable()) worker_.join();
}

void TImageDrawThread::Suspend() {
  std::lock_guard<std::mutex> lock(mutex_);
  suspended_ = true;
}

void TImageDrawThread::Resume() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    suspended_ = false;
  }
  wake_.notify_all();
}

bool TImageDrawThread::Suspended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return suspended_;
}

void TImageDrawThread::Terminate() { worker_.request_stop(); }

bool TImageDrawThread::WaitWhileSuspended(std::stop_token& stop) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait(lock, stop, [this] { return !suspended_; });
  return !stop.stop_requested();
}

void TImageDrawThread::Execute(std::stop_token stop) {
  try {
    while (WaitWhileSuspended(stop)) {
      {
        // Sleep, but wake at once when termination is requested.
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, stop, std::chrono::milliseconds(StepDelay()),
                       [] { return false; });
      }
      // A Suspend during the sleep holds the worker here, before the step.
      if (!WaitWhileSuspended(stop)) break;
      synchronizer_.Synchronize([this] { DrawImage(); }, stop);
    }
  } catch (...) {
    // Whatever went wrong in a step ends the animation, quietly: a busy
    // indicator must never take the program down.
  }
  finished_.store(true);
}

void TImageDrawThread::DrawImage() {
  if (!Terminated() && OnStep) OnStep(*this);
}

}  // namespace tessaly::widgets
