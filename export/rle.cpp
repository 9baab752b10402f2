#include "export/rle.h"

#include <algorithm>
#include <new>
#include <vector>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"

namespace qelva {
namespace {

constexpr std::string_view kMsgBadSource = "RLE 圧縮できないﾋﾞｯﾄﾏｯﾌﾟです";
constexpr std::string_view kMsgTooLarge = "ﾋﾞｯﾄﾏｯﾌﾟが大きすぎて RLE 圧縮できません";

constexpr uint8_t kEscape = 0x00;
constexpr uint8_t kEndOfLine = 0x00;
constexpr uint8_t kEndOfBitmap = 0x01;
constexpr size_t kMaxRecordBytes = 255;

}  // namespace

size_t LiteralLength(const uint8_t* p, size_t n, const uint8_t* end) {
  size_t k = 0;
  while (k < n && (p + k + 1 >= end || p[k + 1] != p[k])) ++k;
  return k;
}

size_t RunLength(const uint8_t* p, size_t n) {
  size_t k = 1;
  while (k < n && p[k] == p[k - 1]) ++k;
  return k;
}

bool EncodeRle8(const DibImage& source, DibImage& encoded) {
  if (source.info.size() < kDibHeaderSize) throw PictureError(std::string(kMsgBadSource));
  const uint16_t bitCount = source.BitCount();
  if (bitCount != 4 && bitCount != 8) return false;

  // In 64 bits, so that a huge size field cannot wrap around in a 32-bit build.
  const uint64_t infoSize =
      uint64_t{ReadLe32(&source.info[dib_field::kSize])} + (uint64_t{4} << bitCount);
  const int64_t width = source.Width();
  const int64_t height = source.Height();
  const uint64_t stride = DibRowStride(width, bitCount);
  if (source.info.size() < infoSize || width < 0 || height < 0 ||
      source.bits.size() < stride * static_cast<uint64_t>(height)) {
    throw PictureError(std::string(kMsgBadSource));
  }

  const size_t rowBytes = static_cast<size_t>((static_cast<uint64_t>(width) * bitCount + 7) / 8);
  const size_t pixelsPerByte = 8 / bitCount;
  std::vector<uint8_t> stream;
  try {
    stream.reserve(static_cast<size_t>(stride * static_cast<uint64_t>(height)));
    const uint8_t* const end = source.bits.data() + source.bits.size();
    for (int64_t row = 0; row < height; ++row) {
      const uint8_t* p = source.bits.data() + static_cast<size_t>(row) * stride;
      size_t pos = 0;
      while (pos < rowBytes) {
        const size_t n = std::min(rowBytes - pos, kMaxRecordBytes) / pixelsPerByte;
        size_t k = LiteralLength(p, n, end);
        if (k * pixelsPerByte > 2) {
          stream.push_back(kEscape);
          stream.push_back(static_cast<uint8_t>(k * pixelsPerByte));
          stream.insert(stream.end(), p, p + k);
          if (k % 2 != 0) stream.push_back(0);
        } else {
          k = RunLength(p, n);
          stream.push_back(static_cast<uint8_t>(k * pixelsPerByte));
          stream.push_back(p[0]);
        }
        pos += k;
        p += k;
      }
      stream.push_back(kEscape);
      stream.push_back(row + 1 < height ? kEndOfLine : kEndOfBitmap);
    }
  } catch (const std::bad_alloc&) {
    throw StreamError::MemoryStreamFull();
  }
  // The stream's length must fit the header's 32-bit image-size field.
  if (stream.size() > UINT32_MAX) throw PictureError(std::string(kMsgTooLarge));

  DibImage result;
  result.info.assign(source.info.begin(), source.info.begin() + static_cast<ptrdiff_t>(infoSize));
  result.SetCompression(bitCount == 4 ? kBiRle4 : kBiRle8);
  result.SetImageSize(static_cast<uint32_t>(stream.size()));
  result.bits = std::move(stream);
  encoded = std::move(result);
  return true;
}

}  // namespace qelva
