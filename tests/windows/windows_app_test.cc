// The Windows parts of the program that the end-to-end run does not reach
// one by one: TRegistry on the real registry (value types, long and
// unterminated strings, key paths), the boxes' button sets with their
// test answers, a box taller than the screen (kept as a screenshot in the
// build tree: tests/windows/screenshots/win32_long_box.png), and the
// indicator's steps reaching the GUI thread, also while a box is open.
// Boxes need a display: run under xvfb-run (scripts/windows-test.sh gives
// it 1280 x 800 pixels).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <stop_token>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/registry/registry.h"
#include "app/ui/windows/win32_message_box.h"
#include "app/ui/windows/win32_ui.h"
#include "tests/support/run_command.h"
#include "tests/support/screen_image.h"

#include "platform/windows/win32.h"
// sddl.h needs windows.h first.
#include <sddl.h>
#undef MessageBox

// Win32's roots and rights under names of their own: app/registry/registry.h
// has constants of the same names as these macros.
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

// ---- A box taller than the screen -----------------------------------------

// What the screen showed while the box was up.
struct LongBoxShot {
  UINT_PTR timer = 0;
  bool seen = false;
  RECT box{};
  RECT button{};
  bool text_scrolls = false;
  std::string text;         // of the scrolling text
  LRESULT first_line = -1;  // of the scrolling text shown at its top
  test::ScreenImage screen;
};

LongBoxShot* g_long_box = nullptr;  // GUI thread only

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

BOOL CALLBACK FindScrollingEdit(HWND child, LPARAM found) {
  char name[16] = {};
  GetClassNameA(child, name, sizeof(name));
  if (std::string(name) == "Edit" &&
      (GetWindowLongA(child, GWL_STYLE) & WS_VSCROLL) != 0) {
    *reinterpret_cast<HWND*>(found) = child;
  }
  return TRUE;
}

// The whole screen, read back through GDI.
test::ScreenImage CaptureScreen() {
  const int w = GetSystemMetrics(SM_CXSCREEN);
  const int h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap =
      CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  GdiFlush();
  test::ScreenImage image;
  image.width = w;
  image.height = h;
  const auto* bgrx = static_cast<const uint8_t*>(bits);
  for (int i = 0; bits != nullptr && i < w * h; ++i) {
    image.pixels.push_back(
        test::Pixel{bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]});
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

void CALLBACK ShootLongBox(HWND, UINT, UINT_PTR timer, DWORD) {
  LongBoxShot* shot = g_long_box;
  if (shot == nullptr || shot->timer != timer) return;
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindVisibleDialog,
                    reinterpret_cast<LPARAM>(&box));
  if (box == nullptr) return;  // not on the screen yet: the next tick
  KillTimer(nullptr, timer);
  shot->timer = 0;
  shot->seen = true;
  GetWindowRect(box, &shot->box);
  GetWindowRect(GetDlgItem(box, IDOK), &shot->button);
  HWND edit = nullptr;
  EnumChildWindows(box, FindScrollingEdit, reinterpret_cast<LPARAM>(&edit));
  shot->text_scrolls = edit != nullptr;
  if (edit != nullptr) {
    shot->text.assign(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1,
                      '\0');
    shot->text.resize(static_cast<size_t>(GetWindowTextA(
        edit, shot->text.data(), static_cast<int>(shot->text.size()))));
    shot->first_line = SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0);
  }
  RedrawWindow(box, nullptr, nullptr,
               RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  shot->screen = CaptureScreen();
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

// The collector's success message for 150 volumes.
std::string SuccessTextFor150Volumes() {
  const std::string indent(8, ' ');
  std::string text = "Tessaly data has been zipped into: \r\n\r\n" + indent +
                     "C:\\Apps\\Ledger\\Orvane.zip\r\n";
  for (int i = 1; i <= 149; ++i) {
    char line[64];
    std::snprintf(line, sizeof(line), "C:\\Apps\\Ledger\\Orvane.z%02d\r\n", i);
    text += indent + line;
  }
  return text + "\r\nPlease send as attachments to separate emails.";
}

TEST(Win32LongBoxTest, ButtonStaysOnTheScreenAndTheTextScrolls) {
  LongBoxShot shot;
  shot.timer = SetTimer(nullptr, 0, 300, ShootLongBox);
  g_long_box = &shot;
  const engine::DialogResult result =
      ShowWin32MessageBox(nullptr, DialogKind::kInformation,
                          SuccessTextFor150Volumes(), engine::kButtonOk,
                          /*auto_answer_ms=*/20000);
  g_long_box = nullptr;
  if (shot.timer != 0) KillTimer(nullptr, shot.timer);
  EXPECT_EQ(result, engine::mrOk);
  ASSERT_TRUE(shot.seen) << "the box never showed";
  EXPECT_TRUE(shot.text_scrolls);
  EXPECT_EQ(shot.text, SuccessTextFor150Volumes()) << "the text is unchanged";
  EXPECT_EQ(shot.first_line, 0) << "the text opens at its first line";

  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_GE(shot.box.top, work.top);
  EXPECT_LE(shot.box.bottom, work.bottom);
  EXPECT_GE(shot.button.left, 0);
  EXPECT_GE(shot.button.top, work.top);
  EXPECT_LE(shot.button.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_LE(shot.button.bottom, work.bottom) << "OK is off the screen";

  const test::ScreenImage& image = shot.screen;
  ASSERT_EQ(image.width, GetSystemMetrics(SM_CXSCREEN));
  ASSERT_FALSE(image.pixels.empty());
  const std::string keep = test::BinaryDir() + "/tests/windows/screenshots";
  std::filesystem::create_directories(keep);
  test::WritePng(image, keep + "/win32_long_box.png");
  // The button as drawn: its face colour and its label's dark pixels.
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  int face_pixels = 0;
  int label_pixels = 0;
  for (int y = shot.button.top + 3; y < shot.button.bottom - 3; ++y) {
    for (int x = shot.button.left + 3; x < shot.button.right - 3; ++x) {
      const test::Pixel p = image.At(x, y);
      if (p == test::Pixel{GetRValue(face), GetGValue(face), GetBValue(face)}) {
        ++face_pixels;
      }
      if (p.r < 80 && p.g < 80 && p.b < 80) ++label_pixels;
    }
  }
  EXPECT_GT(face_pixels, 100) << "no button face where OK should be";
  EXPECT_GT(label_pixels, 10) << "no OK label where the button should be";
}

// A box whose text fits is still Windows' own message box.
TEST(Win32LongBoxTest, ShortTextKeepsTheSystemBox) {
  LongBoxShot shot;
  shot.timer = SetTimer(nullptr, 0, 100, ShootLongBox);
  g_long_box = &shot;
  ShowWin32MessageBox(nullptr, DialogKind::kInformation, "One line",
                      engine::kButtonOk, 20000);
  g_long_box = nullptr;
  if (shot.timer != 0) KillTimer(nullptr, shot.timer);
  ASSERT_TRUE(shot.seen);
  EXPECT_FALSE(shot.text_scrolls);
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
