// The Windows parts of the program that the end-to-end run does not reach
// one by one: TRegistry on the real registry (value types, long and
// unterminated strings, key paths), the boxes' button sets with their
// test answers, and the indicator's steps reaching the GUI thread, also
// while a box is open. Boxes need a display: run under xvfb-run.
#include <atomic>
#include <chrono>
#include <ostream>
#include <stop_token>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/registry.h"
#include "app/win32_message_box.h"
#include "app/win32_ui.h"

#include "platform/windows/win32.h"
// sddl.h needs windows.h first.
#include <sddl.h>
#undef MessageBox

// Win32's roots and rights under names of their own: app/registry.h has
// constants of the same names as these macros.
namespace win32 {
const ::HKEY kCurrentUser = HKEY_CURRENT_USER;
constexpr REGSAM kAllAccess = KEY_ALL_ACCESS;
constexpr REGSAM kRead = KEY_READ;
}  // namespace win32
#undef HKEY_CURRENT_USER
#undef HKEY_LOCAL_MACHINE
#undef KEY_ALL_ACCESS
#undef KEY_READ

namespace tessaly::app {
namespace {

using engine::DialogKind;

constexpr char kTestKey[] = "Software\\Tessaly Zipper Test";

// ---- TRegistry on the Windows registry -------------------------------------

class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(win32::kCurrentUser, kTestKey);
    ASSERT_EQ(
        RegCreateKeyExA(win32::kCurrentUser,
                        (std::string(kTestKey) + "\\Workspace").c_str(), 0,
                        nullptr, 0, win32::kAllAccess, nullptr, &key_, nullptr),
        ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteTreeA(win32::kCurrentUser, kTestKey);
  }

  void Set(const char* name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, type,
                             reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }

  ::HKEY key_ = nullptr;
};

TEST_F(Win32RegistryTest, ReadsStringsWhateverTheirLengthOrTerminator) {
  const std::string long_text(3000, 'x');
  Set("DataPath", REG_SZ, std::string("C:\\Apps\\Data") + '\0');
  Set("Expand", REG_EXPAND_SZ, std::string("%TEMP%\\x") + '\0');
  Set("Long", REG_SZ, long_text + '\0');
  Set("Unterminated", REG_SZ, "D:\\Data");

  TRegistry registry(KEY_ALL_ACCESS);
  registry.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(
      registry.OpenKey(std::string("\\") + kTestKey + "\\Workspace", false));
  EXPECT_EQ(registry.ReadString("DataPath"), "C:\\Apps\\Data");
  EXPECT_EQ(registry.ReadString("datapath"), "C:\\Apps\\Data")
      << "names ignore letter case";
  EXPECT_EQ(registry.ReadString("Expand"), "%TEMP%\\x") << "not expanded";
  EXPECT_EQ(registry.ReadString("Long"), long_text);
  EXPECT_EQ(registry.ReadString("Unterminated"), "D:\\Data");
  EXPECT_EQ(registry.ReadString("Missing"), "");
  EXPECT_TRUE(registry.ValueExists("Long"));
  EXPECT_FALSE(registry.ValueExists("Missing"));
}

// The collector asks for every right (KEY_ALL_ACCESS) but only reads; a key
// that grants reading only (HKEY_LOCAL_MACHINE for a user without
// administrator rights) must still be read.
TEST_F(Win32RegistryTest, KeyThatGrantsReadingOnlyIsRead) {
  Set("DataPath", REG_SZ, std::string("C:\\Data") + '\0');
  // Everyone: read, delete (for TearDown) and change the permissions.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:P(A;;KRSDWD;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
  ASSERT_EQ(RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, descriptor),
            ERROR_SUCCESS);
  LocalFree(descriptor);
  ::HKEY probe = nullptr;
  ASSERT_EQ(RegOpenKeyExA(win32::kCurrentUser,
                          (std::string(kTestKey) + "\\Workspace").c_str(), 0,
                          win32::kAllAccess, &probe),
            ERROR_ACCESS_DENIED)
      << "the registry does not enforce the key's permissions";

