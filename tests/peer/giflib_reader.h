// Reads a GIF file's bytes with giflib: the independent decoder that checks every GIF the
// project writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qelva::peer {

struct GiflibPicture {
  int width = 0;   // of the logical screen
  int height = 0;
  std::vector<uint8_t> paletteRgb;  // the global colour table: red, green, blue per entry
  std::vector<uint8_t> indices;     // width x height colour indices, top row first
  int transparentIndex = -1;        // from the graphic control extension, or -1
};

// Decodes a file holding one image with a global colour table that fills the screen. Returns
// false with a reason in error otherwise, or when giflib rejects the file.
bool ReadGifWithGiflib(const std::vector<uint8_t>& bytes, GiflibPicture& picture, std::string& error);

}  // namespace qelva::peer
