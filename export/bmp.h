// Windows bitmap files: the 14-byte BITMAPFILEHEADER, the BITMAPINFOHEADER with its colour
// table, and the pixel block, exactly as a DibImage holds them.
#pragma once

#include <cstdint>
#include <string>

namespace qelva {

struct DibImage;

inline constexpr uint32_t kBitmapFileHeaderSize = 14;

// Bytes of the info block as written: the 40-byte header and a full colour table of
// 2^bitCount entries (none for 24 bits): 48, 104, 1064 or 40.
uint32_t BitmapInfoSize(uint16_t bitCount);

// Writes image to fileName, whole or not at all (an existing file is replaced only by a
// complete new one). Pictures of 1, 4, 8 and 24 bits per pixel are written; anything else,
// or blocks shorter than their header says, is refused with PictureError. For an uncompressed
// picture the image-size field is written, and left in image, as 0.
void WriteBitmapFile(const std::string& fileName, DibImage& image);

}  // namespace qelva
