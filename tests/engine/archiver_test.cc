// The archiver component's properties, setters and event dispatchers.
#include "engine/archiver.h"

#include <clocale>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/scripted_dialog_service.h"
#include "engine/base/za_exception.h"
#include "tests/support/temp_dir.h"

namespace tessaly::engine {
namespace {

class ArchiverTest : public ::testing::Test {
 protected:
  ArchiverTest() {
    zip_.SetName("Zipper");
    zip_.SetDialogService(&dialogs_);
  }

  ScriptedDialogService dialogs_;
  TZipArchiver zip_;
};

TEST_F(ArchiverTest, FreshComponentHasItsDocumentedDefaults) {
  EXPECT_EQ(zip_.CompressionLevel(), clFastest);
  EXPECT_EQ(zip_.CompressionMode(), 1);
  EXPECT_EQ(zip_.NewEntryMethod(), 8) << "deflate for a new TZipArchiver";
  EXPECT_EQ(zip_.Zip64Mode, zmDisabled);
  EXPECT_EQ(zip_.SpanningMode(), smNone);
  EXPECT_TRUE(zip_.IsZipFormat());
  EXPECT_FALSE(zip_.InMemory());
  EXPECT_FALSE(zip_.ExtractCorruptedFiles);
  EXPECT_TRUE(zip_.ShouldRebuildDirectory());
  EXPECT_FALSE(zip_.IsOpen());
  EXPECT_EQ(zip_.UpdateDepth(), 0);
  EXPECT_EQ(zip_.Options.StorePath, spRelativePath);
  EXPECT_TRUE(zip_.Options.Recurse);
  EXPECT_EQ(zip_.Options.ShareMode, smShareDenyNone);
  EXPECT_EQ(zip_.Options.OverwriteMode, omAlways);
  EXPECT_EQ(zip_.Options.SearchAttr, 10431);
  EXPECT_TRUE(zip_.Options.FlushBuffers);
  EXPECT_TRUE(zip_.Options.OEMFileNames);
  EXPECT_TRUE(zip_.SpanningOptions.AdvancedNaming);
  EXPECT_EQ(zip_.SpanningOptions.VolumeSize, vsAutoDetect);
  EXPECT_EQ(zip_.SpanningOptions.FirstVolumeSize, 0);
  EXPECT_EQ(zip_.SpanningOptions.CustomVolumeSize(), 0);
}

TEST_F(ArchiverTest, BaseClassKeepsZip64AutoAndNoMethod) {
  TZABaseArchiver base;
  EXPECT_EQ(base.Zip64Mode, zmAuto);
  EXPECT_EQ(base.NewEntryMethod(), 0xFFFF);
  EXPECT_FALSE(base.IsZipFormat());
}

struct ModeCase {
  uint8_t mode;
  TZACompressionLevel level;
  uint16_t method;
};

TEST_F(ArchiverTest, CompressionModeSetsLevelAndMethod) {
  const ModeCase cases[] = {{0, clNone, 0},    {1, clFastest, 8},
                            {3, clFastest, 8}, {4, clNormal, 8},
                            {6, clNormal, 8},  {7, clMax, 8},
                            {9, clMax, 8}};
  for (const ModeCase& c : cases) {
    zip_.SetCompressionMode(c.mode);
    EXPECT_EQ(zip_.CompressionLevel(), c.level) << "mode " << int(c.mode);
    EXPECT_EQ(zip_.NewEntryMethod(), c.method) << "mode " << int(c.mode);
  }
}

TEST_F(ArchiverTest, CompressionLevelSetsMode) {
  const std::pair<TZACompressionLevel, uint8_t> cases[] = {
      {clNone, 0}, {clFastest, 1}, {clNormal, 6}, {clMax, 9}};
  for (auto [level, mode] : cases) {
    zip_.SetCompressionLevel(level);
    EXPECT_EQ(zip_.CompressionMode(), mode);
  }
  zip_.SetCompressionLevel(clNone);
  EXPECT_EQ(zip_.NewEntryMethod(), 0);
}

TEST_F(ArchiverTest, CompressionModeAboveNineRaisesCodeFiveAndKeepsOldValues) {
  zip_.SetCompressionMode(4);
  try {
    zip_.SetCompressionMode(10);
    FAIL() << "no exception";
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError(), 5);
    EXPECT_EQ(e.ErrorCode(), 2);
    EXPECT_STREQ(e.what(),
                 "Zipper: Invalid compression mode. Mode must be in [0-9] "
                 "range - Native error: 00005");
  }
  EXPECT_EQ(zip_.CompressionMode(), 4);
  EXPECT_EQ(zip_.CompressionLevel(), clNormal);
}

TEST_F(ArchiverTest, CurrentVersionIgnoresLocaleAndWrites) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may be missing; then "C"
  EXPECT_EQ(zip_.CurrentVersion(), "2.72 ");
  zip_.SetCurrentVersion("9.99");
  EXPECT_EQ(zip_.CurrentVersion(), "2.72 ");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST_F(ArchiverTest, CustomVolumeSizeHasAFloor) {
  zip_.SpanningOptions.SetCustomVolumeSize(1000);
  EXPECT_EQ(zip_.SpanningOptions.CustomVolumeSize(), 65536);
  zip_.SpanningOptions.SetCustomVolumeSize(2097152);
  EXPECT_EQ(zip_.SpanningOptions.CustomVolumeSize(), 2097152);
}

TEST_F(ArchiverTest, VolumeSizeForUsesFirstVolumeSizeOnlyForTheFirst) {
  zip_.SpanningOptions.VolumeSize = vsCustom;
  zip_.SpanningOptions.SetCustomVolumeSize(2097152);
  zip_.SpanningOptions.FirstVolumeSize = 100000;
  TZAVolumeNumberInfo first;
  first.SetFirst(true);
  TZAVolumeNumberInfo second;
  second.SetNumber(1);
  EXPECT_EQ(zip_.SpanningOptions.VolumeSizeFor(first), 100000);
  EXPECT_EQ(zip_.SpanningOptions.VolumeSizeFor(second), 2097152);
  zip_.SpanningOptions.VolumeSize = vsAutoDetect;
  EXPECT_EQ(zip_.SpanningOptions.VolumeSizeFor(second), -1);
  zip_.SpanningOptions.VolumeSize = vs4700MB;
  EXPECT_EQ(zip_.SpanningOptions.VolumeSizeFor(second), 4928307200LL);
}

TEST_F(ArchiverTest, OptionsAssignCopiesAllButShareMode) {
  TZAOptions source;
  source.StorePath = spNoPath;
  source.Recurse = false;
  source.ShareMode = smShareExclusive;
  source.OverwriteMode = omNever;
  source.SearchAttr = 0x20;
  source.FlushBuffers = false;
  source.OEMFileNames = false;
  zip_.Options.Assign(source);
  EXPECT_EQ(zip_.Options.StorePath, spNoPath);
  EXPECT_FALSE(zip_.Options.Recurse);
  EXPECT_EQ(zip_.Options.ShareMode, smShareDenyNone);
  EXPECT_EQ(zip_.Options.OverwriteMode, omNever);
  EXPECT_EQ(zip_.Options.SearchAttr, 0x20);
  EXPECT_FALSE(zip_.Options.FlushBuffers);
  EXPECT_FALSE(zip_.Options.OEMFileNames);
}

TEST_F(ArchiverTest, SpanningModeCannotChangeWhileOpen) {
  zip_.SetSpanningMode(smSplitting);  // accepted while closed
  EXPECT_EQ(zip_.SpanningMode(), smSplitting);
  zip_.SetSpanningMode(smNone);
  zip_.SetInMemory(true);
  zip_.Open(kOpenCreate);
  try {
    zip_.SetSpanningMode(smSplitting);
    FAIL() << "no exception";
  } catch (const EZAException&) {
    FAIL() << "must be the base exception, not an engine error";
  } catch (const platform::Exception& e) {
    EXPECT_STREQ(e.what(), "Cannot set spanning mode on open archive");
    EXPECT_STREQ(e.ClassName(), "Exception");
  }
  EXPECT_EQ(zip_.SpanningMode(), smNone);
}

TEST_F(ArchiverTest, MaskSettersCopyLines) {
  TStringList masks;
  masks.Add("*.dat");
  masks.Add("*.rpt");
  zip_.SetFileMasks(masks);
  masks.Add("*.bmp");
  ASSERT_EQ(zip_.FileMasks.Count(), 2);
  EXPECT_EQ(zip_.FileMasks.Strings()[1], "*.rpt");
}

// ---- Dispatchers ------------------------------------------------------------

TEST_F(ArchiverTest, FileProgressShowsHandlersBackslashes) {
  std::string seen;
  zip_.OnFileProgress = [&](Component* sender, const std::string& name,
                            double, TZAProcessOperation, TZAProgressPhase,
                            bool&) {
    EXPECT_EQ(sender, &zip_);
    seen = name;
  };
  bool cancel = false;
  zip_.DoFileProgress("dir/a.txt", 0, poAdd, ppStart, cancel);
  EXPECT_EQ(seen, "dir\\a.txt");
}

TEST_F(ArchiverTest, StoreFileConvertsSeparatorsBothWays) {
  std::string seen;
  zip_.OnStoreFile = [&](Component*, std::string& name, uint32_t&,
                         std::string&, const std::string&) {
    seen = name;
    name = "x\\y.dat";
  };
  std::string name = "a/b.dat";
  uint32_t attr = 0x20;
  std::string comment;
  zip_.DoStoreFile(name, attr, comment, "/src/a/b.dat");
  EXPECT_EQ(seen, "a\\b.dat");
  EXPECT_EQ(name, "x/y.dat");

  zip_.OnStoreFile = nullptr;
  name = "a/b.dat";
  zip_.DoStoreFile(name, attr, comment, "/src/a/b.dat");
  EXPECT_EQ(name, "a/b.dat") << "without a handler nothing changes";
}

TEST_F(ArchiverTest, ProcessFileFailureDefaults) {
  TZAAction action = fxaRetry;
  zip_.DoProcessFileFailure("f", poAdd, 45, 24, "msg", action);
  EXPECT_EQ(action, fxaAbort) << "code 45 aborts without asking";
  EXPECT_TRUE(dialogs_.boxes.empty());

  dialogs_.answers = {mrIgnore};
  zip_.DoProcessFileFailure("f", poAdd, 61, 36, "too long", action);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, "too long");
  EXPECT_EQ(dialogs_.boxes[0].buttons, kButtonAbort | kButtonIgnore);
  EXPECT_EQ(action, fxaIgnore);

