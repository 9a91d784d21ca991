// What the collector job selects from a carelessly kept data folder, under
// the scripted user interface: every file that is sent arrives under its
// own name, nothing else is packed, and a job that has nothing to send
// fails and leaves no archive behind.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/collector/form_main.h"
#include "app/ui/scripted_ui.h"
#include "platform/testing/fault_env.h"
#include "tests/app/collector_fixture.h"

namespace tessaly::app {
namespace {

using engine::DialogKind;
using testing::Installation;

const std::string kFailed = "Zip of Tessaly data failed!";

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

class CollectorSelectionTest : public ::testing::Test {
 protected:
  CollectorSelectionTest() { ui_.registry_file = site_.registry_file(); }

  int RunJob() {
    form_ = std::make_unique<TFormMain>(ui_, env_);
    ui_.Run(*form_);
    return form_->ExitCode();
  }

  // The files beside the data folder (where the archive goes).
  std::vector<std::string> OutputFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(site_.data_dir()).parent_path())) {
      if (entry.is_regular_file()) {
        names.push_back(entry.path().filename().string());
      }
    }
    return Sorted(names);
  }

  bool Succeeded() const {
    return !ui_.boxes.empty() &&
           ui_.boxes.back().kind == DialogKind::kInformation;
  }

  Installation site_;
  platform::FaultEnv env_;
  ScriptedUi ui_;
  std::unique_ptr<TFormMain> form_;
};

// The archiver's box for a file that would take the name of one already
// selected: both source paths, and no Retry (it would change nothing).
void ExpectSameNameBox(const ScriptedUi::Box& box, const std::string& first,
                       const std::string& second, const std::string& name) {
  EXPECT_EQ(box.kind, DialogKind::kConfirmation);
  EXPECT_EQ(box.buttons, engine::kButtonAbort | engine::kButtonIgnore);
  EXPECT_EQ(box.text, "ZipArchiver: Files \"" + first + "\" and \"" + second +
                          "\" would be stored under the same name \"" + name +
                          "\" - Native error: 00063");
}

TEST_F(CollectorSelectionTest, NamesDifferingInCaseAreReportedNotDropped) {
  site_.AddData("FileList.cfg", "[Files]\r\n");
  site_.AddData("CUST.dat", "upper");
  site_.AddData("cust.dat", "lower");
  site_.AddData("Cust.DAT", "mixed");
  ui_.answers = {engine::mrIgnore, engine::mrIgnore};

  EXPECT_EQ(RunJob(), 0);

  ASSERT_EQ(ui_.boxes.size(), 3u);
  ExpectSameNameBox(ui_.boxes[0], site_.data_file("CUST.dat"),
                    site_.data_file("Cust.DAT"), "Cust.DAT");
  ExpectSameNameBox(ui_.boxes[1], site_.data_file("CUST.dat"),
                    site_.data_file("cust.dat"), "cust.dat");
  EXPECT_TRUE(Succeeded());
  EXPECT_EQ(testing::EntryNames(site_.archive()),
            (std::vector<std::string>{"FileList.cfg", "CUST.dat"}));
  testing::Expect7zTestOk(site_.archive());
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

// Unattended (end of input on the console), the box takes Abort: the job
// fails and nothing is left to send.
TEST_F(CollectorSelectionTest, UnansweredSameNameAbortsAndLeavesNothing) {
  site_.AddData("CUST.dat", "upper");
  site_.AddData("cust.dat", "lower");

  EXPECT_EQ(RunJob(), 1);

  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[0].result, engine::mrAbort);
  EXPECT_EQ(ui_.boxes[1].text, kFailed);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{}));
}

TEST_F(CollectorSelectionTest, FoldersMatchingAMaskAreNotPacked) {
  site_.AddData("cust.dat", "current customers");
  site_.AddData("orders.dat", "current orders");
  std::filesystem::create_directories(site_.data_file("backup.dat"));
  site_.AddData("backup.dat/cust.dat", "OLD customers");
  site_.AddData("backup.dat/extra.txt", "not data");
  std::filesystem::create_directories(site_.data_file("FileList.cfg"));
  site_.AddData("FileList.cfg/inside.rpt", "not data");

  EXPECT_EQ(RunJob(), 0);

  ASSERT_EQ(ui_.boxes.size(), 1u) << ui_.boxes[0].text;
  EXPECT_TRUE(Succeeded());
  EXPECT_EQ(Sorted(testing::EntryNames(site_.archive())),
            (std::vector<std::string>{"cust.dat", "orders.dat"}));
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

TEST_F(CollectorSelectionTest, MissingDataFolderFailsAndLeavesNoArchive) {
  site_.WriteRegistry(
      testing::RegistryExport(site_.tmp().Join("Ledger/NoSuchOrvane")));

  EXPECT_EQ(RunJob(), 1);

  EXPECT_EQ(ui_.BoxTexts(), (std::vector<std::string>{kFailed}));
  EXPECT_TRUE(form_->Failed());
  EXPECT_TRUE(ui_.window_closed);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{}));
}

TEST_F(CollectorSelectionTest, DataFolderWithoutDataFilesFails) {
  site_.AddData("notes.txt", "not collected");
  site_.tmp().WriteFile("Ledger/Orvane.zip", "an old archive");

  EXPECT_EQ(RunJob(), 1);

  EXPECT_EQ(ui_.BoxTexts(), (std::vector<std::string>{kFailed}));
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{}));
}

