#include "decode_fixtures.h"

#include <gtest/gtest.h>

#include "common/utf8_path.h"


namespace qelva::decode_fixtures {

std::vector<uint16_t> PatternWords(unsigned seed) {
  std::vector<uint16_t> words(256);
  for (unsigned i = 0; i < 256; ++i) {
    words[i] = Colour15(i % 32, i / 32 + 8 * (seed % 4), seed % 32);
  }
  return words;
}

Bytes StoredPalette(const std::vector<uint16_t>& words) {
  Bytes out;
  for (uint16_t w : words) {
    out.push_back(static_cast<uint8_t>(w >> 8));
    out.push_back(static_cast<uint8_t>(w));
  }
  out.resize(512, 0);
  return out;
}

Bytes PatternPalette(unsigned seed) { return StoredPalette(PatternWords(seed)); }

void ExpectColourTable(const DibImage& image, const std::vector<uint16_t>& words) {
  ASSERT_EQ(image.info.size(), kDecoderInfoSize);
  const uint8_t* table = image.ColourTable();
  for (size_t i = 0; i < 256; ++i) {
    const uint16_t w = i < words.size() ? words[i] : 0;
    const uint8_t* e = table + 4 * i;
    EXPECT_EQ(e[0], kWidened[(w >> 10) & 31]) << "blue of entry " << i;
    EXPECT_EQ(e[1], kWidened[(w >> 5) & 31]) << "green of entry " << i;
    EXPECT_EQ(e[2], kWidened[w & 31]) << "red of entry " << i;
    EXPECT_EQ(e[3], 0) << "reserved byte of entry " << i;
    if (::testing::Test::HasFailure()) return;  // one wrong palette gives one report
  }
}

Bytes MapEntry(uint16_t value, uint8_t unused0, uint8_t unused1) {
  return {unused0, unused1, static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

Bytes MapOfTiles(const std::vector<uint16_t>& tiles) {
  Bytes out;
  for (uint16_t t : tiles) {
    const Bytes e = MapEntry(static_cast<uint16_t>(t * 2));
    out.insert(out.end(), e.begin(), e.end());
  }
  return out;
}

Bytes SolidTile(uint8_t value) { return Bytes(64, value); }

Bytes MarkedTile(uint16_t number) {
  Bytes tile(64, 0xC3);
  tile[0] = static_cast<uint8_t>(number >> 8);
  tile[1] = static_cast<uint8_t>(number);
  return tile;
}

Bytes MarkedTiles(unsigned count) {
  Bytes out;
  out.reserve(size_t{count} * 64);
  for (unsigned t = 0; t < count; ++t) {
    const Bytes tile = MarkedTile(static_cast<uint16_t>(t));
    out.insert(out.end(), tile.begin(), tile.end());
  }
  return out;
}

uint16_t MarkAtCell(const DibImage& image, unsigned r, unsigned c) {
  const uint8_t* row = PictureRow(image, static_cast<int>(8 * r));
  return static_cast<uint16_t>(row[8 * c] << 8 | row[8 * c + 1]);
}

Bytes TiledData(uint16_t layout, const Bytes& palette, const Bytes& map, const Bytes& tiles,
                uint8_t skippedFill) {
  if (layout == 1) return Cat({tiles, palette});
  if (layout == 2) return Cat({palette, Bytes(1024, skippedFill), map, tiles});
  return Cat({palette, map, tiles});
}

Bytes BackgroundHeader(uint16_t layout, uint16_t cellsWide, uint16_t cellsHigh,
                       uint8_t unusedFill) {
  Bytes h(16, unusedFill);
  h[2] = static_cast<uint8_t>(layout >> 8);
  h[3] = static_cast<uint8_t>(layout);
  h[4] = static_cast<uint8_t>(cellsWide >> 8);
  h[5] = static_cast<uint8_t>(cellsWide);
  h[6] = static_cast<uint8_t>(cellsHigh >> 8);
  h[7] = static_cast<uint8_t>(cellsHigh);
  return h;
}

void Place(Bytes& file, uint64_t offset, const Bytes& part) {
  if (file.size() < offset + part.size()) file.resize(offset + part.size(), 0);
  std::copy(part.begin(), part.end(), file.begin() + static_cast<ptrdiff_t>(offset));
}

Bytes Filled(size_t size, uint8_t fill) { return Bytes(size, fill); }

const uint8_t* PictureRow(const DibImage& image, int y) {
  const int w = image.Width();
  const int h = image.Height();
  return image.bits.data() + static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w);
}

std::filesystem::path ScratchFolder::path() const {
  return PathFromUtf8(dir_.path());
}

std::string ScratchFolder::Write(std::string_view name, const Bytes& bytes) const {
  const std::string target = PathOf(name);
  std::filesystem::create_directories(PathFromUtf8(target).parent_path());
  test::WriteBytes(target, bytes);
  return target;
}

bool RecordingHost::ChooseArchiveEntries(const ArchiveId& archive, const std::string& path,
                                         int32_t& entryIndex) {
  chooserCalls.push_back({archive, path, entryIndex});
  if (!chooserAnswer) return false;
  entryIndex = *chooserAnswer;
  return true;
}

DibImage ShownBefore() {
  DibImage image;
  image.info = {40, 0, 0, 0, 0xEE};
  image.bits = {1, 2, 3};
  return image;
}

}  // namespace qelva::decode_fixtures
