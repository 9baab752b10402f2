// TAboutForm: the about box. A raised bevel around the program's picture and a button that
// closes the box.
#pragma once

#include <windows.h>

#include "shell/win32/dialog_template.h"
#include "shell/win32/gdi.h"

namespace qelva::win32 {

class TAboutForm final : public DialogForm {
 public:
  explicit TAboutForm(HWND owner) : owner_(owner) {}
  // Shows the box modally; the result is OK when its button closed it.
  INT_PTR ShowModal();

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  HWND owner_;
  HWND Image1 = nullptr, Button1 = nullptr;
  RECT bevel_{};
  UINT dpi_ = 96;
  GdiObject<HFONT> font_;
  Bitmap picture_;
  Brush background_;
};

}  // namespace qelva::win32
