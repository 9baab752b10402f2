// libFuzzer target: the bitmap and GIF writers given any DibImage, whatever its header says (as
// a picture pasted from the clipboard may), must write a file (or, for GIF, the file's bytes) or
// refuse with a QelvaError, and never read past either block.
//
// Bytes 0-1 give the length of the info block; it and the pixel block follow.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/dib_image.h"
#include "common/errors.h"
#include "export/bmp.h"
#include "export/gif.h"
#include "export/rle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t infoSize = std::min<size_t>(size - 2, size_t{data[0]} | size_t{data[1]} << 8);
  qelva::DibImage image;
  image.info.assign(data + 2, data + 2 + infoSize);
  image.bits.assign(data + 2 + infoSize, data + size);
  if (image.info.size() < qelva::kDibHeaderSize) image.info.resize(qelva::kDibHeaderSize);
  // A header may claim a billion rows of width 0: encoding them is correct but takes gigabytes,
  // which says nothing about bounds. Such heights are left to the unit tests.
  if (image.Height() > (1 << 20) || image.Height() < -(1 << 20)) return 0;

  static const std::string target =
      (std::filesystem::temp_directory_path() / ("qelva-fuzz-" + std::to_string(getpid()) + ".bmp"))
          .string();
  try {
    qelva::DibImage encoded;
    if (qelva::EncodeRle8(image, encoded)) qelva::WriteBitmapFile(target, encoded);
  } catch (const qelva::QelvaError&) {
  }
  try {
    qelva::WriteBitmapFile(target, image);
  } catch (const qelva::QelvaError&) {
  }
  // The last byte picks the GIF type: interlaced or not, index 0 transparent or none.
  const uint8_t type = data[size - 1];
  try {
    const std::vector<uint8_t> gif =
        qelva::GifFileBytes(image, (type & 1) != 0, (type & 2) ? int16_t{0} : int16_t{-1});
    if (gif.size() < 6 + 7 + 10 + 1 + 3 || gif.back() != 0x3B) __builtin_trap();
  } catch (const qelva::QelvaError&) {
  }
  return 0;
}
