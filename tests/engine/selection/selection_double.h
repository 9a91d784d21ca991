// SelectionDouble: a FileSelector with the settings and events of an
// archiver around it, and an empty directory, for driving file selection
// without an archiver. The dispatchers call the event when it is set and
// otherwise give the answer that lets selection go on (confirm processing,
// decline an overwrite). DoStoreFile shows the handler '\' in place of '/',
// as the component does.
#ifndef TESSALY_TESTS_ENGINE_SELECTION_SELECTION_DOUBLE_H_
#define TESSALY_TESTS_ENGINE_SELECTION_SELECTION_DOUBLE_H_

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/archiver_events.h"
#include "engine/base/component.h"
#include "engine/base/options.h"
#include "engine/base/string_list.h"
#include "engine/directory/dir_array.h"
#include "engine/selection/file_selector.h"
#include "platform/env.h"

namespace tessaly::engine::test {

class SelectionDouble : public Component, public SelectionHost {
 public:
  explicit SelectionDouble(platform::Env& env)
      : selector_(env, this, *this,
                  SelectionSettings{BaseDir, Options, NoCompressionMasks,
                                    Password, EntryMethod, CompressionMode,
                                    CurrentBaseDir, SelectionLeftOut}) {}

  // Scans into Dir(); the archive's own file is FileName.
  std::optional<SelectionAbort> ScanFileMasks(const TStringList& masks,
                                              int32_t search_attr,
                                              bool recurse, bool move,
                                              const TStringList& exclusions) {
    return selector_.ScanFileMasks(dir_, {FileName}, masks, search_attr,
                                   recurse, move, exclusions);
  }
  const FileSelector& Selector() const { return selector_; }
  TZADirArray& Dir() { return dir_; }

  void DoConfirmOverwrite(const std::string& SourceFileName,
                          std::string& DestFileName, bool& Confirm) override {
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
  void DoStoreFile(std::string& FileName, uint32_t& FileAttr,
                   std::string& Comment,
                   const std::string& OriginalFileName) override {
    if (!OnStoreFile) return;
    std::replace(FileName.begin(), FileName.end(), '/', '\\');
    OnStoreFile(this, FileName, FileAttr, Comment, OriginalFileName);
    std::replace(FileName.begin(), FileName.end(), '\\', '/');
  }

  // The archiver's settings and fields the selector works with.
  std::string FileName;  // the archive
  std::string BaseDir;
  std::string CurrentBaseDir;
  TZAOptions Options;
  TStringList NoCompressionMasks;
  std::string Password;
  uint16_t EntryMethod = 8;  // as a ZIP archiver with deflate
  uint8_t CompressionMode = 1;
  std::vector<std::string> SelectionLeftOut;

  TZAConfirmOverwriteEvent OnConfirmOverwrite;
  TZAConfirmProcessFileEvent OnConfirmProcessFile;
  TZAProcessFileFailureEvent OnProcessFileFailure;
  TZAOnStoreFileEvent OnStoreFile;

  struct Failure {
    std::string file;
    int32_t native_error;
    std::string message;
  };
  std::vector<Failure> failures;

 private:
  TZADirArray dir_;
  FileSelector selector_;
};

}  // namespace tessaly::engine::test

#endif  // TESSALY_TESTS_ENGINE_SELECTION_SELECTION_DOUBLE_H_
