// CoreDouble: an ArchiverCore whose event dispatchers do nothing, for
// testing what it computes by itself (volume names and their lookup).
#ifndef TESSALY_TESTS_ENGINE_CORE_DOUBLE_H_
#define TESSALY_TESTS_ENGINE_CORE_DOUBLE_H_

#include <cstdint>
#include <string>

#include "engine/archiver_core.h"

namespace tessaly::engine {

class CoreDouble : public ArchiverCore {
 public:
  explicit CoreDouble(platform::Env& env) : ArchiverCore(env) {
    SetName("Zipper");
    ZipFormat = true;
    EntryMethod = 8;
  }
  void SetSpanningMode(TZASpanningMode mode) { spanning_mode_ = mode; }
  void SetEntryMethod(uint16_t method) { EntryMethod = method; }

  void DoCopyTempFileProgress(double, TZAProgressPhase, bool&) override {}
  void DoRequestBlankVolume(int32_t, std::string&, bool&) override {}
  void DoRequestFirstVolume(std::string&, bool&) override {}
  void DoRequestLastVolume(std::string&, bool&) override {}
  void DoRequestMiddleVolume(int32_t, std::string&, bool&) override {}
  void DoDiskFull(int32_t, const std::string&, bool&) override {}
  void DoOverallProgress(double, TZAProcessOperation, TZAProgressPhase,
                         bool&) override {}
  void DoFileProgress(const std::string&, double, TZAProcessOperation,
                      TZAProgressPhase, bool&) override {}
  void DoProcessFileFailure(const std::string&, TZAProcessOperation, int32_t,
                            int32_t, const std::string&, TZAAction&) override {}
};

}  // namespace tessaly::engine

#endif  // TESSALY_TESTS_ENGINE_CORE_DOUBLE_H_
