// SelectionTest: a real folder tree in a TempDir, scanned by a
// SelectionDouble through a FaultEnv over the real environment.
#ifndef TESSALY_TESTS_ENGINE_SELECTION_SELECTION_FIXTURE_H_
#define TESSALY_TESTS_ENGINE_SELECTION_SELECTION_FIXTURE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/string_list.h"
#include "platform/path.h"
#include "platform/testing/fault_env.h"
#include "tests/engine/selection/selection_double.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine::test {

inline constexpr int32_t kAllAttributes = 10431;  // the default filter

// An MS-DOS date-time (date in the high half).
inline uint32_t DosStamp(int year, int month, int day, int hour, int minute,
                         int second) {
  const uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) |
                        (static_cast<uint32_t>(month) << 5) |
                        static_cast<uint32_t>(day);
  const uint32_t time = (static_cast<uint32_t>(hour) << 11) |
                        (static_cast<uint32_t>(minute) << 5) |
                        static_cast<uint32_t>(second / 2);
  return (date << 16) | time;
}

class SelectionTest : public testing::Test {
 protected:
  SelectionTest() : host_(env_) { host_.BaseDir = dir_.path(); }

  std::string Base() const { return dir_.path(); }
  // A relative path spelled with '/', with the native delimiter.
  static std::string Native(std::string path) {
    for (char& c : path) {
      if (c == '/') c = platform::PathDelimiter();
    }
    return path;
  }
  std::string File(const std::string& name, const std::string& content = "x") {
    return dir_.WriteFile(name, content);
  }
  std::string Folder(const std::string& name) {
    const std::string path = dir_.Join(name);
    EXPECT_TRUE(env_.CreateDir(path)) << path;
    return path;
  }

  // Scans `masks` as AddMatchingFiles does: the exclusions are
  // `exclusions_` plus the archive's own full name when `archive_` is set.
  // The failure answered Abort, if one ended the scan.
  std::optional<SelectionAbort> Scan(const std::vector<std::string>& masks,
                                     bool recurse = false,
                                     int32_t search_attr = kAllAttributes,
                                     bool move = false) {
    TStringList mask_list;
    mask_list.Assign(masks);
    TStringList exclusion_list;
    exclusion_list.Assign(exclusions_);
    if (!archive_.empty()) {
      exclusion_list.Add(host_.Selector().ResolvePath("", archive_,
                                                      host_.CurrentBaseDir));
    }
    return host_.ScanFileMasks(mask_list, search_attr, recurse, move,
                               exclusion_list);
  }

  // Stored names in directory order.
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int32_t i = 0; i < host_.Dir().Count(); ++i) {
      names.push_back(host_.Dir().ItemPtr(i).StoredName);
    }
    return names;
  }

  bool Has(const std::string& name) {
    int32_t index = -1;
    return host_.Dir().FindName(name, index);
  }

  // The item stored as `name`; fails the test when there is none.
  const TDirItem& Item(const std::string& name) {
    int32_t index = -1;
    if (!host_.Dir().FindName(name, index)) {
      ADD_FAILURE() << "no entry '" << name << "'";
      static const TDirItem kNone;
      return kNone;
    }
    return host_.Dir().ItemPtr(index);
  }

  // Every failure offered to the host is answered `answer`.
  void AnswerFailures(TZAAction answer) {
    host_.OnProcessFileFailure = [answer](Component*, const std::string&,
                                          TZAProcessOperation, int32_t,
                                          int32_t, const std::string&,
                                          TZAAction& action) {
      action = answer;
    };
  }

  // The files of the failures offered to the host so far, in order.
  std::vector<std::string> FailedFiles() const {
    std::vector<std::string> files;
    for (const auto& failure : host_.failures) files.push_back(failure.file);
    return files;
  }

  platform::FaultEnv env_{platform::Env::Default()};
  tessaly::test::TempDir dir_;
  SelectionDouble host_;
  std::vector<std::string> exclusions_;
  std::string archive_;
};

}  // namespace tessaly::engine::test

#endif  // TESSALY_TESTS_ENGINE_SELECTION_SELECTION_FIXTURE_H_
