// The caption names the picture and its own size: width x height x bits, whatever the zoom.
#include "shell/caption.h"

#include <gtest/gtest.h>

#include <limits>

namespace qelva::shell {
namespace {

TEST(Caption, NamesThePictureAndItsSizeInPlainDecimal) {
  const struct {
    const char* name;
    int32_t width, height;
    uint16_t bitCount;
    const char* caption;
  } cases[] = {
      {"Item01.bin", 112, 112, 8, "QelvaView Item01.bin (112x112x8)"},
      {"omall.dat[3]", 176, 200, 8, "QelvaView omall.dat[3] (176x200x8)"},
      {"Kabe01.bin", 640, 400, 24, "QelvaView Kabe01.bin (640x400x24)"},
      {"背景.bin", 8, 1, 1, "QelvaView 背景.bin (8x1x1)"},
      // A pasted top-down bitmap keeps its sign; the bit count is read unsigned.
      {"", 0, -5, 0xFFFF, "QelvaView  (0x-5x65535)"},
      {"x", std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(), 32,
       "QelvaView x (2147483647x-2147483648x32)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PictureCaption(c.name, c.width, c.height, c.bitCount), c.caption);
  }
}

}  // namespace
}  // namespace qelva::shell
