// Run-length encoding of bitmaps: BI_RLE8 for 8-bit pictures and BI_RLE4 for 4-bit ones.
//
// Rows are encoded in storage order (bottom row first) as encoded runs (count, value) and
// absolute runs (0, count, bytes, a pad byte to an even length), each row closed by an end of
// line (0, 0), the last by the end of bitmap (0, 1). The delta escape is never written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelva {

struct DibImage;

// How many of the n bytes at p each differ from the byte after them: the length of an absolute
// run starting at p. The byte after the chunk may lie past it (in the next chunk, the padding or
// the next row); where it would lie at or past `end`, the end of the pixel block, it is not read
// and counts as different.
size_t LiteralLength(const uint8_t* p, size_t n, const uint8_t* end);

// How many of the n bytes at p equal p[0], counting from p[0]: at least 1, at most max(n, 1).
size_t RunLength(const uint8_t* p, size_t n);

// Encodes source (8 or 4 bits per pixel, bottom-up) into encoded: a copy of its header and
// colour table with compression BI_RLE8 or BI_RLE4 and the stream's length as image size, and
// the stream as pixels. Returns false, leaving encoded untouched, for any other bit count.
// Blocks shorter than their header says are refused with PictureError.
bool EncodeRle8(const DibImage& source, DibImage& encoded);

}  // namespace qelva
