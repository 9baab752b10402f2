// The small window framework the viewer's forms stand on: a Window base whose window procedure
// forwards to a virtual handler and turns every escaping exception into the error box, the
// message boxes in the framework's style, the busy cursor, and the screen resolution.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace qelva::win32 {

// UTF-8 <-> UTF-16 at the Windows boundary.
std::wstring W(std::string_view utf8);
std::string U8(std::wstring_view wide);

// The framework's error box: the message followed by ".", the application title as caption,
// the error icon.
void ShowErrorBox(HWND owner, std::string_view message);
// A plain message box with a fixed text, captioned with the application title.
void ShowMessageBox(HWND owner, std::string_view text);

// The warning box: caption "警告", the exclamation icon, and the buttons "OK" alone or "OK" and
// "ｷｬﾝｾﾙ" (OK the default button, Cancel the one Escape presses). True when it was answered OK.
bool ShowWarningBox(HWND owner, std::string_view text, bool withCancel);

// The message of any exception, as the error box shows it.
std::string MessageOfCurrentException();

// Runs a handler; an exception it raises ends it and is shown in the error box. Nothing
// unwinds into the Windows code that called us.
void Guarded(HWND owner, const std::function<void()>& handler);

// BusyCursor: the hourglass while loading, saving, copying, pasting and composing.
class BusyCursor {
 public:
  static void Set(bool busy);
  static bool IsOn();
  // For WM_SETCURSOR over the client area: true when it set the hourglass.
  static bool Apply();
};

// The hourglass for one scope: on when made, off again on every way out.
class BusyScope {
 public:
  BusyScope() { BusyCursor::Set(true); }
  ~BusyScope() { BusyCursor::Set(false); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
};

// The screen resolution a window is shown at, and design sizes scaled to it.
UINT DpiOfWindow(HWND window);
UINT SystemDpi();
inline int ScaleFrom(int designPixels, UINT designDpi, UINT dpi) {
  return MulDiv(designPixels, static_cast<int>(dpi), static_cast<int>(designDpi));
}

// A top-level or child window whose messages go to HandleMessage.
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND hwnd() const { return hwnd_; }

 protected:
  // Registers a window class whose procedure forwards to the Window created with it.
  static void RegisterWindowClass(const wchar_t* className, UINT style, HBRUSH background,
                                  HICON icon, HCURSOR cursor);
  void Create(const wchar_t* className, const std::wstring& caption, DWORD style, DWORD exStyle,
              int x, int y, int width, int height, HWND parent, HMENU menu);
  // The default answer is the system's.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Called after WM_NCDESTROY: the handle is gone.
  virtual void Destroyed() {}

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
};

// A child control that paints itself: WM_PAINT and WM_PRINTCLIENT go to Paint, which covers the
// whole control (its background is never erased first), and the hourglass shows over it while
// the program is busy.
class PaintedControl : public Window {
 protected:
  virtual void Paint(HDC dc, const RECT& area) = 0;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace qelva::win32
