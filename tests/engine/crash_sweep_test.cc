// An update that loses its power at any moment never loses an entry it was
// not asked to replace or delete. The sweep stops every file change after
// the Nth (platform::FaultEnv::LosePowerAfter), for every N of an update,
// then opens what is left (recovering the directory where it must), updates
// it again and checks every entry: each one the first update kept must be
// there with its exact bytes, a replaced one in its old or its new form,
// an added one whole or not at all. Every archive the sweep leaves is also
// tested by unzip -t and read by Python's zipfile where they run.
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/archiver.h"
#include "engine/format/crc32.h"
#include "engine/base/scripted_dialog_service.h"
#include "platform/testing/fault_env.h"
#include "tests/support/noise.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

namespace tessaly::engine {
namespace {

using test::Noise;

std::string Text(int lines, int seed) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += "line " + std::to_string(i * 7 + seed) + " of a ledger\n";
  }
  return text;
}

uint32_t EntryCrc(const std::string& data) {
  return ~UpdateCrc(0xFFFFFFFF, data.data(), static_cast<int64_t>(data.size()));
}

// One update to interrupt.
struct Scenario {
  const char* label;
  std::map<std::string, std::string> replaced;  // name -> new content
  std::map<std::string, std::string> added;     // name -> content
};

class CrashSweepTest : public ::testing::Test {
 protected:
  CrashSweepTest() {
    src_ = dir_.MakeDir("src");
    results_ = dir_.MakeDir("results");
    contents_ = dir_.MakeDir("contents");
    archive_ = dir_.Join("arc.zip");
    original_ = {{"a.txt", Text(200, 1)},
                 {"b.bin", Noise(200000, 2)},
                 {"c.txt", Text(50, 3)},
                 {"d.txt", ""},
                 {"e.bin", Noise(60000, 5)}};
  }

  void Configure(TZipArchiver& zip, const std::vector<std::string>& names) {
    zip.SetDialogService(&dialogs_);
    zip.FileName = archive_;
    zip.BaseDir = src_;
    zip.Options.StorePath = spNoPath;
    for (const std::string& name : names) zip.FileMasks.Add(name);
  }

  void WriteSources(const std::map<std::string, std::string>& files) {
    for (const auto& [name, content] : files) {
      dir_.WriteFile("src/" + name, content);
    }
  }

  // The archive before every update of the sweep.
  std::string MakeArchive() {
    WriteSources(original_);
    TZipArchiver zip;
    Configure(zip, {"a.txt", "b.bin", "c.txt", "d.txt", "e.bin"});
    zip.Open(kOpenCreate);
    zip.AddMatchingFiles();
    zip.Close();
    return dir_.ReadFile("arc.zip");
  }

  // The scenario's update through `env`; whatever it raises is the power
  // loss showing.
  void Update(platform::Env& env, const Scenario& scenario) {
    std::vector<std::string> names;
    for (const auto& [name, content] : scenario.replaced) names.push_back(name);
    for (const auto& [name, content] : scenario.added) names.push_back(name);
    TZipArchiver zip(env);
    Configure(zip, names);
    try {
      zip.Open();
      zip.AddMatchingFiles();
      zip.Close();
    } catch (const std::exception&) {
    }
  }

  // What may stand under each name after the interrupted update and the
  // update after it, and what must.
  struct Expectation {
    std::vector<std::string> allowed;
    bool required;
  };
  std::map<std::string, Expectation> Expectations(const Scenario& scenario) {
    std::map<std::string, Expectation> expected;
    for (const auto& [name, content] : original_) {
      expected[name] = {{content}, true};
    }
    for (const auto& [name, content] : scenario.replaced) {
      expected[name].allowed.push_back(content);
    }
    for (const auto& [name, content] : scenario.added) {
      expected[name] = {{content}, false};
    }
    expected["after.txt"] = {{after_}, true};
    return expected;
  }

  // Opens what the interrupted update left, updates it again, and checks
  // it with the tests' reader; keeps a copy for the peers. Returns false
  // (after reporting why) when an entry is lost or wrong.
  bool Check(const Scenario& scenario, int64_t n) {
    const std::string where = std::string(scenario.label) +
                              ", power lost after " + std::to_string(n) +
                              " changes";
    std::vector<std::string> problems;
    {
      TZipArchiver zip;
      Configure(zip, {"after.txt"});
      try {
        zip.Open();
        zip.AddMatchingFiles();
        zip.Close();
      } catch (const std::exception& e) {
        ADD_FAILURE() << where << ": " << e.what();
        return false;
      }
      if (zip.LastUpdate().Outcome != uoApplied) {
        problems.push_back("the update after it was not applied");
      }
    }
    const test::ZipReadResult read = test::ReadZip(archive_);
    if (!read.ok()) problems.push_back(read.error);
    const auto expected = Expectations(scenario);
    std::map<std::string, int> seen;
    for (const test::ZipEntryInfo& entry : read.entries) {
      ++seen[entry.name];
      const auto it = expected.find(entry.name);
      if (it == expected.end()) {
        problems.push_back("unexpected entry " + entry.name);
        continue;
      }
      bool matches = false;
      for (const std::string& content : it->second.allowed) {
        matches = matches ||
                  (entry.crc == EntryCrc(content) && entry.size == content.size());
      }
      if (!matches) problems.push_back(entry.name + " differs");
    }
    for (const auto& [name, expectation] : expected) {
      if (expectation.required && seen[name] == 0) {
        problems.push_back(name + " lost");
      }
    }
    for (const std::string& problem : problems) {
      ADD_FAILURE() << where << ": " << problem;
    }
    std::filesystem::copy_file(
        archive_, results_ + scenario.label + "-" + std::to_string(n) + ".zip",
        std::filesystem::copy_options::overwrite_existing);
    return problems.empty();
  }

