// Fuzz target: the arithmetic of window sizes and of the overlay rectangle, given any metrics,
// limits, positions and sizes a system or a picture could report. The sanitizers stop at any
// signed overflow; the window is never moved, and the rectangle stays on its grid.
//
// The input is read as 32-bit numbers, little-endian; missing ones are 0.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "shell/fit_window.h"
#include "shell/overlay.h"

namespace {

class Numbers {
 public:
  Numbers(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int32_t Next() {
    uint32_t value = 0;
    const size_t take = at_ < size_ ? std::min<size_t>(4, size_ - at_) : 0;
    std::memcpy(&value, data_ + at_, take);
    at_ += 4;
    return static_cast<int32_t>(value);
  }
  int32_t Zoom() { return 1 + static_cast<int32_t>(static_cast<uint32_t>(Next()) % 4); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qelva::shell;
  Numbers n(data, size);
  const FitMetrics metrics{n.Next(), n.Next(), n.Next(), n.Next()};
  const ScreenRect bar{n.Next(), n.Next(), n.Next(), n.Next()};
  const int32_t screenWidth = n.Next(), screenHeight = n.Next();
  const FitLimits limits = (screenWidth & 1) ? LimitsFromTaskBar(screenWidth, screenHeight, &bar)
                                             : LimitsFromWorkArea(bar);
  const int32_t left = n.Next(), top = n.Next(), width = n.Next(), height = n.Next();
  const int32_t band = n.Next();
  int32_t askedWidth = 0;
  const FitResult fit = FitWindowToPicture(metrics, limits, left, top, width, height,
                                           [&](int32_t w) {
                                             askedWidth = w;
                                             return band;
                                           });
  if (fit.bounds.left != left || fit.bounds.top != top || askedWidth != fit.firstWidth) std::abort();

  const int32_t zoom = n.Zoom(), newZoom = n.Zoom();
  const int32_t pendingWidth = n.Next(), pendingHeight = n.Next();
  const ShapeBounds start{n.Next(), n.Next(), n.Next(), n.Next()};
  const ShapeBounds dragged = DragShape(start, n.Next(), n.Next(), n.Next(), n.Next(), pendingWidth,
                                        pendingHeight, zoom, n.Next(), n.Next());
  const int32_t grid = kOverlayGrid * zoom;
  if (dragged.left % grid != 0 || dragged.top % grid != 0) std::abort();
  if (dragged.width < 0 || dragged.height < 0) std::abort();
  (void)RescaleShape(dragged, zoom, newZoom, pendingWidth, pendingHeight);
  (void)ShapeAtOrigin(pendingWidth, pendingHeight, zoom);
  (void)PicturePosition(n.Next(), zoom);
  return 0;
}
