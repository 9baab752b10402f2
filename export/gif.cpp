#include "export/gif.h"

#include <array>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "common/output_file.h"
#include "export/picture_check.h"

namespace qelva {
namespace {

constexpr std::string_view kMsgCompressed = "圧縮されたﾋﾞｯﾄﾏｯﾌﾟはGIFで保存できません";
constexpr std::string_view kMsgBadSize = "この大きさの画像はGIFで保存できません (%s)";

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGlobalColourTable = 0x80;
constexpr uint8_t kColourResolution8 = 0x70;
constexpr uint8_t kInterlacedImage = 0x40;
constexpr uint8_t kTransparentColour = 0x01;
constexpr size_t kScreenSize = 13;  // signature and logical screen descriptor

bool IsGifBitCount(uint16_t bitCount) { return bitCount == 1 || bitCount == 4 || bitCount == 8; }

// What a GIF file can hold: 1, 4 or 8 bits per pixel, sides of 16 bits.
const WriterLimits kGifLimits{&IsGifBitCount, kGifMaxSide, kMsgCompressed, kMsgBadSize};

// "GIF87a" or "GIF89a", the logical screen descriptor and the global colour table of 2^bc
// entries, red-green-blue, from the DIB's table whatever its colours-used field says.
void AppendScreen(const DibImage& image, bool transparent, std::vector<uint8_t>& out) {
  const uint16_t bitCount = image.BitCount();
  std::array<uint8_t, kScreenSize> screen{'G', 'I', 'F', '8', '7', 'a'};
  if (transparent) screen[4] = '9';
  WriteLe16(&screen[6], static_cast<uint16_t>(image.Width()));
  WriteLe16(&screen[8], static_cast<uint16_t>(image.Height()));
  screen[10] = static_cast<uint8_t>(kGlobalColourTable | kColourResolution8 | (bitCount - 1));
  // screen[11], the background colour index, and screen[12], the pixel aspect ratio, are 0.
  out.insert(out.end(), screen.begin(), screen.end());

  const unsigned colours = 1u << bitCount;
  const size_t start = out.size();
  out.resize(start + 3 * size_t{colours});
  uint8_t* rgb = out.data() + start;
  const uint8_t* quad = image.ColourTable();
  for (unsigned i = 0; i < colours; ++i, quad += 4, rgb += 3) {
    rgb[0] = quad[2];
    rgb[1] = quad[1];
    rgb[2] = quad[0];
  }
}

// The graphic control extension: no disposal, no user input, no delay, a transparent colour.
void AppendGraphicControl(uint8_t transparentIndex, std::vector<uint8_t>& out) {
  out.insert(out.end(), {kExtensionIntroducer, kGraphicControlLabel, 0x04, kTransparentColour,
                         0x00, 0x00, transparentIndex, 0x00});
}

// The image descriptor: the image fills the screen and has no local colour table.
void AppendImageDescriptor(const DibImage& image, bool interlaced, std::vector<uint8_t>& out) {
  std::array<uint8_t, 10> descriptor{kImageSeparator};
  WriteLe16(&descriptor[5], static_cast<uint16_t>(image.Width()));
  WriteLe16(&descriptor[7], static_cast<uint16_t>(image.Height()));
  descriptor[9] = interlaced ? kInterlacedImage : 0;
  out.insert(out.end(), descriptor.begin(), descriptor.end());
}

}  // namespace

std::vector<uint8_t> GifFileBytes(const DibImage& image, bool interlaced, int16_t transparentIndex,
                                  const LzwProgress& progress) {
  CheckWritablePicture(image, kGifLimits);
  const bool transparent = transparentIndex >= 0;
  const int minCodeSize = MinCodeSizeFor(image.BitCount());

  std::vector<uint8_t> file;
  // Room for everything before the image data, which make room for themselves and the trailer.
  file.reserve(kScreenSize + 3 * (size_t{1} << image.BitCount()) + 8 + 10 + 1);
  AppendScreen(image, transparent, file);
  if (transparent) AppendGraphicControl(static_cast<uint8_t>(transparentIndex), file);
  AppendImageDescriptor(image, interlaced, file);
  file.push_back(static_cast<uint8_t>(minCodeSize));
  LzwEncode(image, minCodeSize, interlaced, progress, file);
  file.push_back(kTrailer);
  return file;
}

bool WriteGif(const std::string& fileName, bool interlaced, int16_t transparentIndex,
              const DibImage& image, const LzwProgress& progress) {
  if (image.info.size() < kDibHeaderSize) throw PictureError::BlocksTooShort();
  if (image.BitCount() > 8) return false;
  const std::vector<uint8_t> bytes = GifFileBytes(image, interlaced, transparentIndex, progress);
  OutputFile file(fileName);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
  return true;
}

}  // namespace qelva
