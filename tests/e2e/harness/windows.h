// Looking at other processes' windows from outside, as a user's tools would: top-level windows
// by class and process, texts by WM_GETTEXT, rectangles, dialog controls.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qelva::e2e {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Polls until done() holds or the time is up; returns whether it held.
bool WaitUntil(const std::function<bool()>& done, Millis timeout, Millis step = 20ms);

// Waits until the window's thread has handled every message sent before this call.
bool SyncWith(HWND window);

std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);  // WM_GETTEXT, which works across processes
DWORD ProcessOf(HWND window);

// Visible top-level windows of a class, optionally only those of one process.
std::vector<HWND> TopLevelWindows(const std::wstring& className, DWORD processId = 0);
// The visible top-level window of the class whose caption is `caption`, or null.
HWND FindTopLevel(const std::wstring& className, const std::wstring& caption, DWORD processId = 0);
// Waits for such a window; null when none came in time.
HWND WaitForTopLevel(const std::wstring& className, const std::wstring& caption,
                     DWORD processId = 0, Millis timeout = 15s);

// Standard dialogs (message boxes, the archive chooser, the about box) are of this class.
inline constexpr wchar_t kDialogClass[] = L"#32770";
// The window class of a popup menu while it is open.
inline constexpr wchar_t kPopupMenuClass[] = L"#32768";

// The first visible dialog (class #32770) of the process that is not one of `before`; null when
// none came in time.
HWND WaitForNewDialog(DWORD processId, const std::vector<HWND>& before, Millis timeout = 10s);

// Direct children of a window, of a class (any when empty).
std::vector<HWND> ChildrenOf(HWND parent, const std::wstring& className = L"");
// The child of that class whose text is `text`, or null.
HWND FindChild(HWND parent, const std::wstring& className, const std::wstring& text);

// Rectangles in screen coordinates.
RECT WindowRectOf(HWND window);
RECT ClientRectOnScreen(HWND window);
// A window's rectangle relative to its parent's client area.
RECT RectInParentClient(HWND child);

// Waits until the window is gone (destroyed, or its process ended).
bool WaitUntilGone(HWND window, Millis timeout = 10s);

// Clicks a push button with BM_CLICK (its own press and release), posted so that a button that
// ends a modal dialog does not hold the caller until the dialog is gone.
void ClickButton(HWND button);

// List box access across processes.
int ListCount(HWND listBox);
std::wstring ListText(HWND listBox, int index);
std::vector<std::wstring> ListTexts(HWND listBox);
bool ListSelected(HWND listBox, int index);
std::vector<int> ListSelection(HWND listBox);
RECT ListItemRectOnScreen(HWND listBox, int index);

// The text a message box shows (its static text control, not the icon).
std::wstring MessageBoxText(HWND box);

}  // namespace qelva::e2e
