#include "shell/fit_window.h"

#include <algorithm>
#include <limits>

namespace qelva::shell {
namespace {

// Window sizes are 32-bit numbers; a sum that leaves that range stops at its edge.
int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Below this many screen pixels a picture gets a window of exactly this size.
constexpr int32_t kSmallestPicture = 256;

}  // namespace

FitLimits LimitsFromTaskBar(int32_t screenWidth, int32_t screenHeight, const ScreenRect* taskBar) {
  FitLimits limits{screenWidth, screenHeight};
  if (taskBar == nullptr) return limits;
  if (taskBar->left > 0 && taskBar->left < screenWidth) limits.workAreaRight = taskBar->left;
  if (taskBar->top > 0 && taskBar->top < screenHeight) limits.workAreaBottom = taskBar->top;
  return limits;
}

FitLimits LimitsFromWorkArea(const ScreenRect& workArea) {
  return {workArea.right, workArea.bottom};
}

FitResult FitWindowToPicture(const FitMetrics& metrics, const FitLimits& limits, int32_t left,
                             int32_t top, int32_t imageWidth, int32_t imageHeight,
                             const std::function<int32_t(int32_t width)>& captionBand) {
  using W = int64_t;
  // The frame: both side frames and one pixel across, the bottom frame and two pixels down.
  int32_t w = imageWidth < kSmallestPicture
                  ? kSmallestPicture
                  : Saturate(W{imageWidth} + 2 * W{metrics.cxFrame} + 1);
  int32_t h = imageHeight < kSmallestPicture
                  ? kSmallestPicture
                  : Saturate(W{imageHeight} + W{metrics.cyFrame} + 2);
  // Too wide: end at the right limit and make room for the horizontal scroll bar.
  if (W{left} + w > limits.workAreaRight) {
    w = Saturate(W{limits.workAreaRight} - left);
    h = Saturate(W{h} + metrics.cyHScroll + 1);
  }
  // The caption band is measured at the new width: a narrower menu bar may take more lines.
  const int32_t firstWidth = w;
  h = Saturate(W{h} + captionBand(firstWidth));
  // Too high: end at the bottom limit, make room for the vertical scroll bar, and stay within
  // the right limit all the same.
  if (W{top} + h > limits.workAreaBottom) {
    h = Saturate(W{limits.workAreaBottom} - top);
    w = Saturate(W{w} + metrics.cxVScroll + 1);
    if (W{left} + w > limits.workAreaRight) w = Saturate(W{limits.workAreaRight} - left);
  }
  return {firstWidth, {left, top, Saturate(W{left} + w), Saturate(W{top} + h)}};
}

}  // namespace qelva::shell
