#include "engine/base/dialog_service.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "engine/base/console_dialog_service.h"
#include "engine/base/messages.h"
#include "engine/base/scripted_dialog_service.h"

namespace tessaly::engine {
namespace {

constexpr DialogButtons kOverwriteButtons =
    kButtonYes | kButtonNo | kButtonYesToAll | kButtonNoToAll;

TEST(DialogButtonTest, NamesAndResults) {
  EXPECT_EQ(DialogButtonName(kButtonYesToAll), "Yes to All");
  EXPECT_EQ(DialogButtonName(kButtonNoToAll), "No to All");
  EXPECT_EQ(DialogButtonName(kButtonOk), "OK");
  EXPECT_EQ(DialogButtonResult(kButtonYes), mrYes);
  EXPECT_EQ(DialogButtonResult(kButtonYesToAll), mrYesToAll);
  EXPECT_EQ(DialogButtonResult(kButtonNoToAll), mrNoToAll);
  EXPECT_EQ(DialogButtonResult(kButtonIgnore), mrIgnore);
}

TEST(UnattendedAnswerTest, StopsWorkWithoutWritingMore) {
  EXPECT_EQ(UnattendedAnswer(kButtonOk | kButtonCancel), mrCancel);
  EXPECT_EQ(UnattendedAnswer(kButtonAbort | kButtonRetry | kButtonIgnore),
            mrAbort);
  EXPECT_EQ(UnattendedAnswer(kButtonAbort | kButtonIgnore), mrAbort);
  EXPECT_EQ(UnattendedAnswer(kOverwriteButtons), mrNo);
  EXPECT_EQ(UnattendedAnswer(kButtonYes | kButtonNo), mrYes);
  EXPECT_EQ(UnattendedAnswer(kButtonOk), mrOk);
  EXPECT_EQ(UnattendedAnswer(kButtonRetry | kButtonIgnore), mrRetry);
  EXPECT_EQ(UnattendedAnswer(0), mrNone);
}

struct Console {
  explicit Console(std::string input) : in(std::move(input)) {}
  std::istringstream in;
  std::ostringstream out;
  ConsoleDialogService service{in, out};
};

TEST(ConsoleDialogServiceTest, ConfirmationPrintsBlockAndReadsButtonName) {
  Console console("  yes to all \r\n");
  EXPECT_EQ(console.service.MessageBox(
                DialogKind::kConfirmation,
                FormatMessage(kOverwritePrompt, {"a.txt", "b.txt"}),
                kOverwriteButtons),
            mrYesToAll);
  EXPECT_EQ(console.out.str(),
            "Confirmation:\n"
            "Overwrite file \"a.txt\" with \"b.txt\"\n"
            "[Yes/No/Yes to All/No to All]\n");
}

TEST(ConsoleDialogServiceTest, UnknownOrUnofferedAnswerAsksAgain) {
  Console console("maybe\nRetry\nOK\n");
  EXPECT_EQ(console.service.MessageBox(DialogKind::kConfirmation,
                                       "Please insert disk #2",
                                       kButtonOk | kButtonCancel),
            mrOk);
  EXPECT_EQ(console.out.str(),
            "Confirmation:\nPlease insert disk #2\n[OK/Cancel]\n[OK/Cancel]\n"
            "[OK/Cancel]\n");
}

TEST(ConsoleDialogServiceTest, EndOfInputTakesTheUnattendedAnswer) {
  Console console("");
  EXPECT_EQ(console.service.MessageBox(DialogKind::kConfirmation, "q",
                                       kOverwriteButtons),
            mrNo);
  EXPECT_EQ(console.service.MessageBox(DialogKind::kConfirmation,
                                       "Abandon collection of files?",
                                       kButtonYes | kButtonNo),
            mrYes);
  Console after_junk("what\n");
  EXPECT_EQ(after_junk.service.MessageBox(
                DialogKind::kConfirmation, "q",
                kButtonAbort | kButtonRetry | kButtonIgnore),
            mrAbort);
}

TEST(ConsoleDialogServiceTest, ErrorAndInformationBoxesReadNothing) {
  Console console("No\n");
  EXPECT_EQ(console.service.MessageBox(DialogKind::kError, "Broken", kButtonOk),
            mrOk);
  EXPECT_EQ(
      console.service.MessageBox(DialogKind::kInformation, "Done", kButtonOk),
      mrOk);
  EXPECT_EQ(console.out.str(), "Error:\nBroken\nInformation:\nDone\n");
  std::string rest;
  std::getline(console.in, rest);
  EXPECT_EQ(rest, "No");
}

TEST(ConsoleDialogServiceTest, InputBoxConfirmsWithLineAndCancelsAtEnd) {
  Console console("secret\r\n");
  std::string value = "old";
  EXPECT_TRUE(
      console.service.InputBox("Password for \"a\"", kPasswordPrompt, value));
  EXPECT_EQ(value, "secret");
  EXPECT_EQ(console.out.str(), "Password for \"a\"\nEnter password: ");
  EXPECT_FALSE(console.service.InputBox("c", "p", value));
  EXPECT_EQ(value, "secret");
}

TEST(ScriptedDialogServiceTest, AnswersFromQueueThenUnattended) {
  ScriptedDialogService service;
  service.answers = {mrYesToAll};
  EXPECT_EQ(service.MessageBox(DialogKind::kError, "e", kButtonOk), mrOk);
  EXPECT_EQ(
      service.MessageBox(DialogKind::kConfirmation, "first", kOverwriteButtons),
      mrYesToAll);
  EXPECT_EQ(service.MessageBox(DialogKind::kConfirmation, "second",
                               kButtonOk | kButtonCancel),
            mrCancel);
  ASSERT_EQ(service.boxes.size(), 3u);
  EXPECT_EQ(service.boxes[0].kind, DialogKind::kError);
  EXPECT_EQ(service.boxes[1].text, "first");
  EXPECT_EQ(service.boxes[1].buttons, kOverwriteButtons);
  EXPECT_EQ(service.boxes[2].result, mrCancel);
}

TEST(ScriptedDialogServiceTest, InputBoxesFromQueue) {
  ScriptedDialogService service;
  service.inputs = {std::string("pw"), std::nullopt};
  std::string value = "start";
  EXPECT_TRUE(service.InputBox("cap", "prompt", value));
  EXPECT_EQ(value, "pw");
  EXPECT_FALSE(service.InputBox("cap", "prompt", value));
  EXPECT_FALSE(service.InputBox("cap", "prompt", value));  // queue empty
  EXPECT_EQ(value, "pw");
  ASSERT_EQ(service.input_boxes.size(), 3u);
  EXPECT_EQ(service.input_boxes[0].initial_value, "start");
  EXPECT_TRUE(service.input_boxes[0].confirmed);
  EXPECT_FALSE(service.input_boxes[1].confirmed);
}

TEST(DefaultDialogServiceTest, InstalledServiceReplacesConsole) {
  ScriptedDialogService scripted;
  SetDefaultDialogService(&scripted);
  EXPECT_EQ(&DefaultDialogService(), &scripted);
  SetDefaultDialogService(nullptr);
  EXPECT_NE(dynamic_cast<ConsoleDialogService*>(&DefaultDialogService()),
            nullptr);
}

}  // namespace
}  // namespace tessaly::engine
