// The whole collector job under the scripted user interface: every way the
// job can end, with the exact boxes the user sees and the archive checked
// by 7-Zip and Python's zipfile.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
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

const std::string kIndent(8, ' ');
const std::string kSuccessHead = "Tessaly data has been zipped into: \r\n\r\n";
const std::string kSuccessTail =
    "\r\nPlease send as attachments to separate emails.";

// ".z01" ... ".z19".
std::string VolumeExtension(int n) {
  return (n < 10 ? ".z0" : ".z") + std::to_string(n);
}

class CollectorTest : public ::testing::Test {
 protected:
  CollectorTest() { ui_.registry_file = site_.registry_file(); }

  // Runs the window until it closes; returns the exit code.
  int RunJob() {
    form_ = std::make_unique<TFormMain>(ui_, env_);
    if (configure_) configure_(*form_);
    ui_.Run(*form_);
    return form_->ExitCode();
  }

  std::vector<DialogKind> BoxKinds() const {
    std::vector<DialogKind> kinds;
    for (const ScriptedUi::Box& box : ui_.boxes) kinds.push_back(box.kind);
    return kinds;
  }

  // Five data files of incompressible content, about 5.4 MB: three
  // volumes of 2 MiB.
  void AddThreeVolumesOfData() {
    site_.AddData("FileList.cfg", "[Files]\r\n");
    for (int i = 0; i < 4; ++i) {
      site_.AddData("Table" + std::to_string(i) + ".dat",
                    testing::NoiseBytes(1200000, static_cast<uint64_t>(i)));
    }
    site_.AddData("Scan.bmp", "BM" + testing::NoiseBytes(600000, 9));
  }

  using Output = std::map<std::string, std::string>;  // name -> bytes

  // The files beside the data folder that the job may have written.
  Output OutputFiles() const {
    Output files;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(site_.data_dir()).parent_path())) {
      const std::string name = entry.path().filename().string();
      if (entry.is_regular_file() && name.rfind("Orvane", 0) == 0) {
        files[name] = site_.tmp().ReadFile("Ledger/" + name);
      }
    }
    return files;
  }

  Installation site_;
  platform::FaultEnv env_;
  ScriptedUi ui_;
  std::function<void(TFormMain&)> configure_;
  std::unique_ptr<TFormMain> form_;
};

TEST_F(CollectorTest, MissingKeyShowsNotFoundAndAsksBeforeClosing) {
  site_.WriteRegistry(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Data Access Corporation\\Visual "
      "DataFlex\\5\\Workspaces\\Other]\r\n\"DataPath\"=\"/elsewhere\"\r\n");
  site_.AddSmallDataSet();
  ui_.answers = {engine::mrNo};  // the first close request is refused

  EXPECT_EQ(RunJob(), 1);

  EXPECT_EQ(ui_.BoxTexts(),
            (std::vector<std::string>{"Unable to locate Tessaly database!",
                                      "Abandon collection of files?",
                                      "Abandon collection of files?"}));
  EXPECT_EQ(BoxKinds(), (std::vector<DialogKind>{DialogKind::kError,
                                                 DialogKind::kConfirmation,
                                                 DialogKind::kConfirmation}));
  EXPECT_EQ(ui_.boxes[1].buttons, engine::kButtonYes | engine::kButtonNo);
  EXPECT_EQ(ui_.idle_close_requests, 2);
  EXPECT_FALSE(form_->Done());
  EXPECT_EQ(form_->DataPath(), "");
  EXPECT_EQ(form_->ArchiveName(), "Orvane.zip");
  EXPECT_EQ(ui_.panel_repaints, 0) << "the indicator must stay hidden";
  EXPECT_FALSE(form_->WaitingGradient.Visible());
  EXPECT_FALSE(testing::Exists(site_.archive()));
}

TEST_F(CollectorTest, MissingRegistryFileOrValueReadsAsNotFound) {
  for (const std::string& content :
       {std::string(),  // no file at all
        std::string("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Data "
                    "Access Corporation\\Visual DataFlex\\5\\Workspaces\\"
                    "Tessaly]\r\n\"Other\"=\"x\"\r\n"),
        std::string("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Data "
                    "Access Corporation\\Visual DataFlex\\5\\Workspaces\\"
                    "Tessaly]\r\n\"DataPath\"=\"\"\r\n")}) {
    ScriptedUi ui;
    if (content.empty()) {
      ui.registry_file = site_.tmp().Join("no-such.reg");
    } else {
      site_.WriteRegistry(content);
      ui.registry_file = site_.registry_file();
    }
    TFormMain form(ui, env_);
    ui.Run(form);
    EXPECT_EQ(form.ExitCode(), 1);
    EXPECT_EQ(ui.BoxTexts(),
              (std::vector<std::string>{"Unable to locate Tessaly database!",
                                        "Abandon collection of files?"}))
        << content;
  }
}

