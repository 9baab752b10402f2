#include "tools/game_writer.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>

#include "decode/archive_tables.h"
#include "decode/item.h"
#include "decode/palette.h"
#include "decode/tiled.h"

namespace qelva::samples {
namespace {

constexpr int kCellSide = 8;
constexpr uint16_t kUnusedBit15 = 0x8000;
constexpr size_t kBackgroundHeaderSize = 16;
constexpr size_t kTilesFirstDataAt = 80;
constexpr size_t kTilesFirstFixedBytes = 3584;  // the size formula's constant part
constexpr size_t kSkippedAfterPalette = 1024;
constexpr size_t kLargeBackgroundTilesAt = kStoredPaletteSize + 4 * kMaxCells;  // 18432
constexpr int kLargeCellsWide = 80, kLargeCellsHigh = 56;
constexpr int kGroupBackgroundCellsWide = 40, kGroupBackgroundCellsHigh = 28;

uint16_t NonZeroJunkWord(Rng& rng) { return static_cast<uint16_t>(rng.Next() | 1u); }

void Append(Bytes& out, const Bytes& part) { out.insert(out.end(), part.begin(), part.end()); }

void RequireGeometry(const Picture& picture, int width, int height, const char* what) {
  if (picture.width != width || picture.height != height)
    throw std::logic_error(std::string(what) + ": picture of the wrong size");
}

// The tiles of the cells in raster order, one per cell, none shared.
Bytes RasterTiles(const Picture& picture) {
  Bytes out;
  for (int r = 0; r < picture.height / kCellSide; ++r)
    for (int c = 0; c < picture.width / kCellSide; ++c)
      for (int y = 0; y < kCellSide; ++y)
        for (int x = 0; x < kCellSide; ++x)
          out.push_back(picture.At(c * kCellSide + x, r * kCellSide + y));
  return out;
}

}  // namespace

// ---- building blocks -------------------------------------------------------------------------

void AppendBe16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

Bytes Junk(size_t n, Rng& rng) {
  Bytes out(n);
  for (auto& b : out) b = rng.Byte();
  return out;
}

void PlaceAt(Bytes& file, size_t offset, const Bytes& part) {
  if (offset + part.size() > file.size())
    throw std::logic_error("part placed past the end of its file");
  std::copy(part.begin(), part.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
}

Bytes EncodePalette(const Palette& palette, Rng& rng) {
  Bytes out;
  for (uint16_t colour : palette)
    AppendBe16(out, rng.Below(4) == 0 ? colour | kUnusedBit15 : colour);
  return out;
}

Bytes EncodeRows(const Picture& picture) { return picture.pixels; }

TiledPicture CutIntoTiles(const Picture& picture) {
  if (picture.width % kCellSide != 0 || picture.height % kCellSide != 0)
    throw std::logic_error("tiled pictures are whole cells");
  TiledPicture tiled;
  tiled.cellsWide = picture.width / kCellSide;
  tiled.cellsHigh = picture.height / kCellSide;
  std::map<Tile, uint16_t> numberOf;
  for (int r = 0; r < tiled.cellsHigh; ++r) {
    for (int c = 0; c < tiled.cellsWide; ++c) {
      Tile tile{};
      for (int y = 0; y < kCellSide; ++y)
        for (int x = 0; x < kCellSide; ++x)
          tile[static_cast<size_t>(y * kCellSide + x)] =
              picture.At(c * kCellSide + x, r * kCellSide + y);
      auto [it, added] = numberOf.try_emplace(tile, static_cast<uint16_t>(tiled.pool.size()));
      if (added) tiled.pool.push_back(tile);
      tiled.cellTile.push_back(it->second);
    }
  }
  return tiled;
}

void PadPool(TiledPicture& tiled, size_t minTiles, Rng& rng) {
  while (tiled.pool.size() < minTiles) {
    Tile tile{};
    for (auto& b : tile) b = rng.Byte();
    tiled.pool.push_back(tile);
  }
}

Bytes EncodeMap(const TiledPicture& tiled, Rng& rng) {
  const auto w = static_cast<unsigned>(tiled.cellsWide), h = static_cast<unsigned>(tiled.cellsHigh);
  Bytes out(size_t{w} * h * 4);
  for (unsigned r = 0; r < h; ++r) {
    for (unsigned c = 0; c < w; ++c) {
      uint8_t* entry = out.data() + size_t{MapEntryOfCell(r, c, w, h)} * 4;
      const uint16_t value =
          static_cast<uint16_t>(tiled.cellTile[r * w + c] << 1 | (rng.Next() & 1u));
      entry[0] = rng.Byte();
      entry[1] = rng.Byte();
      entry[2] = static_cast<uint8_t>(value >> 8);
      entry[3] = static_cast<uint8_t>(value);
    }
  }
  return out;
}

Bytes EncodePool(const TiledPicture& tiled) {
  Bytes out;
  for (const Tile& tile : tiled.pool) out.insert(out.end(), tile.begin(), tile.end());
  return out;
}

// ---- single pictures -------------------------------------------------------------------------

Bytes EncodeItem(const Picture& picture, Rng& rng) {
  RequireGeometry(picture, kItemSide, kItemSide, "item");
  Bytes out = EncodePalette(picture.palette, rng);
  Append(out, EncodeRows(picture));
  return out;
}

Bytes EncodeTiled(const Picture& picture, size_t minTiles, Rng& rng) {
  TiledPicture tiled = CutIntoTiles(picture);
  PadPool(tiled, minTiles, rng);
  Bytes out = EncodePalette(picture.palette, rng);
  Append(out, EncodeMap(tiled, rng));
  Append(out, EncodePool(tiled));
  return out;
}

Bytes EncodeLargeBackground(const Picture& picture, Rng& rng) {
  RequireGeometry(picture, kLargeCellsWide * kCellSide, kLargeCellsHigh * kCellSide,
                  "large background");
  const size_t tilesPastLimit = (kSmallBackgroundLimit - kLargeBackgroundTilesAt) / kTileBytes + 1;
  Bytes out = EncodeTiled(picture, tilesPastLimit, rng);
  if (out.size() <= kSmallBackgroundLimit ||
      (out.size() - kLargeBackgroundTilesAt) % kTileBytes != 0)
    throw std::logic_error("large background of the wrong size");
  return out;
}

Bytes BackgroundHeader(uint16_t layoutMode, uint16_t cellsWide, uint16_t cellsHigh, Rng& rng) {
  Bytes out;
  AppendBe16(out, NonZeroJunkWord(rng));
  AppendBe16(out, layoutMode);
  AppendBe16(out, cellsWide);
  AppendBe16(out, cellsHigh);
  while (out.size() < kBackgroundHeaderSize) AppendBe16(out, NonZeroJunkWord(rng));
  return out;
}

Bytes EncodeSmallBackground(const Picture& picture, uint16_t layoutMode, Rng& rng) {
  if (layoutMode == kLayoutTilesFirst) throw std::logic_error("use EncodeTilesFirstBackground");
  TiledPicture tiled = CutIntoTiles(picture);
  Bytes out = BackgroundHeader(layoutMode, static_cast<uint16_t>(tiled.cellsWide),
                               static_cast<uint16_t>(tiled.cellsHigh), rng);
  Append(out, EncodePalette(picture.palette, rng));
  if (layoutMode == kLayoutSkipAfterPalette) Append(out, Junk(kSkippedAfterPalette, rng));
  Append(out, EncodeMap(tiled, rng));
  Append(out, EncodePool(tiled));
  if (out.size() > kSmallBackgroundLimit) throw std::logic_error("small background too large");
  return out;
}

Bytes EncodeTilesFirstBackground(const Picture& picture, size_t tailJunk, Rng& rng) {
  RequireGeometry(picture, kTilesFirstCellsWide * kCellSide, picture.height,
                  "tiles-first background");
  const size_t cellsHigh = static_cast<size_t>(picture.height / kCellSide);
  // The header's cell counts are not used in this layout: junk them too.
  Bytes out = BackgroundHeader(kLayoutTilesFirst, NonZeroJunkWord(rng), NonZeroJunkWord(rng), rng);
  Append(out, Junk(kTilesFirstDataAt - out.size(), rng));
  Append(out, RasterTiles(picture));
  Append(out, EncodePalette(picture.palette, rng));
  const size_t wanted =
      kTilesFirstFixedBytes + cellsHigh * kTilesFirstCellsWide * kTileBytes + tailJunk;
  Append(out, Junk(wanted - out.size(), rng));
  return out;
}

// ---- archives --------------------------------------------------------------------------------

Bytes EncodeGroupBackgrounds(const std::vector<Picture>& entries, Rng& rng) {
  const size_t tilesPerEntry = size_t{kGroupBackgroundCellsWide} * kGroupBackgroundCellsHigh;
  Bytes out;
  for (const Picture& picture : entries) {
    RequireGeometry(picture, kGroupBackgroundCellsWide * kCellSide,
                    kGroupBackgroundCellsHigh * kCellSide, "group background");
    Bytes entry = EncodeTiled(picture, tilesPerEntry, rng);
    if (entry.size() != kGroupBackgroundStride)
      throw std::logic_error("group background entry size");
    Append(out, entry);
  }
  return out;
}

Bytes EncodeBromides(const std::vector<Picture>& entries, Rng& rng) {
  Bytes out = Junk(kBromideFirstRecord + size_t{kBromideRecordSize} * entries.size(), rng);
  for (size_t n = 0; n < entries.size(); ++n) {
    RequireGeometry(entries[n], kBromideWidth, kBromideHeight, "bromide");
    const size_t record = kBromideFirstRecord + n * kBromideRecordSize;
    PlaceAt(out, record, EncodePalette(entries[n].palette, rng));
    PlaceAt(out, record + kBromidePixelsInRecord, EncodeRows(entries[n]));
  }
  return out;
}

Bytes EncodeEndingBackgrounds(const std::vector<Picture>& entries, Rng& rng) {
  std::vector<Bytes> encoded;
  for (size_t n = 0; n < entries.size(); ++n) {
    const CgGeometry& cg = kCgTable[n];
    RequireGeometry(entries[n], cg.cellsWide * kCellSide, cg.cellsHigh * kCellSide,
                    "ending background");
    encoded.push_back(EncodeTiled(entries[n], size_t{cg.cellsWide} * cg.cellsHigh, rng));
    const size_t end = kCgTable[n].offset + encoded.back().size();
    if (n + 1 < kCgTable.size() && end > kCgTable[n + 1].offset)
      throw std::logic_error("ending background overruns the next entry");
  }
  Bytes out = Junk(kCgTable[entries.size() - 1].offset + encoded.back().size(), rng);
  for (size_t n = 0; n < encoded.size(); ++n) PlaceAt(out, kCgTable[n].offset, encoded[n]);
  return out;
}

Bytes EncodeSprites(int group, const std::vector<Picture>& entries, Rng& rng) {
  const auto& slots = kSpriteTable[static_cast<size_t>(group)];
  size_t size = 0;
  for (size_t n = 0; n < entries.size(); ++n) {
    RequireGeometry(entries[n], slots[n].width * kSpriteWidthUnit, slots[n].height, "sprite");
    size = std::max(size, slots[n].offset * kSpriteOffsetUnit + entries[n].pixels.size());
  }
  Bytes out = Junk(size, rng);
  for (size_t n = 0; n < entries.size(); ++n)
    PlaceAt(out, slots[n].offset * kSpriteOffsetUnit, EncodeRows(entries[n]));
  return out;
}

Bytes EncodeEndingPalettes(const std::vector<GroupPalettes>& groups, Rng& rng) {
  size_t size = 0;
  for (const GroupPalettes& g : groups)
    size = std::max(
        size, kPaletteBase[static_cast<size_t>(g.group)] + g.palettes.size() * kStoredPaletteSize);
  Bytes out = Junk(size, rng);
  for (const GroupPalettes& g : groups)
    for (size_t k = 0; k < g.palettes.size(); ++k)
      PlaceAt(out, kPaletteBase[static_cast<size_t>(g.group)] + k * kStoredPaletteSize,
              EncodePalette(g.palettes[k], rng));
  return out;
}

}  // namespace qelva::samples
