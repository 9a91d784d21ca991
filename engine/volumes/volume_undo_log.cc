#include "engine/volumes/volume_undo_log.h"

#include <utility>

#include "platform/exception.h"
#include "platform/open_stream.h"

namespace tessaly::engine {

void VolumeUndoLog::Begin() {
  Commit();
  recording_ = true;
}

platform::Stream* VolumeUndoLog::TailChanges(
    const std::string& volume, int64_t from,
    std::unique_ptr<platform::Stream> old_bytes, const std::string& temp_file) {
  Step step;
  step.kind = Kind::kTailChanged;
  step.volume = volume;
  step.from = from;
  step.old_bytes = std::move(old_bytes);
  step.temp_file = temp_file;
  steps_.push_back(std::move(step));
  return steps_.back().old_bytes.get();
}

void VolumeUndoLog::Created(const std::string& volume) {
  Step step;
  step.kind = Kind::kCreated;
  step.volume = volume;
  steps_.push_back(std::move(step));
}

void VolumeUndoLog::Renamed(const std::string& from, const std::string& to) {
  Step step;
  step.kind = Kind::kRenamed;
  step.volume = from;
  step.to = to;
  steps_.push_back(std::move(step));
}

void VolumeUndoLog::SetAside(const std::string& path,
                             const std::string& aside) {
  Renamed(path, aside);
  steps_.back().temp_file = aside;  // undo moves it back before commit runs
}

bool VolumeUndoLog::UndoTail(Step& step, platform::Stream* live,
                             const std::string& live_name) {
  std::unique_ptr<platform::Stream> opened;
  platform::Stream* target = live;
  if (target == nullptr || step.volume != live_name) {
    std::unique_ptr<platform::File> file =
        env_.OpenFile(step.volume, platform::kOpenReadWrite);
    if (file == nullptr) return false;
    opened = std::move(file);
    target = opened.get();
  }
  if (!target->SetSize(step.from) || target->Seek(step.from) != step.from) {
    return false;
  }
  if (step.old_bytes == nullptr) return true;
  try {
    if (step.old_bytes->Seek(0) != 0) return false;
    target->CopyFrom(*step.old_bytes, -1);
  } catch (const platform::Exception&) {
    return false;
  }
  return true;
}

bool VolumeUndoLog::Undo(platform::Stream* live, const std::string& live_name) {
  bool ok = true;
  for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
    switch (step->kind) {
      case Kind::kTailChanged:
        ok = UndoTail(*step, live, live_name) && ok;
        break;
      case Kind::kCreated:
        ok = env_.RemoveFile(step->volume) && ok;
        break;
      case Kind::kRenamed:
        ok = env_.RenameFile(step->to, step->volume) && ok;
        break;
    }
  }
  Commit();
  return ok;
}

void VolumeUndoLog::Commit() {
  for (Step& step : steps_) {
    step.old_bytes.reset();
    if (!step.temp_file.empty()) env_.RemoveFile(step.temp_file);
  }
  steps_.clear();
  recording_ = false;
}

}  // namespace tessaly::engine
