// Palettes and the DibInfo block every decoder fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qelva {

class GameFile;

// A stored palette: 256 big-endian words of 15-bit colour (bit 15 unused, then 5 bits each of
// blue, green and red from the high end).
inline constexpr size_t kStoredPaletteSize = 512;

// A zero-filled 1064-byte DibInfo (header + 256 colours) with size 40, planes 1, bit count 8
// and compression BI_RGB; the decoder writes width, height and the colour table.
std::vector<uint8_t> NewDibInfo();

// Turns a stored palette into 256 RGBQUAD entries (blue, green, red); a 5-bit component c
// becomes c x 255 / 31, truncated. The reserved bytes are left as they are.
void ConvertPalette(const uint8_t* stored, uint8_t* colourTable);

// Reads a stored palette at the file's position into colourTable in one 512-byte read.
void ReadPalette(uint8_t* colourTable, GameFile& file);

}  // namespace qelva
