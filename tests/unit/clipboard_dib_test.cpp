// Pictures on the clipboard: the block Copy makes, and the reading of blocks other programs made,
// which must take every sound one and refuse everything else without reading outside the block.
#include "shell/clipboard_dib.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "shell/overlay.h"
#include "test_support.h"

namespace qelva::shell {
namespace {

using test::Bytes;
using test::Cat;
using test::Le16;
using test::Le32;

// A packed DIB built field by field: a header of headerSize bytes (the fields after the first 40
// are zero), `colours` table entries whose entry i is (i, 2i, 3i, 0), and the pixel bytes.
Bytes PackedDib(uint32_t headerSize, int32_t width, int32_t height, uint16_t bitCount,
                uint32_t compression, uint32_t imageSize, uint32_t coloursUsed, size_t colours,
                const Bytes& pixels) {
  Bytes block = Cat({Le32(headerSize), Le32(static_cast<uint32_t>(width)),
                     Le32(static_cast<uint32_t>(height)), Le16(1), Le16(bitCount),
                     Le32(compression), Le32(imageSize), Le32(2835), Le32(2835), Le32(coloursUsed),
                     Le32(0)});
  block.resize(headerSize, 0);
  for (size_t i = 0; i < colours; ++i) {
    block.insert(block.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i), 0});
  }
  block.insert(block.end(), pixels.begin(), pixels.end());
  return block;
}

Bytes Pattern(size_t n) {
  Bytes bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  return bytes;
}

TEST(PackedDib, CopyOfAnEightBitItemHoldsHeaderFullTableAndRows) {
  const DibImage item = test::MakeDib(112, 112, 8, Pattern(112 * 112));
  const Bytes packed = PackedDibOf(item);
  ASSERT_EQ(packed.size(), 13608u);
  EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 1064), item.info);
  EXPECT_EQ(Bytes(packed.begin() + 1064, packed.end()), item.bits);
  EXPECT_EQ(ReadLe32(&packed[dib_field::kImageSize]), 0u) << "the reader computes it";
}

TEST(PackedDib, CopyAfterAnOverlayIsTwentyFourBitWithoutATable) {
  DibImage item = test::MakeDib(112, 112, 8, Pattern(112 * 112));
  ASSERT_TRUE(ConvertTo24Bit(item));
  const Bytes packed = PackedDibOf(item);
  ASSERT_EQ(packed.size(), 40u + 336 * 112);
  EXPECT_EQ(ReadLe16(&packed[dib_field::kBitCount]), 24);
  EXPECT_EQ(ReadLe32(&packed[dib_field::kImageSize]), 37632u);
  EXPECT_EQ(Bytes(packed.begin() + 40, packed.end()), item.bits);
}

TEST(PackedDib, AFourBitPictureGetsItsSixteenEntriesAndMissingBytesAreZero) {
  DibImage small = test::MakeDib(3, 2, 4, {0xAB, 0xC0, 0, 0, 0x12, 0x30, 0, 0});
  small.bits.resize(5);  // shorter than its rows
  const Bytes packed = PackedDibOf(small);
  ASSERT_EQ(packed.size(), 40u + 64 + 8);
  EXPECT_EQ(Bytes(packed.end() - 4, packed.end()), (Bytes{0x12, 0, 0, 0}));
}

TEST(DibFromClipboard, ReadsItsOwnCopyBack) {
  const DibImage item = test::MakeDib(112, 112, 8, Pattern(112 * 112));
  const auto pasted = DibFromClipboard(PackedDibOf(item));
  ASSERT_TRUE(pasted.has_value());
  EXPECT_EQ(pasted->info.size(), 1064u);
  EXPECT_EQ(Bytes(pasted->info.begin() + 40, pasted->info.end()),
            Bytes(item.info.begin() + 40, item.info.end()));
  EXPECT_EQ(pasted->bits, item.bits);
  EXPECT_EQ(pasted->ImageSize(), 112u * 112) << "the computed length replaces 0";
  EXPECT_EQ(ReadLe32(&pasted->info[dib_field::kColoursUsed]), 256u);
}

TEST(DibFromClipboard, TakesTheTableItsColoursUsedSaysAndTheRowsAfterIt) {
  // 8 bits, 16 colours used, 5 x 2 with rows of 8 bytes.
  const Bytes pixels = Pattern(16);
  const auto pasted = DibFromClipboard(PackedDib(40, 5, 2, 8, 0, 0, 16, 16, pixels));
  ASSERT_TRUE(pasted.has_value());
  ASSERT_EQ(pasted->info.size(), 40u + 64);
  EXPECT_EQ(ReadLe32(&pasted->info[dib_field::kColoursUsed]), 16u);
  EXPECT_EQ(pasted->info[40 + 4 * 15 + 2], 45) << "red byte of entry 15";
  EXPECT_EQ(pasted->bits, pixels);
  EXPECT_EQ(pasted->ImageSize(), 16u);
}

