#include "export/bmp.h"

#include <array>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "common/output_file.h"

namespace qelva {
namespace {

constexpr std::string_view kMsgBitmapTooLarge = "ﾋﾞｯﾄﾏｯﾌﾟが大きすぎます (%s ﾊﾞｲﾄ)";

bool IsWritableBitCount(uint16_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24;
}

}  // namespace

uint32_t BitmapInfoSize(uint16_t bitCount) {
  return bitCount == 24 ? kDibHeaderSize : kDibHeaderSize + (4u << bitCount);
}

void WriteBitmapFile(const std::string& fileName, DibImage& image) {
  if (image.info.size() < kDibHeaderSize) throw PictureError::BlocksTooShort();
  const uint16_t bitCount = image.BitCount();
  if (!IsWritableBitCount(bitCount)) {
    throw PictureError::UnsupportedBitCount(bitCount);
  }
  const uint32_t infoSize = BitmapInfoSize(bitCount);
  const uint64_t imageSize = image.PixelBlockSize();
  const uint64_t fileSize = kBitmapFileHeaderSize + infoSize + imageSize;
  if (image.info.size() < infoSize || image.bits.size() < imageSize) {
    throw PictureError::BlocksTooShort();
  }
  if (fileSize > UINT32_MAX) {
    throw PictureError(FillMessage(kMsgBitmapTooLarge, std::to_string(fileSize)));
  }

  if (image.Compression() == kBiRgb) image.SetImageSize(0);
  std::array<uint8_t, kBitmapFileHeaderSize> header{};
  header[0] = 'B';
  header[1] = 'M';
  WriteLe32(&header[2], static_cast<uint32_t>(fileSize));
  WriteLe32(&header[10], kBitmapFileHeaderSize + infoSize);

  OutputFile file(fileName);
  file.Write(header.data(), header.size());
  file.Write(image.info.data(), infoSize);
  file.Write(image.bits.data(), static_cast<size_t>(imageSize));
  file.Commit();
}

}  // namespace qelva
