#include "common/dib_image.h"

#include "common/byte_order.h"

namespace qelva {

uint64_t DibRowStride(int64_t width, unsigned bitCount) {
  const uint64_t w = width < 0 ? 0 : static_cast<uint64_t>(width);
  return (w * bitCount + 31) / 32 * 4;
}

int32_t DibImage::Width() const { return static_cast<int32_t>(ReadLe32(&info[dib_field::kWidth])); }
int32_t DibImage::Height() const {
  return static_cast<int32_t>(ReadLe32(&info[dib_field::kHeight]));
}
uint16_t DibImage::BitCount() const { return ReadLe16(&info[dib_field::kBitCount]); }
uint32_t DibImage::Compression() const { return ReadLe32(&info[dib_field::kCompression]); }
uint32_t DibImage::ImageSize() const { return ReadLe32(&info[dib_field::kImageSize]); }

void DibImage::SetWidth(int32_t width) {
  WriteLe32(&info[dib_field::kWidth], static_cast<uint32_t>(width));
}
void DibImage::SetHeight(int32_t height) {
  WriteLe32(&info[dib_field::kHeight], static_cast<uint32_t>(height));
}
void DibImage::SetBitCount(uint16_t bitCount) {
  WriteLe16(&info[dib_field::kBitCount], bitCount);
}
void DibImage::SetCompression(uint32_t compression) {
  WriteLe32(&info[dib_field::kCompression], compression);
}
void DibImage::SetImageSize(uint32_t size) { WriteLe32(&info[dib_field::kImageSize], size); }

uint64_t DibImage::PixelBlockSize() const {
  if (ImageSize() != 0) return ImageSize();
  const int64_t h = Height();
  return DibRowStride(Width(), BitCount()) * static_cast<uint64_t>(h < 0 ? -h : h);
}

}  // namespace qelva