TEST_F(CollectorTest, ValueOfAnotherTypeShowsBothBoxes) {
  site_.WriteRegistry(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Data Access Corporation\\Visual "
      "DataFlex\\5\\Workspaces\\Tessaly]\r\n\"DataPath\"=dword:00000001\r\n");

  EXPECT_EQ(RunJob(), 1);

  ASSERT_EQ(ui_.boxes.size(), 3u);
  EXPECT_EQ(ui_.boxes[0].kind, DialogKind::kError);
  EXPECT_EQ(ui_.boxes[0].text,
            "Exception \"ERegistryException: Invalid data type for "
            "'DataPath' (dword where a string is expected)\" on Registry "
            "access!");
  EXPECT_EQ(ui_.boxes[0].buttons, engine::kButtonOk);
  EXPECT_EQ(ui_.boxes[1].kind, DialogKind::kError);
  EXPECT_EQ(ui_.boxes[1].text, "Unable to locate Tessaly database!");
  EXPECT_EQ(ui_.boxes[2].text, "Abandon collection of files?");
}

TEST_F(CollectorTest, FileThatIsNotAnExportIsReportedAsRegistryError) {
  site_.WriteRegistry("[Tessaly]\nDataPath=/data\n");

  EXPECT_EQ(RunJob(), 1);

  ASSERT_GE(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[0].text,
            "Exception \"ERegistryException: " + site_.registry_file() +
                " is not a registry export file: its first line must be "
                "\"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"\" "
                "on Registry access!");
  EXPECT_EQ(ui_.boxes[1].text, "Unable to locate Tessaly database!");
}

TEST_F(CollectorTest, OneVolumeListsOnlyTheArchive) {
  site_.AddSmallDataSet();

  EXPECT_EQ(RunJob(), 0);

  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, DialogKind::kInformation);
  EXPECT_EQ(ui_.boxes[0].buttons, engine::kButtonOk);
  EXPECT_EQ(ui_.boxes[0].text,
            kSuccessHead + kIndent + site_.archive() + "\r\n" + kSuccessTail);
  EXPECT_EQ(form_->VolumeCount(), 1);
  EXPECT_EQ(form_->DataPath(), site_.data_dir() + "/");
  EXPECT_TRUE(form_->Done());
  EXPECT_TRUE(ui_.window_closed);
  EXPECT_EQ(ui_.panel_repaints, 1);
  EXPECT_GT(ui_.process_messages_calls, 0);
  EXPECT_FALSE(testing::Exists(site_.archive(".z01")));

  // FileList.cfg first, then the masks' order; bare names; nothing else.
  const std::vector<std::string> names = testing::EntryNames(site_.archive());
  ASSERT_EQ(names.size(), 5u);
  EXPECT_EQ(names[0], "FileList.cfg");
  std::vector<std::string> dat(names.begin() + 1, names.begin() + 3);
  std::sort(dat.begin(), dat.end());  // in the order the folder lists them
  EXPECT_EQ(dat, (std::vector<std::string>{"Customer.dat", "Invoice.dat"}));
  EXPECT_EQ(names[3], "Monthly.rpt");
  EXPECT_EQ(names[4], "Logo.bmp");
  testing::Expect7zTestOk(site_.archive());
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

TEST_F(CollectorTest, DataPathWithTrailingDelimiterGetsNoSecondOne) {
  site_.WriteRegistry(testing::RegistryExport(site_.data_dir() + "/"));
  site_.AddData("FileList.cfg", "x");

  EXPECT_EQ(RunJob(), 0);
  EXPECT_EQ(form_->DataPath(), site_.data_dir() + "/");
  EXPECT_EQ(form_->ArchiveName(), site_.archive());
}

