// The converter's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "export/picture_file.h"

namespace qelva::cli {

// The viewer's save types, in the order of its Save dialog.
using OutputType = PictureFileType;

// -j takes 1 to this many pictures at once: more threads than that only cost memory (each
// holds a decoded picture and an encoder's tables) on any machine the converter runs on.
inline constexpr int kMaxJobs = 64;
// The number of cores, 1 when unknown, at most kMaxJobs.
int DefaultJobCount();

struct Options {
  OutputType type = OutputType::kBmp;
  std::optional<int32_t> entry;  // only this entry of each archive; all entries when absent
  std::string outDir;            // empty: the current folder
  bool list = false;
  bool recursive = false;        // folders with everything below them, mirrored under outDir
  bool quiet = false;            // no progress line and no closing count on a terminal
  int jobs = DefaultJobCount();  // pictures converted at once, 1 to kMaxJobs
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
std::string_view UsageText();

}  // namespace qelva::cli
