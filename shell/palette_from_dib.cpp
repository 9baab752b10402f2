#include "shell/palette_from_dib.h"

#include "common/byte_order.h"
#include "common/dib_image.h"

namespace qelva::shell {
namespace {

constexpr uint32_t kMostEntries = 256;

}  // namespace

std::optional<std::vector<PaletteColour>> PaletteFromDib(std::span<const uint8_t> info) {
  if (info.size() < kDibHeaderSize) return std::nullopt;
  const uint16_t bitCount = ReadLe16(info.data() + dib_field::kBitCount);
  uint64_t n = ReadLe32(info.data() + dib_field::kColoursUsed);
  // No count given: as many colours as the bit count tells apart; none for 24 bits, and above
  // 8 bits more than a palette holds.
  if (n == 0 && bitCount != 24) n = bitCount <= 8 ? uint64_t{1} << bitCount : kMostEntries + 1;
  if (n < 1 || n > kMostEntries) return std::nullopt;

  std::vector<PaletteColour> palette(n);
  for (size_t i = 0; i < n; ++i) {
    // The colour table follows the 40-byte header as blue, green, red, unused; an entry the
    // block does not wholly hold stays black.
    const size_t at = kDibHeaderSize + 4 * i;
    if (at + 4 > info.size()) break;
    palette[i] = {info[at + 2], info[at + 1], info[at]};
  }
  return palette;
}

}  // namespace qelva::shell
