// Real keyboard and mouse input through the X server (xdotool and XTEST), which Wine turns into
// the same messages a user's keyboard and mouse make.
//
// Wine starts a Unix program from CreateProcess but gives back no process handle for it, so
// xdotool runs inside a small shell script that writes its exit status to a file once it has
// finished; the caller waits for that file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qelva::e2e {

struct XRun {
  int status = -1;     // xdotool's exit status; -1 when it did not finish in time
  std::string output;  // its standard output and error
};

// Runs a Unix program with these arguments and waits for it.
XRun RunUnixTool(const std::string& program, const std::vector<std::string>& arguments,
                 DWORD timeoutMs);
// Runs /usr/bin/xdotool with these arguments and waits for it.
XRun Xdotool(const std::vector<std::string>& arguments, DWORD timeoutMs = 15000);

// Drops the files on the window at the screen point as a file manager does, through the X
// drag-and-drop protocol (tools/xdnd_drop.py); Wine turns the drop into WM_DROPFILES.
XRun DropFiles(HWND window, POINT screenPoint, const std::vector<std::wstring>& windowsPaths);

// Whether the X tools can be run at all (xdotool found, X display reachable); the reason if not.
bool XToolsUsable(std::string& reason);

// The X window Wine made for a top-level window (0 when it has none).
unsigned long XWindowOf(HWND window);

// Focuses the window through X and types the keys (xdotool names: "alt+v", "Down", "Return").
// Returns xdotool's result; status 0 means every key went out.
XRun PressKeys(HWND window, const std::vector<std::string>& keys);
// Types text into the focused control of the window.
XRun TypeText(HWND window, const std::string& text);
// Moves the pointer to the screen point and clicks the left button once.
XRun ClickAt(POINT screenPoint);
// Presses the left button at `from`, moves the pointer to `to` in a few steps and releases it.
XRun DragWithLeftButton(POINT from, POINT to);
// Moves the pointer there and turns the mouse wheel one step down.
XRun WheelDown(POINT screenPoint);
// Raises the window above the others on the X display and gives it the focus, which activates
// it (run_e2e.sh lets Wine take the X focus as activation: no window manager runs).
XRun RaiseAndFocus(HWND window);

}  // namespace qelva::e2e

namespace qelva::e2e {

// PressKeys with a shorter pause between the keys, for a window that already has the focus and
// a menu command chosen many times over.
XRun PressKeysQuickly(HWND window, const std::vector<std::string>& keys, int delayMs);

}  // namespace qelva::e2e
