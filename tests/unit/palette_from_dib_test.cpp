// The logical palette is the colour table as (red, green, blue): as many entries as the header's
// colours used, or as the bit count tells apart, and none for 24 bits or a count past 256.
#include "shell/palette_from_dib.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "test_support.h"

namespace qelva::shell {
namespace {

using test::MakeDib;

// A header with the bit count and colours used, and MakeDib's table of 2^bitCount entries.
std::vector<uint8_t> Info(uint16_t bitCount, uint32_t coloursUsed) {
  std::vector<uint8_t> info = MakeDib(8, 1, bitCount, {}).info;
  WriteLe32(info.data() + dib_field::kColoursUsed, coloursUsed);
  return info;
}

PaletteColour TableColour(unsigned i) {
  return {test::TableRed(i), test::TableGreen(i), test::TableBlue(i)};
}

TEST(PaletteFromDib, EntriesAreTheColourTableAsRedGreenBlue) {
  const struct {
    uint16_t bitCount;
    uint32_t coloursUsed;
    size_t entries;
  } cases[] = {{8, 0, 256}, {8, 16, 16}, {8, 256, 256}, {4, 0, 16}, {1, 0, 2}, {1, 1, 1}};
  for (const auto& c : cases) {
    const auto palette = PaletteFromDib(Info(c.bitCount, c.coloursUsed));
    ASSERT_TRUE(palette.has_value()) << c.bitCount << " bits, " << c.coloursUsed << " used";
    ASSERT_EQ(palette->size(), c.entries) << c.bitCount << " bits, " << c.coloursUsed << " used";
    for (unsigned i = 0; i < c.entries; ++i) EXPECT_EQ((*palette)[i], TableColour(i)) << i;
  }
}

TEST(PaletteFromDib, CountsOutsideOneTo256GiveNoPalette) {
  const struct {
    uint16_t bitCount;
    uint32_t coloursUsed;
  } cases[] = {{24, 0}, {8, 257}, {8, 300}, {8, 0xFFFFFFFF}, {16, 0}, {32, 0}, {0xFFFF, 0}};
  for (const auto& c : cases) {
    EXPECT_FALSE(PaletteFromDib(Info(c.bitCount, c.coloursUsed)).has_value())
        << c.bitCount << " bits, " << c.coloursUsed << " used";
  }
}

TEST(PaletteFromDib, ColoursUsedGivesA24BitPictureItsPalette) {
  std::vector<uint8_t> info = Info(24, 3);
  info.insert(info.end(), {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0});
  const auto palette = PaletteFromDib(info);
  ASSERT_TRUE(palette.has_value());
  EXPECT_EQ(*palette, (std::vector<PaletteColour>{{30, 20, 10}, {60, 50, 40}, {90, 80, 70}}));
}

TEST(PaletteFromDib, ShortBlocksAreNeverReadPast) {
  // Under the 40-byte header: no palette at all.
  std::vector<uint8_t> info = Info(8, 0);
  EXPECT_FALSE(PaletteFromDib(std::span(info).first(39)).has_value());
  // A table cut after two and a half entries: the entries it does not wholly hold are black.
  const auto palette = PaletteFromDib(std::span(info).first(40 + 4 * 2 + 3));
  ASSERT_TRUE(palette.has_value());
  ASSERT_EQ(palette->size(), 256u);
  EXPECT_EQ((*palette)[1], TableColour(1));
  for (unsigned i = 2; i < 256; ++i) EXPECT_EQ((*palette)[i], PaletteColour{}) << i;
}

}  // namespace
}  // namespace qelva::shell
