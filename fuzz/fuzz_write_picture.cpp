// Fuzz target: the bitmap, RLE8, GIF and PNG writers given any DibImage, whatever its header says
// (as a picture pasted from the clipboard may), must write their file or refuse with a
// QelvaError, and never read past either block. When the picture is a plain 8-bit one (the kind
// the decoders and the clipboard reader give), each file is read back by a reader of its own
// and must give back exactly the picture's pixels and colour table.
//
// Bytes 0-1 give the length of the info block; it and the pixel block follow. The last byte
// picks the GIF and PNG variants.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/dib_image.h"
#include "common/errors.h"
#include "export/bmp.h"
#include "export/gif.h"
#include "export/png.h"
#include "export/rle.h"
#include "fuzz/picture_readers.h"

namespace {

using qelva::DibImage;
using qelva::fuzz::ReadPicture;

// A picture whose every file must give back its pixels: 40-byte header, one plane, 8 bits,
// uncompressed, bottom-up, with its whole colour table and its rows.
bool IsPlain8Bit(const DibImage& image) {
  if (image.info.size() < qelva::kDecoderInfoSize) return false;
  uint32_t headerSize, used, imageSize;
  uint16_t planes;
  std::memcpy(&headerSize, &image.info[qelva::dib_field::kSize], 4);
  std::memcpy(&planes, &image.info[qelva::dib_field::kPlanes], 2);
  std::memcpy(&used, &image.info[qelva::dib_field::kColoursUsed], 4);
  std::memcpy(&imageSize, &image.info[qelva::dib_field::kImageSize], 4);
  if (headerSize != 40 || planes != 1 || used > 256 || image.BitCount() != 8 ||
      image.Compression() != qelva::kBiRgb || image.Width() <= 0 || image.Height() <= 0)
    return false;
  const uint64_t rows = qelva::DibRowStride(image.Width(), 8) * uint64_t(image.Height());
  return image.bits.size() >= rows && (imageSize == 0 || imageSize == rows);
}

[[noreturn]] void Mismatch(const char* file, const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", file, why.c_str());
  std::abort();
}

// The file must hold the picture: same size, the same index at every pixel, and (where the
// format keeps them) the same first `tableEntries` colours.
void ExpectSamePicture(const char* file, const DibImage& image, const ReadPicture& read,
                       size_t tableEntries) {
  const int64_t width = image.Width(), height = image.Height();
  if (read.width != width || read.height != height) Mismatch(file, "another size");
  const uint64_t stride = qelva::DibRowStride(width, 8);
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* row = image.bits.data() + (height - 1 - y) * stride;
    if (std::memcmp(row, &read.indices[size_t(y * width)], size_t(width)) != 0)
      Mismatch(file, "other pixels in row " + std::to_string(y));
  }
  if (read.paletteBgr.size() < 3 * tableEntries) Mismatch(file, "a shorter colour table");
  for (size_t i = 0; i < tableEntries; ++i) {
    const uint8_t* quad = &image.info[qelva::kDibHeaderSize + 4 * i];
    if (std::memcmp(quad, &read.paletteBgr[3 * i], 3) != 0)
      Mismatch(file, "colour " + std::to_string(i) + " differs");
  }
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using Reader = bool (*)(const std::vector<uint8_t>&, ReadPicture&, std::string&);

// The file's bytes, read by its own reader, must give back the picture.
void CheckReadBack(const char* kind, Reader reader, const std::vector<uint8_t>& file,
                   const DibImage& image) {
  ReadPicture read;
  std::string error;
  if (!reader(file, read, error)) Mismatch(kind, error);
  ExpectSamePicture(kind, image, read, 256);
}

void CheckBitmapFile(const char* kind, const std::string& path, const DibImage& image) {
  CheckReadBack(kind, qelva::fuzz::ReadBitmap8, FileBytes(path), image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t infoSize = std::min<size_t>(size - 2, size_t{data[0]} | size_t{data[1]} << 8);
  DibImage image;
  image.info.assign(data + 2, data + 2 + infoSize);
  image.bits.assign(data + 2 + infoSize, data + size);
  if (image.info.size() < qelva::kDibHeaderSize) image.info.resize(qelva::kDibHeaderSize);
  // A header may claim a billion rows of width 0: encoding them is correct but takes gigabytes,
  // which says nothing about bounds. Such heights are left to the unit tests.
  if (image.Height() > (1 << 20) || image.Height() < -(1 << 20)) return 0;
  const bool plain = IsPlain8Bit(image);

  static const std::string target =
      (std::filesystem::temp_directory_path() / ("qelva-fuzz-" + std::to_string(getpid()) + ".bmp"))
          .string();
  try {
    DibImage encoded;
    if (qelva::EncodeRle8(image, encoded)) {
      qelva::WriteBitmapFile(target, encoded);
      if (plain) CheckBitmapFile("RLE8 bitmap", target, image);
    } else if (plain) {
      Mismatch("RLE8 bitmap", "a plain 8-bit picture was not encoded");
    }
  } catch (const qelva::QelvaError& e) {
    if (plain) Mismatch("RLE8 bitmap", e.what());
  }
  try {
    DibImage copy = image;  // the writer sets the image size of an uncompressed header
    qelva::WriteBitmapFile(target, copy);
    if (plain) CheckBitmapFile("bitmap", target, image);
  } catch (const qelva::QelvaError& e) {
    if (plain) Mismatch("bitmap", e.what());
  }

  const uint8_t variant = data[size - 1];
  const bool plainSmall = plain && image.Width() <= qelva::kGifMaxSide && image.Height() <= qelva::kGifMaxSide;
  try {
    const std::vector<uint8_t> gif =
        qelva::GifFileBytes(image, (variant & 1) != 0, (variant & 2) ? int16_t{0} : int16_t{-1});
    if (gif.size() < 6 + 7 + 10 + 1 + 3 || gif.back() != 0x3B) Mismatch("GIF", "no trailer");
#ifdef QELVA_HAVE_GIFLIB
    if (plainSmall) CheckReadBack("GIF", qelva::fuzz::ReadGif, gif, image);
#endif
  } catch (const qelva::QelvaError& e) {
    if (plainSmall) Mismatch("GIF", e.what());
  }
  try {
    const std::vector<uint8_t> png = qelva::PngFileBytes(image, (variant & 4) != 0);
#ifdef QELVA_HAVE_LIBPNG
    if (plain) CheckReadBack("PNG", qelva::fuzz::ReadPalettePng, png, image);
#endif
  } catch (const qelva::QelvaError& e) {
    if (plain) Mismatch("PNG", e.what());
  }
  return 0;
}
