// CoreDouble: an ArchiverCore with the component's volume and copy
// dispatchers, minus the dialogs, for testing engine/io alone. Each call is
// logged in `events` ("blank 2 <name>", "full 1 <name>", "copy <phase>
// <progress>"); hosts answer through the On* events, otherwise the
// non-interactive defaults apply.
#ifndef TESSALY_TESTS_ENGINE_IO_CORE_DOUBLE_H_
#define TESSALY_TESTS_ENGINE_IO_CORE_DOUBLE_H_

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/io/archiver_core.h"

namespace tessaly::engine::test {

class CoreDouble : public ArchiverCore {
 public:
  explicit CoreDouble(platform::Env& env) : ArchiverCore(env) {
    SetName("Zipper");
    ZipFormat = true;
    EntryMethod = 8;
  }
  void SetSpanningMode(TZASpanningMode mode) { spanning_mode_ = mode; }

  std::vector<std::string> events;

  void DoCopyTempFileProgress(double Progress, TZAProgressPhase Phase,
                              bool& Cancel) override {
    char line[64];
    std::snprintf(line, sizeof line, "copy %d %g", Phase, Progress);
    events.push_back(line);
    Cancel = false;
    if (OnCopyTempFileProgress)
      OnCopyTempFileProgress(this, Progress, Phase, Cancel);
  }
  void DoRequestBlankVolume(int32_t Index, std::string& Name,
                            bool& Cancel) override {
    Name = MakeVolumeName(FileName, std::max(Index, 0), false);
    Log("blank", Index, Name);
    Cancel = false;
    if (OnRequestBlankVolume)
      OnRequestBlankVolume(this, Index + 1, Name, Cancel);
  }
  void DoRequestFirstVolume(std::string& Name, bool& Cancel) override {
    Answer("first", 0, Name, Cancel);
  }
  void DoRequestLastVolume(std::string& Name, bool& Cancel) override {
    Answer("last", -1, Name, Cancel);
  }
  void DoRequestMiddleVolume(int32_t Index, std::string& Name,
                             bool& Cancel) override {
    Answer("middle", Index, Name, Cancel);
  }
  void DoDiskFull(int32_t Index, const std::string& Name,
                  bool& Cancel) override {
    Log("full", Index, Name);
    Cancel = !OnDiskFull;  // no handler: give up, as splitting does
    if (OnDiskFull) OnDiskFull(this, Index + 1, Name, Cancel);
  }

  void DoOverallProgress(double, TZAProcessOperation, TZAProgressPhase,
                         bool& Cancel) override {
    Cancel = false;
  }
  void DoFileProgress(const std::string&, double, TZAProcessOperation,
                      TZAProgressPhase, bool& Cancel) override {
    Cancel = false;
  }
  void DoConfirmOverwrite(const std::string&, std::string&, bool&) override {}
  void DoConfirmProcessFile(const std::string&, TZAProcessOperation,
                            bool&) override {}
  void DoPassword(const std::string&, std::string&, bool&) override {}
  void DoProcessFileFailure(const std::string&, TZAProcessOperation, int32_t,
                            int32_t, const std::string&, TZAAction&) override {}
  void DoStoreFile(std::string&, uint32_t&, std::string&,
                   const std::string&) override {}
  void DoExtractFile(std::string&, uint32_t&, const std::string&) override {}

 private:
  // Handlers see volume numbers counted from 1.
  void Log(const char* kind, int32_t index, const std::string& name) {
    events.push_back(std::string(kind) + " " + std::to_string(index + 1) + " " +
                     name);
  }
  // The default of the existing-volume requests: offer the volume's name
  // (falling back to the other scheme) and cancel when it is missing.
  void Answer(const char* kind, int32_t index, std::string& name,
              bool& cancel) {
    name = MakeVolumeName(FileName, index, true);
    Log(kind, index, name);
    cancel = !env().FileExists(name);
  }
};

}  // namespace tessaly::engine::test

#endif  // TESSALY_TESTS_ENGINE_IO_CORE_DOUBLE_H_