  dialogs_.answers = {mrRetry};
  zip_.DoProcessFileFailure("f", poAdd, 33, 12, "Cannot open file", action);
  ASSERT_EQ(dialogs_.boxes.size(), 2u);
  EXPECT_EQ(dialogs_.boxes[1].text,
            "Cannot open file. File processing error, possibly disk is full");
  EXPECT_EQ(dialogs_.boxes[1].buttons,
            kButtonAbort | kButtonRetry | kButtonIgnore);
  EXPECT_EQ(action, fxaRetry);

  dialogs_.answers = {mrCancel};
  zip_.DoProcessFileFailure("f", poAdd, 33, 12, "m", action);
  EXPECT_EQ(action, fxaAbort) << "any other answer aborts";

  // A name taken by another file: retrying would change nothing.
  dialogs_.answers = {mrIgnore};
  zip_.DoProcessFileFailure("f", poAdd, kCodeSameName, 38, "same name",
                            action);
  ASSERT_EQ(dialogs_.boxes.size(), 4u);
  EXPECT_EQ(dialogs_.boxes[3].text, "same name");
  EXPECT_EQ(dialogs_.boxes[3].buttons, kButtonAbort | kButtonIgnore);
  EXPECT_EQ(action, fxaIgnore);
}

TEST_F(ArchiverTest, ProcessFileFailureStartsHandlerAtIgnore) {
  TZAAction seen = fxaAbort;
  zip_.OnProcessFileFailure = [&](Component*, const std::string&,
                                  TZAProcessOperation, int32_t, int32_t,
                                  const std::string&, TZAAction& action) {
    seen = action;
  };
  TZAAction action = fxaRetry;
  zip_.DoProcessFileFailure("f", poAdd, 45, 24, "m", action);
  EXPECT_EQ(seen, fxaIgnore);
  EXPECT_EQ(action, fxaIgnore);
}

