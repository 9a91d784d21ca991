// What became of the last update transaction of an archiver: applied,
// rolled back (and why), or refused; and which files were left out.
// The archiver keeps one (TZABaseArchiver::LastUpdate) so that a host can
// tell a rolled-back update from a finished one without guessing from the
// events it saw.
#ifndef TESSALY_ENGINE_BASE_UPDATE_RESULT_H_
#define TESSALY_ENGINE_BASE_UPDATE_RESULT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::engine {

enum TZAUpdateOutcome : uint8_t {
  uoNone = 0,       // no update has ended since the archiver was created
  uoApplied = 1,    // every pending change is in the archive
  uoCancelled = 2,  // a progress event answered Cancel: rolled back
  uoAborted = 3,    // a failure answered Abort (or a volume could not be
                    // obtained): rolled back
  uoRefused = 4,    // the archive cannot take this update; nothing touched
  uoFailed = 5,     // an exception stopped it: rolled back, then raised
};

struct TZAUpdateResult {
  TZAUpdateOutcome Outcome = uoNone;
  // The failure behind uoAborted, uoRefused and uoFailed: the engine code
  // (NativeError; 45 when a volume could not be obtained, 0 for an
  // exception of another class) and the message.
  int32_t NativeError = 0;
  std::string Message;
  // Whether the archive is back as it was before the update; false only
  // when putting it back failed too.
  bool RolledBack = false;
  // Sources left out of an applied update (a failure answered Ignore), in
  // the order they were met.
  std::vector<std::string> FilesLeftOut;

  // The update did all it was asked to.
  bool Complete() const { return Outcome == uoApplied && FilesLeftOut.empty(); }
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_UPDATE_RESULT_H_
