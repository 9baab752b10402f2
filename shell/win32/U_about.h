// TAboutForm: the about box. A raised bevel around the program's picture and a button that
// closes the box.
#pragma once

#include <windows.h>

#include "shell/win32/gdi.h"

namespace qelva::win32 {

class TAboutForm {
 public:
  explicit TAboutForm(HWND owner) : owner_(owner) {}
  // Shows the box modally; the result is OK when its button closed it.
  INT_PTR ShowModal();

 private:
  static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                          LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND owner_;
  HWND dialog_ = nullptr;
  HWND Image1 = nullptr, Button1 = nullptr;
  RECT bevel_{};
  UINT dpi_ = 96;
  GdiObject<HFONT> font_;
  Bitmap picture_;
  Brush background_;
};

}  // namespace qelva::win32
