// Pictures on the clipboard: the packed device-independent bitmap (CF_DIB), one block holding
// the BITMAPINFOHEADER, its colour table and the pixel rows, in that order, without gaps.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/dib_image.h"

namespace qelva::shell {

// The block Copy puts on the clipboard: the header, below 24 bits the full colour table of
// 2^bit count entries (whatever colours used says), then the pixel block (the header's image
// size, or where that is 0 the padded rows). Bytes the image's own blocks lack are 0.
std::vector<uint8_t> PackedDibOf(const DibImage& image);

// The picture in a packed DIB that another program put on the clipboard, as a new DibImage with
// a 40-byte header, a colour table of exactly its colours-used entries (2^bit count when that
// is 0, none for 24 bits) and its pixel rows; the image size field holds the rows' length.
//
// The block is untrusted. Accepted are headers of 40 or 64 bytes (a 64-byte header is read as
// its first 40), uncompressed bottom-up pictures of 1, 4, 8 or 24 bits per pixel with a
// positive width and height, at most 256 colours, whose rows and table lie inside the block.
// Anything else gives nothing; nothing is read outside the block.
std::optional<DibImage> DibFromClipboard(std::span<const uint8_t> packed);

}  // namespace qelva::shell
