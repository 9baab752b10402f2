// The base of every end-to-end test: starts viewers, ends every one of their processes on every
// way out of a test, and leaves a screenshot beside the log when a test fails.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "harness/environment.h"
#include "harness/picture.h"
#include "harness/screen.h"
#include "harness/viewer_process.h"
#include "harness/windows.h"
#include "harness/x_input.h"

namespace qelva::e2e {

// The caption of a main window that shows no picture.
inline const std::wstring kUntitled = L"QelvaView (無題)";
// The caption of the error and message boxes.
inline const std::wstring kApplicationTitle = L"QelvaView (Type B)";

// "QelvaView <name> (WxHx8)" for a decoded picture.
std::wstring CaptionFor(const Decoded& picture);
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the viewer (or a copy of it, `program`) with these arguments; the process lives
  // until the test ends.
  ViewerProcess& Start(const std::vector<std::wstring>& arguments,
                       const std::wstring& program = {});
  // Starts it and waits for its main window; null (with a failure recorded) if none came.
  HWND StartAndWaitForWindow(const std::vector<std::wstring>& arguments,
                             const std::wstring& program = {});

  // Decodes a sample, starts the viewer on it, waits until its caption names it and brings it to
  // the front; null (with a failure recorded) when any of that failed.
  HWND ShowSample(const std::wstring& name, Decoded& picture);

  // Types keys into the window through X; records a failure when xdotool did not run them.
  ::testing::AssertionResult Keys(HWND window, const std::vector<std::string>& keys);
  // Chooses a zoom item of the View menu with the keyboard and waits until the picture control
  // has the size the zoom gives `picture`.
  ::testing::AssertionResult ZoomWithMenu(HWND main, const DibImage& picture, int zoom);

  // Opens a file with File > Open: types its path (a full one, or else the one inside the sample
  // folder) into the open dialog's file name field and presses Return. Succeeds once the dialog
  // has closed.
  ::testing::AssertionResult OpenThroughDialog(HWND main, const std::wstring& path);
  // Selects several files in the open dialog: types the folder and Return, which shows that
  // folder, then the names, each in double quotes, and Return.
  ::testing::AssertionResult OpenSeveralThroughDialog(HWND main, const std::wstring& folder,
                                                      const std::vector<std::wstring>& names);

  // Brings the window to the top of the X display, activates it and waits until it has handled
  // its messages.
  void BringToFront(HWND window);

  // The client area shows the picture at the zoom, lying where the picture control lies; a
  // freshly changed window gets a moment to finish painting.
  ::testing::AssertionResult ShowsPictureAt(HWND main, const DibImage& picture, int zoom);

  // The picture control's rectangle in the main window's client area.
  static RECT PictureRect(HWND main);

  // Waits for the caption to become `expected`; returns the last caption seen.
  static std::wstring WaitForCaption(HWND window, const std::wstring& expected,
                                     Millis timeout = 15s);

  // A visible popup menu of any process (none should be open when the menu is disabled).
  static bool PopupMenuOpen();

  // The error or message box of a process, found by its caption; null when none came.
  static HWND WaitForMessageBox(DWORD processId, Millis timeout = 15s);

 private:
  // Opens the open dialog with Alt+F, O and waits for it; null when none came.
  HWND OpenDialog(HWND main);
  // Types into the dialog's focused field and presses Return.
  ::testing::AssertionResult TypeAndEnter(HWND dialog, const std::wstring& text);

  std::vector<std::unique_ptr<ViewerProcess>> processes_;
};

}  // namespace qelva::e2e
