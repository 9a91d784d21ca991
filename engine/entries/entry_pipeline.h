// EntryPipeline: the loop of an update's apply step over the directory's
// items from the first change on. Each item is written anew from its source
// or carried over from the old archive (EntryWriter); a failure the host
// answers Retry is tried again, Abort or a Cancel ends the loop, and Ignore
// goes on without the item: a new item is dropped, one that replaced an
// existing entry gets that entry back (its old data and directory values).
//
// The transaction around the loop (where the rewriting starts, the undo of
// a failed update, the directory written at the end, the final events) is
// the archiver's.
//
// Thread rules: used by the archiver's one thread.
#ifndef TESSALY_ENGINE_ENTRIES_ENTRY_PIPELINE_H_
#define TESSALY_ENGINE_ENTRIES_ENTRY_PIPELINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/types.h"
#include "engine/directory/dir_array.h"
#include "engine/entries/entry_events.h"
#include "engine/entries/entry_placement.h"
#include "engine/entries/entry_writer.h"
#include "engine/io/entry_lookahead.h"
#include "engine/volumes/volume_sequence.h"
#include "platform/env.h"

namespace tessaly::engine {

class Component;

class EntryPipeline {
 public:
  // `component` is named in the errors raised. REQUIRES: everything given
  // outlives the pipeline.
  EntryPipeline(platform::Env& env, const Component* component,
                VolumeSequence& volumes, EntryWriterSettings settings,
                EntryEvents& events, RewritePlace& place);
  EntryPipeline(const EntryPipeline&) = delete;
  EntryPipeline& operator=(const EntryPipeline&) = delete;

  // Starts an apply step over `dir` that writes from item `first` on: the
  // counters start afresh with the pending items counted into FilesTotal,
  // progress events enabled, and no answer of an earlier step left.
  // Returns the operation of the first pending item (poDelete when none
  // is), which the overall progress events of the step carry.
  TZAProcessOperation BeginStep(const TZADirArray& dir, int32_t first);

  // Writes or carries over every item of `dir` from the step's first on, in
  // order, until a Cancel or an Abort answer. `saved` is the directory as
  // it was before the update. The sources of items left out after an
  // Ignore answer are added to `left_out`. Raises what writing raises.
  void WriteItems(TZADirArray& dir, TZADirArray& saved,
                  std::vector<std::string>& left_out);

  // The index of the item being written (or next to be written).
  const int32_t& Writing() const { return writing_; }

  // Whether the step was cancelled (a Cancel answer to a progress event).
  bool Cancelled() const { return progress_.CancelRequested; }
  // Whether the host answered Abort, or a copy into the volumes was
  // cancelled (CopyCancelled tells which).
  bool Aborted() const { return writer_.Action() == fxaAbort; }
  bool CopyCancelled() const { return writer_.CopyCancelled(); }
  // The failure the host last answered.
  const EntryFailure& LastFailure() const { return writer_.LastFailure(); }

  ApplyProgress& Progress() { return progress_; }
  EntryWriter& Writer() { return writer_; }

 private:
  ApplyProgress progress_;
  EntryWriter writer_;
  int32_t writing_ = 0;
};

// The items of `dir` after the one at index `writing` (which the pipeline
// moves on) whose first block may be read ahead: plain files of pending
// items written anew as deflate data without a password, whose paths the
// entry writer accepts.
class DirAheadItems final : public AheadItems {
 public:
  DirAheadItems(const TZADirArray& dir, const int32_t& writing)
      : dir_(dir), writing_(writing) {}
  bool Next(AheadItem& item) override;

 private:
  const TZADirArray& dir_;
  const int32_t& writing_;
  int32_t next_ = 0;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ENTRIES_ENTRY_PIPELINE_H_
