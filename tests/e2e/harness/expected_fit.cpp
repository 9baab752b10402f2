#include "harness/expected_fit.h"

#include "harness/windows.h"
#include "harness/x_input.h"

#include <cstdio>

namespace qelva::e2e {

namespace {

// The limits of a window-fitting on the NT platform: the work area of the window's monitor.
// Under load, with several Wine prefixes busy side by side, Wine has now and then answered a
// test process with no monitor or an empty work area (its cache of the display devices read
// while another process rewrote them), though the viewer had fitted its window right. No window
// manager runs on the test's X display, so nothing takes screen room away: the work area is then
// the whole X screen, which X itself is asked for.
RECT WorkAreaOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info) &&
      !IsRectEmpty(&info.rcWork)) {
    return info.rcWork;
  }
  RECT screen{};
  const XRun run = Xdotool({"getdisplaygeometry"});
  int width = 0, height = 0;
  if (run.status == 0 && std::sscanf(run.output.c_str(), "%d %d", &width, &height) == 2) {
    screen = {0, 0, width, height};
  }
  std::fprintf(stderr, "expected fit: Wine gave no work area for the monitor; the X screen is %s\n",
               Describe(screen).c_str());
  return screen;
}

}  // namespace

Fit ExpectedFit(HWND main, int displayWidth, int displayHeight) {
  constexpr int kSmallest = 256;
  const RECT window = WindowRectOf(main);
  const RECT client = ClientRectOnScreen(main);
  const RECT work = WorkAreaOf(main);
  const int left = window.left, top = window.top;
  const int band = client.top - window.top;

  Fit fit;
  int w =
      displayWidth < kSmallest ? kSmallest : displayWidth + 2 * GetSystemMetrics(SM_CXFRAME) + 1;
  int h = displayHeight < kSmallest ? kSmallest : displayHeight + GetSystemMetrics(SM_CYFRAME) + 2;
  if (left + w > work.right) {
    w = work.right - left;
    h += GetSystemMetrics(SM_CYHSCROLL) + 1;  // room for the horizontal scroll bar
    fit.widthCut = true;
  }
  h += band;
  if (top + h > work.bottom) {
    h = work.bottom - top;
    w += GetSystemMetrics(SM_CXVSCROLL) + 1;  // room for the vertical scroll bar
    fit.heightCut = true;
    if (left + w > work.right) {
      w = work.right - left;
      fit.widthCut = true;
    }
  }
  fit.bounds = {left, top, left + w, top + h};
  return fit;
}

std::string Describe(const RECT& r) {
  std::string text = "(";
  text.append(std::to_string(r.left)).append(", ").append(std::to_string(r.top)).append(") ");
  text.append(std::to_string(r.right - r.left))
      .append("x")
      .append(std::to_string(r.bottom - r.top));
  return text;
}

}  // namespace qelva::e2e
