// The window-fitting arithmetic: how large the main window becomes for a picture of IW x IH
// screen pixels (the picture's size times the zoom factor). The window is never moved; only its
// width and height change, within the limits of the free part of the screen.
#pragma once

#include <cstdint>
#include <functional>

namespace qelva::shell {

struct ScreenRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The system metrics the arithmetic reads.
struct FitMetrics {
  int32_t cxFrame = 0;    // width of the sizing frame at the left and at the right
  int32_t cyFrame = 0;    // height of the sizing frame at the bottom
  int32_t cxVScroll = 0;  // width of a vertical scroll bar
  int32_t cyHScroll = 0;  // height of a horizontal scroll bar
};

// The right and bottom edges the window may reach.
struct FitLimits {
  int32_t workAreaRight = 0;
  int32_t workAreaBottom = 0;
};

// The limits as the task bar gives them: the whole screen, except that a task bar whose left
// edge lies inside the screen (one on the right) ends the width there, and one whose top edge
// lies inside the screen (one at the bottom) ends the height there. A task bar on the left or at
// the top changes nothing. Without a task bar rectangle the limits are the screen's size.
FitLimits LimitsFromTaskBar(int32_t screenWidth, int32_t screenHeight, const ScreenRect* taskBar);

// The limits of a monitor's work area (the screen without the task bar and other docked bars).
FitLimits LimitsFromWorkArea(const ScreenRect& workArea);

struct FitResult {
  int32_t firstWidth = 0;  // the width set before the caption band is measured
  ScreenRect bounds;       // the window's final outer bounds
};

// Sizes a window whose outer top-left corner is at (left, top) for a picture of imageWidth x
// imageHeight. captionBand(width) answers, once the window has been given that width, the
// height from the window's top to its client area (caption, menu bar, upper frame): a narrower
// window may wrap its menu bar onto more lines. Every sum is taken in 64 bits and the result
// saturated to 32 bits, so no metric or picture size can overflow it.
FitResult FitWindowToPicture(const FitMetrics& metrics, const FitLimits& limits, int32_t left,
                             int32_t top, int32_t imageWidth, int32_t imageHeight,
                             const std::function<int32_t(int32_t width)>& captionBand);

}  // namespace qelva::shell