TEST_F(CollectorTest, SeveralVolumesAreListedInOrderUnderTheirNames) {
  AddThreeVolumesOfData();

  EXPECT_EQ(RunJob(), 0);

  EXPECT_EQ(form_->VolumeCount(), 3);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, kSuccessHead + kIndent + site_.archive() +
                                   "\r\n" + kIndent + site_.archive(".z01") +
                                   "\r\n" + kIndent + site_.archive(".z02") +
                                   "\r\n" + kSuccessTail);
  for (const char* ext : {".z01", ".z02"}) {
    EXPECT_EQ(std::filesystem::file_size(site_.archive(ext)), 2097152u) << ext;
  }
  EXPECT_FALSE(testing::Exists(site_.archive(".z03")));

  testing::Expect7zTestOk(site_.archive());
  const std::string joined = site_.tmp().Join("joined.zip");
  testing::Join(
      joined, {site_.archive(".z01"), site_.archive(".z02"), site_.archive()});
  testing::ExpectVerified(joined, site_.data_dir());
  EXPECT_EQ(testing::EntryNames(joined).size(), 6u);
}

TEST_F(CollectorTest, OldOutputIsRemovedUpToVolumeNineteen) {
  site_.AddSmallDataSet();
  site_.tmp().WriteFile("Ledger/Orvane.zip", "an old archive");
  for (int n = 1; n <= 19; ++n) {
    const std::string ext = VolumeExtension(n);
    site_.tmp().WriteFile("Ledger/Orvane" + ext, "old volume");
    if (n % 2 == 1) {  // and the spelling of another system
      site_.tmp().WriteFile("Ledger/Orvane.Z" + ext.substr(2), "old volume");
    }
  }
  site_.tmp().WriteFile("Ledger/Orvane.z20", "kept");
  site_.tmp().WriteFile("Ledger/Orvane.z01.txt", "kept: another name");

  EXPECT_EQ(RunJob(), 0);

  for (int n = 1; n <= 19; ++n) {
    const std::string digits = VolumeExtension(n).substr(2);
    EXPECT_FALSE(testing::Exists(site_.archive(".z" + digits))) << n;
    EXPECT_FALSE(testing::Exists(site_.archive(".Z" + digits))) << n;
  }
  EXPECT_EQ(site_.tmp().ReadFile("Ledger/Orvane.z20"), "kept");
  EXPECT_EQ(site_.tmp().ReadFile("Ledger/Orvane.z01.txt"),
            "kept: another name");
  EXPECT_EQ(ui_.boxes[0].text,
            kSuccessHead + kIndent + site_.archive() + "\r\n" + kSuccessTail);
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

TEST_F(CollectorTest, NotFoundDeletesNothing) {
  site_.WriteRegistry("REGEDIT4\r\n");
  site_.tmp().WriteFile("Ledger/Orvane.zip", "old");
  site_.tmp().WriteFile("Ledger/Orvane.z01", "old");

  EXPECT_EQ(RunJob(), 1);
  EXPECT_EQ(site_.tmp().ReadFile("Ledger/Orvane.zip"), "old");
  EXPECT_EQ(site_.tmp().ReadFile("Ledger/Orvane.z01"), "old");
}

// The collector never declines a volume; a host that does (here a handler
// placed around the collector's) makes the archiver raise.
TEST_F(CollectorTest, DeclinedFirstVolumeShowsTheEngineErrorAndFails) {
  site_.AddSmallDataSet();
  configure_ = [](TFormMain& form) {
    auto counting = form.ZipArchiver.OnRequestBlankVolume;
    form.ZipArchiver.OnRequestBlankVolume =
        [counting](engine::Component* sender, int32_t number, std::string& name,
                   bool& cancel) {
          counting(sender, number, name, cancel);
          cancel = true;
        };
  };

  EXPECT_EQ(RunJob(), 1);

  EXPECT_EQ(ui_.BoxTexts(),
            (std::vector<std::string>{
                "Exception \"EZAException: ZipArchiver: Cannot open archive "
                "file. Opening aborted or invalid file - Native error: "
                "00045\" during zipping!",
                "Zip of Tessaly data failed!"}));
  EXPECT_EQ(BoxKinds(),
            (std::vector<DialogKind>{DialogKind::kError, DialogKind::kError}));
  EXPECT_TRUE(form_->Failed());
  EXPECT_TRUE(form_->Done());
  EXPECT_TRUE(ui_.window_closed);
  EXPECT_EQ(form_->VolumeCount(), 1);
}

// A volume declined while an entry is written aborts that update inside the
// archiver, which returns normally with nothing archived: that is a failure,
// not a success to report.
TEST_F(CollectorTest, DeclinedLaterVolumeRollsBackAndFails) {
  AddThreeVolumesOfData();
  configure_ = [](TFormMain& form) {
    auto counting = form.ZipArchiver.OnRequestBlankVolume;
    form.ZipArchiver.OnRequestBlankVolume =
        [counting](engine::Component* sender, int32_t number, std::string& name,
                   bool& cancel) {
          counting(sender, number, name, cancel);
          if (number == 2) cancel = true;
        };
  };

  EXPECT_EQ(RunJob(), 1);

  EXPECT_EQ(ui_.BoxTexts(),
            (std::vector<std::string>{"Zip of Tessaly data failed!"}));
  EXPECT_TRUE(form_->Failed());
  // Rolled back volume by volume, and a failed job leaves nothing to send:
  // not even the empty archive the rollback closes.
  EXPECT_EQ(OutputFiles(), Output{});
}

class UnreadableFileTest : public CollectorTest {
 protected:
  void SetUp() override {
    site_.AddSmallDataSet();
    env_.RefuseOpen(site_.data_file("Monthly.rpt"));
  }

  // The archiver's own box for the file.
  void ExpectFailureBox(const ScriptedUi::Box& box) {
    EXPECT_EQ(box.kind, DialogKind::kConfirmation);
    EXPECT_EQ(box.buttons, engine::kButtonAbort | engine::kButtonRetry |
                               engine::kButtonIgnore);
    EXPECT_NE(box.text.find("File processing error"), std::string::npos)
        << box.text;
  }
};

TEST_F(UnreadableFileTest, RetryAfterTheFileIsFreedArchivesIt) {
  ui_.answers = {engine::mrRetry};
  ui_.on_box = [this](const ScriptedUi::Box& box) {
    if (box.result == engine::mrRetry) env_.ClearFaults();
  };

  EXPECT_EQ(RunJob(), 0);

  ASSERT_EQ(ui_.boxes.size(), 2u);
  ExpectFailureBox(ui_.boxes[0]);
  EXPECT_EQ(ui_.boxes[1].kind, DialogKind::kInformation);
  EXPECT_EQ(testing::EntryNames(site_.archive()).size(), 5u);
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

TEST_F(UnreadableFileTest, IgnoreLeavesTheFileOut) {
  ui_.answers = {engine::mrIgnore};

  EXPECT_EQ(RunJob(), 0);

  ASSERT_EQ(ui_.boxes.size(), 2u);
  ExpectFailureBox(ui_.boxes[0]);
  EXPECT_EQ(ui_.boxes[1].text,
            kSuccessHead + kIndent + site_.archive() + "\r\n" + kSuccessTail);
  std::vector<std::string> names = testing::EntryNames(site_.archive());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Customer.dat", "FileList.cfg",
                                             "Invoice.dat", "Logo.bmp"}));
  testing::Expect7zTestOk(site_.archive());
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

