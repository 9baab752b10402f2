// Builders for the decoder tests: game files made from readable recipes (palette words, map
// entries, tiles marked with their numbers), a scratch folder for them, and a recording host.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/dib_image.h"
#include "common/path_text.h"
#include "decode/archive.h"
#include "decode/format.h"
#include "test_support.h"

namespace qelva::decode_fixtures {

using test::Bytes;
using test::Cat;

// The 8-bit value of every 5-bit colour component, written out by hand.
inline constexpr std::array<uint8_t, 32> kWidened = {
    0,   8,   16,  24,  32,  41,  49,  57,  65,  74,  82,  90,  98,  106, 115, 123,
    131, 139, 148, 156, 164, 172, 180, 189, 197, 205, 213, 222, 230, 238, 246, 255};

// A 15-bit colour word: blue in bits 14-10, green in 9-5, red in 4-0.
constexpr uint16_t Colour15(unsigned red, unsigned green, unsigned blue) {
  return static_cast<uint16_t>(blue << 10 | green << 5 | red);
}

// 256 words in which every entry differs from every other and from those of other seeds:
// entry i has red i mod 32, green i div 32 + 8 x (seed mod 4), blue seed mod 32.
std::vector<uint16_t> PatternWords(unsigned seed);
// A stored palette: the words big-endian, high byte first.
Bytes StoredPalette(const std::vector<uint16_t>& words);
Bytes PatternPalette(unsigned seed);

// Expects the colour table of image to be the given words, widened, reserved bytes 0.
void ExpectColourTable(const DibImage& image, const std::vector<uint16_t>& words);

// One 4-byte map entry: two unused bytes, then the value big-endian.
Bytes MapEntry(uint16_t value, uint8_t unused0 = 0, uint8_t unused1 = 0);
// A map naming the given tiles (value = tile x 2).
Bytes MapOfTiles(const std::vector<uint16_t>& tiles);
// A tile of 64 equal bytes.
Bytes SolidTile(uint8_t value);
// A tile whose first two bytes hold its number (high byte first); the rest are 0xC3.
Bytes MarkedTile(uint16_t number);
// The number a MarkedTile left in the top-left corner of the cell at cell row r, column c.
uint16_t MarkAtCell(const DibImage& image, unsigned r, unsigned c);
// count MarkedTiles numbered from 0.
Bytes MarkedTiles(unsigned count);

// Tiled data in the order of a layout: 0 palette, map, tiles; 1 tiles, palette; 2 palette,
// 1024 skipped bytes (filled with `skippedFill`), map, tiles.
Bytes TiledData(uint16_t layout, const Bytes& palette, const Bytes& map, const Bytes& tiles,
                uint8_t skippedFill = 0xA5);
// The 16-byte header of a small background file: words 1 to 3 big-endian, the unused bytes
// 0, 1 and 8 to 15 set to `unusedFill`.
Bytes BackgroundHeader(uint16_t layout, uint16_t cellsWide, uint16_t cellsHigh,
                       uint8_t unusedFill = 0);

// A file of `size` bytes of `fill`, with `part` written at `offset` (growing the file if needed).
void Place(Bytes& file, uint64_t offset, const Bytes& part);
Bytes Filled(size_t size, uint8_t fill);

// Picture row y (from the top) of an 8-bit image whose rows are exactly width bytes.
const uint8_t* PictureRow(const DibImage& image, int y);

// A temporary folder for game files, removed with everything in it.
class ScratchFolder {
 public:
  std::filesystem::path path() const;
  // The full path of name in the folder, as a UTF-8 string.
  std::string PathOf(std::string_view name) const { return dir_.File(name); }
  // Writes the bytes to name in the folder (creating subfolders it names); returns its path.
  std::string Write(std::string_view name, const Bytes& bytes) const;

 private:
  test::TempDir dir_;
};

// A PictureHost that records what decoding asked of it.
class RecordingHost : public PictureHost {
 public:
  struct ChooserCall {
    ArchiveId archive;
    std::string path;
    int32_t entryIndexOnEntry;
  };

  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void SetBusy(bool busy) override { busyCalls.push_back(busy); }
  bool ChooseArchiveEntries(const ArchiveId& archive, const std::string& path,
                            int32_t& entryIndex) override;
  PathSyntax Paths() const override { return syntax ? *syntax : PathSyntax::Native(); }

  // What the chooser answers: an entry, or nothing for cancel.
  std::optional<int32_t> chooserAnswer;
  std::optional<PathSyntax> syntax;

  std::vector<std::string> messages;
  std::vector<bool> busyCalls;
  std::vector<ChooserCall> chooserCalls;
};

// A picture that stands for "what the caller showed before": decoders must leave it alone.
DibImage ShownBefore();

}  // namespace qelva::decode_fixtures
