// BI_RLE8 / BI_RLE4 streams, byte for byte. Rows are given as stored: the bottom row first,
// which is also the order in which they are encoded. (Round trips through an independent
// decoder are in bmp_test.cpp, where the files are written.)
#include "export/rle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "test_support.h"

namespace qelva {
namespace {

using test::Bytes;
using test::Cat;

// Lays out stored rows of bytes (bottom row first), each padded with zeros to 4 bytes.
Bytes Stored(const std::vector<Bytes>& rowsBottomFirst, size_t rowBytes) {
  const size_t stride = (rowBytes + 3) / 4 * 4;
  Bytes bits;
  for (const Bytes& row : rowsBottomFirst) {
    EXPECT_EQ(row.size(), rowBytes);
    bits.insert(bits.end(), row.begin(), row.end());
    bits.resize(bits.size() + stride - rowBytes, 0);
  }
  return bits;
}

// The RLE stream of an 8-bit picture of the given stored rows.
Bytes EncodeRows8(int32_t width, const std::vector<Bytes>& rowsBottomFirst) {
  const DibImage source = test::MakeDib(width, static_cast<int32_t>(rowsBottomFirst.size()), 8,
                                        Stored(rowsBottomFirst, static_cast<size_t>(width)));
  DibImage encoded;
  EXPECT_TRUE(EncodeRle8(source, encoded));
  return encoded.bits;
}

Bytes Repeat(size_t n, uint8_t value) { return Bytes(n, value); }
// n bytes alternating first, second, first, ...: each differs from the next.
Bytes Alternate(size_t n, uint8_t first, uint8_t second) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = i % 2 == 0 ? first : second;
  return out;
}

constexpr uint8_t A = 0x41, B = 0x42, C = 0x43, D = 0x44, E = 0x45;
const Bytes kEndOfLine{0x00, 0x00};
const Bytes kEndOfBitmap{0x00, 0x01};

TEST(RleEncoder, OneRowPicturesEncodeTheirRecordsThenEndOfBitmap) {
  const struct {
    const char* what;
    Bytes row;
    Bytes stream;
  } cases[] = {
      {"four different bytes: one absolute run",
       {A, B, C, D},
       {0x00, 0x04, A, B, C, D, 0x00, 0x01}},
      {"absolute run before a run gets its pad byte",
       {A, B, C, D, D, D},
       {0x00, 0x03, A, B, C, 0x00, 0x03, D, 0x00, 0x01}},
      {"two bytes before a pair are encoded runs",
       {A, B, C, C},
       {0x01, A, 0x01, B, 0x02, C, 0x00, 0x01}},
      {"run then absolute run", {E, E, A, B, C}, {0x02, E, 0x00, 0x03, A, B, C, 0x00, 0x00, 0x01}},
      {"equal bytes: one run", {D, D, D, D}, {0x04, D, 0x00, 0x01}},
      {"a single pixel", {B}, {0x01, B, 0x00, 0x01}},
      {"two different pixels", {A, B}, {0x01, A, 0x01, B, 0x00, 0x01}},
      // The last byte of the row is compared with the first padding byte (0).
      {"padding differs from the last byte", {A, B, C}, {0x00, 0x03, A, B, C, 0x00, 0x00, 0x01}},
      {"padding equals the last byte", {A, B, 0x00}, {0x01, A, 0x01, B, 0x01, 0x00, 0x00, 0x01}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeRows8(static_cast<int32_t>(c.row.size()), {c.row}), c.stream) << c.what;
  }
}

TEST(RleEncoder, AbsoluteRunLooksAtTheNextRowsFirstByteWhenARowHasNoPadding) {
  // Bottom row A B C D; the row after it in storage starts with E (different) or D (equal).
  EXPECT_EQ(EncodeRows8(4, {{A, B, C, D}, {E, E, E, E}}),
            Cat({{0x00, 0x04, A, B, C, D}, kEndOfLine, {0x04, E}, kEndOfBitmap}));
  EXPECT_EQ(EncodeRows8(4, {{A, B, C, D}, {D, D, D, D}}),
            Cat({{0x00, 0x03, A, B, C, 0x00, 0x01, D}, kEndOfLine, {0x04, D}, kEndOfBitmap}));
}

TEST(RleEncoder, EveryRowButTheLastEndsWithEndOfLineAndPaddingIsSkipped) {
  // Five pixels a row: three padding bytes that must not show up in the stream.
  EXPECT_EQ(EncodeRows8(5, {Repeat(5, A), Repeat(5, B), Repeat(5, C)}),
            Cat({{0x05, A}, kEndOfLine, {0x05, B}, kEndOfLine, {0x05, C}, kEndOfBitmap}));
}

TEST(RleEncoder, RunsLongerThan255AreSplit) {
  EXPECT_EQ(EncodeRows8(300, {Repeat(300, 0x07)}), (Bytes{0xFF, 0x07, 0x2D, 0x07, 0x00, 0x01}));
  EXPECT_EQ(EncodeRows8(600, {Repeat(600, 0x07)}),
            (Bytes{0xFF, 0x07, 0xFF, 0x07, 0x5A, 0x07, 0x00, 0x01}));
}

TEST(RleEncoder, AbsoluteRunsLongerThan255AreSplit) {
  const Bytes row = Alternate(300, A, B);  // ends in B
  const Bytes first(row.begin(), row.begin() + 255);
  const Bytes rest(row.begin() + 255, row.end());
  const Bytes restButLast(row.begin() + 255, row.end() - 1);

  // The next stored row starts with C, unlike the row's last byte.
  Bytes stream = EncodeRows8(300, {row, Repeat(300, C)});
  EXPECT_EQ(stream, Cat({{0x00, 0xFF},
                         first,
                         {0x00},
                         {0x00, 0x2D},
                         rest,
                         {0x00},
                         kEndOfLine,
                         {0xFF, C, 0x2D, C},
                         kEndOfBitmap}));

  // The next stored row starts with B, like the row's last byte: that byte becomes a run.
  stream = EncodeRows8(300, {row, Repeat(300, B)});
  EXPECT_EQ(stream, Cat({{0x00, 0xFF},
                         first,
                         {0x00},
                         {0x00, 0x2C},
                         restButLast,
                         {0x01, B},
                         kEndOfLine,
                         {0xFF, B, 0x2D, B},
                         kEndOfBitmap}));
}

TEST(RleEncoder, LastPixelOfThePixelBlockIsNotComparedWithAByteBeyondIt) {
  // Four pixels, no padding: the block ends right after D. The vector's size is exact, so a
  // read beyond it shows under the address sanitizer.
  DibImage source = test::MakeDib(4, 1, 8, {A, B, C, D});
  source.bits.shrink_to_fit();
  DibImage encoded;
  ASSERT_TRUE(EncodeRle8(source, encoded));
  EXPECT_EQ(encoded.bits, (Bytes{0x00, 0x04, A, B, C, D, 0x00, 0x01}));
}

TEST(RleEncoder, FourBitCountsArePixelsAndStayEven) {
  // Eight pixels 1..8 in four bytes. A record looks at most at half the bytes left, so the
  // absolute run covers two bytes and the last two bytes become runs of two pixels.
  DibImage source = test::MakeDib(8, 1, 4, {0x12, 0x34, 0x56, 0x78});
  DibImage encoded;
  ASSERT_TRUE(EncodeRle8(source, encoded));
  EXPECT_EQ(encoded.bits, (Bytes{0x00, 0x04, 0x12, 0x34, 0x02, 0x56, 0x02, 0x78, 0x00, 0x01}));

  // Twelve pixels: an absolute run of three bytes (six pixels) gets a pad byte.
  source = test::MakeDib(12, 1, 4, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x00, 0x00});
  ASSERT_TRUE(EncodeRle8(source, encoded));
  EXPECT_EQ(encoded.bits, (Bytes{0x00, 0x06, 0x12, 0x34, 0x56, 0x00, 0x02, 0x78, 0x02, 0x9A, 0x02,
                                 0xBC, 0x00, 0x01}));
}

