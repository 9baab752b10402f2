#include "decode/item.h"

#include <algorithm>
#include <vector>

#include "common/dib_image.h"
#include "common/game_file.h"
#include "decode/palette.h"

namespace qelva {

void DecodeItem(DibImage& image, GameFile& file) {
  const CloseOnExit closer(file);
  constexpr size_t kSide = kItemSide;
  image.SetWidth(kItemSide);
  image.SetHeight(kItemSide);
  image.bits.resize(kSide * kSide);
  ReadPalette(image.ColourTable(), file);

  std::vector<uint8_t> rows(kSide * kSide);
  file.Read(rows.data(), rows.size());
  // The file's rows run top to bottom, DibBits rows bottom to top.
  for (size_t k = 0; k < kSide; ++k) {
    const uint8_t* from = rows.data() + (kSide - 1 - k) * kSide;
    std::copy_n(from, kSide, image.bits.data() + k * kSide);
  }
}

}  // namespace qelva
