// SelectionDouble: an ArchiverCore with plain event dispatchers and an empty
// directory on a memory stream, for driving file selection without opening
// an archive. Dispatchers call the event when it is set and otherwise give
// the answer that lets selection go on (confirm processing, decline an
// overwrite). DoStoreFile shows the handler '\' in place of '/', as the
// component does.
#ifndef TESSALY_TESTS_ENGINE_IO_SELECTION_DOUBLE_H_
#define TESSALY_TESTS_ENGINE_IO_SELECTION_DOUBLE_H_

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/directory/dir_manager.h"
#include "engine/io/archiver_core.h"
#include "platform/env.h"
#include "platform/memory_stream.h"

namespace tessaly::engine::test {

class SelectionDouble : public ArchiverCore {
 public:
  explicit SelectionDouble(platform::Env& env) : ArchiverCore(env) {
    EntryMethod = 8;  // as a ZIP archiver with deflate
    ArchiveOpen = true;
    DirManager = std::make_unique<TZADirManager>(&stream_, *this, volumes_,
                                                 false);
  }
  ~SelectionDouble() override { DirManager.reset(); }

  TZADirArray& Dir() { return DirManager->Dir; }

  void DoOverallProgress(double, TZAProcessOperation, TZAProgressPhase,
                         bool& Cancel) override {
    Cancel = false;
  }
  void DoFileProgress(const std::string&, double, TZAProcessOperation,
                      TZAProgressPhase, bool& Cancel) override {
    Cancel = false;
  }
  void DoCopyTempFileProgress(double, TZAProgressPhase, bool& Cancel) override {
    Cancel = false;
  }
  void DoConfirmOverwrite(const std::string& SourceFileName,
                          std::string& DestFileName, bool& Confirm) override {
    ++overwrite_prompts;
    if (OnConfirmOverwrite) {
      OnConfirmOverwrite(this, SourceFileName, DestFileName, Confirm);
    } else {
      Confirm = false;
    }
  }
  void DoConfirmProcessFile(const std::string& FileName,
                            TZAProcessOperation Operation,
                            bool& Confirm) override {
    Confirm = true;
    if (OnConfirmProcessFile) {
      OnConfirmProcessFile(this, FileName, Operation, Confirm);
    }
  }
  void DoPassword(const std::string&, std::string&, bool& SkipFile) override {
    SkipFile = true;
  }
  // Records the failure; the handler answers, else Abort.
  void DoProcessFileFailure(const std::string& FileName,
                            TZAProcessOperation Operation, int32_t NativeError,
                            int32_t ErrorCode, const std::string& ErrorMessage,
                            TZAAction& Action) override {
    failures.push_back({FileName, NativeError, ErrorMessage});
    Action = fxaAbort;
    if (OnProcessFileFailure) {
      Action = fxaIgnore;
      OnProcessFileFailure(this, FileName, Operation, NativeError, ErrorCode,
                           ErrorMessage, Action);
    }
  }
  void DoRequestBlankVolume(int32_t, std::string&, bool& Cancel) override {
    Cancel = true;
  }
  void DoRequestFirstVolume(std::string&, bool& Cancel) override {
    Cancel = true;
  }
  void DoRequestLastVolume(std::string&, bool& Cancel) override {
    Cancel = true;
  }
  void DoRequestMiddleVolume(int32_t, std::string&, bool& Cancel) override {
    Cancel = true;
  }
  void DoDiskFull(int32_t, const std::string&, bool& Cancel) override {
    Cancel = true;
  }
  void DoStoreFile(std::string& FileName, uint32_t& FileAttr,
                   std::string& Comment,
                   const std::string& OriginalFileName) override {
    if (!OnStoreFile) return;
    std::replace(FileName.begin(), FileName.end(), '/', '\\');
    OnStoreFile(this, FileName, FileAttr, Comment, OriginalFileName);
    std::replace(FileName.begin(), FileName.end(), '\\', '/');
  }
  void DoExtractFile(std::string&, uint32_t&, const std::string&) override {}

  int overwrite_prompts = 0;
  struct Failure {
    std::string file;
    int32_t native_error;
    std::string message;
  };
  std::vector<Failure> failures;

 private:
  platform::MemoryStream stream_;
};

}  // namespace tessaly::engine::test

#endif  // TESSALY_TESTS_ENGINE_IO_SELECTION_DOUBLE_H_
