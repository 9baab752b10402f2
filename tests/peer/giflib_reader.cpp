#include "giflib_reader.h"

#include <gif_lib.h>

#include <algorithm>

namespace qelva::peer {
namespace {

struct Source {
  const std::vector<uint8_t>* bytes;
  size_t at = 0;
};

int ReadFromBytes(GifFileType* gif, GifByteType* out, int n) {
  auto* source = static_cast<Source*>(gif->UserData);
  const size_t take = std::min(source->bytes->size() - source->at, static_cast<size_t>(n));
  std::copy_n(source->bytes->data() + source->at, take, out);
  source->at += take;
  return static_cast<int>(take);
}

}  // namespace

bool ReadGifWithGiflib(const std::vector<uint8_t>& bytes, GiflibPicture& picture, std::string& error) {
  Source source{&bytes};
  int code = 0;
  GifFileType* gif = DGifOpen(&source, ReadFromBytes, &code);
  if (gif == nullptr) {
    error = std::string("giflib cannot open it: ") + GifErrorString(code);
    return false;
  }
  bool ok = false;
  if (DGifSlurp(gif) != GIF_OK) {
    error = std::string("giflib rejects it: ") + GifErrorString(gif->Error);
  } else if (gif->ImageCount != 1 || gif->SColorMap == nullptr) {
    error = "not one image with a global colour table";
  } else if (const GifImageDesc& d = gif->SavedImages[0].ImageDesc;
             d.Left != 0 || d.Top != 0 || d.Width != gif->SWidth || d.Height != gif->SHeight ||
             d.ColorMap != nullptr) {
    error = "the image does not fill the screen, or has a colour table of its own";
  } else {
    picture.width = gif->SWidth;
    picture.height = gif->SHeight;
    picture.paletteRgb.clear();
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
      const GifColorType& c = gif->SColorMap->Colors[i];
      picture.paletteRgb.insert(picture.paletteRgb.end(), {c.Red, c.Green, c.Blue});
    }
    // DGifSlurp puts the rows of an interlaced image back in top-down order itself.
    const GifByteType* raster = gif->SavedImages[0].RasterBits;
    picture.indices.assign(raster, raster + static_cast<size_t>(picture.width) * picture.height);
    GraphicsControlBlock gcb;
    picture.transparentIndex =
        DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK ? gcb.TransparentColor : -1;
    ok = true;
  }
  DGifCloseFile(gif, &code);
  return ok;
}

}  // namespace qelva::peer
