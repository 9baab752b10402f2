// Laying a pending picture over the shown one: the conversion to 24 bits, the composition with
// index 0 transparent and the edges cut off, and the rectangle's place on the 8-pixel grid.
#include "shell/overlay.h"

#include <gtest/gtest.h>

#include <limits>

#include "common/byte_order.h"
#include "test_support.h"

namespace qelva::shell {
namespace {

using test::Bytes;
using test::MakeDib;
using test::MakeRows;
using test::PackRows;

// Blue, green, red of the 24-bit pixel at column x of stored row y.
Bytes Pixel24(const DibImage& image, int x, int storedRow) {
  const size_t at = DibRowStride(image.Width(), 24) * storedRow + 3 * static_cast<size_t>(x);
  return Bytes(image.bits.begin() + at, image.bits.begin() + at + 3);
}
Bytes TableColour(unsigned i) { return {test::TableBlue(i), test::TableGreen(i), test::TableRed(i)}; }

// An 8-bit picture whose stored row r, column c holds index(c, r).
DibImage StoredPicture(int width, int height, const std::function<uint8_t(int, int)>& index) {
  // MakeRows counts rows from the top; stored row r is row height - 1 - r from the top.
  return MakeDib(width, height, 8,
                 PackRows(MakeRows(width, height,
                                   [&](int x, int y) { return index(x, height - 1 - y); }),
                          width, 8));
}

TEST(ConvertTo24Bit, UnpacksOneAndFourBitRowsHighBitsFirstAndStopsMidByte) {
  // 1 bit, 10 wide: B0 40 gives 1 0 1 1 0 0 0 0 and then 0 1.
  DibImage one = MakeDib(10, 2, 1, {0xB0, 0x40, 0, 0, 0xFF, 0xC0, 0, 0});
  ASSERT_TRUE(ConvertTo24Bit(one));
  EXPECT_EQ(one.BitCount(), 24);
  EXPECT_EQ(one.ImageSize(), 32u * 2);
  ASSERT_EQ(one.bits.size(), 64u);  // rows of 30 bytes of pixels and 2 of padding
  const int expected[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(Pixel24(one, x, 0), TableColour(expected[x])) << "pixel " << x;
    EXPECT_EQ(Pixel24(one, x, 1), TableColour(1)) << "second row, pixel " << x;
  }
  EXPECT_EQ(Bytes(one.bits.begin() + 30, one.bits.begin() + 32), (Bytes{0, 0})) << "padding";

  // 4 bits, 3 wide: AB C0 gives A, B, C.
  DibImage four = MakeDib(3, 1, 4, {0xAB, 0xC0, 0, 0});
  ASSERT_TRUE(ConvertTo24Bit(four));
  EXPECT_EQ(Pixel24(four, 0, 0), TableColour(0xA));
  EXPECT_EQ(Pixel24(four, 1, 0), TableColour(0xB));
  EXPECT_EQ(Pixel24(four, 2, 0), TableColour(0xC));
  EXPECT_EQ(four.bits.size(), 12u);
}

TEST(ConvertTo24Bit, KeepsTheStorageOrderOfEightBitRowsAndTheColourTable) {
  DibImage image = StoredPicture(5, 3, [](int x, int r) { return uint8_t(r * 16 + x); });
  const Bytes table(image.info.begin() + kDibHeaderSize, image.info.end());
  ASSERT_TRUE(ConvertTo24Bit(image));
  EXPECT_EQ(image.Width(), 5);
  EXPECT_EQ(image.Height(), 3);
  EXPECT_EQ(image.ImageSize(), 16u * 3);
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Pixel24(image, x, r), TableColour(r * 16 + x));
  }
  EXPECT_EQ(Bytes(image.info.begin() + kDibHeaderSize, image.info.end()), table);
}

TEST(ConvertTo24Bit, PaintsIndexesBeyondAShortTableBlack) {
  DibImage image = MakeDib(4, 1, 8, {0, 1, 2, 200});
  image.info.resize(kDibHeaderSize + 4 * 3);  // a table of three colours
  ASSERT_TRUE(ConvertTo24Bit(image));
  EXPECT_EQ(Pixel24(image, 2, 0), TableColour(2));
  EXPECT_EQ(Pixel24(image, 3, 0), (Bytes{0, 0, 0}));
}

