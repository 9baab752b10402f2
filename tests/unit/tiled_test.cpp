#include "decode/tiled.h"

#include <gtest/gtest.h>

#include "common/dib_image.h"
#include "common/errors.h"
#include "common/game_file.h"
#include "decode/palette.h"
#include "decode_fixtures.h"

namespace qelva {
namespace {

using decode_fixtures::Bytes;
using decode_fixtures::Cat;
using decode_fixtures::MapEntry;
using decode_fixtures::MapOfTiles;
using decode_fixtures::MarkAtCell;
using decode_fixtures::MarkedTiles;
using decode_fixtures::PatternPalette;
using decode_fixtures::PatternWords;
using decode_fixtures::SolidTile;

// Writes bytes to a file, opens it at `start` and decodes with the header given.
class TiledDecoder : public ::testing::Test {
 protected:
  DibImage Decode(const Bytes& bytes, TileHeader& header, uint64_t start = 0) {
    GameFile file(folder_.Write("tiled.bin", bytes));
    file.Seek(start);
    DibImage image;
    image.info = NewDibInfo();
    DecodeTiled(header, image, file);
    EXPECT_FALSE(file.IsOpen()) << "the decoder closes its file";
    return image;
  }

  // Decodes and expects the read-beyond-end error, with the file closed afterwards.
  void ExpectReadBeyondEnd(const Bytes& bytes, TileHeader header, const std::string& what) {
    GameFile file(folder_.Write("tiled.bin", bytes));
    DibImage image;
    image.info = NewDibInfo();
    try {
      DecodeTiled(header, image, file);
      ADD_FAILURE() << what << ": decoded without error";
    } catch (const IoError& e) {
      EXPECT_EQ(e.code(), IoError::kReadBeyondEnd) << what;
    }
    EXPECT_FALSE(file.IsOpen()) << what << ": the file is closed on failure";
  }

