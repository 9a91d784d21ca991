#include "app/ui/windows/win32_main_window.h"

#include <cstring>
#include <utility>
#include <vector>

#include "widgets/color.h"

#include "platform/windows/win32.h"

// The whole client area is painted on every WM_PAINT into a memory bitmap
// and copied in one piece, so the band's 20 steps a second do not flicker.
// The window is 300 x 112 pixels; painting all of it costs nothing.

namespace tessaly::app {

namespace {

constexpr char kWindowClass[] = "TFormMain";
constexpr UINT_PTR kTimerId = 1;

COLORREF Win32Color(widgets::TColor color) {
  const widgets::Rgb rgb = widgets::ToRgb(color);
  return RGB(rgb.r, rgb.g, rgb.b);
}

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  const RECT rect{left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

// The bevel as the class library draws it: for a lowered bevel each ring
// has its top and left edges in the shadow colour and its bottom and right
// edges (with the top-right and bottom-left corner pixels) in the
// highlight colour; a raised one the other way round.
void DrawBevel(HDC dc, const TPanel& panel) {
  if (panel.BevelOuter != bvLowered && panel.BevelOuter != bvRaised) return;
  const COLORREF shadow = Win32Color(widgets::clBtnShadow);
  const COLORREF highlight = Win32Color(widgets::clBtnHighlight);
  const COLORREF top_left = panel.BevelOuter == bvLowered ? shadow : highlight;
  const COLORREF bottom_right =
      panel.BevelOuter == bvLowered ? highlight : shadow;
  int left = panel.Bounds.Left;
  int top = panel.Bounds.Top;
  int right = left + panel.Bounds.Width - 1;
  int bottom = top + panel.Bounds.Height - 1;
  for (int ring = 0; ring < panel.BevelWidth && left < right && top < bottom;
       ++ring) {
    Fill(dc, left, top, left + 1, bottom + 1, top_left);
    Fill(dc, left, top, right, top + 1, top_left);
    Fill(dc, right, top, right + 1, bottom + 1, bottom_right);
    Fill(dc, left, bottom, right + 1, bottom + 1, bottom_right);
    ++left;
    ++top;
    --right;
    --bottom;
  }
}

// Copies an RGB bitmap to (x, y) of `dc`: a top-down 24-bit DIB, whose
// rows are blue-green-red and padded to four bytes.
void DrawBitmap(HDC dc, int x, int y, const widgets::RgbBitmap& bitmap) {
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  if (width <= 0 || height <= 0) return;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> bits(stride * static_cast<size_t>(height));
  const uint8_t* source = bitmap.Data();
  for (int row = 0; row < height; ++row) {
    uint8_t* out = &bits[stride * static_cast<size_t>(row)];
    for (int column = 0; column < width; ++column) {
      out[0] = source[2];
      out[1] = source[1];
      out[2] = source[0];
      out += 3;
      source += 3;
    }
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(
      dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
      static_cast<UINT>(height), bits.data(), &info, DIB_RGB_COLORS);
}

UINT TextFormat(const TLabel& label) {
  UINT format = DT_SINGLELINE | DT_NOPREFIX;
  switch (label.Alignment) {
    case taLeftJustify:
      format |= DT_LEFT;
      break;
    case taRightJustify:
      format |= DT_RIGHT;
      break;
    case taCenter:
      format |= DT_CENTER;
      break;
  }
  switch (label.Layout) {
    case tlTop:
      format |= DT_TOP;
      break;
    case tlCenter:
      format |= DT_VCENTER;
      break;
    case tlBottom:
      format |= DT_BOTTOM;
      break;
  }
  return format;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                            LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32MainWindow*>(
      GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  return static_cast<LRESULT>(
      self->HandleMessage(window, message, static_cast<uintptr_t>(wparam),
                          static_cast<intptr_t>(lparam)));
}

void RegisterWindowClass(HINSTANCE instance) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  // The icon comes from the program's resources; a test program without
  // them gets the system's default.
  window_class.hIcon = LoadIconA(instance, "MAINICON");
  window_class.hIconSm = static_cast<HICON>(LoadImageA(
      instance, "MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
      GetSystemMetrics(SM_CYSMICON), 0));
  window_class.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  window_class.lpszClassName = kWindowClass;
  registered = RegisterClassExA(&window_class) != 0;
}

}  // namespace

Win32MainWindow::Win32MainWindow(TFormMain& form,
                                 std::function<void()> on_close,
                                 std::function<void()> on_timer)
    : form_(form),
      on_close_(std::move(on_close)),
      on_timer_(std::move(on_timer)) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterWindowClass(instance);
  const TFont& font = form.LabelWait.Font;
  label_font_ = CreateFontA(
      font.Height, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
      FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
      DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, font.Name.c_str());
  // A caption and a system menu (the close button), no minimise or
  // maximise button and no sizing border.
  window_ = CreateWindowExA(0, kWindowClass, form.Caption.c_str(),
                            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                            CW_USEDEFAULT, CW_USEDEFAULT, form.Width,
                            form.Height, nullptr, nullptr, instance, this);
  form_.WaitingGradient.OnInvalidate = [this] {
    int left, top, right, bottom;
    IndicatorRect(left, top, right, bottom);
    const RECT rect{left, top, right, bottom};
    InvalidateRect(window_, &rect, FALSE);
  };
}

Win32MainWindow::~Win32MainWindow() {
  form_.WaitingGradient.OnInvalidate = nullptr;
  if (window_ != nullptr) {
    KillTimer(window_, kTimerId);
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (label_font_ != nullptr) DeleteObject(label_font_);
}

void Win32MainWindow::ShowCentred() {
  if (window_ == nullptr) return;
  RECT frame{};
  GetWindowRect(window_, &frame);
  const int width = static_cast<int>(frame.right - frame.left);
  const int height = static_cast<int>(frame.bottom - frame.top);
  SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
}

void Win32MainWindow::Hide() {
  if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
}

bool Win32MainWindow::Visible() const {
  return window_ != nullptr && IsWindowVisible(window_);
}

void Win32MainWindow::RepaintPanel() {
  if (window_ == nullptr) return;
  const TBounds& panel = form_.PanelWaiting.Bounds;
  const RECT rect{panel.Left, panel.Top, panel.Left + panel.Width,
                  panel.Top + panel.Height};
  InvalidateRect(window_, &rect, FALSE);
  UpdateWindow(window_);
}

void Win32MainWindow::SetTimer(bool enabled, uint32_t interval) {
  if (window_ == nullptr) return;
  if (enabled) {
    ::SetTimer(window_, kTimerId, interval, nullptr);
  } else {
    KillTimer(window_, kTimerId);
  }
}

void Win32MainWindow::IndicatorRect(int& left, int& top, int& right,
                                    int& bottom) const {
  const widgets::TWaitingGradient& gradient = form_.WaitingGradient;
  left = form_.PanelWaiting.Bounds.Left + gradient.Left();
  top = form_.PanelWaiting.Bounds.Top + gradient.Top();
  right = left + gradient.Width();
  bottom = top + gradient.Height();
}

void Win32MainWindow::Paint(void* target) {
  HDC dc = static_cast<HDC>(target);
  RECT client{};
  GetClientRect(window_, &client);
  const int width = static_cast<int>(client.right);
  const int height = static_cast<int>(client.bottom);
  if (width <= 0 || height <= 0) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old_bitmap = SelectObject(memory, bitmap);

  Fill(memory, 0, 0, width, height, Win32Color(form_.Color));

  // Aligned to the top, the label spans the client area's width.
  const TLabel& label = form_.LabelWait;
  RECT label_rect{0, 0, width, label.Bounds.Height};
  HGDIOBJ old_font = SelectObject(memory, label_font_);
  SetBkMode(memory, TRANSPARENT);
  SetTextColor(memory, Win32Color(label.Font.Color));
  DrawTextA(memory, label.Caption.c_str(), -1, &label_rect, TextFormat(label));
  SelectObject(memory, old_font);

  const TPanel& panel = form_.PanelWaiting;
  Fill(memory, panel.Bounds.Left, panel.Bounds.Top,
       panel.Bounds.Left + panel.Bounds.Width,
       panel.Bounds.Top + panel.Bounds.Height, Win32Color(panel.Color));
  DrawBevel(memory, panel);

  widgets::TWaitingGradient& gradient = form_.WaitingGradient;
  if (gradient.Visible() && gradient.Width() > 0 && gradient.Height() > 0) {
    int left, top, right, bottom;
    IndicatorRect(left, top, right, bottom);
    canvas_.Resize(gradient.Width(), gradient.Height());
    gradient.Paint(canvas_);
    DrawBitmap(memory, left, top, canvas_);
  }

  BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old_bitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

intptr_t Win32MainWindow::HandleMessage(HWND__* window, unsigned message,
                                        uintptr_t wparam, intptr_t lparam) {
  switch (message) {
    case WM_CLOSE:
      // Only the form decides whether the window closes.
      if (on_close_) on_close_();
      return 0;
    case WM_TIMER:
      if (wparam == kTimerId) {
        if (on_timer_) on_timer_();
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT paints every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      Paint(dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize = POINT{form_.Width, form_.Height};
      info->ptMaxTrackSize = POINT{form_.Width, form_.Height};
      return 0;
    }
    default:
      break;
  }
  return static_cast<intptr_t>(DefWindowProcA(window, message,
                                              static_cast<WPARAM>(wparam),
                                              static_cast<LPARAM>(lparam)));
}

}  // namespace tessaly::app
