#include "harness/expected_fit.h"

#include "harness/windows.h"

namespace qelva::e2e {

namespace {

// The limits of a window-fitting on the NT platform: the work area of the window's monitor.
RECT WorkAreaOf(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcWork;
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