  decode_fixtures::ScratchFolder folder_;
};

// The two-cell example: palette, map entry 0 = 00 00 00 02 (tile 1), map entry 1 = 00 00 00 00
// (tile 0), then tiles 0 and 1. Every pool byte at file offset k holds k mod 251.
Bytes WorkedExample() {
  Bytes file = Cat({PatternPalette(1), MapEntry(2), MapEntry(0)});
  for (size_t k = 520; k < 648; ++k) file.push_back(static_cast<uint8_t>(k % 251));
  return file;
}

TEST_F(TiledDecoder, WorkedExampleOfTwoCellsMatchesByteForByte) {
  const Bytes file = WorkedExample();
  TileHeader header{.layoutMode = 0, .cellsWide = 2, .cellsHigh = 1, .tileCount = 0};
  const DibImage image = Decode(file, header);
  EXPECT_EQ(image.Width(), 16);
  EXPECT_EQ(image.Height(), 8);
  EXPECT_EQ(header.tileCount, 2);
  ASSERT_EQ(image.bits.size(), 128u);
  for (size_t y = 0; y < 8; ++y) {
    for (size_t x = 0; x < 8; ++x) {
      // Cell (0, 0) shows tile 1, cell (0, 1) tile 0; tile row y lands at DibBits row 7 - y.
      EXPECT_EQ(image.bits[(7 - y) * 16 + x], file[584 + 8 * y + x]) << "y " << y << " x " << x;
      EXPECT_EQ(image.bits[(7 - y) * 16 + 8 + x], file[520 + 8 * y + x]) << "y " << y << " x " << x;
    }
  }
  const Bytes first(image.bits.begin(), image.bits.begin() + 16);
  const Bytes expectedFirst =
      Cat({Bytes(file.begin() + 640, file.begin() + 648), Bytes(file.begin() + 576, file.begin() + 584)});
  EXPECT_EQ(first, expectedFirst);
  const Bytes last(image.bits.end() - 16, image.bits.end());
  const Bytes expectedLast =
      Cat({Bytes(file.begin() + 584, file.begin() + 592), Bytes(file.begin() + 520, file.begin() + 528)});
  EXPECT_EQ(last, expectedLast);
  decode_fixtures::ExpectColourTable(image, PatternWords(1));
}

TEST_F(TiledDecoder, DataStartAtTheFilePositionTheCallerSet) {
  const Bytes file = Cat({Bytes(80, 0xEE), WorkedExample()});
  TileHeader header{.layoutMode = 0, .cellsWide = 2, .cellsHigh = 1, .tileCount = 0};
  const DibImage image = Decode(file, header, 80);
  EXPECT_EQ(image.bits[0], file[80 + 640]);
  decode_fixtures::ExpectColourTable(image, PatternWords(1));
}

struct MapValueCase {
  const char* what;
  Bytes entry;
  uint8_t expectedTileFill;  // tile t is solid 10 x (t + 1)
};

TEST_F(TiledDecoder, MapEntriesNameTilesByTheValueOfBytesTwoAndThreeWithoutBitZero) {
  const MapValueCase cases[] = {
      {"00 02 is tile 1", MapEntry(0x0002), 20},
      {"00 03 is tile 1 as well", MapEntry(0x0003), 20},
      {"FF FF 00 04 is tile 2", MapEntry(0x0004, 0xFF, 0xFF), 30},
      {"00 01 is tile 0", MapEntry(0x0001), 10},
      {"02 00 is tile 256 (high byte first)", MapEntry(0x0200), 7},
  };
  for (const MapValueCase& c : cases) {
    Bytes tiles;
    for (unsigned t = 0; t < 257; ++t) {
      const Bytes tile = SolidTile(t == 256 ? 7 : static_cast<uint8_t>(10 * (t % 25 + 1)));
      tiles.insert(tiles.end(), tile.begin(), tile.end());
    }
    TileHeader header{.layoutMode = 0, .cellsWide = 1, .cellsHigh = 1, .tileCount = 0};
    const DibImage image = Decode(Cat({PatternPalette(0), c.entry, tiles}), header);
    ASSERT_EQ(image.bits.size(), 64u) << c.what;
    EXPECT_EQ(image.bits, Bytes(64, c.expectedTileFill)) << c.what;
  }
}

TEST_F(TiledDecoder, TileCountIsRaisedToCoverTheHighestTileTheMapNames) {
  // The map names tile 3 and tile 1; four tiles follow it.
  TileHeader header{.layoutMode = 0, .cellsWide = 2, .cellsHigh = 1, .tileCount = 1};
  const DibImage image = Decode(Cat({PatternPalette(0), MapOfTiles({3, 1}), MarkedTiles(4)}), header);
  EXPECT_EQ(header.tileCount, 4);
  EXPECT_EQ(MarkAtCell(image, 0, 0), 3);
  EXPECT_EQ(MarkAtCell(image, 0, 1), 1);
}

TEST_F(TiledDecoder, MapThatNamesATileBeyondTheFileIsAReadBeyondTheEnd) {
  // The map names tile 3 but the file holds 2 tiles.
  ExpectReadBeyondEnd(Cat({PatternPalette(0), MapOfTiles({3, 0}), MarkedTiles(2)}),
                      {.layoutMode = 0, .cellsWide = 2, .cellsHigh = 1, .tileCount = 0},
                      "tile 3 of 2");
}

TEST_F(TiledDecoder, AStartingTileCountIsNeverLowered) {
  // The map names only tile 0, the caller asks for 5 tiles: all 5 must be in the file.
  const Bytes head = Cat({PatternPalette(0), MapOfTiles({0})});
  TileHeader header{.layoutMode = 0, .cellsWide = 1, .cellsHigh = 1, .tileCount = 5};
  Decode(Cat({head, MarkedTiles(5)}), header);
  EXPECT_EQ(header.tileCount, 5);
  ExpectReadBeyondEnd(Cat({head, MarkedTiles(4)}),
                      {.layoutMode = 0, .cellsWide = 1, .cellsHigh = 1, .tileCount = 5},
                      "5 tiles asked, 4 present");
}

TEST_F(TiledDecoder, MapValueFFFFNamesTile32767AndNeedsTwoMebibytesOfTiles) {
  const Bytes head = Cat({PatternPalette(0), MapEntry(0xFFFF)});
  Bytes pool(size_t{32768} * 64, 0x11);
  std::fill(pool.end() - 64, pool.end(), uint8_t{0xAB});  // tile 32767
  TileHeader header{.layoutMode = 0, .cellsWide = 1, .cellsHigh = 1, .tileCount = 0};
  const DibImage image = Decode(Cat({head, pool}), header);
  EXPECT_EQ(header.tileCount, 32768);
  EXPECT_EQ(image.bits, Bytes(64, 0xAB));

  pool.pop_back();  // 2,097,151 tile bytes
  ExpectReadBeyondEnd(Cat({head, pool}),
                      {.layoutMode = 0, .cellsWide = 1, .cellsHigh = 1, .tileCount = 0},
                      "one tile byte short of tile 32767");
}

struct OrderCase {
  uint16_t cellsWide, cellsHigh;
  unsigned r, c;
  uint16_t entry;
};

// In layout 1 cell of entry n shows tile n, so the mark in a cell is its map entry.
TEST_F(TiledDecoder, EightyCellsWideUsesTwoStripsAndOtherWidthsRasterOrder) {
  const OrderCase cases[] = {
      // 80 x 2: left strip entries 0 to 127, right strip 128 to 159.
      {80, 2, 0, 0, 0},
      {80, 2, 0, 63, 63},
      {80, 2, 1, 0, 64},
      {80, 2, 1, 63, 127},
      {80, 2, 0, 64, 128},
      {80, 2, 0, 79, 143},
      {80, 2, 1, 64, 144},
      {80, 2, 1, 79, 159},
      // 80 x 56, the largest picture.
      {80, 56, 1, 0, 64},
      {80, 56, 0, 64, 3584},
      {80, 56, 1, 64, 3600},
      {80, 56, 55, 63, 3583},
      {80, 56, 55, 79, 4479},
      // One cell narrower or wider: raster order.
      {79, 2, 0, 64, 64},
      {79, 2, 1, 0, 79},
      {79, 2, 1, 78, 157},
      {81, 2, 0, 64, 64},
      {81, 2, 0, 80, 80},
      {81, 2, 1, 0, 81},
  };
  for (uint16_t wide : {uint16_t{79}, uint16_t{80}, uint16_t{81}}) {
    for (uint16_t high : {uint16_t{2}, uint16_t{56}}) {
      if (wide != 80 && high == 56) continue;
      const unsigned cells = unsigned{wide} * high;
      TileHeader header{.layoutMode = 1, .cellsWide = wide, .cellsHigh = high,
                        .tileCount = static_cast<uint16_t>(cells)};
      const DibImage image = Decode(Cat({MarkedTiles(cells), PatternPalette(2)}), header);
      ASSERT_EQ(image.Width(), 8 * wide);
      ASSERT_EQ(image.Height(), 8 * high);
      for (const OrderCase& c : cases) {
        if (c.cellsWide != wide || c.cellsHigh != high) continue;
        EXPECT_EQ(MarkAtCell(image, c.r, c.c), c.entry)
            << wide << " x " << high << " cell row " << c.r << " column " << c.c;
      }
    }
  }
}

TEST_F(TiledDecoder, EightyCellsWideMapEntriesFollowTheStripOrderToo) {
  // 80 x 1, layout 0: map entry n names tile 79 - n.
  std::vector<uint16_t> tiles;
  for (uint16_t n = 0; n < 80; ++n) tiles.push_back(static_cast<uint16_t>(79 - n));
  TileHeader header{.layoutMode = 0, .cellsWide = 80, .cellsHigh = 1, .tileCount = 0};
  const DibImage image = Decode(Cat({PatternPalette(0), MapOfTiles(tiles), MarkedTiles(80)}), header);
  // With one cell row both orders coincide: entry n is column n.
  EXPECT_EQ(MarkAtCell(image, 0, 0), 79);
  EXPECT_EQ(MarkAtCell(image, 0, 64), 15);
  EXPECT_EQ(MarkAtCell(image, 0, 79), 0);

  // 80 x 2: entry 64 (second row, column 0 of the left strip) names tile 7, entry 128 (first
  // row, column 64) names tile 9; every other entry names tile 0.
  std::vector<uint16_t> map(160, 0);
  map[64] = 7;
  map[128] = 9;
  TileHeader tall{.layoutMode = 0, .cellsWide = 80, .cellsHigh = 2, .tileCount = 0};
  const DibImage twoRows = Decode(Cat({PatternPalette(0), MapOfTiles(map), MarkedTiles(10)}), tall);
  EXPECT_EQ(MarkAtCell(twoRows, 1, 0), 7);
  EXPECT_EQ(MarkAtCell(twoRows, 0, 64), 9);
  EXPECT_EQ(MarkAtCell(twoRows, 0, 1), 0);
  EXPECT_EQ(MarkAtCell(twoRows, 1, 64), 0);
}

TEST_F(TiledDecoder, LayoutOneReadsNoMapAndTakesThePaletteAfterTheTiles) {
  // 3 x 1 cells, 4 tiles (more than cells), then the palette.
  const Bytes file = Cat({MarkedTiles(4), PatternPalette(6), Bytes(100, 0xEE)});
  TileHeader header{.layoutMode = 1, .cellsWide = 3, .cellsHigh = 1, .tileCount = 4};
  const DibImage image = Decode(file, header);
  EXPECT_EQ(header.tileCount, 4);
  EXPECT_EQ(MarkAtCell(image, 0, 0), 0);
  EXPECT_EQ(MarkAtCell(image, 0, 1), 1);
  EXPECT_EQ(MarkAtCell(image, 0, 2), 2);
  decode_fixtures::ExpectColourTable(image, PatternWords(6));
}

TEST_F(TiledDecoder, LayoutTwoSkipsTheThousandTwentyFourBytesAfterThePalette) {
  const Bytes palette = PatternPalette(3);
  const Bytes map = MapOfTiles({1, 0});
  const Bytes tiles = MarkedTiles(2);
  DibImage pictures[2];
  const uint8_t fills[2] = {0x00, 0xFF};
  for (int i = 0; i < 2; ++i) {
    TileHeader header{.layoutMode = 2, .cellsWide = 2, .cellsHigh = 1, .tileCount = 0};
    pictures[i] = Decode(decode_fixtures::TiledData(2, palette, map, tiles, fills[i]), header);
    EXPECT_EQ(header.tileCount, 2);
    EXPECT_EQ(MarkAtCell(pictures[i], 0, 0), 1);
    EXPECT_EQ(MarkAtCell(pictures[i], 0, 1), 0);
    decode_fixtures::ExpectColourTable(pictures[i], PatternWords(3));
  }
  EXPECT_EQ(pictures[0].bits, pictures[1].bits);
  EXPECT_EQ(pictures[0].info, pictures[1].info);
}

TEST_F(TiledDecoder, OtherLayoutValuesReadLikeLayoutZero) {
  TileHeader header{.layoutMode = 7, .cellsWide = 2, .cellsHigh = 1, .tileCount = 0};
  const DibImage image = Decode(Cat({PatternPalette(0), MapOfTiles({1, 0}), MarkedTiles(2)}), header);
  EXPECT_EQ(MarkAtCell(image, 0, 0), 1);
  EXPECT_EQ(MarkAtCell(image, 0, 1), 0);
}

TEST_F(TiledDecoder, ZeroCellsWideGivesAnEmptyPictureAndReadsOnlyTheStartingTiles) {
  // No map entries; the pool read is of the starting TileCount: 2 tiles.
  const Bytes file = Cat({PatternPalette(4), MarkedTiles(2)});
  TileHeader header{.layoutMode = 0, .cellsWide = 0, .cellsHigh = 5, .tileCount = 2};
  const DibImage image = Decode(file, header);
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.Height(), 40);
  EXPECT_TRUE(image.bits.empty());
  decode_fixtures::ExpectColourTable(image, PatternWords(4));

