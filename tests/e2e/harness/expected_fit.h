// The outer size a main window must have for a picture, worked out from the system metrics, the
// monitor's work area and the window's own measured caption band, the way a reader of the
// fitting rules would do it by hand.
#pragma once

#include <windows.h>

#include <string>

namespace qelva::e2e {

struct Fit {
  RECT bounds{};           // expected outer bounds on the screen
  bool widthCut = false;   // the width reached the right limit
  bool heightCut = false;  // the height reached the bottom limit
};

// For a picture shown at displayWidth x displayHeight screen pixels (picture size x zoom) in
// the window as it stands now: its left and top stay, its caption band (client top minus
// window top) is measured now.
Fit ExpectedFit(HWND main, int displayWidth, int displayHeight);

std::string Describe(const RECT& r);

}  // namespace qelva::e2e
