// The giflib peer of `qelvaconv -t gif`: converts 8-bit uncompressed BMP files into GIF87a files
// in one process, each row handed to giflib's EGifPutLine, as a converter built on giflib would.
//
//   qelva_giflib_convert OUT_DIR LIST_FILE     (LIST_FILE: one BMP path a line)
// Each BMP becomes OUT_DIR/<its path with "/" as "_">.gif, so that a tree's files do not collide.
#include <gif_lib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool Convert(const std::string& bmpPath, const std::string& gifPath) {
  std::ifstream in(bmpPath, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return false;
  const uint8_t* info = file.data() + 14;
  const int32_t width = static_cast<int32_t>(Le32(info + 4));
  const int32_t height = static_cast<int32_t>(Le32(info + 8));
  if (Le16(info + 14) != 8 || Le32(info + 16) != 0 || width <= 0 || height <= 0) return false;
  const uint32_t colours = Le32(info + 32) ? Le32(info + 32) : 256;
  const uint8_t* table = info + Le32(info);
  const uint8_t* pixels = file.data() + Le32(file.data() + 10);
  const size_t stride = (static_cast<size_t>(width) + 3) / 4 * 4;
  if (pixels + stride * height > file.data() + file.size()) return false;

  std::vector<GifColorType> palette(256);
  for (uint32_t i = 0; i < colours && i < 256; ++i) {
    palette[i] = {table[4 * i + 2], table[4 * i + 1], table[4 * i]};
  }
  ColorMapObject* map = GifMakeMapObject(256, palette.data());
  int error = 0;
  GifFileType* gif = EGifOpenFileName(gifPath.c_str(), false, &error);
  if (!gif) return false;
  EGifSetGifVersion(gif, false);
  bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
  std::vector<GifPixelType> row(static_cast<size_t>(width));
  for (int32_t y = 0; ok && y < height; ++y) {
    const uint8_t* stored = pixels + stride * static_cast<size_t>(height - 1 - y);
    row.assign(stored, stored + width);
    ok = EGifPutLine(gif, row.data(), width) == GIF_OK;
  }
  ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
  GifFreeMapObject(map);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OUT_DIR LIST_FILE\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  std::ifstream list(argv[2]);
  int failed = 0;
  for (std::string path; std::getline(list, path);) {
    std::string name = path;
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    if (name.size() > 4) name.resize(name.size() - 4);
    if (!Convert(path, out + "/" + name + ".gif")) {
      std::fprintf(stderr, "%s: not converted\n", path.c_str());
      ++failed;
    }
  }
  return failed ? 1 : 0;
}