  ExpectReadBeyondEnd(Cat({PatternPalette(4), MarkedTiles(1)}),
                      {.layoutMode = 0, .cellsWide = 0, .cellsHigh = 5, .tileCount = 2},
                      "zero cells wide, 2 starting tiles, 1 present");

  TileHeader flat{.layoutMode = 0, .cellsWide = 3, .cellsHigh = 0, .tileCount = 0};
  const DibImage none = Decode(PatternPalette(4), flat);
  EXPECT_EQ(none.Width(), 24);
  EXPECT_EQ(none.Height(), 0);
  EXPECT_TRUE(none.bits.empty());
}

struct RefusalCase {
  const char* what;
  TileHeader header;
};

TEST_F(TiledDecoder, RefusesMoreThan4480CellsOrTooFewTilesInLayoutOneBeforeReading) {
  const RefusalCase cases[] = {
      {"81 x 56 cells", {.layoutMode = 0, .cellsWide = 81, .cellsHigh = 56, .tileCount = 0}},
      {"4481 x 1 cells", {.layoutMode = 0, .cellsWide = 4481, .cellsHigh = 1, .tileCount = 0}},
      {"65535 x 65535 cells", {.layoutMode = 2, .cellsWide = 65535, .cellsHigh = 65535, .tileCount = 0}},
      {"layout 1, 81 x 56 cells with enough tiles",
       {.layoutMode = 1, .cellsWide = 81, .cellsHigh = 56, .tileCount = 65535}},
      {"layout 1, 6 cells, 5 tiles", {.layoutMode = 1, .cellsWide = 3, .cellsHigh = 2, .tileCount = 5}},
      {"layout 1, 1 cell, no tiles", {.layoutMode = 1, .cellsWide = 1, .cellsHigh = 1, .tileCount = 0}},
  };
  // A file that would decode as far as any of the headers could read.
  const Bytes file = Cat({Bytes(16, 0), PatternPalette(0), Bytes(4 * 4480, 0), MarkedTiles(8)});
  for (const RefusalCase& c : cases) {
    GameFile game(folder_.Write("tiled.bin", file));
    game.Seek(16);
    DibImage image;
    image.info = NewDibInfo();
    TileHeader header = c.header;
    EXPECT_THROW(DecodeTiled(header, image, game), PictureError) << c.what;
    EXPECT_EQ(game.Position(), 16u) << c.what << ": nothing was read";
    EXPECT_TRUE(image.bits.empty()) << c.what << ": no pixels were allocated";
    EXPECT_EQ(header.tileCount, c.header.tileCount) << c.what;
  }
}

TEST_F(TiledDecoder, TheLimitsThemselvesAreAccepted) {
  // 4480 cells in a 4480 x 1 strip (raster order), and layout 1 with exactly as many tiles as cells.
  TileHeader wide{.layoutMode = 1, .cellsWide = 4480, .cellsHigh = 1, .tileCount = 4480};
  const DibImage strip = Decode(Cat({MarkedTiles(4480), PatternPalette(0)}), wide);
  EXPECT_EQ(strip.Width(), 35840);
  EXPECT_EQ(MarkAtCell(strip, 0, 4479), 4479);
}

struct TruncationCase {
  uint16_t layout;
  size_t keep;  // bytes of the complete file that remain
  const char* where;
};

TEST_F(TiledDecoder, AFileThatEndsEarlyIsAReadBeyondTheEndWhereverItEnds) {
  // 2 x 1 cells with 2 tiles. Layout 0: palette 0-511, map 512-519, tiles 520-647.
  // Layout 1: tiles 0-127, palette 128-639. Layout 2: palette 0-511, skipped 512-1535,
  // map 1536-1543, tiles 1544-1671.
  const TruncationCase cases[] = {
      {0, 0, "empty file"},
      {0, 1, "inside the palette"},
      {0, 511, "one byte short of the palette"},
      {0, 512, "right after the palette"},
      {0, 515, "inside the first map entry"},
      {0, 519, "one byte short of the map"},
      {0, 520, "right after the map"},
      {0, 583, "inside tile 0"},
      {0, 647, "one byte short of tile 1"},
      {1, 0, "layout 1, empty file"},
      {1, 64, "layout 1, after tile 0"},
      {1, 128, "layout 1, right after the tiles"},
      {1, 300, "layout 1, inside the palette"},
      {1, 639, "layout 1, one byte short of the palette"},
      {2, 512, "layout 2, right after the palette"},
      {2, 1535, "layout 2, inside the skipped bytes"},
      {2, 1536, "layout 2, right after the skipped bytes"},
      {2, 1543, "layout 2, one byte short of the map"},
      {2, 1671, "layout 2, one byte short of tile 1"},
  };
  for (const TruncationCase& c : cases) {
    const Bytes whole = decode_fixtures::TiledData(c.layout, PatternPalette(0), MapOfTiles({1, 0}), MarkedTiles(2));
    const Bytes cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(c.keep));
    ExpectReadBeyondEnd(cut, {.layoutMode = c.layout, .cellsWide = 2, .cellsHigh = 1, .tileCount = 2}, c.where);
  }
  // The whole files decode.
  for (uint16_t layout : {uint16_t{0}, uint16_t{1}, uint16_t{2}}) {
    TileHeader header{.layoutMode = layout, .cellsWide = 2, .cellsHigh = 1, .tileCount = 2};
    const DibImage image =
        Decode(decode_fixtures::TiledData(layout, PatternPalette(0), MapOfTiles({1, 0}), MarkedTiles(2)), header);
    EXPECT_EQ(MarkAtCell(image, 0, 0), layout == 1 ? 0 : 1) << "layout " << layout;
  }
}

}  // namespace
}  // namespace qelva
