#include "shell/clipboard_dib.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/byte_order.h"

namespace qelva::shell {
namespace {

constexpr uint32_t kV4HeaderSize = 64;
constexpr uint32_t kMaxColours = 256;

// Appends n bytes of a block from offset on; what the block lacks is 0.
void AppendPadded(std::vector<uint8_t>& out, const std::vector<uint8_t>& block, size_t offset,
                  uint64_t n) {
  const size_t start = out.size();
  out.resize(start + n);
  if (offset < block.size()) {
    const size_t available = std::min<uint64_t>(n, block.size() - offset);
    std::memcpy(out.data() + start, block.data() + offset, available);
  }
}

}  // namespace

std::vector<uint8_t> PackedDibOf(const DibImage& image) {
  std::vector<uint8_t> packed;
  if (image.info.size() < kDibHeaderSize) return packed;
  const uint32_t headerSize = ReadLe32(&image.info[dib_field::kSize]);
  const unsigned bitCount = image.BitCount();
  uint64_t infoLength = headerSize;
  if (bitCount < 24) infoLength += uint64_t{4} << std::min(bitCount, 16u);
  const uint64_t pixelLength = image.PixelBlockSize();
  packed.reserve(infoLength + pixelLength);
  AppendPadded(packed, image.info, 0, infoLength);
  AppendPadded(packed, image.bits, 0, pixelLength);
  return packed;
}

std::optional<DibImage> DibFromClipboard(std::span<const uint8_t> packed) {
  if (packed.size() < kDibHeaderSize) return std::nullopt;
  const uint32_t headerSize = ReadLe32(&packed[dib_field::kSize]);
  if (headerSize != kDibHeaderSize && headerSize != kV4HeaderSize) return std::nullopt;
  const auto width = static_cast<int32_t>(ReadLe32(&packed[dib_field::kWidth]));
  const auto height = static_cast<int32_t>(ReadLe32(&packed[dib_field::kHeight]));
  const uint16_t bitCount = ReadLe16(&packed[dib_field::kBitCount]);
  const uint32_t compression = ReadLe32(&packed[dib_field::kCompression]);
  const uint32_t declaredSize = ReadLe32(&packed[dib_field::kImageSize]);
  uint32_t colours = ReadLe32(&packed[dib_field::kColoursUsed]);

  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) return std::nullopt;
  if (compression != kBiRgb) return std::nullopt;
  // Top-down rows (a negative height) and empty pictures are refused.
  if (width <= 0 || height <= 0) return std::nullopt;
  if (colours == 0 && bitCount != 24) colours = 1u << bitCount;
  if (colours > kMaxColours) return std::nullopt;

  // At most 2^31 x 96 bits a row and 2^31 rows: the product fits 64 bits.
  const uint64_t rowsLength = DibRowStride(width, bitCount) * static_cast<uint64_t>(height);
  if (rowsLength > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  // A declared image size shorter than the rows is a block the header contradicts.
  if (declaredSize != 0 && declaredSize < rowsLength) return std::nullopt;
  const uint64_t tableLength = uint64_t{4} * colours;
  if (uint64_t{headerSize} + tableLength + rowsLength > packed.size()) return std::nullopt;

  DibImage image;
  image.info.resize(kDibHeaderSize + tableLength);
  std::memcpy(image.info.data(), packed.data(), kDibHeaderSize);
  std::memcpy(image.info.data() + kDibHeaderSize, packed.data() + headerSize, tableLength);
  WriteLe32(&image.info[dib_field::kSize], kDibHeaderSize);
  WriteLe32(&image.info[dib_field::kColoursUsed], colours);
  image.SetImageSize(static_cast<uint32_t>(rowsLength));
  const auto rows = packed.subspan(headerSize + tableLength, rowsLength);
  image.bits.assign(rows.begin(), rows.end());
  return image;
}

}  // namespace qelva::shell