TEST_F(ArchiverTest, ConfirmOverwriteDefaultAsksWithFourButtons) {
  dialogs_.answers = {mrYesToAll, mrNoToAll, mrNo};
  std::string dest = "a.dat";
  bool confirm = false;
  zip_.DoConfirmOverwrite("/src/a.dat", dest, confirm);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, "Overwrite file \"a.dat\" with \"/src/a.dat\"");
  EXPECT_EQ(dialogs_.boxes[0].buttons,
            kButtonYes | kButtonNo | kButtonYesToAll | kButtonNoToAll);
  EXPECT_TRUE(confirm);
  EXPECT_EQ(zip_.Options.OverwriteMode, omAlways);

  zip_.DoConfirmOverwrite("/src/a.dat", dest, confirm);
  EXPECT_FALSE(confirm);
  EXPECT_EQ(zip_.Options.OverwriteMode, omNever);

  confirm = true;
  zip_.DoConfirmOverwrite("/src/a.dat", dest, confirm);
  EXPECT_FALSE(confirm);
}

TEST_F(ArchiverTest, ConfirmProcessFileStartsTrue) {
  bool confirm = false;
  zip_.DoConfirmProcessFile("f", poAdd, confirm);
  EXPECT_TRUE(confirm);
}

TEST_F(ArchiverTest, PasswordDefaultUsesInputBox) {
  dialogs_.inputs = {std::string("secret")};
  std::string password;
  bool skip = true;
  zip_.DoPassword("a.dat", password, skip);
  EXPECT_FALSE(skip);
  EXPECT_EQ(password, "secret");
  ASSERT_EQ(dialogs_.input_boxes.size(), 1u);
  EXPECT_EQ(dialogs_.input_boxes[0].caption, "Password for \"a.dat\"");
  EXPECT_EQ(dialogs_.input_boxes[0].prompt, "Enter password: ");
  zip_.DoPassword("a.dat", password, skip);  // queue empty: cancelled
  EXPECT_TRUE(skip);
}

