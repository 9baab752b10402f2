#include "decode/palette.h"

#include <array>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/game_file.h"

namespace qelva {

std::vector<uint8_t> NewDibInfo() {
  std::vector<uint8_t> info(kDecoderInfoSize, 0);
  WriteLe32(&info[dib_field::kSize], kDibHeaderSize);
  WriteLe16(&info[dib_field::kPlanes], 1);
  WriteLe16(&info[dib_field::kBitCount], 8);
  WriteLe32(&info[dib_field::kCompression], kBiRgb);
  return info;
}

void ConvertPalette(const uint8_t* stored, uint8_t* colourTable) {
  static constexpr auto kWiden = [] {
    std::array<uint8_t, 32> widen{};
    for (unsigned c = 0; c < 32; ++c) widen[c] = static_cast<uint8_t>(c * 255 / 31);
    return widen;
  }();
  for (size_t i = 0; i < 256; ++i) {
    const unsigned w = ReadBe16(stored + 2 * i) & 0x7FFFu;
    uint8_t* entry = colourTable + 4 * i;
    entry[0] = kWiden[(w >> 10) & 31];
    entry[1] = kWiden[(w >> 5) & 31];
    entry[2] = kWiden[w & 31];
  }
}

void ReadPalette(uint8_t* colourTable, GameFile& file) {
  std::array<uint8_t, kStoredPaletteSize> stored;
  file.Read(stored.data(), stored.size());
  ConvertPalette(stored.data(), colourTable);
}

}  // namespace qelva
