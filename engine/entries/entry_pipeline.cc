#include "engine/entries/entry_pipeline.h"

namespace tessaly::engine {

namespace {

// Whether a pending item of this operation only changes directory values
// (its data is carried over instead of written again).
bool ChangesDirectoryOnly(TZAProcessOperation operation) {
  return operation == poRename || operation == poChangeAttr ||
         operation == poChangeComment;
}

}  // namespace

EntryPipeline::EntryPipeline(platform::Env& env, const Component* component,
                             VolumeSequence& volumes,
                             EntryWriterSettings settings, EntryEvents& events,
                             RewritePlace& place)
    : writer_(env, component, volumes, settings, events, progress_, place) {}

TZAProcessOperation EntryPipeline::BeginStep(const TZADirArray& dir) {
  progress_ = ApplyProgress{};
  progress_.ProgressEnabled = true;
  writer_.BeginStep();
  TZAProcessOperation operation = poDelete;
  for (int32_t i = 0; i < dir.Count(); ++i) {
    const TDirItem& item = dir.ItemPtr(i);
    if (!item.Pending) continue;
    if (progress_.FilesTotal == 0) operation = item.EntryAction;
    ++progress_.FilesTotal;
  }
  return operation;
}

void EntryPipeline::WriteItems(TZADirArray& dir, TZADirArray& saved,
                               int32_t first,
                               std::vector<std::string>& left_out) {
  int32_t i = first;
  while (i < dir.Count() && !progress_.CancelRequested) {
    const bool counted = dir.ItemPtr(i).Pending;
    bool written;
    do {
      writer_.SetAction(fxaIgnore);
      written = true;
      const TDirItem& item = dir.ItemPtr(i);
      if (item.Pending && !ChangesDirectoryOnly(item.EntryAction)) {
        written = writer_.WriteEntry(dir, i);
      } else {
        writer_.CopyEntry(dir, saved, i);
      }
    } while (writer_.Action() == fxaRetry);
    if (writer_.Action() == fxaAbort || progress_.CancelRequested) break;
    if (written) {
      if (counted) ++progress_.FilesDone;
      ++i;
      continue;
    }
    // The item failed and the host chose to go on without it.
    left_out.push_back(writer_.LastFailure().name);
    if (dir.ItemPtr(i).EntryAction == poAdd ||
        GiveOldEntryBack(dir, saved, i) < 0) {
      dir.DeleteItem(i);
      continue;
    }
    writer_.CopyEntry(dir, saved, i);
    ++i;
  }
}

}  // namespace tessaly::engine
