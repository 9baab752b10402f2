#include "export/picture_file.h"

#include "common/dib_image.h"
#include "export/bmp.h"
#include "export/gif.h"
#include "export/png.h"
#include "export/rle.h"

namespace qelva {

std::optional<GifArguments> GifArgumentsOf(PictureFileType type) {
  switch (type) {
    case PictureFileType::kBmp:
    case PictureFileType::kRle: return std::nullopt;
    case PictureFileType::kGif: return GifArguments{false, -1};
    case PictureFileType::kGifInterlaced: return GifArguments{true, -1};
    case PictureFileType::kGifTransparent: return GifArguments{false, 0};
    case PictureFileType::kGifTransparentInterlaced: return GifArguments{true, 0};
    case PictureFileType::kPng:
    case PictureFileType::kPngTransparent: return std::nullopt;
  }
  return std::nullopt;
}

bool IsPngType(PictureFileType type) {
  return type == PictureFileType::kPng || type == PictureFileType::kPngTransparent;
}

std::string_view FileExtensionOf(PictureFileType type) {
  if (IsPngType(type)) return ".png";
  return GifArgumentsOf(type) ? ".gif" : ".bmp";
}

bool WritePictureFile(const std::string& fileName, PictureFileType type, DibImage& image) {
  if (const auto gif = GifArgumentsOf(type)) {
    return WriteGif(fileName, gif->interlaced, gif->transparentIndex, image);
  }
  if (IsPngType(type)) {
    WritePng(fileName, type == PictureFileType::kPngTransparent, image);
    return true;
  }
  if (type == PictureFileType::kRle) {
    // The compressed pair lives only while it is written.
    DibImage encoded;
    if (EncodeRle8(image, encoded)) {
      WriteBitmapFile(fileName, encoded);
      return true;
    }
  }
  WriteBitmapFile(fileName, image);
  return true;
}

}  // namespace qelva
