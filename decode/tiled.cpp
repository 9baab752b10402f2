#include "decode/tiled.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "common/game_file.h"
#include "decode/palette.h"

namespace qelva {
namespace {

constexpr std::string_view kMsgTooManyCells = "ﾀｲﾙﾏｯﾌﾟのｾﾙ数が上限の 4480 を超えています (%s)";
constexpr std::string_view kMsgTooFewTiles = "ﾀｲﾙ数がｾﾙ数より少なすぎます (%s)";

constexpr uint16_t kLayoutTilesFirst = 1;
constexpr uint16_t kLayoutSkipAfterPalette = 2;
constexpr uint64_t kLayout2SkippedBytes = 1024;
constexpr unsigned kMapEntryBytes = 4;

void CheckLimits(const TileHeader& header, unsigned cells) {
  if (cells > kMaxCells) {
    throw PictureError(FillMessage(kMsgTooManyCells, std::to_string(header.cellsWide) + " x " +
                                                          std::to_string(header.cellsHigh)));
  }
  if (header.layoutMode == kLayoutTilesFirst && header.tileCount < cells) {
    throw PictureError(FillMessage(
        kMsgTooFewTiles, std::to_string(header.tileCount) + " < " + std::to_string(cells)));
  }
}

}  // namespace

unsigned MapEntryOfCell(unsigned r, unsigned c, unsigned cellsWide, unsigned cellsHigh) {
  if (cellsWide != kStripWidthCells) return r * cellsWide + c;
  constexpr unsigned kLeft = 64;
  constexpr unsigned kRight = kStripWidthCells - kLeft;
  return c < kLeft ? kLeft * r + c : kLeft * cellsHigh + kRight * r + (c - kLeft);
}

void DecodeTiled(TileHeader& header, DibImage& image, GameFile& file) {
  const CloseOnExit closer(file);
  const unsigned cellsWide = header.cellsWide;
  const unsigned cellsHigh = header.cellsHigh;
  const unsigned cells = cellsWide * cellsHigh;
  CheckLimits(header, cells);

  const size_t width = 8 * size_t{cellsWide};
  const size_t height = 8 * size_t{cellsHigh};
  image.SetWidth(static_cast<int32_t>(width));
  image.SetHeight(static_cast<int32_t>(height));
  image.bits.resize(width * height);

  // Tile number of every map entry, in map order.
  std::array<uint16_t, kMaxCells> tileOf;
  if (header.layoutMode != kLayoutTilesFirst) {
    ReadPalette(image.ColourTable(), file);
    if (header.layoutMode == kLayoutSkipAfterPalette) file.Skip(kLayout2SkippedBytes);
    std::array<uint8_t, kMaxCells * kMapEntryBytes> map;
    file.Read(map.data(), size_t{cells} * kMapEntryBytes);
    for (unsigned n = 0; n < cells; ++n) {
      // Bytes 0 and 1 of an entry are unused; bit 0 of the value is dropped.
      const uint16_t tile = ReadBe16(&map[n * kMapEntryBytes + 2]) >> 1;
      tileOf[n] = tile;
      if (tile >= header.tileCount) header.tileCount = static_cast<uint16_t>(tile + 1);
    }
  }

  // Every tile the map names is below tileCount, so the whole pool must be in the file. Checking
  // before allocating gives the same error the short read would, without the allocation.
  const size_t poolBytes = size_t{header.tileCount} * kTileBytes;
  if (file.Remaining() < poolBytes) throw IoError(IoError::kReadBeyondEnd);
  std::vector<uint8_t> pool(poolBytes);
  file.Read(pool.data(), poolBytes);

  if (header.layoutMode == kLayoutTilesFirst) {
    ReadPalette(image.ColourTable(), file);  // the palette follows the last tile
    for (unsigned n = 0; n < cells; ++n) tileOf[n] = static_cast<uint16_t>(n);
  }

  uint8_t* bits = image.bits.data();
  for (unsigned r = 0; r < cellsHigh; ++r) {
    for (unsigned c = 0; c < cellsWide; ++c) {
      const uint8_t* tile = pool.data() + size_t{tileOf[MapEntryOfCell(r, c, cellsWide, cellsHigh)]} * kTileBytes;
      for (size_t y = 0; y < 8; ++y) {
        std::copy_n(tile + 8 * y, 8, bits + (height - 1 - 8 * r - y) * width + 8 * c);
      }
    }
  }
}

}  // namespace qelva
