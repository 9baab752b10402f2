// Starting the viewer under test and making sure none of its processes outlives a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "harness/windows.h"

namespace qelva::e2e {

inline constexpr wchar_t kMainWindowClass[] = L"TMainForm";
inline constexpr wchar_t kPictureControlClass[] = L"TImage";

// One QelvaView.exe started by a test: its own arguments, the sample folder as its current
// directory. The destructor terminates it if it still runs. `program` is the viewer under test
// unless a copy of it (of the same file name) is given.
class ViewerProcess {
 public:
  explicit ViewerProcess(const std::vector<std::wstring>& arguments,
                         const std::wstring& program = {});
  ~ViewerProcess();
  ViewerProcess(const ViewerProcess&) = delete;
  ViewerProcess& operator=(const ViewerProcess&) = delete;

  bool Started() const { return process_ != nullptr; }
  const std::wstring& Failure() const { return failure_; }
  const std::wstring& CommandLine() const { return commandLine_; }
  DWORD Id() const { return id_; }

  // Waits until the process is idle and its main window is visible; null when it did not come.
  HWND WaitForMainWindow(Millis timeout = 20s);
  // Waits for the process to end; true when it has.
  bool WaitForExit(Millis timeout = 10s);
  bool Running() const;

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
  std::wstring commandLine_;
  std::wstring failure_;
};

// While one lives, viewer processes started after it get windows that Wine's X11 driver does not
// leave to a window manager (the Wine setting "Managed"="N" for the viewer's program name). No
// window manager runs here, and a managed window that closes waits about 2 s for a withdrawal
// that never comes: with this a dialog closes at once. The setting goes when this does.
class UnmanagedViewerWindows {
 public:
  UnmanagedViewerWindows();
  ~UnmanagedViewerWindows();
  UnmanagedViewerWindows(const UnmanagedViewerWindows&) = delete;
  UnmanagedViewerWindows& operator=(const UnmanagedViewerWindows&) = delete;
  bool Set() const { return set_; }

 private:
  std::wstring key_;
  bool set_ = false;
};

// Every running process of the viewer's program file, this test's own and those the viewer
// started itself.
std::vector<DWORD> ViewerProcessIds();
// Terminates all of them and waits until they are gone.
void EndAllViewerProcesses();

// The main windows of every running viewer process.
std::vector<HWND> AllMainWindows();

// The picture control inside a main window, or null.
HWND PictureControlOf(HWND mainWindow);

}  // namespace qelva::e2e
