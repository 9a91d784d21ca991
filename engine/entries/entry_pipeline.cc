#include "engine/entries/entry_pipeline.h"

#include <algorithm>

#include "engine/format/signatures.h"

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

TZAProcessOperation EntryPipeline::BeginStep(const TZADirArray& dir,
                                             int32_t first) {
  writing_ = first;
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
                               std::vector<std::string>& left_out) {
  int32_t& i = writing_;
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

bool DirAheadItems::Next(AheadItem& item) {
  next_ = std::max(next_, writing_ + 1);
  while (next_ < dir_.Count()) {
    const TDirItem& d = dir_.ItemPtr(next_++);
    if (d.Pending && !ChangesDirectoryOnly(d.EntryAction) &&
        !d.SourceStream && !d.IsFolder() && d.EntryPassword.empty() &&
        d.header.method == kMethodDeflated &&
        CharacterCount(d.SourceFileName) < kMaxSourcePath) {
      item = {d.SourceFileName, d.EntryLevel};
      return true;
    }
  }
  return false;
}

}  // namespace tessaly::engine
