// Two independent views of GIF image data for the encoder's tests:
//
// - a second encoder written the slow, literal way (a table of (prefix, suffix, hash, length)
//   entries, 256 hash buckets searched by walking whole prefix chains, codes ORed bit by bit
//   into a zero-filled buffer that reserves each sub-block's count byte as it goes), whose bytes
//   the fast encoder must match exactly;
// - a plain GIF LZW decoder that reports every code with the width it was read at, and the
//   pixels it stands for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/dib_image.h"

namespace qelva::test {

// The data sub-blocks and block terminator of image, encoded the literal way.
std::vector<uint8_t> ReferenceLzwEncode(const DibImage& image, int minCodeSize, bool interlaced);

struct LzwCode {
  uint32_t code;
  int width;
};

struct DecodedLzw {
  bool ok = false;
  std::string error;           // why the stream is not a valid one, when !ok
  std::vector<LzwCode> codes;  // every code read, EndCode included
  std::vector<uint8_t> pixels; // the pixels, in stream order
  size_t blockBytes = 0;       // bytes of sub-blocks and terminator that were read
};

// Reads sub-blocks from data[0..] up to the block terminator and decodes their codes. Empty
// sub-blocks before the end, a missing EndCode or codes past the table make it fail.
DecodedLzw DecodeLzw(const std::vector<uint8_t>& data, size_t offset, int minCodeSize);

}  // namespace qelva::test