  TRegistry registry(KEY_ALL_ACCESS);
  registry.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(
      registry.OpenKey(std::string("\\") + kTestKey + "\\Workspace", false));
  EXPECT_EQ(registry.ReadString("DataPath"), "C:\\Data");
}

TEST_F(Win32RegistryTest, ValueOfAnotherTypeRaises) {
  Set("Count", REG_DWORD, std::string("\x05\0\0\0", 4));
  Set("Blob", REG_BINARY, "ab");
  TRegistry registry(KEY_ALL_ACCESS);
  registry.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(
      registry.OpenKey(std::string("\\") + kTestKey + "\\Workspace", false));
  try {
    registry.ReadString("Count");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(),
              "Invalid data type for 'Count' (dword where a string is "
              "expected)");
    EXPECT_STREQ(e.ClassName(), "ERegistryException");
  }
  EXPECT_THROW(registry.ReadString("Blob"), ERegistryException);
}

TEST_F(Win32RegistryTest, KeyPathsAreAbsoluteOrBelowTheOpenKey) {
  Set("V", REG_SZ, std::string("v") + '\0');
  TRegistry registry(KEY_READ);
  registry.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.OpenKey(kTestKey, false)) << "relative to the root";
  ASSERT_TRUE(registry.OpenKey("Workspace\\", false));
  EXPECT_EQ(registry.CurrentPath(), std::string(kTestKey) + "\\Workspace");
  EXPECT_EQ(registry.ReadString("V"), "v");
  EXPECT_FALSE(registry.OpenKey("Nothing", false));
  EXPECT_EQ(registry.CurrentPath(), std::string(kTestKey) + "\\Workspace")
      << "a failed open keeps the key";

  // A key made with can_create exists in this object only.
  ASSERT_TRUE(registry.OpenKey("\\Software\\Tessaly Zipper Test\\New", true));
  EXPECT_EQ(registry.ReadString("V"), "");
  ::HKEY made = nullptr;
  EXPECT_NE(RegOpenKeyExA(win32::kCurrentUser,
                          (std::string(kTestKey) + "\\New").c_str(), 0,
                          win32::kRead, &made),
            ERROR_SUCCESS)
      << "the registry is never written";

  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(registry.OpenKey(std::string("\\") + kTestKey, false))
      << "the root decides where paths start";
  registry.SetRootKey(0x12345678u);
  EXPECT_FALSE(registry.OpenKey("Software", false)) << "unknown root";
}

// ---- Boxes
// -------------------------------------------------------------------

TEST(Win32MessageBoxTest, ButtonSetsMapToMessageBoxStylesOrOwnDialogs) {
  using namespace engine;
  EXPECT_EQ(MessageBoxStyleFor(kButtonOk), MB_OK);
  EXPECT_EQ(MessageBoxStyleFor(kButtonOk | kButtonCancel), MB_OKCANCEL);
  EXPECT_EQ(MessageBoxStyleFor(kButtonYes | kButtonNo), MB_YESNO);
  EXPECT_EQ(MessageBoxStyleFor(kButtonAbort | kButtonRetry | kButtonIgnore),
            MB_ABORTRETRYIGNORE);
  EXPECT_EQ(MessageBoxStyleFor(kButtonAbort | kButtonIgnore), -1);
  EXPECT_EQ(MessageBoxStyleFor(kButtonYes | kButtonNo | kButtonYesToAll |
                               kButtonNoToAll),
            -1);
  EXPECT_EQ(FirstButton(kButtonRetry | kButtonCancel), kButtonCancel);
  EXPECT_EQ(FirstButton(kButtonIgnore | kButtonAbort), kButtonAbort);
  EXPECT_EQ(FirstButton(0), kButtonOk);
}

struct AnswerCase {
  DialogKind kind;
  engine::DialogButtons buttons;
  engine::DialogResult expected;
};