TEST(ConvertTo24Bit, RefusesWhatItCannotConvertExactlyAndChangesNothing) {
  struct Case {
    const char* what;
    DibImage image;
  };
  DibImage compressed = MakeDib(4, 1, 8, {1, 2, 3, 4});
  compressed.SetCompression(kBiRle8);
  DibImage topDown = MakeDib(4, 1, 8, {1, 2, 3, 4});
  topDown.SetHeight(-1);
  DibImage shortRows = MakeDib(4, 2, 8, {1, 2, 3, 4});
  DibImage noWidth = MakeDib(4, 1, 8, {1, 2, 3, 4});
  noWidth.SetWidth(0);
  Case cases[] = {{"24 bits", MakeDib(1, 1, 24, {1, 2, 3, 0})},
                  {"2 bits", MakeDib(4, 1, 2, {0x1B, 0, 0, 0})},
                  {"compressed", compressed},
                  {"top-down", topDown},
                  {"rows missing", shortRows},
                  {"width 0", noWidth},
                  {"no header", DibImage{Bytes(39, 0), {}}}};
  for (Case& c : cases) {
    const DibImage before = c.image;
    EXPECT_FALSE(ConvertTo24Bit(c.image)) << c.what;
    EXPECT_EQ(c.image.info, before.info) << c.what;
    EXPECT_EQ(c.image.bits, before.bits) << c.what;
  }
}

class ComposeOverlayTest : public ::testing::Test {
 protected:
  // A 640 x 448 picture of index 7 everywhere, as the shown picture.
  DibImage background = StoredPicture(640, 448, [](int, int) { return uint8_t(7); });
};

TEST_F(ComposeOverlayTest, AtTheTopLeftThePendingBottomRowLandsOnStoredRow336) {
  // Pending stored row r holds index r + 1 in every column, so each row is recognisable.
  const DibImage pending = StoredPicture(112, 112, [](int, int r) { return uint8_t(r + 1); });
  ASSERT_TRUE(ComposeOverlay(background, pending, 0, 0));
  EXPECT_EQ(background.BitCount(), 24);
  EXPECT_EQ(Pixel24(background, 0, 336), TableColour(1));
  EXPECT_EQ(Pixel24(background, 111, 447), TableColour(112));
  EXPECT_EQ(Pixel24(background, 112, 447), TableColour(7)) << "right of the overlay";
  EXPECT_EQ(Pixel24(background, 0, 335), TableColour(7)) << "below the overlay";
}

TEST_F(ComposeOverlayTest, IndexZeroAndIndexesBeyondThePendingTableLeaveThePictureBelow) {
  // A pasted picture of 16 colours whose pixels run 0, 5, 15, 16, 200, 255.
  DibImage pending = MakeDib(6, 1, 8, {0, 5, 15, 16, 200, 255, 0, 0});
  pending.info.resize(kDibHeaderSize + 4 * 16);
  WriteLe32(&pending.info[dib_field::kColoursUsed], 16);
  ASSERT_TRUE(ComposeOverlay(background, pending, 8, 0));
  const int top = 447;
  EXPECT_EQ(Pixel24(background, 8, top), TableColour(7));
  EXPECT_EQ(Pixel24(background, 9, top), TableColour(5));
  EXPECT_EQ(Pixel24(background, 10, top), TableColour(15));
  for (int x = 11; x < 14; ++x) EXPECT_EQ(Pixel24(background, x, top), TableColour(7)) << x;
}

TEST_F(ComposeOverlayTest, AnAllZeroPendingPictureChangesNothingButTheBitCount) {
  DibImage expected = background;
  ASSERT_TRUE(ConvertTo24Bit(expected));
  const DibImage pending = StoredPicture(112, 112, [](int, int) { return uint8_t(0); });
  ASSERT_TRUE(ComposeOverlay(background, pending, 40, 40));
  EXPECT_EQ(background.info, expected.info);
  EXPECT_EQ(background.bits, expected.bits);
}

