// The converter's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qelva::cli {

// The viewer's save types, in the order of its Save dialog.
enum class OutputType {
  kBmp,                       // Windows bitmap, uncompressed
  kRle,                       // Windows bitmap, RLE8/RLE4 where the bit count allows
  kGif,                       // GIF87a
  kGifInterlaced,             // GIF87a, interlaced
  kGifTransparent,            // GIF89a, colour index 0 transparent
  kGifTransparentInterlaced,  // GIF89a, colour index 0 transparent, interlaced
};

// How a GIF type is written: the arguments of WriteGif.
struct GifType {
  bool interlaced;
  int16_t transparentIndex;  // -1: none
};
// The GIF arguments of a type, or nothing for the bitmap types.
std::optional<GifType> GifTypeOf(OutputType type);

struct Options {
  OutputType type = OutputType::kBmp;
  std::optional<int32_t> entry;  // only this entry of each archive; all entries when absent
  std::string outDir;            // empty: the current folder
  bool list = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> paths;
};

// A command line the converter cannot follow; main prints the message and exits with 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name. Raises UsageError for unknown options, missing
// or bad values, and for no paths at all (unless --help or --version was asked for).
Options ParseOptions(std::span<const std::string> args);

// The type named by a -t value: its name, or its number 1 up in the Save dialog's order.
std::optional<OutputType> ParseOutputType(std::string_view text);
// The extension of a type's files, with the dot.
std::string_view OutputExtension(OutputType type);

std::string_view UsageText();

}  // namespace qelva::cli