std::ostream& operator<<(std::ostream& out, const AnswerCase& c) {
  return out << "kind " << static_cast<int>(c.kind) << ", buttons 0x"
             << std::hex << c.buttons << std::dec;
}

class Win32AutoAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

// Each box is shown for real and answers itself with its first button,
// whether MessageBoxA or our own dialog shows it.
TEST_P(Win32AutoAnswerTest, FirstButtonAnswers) {
  const AnswerCase& c = GetParam();
  EXPECT_EQ(ShowWin32MessageBox(nullptr, c.kind, "Line one\r\nLine two",
                                c.buttons, 50),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, Win32AutoAnswerTest,
    ::testing::Values(
        AnswerCase{DialogKind::kError, engine::kButtonOk, engine::mrOk},
        // Error and information boxes offer OK only.
        AnswerCase{DialogKind::kInformation,
                   engine::kButtonYes | engine::kButtonNo, engine::mrOk},
        AnswerCase{DialogKind::kConfirmation,
                   engine::kButtonYes | engine::kButtonNo, engine::mrYes},
        AnswerCase{
            DialogKind::kConfirmation,
            engine::kButtonAbort | engine::kButtonRetry | engine::kButtonIgnore,
            engine::mrAbort},
        AnswerCase{DialogKind::kConfirmation,
                   engine::kButtonAbort | engine::kButtonIgnore,
                   engine::mrAbort},
        AnswerCase{DialogKind::kConfirmation,
                   engine::kButtonYes | engine::kButtonNo |
                       engine::kButtonYesToAll | engine::kButtonNoToAll,
                   engine::mrYes},
        AnswerCase{DialogKind::kConfirmation,
                   engine::kButtonNo | engine::kButtonNoToAll, engine::mrNo}));

TEST(Win32InputBoxTest, OkKeepsTheEditedText) {
  std::string value = "secret";
  EXPECT_TRUE(
      ShowWin32InputBox(nullptr, "Password", "Password for a.dat:", value, 50));
  EXPECT_EQ(value, "secret");
}

// ---- Steps of the indicator's thread
// -----------------------------------------

// A worker that has `ui` run one step after `delay`; records whether and on
// which thread it ran.
class StepWorker {
 public:
  StepWorker(Win32Ui& ui, std::chrono::milliseconds delay)
      : thread_([this, &ui, delay](std::stop_token stop) {
          std::this_thread::sleep_for(delay);
          ui.GuiSynchronizer().Synchronize(
              [this] {
                ran_on_ = std::this_thread::get_id();
                ran_ = true;
              },
              stop);
        }) {}
  ~StepWorker() { thread_.request_stop(); }

  bool Ran() const { return ran_; }
  std::thread::id RanOn() const { return ran_on_; }

 private:
  std::atomic<bool> ran_{false};
  std::thread::id ran_on_;
  std::jthread thread_;  // last: joined before the fields go
};

TEST(Win32UiTest, StepsRunWhenMessagesAreProcessed) {
  Win32Ui ui;
  StepWorker worker(ui, std::chrono::milliseconds(0));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!worker.Ran() && std::chrono::steady_clock::now() < end) {
    ui.ProcessMessages();
    Sleep(1);
  }
  ASSERT_TRUE(worker.Ran());
  EXPECT_EQ(worker.RanOn(), std::this_thread::get_id());
}

TEST(Win32UiTest, StepsRunWhileABoxIsOpen) {
  Win32Ui ui;
  // The box is open when the step comes and answers itself much later: the
  // box's own message loop must run the step.
  StepWorker worker(ui, std::chrono::milliseconds(200));
  ShowWin32MessageBox(nullptr, DialogKind::kInformation, "Waiting",
                      engine::kButtonOk, 1500);
  EXPECT_TRUE(worker.Ran()) << "the step waited for the box";
  EXPECT_EQ(worker.RanOn(), std::this_thread::get_id());
}

}  // namespace
}  // namespace tessaly::app