TEST_F(ComposeOverlayTest, RowsAndColumnsOutsideThePictureAreDropped) {
  const DibImage pending = StoredPicture(112, 112, [](int c, int) { return uint8_t(c + 1); });
  DibImage expected = background;
  ASSERT_TRUE(ConvertTo24Bit(expected));
  // Placed at column 560: columns 80 to 111 fall past the right edge.
  ASSERT_TRUE(ComposeOverlay(background, pending, 560, 0));
  for (int r = 336; r < 448; ++r) {
    EXPECT_EQ(Pixel24(background, 639, r), TableColour(80)) << "pending column 79, row " << r;
  }
  // Nothing wrapped into the next row or beyond the picture's rows.
  for (int r = 0; r < 336; ++r) EXPECT_EQ(Pixel24(background, 0, r), TableColour(7)) << r;
  EXPECT_EQ(Pixel24(background, 0, 337), TableColour(7));
  EXPECT_EQ(background.bits.size(), expected.bits.size());

  // Moved to top -16 and left -8: the top 16 rows and the left 8 columns are dropped.
  DibImage second = StoredPicture(640, 448, [](int, int) { return uint8_t(7); });
  const DibImage rows = StoredPicture(112, 112, [](int c, int r) { return uint8_t(1 + (r + c) % 200); });
  ASSERT_TRUE(ComposeOverlay(second, rows, -8, -16));
  // Picture row 0 (stored row 447) shows pending row 16 from the top: stored row 95.
  EXPECT_EQ(Pixel24(second, 0, 447), TableColour(1 + (95 + 8) % 200));
  // Pending stored row 0 lands on stored row 448 - 112 + 16 = 352.
  EXPECT_EQ(Pixel24(second, 103, 352), TableColour(1 + (0 + 111) % 200));
  EXPECT_EQ(Pixel24(second, 104, 352), TableColour(7));
  EXPECT_EQ(Pixel24(second, 0, 351), TableColour(7));
}

TEST_F(ComposeOverlayTest, PlacesFarOutsideThePictureComposeNothingAndOverflowNothing) {
  const DibImage pending = StoredPicture(16, 16, [](int, int) { return uint8_t(3); });
  DibImage expected = background;
  ASSERT_TRUE(ConvertTo24Bit(expected));
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  for (auto [x, y] : {std::pair{kMin, 0}, std::pair{0, kMin}, std::pair{kMax, 0},
                      std::pair{0, kMax}, std::pair{kMin, kMax}, std::pair{-16, 0},
                      std::pair{640, 0}, std::pair{0, 448}, std::pair{0, -16}}) {
    ASSERT_TRUE(ComposeOverlay(background, pending, x, y)) << x << "," << y;
    EXPECT_EQ(background.bits, expected.bits) << x << "," << y;
  }
}

TEST_F(ComposeOverlayTest, FurtherOverlaysComposeOntoTheTwentyFourBitPicture) {
  const DibImage first = StoredPicture(8, 8, [](int, int) { return uint8_t(1); });
  const DibImage second = StoredPicture(8, 8, [](int c, int) { return uint8_t(c < 4 ? 0 : 2); });
  ASSERT_TRUE(ComposeOverlay(background, first, 0, 0));
  ASSERT_TRUE(ComposeOverlay(background, second, 0, 0));
  EXPECT_EQ(Pixel24(background, 3, 447), TableColour(1)) << "index 0 of the second keeps the first";
  EXPECT_EQ(Pixel24(background, 4, 447), TableColour(2));
}

TEST_F(ComposeOverlayTest, PendingPicturesThatAreNotWholeEightBitOnesAreRefused) {
  DibImage compressed = StoredPicture(4, 4, [](int, int) { return uint8_t(1); });
  compressed.SetCompression(kBiRle8);
  DibImage topDown = StoredPicture(4, 4, [](int, int) { return uint8_t(1); });
  topDown.SetHeight(-4);
  DibImage shortRows = StoredPicture(4, 4, [](int, int) { return uint8_t(1); });
  shortRows.bits.resize(15);
  for (const DibImage& pending : {MakeDib(1, 1, 24, {9, 9, 9, 0}), MakeDib(8, 1, 4, {0x11, 0x11, 0x11, 0x11}),
                                  compressed, topDown, shortRows}) {
    DibImage current = StoredPicture(16, 16, [](int, int) { return uint8_t(7); });
    const DibImage before = current;
    EXPECT_FALSE(ComposeOverlay(current, pending, 0, 0));
    EXPECT_EQ(current.info, before.info) << "the shown picture stays 8-bit";
    EXPECT_EQ(current.bits, before.bits);
  }
}