TEST_F(UnreadableFileTest, AbortRollsBackAndReportsFailure) {
  ui_.answers = {engine::mrAbort};

  EXPECT_EQ(RunJob(), 1);

  ASSERT_EQ(ui_.boxes.size(), 2u);
  ExpectFailureBox(ui_.boxes[0]);
  EXPECT_EQ(ui_.boxes[1].kind, DialogKind::kError);
  EXPECT_EQ(ui_.boxes[1].text, "Zip of Tessaly data failed!");
  EXPECT_TRUE(form_->Done());
}

TEST_F(CollectorTest, CloseRefusedDuringTheJobLetsItFinish) {
  site_.AddSmallDataSet();
  ui_.close_requests_at = {2};
  ui_.answers = {engine::mrNo};

  EXPECT_EQ(RunJob(), 0);

  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[0].text, "Abandon collection of files?");
  EXPECT_EQ(ui_.boxes[0].result, engine::mrNo);
  EXPECT_EQ(ui_.boxes[1].kind, DialogKind::kInformation);
  testing::ExpectVerified(site_.archive(), site_.data_dir());
}

TEST_F(CollectorTest, CloseGrantedDuringTheJobStopsItWithoutMoreBoxes) {
  AddThreeVolumesOfData();
  ui_.close_requests_at = {3};
  ui_.answers = {engine::mrYes};
  int calls_at_close = 0;
  ui_.on_box = [&](const ScriptedUi::Box&) {
    calls_at_close = ui_.process_messages_calls;
  };

  EXPECT_EQ(RunJob(), 1);

  EXPECT_EQ(ui_.BoxTexts(),
            (std::vector<std::string>{"Abandon collection of files?"}));
  EXPECT_TRUE(ui_.window_closed);
  EXPECT_TRUE(form_->Done());
  EXPECT_FALSE(form_->WaitingGradient.Active());
  // The archiver stopped at its next event instead of packing 5 MB more.
  EXPECT_LE(ui_.process_messages_calls, calls_at_close + 2);
}

