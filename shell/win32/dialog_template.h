// Modal dialogs built in memory: an empty dialog frame whose controls the dialog creates itself
// when it starts, laid out in pixels scaled for the screen's resolution.
#pragma once

#include <windows.h>

#include <string_view>

namespace qelva::win32 {

// A modal dialog with a caption bar, a system-menu button and a dialog frame, centred on the
// screen, whose messages go to HandleMessage (which answers as a dialog procedure does). An
// exception a handler raises ends that handler in the error box.
class DialogForm {
 public:
  virtual ~DialogForm() = default;

 protected:
  // Shows the dialog and returns its result once it is closed.
  INT_PTR ShowModal(HWND owner);
  virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  HWND dialog_ = nullptr;

 private:
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

// A control of the given class, at design coordinates scaled from designDpi to dpi.
HWND CreateControl(HWND dialog, const wchar_t* className, std::wstring_view text, DWORD style,
                   int id, int x, int y, int width, int height, UINT designDpi, UINT dpi,
                   HFONT font);

// Gives a dialog this outer size (scaled) and centres it on its monitor's work area.
void SizeAndCentre(HWND dialog, int outerWidth, int outerHeight, bool clientSize);

}  // namespace qelva::win32
