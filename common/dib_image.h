// DibImage: a picture as the two blocks of a Windows device-independent bitmap.
//
// `info` is the 40-byte BITMAPINFOHEADER followed by the colour table (RGBQUAD: blue, green,
// red, 0); `bits` holds the pixel rows bottom row first, each padded to a multiple of 4 bytes.
// The image is empty exactly when `info` is empty. Both blocks are owned here: replacing,
// committing or discarding an image is a move or Reset(), never a manual free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qelva {

inline constexpr size_t kDibHeaderSize = 40;
// The decoders' DibInfo: the header and a colour table of 256 entries.
inline constexpr size_t kDecoderInfoSize = kDibHeaderSize + 256 * 4;

// Offsets of the BITMAPINFOHEADER fields.
namespace dib_field {
inline constexpr size_t kSize = 0;
inline constexpr size_t kWidth = 4;
inline constexpr size_t kHeight = 8;
inline constexpr size_t kPlanes = 12;
inline constexpr size_t kBitCount = 14;
inline constexpr size_t kCompression = 16;
inline constexpr size_t kImageSize = 20;
inline constexpr size_t kXPelsPerMeter = 24;
inline constexpr size_t kYPelsPerMeter = 28;
inline constexpr size_t kColoursUsed = 32;
inline constexpr size_t kColoursImportant = 36;
}  // namespace dib_field

inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;

// Bytes in one stored row: bit count x width bits, padded to a multiple of 4 bytes.
// Computed in 64 bits so that no header value can overflow it.
uint64_t DibRowStride(int64_t width, unsigned bitCount);

struct DibImage {
  std::vector<uint8_t> info;
  std::vector<uint8_t> bits;

  bool Empty() const { return info.empty(); }
  void Reset() {
    info = {};
    bits = {};
  }

  // Header accessors; the image must not be empty (info holds at least the 40-byte header).
  int32_t Width() const;
  int32_t Height() const;
  uint16_t BitCount() const;
  uint32_t Compression() const;
  uint32_t ImageSize() const;
  void SetWidth(int32_t width);
  void SetHeight(int32_t height);
  void SetBitCount(uint16_t bitCount);
  void SetCompression(uint32_t compression);
  void SetImageSize(uint32_t size);

  // The colour table starts right after the 40-byte header.
  uint8_t* ColourTable() { return info.data() + kDibHeaderSize; }
  const uint8_t* ColourTable() const { return info.data() + kDibHeaderSize; }

  // Length of the pixel block: the header's image size, or where that is 0 the padded rows.
  uint64_t PixelBlockSize() const;
};

}  // namespace qelva
