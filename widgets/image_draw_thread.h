// The busy indicator's timing thread. It only keeps time: every StepDelay
// milliseconds it has the GUI thread run its draw routine, which calls
// OnStep, and waits until that has happened. All drawing therefore happens
// on the GUI thread, and only while that thread processes its messages; the
// worker never has more than one step outstanding.
#ifndef TESSALY_WIDGETS_IMAGE_DRAW_THREAD_H_
#define TESSALY_WIDGETS_IMAGE_DRAW_THREAD_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "widgets/synchronizer.h"

namespace tessaly::widgets {

class TImageDrawThread {
 public:
  // Starts the worker. With `create_suspended` the worker waits before its
  // first sleep until Resume. `synchronizer` must outlive this object.
  explicit TImageDrawThread(Synchronizer& synchronizer,
                            bool create_suspended = true);
  TImageDrawThread(const TImageDrawThread&) = delete;
  TImageDrawThread& operator=(const TImageDrawThread&) = delete;

  // Requests termination, wakes the worker wherever it waits (suspended,
  // sleeping, or in Synchronize with its call not yet started, which is then
  // dropped) and joins it. Returns promptly; no OnStep runs afterwards.
  // REQUIRES: not called from inside OnStep (the worker waits for that call
  // to return).
  ~TImageDrawThread();

  // The pause between steps, in milliseconds; 50 by default. A change takes
  // effect from the next sleep. Any thread.
  uint32_t StepDelay() const { return step_delay_.load(); }
  void SetStepDelay(uint32_t milliseconds) { step_delay_.store(milliseconds); }

  // Called on the GUI thread once per cycle, with this thread as argument.
  // Read and written on the GUI thread only.
  std::function<void(TImageDrawThread&)> OnStep;

  // Suspension is cooperative: a suspended worker finishes its current sleep
  // and then waits instead of stepping (a step already handed to the GUI
  // thread still runs). Suspend and Resume do not nest. Any thread.
  void Suspend();
  void Resume();
  bool Suspended() const;

  // Asks the worker to finish; it stops at its next wait, and a step that
  // has not started yet is not run. Any thread.
  void Terminate();
  bool Terminated() const { return worker_.get_stop_token().stop_requested(); }

  // Whether the worker's loop has ended (terminated, or ended by an
  // exception). Any thread.
  bool Finished() const { return finished_.load(); }

 private:
  void Execute(std::stop_token stop);
  // Blocks while suspended; returns false once termination was requested.
  bool WaitWhileSuspended(std::stop_token& stop);
  // The call handed to the GUI thread.
  void DrawImage();

  Synchronizer& synchronizer_;
  std::atomic<uint32_t> step_delay_{50};
  std::atomic<bool> finished_{false};
  mutable std::mutex mutex_;
  std::condition_variable_any wake_;
  bool suspended_;
  std::jthread worker_;  // Last: starts after, and is joined before, the rest.
};

}  // namespace tessaly::widgets

#endif  // TESSALY_WIDGETS_IMAGE_DRAW_THREAD_H_
