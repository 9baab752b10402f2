// usage: qelva_giflib_decode FILE
//
// Decodes a GIF with giflib and writes what peer_decode.py writes: "<width> <height> <ncolours>
// <transparent>\n", the palette (red, green, blue per entry), then the colour indices, one byte
// each, top row first. Exits with 1 and a message when giflib cannot read the file.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "giflib_reader.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qelva_giflib_decode FILE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot open\n", argv[1]);
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  qelva::peer::GiflibPicture picture;
  std::string error;
  if (!qelva::peer::ReadGifWithGiflib(bytes, picture, error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::printf("%d %d %zu %d\n", picture.width, picture.height, picture.paletteRgb.size() / 3,
              picture.transparentIndex);
  std::fwrite(picture.paletteRgb.data(), 1, picture.paletteRgb.size(), stdout);
  std::fwrite(picture.indices.data(), 1, picture.indices.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
