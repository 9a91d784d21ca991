// What writing entries tells the archiver: progress of the running apply
// step and failures of single entries, through the archiver's dispatchers,
// and the progress counters of the step that the writer and the pipeline
// share.
#ifndef TESSALY_ENGINE_ENTRIES_ENTRY_EVENTS_H_
#define TESSALY_ENGINE_ENTRIES_ENTRY_EVENTS_H_

#include <cstdint>
#include <string>

#include "engine/base/archiver_events.h"
#include "engine/base/types.h"

namespace tessaly::engine {

// The progress events of the step, with the failure dialogue.
class EntryEvents : public FileFailureHost {
 public:
  virtual void DoOverallProgress(double Progress, TZAProcessOperation Operation,
                                 TZAProgressPhase ProgressPhase,
                                 bool& Cancel) = 0;
  virtual void DoFileProgress(const std::string& FileName, double Progress,
                              TZAProcessOperation Operation,
                              TZAProgressPhase ProgressPhase, bool& Cancel) = 0;
};

// The counters of the running apply step. The overall progress of a block
// is (FileBytesDone / FileBytesTotal + FilesDone) / FilesTotal.
struct ApplyProgress {
  int32_t FilesDone = 0;   // items written or carried over
  int32_t FilesTotal = 0;  // items pending when the step began
  // Set by a Cancel answer to any progress event of the step.
  bool CancelRequested = false;
  // Progress events between blocks are raised only while set.
  bool ProgressEnabled = false;
  double FileBytesDone = 0;   // of the current source, before this block
  double FileBytesTotal = 0;  // the current source's size
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ENTRIES_ENTRY_EVENTS_H_