  // Every entry of every archive kept: unzip -t, and Python's zipfile
  // reads bytes that are one of the versions allowed under its name.
  void CheckWithPeers(const Scenario& scenario) {
    if (!test::PeerToolsAvailable()) return;
    const std::string contents =
        dir_.MakeDir("contents/" + std::string(scenario.label));
    for (const auto& [name, expectation] : Expectations(scenario)) {
      for (size_t k = 0; k < expectation.allowed.size(); ++k) {
        dir_.WriteFile("contents/" + std::string(scenario.label) + "/" + name +
                           "." + std::to_string(k),
                       expectation.allowed[k]);
      }
    }
    const std::string script = R"(import glob, os, sys, zipfile
results, contents, label = sys.argv[1:4]
for path in sorted(glob.glob(os.path.join(results, label + '-*.zip'))):
    with zipfile.ZipFile(path) as z:
        if z.testzip() is not None:
            sys.exit(path + ': bad entry ' + z.testzip())
        for info in z.infolist():
            allowed = [open(f, 'rb').read() for f in
                       glob.glob(os.path.join(contents, info.filename + '.*'))]
            if z.read(info) not in allowed:
                sys.exit(path + ': ' + info.filename + ' differs')
)";
    const auto python =
        test::RunCommand("python3 -c " + test::ShellQuote(script) + " " +
                         test::ShellQuote(results_) + " " +
                         test::ShellQuote(contents) + " " + scenario.label);
    EXPECT_EQ(python.exit_code, 0) << python.output;
    const auto unzip = test::RunCommand(
        "for f in " + test::ShellQuote(results_) + scenario.label +
        "-*.zip; do unzip -tqq \"$f\" >/dev/null || { echo \"$f\"; "
        "exit 1; }; done");
    EXPECT_EQ(unzip.exit_code, 0) << unzip.output;
  }

  void Sweep(const Scenario& scenario) {
    const std::string before = MakeArchive();
    WriteSources(scenario.replaced);
    WriteSources(scenario.added);
    dir_.WriteFile("src/after.txt", after_);

    platform::FaultEnv counting;
    counting.LosePowerAfter(std::numeric_limits<int64_t>::max());
    Update(counting, scenario);
    const int64_t changes = counting.changes_seen();
    ASSERT_GT(changes, 10) << scenario.label;
    RecordProperty(scenario.label, static_cast<int>(changes));

    for (int64_t n = 0; n <= changes; ++n) {
      dir_.WriteFile("arc.zip", before);
      platform::FaultEnv env;
      env.LosePowerAfter(n);
      Update(env, scenario);
      // The first N that loses something is reported; later ones would
      // mostly repeat it.
      if (!Check(scenario, n)) return;
    }
    CheckWithPeers(scenario);
  }

  test::TempDir dir_;
  std::string src_;
  std::string results_;
  std::string contents_;
  std::string archive_;
  std::map<std::string, std::string> original_;
  const std::string after_ = "added after the power came back\n";
  ScriptedDialogService dialogs_;
};

TEST_F(CrashSweepTest, NoEntryIsLostWhereverTheUpdateStops) {
  const Scenario scenarios[] = {
      // New entries behind the old ones: the old directory is overwritten.
      {"append", {}, {{"f.bin", Noise(100000, 6)}, {"g.txt", Text(30, 7)}}},
      // A replaced entry before the end, shorter: the tail is staged and
      // moved down.
      {"replace", {{"b.bin", Noise(50000, 8)}}, {}},
      // A replaced entry that grows, and a new one: the staged tail is
      // longer than the old one and is staged again before the move.
      {"grow",
       {{"c.txt", Text(3000, 9)}, {"e.bin", Noise(150000, 10)}},
       {{"f.bin", Noise(100000, 6)}}},
  };
  for (const Scenario& scenario : scenarios) Sweep(scenario);
}

}  // namespace
}  // namespace tessaly::engine