TEST(DibFromClipboard, ReadsASixtyFourByteHeaderAsItsFirstFortyAndTheTableAfterIt) {
  const auto pasted = DibFromClipboard(PackedDib(64, 4, 1, 8, 0, 4, 2, 2, {1, 0, 1, 1}));
  ASSERT_TRUE(pasted.has_value());
  EXPECT_EQ(ReadLe32(&pasted->info[dib_field::kSize]), 40u);
  ASSERT_EQ(pasted->info.size(), 48u);
  EXPECT_EQ(Bytes(pasted->info.begin() + 44, pasted->info.end()), (Bytes{1, 2, 3, 0}));
  EXPECT_EQ(pasted->bits, (Bytes{1, 0, 1, 1}));
}

TEST(DibFromClipboard, TwentyFourBitPicturesWithoutColoursUsedHaveNoTable) {
  const Bytes pixels = Pattern(12 * 3);  // 3 x 3, rows of 9 bytes padded to 12
  const auto pasted = DibFromClipboard(PackedDib(40, 3, 3, 24, 0, 0, 0, 0, pixels));
  ASSERT_TRUE(pasted.has_value());
  EXPECT_EQ(pasted->info.size(), 40u);
  EXPECT_EQ(pasted->bits, pixels);
  // One and four bits get their full tables.
  EXPECT_EQ(DibFromClipboard(PackedDib(40, 1, 1, 1, 0, 0, 0, 2, Bytes(4)))->info.size(), 48u);
  EXPECT_EQ(DibFromClipboard(PackedDib(40, 1, 1, 4, 0, 0, 0, 16, Bytes(4)))->info.size(), 104u);
}

TEST(DibFromClipboard, KeepsOnlyTheRowsOfABlockWithALargerDeclaredSize) {
  const auto pasted = DibFromClipboard(PackedDib(40, 4, 1, 8, 0, 64, 0, 256, Pattern(64)));
  ASSERT_TRUE(pasted.has_value());
  EXPECT_EQ(pasted->bits, Pattern(4));
  EXPECT_EQ(pasted->ImageSize(), 4u);
}

TEST(DibFromClipboard, RefusesBlocksOutsideWhatItReads) {
  const struct {
    const char* what;
    Bytes block;
  } cases[] = {
      {"core header", PackedDib(12, 4, 1, 8, 0, 0, 0, 256, Bytes(4))},
      {"108-byte header", PackedDib(108, 4, 1, 8, 0, 0, 0, 256, Bytes(4))},
      {"124-byte header", PackedDib(124, 4, 1, 8, 0, 0, 0, 256, Bytes(4))},
      {"16 bits", PackedDib(40, 2, 1, 16, 0, 0, 0, 0, Bytes(4))},
      {"32 bits", PackedDib(40, 1, 1, 32, 0, 0, 0, 0, Bytes(4))},
      {"32 bits, bit fields", PackedDib(40, 1, 1, 32, 3, 0, 0, 3, Bytes(4))},
      {"2 bits", PackedDib(40, 4, 1, 2, 0, 0, 0, 4, Bytes(4))},
      {"0 bits", PackedDib(40, 4, 1, 0, 0, 0, 0, 0, Bytes(4))},
      {"RLE8", PackedDib(40, 4, 1, 8, 1, 4, 0, 256, {0, 1, 0, 0})},
      {"RLE4", PackedDib(40, 4, 1, 4, 2, 4, 0, 16, {0, 1, 0, 0})},
      {"300 colours", PackedDib(40, 4, 1, 8, 0, 0, 300, 300, Bytes(4))},
      {"top-down", PackedDib(40, 4, -1, 8, 0, 0, 0, 256, Bytes(4))},
      {"height 0", PackedDib(40, 4, 0, 8, 0, 0, 0, 256, {})},
      {"width 0", PackedDib(40, 0, 1, 8, 0, 0, 0, 256, {})},
      {"negative width", PackedDib(40, -4, 1, 8, 0, 0, 0, 256, Bytes(4))},
      {"huge size, short block", PackedDib(40, 0x7FFFFFFF, 0x7FFFFFFF, 24, 0, 0, 0, 0, Bytes(64))},
      {"rows beyond 4 GiB", PackedDib(40, 65536, 65536, 8, 0, 0, 0, 256, Bytes(64))},
      {"declared size short of the rows", PackedDib(40, 4, 2, 8, 0, 4, 0, 256, Bytes(8))},
      {"header alone", PackedDib(40, 4, 1, 8, 0, 0, 0, 0, {})},
      {"fewer than 40 bytes", Bytes(39, 40)},
      {"nothing", {}},
  };
  for (const auto& c : cases) EXPECT_FALSE(DibFromClipboard(c.block).has_value()) << c.what;
}

TEST(DibFromClipboard, EveryBlockCutShortOfItsRowsIsRefused) {
  // The reader must not read what is not there: a sanitizer build sees any stray read.
  const Bytes whole = PackedDib(64, 5, 3, 8, 0, 0, 16, 16, Pattern(24));
  ASSERT_TRUE(DibFromClipboard(whole).has_value());
  for (size_t n = 0; n < whole.size(); ++n) {
    const Bytes cut(whole.begin(), whole.begin() + n);
    EXPECT_FALSE(DibFromClipboard(cut).has_value()) << n << " bytes";
  }
}

}  // namespace
}  // namespace qelva::shell
