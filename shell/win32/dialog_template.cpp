#include "shell/win32/dialog_template.h"

#include <cstdint>
#include <string>
#include <vector>

#include "shell/win32/framework.h"

namespace qelva::win32 {

INT_PTR DialogForm::ShowModal(HWND owner) {
  // A DLGTEMPLATE followed by three empty words: no menu, the dialog class, no title (the
  // dialog sets its caption itself). The block must be aligned on a DWORD.
  struct alignas(4) Template {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, title;
  } block{};
  block.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
  block.dialog.cdit = 0;
  block.dialog.cx = 100;
  block.dialog.cy = 50;
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &block.dialog, owner,
                                 &DialogForm::Procedure, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK DialogForm::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    reinterpret_cast<DialogForm*>(lParam)->dialog_ = dialog;
  }
  auto* self = reinterpret_cast<DialogForm*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!self) return FALSE;
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    ShowErrorBox(dialog, MessageOfCurrentException());
    return TRUE;
  }
}

HWND CreateControl(HWND dialog, const wchar_t* className, std::wstring_view text, DWORD style,
                   int id, int x, int y, int width, int height, UINT designDpi, UINT dpi,
                   HFONT font) {
  auto scale = [&](int v) { return MulDiv(v, static_cast<int>(dpi), static_cast<int>(designDpi)); };
  const std::wstring caption(text);
  HWND control = CreateWindowExW(0, className, caption.c_str(), WS_CHILD | WS_VISIBLE | style,
                                 scale(x), scale(y), scale(width), scale(height), dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void SizeAndCentre(HWND dialog, int width, int height, bool clientSize) {
  if (clientSize) {
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    width = frame.right - frame.left;
    height = frame.bottom - frame.top;
  }
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& area = monitor.rcWork;
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace qelva::win32