// Whenever the Yes to "Abandon collection of files?" comes (at any message
// pump of the job: while a block is packed, at the last block, after the
// directory is written, or at the pump before the outcome is decided), the
// job ends as abandoned: no further box, exit 1, and no archive of the run
// left behind.
TEST_F(CollectorTest, AbandonedWheneverTheYesCameLeavesNoArchive) {
  site_.AddData("FileList.cfg", "[Files]\r\n");
  site_.AddData("Table0.dat", testing::NoiseBytes(1100000, 1));
  site_.AddData("Table1.dat", testing::NoiseBytes(1100000, 2));
  ASSERT_EQ(RunJob(), 0);
  ASSERT_EQ(form_->VolumeCount(), 2);
  const int pumps = ui_.process_messages_calls;
  ASSERT_GT(pumps, 4);

  for (int at = 1; at <= pumps; ++at) {
    ui_.boxes.clear();
    ui_.process_messages_calls = 0;
    ui_.window_closed = false;
    ui_.close_requests_at = {at};
    ui_.answers = {engine::mrYes};
    EXPECT_EQ(RunJob(), 1) << "closed at pump " << at;
    EXPECT_EQ(ui_.BoxTexts(),
              (std::vector<std::string>{"Abandon collection of files?"}))
        << "closed at pump " << at;
    EXPECT_TRUE(ui_.window_closed);
    EXPECT_EQ(OutputFiles(), Output{}) << "closed at pump " << at;
  }
}

TEST(FormMainNamesTest, ArchiveNameCutsFiveCharactersOffTheDataPath) {
  struct Case {
    const char* data_path;
    const char* archive;
  };
  const Case cases[] = {
      {"/home/u/Ledger/Data/", "/home/u/Ledger/Orvane.zip"},
      {"C:\\Apps\\Ledger\\Data\\", "C:\\Apps\\Ledger\\Orvane.zip"},
      {"/srv/Data1/", "/srv/DOrvane.zip"},  // no folder boundary check
      {"/abc/", "Orvane.zip"},
      {"/ab/", "Orvane.zip"},
      {"", "Orvane.zip"},
      {"/x/Dätä/", "/x/Orvane.zip"},  // characters, not bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TFormMain::ArchiveNameFor(c.data_path), c.archive) << c.data_path;
  }
}

TEST(FormMainSettingsTest, ArchiverIsConfiguredForSplitMaximumDeflate) {
  ScriptedUi ui;
  TFormMain form(ui);
  const engine::TZipArchiver& zip = form.ZipArchiver;
  EXPECT_EQ(zip.Name(), "ZipArchiver");
  EXPECT_EQ(zip.CompressionLevel(), engine::clMax);
  EXPECT_EQ(zip.CompressionMode(), 9);
  EXPECT_EQ(zip.NewEntryMethod(), 8);
  EXPECT_EQ(zip.SpanningMode(), engine::smSplitting);
  EXPECT_FALSE(zip.SpanningOptions.AdvancedNaming);
  EXPECT_EQ(zip.SpanningOptions.VolumeSize, engine::vsCustom);
  EXPECT_EQ(zip.SpanningOptions.CustomVolumeSize(), 2097152);
  EXPECT_FALSE(zip.Options.Recurse);
  EXPECT_EQ(zip.Options.StorePath, engine::spNoPath);
  EXPECT_TRUE(zip.Options.OEMFileNames);
  EXPECT_TRUE(zip.Options.FlushBuffers);
  EXPECT_FALSE(zip.InMemory());
  EXPECT_EQ(zip.Zip64Mode, engine::zmDisabled);
  EXPECT_TRUE(zip.Password.empty());
  EXPECT_TRUE(zip.TempDir.empty());
  // FormCreate has run: the job starts at the first tick.
  EXPECT_TRUE(form.Timer.Enabled());
  EXPECT_EQ(form.Timer.Interval, 100u);
  EXPECT_FALSE(form.WaitingGradient.Visible());
  EXPECT_FALSE(form.WaitingGradient.Active());
  EXPECT_EQ(form.ArchiveName(), "C:\\Orvane.zip");
}

}  // namespace
}  // namespace tessaly::app