TEST(OverlayShape, DragsSnapTowardZeroOnTheGridOfEightTimesTheZoom) {
  // Zoom 2 (grid 16), grabbed at (5, 5), the rectangle at (0, 0).
  const ShapeBounds start = ShapeAtOrigin(40, 24, 2);
  EXPECT_EQ(start, (ShapeBounds{0, 0, 80, 48}));
  const auto drag = [&](int x, int y) { return DragShape(start, x, y, 5, 5, 40, 24, 2, 1280, 896); };
  EXPECT_EQ(drag(30, 7), (ShapeBounds{16, 0, 80, 48}));
  EXPECT_EQ(drag(-3, 5), (ShapeBounds{0, 0, 80, 48}));
  EXPECT_EQ(drag(-20, 5), (ShapeBounds{-16, 0, 80, 48}));
  EXPECT_EQ(drag(5, -30), (ShapeBounds{0, -32, 80, 48}));
  // From a rectangle already moved, the mouse position is counted from its own left and top.
  const ShapeBounds moved{160, 32, 80, 48};
  EXPECT_EQ(DragShape(moved, 5 + 17, 5, 5, 5, 40, 24, 2, 1280, 896), (ShapeBounds{176, 32, 80, 48}));
}

TEST(OverlayShape, TheDrawnSizeIsCutAtTheRightAndBottomEdgesOnly) {
  // A 112 x 112 picture dragged to left 560 over a 640-pixel-wide picture at 100 %.
  const ShapeBounds at = DragShape(ShapeAtOrigin(112, 112, 1), 560, 400, 0, 0, 112, 112, 1, 640, 448);
  EXPECT_EQ(at, (ShapeBounds{560, 400, 80, 48}));
  // Wholly past the edges: no size, never a negative one.
  EXPECT_EQ(DragShape(ShapeBounds{}, 700, 500, 0, 0, 112, 112, 1, 640, 448),
            (ShapeBounds{696, 496, 0, 0}));
  // Past the left and top the size stays whole.
  EXPECT_EQ(DragShape(ShapeBounds{}, -50, -50, 0, 0, 112, 112, 1, 640, 448),
            (ShapeBounds{-48, -48, 112, 112}));
}

TEST(OverlayShape, ExtremeMousePositionsAndSizesSaturateInsteadOfOverflowing) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const ShapeBounds far{kMax - 7, kMin + 64, 0, 0};
  const ShapeBounds a = DragShape(far, kMax, kMin, kMin, kMax, kMax, kMax, 4, 100, 100);
  EXPECT_EQ(a.left % 32, 0);
  EXPECT_EQ(a.top % 32, 0);
  EXPECT_GE(a.width, 0);
  EXPECT_GE(a.height, 0);
  EXPECT_EQ(ShapeAtOrigin(kMax, kMax, 4), (ShapeBounds{0, 0, kMax, kMax}));
}

TEST(OverlayShape, AZoomChangeScalesThePlaceExactlyAndTheSizeAnew) {
  const ShapeBounds at2{32, -48, 30, 10};  // drawn cut at the right before
  EXPECT_EQ(RescaleShape(at2, 2, 3, 40, 24), (ShapeBounds{48, -72, 120, 72}));
  EXPECT_EQ(RescaleShape(at2, 2, 1, 40, 24), (ShapeBounds{16, -24, 40, 24}));
  EXPECT_EQ(RescaleShape(RescaleShape(at2, 2, 4, 40, 24), 4, 2, 40, 24),
            (ShapeBounds{32, -48, 80, 48}));
  // The picture position of a place on the grid: 48 at zoom 3 is column 16; -72 is row -24.
  EXPECT_EQ(PicturePosition(48, 3), 16);
  EXPECT_EQ(PicturePosition(-72, 3), -24);
}

}  // namespace
}  // namespace qelva::shell
