// Readers of the files the writers make, written apart from the writers (and, for GIF and PNG,
// the libraries everyone else uses), so that a fuzz run can check a file gives back its pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qelva::fuzz {

// What a reader found: the picture's colour indices, top row first, and its colour table as
// blue, green, red per entry.
struct ReadPicture {
  int64_t width = 0;
  int64_t height = 0;
  std::vector<uint8_t> indices;
  std::vector<uint8_t> paletteBgr;
};

// An 8-bit bitmap file with its whole colour table, uncompressed or RLE8. Returns false with a reason in error when the file
// is malformed: a wrong mark or size, an offset outside the file, rows or records running past
// the end, or pixels an RLE8 stream leaves undrawn past its end-of-bitmap.
bool ReadBitmap8(const std::vector<uint8_t>& file, ReadPicture& picture, std::string& error);

#ifdef QELVA_HAVE_GIFLIB
bool ReadGif(const std::vector<uint8_t>& file, ReadPicture& picture, std::string& error);
#endif
#ifdef QELVA_HAVE_LIBPNG
// A palette PNG of 1, 4 or 8 bits, read by libpng and unpacked to one index per byte.
bool ReadPalettePng(const std::vector<uint8_t>& file, ReadPicture& picture, std::string& error);
#endif

}  // namespace qelva::fuzz
