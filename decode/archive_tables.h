// Fixed geometry of the game's archives: group prefixes, ending background geometry, the
// sprite slots of every group and where each group's palettes lie in "ending.bin".
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qelva {

inline constexpr int kGroupCount = 7;
inline constexpr int kSpriteSlots = 28;

// An archive's group is the position of its first two lower-cased bytes in this table.
inline constexpr std::array<std::string_view, kGroupCount> kGroupPrefixTable = {
    "sa", "ai", "ka", "ma", "su", "ko", "ge"};
inline constexpr int kGroupBackgroundGroup = 6;  // "ge"

// Group background archive: entry n is a 40 x 28 cell tiled picture at n x 76672.
inline constexpr uint32_t kGroupBackgroundStride = 76672;
inline constexpr int kGroupBackgroundEntries = 4;

// Bromide archive: 16384 unread bytes, then one 36864-byte record per entry holding its palette,
// and 1520 bytes into the record 200 rows of 176 pixels.
inline constexpr uint32_t kBromideFirstRecord = 16384;
inline constexpr uint32_t kBromideRecordSize = 36864;
inline constexpr uint32_t kBromidePixelsInRecord = 1520;
inline constexpr int kBromideWidth = 176;
inline constexpr int kBromideHeight = 200;
inline constexpr int kBromideEntries = 13;

// Ending background archives of groups 0 to 5 share one geometry, indexed by entry alone.
struct CgGeometry {
  uint16_t cellsWide;
  uint16_t cellsHigh;
  uint32_t offset;  // byte offset of the entry in the archive
};
inline constexpr int kEndingBackgroundEntries = 11;
inline constexpr std::array<CgGeometry, kEndingBackgroundEntries> kCgTable = {{
    {40, 15, 0},
    {40, 15, 41376},
    {14, 15, 82752},
    {17, 10, 97608},
    {11, 10, 109744},
    {11, 13, 117800},
    {40, 20, 128100},
    {40, 20, 183076},
    {40, 20, 238052},
    {40, 20, 293028},
    {40, 20, 352932},
}};

// One entry of an ending sprite archive. Slots past a group's entry count hold zeros.
struct SpriteSlot {
  uint16_t offset;   // of the pixels in the archive, in units of 8 bytes
  uint16_t width;    // in units of 8 pixels
  uint16_t height;   // in pixel rows
  uint16_t palette;  // palette number within the group's palettes in "ending.bin"
};
inline constexpr std::array<int, kGroupCount> kSpriteCount = {24, 25, 27, 28, 25, 26, 7};
// Byte offset of each group's first palette in "ending.bin"; palettes are 512 bytes apiece.
inline constexpr std::array<uint32_t, kGroupCount> kPaletteBase = {
    106584, 117880, 129176, 141496, 153816, 164600, 175384};
inline constexpr std::string_view kSpritePaletteFile = "ending.bin";

extern const std::array<std::array<SpriteSlot, kSpriteSlots>, kGroupCount> kSpriteTable;

}  // namespace qelva