TEST_F(ArchiverTest, BlankVolumeRequestNamesTheVolumeAndCountsFromOne) {
  zip_.FileName = "/data/Orvane.zip";
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.SetSpanningMode(smSplitting);
  std::vector<std::pair<int, std::string>> seen;
  zip_.OnRequestBlankVolume = [&](Component*, int32_t number,
                                  std::string& name, bool& cancel) {
    seen.emplace_back(number, name);
    EXPECT_FALSE(cancel);
  };
  std::string name;
  bool cancel = true;
  zip_.DoRequestBlankVolume(0, name, cancel);
  zip_.DoRequestBlankVolume(1, name, cancel);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, 1);
  EXPECT_EQ(seen[0].second, "/data/Orvane.z01");
  EXPECT_EQ(seen[1].first, 2);
  EXPECT_EQ(seen[1].second, "/data/Orvane.z02");
}

TEST_F(ArchiverTest, SpanningRequestsAskForDisks) {
  zip_.FileName = "/nonexistent/a.zip";
  zip_.SpanningOptions.AdvancedNaming = false;
  zip_.SetSpanningMode(smSpanning);
  dialogs_.answers = {mrOk, mrCancel};
  std::string name;
  bool cancel = true;
  zip_.DoRequestBlankVolume(2, name, cancel);
  EXPECT_FALSE(cancel);
  zip_.DoRequestMiddleVolume(4, name, cancel);
  EXPECT_TRUE(cancel);
  ASSERT_EQ(dialogs_.boxes.size(), 2u);
  EXPECT_EQ(dialogs_.boxes[0].text, "Please insert a blank disk #3");
  EXPECT_EQ(dialogs_.boxes[0].buttons, kButtonOk | kButtonCancel);
  EXPECT_EQ(dialogs_.boxes[1].text, "Please insert disk #5");
}

TEST_F(ArchiverTest, DiskFullDefaults) {
  zip_.FileName = "/tmp/a.zip";
  bool cancel = false;
  zip_.SetSpanningMode(smSplitting);
  zip_.DoDiskFull(0, "/tmp/a.z01", cancel);
  EXPECT_TRUE(cancel) << "split mode without a handler gives up";
  EXPECT_TRUE(dialogs_.boxes.empty());

  int number = 0;
  zip_.OnDiskFull = [&](Component*, int32_t n, const std::string&,
                        bool& c) {
    number = n;
    EXPECT_FALSE(c);
  };
  zip_.DoDiskFull(2, "/tmp/a.z03", cancel);
  EXPECT_EQ(number, 3);
  EXPECT_FALSE(cancel);
}

TEST_F(ArchiverTest, LastVolumeRequestWithoutHandlerChecksTheFile) {
  test::TempDir dir;
  zip_.FileName = dir.Join("a.zip");
  std::string name;
  bool cancel = false;
  zip_.DoRequestLastVolume(name, cancel);
  EXPECT_TRUE(cancel);
  dir.WriteFile("a.zip", "x");
  zip_.DoRequestLastVolume(name, cancel);
  EXPECT_FALSE(cancel);
  EXPECT_EQ(name, dir.Join("a.zip"));
}

TEST_F(ArchiverTest, ExtractFileAlwaysShowsBackslashes) {
  std::string name = "a/b/c";
  uint32_t attr = 0;
  zip_.DoExtractFile(name, attr, "");
  EXPECT_EQ(name, "a\\b\\c");
}

}  // namespace
}  // namespace tessaly::engine
