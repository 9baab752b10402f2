// Laying a second picture over the shown one: the conversion of the shown picture to 24 bits,
// the composition with colour index 0 transparent, and where the overlay rectangle stands while
// it is dragged on the 8-pixel grid and when the zoom changes.
#pragma once

#include <cstdint>

#include "common/dib_image.h"

namespace qelva::shell {

// Turns an indexed picture of 1, 4 or 8 bits per pixel into a 24-bit one in place: every pixel
// becomes the blue, green and red bytes of its colour-table entry, rows kept in storage order.
// The header gets bit count 24 and the new image size; the colour table stays in the info block,
// unused. A pixel whose index lies beyond the table becomes black.
//
// Returns false, changing nothing, for what it cannot convert exactly: other bit counts, a
// compressed or top-down picture, a width or height of 0 or less, or a pixel block shorter than
// its rows.
bool ConvertTo24Bit(DibImage& image);

// Lays the pending 8-bit picture onto `current` with its top-left pixel at column x, row y
// (counted from the top-left, as on the screen; either may be negative). `current` is first
// converted to 24 bits unless it has them already. Pending pixels of index 0 leave the picture
// below visible, and so do pixels whose index lies beyond the pending colour table; rows and
// columns that fall outside `current` are dropped.
//
// Returns false, changing nothing, when the pending picture is not an uncompressed bottom-up
// 8-bit picture whose pixel block holds its rows, or `current` cannot be converted.
bool ComposeOverlay(DibImage& current, const DibImage& pending, int32_t x, int32_t y);

// The overlay rectangle in the main window's client area, in screen pixels.
struct ShapeBounds {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const ShapeBounds&, const ShapeBounds&) = default;
};

// The overlay grid: 8 picture pixels.
inline constexpr int32_t kOverlayGrid = 8;

// Where the rectangle first appears: at the top-left, the pending picture's size x zoom.
ShapeBounds ShapeAtOrigin(int32_t pendingWidth, int32_t pendingHeight, int32_t zoom);

// Where a drag puts the rectangle. `mouseX`, `mouseY` and the grab point `originX`, `originY`
// are in the rectangle's own pixels; the new left and top are the mouse's client position minus
// the grab point, rounded toward zero to a multiple of 8 x zoom. The drawn size is the pending
// picture's size x zoom, cut where it would reach past the right or bottom edge of the shown
// picture (imageWidth x imageHeight screen pixels), never below 0.
ShapeBounds DragShape(const ShapeBounds& shape, int32_t mouseX, int32_t mouseY, int32_t originX,
                      int32_t originY, int32_t pendingWidth, int32_t pendingHeight,
                      int32_t zoom, int32_t imageWidth, int32_t imageHeight);

// The rectangle after a zoom change: its place scaled by newZoom / oldZoom (exact, since it
// stands on the old grid), its size the pending picture's size x newZoom.
ShapeBounds RescaleShape(const ShapeBounds& shape, int32_t oldZoom, int32_t newZoom,
                         int32_t pendingWidth, int32_t pendingHeight);

// The picture position a rectangle at a client position stands for: position div zoom.
int32_t PicturePosition(int32_t clientPosition, int32_t zoom);

}  // namespace qelva::shell
