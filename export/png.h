// PNG files: the signature, IHDR, PLTE (and tRNS when index 0 is transparent) for palette
// pictures, the rows deflated by zlib into IDAT chunks, and IEND.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qelva {

struct DibImage;

// The zlib stream is cut into IDAT chunks of at most this many data bytes.
inline constexpr size_t kPngIdatChunkData = 65536;

// The whole file WritePng writes, in memory. Same contract as WritePng, without the file.
std::vector<uint8_t> PngFileBytes(const DibImage& image, bool indexZeroTransparent);

// Writes image to fileName as a PNG file, whole or not at all: an existing file of the name is
// replaced only by a complete new one, and the whole picture is encoded before the file is
// created.
//
// A picture of 1, 4 or 8 bits per pixel becomes an indexed-colour PNG of the same bit depth
// whose PLTE holds the full colour table of 2^bits entries, whatever the colours-used field
// says (the BMP and GIF writers do the same, and an index past PLTE would make the file
// invalid). With indexZeroTransparent a tRNS chunk makes index 0 fully transparent and every
// other index opaque. A 24-bit picture becomes a truecolour PNG (8 bits per channel); it has no
// colour indices, so indexZeroTransparent does not apply to it and no tRNS is written. All rows
// of a picture carry one filter type, None or Sub, whichever deflates smaller (None on a tie).
// Nothing else is written: no gamma, time or text chunks, so the same picture always gives the
// same bytes.
//
// Pictures a PNG cannot be made from (no pixels, top-down or compressed rows, other bit counts,
// blocks shorter than their header says) are refused with PictureError before anything is
// written.
void WritePng(const std::string& fileName, bool indexZeroTransparent, const DibImage& image);

}  // namespace qelva
