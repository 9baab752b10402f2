// Fuzz target: a block another program put on the clipboard, read by DibFromClipboard, then laid
// onto a picture at a place drawn from the input, as Paste and a click do. Nothing may be read
// or written outside any block, a composition changes no pixel outside the laid rectangle, and
// what was read goes back to the clipboard as the same picture.
//
// Bytes 0-3 and 4-7 are the column and row (signed, little-endian), byte 8 and 9 the shown
// picture's width and height in units of 4 pixels, byte 10 whether it is 24-bit already (an
// earlier overlay) and the seed of its pixels; the rest is the clipboard block.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>

#include "common/dib_image.h"
#include "decode/palette.h"
#include "shell/clipboard_dib.h"
#include "shell/overlay.h"

namespace {

using qelva::DibImage;

int32_t Le32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return static_cast<int32_t>(v);
}

// A picture as the decoders give it: their 40-byte header and 256-colour table, 8 bits, rows of
// a multiple of 4 pixels, pixels and colours from a small generator.
DibImage ShownPicture(int32_t width, int32_t height, uint8_t seed) {
  DibImage image;
  image.info = qelva::NewDibInfo();
  image.SetWidth(width);
  image.SetHeight(height);
  uint32_t state = 0x9E3779B9u ^ seed;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<uint8_t>(state >> 24);
  };
  for (size_t i = qelva::kDibHeaderSize; i < image.info.size(); ++i) image.info[i] = next();
  image.bits.resize(size_t(width) * size_t(height));
  for (uint8_t& b : image.bits) b = next();
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 11) return 0;
  const int32_t x = Le32(data), y = Le32(data + 4);
  const int32_t width = 4 * (1 + data[8] % 64), height = 1 + data[9] % 256;
  const std::span<const uint8_t> block(data + 11, size - 11);

  std::optional<DibImage> pending = qelva::shell::DibFromClipboard(block);
  if (!pending) return 0;
  // What the reader accepts must be whole: its rows are there and its table has its colours.
  const uint64_t rows = qelva::DibRowStride(pending->Width(), pending->BitCount()) *
                        uint64_t(pending->Height());
  if (pending->Width() <= 0 || pending->Height() <= 0 || pending->bits.size() != rows) std::abort();
  // Copying what was pasted and pasting it again gives the same picture. (Copy writes the whole
  // table of 2^bit count colours, as the shown picture always has; a pasted one of fewer
  // colours is never copied as it stands.)
  const size_t fullInfo = pending->BitCount() == 24 ? qelva::kDibHeaderSize
                                                     : qelva::kDibHeaderSize + (4u << pending->BitCount());
  if (pending->info.size() == fullInfo) {
    const std::optional<DibImage> again =
        qelva::shell::DibFromClipboard(qelva::shell::PackedDibOf(*pending));
    if (!again || again->Width() != pending->Width() || again->Height() != pending->Height() ||
        again->BitCount() != pending->BitCount() || again->bits != pending->bits ||
        !std::equal(again->info.begin() + qelva::kDibHeaderSize, again->info.end(),
                    pending->info.begin() + qelva::kDibHeaderSize, pending->info.end()))
      std::abort();
  }

  DibImage shown = ShownPicture(width, height, data[10]);
  if ((data[10] & 1) && !qelva::shell::ConvertTo24Bit(shown)) std::abort();
  DibImage below = shown;
  if (!qelva::shell::ConvertTo24Bit(below) && below.BitCount() != 24) std::abort();

  const bool laid = qelva::shell::ComposeOverlay(shown, *pending, x, y);
  if (laid != (pending->BitCount() == 8)) std::abort();
  if (!laid) {
    // A picture that is not 8-bit waits, and is refused at the click: it converts on its own.
    DibImage converted = *pending;
    qelva::shell::ConvertTo24Bit(converted);
    return 0;
  }
  if (shown.BitCount() != 24 || shown.Width() != width || shown.Height() != height ||
      shown.bits.size() != below.bits.size())
    std::abort();
  // Outside the rectangle of the pending picture every pixel is the shown one, in 24 bits.
  const int64_t left = x, top = y, right = left + pending->Width(), bottom = top + pending->Height();
  const uint64_t stride = qelva::DibRowStride(width, 24);
  for (int64_t row = 0; row < height; ++row) {
    const bool rowInside = row >= top && row < bottom;
    const size_t at = size_t((height - 1 - row) * stride);
    for (int64_t column = 0; column < width; ++column) {
      if (rowInside && column >= left && column < right) continue;
      if (std::memcmp(&shown.bits[at + 3 * column], &below.bits[at + 3 * column], 3) != 0)
        std::abort();
    }
  }
  return 0;
}
