// The checks a writer makes before it encodes or writes anything: a picture it can take, whose
// blocks hold what its header says.
#pragma once

#include <cstdint>
#include <string_view>

namespace qelva {

struct DibImage;

struct WriterLimits {
  bool (*takesBitCount)(uint16_t bitCount);
  int32_t maxSide;                     // the largest width and height the file can hold
  std::string_view compressedMessage;  // for compressed (RLE) rows
  std::string_view sizeMessage;        // for a size it cannot hold; %s is "W x H"
};

// Raises PictureError for a header shorter than 40 bytes or a colour table shorter than 2^bit
// count entries (below 24 bits), a bit count the writer does not take, compressed rows, a width
// or height of 0 or less (a negative height means top-down rows) or above maxSide, and a pixel
// block shorter than the rows.
void CheckWritablePicture(const DibImage& image, const WriterLimits& limits);

}  // namespace qelva
