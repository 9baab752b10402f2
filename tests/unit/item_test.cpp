#include "decode/item.h"

#include <gtest/gtest.h>

#include "common/dib_image.h"
#include "common/errors.h"
#include "common/game_file.h"
#include "decode/palette.h"
#include "decode_fixtures.h"

namespace qelva {
namespace {

using decode_fixtures::Bytes;

// An item file: a pattern palette, then 112 rows in which the pixel at row y, column x is
// (3y + x) mod 256, so that rows and columns can be told apart.
Bytes ItemFile(size_t size) {
  Bytes file = decode_fixtures::PatternPalette(3);
  for (unsigned y = 0; y < 112; ++y) {
    for (unsigned x = 0; x < 112; ++x) file.push_back(static_cast<uint8_t>(3 * y + x));
  }
  file.resize(size, 0x5A);
  return file;
}

TEST(ItemPicture, Is112By112WithThePaletteOfItsFirst512Bytes) {
  decode_fixtures::ScratchFolder folder;
  GameFile file(folder.Write("item01.bin", ItemFile(13056)));
  DibImage image;
  image.info = NewDibInfo();
  DecodeItem(image, file);
  EXPECT_EQ(image.Width(), 112);
  EXPECT_EQ(image.Height(), 112);
  EXPECT_EQ(image.bits.size(), 12544u);
  decode_fixtures::ExpectColourTable(image, decode_fixtures::PatternWords(3));
  EXPECT_FALSE(file.IsOpen());
}

TEST(ItemPicture, DibBitsStartWithTheLastStoredRowAndEndWithTheFirst) {
  decode_fixtures::ScratchFolder folder;
  const Bytes bytes = ItemFile(13056);
  GameFile file(folder.Write("item01.bin", bytes));
  DibImage image;
  image.info = NewDibInfo();
  DecodeItem(image, file);
  ASSERT_EQ(image.bits.size(), 12544u);
  EXPECT_EQ(image.bits.front(), bytes[12944]);
  EXPECT_EQ(image.bits.back(), bytes[623]);
  // Every picture row y (from the top) is stored row y of the file.
  for (int y = 0; y < 112; ++y) {
    const uint8_t* row = decode_fixtures::PictureRow(image, y);
    for (int x = 0; x < 112; ++x) {
      ASSERT_EQ(row[x], bytes[512 + 112 * y + x]) << "row " << y << " column " << x;
    }
  }
}

TEST(ItemPicture, AShortFileIsAReadBeyondTheEndAndTheFileIsClosed) {
  for (size_t size : {size_t{13055}, size_t{600}, size_t{100}}) {
    decode_fixtures::ScratchFolder folder;
    GameFile file(folder.Write("item01.bin", ItemFile(size)));
    DibImage image;
    image.info = NewDibInfo();
    try {
      DecodeItem(image, file);
      ADD_FAILURE() << "a file of " << size << " bytes was decoded";
    } catch (const IoError& e) {
      EXPECT_EQ(e.code(), IoError::kReadBeyondEnd) << size;
    }
    EXPECT_FALSE(file.IsOpen()) << size;
  }
}

}  // namespace
}  // namespace qelva
