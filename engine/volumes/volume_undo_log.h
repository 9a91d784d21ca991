// VolumeUndoLog: what one update transaction did to the files of an archive,
// recorded as steps so that the transaction can be undone exactly.
//
// The apply step records each change just before it makes it: a volume file
// created, a volume file renamed, or the bytes of a volume from some offset
// to its end about to be replaced (with a copy of those old bytes). Undo
// reverses the steps, latest first, which leaves every volume as it was
// before the transaction, byte for byte, whether it was the single file of
// a plain archive or one of many volumes. Commit forgets the steps once the
// transaction has succeeded.
//
// Thread rules: used by the archiver's one thread.
#ifndef TESSALY_ENGINE_VOLUMES_VOLUME_UNDO_LOG_H_
#define TESSALY_ENGINE_VOLUMES_VOLUME_UNDO_LOG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/stream.h"

namespace tessaly::engine {

class VolumeUndoLog {
 public:
  // REQUIRES: `env` outlives the log.
  explicit VolumeUndoLog(platform::Env& env) : env_(env) {}
  VolumeUndoLog(const VolumeUndoLog&) = delete;
  VolumeUndoLog& operator=(const VolumeUndoLog&) = delete;
  ~VolumeUndoLog() { Commit(); }

  // Whether steps are being recorded (between Begin and Undo or Commit).
  bool Recording() const { return recording_; }
  // Starts recording the steps of a transaction; forgets earlier ones.
  void Begin();

  // The bytes of `volume` from `from` to its end are about to change.
  // `old_bytes` holds their copy from its position 0 (null: there were none,
  // `from` is the volume's end); when it is a temporary file, `temp_file`
  // names it and the log deletes it when the step is forgotten. Returns the
  // copy (owned by the log, valid until Undo or Commit) for reading.
  platform::Stream* TailChanges(const std::string& volume, int64_t from,
                                std::unique_ptr<platform::Stream> old_bytes,
                                const std::string& temp_file = "");
  // The volume file `volume` was created.
  void Created(const std::string& volume);
  // The volume file `from` was renamed to `to`.
  void Renamed(const std::string& from, const std::string& to);
  // The file `path` was moved out of the way, to `aside`, where it stays
  // until the transaction ends: undo moves it back, commit deletes it.
  void SetAside(const std::string& path, const std::string& aside);

  // Undoes every step, latest first, and stops recording. The volume named
  // `live_name` is reached through `live` when that is not null (so an
  // archive in memory, whose name is "", can be restored); every other one
  // is opened by name through the environment. A step that fails does not
  // stop the others. Returns false when any step failed.
  bool Undo(platform::Stream* live, const std::string& live_name);

  // Forgets every step (deleting the copies' temporary files) and stops
  // recording.
  void Commit();

 private:
  enum class Kind { kTailChanged, kCreated, kRenamed };
  struct Step {
    Kind kind = Kind::kCreated;
    std::string volume;  // kRenamed: the old name
    std::string to;      // kRenamed: the new name
    int64_t from = 0;
    std::unique_ptr<platform::Stream> old_bytes;
    std::string temp_file;
  };

  bool UndoTail(Step& step, platform::Stream* live,
                const std::string& live_name);

  platform::Env& env_;
  std::vector<Step> steps_;
  bool recording_ = false;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_VOLUMES_VOLUME_UNDO_LOG_H_
