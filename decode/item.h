// Item pictures: a stored palette followed by 112 rows of 112 pixels, top row first.
#pragma once

#include <cstdint>

namespace qelva {

class GameFile;
struct DibImage;

inline constexpr int kItemSide = 112;
inline constexpr uint64_t kItemFileSize = 512 + kItemSide * kItemSide;  // 13056

// Decodes the item picture at offset 0 of file into image, whose info comes from NewDibInfo.
// Closes the file when done; a short file raises the read-beyond-end error.
void DecodeItem(DibImage& image, GameFile& file);

}  // namespace qelva
