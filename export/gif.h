// GIF files: one image with a global colour table, GIF87a, or GIF89a when a transparent colour
// index is named in a graphic control extension; the rows stored plain or interlaced.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/lzw.h"

namespace qelva {

struct DibImage;

// Widths and heights are 16-bit numbers in a GIF file.
inline constexpr int32_t kGifMaxSide = 65535;

// The whole file WriteGif writes, in memory: header and colour table, the graphic control
// extension when transparentIndex is 0 or more, the image descriptor, the minimum code size,
// the image data and the trailer. Same contract as WriteGif, without the file.
std::vector<uint8_t> GifFileBytes(const DibImage& image, bool interlaced, int16_t transparentIndex,
                                  const LzwProgress& progress = {});

// Writes image (1, 4 or 8 bits per pixel) to fileName as a GIF file. transparentIndex is -1 for
// a GIF87a file without transparency (any negative value counts as -1), or the colour index
// (its low byte) that a GIF89a file names as transparent.
//
// Returns false, creating no file, when the picture has more than 8 bits per pixel. The whole
// picture is encoded before the file is created, and the file is written whole or not at all:
// an existing file of the name is replaced only by a complete new one. Pictures a GIF cannot
// hold (no pixels, a side above 65535, top-down or compressed rows, other bit counts, blocks
// shorter than their header says) are refused with PictureError before anything is written.
bool WriteGif(const std::string& fileName, bool interlaced, int16_t transparentIndex,
              const DibImage& image, const LzwProgress& progress = {});

}  // namespace qelva