class UnreadableDataFolderTest : public CollectorSelectionTest {
 protected:
  void SetUp() override {
    site_.AddSmallDataSet();
    // A folder that may not be read hides FileList.cfg as well, which a
    // refused listing alone does not.
    std::filesystem::remove(site_.data_file("FileList.cfg"));
    env_.RefuseFind(site_.data_dir());
  }

  // One box for the folder, however many masks list it.
  void ExpectFolderBox(const ScriptedUi::Box& box) {
    EXPECT_EQ(box.kind, DialogKind::kConfirmation);
    EXPECT_EQ(box.buttons, engine::kButtonAbort | engine::kButtonRetry |
                               engine::kButtonIgnore);
    EXPECT_EQ(box.text, "ZipArchiver: Cannot open file \"" +
                            site_.data_dir() +
                            "/\" - Native error: 00033. File processing "
                            "error, possibly disk is full");
  }
};

TEST_F(UnreadableDataFolderTest, IgnoreLeavesNothingToSendAndFails) {
  ui_.answers = {engine::mrIgnore};

  EXPECT_EQ(RunJob(), 1);

  ASSERT_EQ(ui_.boxes.size(), 2u);
  ExpectFolderBox(ui_.boxes[0]);
  EXPECT_EQ(ui_.boxes[1].text, kFailed);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{}));
}

TEST_F(UnreadableDataFolderTest, AbortFails) {
  ui_.answers = {engine::mrAbort};

  EXPECT_EQ(RunJob(), 1);

  ASSERT_EQ(ui_.boxes.size(), 2u);
  ExpectFolderBox(ui_.boxes[0]);
  EXPECT_EQ(ui_.boxes[1].text, kFailed);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{}));
}

TEST_F(UnreadableDataFolderTest, RetryAfterTheFolderIsReadableSendsAll) {
  ui_.answers = {engine::mrRetry};
  ui_.on_box = [this](const ScriptedUi::Box& box) {
    if (box.result == engine::mrRetry) env_.ClearFaults();
  };

  EXPECT_EQ(RunJob(), 0);

  ASSERT_EQ(ui_.boxes.size(), 2u);
  ExpectFolderBox(ui_.boxes[0]);
  EXPECT_TRUE(Succeeded());
  EXPECT_EQ(testing::EntryNames(site_.archive()).size(), 4u);
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

// Names that CP437 lacks arrive as they are (UTF-8, flagged); a name it
// holds is stored in CP437 as before.
TEST_F(CollectorSelectionTest, NamesOutsideCodePage437ArriveUnderTheirNames) {
  const std::vector<std::string> outside = {
      "\xE4\xB8\xAD.dat", "\xE6\x96\x87.dat", "\xF0\x9F\x98\x80.dat",
      "\xC5\x9D.dat"};  // 中.dat 文.dat 😀.dat ŝ.dat
  site_.AddData("FileList.cfg", "[Files]\r\n");
  for (const std::string& name : outside) site_.AddData(name, "data " + name);
  site_.AddData("\xC3\x84rger.dat", "umlaut");  // Ärger.dat

  EXPECT_EQ(RunJob(), 0);

  ASSERT_EQ(ui_.boxes.size(), 1u) << ui_.boxes[0].text;
  std::vector<std::string> expected = outside;
  expected.push_back("FileList.cfg");
  expected.push_back("\xC3\x84rger.dat");
  EXPECT_EQ(Sorted(testing::EntryNames(site_.archive())), Sorted(expected));
  // Bit 11 exactly where CP437 falls short.
  const test::CommandResult flags = test::RunCommand(
      "python3 -c 'import sys, zipfile\n"
      "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
      "    print(i.filename, i.flag_bits & 0x800)' " +
      test::ShellQuote(site_.archive()));
  ASSERT_EQ(flags.exit_code, 0) << flags.output;
  for (const std::string& name : outside) {
    EXPECT_NE(flags.output.find(name + " 2048\n"), std::string::npos)
        << flags.output;
  }
  EXPECT_NE(flags.output.find("\xC3\x84rger.dat 0\n"), std::string::npos)
      << flags.output;
  testing::Expect7zTestOk(site_.archive());
  testing::ExpectCommandOk("unzip -t " + test::ShellQuote(site_.archive()));
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

TEST_F(CollectorSelectionTest, OldArchiveSpelledInUpperCaseIsRemoved) {
  site_.AddSmallDataSet();
  site_.tmp().WriteFile("Ledger/Orvane.ZIP", "an old archive");
  site_.tmp().WriteFile("Ledger/ORVANE.zip", "another old archive");

  EXPECT_EQ(RunJob(), 0);

  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"Orvane.zip"}));
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

TEST(FormMainSelectionSettingsTest, EveryAttributeButTheFolderBit) {
  ScriptedUi ui;
  TFormMain form(ui);
  EXPECT_EQ(form.ZipArchiver.Options.SearchAttr, 10431 & ~0x10);
}

TEST(FormMainArchiveNameTest, ByteThatIsNoUtf8CountsAsOneCharacter) {
  EXPECT_EQ(TFormMain::ArchiveNameFor("/x/lat/D\xE9ta/"),
            "/x/lat/Orvane.zip");
  EXPECT_EQ(TFormMain::ArchiveNameFor("/x/y/\xE9\xE9\xE9\xE9/"),
            "/x/y/Orvane.zip");
  EXPECT_EQ(TFormMain::ArchiveNameFor("/x/y/D\xC3\xA4t\xE4/"),  // Dät + byte
            "/x/y/Orvane.zip");
}

}  // namespace
}  // namespace tessaly::app
