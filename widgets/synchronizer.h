// Running a call on the GUI thread on behalf of a worker thread, the way a
// desktop class library's "synchronise" works: the worker hands over a call
// and blocks until the GUI thread, while it processes its messages, has run
// it. Unlike the class library's version the wait can be abandoned through a
// stop token, so that a GUI thread that is itself waiting for the worker to
// finish (destroying its owner) cannot deadlock with it.
#ifndef TESSALY_WIDGETS_SYNCHRONIZER_H_
#define TESSALY_WIDGETS_SYNCHRONIZER_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

namespace tessaly::widgets {

class Synchronizer {
 public:
  Synchronizer() = default;
  Synchronizer(const Synchronizer&) = delete;
  Synchronizer& operator=(const Synchronizer&) = delete;
  virtual ~Synchronizer() = default;

  // Called on a worker thread: has the GUI thread run `call` and blocks until
  // it has. Returns true once `call` has run. Returns false, without running
  // it, when `stop` is (or becomes) requested before the GUI thread has
  // started it; a call already running is waited for. An exception thrown by
  // `call` is rethrown here, on the worker.
  // REQUIRES: not called on the GUI thread.
  virtual bool Synchronize(std::function<void()> call,
                           std::stop_token stop) = 0;
};

// A Synchronizer that queues the calls; the GUI thread runs them by calling
// RunPending from its message loop (an idle or check callback, or the
// console's loop). Tests drive it by hand.
//
// Thread rules: Synchronize on worker threads; RunPending on the one GUI
// thread; PendingCount and WaitForPending on any thread.
class QueuedSynchronizer final : public Synchronizer {
 public:
  // `wake`, when set, is invoked on the worker thread after each call was
  // queued, without the synchronizer's lock held; it must be safe to call
  // from any thread (for FLTK: Fl::awake()). It tells a sleeping message loop
  // that RunPending has work.
  explicit QueuedSynchronizer(std::function<void()> wake = nullptr);
  // REQUIRES: no worker is inside Synchronize.
  ~QueuedSynchronizer() override;

  bool Synchronize(std::function<void()> call, std::stop_token stop) override;

  // Runs, in order, the calls that were queued when RunPending started (a
  // call queued meanwhile waits for the next RunPending) and releases their
  // workers. Returns the number of calls run. An exception thrown by a call
  // goes to its worker, not to the GUI thread.
  int RunPending();

  // Calls waiting to be run.
  size_t PendingCount() const;

  // Blocks until at least one call is waiting or `timeout` has passed.
  // Returns whether a call is waiting.
  bool WaitForPending(std::chrono::milliseconds timeout);

 private:
  struct Request;

  const std::function<void()> wake_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Request>> queue_;
};

}  // namespace tessaly::widgets

#endif  // TESSALY_WIDGETS_SYNCHRONIZER_H_
