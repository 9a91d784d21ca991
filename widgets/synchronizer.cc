#include "widgets/synchronizer.h"

#include <exception>
#include <utility>

namespace tessaly::widgets {

// One handed-over call. `state` moves queued -> running -> done, or
// queued -> cancelled when the worker gives up before the GUI thread took it.
struct QueuedSynchronizer::Request {
  enum class State { kQueued, kRunning, kDone, kCancelled };

  std::function<void()> call;
  State state = State::kQueued;
  std::exception_ptr error;
};

QueuedSynchronizer::QueuedSynchronizer(std::function<void()> wake)
    : wake_(std::move(wake)) {}

QueuedSynchronizer::~QueuedSynchronizer() = default;

bool QueuedSynchronizer::Synchronize(std::function<void()> call,
                                     std::stop_token stop) {
  auto request = std::make_shared<Request>();
  request->call = std::move(call);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop.stop_requested()) return false;
    queue_.push_back(request);
  }
  changed_.notify_all();
  if (wake_) wake_();

  // Runs on the thread that requests the stop (typically the GUI thread while
  // it destroys the owner), or right here if the stop came first. Declared
  // before the lock below so that it is destroyed after the lock is released:
  // its destructor waits for a callback running on another thread, and that
  // callback needs the lock.
  std::stop_callback on_stop(stop, [this, request] {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (request->state != Request::State::kQueued) return;
      request->state = Request::State::kCancelled;
      std::erase(queue_, request);
    }
    changed_.notify_all();
  });

  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] {
    return request->state == Request::State::kDone ||
           request->state == Request::State::kCancelled;
  });
  if (request->state == Request::State::kCancelled) return false;
  if (request->error) std::rethrow_exception(request->error);
  return true;
}

int QueuedSynchronizer::RunPending() {
  std::unique_lock<std::mutex> lock(mutex_);
  size_t budget = queue_.size();
  int run = 0;
  while (budget > 0 && !queue_.empty()) {
    --budget;
    std::shared_ptr<Request> request = std::move(queue_.front());
    queue_.pop_front();
    request->state = Request::State::kRunning;
    lock.unlock();
    std::exception_ptr error;
    try {
      request->call();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    request->error = error;
    request->state = Request::State::kDone;
    ++run;
    changed_.notify_all();
  }
  return run;
}

size_t QueuedSynchronizer::PendingCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool QueuedSynchronizer::WaitForPending(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
}

}  // namespace tessaly::widgets
