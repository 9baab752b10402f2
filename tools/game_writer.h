// Encodes sample pictures into the game's file formats: stored palettes, raw rows, tile maps
// and tile pools, and the archives that hold several pictures. Every byte the game never reads
// (unused header words, skipped blocks, gaps, map bytes 0 and 1, bit 15 of palette words) is
// filled with junk, so that a decoder that reads them shows it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/sample_art.h"

namespace qelva::samples {

using Bytes = std::vector<uint8_t>;

// ---- building blocks -------------------------------------------------------------------------

void AppendBe16(Bytes& out, uint16_t value);
Bytes Junk(size_t n, Rng& rng);
// Copies part into file at offset; the file must already be long enough.
void PlaceAt(Bytes& file, size_t offset, const Bytes& part);

// 256 big-endian words; bit 15 is set on some of them.
Bytes EncodePalette(const Palette& palette, Rng& rng);
// The pixel rows, top row first.
Bytes EncodeRows(const Picture& picture);

using Tile = std::array<uint8_t, 64>;

// A picture cut into 8 x 8 cells, identical cells sharing one tile.
struct TiledPicture {
  int cellsWide = 0;
  int cellsHigh = 0;
  std::vector<Tile> pool;          // distinct tiles in order of first use, then any padding
  std::vector<uint16_t> cellTile;  // the tile of each cell, cell rows top to bottom
};
// Width and height must be multiples of 8.
TiledPicture CutIntoTiles(const Picture& picture);
// Appends junk tiles that no cell uses until the pool holds at least minTiles.
void PadPool(TiledPicture& tiled, size_t minTiles, Rng& rng);
// One 4-byte entry per cell in the game's map order: junk in bytes 0 and 1, the tile number
// shifted left by 1 in bytes 2 and 3, bit 0 sometimes set.
Bytes EncodeMap(const TiledPicture& tiled, Rng& rng);
Bytes EncodePool(const TiledPicture& tiled);

// ---- single pictures -------------------------------------------------------------------------

// Palette, then 112 raw rows: 13056 bytes.
Bytes EncodeItem(const Picture& picture, Rng& rng);
// Palette, map, pool of at least minTiles tiles (the layout of the fixed tiled families and of
// archive entries).
Bytes EncodeTiled(const Picture& picture, size_t minTiles, Rng& rng);
// An 80 x 56 cell background with no header, its pool padded so the file exceeds 204800 bytes
// and ends on a whole tile.
Bytes EncodeLargeBackground(const Picture& picture, Rng& rng);

// Layout modes of a small background's header.
inline constexpr uint16_t kLayoutPlain = 0;
inline constexpr uint16_t kLayoutTilesFirst = 1;
inline constexpr uint16_t kLayoutSkipAfterPalette = 2;
inline constexpr size_t kSmallBackgroundLimit = 204800;
inline constexpr int kTilesFirstCellsWide = 36;

// A small background with its 16-byte header, in layout kLayoutPlain or kLayoutSkipAfterPalette.
Bytes EncodeSmallBackground(const Picture& picture, uint16_t layoutMode, Rng& rng);
// A small background in layout kLayoutTilesFirst: the picture must be 36 cells wide. The file is
// 3584 + 2304 x cellsHigh + tailJunk bytes (tailJunk below 2304).
Bytes EncodeTilesFirstBackground(const Picture& picture, size_t tailJunk, Rng& rng);
// The 16-byte header: words 1 to 3 as given, the rest junk that is never zero.
Bytes BackgroundHeader(uint16_t layoutMode, uint16_t cellsWide, uint16_t cellsHigh, Rng& rng);

// ---- archives --------------------------------------------------------------------------------

// Four 40 x 28 cell pictures at the fixed step, each pool padded to 1120 tiles.
Bytes EncodeGroupBackgrounds(const std::vector<Picture>& entries, Rng& rng);
// 13 pictures of 176 x 200 in their records after the unread head.
Bytes EncodeBromides(const std::vector<Picture>& entries, Rng& rng);
// The 11 ending backgrounds at their table offsets, in the geometry of the table.
Bytes EncodeEndingBackgrounds(const std::vector<Picture>& entries, Rng& rng);
// A sprite slot's width counts 8-pixel units, its offset 8-byte units.
inline constexpr int kSpriteWidthUnit = 8;
inline constexpr size_t kSpriteOffsetUnit = 8;
// The sprites of a group at their slot offsets; entries in slot order, sized as the slots say.
Bytes EncodeSprites(int group, const std::vector<Picture>& entries, Rng& rng);

// The palettes of some groups in the palette file: palettes[k] is palette number k of groups[i].
struct GroupPalettes {
  int group;
  std::vector<Palette> palettes;
};
Bytes EncodeEndingPalettes(const std::vector<GroupPalettes>& groups, Rng& rng);

}  // namespace qelva::samples
