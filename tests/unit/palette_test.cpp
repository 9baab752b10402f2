#include "decode/palette.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "common/game_file.h"
#include "decode_fixtures.h"

namespace qelva {
namespace {

using decode_fixtures::Bytes;
using decode_fixtures::kWidened;

// The RGBQUAD that ConvertPalette makes of one stored word placed at entry 0.
std::array<uint8_t, 4> QuadOf(uint8_t high, uint8_t low) {
  Bytes stored(512, 0);
  stored[0] = high;
  stored[1] = low;
  std::array<uint8_t, 1024> table{};
  ConvertPalette(stored.data(), table.data());
  return {table[0], table[1], table[2], table[3]};
}

struct WordCase {
  const char* what;
  uint8_t high, low;
  std::array<uint8_t, 4> bgr0;  // blue, green, red, reserved
};

// Test listings name each case by what it shows.
void PrintTo(const WordCase& c, std::ostream* os) { *os << c.what; }

class PaletteWord : public ::testing::TestWithParam<WordCase> {};

TEST_P(PaletteWord, BecomesTheExpectedRgbQuad) {
  const WordCase& c = GetParam();
  EXPECT_EQ(QuadOf(c.high, c.low), c.bgr0) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    StoredWords, PaletteWord,
    ::testing::Values(
        WordCase{"bit 15 alone is black", 0x80, 0x00, {0, 0, 0, 0}},
        WordCase{"all fifteen bits are white", 0x7F, 0xFF, {255, 255, 255, 0}},
        WordCase{"bit 15 does not change white", 0xFF, 0xFF, {255, 255, 255, 0}},
        WordCase{"low five bits are red", 0x00, 0x1F, {0, 0, 255, 0}},
        WordCase{"bits 10 to 14 are blue", 0x7C, 0x00, {255, 0, 0, 0}},
        WordCase{"bits 5 to 9 are green", 0x03, 0xE0, {0, 255, 0, 0}},
        WordCase{"red 16 truncates to 131", 0x00, 0x10, {0, 0, 131, 0}},
        WordCase{"green 1 gives 8", 0x00, 0x20, {0, 8, 0, 0}},
        WordCase{"blue 30 truncates to 246", 0x78, 0x00, {246, 0, 0, 0}},
        WordCase{"high byte comes first", 0x00, 0x01, {0, 0, 8, 0}},
        WordCase{"mixed word with bit 15", 0xC0, 0x5E, {131, 16, 246, 0}}));

TEST(PaletteConversion, EveryComponentValueWidensByTruncation) {
  // Entry c holds the component value c in all three channels (c = 0 to 31).
  Bytes stored(512, 0);
  for (unsigned c = 0; c < 32; ++c) {
    const uint16_t w = decode_fixtures::Colour15(c, c, c);
    stored[2 * c] = static_cast<uint8_t>(w >> 8);
    stored[2 * c + 1] = static_cast<uint8_t>(w);
  }
  std::array<uint8_t, 1024> table{};
  ConvertPalette(stored.data(), table.data());
  for (unsigned c = 0; c < 32; ++c) {
    EXPECT_EQ(table[4 * c + 0], kWidened[c]) << "blue " << c;
    EXPECT_EQ(table[4 * c + 1], kWidened[c]) << "green " << c;
    EXPECT_EQ(table[4 * c + 2], kWidened[c]) << "red " << c;
  }
}

TEST(PaletteConversion, ReservedBytesAreLeftAsTheyWere) {
  const Bytes stored(512, 0xFF);
  std::array<uint8_t, 1024> table;
  table.fill(0xCC);
  ConvertPalette(stored.data(), table.data());
  for (size_t i = 0; i < 256; ++i) {
    EXPECT_EQ(table[4 * i + 2], 255) << i;
    EXPECT_EQ(table[4 * i + 3], 0xCC) << "reserved byte of entry " << i;
  }
}

TEST(PaletteConversion, TheLastWordFillsTheLastEntry) {
  Bytes stored(512, 0);
  stored[510] = 0x00;
  stored[511] = 0x1F;  // red
  std::array<uint8_t, 1024> table{};
  ConvertPalette(stored.data(), table.data());
  EXPECT_EQ(table[4 * 255 + 2], 255);
  EXPECT_EQ(table[4 * 254 + 2], 0);
}

TEST(ReadPalette, ReadsFiveHundredTwelveBytesAtThePositionAndStopsAfterThem) {
  decode_fixtures::ScratchFolder folder;
  // 10 bytes before the palette, 3 after it.
  const auto words = decode_fixtures::PatternWords(5);
  const std::string path = folder.Write(
      "pal.bin", decode_fixtures::Cat({Bytes(10, 0xFF), decode_fixtures::StoredPalette(words),
                                          Bytes(3, 0xFF)}));
  GameFile file(path);
  file.Seek(10);
  DibImage image;
  image.info = NewDibInfo();
  ReadPalette(image.ColourTable(), file);
  EXPECT_EQ(file.Position(), 522u);
  decode_fixtures::ExpectColourTable(image, words);
}

TEST(ReadPalette, AShortPaletteIsAReadBeyondTheEnd) {
  decode_fixtures::ScratchFolder folder;
  const std::string path = folder.Write("pal.bin", Bytes(511, 0));
  GameFile file(path);
  std::array<uint8_t, 1024> table{};
  try {
    ReadPalette(table.data(), file);
    FAIL() << "a 511-byte palette was read";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kReadBeyondEnd);
    EXPECT_STREQ(e.what(), "ﾌｧｲﾙの末尾以降を読み込みました");
  }
}

TEST(NewDibInfo, IsAZeroFilled8BitHeaderWithA256ColourTable) {
  const std::vector<uint8_t> info = NewDibInfo();
  ASSERT_EQ(info.size(), 1064u);
  EXPECT_EQ(ReadLe32(&info[0]), 40u) << "size";
  EXPECT_EQ(ReadLe16(&info[12]), 1u) << "planes";
  EXPECT_EQ(ReadLe16(&info[14]), 8u) << "bit count";
  EXPECT_EQ(ReadLe32(&info[16]), 0u) << "compression";
  // Everything else, width and height and the whole colour table included, is zero.
  for (size_t i = 0; i < info.size(); ++i) {
    if (i < 4 || (i >= 12 && i < 16)) continue;
    EXPECT_EQ(info[i], 0) << "byte " << i;
  }
}

}  // namespace
}  // namespace qelva
