// The logical palette of a DibInfo block: its colour-table entries as (red, green, blue).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qelva::shell {

struct PaletteColour {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const PaletteColour&) const = default;
};

// n := colours used, or 2 to the power bit count when that is 0 and the bit count is not 24.
// No palette when n is outside 1 to 256 (a 24-bit picture, or a header out of range). Entry i
// is read at byte 40 + 4 i of info; entries that info is too short to hold are black, so
// nothing is read past the block. info shorter than the 40-byte header gives no palette.
std::optional<std::vector<PaletteColour>> PaletteFromDib(std::span<const uint8_t> info);

}  // namespace qelva::shell
