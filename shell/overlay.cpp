#include "shell/overlay.h"

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

namespace qelva::shell {
namespace {

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// A multiple of grid, kept to the multiples that a 32-bit number holds.
int32_t SaturateOnGrid(int64_t value, int64_t grid) {
  const int64_t low = std::numeric_limits<int32_t>::min() / grid * grid;
  const int64_t high = std::numeric_limits<int32_t>::max() / grid * grid;
  return static_cast<int32_t>(std::clamp(value, low, high));
}

// Entries of the colour table the info block holds, at most 256.
size_t TableEntries(const DibImage& image) {
  return std::min<size_t>((image.info.size() - kDibHeaderSize) / 4, 256);
}

// The pending pictures ComposeOverlay reads: uncompressed, bottom-up, 8 bits, all rows there.
bool IsComposable(const DibImage& pending) {
  if (pending.info.size() < kDibHeaderSize) return false;
  if (pending.BitCount() != 8 || pending.Compression() != kBiRgb) return false;
  if (pending.Width() <= 0 || pending.Height() <= 0) return false;
  return pending.bits.size() >= DibRowStride(pending.Width(), 8) * uint64_t(pending.Height());
}

}  // namespace

bool ConvertTo24Bit(DibImage& image) {
  if (image.info.size() < kDibHeaderSize) return false;
  const unsigned b = image.BitCount();
  if (b != 1 && b != 4 && b != 8) return false;
  if (image.Compression() != kBiRgb || image.Width() <= 0 || image.Height() <= 0) return false;
  const uint64_t w = static_cast<uint64_t>(image.Width());
  const uint64_t h = static_cast<uint64_t>(image.Height());
  const uint64_t sourceRow = DibRowStride(image.Width(), b);
  if (image.bits.size() < sourceRow * h) return false;
  const uint64_t targetRow = DibRowStride(image.Width(), 24);
  const uint64_t targetSize = targetRow * h;
  // The header's image size is a 32-bit number.
  if (targetSize > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();

  const size_t entries = TableEntries(image);
  const uint8_t* table = image.ColourTable();
  const unsigned mask = (1u << b) - 1;
  const unsigned perByte = 8 / b;
  std::vector<uint8_t> converted(targetSize);
  for (uint64_t row = 0; row < h; ++row) {
    const uint8_t* from = image.bits.data() + row * sourceRow;
    uint8_t* to = converted.data() + row * targetRow;
    // Within a byte the first pixel is in the highest bits; the row ends after w pixels, even in
    // the middle of a byte.
    for (uint64_t x = 0; x < w; ++x) {
      const unsigned shift = (perByte - 1 - x % perByte) * b;
      const unsigned index = (from[x / perByte] >> shift) & mask;
      if (index < entries) {
        to[0] = table[4 * index];
        to[1] = table[4 * index + 1];
        to[2] = table[4 * index + 2];
      }  // else black, as the new block starts
      to += 3;
    }
  }
  image.SetBitCount(24);
  image.SetImageSize(static_cast<uint32_t>(targetSize));
  image.bits = std::move(converted);
  return true;
}

bool ComposeOverlay(DibImage& current, const DibImage& pending, int32_t x, int32_t y) {
  if (!IsComposable(pending)) return false;
  if (current.info.size() < kDibHeaderSize) return false;
  if (current.BitCount() != 24) {
    if (!ConvertTo24Bit(current)) return false;
  } else if (current.Compression() != kBiRgb || current.Width() <= 0 || current.Height() <= 0 ||
             current.bits.size() < DibRowStride(current.Width(), 24) * uint64_t(current.Height())) {
    return false;
  }
  const int64_t cw = current.Width(), ch = current.Height();
  const int64_t pw = pending.Width(), ph = pending.Height();
  const uint64_t sourceRow = DibRowStride(pw, 8);
  const uint64_t targetRow = DibRowStride(cw, 24);
  const size_t entries = TableEntries(pending);
  const uint8_t* table = pending.ColourTable();

  // Stored rows count from the bottom: pending stored row r covers stored row base + r.
  const int64_t base = ch - ph - int64_t{y};
  // Only the rows and columns that land inside the picture are visited.
  const int64_t firstRow = std::max<int64_t>(0, -base);
  const int64_t endRow = std::min<int64_t>(ph, ch - base);
  const int64_t firstColumn = std::max<int64_t>(0, -int64_t{x});
  const int64_t endColumn = std::min<int64_t>(pw, cw - int64_t{x});
  for (int64_t r = firstRow; r < endRow; ++r) {
    const uint8_t* from = pending.bits.data() + static_cast<uint64_t>(r) * sourceRow;
    uint8_t* to = current.bits.data() + static_cast<uint64_t>(base + r) * targetRow;
    for (int64_t c = firstColumn; c < endColumn; ++c) {
      const unsigned index = from[c];
      // Index 0 is transparent, and so is an index the table does not hold: it names no colour.
      if (index == 0 || index >= entries) continue;
      uint8_t* pixel = to + 3 * static_cast<uint64_t>(x + c);
      pixel[0] = table[4 * index];
      pixel[1] = table[4 * index + 1];
      pixel[2] = table[4 * index + 2];
    }
  }
  return true;
}

ShapeBounds ShapeAtOrigin(int32_t pendingWidth, int32_t pendingHeight, int32_t zoom) {
  return {0, 0, Saturate(int64_t{pendingWidth} * zoom), Saturate(int64_t{pendingHeight} * zoom)};
}

ShapeBounds DragShape(const ShapeBounds& shape, int32_t mouseX, int32_t mouseY, int32_t originX,
                      int32_t originY, int32_t pendingWidth, int32_t pendingHeight,
                      int32_t zoom, int32_t imageWidth, int32_t imageHeight) {
  const int64_t grid = int64_t{kOverlayGrid} * std::max(zoom, 1);
  // C++ division truncates toward zero: anything between -(grid - 1) and grid - 1 gives 0.
  const int64_t left = SaturateOnGrid((int64_t{mouseX} - originX + shape.left) / grid * grid, grid);
  const int64_t top = SaturateOnGrid((int64_t{mouseY} - originY + shape.top) / grid * grid, grid);
  int64_t width = int64_t{pendingWidth} * zoom;
  int64_t height = int64_t{pendingHeight} * zoom;
  if (left + width > imageWidth) width = imageWidth - left;
  if (top + height > imageHeight) height = imageHeight - top;
  return {static_cast<int32_t>(left), static_cast<int32_t>(top), Saturate(std::max<int64_t>(width, 0)),
          Saturate(std::max<int64_t>(height, 0))};
}

ShapeBounds RescaleShape(const ShapeBounds& shape, int32_t oldZoom, int32_t newZoom,
                         int32_t pendingWidth, int32_t pendingHeight) {
  const int64_t from = std::max(oldZoom, 1);
  return {Saturate(int64_t{shape.left} * newZoom / from),
          Saturate(int64_t{shape.top} * newZoom / from),
          Saturate(int64_t{pendingWidth} * newZoom), Saturate(int64_t{pendingHeight} * newZoom)};
}

int32_t PicturePosition(int32_t clientPosition, int32_t zoom) {
  return clientPosition / std::max(zoom, 1);
}

}  // namespace qelva::shell
