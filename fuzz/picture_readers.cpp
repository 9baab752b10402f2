#include "fuzz/picture_readers.h"

#include <cstring>

#ifdef QELVA_HAVE_GIFLIB
#include "peer/giflib_reader.h"
#endif
#ifdef QELVA_HAVE_LIBPNG
#include <png.h>
#endif

namespace qelva::fuzz {
namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

bool Fail(std::string& error, const char* why) {
  error = why;
  return false;
}

// Decodes an RLE8 stream into rows stored bottom row first (as the file stores them).
bool DecodeRle8(const uint8_t* p, const uint8_t* end, int64_t width, int64_t height,
                std::vector<uint8_t>& bottomUp, std::string& error) {
  bottomUp.assign(static_cast<size_t>(width * height), 0);
  int64_t x = 0, y = 0;
  while (true) {
    if (end - p < 2) return Fail(error, "the RLE8 stream ends without end-of-bitmap");
    const uint8_t count = p[0], value = p[1];
    p += 2;
    if (count > 0) {
      if (y >= height || x + count > width) return Fail(error, "an RLE8 run leaves its row");
      std::memset(&bottomUp[static_cast<size_t>(y * width + x)], value, count);
      x += count;
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {
      return Fail(error, "the writer never writes a delta record");
    } else {  // absolute run of `value` bytes, padded to an even length
      const size_t stored = (value + 1u) & ~1u;
      if (static_cast<size_t>(end - p) < stored) return Fail(error, "an absolute run leaves the file");
      if (y >= height || x + value > width) return Fail(error, "an absolute run leaves its row");
      std::memcpy(&bottomUp[static_cast<size_t>(y * width + x)], p, value);
      x += value;
      p += stored;
    }
  }
}

}  // namespace

bool ReadBitmap8(const std::vector<uint8_t>& file, ReadPicture& picture, std::string& error) {
  if (file.size() < 14 + 40) return Fail(error, "shorter than the two headers");
  if (file[0] != 'B' || file[1] != 'M') return Fail(error, "no BM mark");
  if (Le32(file, 2) != file.size()) return Fail(error, "the file header's size is not the file's");
  const uint32_t offBits = Le32(file, 10);
  const uint32_t headerSize = Le32(file, 14);
  const auto width = static_cast<int32_t>(Le32(file, 18));
  const auto height = static_cast<int32_t>(Le32(file, 22));
  const uint16_t bitCount = Le16(file, 28);
  const uint32_t compression = Le32(file, 30);
  const uint32_t imageSize = Le32(file, 34);
  if (headerSize != 40 || Le16(file, 26) != 1) return Fail(error, "not a 40-byte one-plane header");
  if (bitCount != 8) return Fail(error, "not 8 bits per pixel");
  if (width <= 0 || height <= 0) return Fail(error, "not a bottom-up picture with pixels");
  // An 8-bit file holds the whole table of 256 entries, however many of them are used.
  const uint64_t tableEntries = 256;
  if (Le32(file, 46) > 256 || offBits != 14 + 40 + 4 * tableEntries)
    return Fail(error, "the pixel offset does not follow the colour table");
  if (offBits > file.size()) return Fail(error, "the pixel offset lies outside the file");
  picture.width = width;
  picture.height = height;
  picture.paletteBgr.clear();
  for (size_t i = 0; i < tableEntries; ++i) {
    const size_t at = 54 + 4 * i;
    picture.paletteBgr.insert(picture.paletteBgr.end(), {file[at], file[at + 1], file[at + 2]});
  }
  const uint8_t* pixels = file.data() + offBits;
  const uint8_t* end = file.data() + file.size();
  std::vector<uint8_t> bottomUp;
  if (compression == 0) {
    const uint64_t stride = (uint64_t(width) + 3) & ~uint64_t{3};
    if (uint64_t(end - pixels) < stride * uint64_t(height)) return Fail(error, "rows run past the end");
    bottomUp.resize(size_t(width) * size_t(height));
    for (int64_t y = 0; y < height; ++y)
      std::memcpy(&bottomUp[size_t(y * width)], pixels + y * stride, size_t(width));
  } else if (compression == 1) {
    if (imageSize != uint64_t(end - pixels)) return Fail(error, "the image size is not the stream's");
    if (!DecodeRle8(pixels, end, width, height, bottomUp, error)) return false;
  } else {
    return Fail(error, "neither uncompressed nor RLE8");
  }
  picture.indices.resize(bottomUp.size());
  for (int64_t y = 0; y < height; ++y)
    std::memcpy(&picture.indices[size_t(y * width)], &bottomUp[size_t((height - 1 - y) * width)],
                size_t(width));
  return true;
}

#ifdef QELVA_HAVE_GIFLIB
bool ReadGif(const std::vector<uint8_t>& file, ReadPicture& picture, std::string& error) {
  peer::GiflibPicture gif;
  if (!peer::ReadGifWithGiflib(file, gif, error)) return false;
  picture.width = gif.width;
  picture.height = gif.height;
  picture.indices = std::move(gif.indices);
  picture.paletteBgr.clear();
  for (size_t i = 0; i + 2 < gif.paletteRgb.size(); i += 3)
    picture.paletteBgr.insert(picture.paletteBgr.end(),
                              {gif.paletteRgb[i + 2], gif.paletteRgb[i + 1], gif.paletteRgb[i]});
  return true;
}
#endif

#ifdef QELVA_HAVE_LIBPNG
namespace {
struct PngSource {
  const std::vector<uint8_t>* bytes;
  size_t at = 0;
};
void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (source->bytes->size() - source->at < n) png_error(png, "read past the end of the file");
  std::memcpy(out, source->bytes->data() + source->at, n);
  source->at += n;
}
void PngFailure(png_structp png, png_const_charp message) {
  *static_cast<std::string*>(png_get_error_ptr(png)) = message;
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}
}  // namespace

bool ReadPalettePng(const std::vector<uint8_t>& file, ReadPicture& picture, std::string& error) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, PngFailure, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return Fail(error, "libpng cannot start");
  }
  PngSource source{&file};
  std::vector<png_bytep> rows;
  bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_set_read_fn(png, &source, PngRead);
    png_read_info(png, info);
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_PALETTE) {
      error = "not a palette PNG";
    } else {
      png_set_packing(png);  // one index per byte
      picture.width = png_get_image_width(png, info);
      picture.height = png_get_image_height(png, info);
      picture.indices.assign(size_t(picture.width * picture.height), 0);
      rows.resize(size_t(picture.height));
      for (int64_t y = 0; y < picture.height; ++y) rows[size_t(y)] = &picture.indices[size_t(y * picture.width)];
      png_read_image(png, rows.data());
      png_read_end(png, nullptr);
      png_colorp colours = nullptr;
      int count = 0;
      png_get_PLTE(png, info, &colours, &count);
      picture.paletteBgr.clear();
      for (int i = 0; i < count; ++i)
        picture.paletteBgr.insert(picture.paletteBgr.end(),
                                  {colours[i].blue, colours[i].green, colours[i].red});
      ok = true;
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}
#endif

}  // namespace qelva::fuzz
