// Modal dialogs built in memory: an empty dialog frame whose controls the dialog creates itself
// when it starts, laid out in pixels scaled for the screen's resolution.
#pragma once

#include <windows.h>

#include <string_view>

namespace qelva::win32 {

// Shows a modal dialog with a caption bar, a system-menu button and a dialog frame, centred on
// the screen. procedure gets WM_INITDIALOG with param. Returns the dialog's result.
INT_PTR ShowModalDialog(HWND owner, DLGPROC procedure, LPARAM param);

// A control of the given class, at design coordinates scaled from designDpi to dpi.
HWND CreateControl(HWND dialog, const wchar_t* className, std::wstring_view text, DWORD style,
                   int id, int x, int y, int width, int height, UINT designDpi, UINT dpi,
                   HFONT font);

// Gives a dialog this outer size (scaled) and centres it on its monitor's work area.
void SizeAndCentre(HWND dialog, int outerWidth, int outerHeight, bool clientSize);

}  // namespace qelva::win32