// Walks an RLE4 stream of encoded and absolute runs and sums the pixels of each row.
std::vector<unsigned> PixelsPerRow4(const Bytes& stream) {
  std::vector<unsigned> rows{0};
  for (size_t i = 0; i + 1 < stream.size();) {
    const unsigned count = stream[i], second = stream[i + 1];
    if (count != 0) {
      EXPECT_EQ(count % 2, 0u) << "odd count at " << i;
      EXPECT_LE(count, 254u) << "at " << i;
      rows.back() += count;
      i += 2;
    } else if (second >= 3) {
      EXPECT_EQ(second % 2, 0u) << "odd count at " << i;
      EXPECT_LE(second, 254u) << "at " << i;
      rows.back() += second;
      const size_t bytes = second / 2;
      i += 2 + bytes + bytes % 2;
    } else if (second == 0) {
      rows.push_back(0);
      i += 2;
    } else {
      EXPECT_EQ(second, 1u) << "delta escape at " << i;
      EXPECT_EQ(i + 2, stream.size()) << "end of bitmap before the end";
      break;
    }
  }
  return rows;
}

TEST(RleEncoder, FourBitRowsOfAnyLengthUseEvenCountsOfAtMost254) {
  // 600 equal pixels, then 600 pixels whose bytes all differ, then an odd width.
  Bytes equal = Repeat(300, 0x11);
  DibImage encoded;
  ASSERT_TRUE(EncodeRle8(test::MakeDib(600, 1, 4, equal), encoded));
  EXPECT_EQ((Bytes(encoded.bits.begin(), encoded.bits.begin() + 2)), (Bytes{0xFE, 0x11}));
  EXPECT_EQ(PixelsPerRow4(encoded.bits), std::vector<unsigned>{600});

  Bytes differing(300);
  for (size_t i = 0; i < differing.size(); ++i) differing[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(EncodeRle8(test::MakeDib(600, 1, 4, differing), encoded));
  EXPECT_EQ((Bytes(encoded.bits.begin(), encoded.bits.begin() + 2)), (Bytes{0x00, 0xFE}));
  EXPECT_EQ(PixelsPerRow4(encoded.bits), std::vector<unsigned>{600});

  // Five pixels a row, three bytes: the last byte is encoded whole, six pixels a row.
  ASSERT_TRUE(
      EncodeRle8(test::MakeDib(5, 2, 4, {0x12, 0x34, 0x50, 0, 0x67, 0x89, 0xA0, 0}), encoded));
  EXPECT_EQ(encoded.bits, (Bytes{0x02, 0x12, 0x02, 0x34, 0x02, 0x50, 0x00, 0x00, 0x02, 0x67, 0x02,
                                 0x89, 0x02, 0xA0, 0x00, 0x01}));
}

TEST(RleEncoder, LiteralLengthCountsBytesThatDifferFromTheNext) {
  const Bytes bytes{A, B, C, C, D};
  const uint8_t* p = bytes.data();
  const uint8_t* end = p + bytes.size();
  EXPECT_EQ(LiteralLength(p, 5, end), 2u);  // stops before the pair C C
  EXPECT_EQ(LiteralLength(p, 1, end), 1u);
  EXPECT_EQ(LiteralLength(p, 0, end), 0u);
  EXPECT_EQ(LiteralLength(p + 2, 3, end), 0u);
  // The chunk's last byte is compared with the byte after the chunk.
  EXPECT_EQ(LiteralLength(p, 3, end), 2u);
  // ...unless that byte lies at the end: it is then not read and counts as different. The
  // C beyond `end` would otherwise stop the count at 2.
  EXPECT_EQ(LiteralLength(p, 3, p + 3), 3u);
}

TEST(RleEncoder, EncodedHeaderIsACopyWithCompressionAndStreamLength) {
  for (uint16_t bitCount : {uint16_t{8}, uint16_t{4}}) {
    DibImage source = test::MakeDib(8, 2, bitCount, Bytes(16, 0x33));
    WriteLe32(&source.info[dib_field::kXPelsPerMeter], 2835);
    WriteLe32(&source.info[dib_field::kYPelsPerMeter], 3780);
    WriteLe32(&source.info[dib_field::kColoursUsed], 7);
    WriteLe32(&source.info[dib_field::kColoursImportant], 5);
    source.info.insert(source.info.end(), {0xEE, 0xEE, 0xEE, 0xEE});  // beyond the table
    const DibImage original = source;

    DibImage encoded;
    ASSERT_TRUE(EncodeRle8(source, encoded));
    const size_t infoSize = 40 + (size_t{4} << bitCount);
    ASSERT_EQ(encoded.info.size(), infoSize) << bitCount;
    EXPECT_EQ(encoded.Compression(), bitCount == 8 ? 1u : 2u);
    EXPECT_EQ(encoded.ImageSize(), encoded.bits.size());
    Bytes expected(original.info.begin(), original.info.begin() + infoSize);
    WriteLe32(&expected[dib_field::kCompression], encoded.Compression());
    WriteLe32(&expected[dib_field::kImageSize], encoded.ImageSize());
    EXPECT_EQ(encoded.info, expected) << bitCount;
    EXPECT_EQ(source.info, original.info);
    EXPECT_EQ(source.bits, original.bits);
  }
}

TEST(RleEncoder, OtherBitCountsAreDeclinedAndLeaveTheOutputUntouched) {
  const DibImage sources[] = {
      test::MakeDib(2, 2, 24, Bytes(16, 0x44)),
      test::MakeDib(8, 2, 1, Bytes(8, 0x55)),
      test::MakeDib(2, 2, 16, Bytes(8, 0x66)),
  };
  for (const DibImage& source : sources) {
    DibImage encoded;
    encoded.info = {1, 2, 3};
    encoded.bits = {4, 5};
    EXPECT_FALSE(EncodeRle8(source, encoded)) << source.BitCount();
    EXPECT_EQ(encoded.info, (Bytes{1, 2, 3}));
    EXPECT_EQ(encoded.bits, (Bytes{4, 5}));
  }
}

TEST(RleEncoder, BlocksShorterThanTheHeaderSaysAreRefused) {
  auto shortTable = test::MakeDib(4, 1, 8, Bytes(4, 1));
  shortTable.info.resize(40 + 255 * 4);
  auto shortBits = test::MakeDib(4, 2, 8, Bytes(7, 1));
  auto hugeSizeField = test::MakeDib(4, 1, 8, Bytes(4, 1));
  WriteLe32(&hugeSizeField.info[dib_field::kSize], 0xFFFFFFFF);
  auto topDown = test::MakeDib(4, -1, 8, Bytes(4, 1));
  auto shortHeader = test::MakeDib(4, 1, 8, Bytes(4, 1));
  shortHeader.info.resize(20);
  const struct {
    const char* what;
    DibImage source;
  } cases[] = {
      {"colour table short of 256 entries", shortTable},
      {"one byte short of two rows", shortBits},
      {"size field beyond the block", hugeSizeField},
      {"negative height", topDown},
      {"header cut short", shortHeader},
      {"empty picture", DibImage{}},
  };
  for (const auto& c : cases) {
    DibImage encoded;
    EXPECT_THROW(EncodeRle8(c.source, encoded), PictureError) << c.what;
    EXPECT_TRUE(encoded.Empty()) << c.what;
  }
}

}  // namespace
}  // namespace qelva
