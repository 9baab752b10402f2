#include "shell/win32/framework.h"

#include <new>

#include "common/errors.h"
#include "common/wide_text_win.h"
#include "shell/caption.h"

namespace qelva::win32 {
namespace {

bool g_busy = false;

constexpr std::string_view kMsgCannotCreateWindow = "ｳｨﾝﾄﾞｳを作成できません";
constexpr std::string_view kWarningCaption = "警告";
constexpr std::string_view kOkCaption = "OK";
constexpr std::string_view kCancelCaption = "ｷｬﾝｾﾙ";

// The system's message box names its buttons in the system's language; the warning box names
// them as the rest of the program does. The hook renames them when the box activates, then
// removes itself.
thread_local HHOOK g_buttonHook = nullptr;

LRESULT CALLBACK NameButtons(int code, WPARAM wParam, LPARAM lParam) {
  const HHOOK hook = g_buttonHook;
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    SetDlgItemTextW(box, IDOK, W(kOkCaption).c_str());
    SetDlgItemTextW(box, IDCANCEL, W(kCancelCaption).c_str());
    UnhookWindowsHookEx(hook);
    g_buttonHook = nullptr;
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

std::wstring W(std::string_view utf8) { return WidenUtf8(utf8); }
std::string U8(std::wstring_view wide) { return NarrowToUtf8(wide); }

void ShowErrorBox(HWND owner, std::string_view message) {
  std::string text(message);
  text += ".";
  MessageBoxW(owner, W(text).c_str(), W(shell::kApplicationTitle).c_str(),
              MB_OK | MB_ICONERROR);
}

void ShowMessageBox(HWND owner, std::string_view text) {
  MessageBoxW(owner, W(text).c_str(), W(shell::kApplicationTitle).c_str(), MB_OK);
}

bool ShowWarningBox(HWND owner, std::string_view text, bool withCancel) {
  g_buttonHook = SetWindowsHookExW(WH_CBT, &NameButtons, nullptr, GetCurrentThreadId());
  const int answer =
      MessageBoxW(owner, W(text).c_str(), W(kWarningCaption).c_str(),
                  (withCancel ? MB_OKCANCEL : MB_OK) | MB_ICONWARNING | MB_DEFBUTTON1);
  if (g_buttonHook) {
    UnhookWindowsHookEx(g_buttonHook);
    g_buttonHook = nullptr;
  }
  return answer == IDOK;
}

std::string MessageOfCurrentException() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return OutOfMemoryError().what();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return FillMessage("I/O ｴﾗｰ (%d)", "-1");
  }
}

void Guarded(HWND owner, const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    // A failure ends the command; the cursor must not stay an hourglass behind the box.
    BusyCursor::Set(false);
    ShowErrorBox(owner, MessageOfCurrentException());
  }
}

void BusyCursor::Set(bool busy) {
  g_busy = busy;
  SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}
bool BusyCursor::IsOn() { return g_busy; }
bool BusyCursor::Apply() {
  if (!g_busy) return false;
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  return true;
}

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT DpiOfWindow(HWND window) {
  // GetDpiForWindow exists from Windows 10 1607 on; older systems have one resolution.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi && window) {
    const UINT dpi = getDpi(window);
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

Window::~Window() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void Window::RegisterWindowClass(const wchar_t* className, UINT style, HBRUSH background,
                                 HICON icon, HCURSOR cursor) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = &Window::Procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = icon;
  wc.hIconSm = icon;
  wc.hCursor = cursor;
  wc.hbrBackground = background;
  wc.lpszClassName = className;
  RegisterClassExW(&wc);
}

void Window::Create(const wchar_t* className, const std::wstring& caption, DWORD style,
                    DWORD exStyle, int x, int y, int width, int height, HWND parent,
                    HMENU menu) {
  CreateWindowExW(exStyle, className, caption.c_str(), style, x, y, width, height, parent, menu,
                  GetModuleHandleW(nullptr), this);
  if (!hwnd_) throw QelvaError(std::string(kMsgCannotCreateWindow));
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  LRESULT result = 0;
  try {
    result = self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    BusyCursor::Set(false);
    ShowErrorBox(GetAncestor(hwnd, GA_ROOT), MessageOfCurrentException());
    result = 0;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->Destroyed();
  }
  return result;
}

LRESULT PaintedControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd(), &ps);
      Paint(dc, ps.rcPaint);
      EndPaint(hwnd(), &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT all;
      GetClientRect(hwnd(), &all);
      Paint(reinterpret_cast<HDC>(wParam), all);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      if (BusyCursor::Apply()) return TRUE;
      break;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace qelva::win32
