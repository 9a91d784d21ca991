// The archiver's events. Every handler receives the archiver as Sender;
// "var" parameters are references the handler may change. Volume numbers
// handed to handlers count from 1; progress values are percentages 0..100.
#ifndef TESSALY_ENGINE_BASE_ARCHIVER_EVENTS_H_
#define TESSALY_ENGINE_BASE_ARCHIVER_EVENTS_H_

#include <cstdint>
#include <functional>
#include <string>

#include "engine/base/types.h"

namespace tessaly::engine {

class Component;

using TNotifyEvent = std::function<void(Component* Sender)>;
using TZAFileProgressEvent = std::function<void(
    Component* Sender, const std::string& FileName, double Progress,
    TZAProcessOperation Operation, TZAProgressPhase ProgressPhase,
    bool& Cancel)>;
using TZAProgressEvent = std::function<void(
    Component* Sender, double Progress, TZAProcessOperation Operation,
    TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZACopyTempFileProgressEvent =
    std::function<void(Component* Sender, double Progress,
                       TZAProgressPhase ProgressPhase, bool& Cancel)>;
using TZAConfirmOverwriteEvent = std::function<void(
    Component* Sender, const std::string& SourceFileName,
    std::string& DestFileName, bool& Confirm)>;
using TZAConfirmProcessFileEvent = std::function<void(
    Component* Sender, const std::string& FileName,
    TZAProcessOperation Operation, bool& Confirm)>;
using TZAOnPasswordEvent =
    std::function<void(Component* Sender, const std::string& FileName,
                       std::string& NewPassword, bool& SkipFile)>;
using TZAProcessFileFailureEvent = std::function<void(
    Component* Sender, const std::string& FileName,
    TZAProcessOperation Operation, int32_t NativeError, int32_t ErrorCode,
    const std::string& ErrorMessage, TZAAction& Action)>;
using TZAOnRequestBlankVolumeEvent =
    std::function<void(Component* Sender, int32_t VolumeNumber,
                       std::string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestFirstVolumeEvent = std::function<void(
    Component* Sender, std::string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestLastVolumeEvent = std::function<void(
    Component* Sender, std::string& VolumeFileName, bool& Cancel)>;
using TZAOnRequestMiddleVolumeEvent =
    std::function<void(Component* Sender, int32_t VolumeNumber,
                       std::string& VolumeFileName, bool& Cancel)>;
using TZAOnDiskFullEvent =
    std::function<void(Component* Sender, int32_t VolumeNumber,
                       const std::string& VolumeFileName, bool& Cancel)>;
using TZAOnStoreFileEvent = std::function<void(
    Component* Sender, std::string& FileName, uint32_t& FileAttr,
    std::string& Comment, const std::string& OriginalFileName)>;
using TZAOnExtractFileEvent =
    std::function<void(Component* Sender, std::string& FileName,
                       uint32_t& FileAttr, const std::string& Comment)>;

// The failure dialogue, as the units that work on single files (selection,
// the entry pipeline) ask their owner for it: the archiver's dispatcher
// raises OnProcessFileFailure or shows its default box, and the answer
// (Retry, Ignore, Abort) comes back in Action.
class FileFailureHost {
 public:
  virtual ~FileFailureHost() = default;
  virtual void DoProcessFileFailure(const std::string& FileName,
                                    TZAProcessOperation Operation,
                                    int32_t NativeError, int32_t ErrorCode,
                                    const std::string& ErrorMessage,
                                    TZAAction& Action) = 0;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_ARCHIVER_EVENTS_H_
