// Tiled pictures: a grid of 8 x 8 cells, a tile map naming the tile of each cell and a pool of
// 64-byte tiles. A tile may fill several cells.
#pragma once

#include <cstdint>

namespace qelva {

class GameFile;
struct DibImage;

// Parameters of one tiled decode, filled by the caller. In the 16-byte background file header
// they are words 1 to 4, big-endian; words 0 and 5 to 7 are unused.
struct TileHeader {
  uint16_t layoutMode = 0;  // 1: tiles then palette, no map; 2: palette, 1024 skipped bytes, map,
                            // tiles; any other value: palette, map, tiles
  uint16_t cellsWide = 0;
  uint16_t cellsHigh = 0;
  uint16_t tileCount = 0;  // tiles to read at least; raised to cover every tile the map names
};

inline constexpr unsigned kMaxCells = 4480;  // 80 x 56, the largest map of the game
inline constexpr unsigned kTileBytes = 64;
inline constexpr uint16_t kStripWidthCells = 80;  // pictures this wide are stored as two strips

// Decodes the tiled data at the file's current position into image (its info from NewDibInfo):
// writes width 8 x cellsWide and height 8 x cellsHigh, the colour table and every pixel, raises
// header.tileCount as the map demands, and closes the file. Refuses more than 4480 cells and,
// in layout 1, fewer tiles than cells. A file that ends early raises the read-beyond-end error.
void DecodeTiled(TileHeader& header, DibImage& image, GameFile& file);

// Which map entry belongs to the cell at cell row r and column c of a picture cellsWide wide
// and cellsHigh high: raster order, except that a picture exactly 80 cells wide is stored as a
// left strip of 64 cells followed by a right strip of 16, each in raster order.
unsigned MapEntryOfCell(unsigned r, unsigned c, unsigned cellsWide, unsigned cellsHigh);

}  // namespace qelva
