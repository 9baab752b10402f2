// DibImage: the header fields at their BITMAPINFOHEADER offsets and the size of the pixel block.
#include "common/dib_image.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace qelva {
namespace {

using test::Bytes;

TEST(DibImage, RowsArePaddedToWholeFourByteWords) {
  const struct {
    int64_t width;
    unsigned bitCount;
    uint64_t stride;
  } cases[] = {
      {1, 1, 4},     {32, 1, 4}, {33, 1, 8},
      {7, 4, 4},     {9, 4, 8},  {176, 8, 176},
      {301, 8, 304}, {1, 24, 4}, {5, 24, 16},
      {0, 8, 0},     {-3, 8, 0}, {0x7FFFFFFF, 24, 6442450944},  // no overflow in 32 bits
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DibRowStride(c.width, c.bitCount), c.stride) << c.width << " x " << c.bitCount;
  }
}

TEST(DibImage, PixelBlockIsTheImageSizeFieldOrElseThePaddedRows) {
  DibImage image = test::MakeDib(301, 3, 8, {});
  EXPECT_EQ(image.PixelBlockSize(), 304u * 3);
  image.SetHeight(-3);  // top-down rows take as much room
  EXPECT_EQ(image.PixelBlockSize(), 304u * 3);
  image.SetImageSize(77);  // an RLE stream's length
  EXPECT_EQ(image.PixelBlockSize(), 77u);
}

}  // namespace
}  // namespace qelva
