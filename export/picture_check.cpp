#include "export/picture_check.h"

#include <string>

#include "common/dib_image.h"
#include "common/errors.h"

namespace qelva {

void CheckWritablePicture(const DibImage& image, const WriterLimits& limits) {
  if (image.info.size() < kDibHeaderSize) throw PictureError::BlocksTooShort();
  const uint16_t bitCount = image.BitCount();
  if (!limits.takesBitCount(bitCount)) throw PictureError::UnsupportedBitCount(bitCount);
  if (image.Compression() != kBiRgb) throw PictureError(std::string(limits.compressedMessage));
  const int32_t width = image.Width(), height = image.Height();
  // Rows stored top-down (a negative height) are not what the writers read.
  if (width <= 0 || height <= 0 || width > limits.maxSide || height > limits.maxSide) {
    throw PictureError(FillMessage(limits.sizeMessage,
                                   std::to_string(width) + " x " + std::to_string(height)));
  }
  const size_t tableBytes = bitCount <= 8 ? size_t{4} << bitCount : 0;
  const uint64_t pixelBytes = DibRowStride(width, bitCount) * static_cast<uint64_t>(height);
  if (image.info.size() < kDibHeaderSize + tableBytes || image.bits.size() < pixelBytes) {
    throw PictureError::BlocksTooShort();
  }
}

}  // namespace qelva
