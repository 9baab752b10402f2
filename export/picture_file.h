// The picture file types both programs write, in the order of the viewer's Save dialog: the six
// bitmap and GIF types, then the two PNG types; and the one place that picks the writer and its
// arguments for each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qelva {

struct DibImage;

enum class PictureFileType {
  kBmp,                       // Windows bitmap, uncompressed
  kRle,                       // Windows bitmap, RLE8/RLE4 where the bit count allows
  kGif,                       // GIF87a
  kGifInterlaced,             // GIF87a, interlaced
  kGifTransparent,            // GIF89a, colour index 0 transparent
  kGifTransparentInterlaced,  // GIF89a, colour index 0 transparent, interlaced
  kPng,                       // PNG, indexed colour (truecolour for a 24-bit picture)
  kPngTransparent,            // PNG, indexed colour, colour index 0 transparent
};
inline constexpr int kPictureFileTypeCount = 8;
// The first six types, the bitmap and GIF ones, also go by their numbers 1 to 6 (their places
// in the viewer's Save dialog since before it offered the PNG types, as filter indexes 7 and 8).
inline constexpr int kSaveDialogTypeCount = 6;

// How a GIF type is written: the arguments of WriteGif.
struct GifArguments {
  bool interlaced;
  int16_t transparentIndex;  // -1: none
};
// The GIF arguments of a type, or nothing for the bitmap and PNG types.
std::optional<GifArguments> GifArgumentsOf(PictureFileType type);
// Whether a type writes PNG files.
bool IsPngType(PictureFileType type);
// The extension of a type's files, with the dot: ".bmp", ".gif" or ".png".
std::string_view FileExtensionOf(PictureFileType type);

// Writes the picture as a file of the type, whole or not at all. The RLE type writes a picture
// it cannot compress (neither 4 nor 8 bits per pixel) uncompressed; the PNG types write a
// 24-bit picture as a truecolour PNG (without transparency). Returns false, writing nothing,
// for a GIF type and a picture of more than 8 bits per pixel; the writers' failures are raised
// as they are.
bool WritePictureFile(const std::string& fileName, PictureFileType type, DibImage& image);

}  // namespace qelva
