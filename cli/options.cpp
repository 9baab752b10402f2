#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <thread>

namespace qelva::cli {
namespace {

struct TypeName {
  std::string_view name;
  OutputType type;
};
constexpr TypeName kTypeNames[] = {
    {"bmp", OutputType::kBmp},
    {"rle", OutputType::kRle},
    {"gif", OutputType::kGif},
    {"gif-i", OutputType::kGifInterlaced},
    {"gif-t", OutputType::kGifTransparent},
    {"gif-ti", OutputType::kGifTransparentInterlaced},
    // Named only: the numbers 1 to 6 are the Save dialog's, which has no PNG type.
    {"png", OutputType::kPng},
    {"png-t", OutputType::kPngTransparent},
};

std::optional<int32_t> ParseInt32(std::string_view text) {
  int32_t value = 0;
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

// An option that takes a value: "-t gif", "--type gif" and "--type=gif" all name it.
struct ValueOption {
  std::string_view shortName;
  std::string_view longName;
};
constexpr ValueOption kType{"-t", "--type"};
constexpr ValueOption kEntry{"-e", "--entry"};
constexpr ValueOption kOut{"-o", "--out"};
constexpr ValueOption kJobs{"-j", "--jobs"};

// If args[i] is the option, returns its value (consuming the next argument when needed).
std::optional<std::string> TakeValue(const ValueOption& option, std::span<const std::string> args,
                                     size_t& i) {
  const std::string& arg = args[i];
  if (arg == option.shortName || arg == option.longName) {
    if (i + 1 >= args.size()) throw UsageError(std::string(arg) + " needs a value");
    return args[++i];
  }
  const std::string prefix = std::string(option.longName) + "=";
  if (arg.starts_with(prefix)) return arg.substr(prefix.size());
  return std::nullopt;
}

}  // namespace

int DefaultJobCount() {
  const unsigned cores = std::thread::hardware_concurrency();  // 0 when unknown
  return static_cast<int>(std::clamp(cores, 1u, static_cast<unsigned>(kMaxJobs)));
}

std::optional<OutputType> ParseOutputType(std::string_view text) {
  for (size_t i = 0; i < std::size(kTypeNames); ++i) {
    if (text == kTypeNames[i].name) return kTypeNames[i].type;
    if (i < static_cast<size_t>(kSaveDialogTypeCount) && text == std::to_string(i + 1)) {
      return kTypeNames[i].type;
    }
  }
  return std::nullopt;
}

Options ParseOptions(std::span<const std::string> args) {
  Options options;
  bool onlyPaths = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyPaths || arg == "-" || !arg.starts_with("-")) {
      options.paths.push_back(arg);
    } else if (arg == "--") {
      onlyPaths = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "-l" || arg == "--list") {
      options.list = true;
    } else if (arg == "-r" || arg == "--recursive") {
      options.recursive = true;
    } else if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
    } else if (auto jobs = TakeValue(kJobs, args, i)) {
      const auto parsed = ParseInt32(*jobs);
      if (!parsed || *parsed < 1 || *parsed > kMaxJobs) {
        throw UsageError("the number of jobs '" + *jobs + "' is not a whole number from 1 to " +
                         std::to_string(kMaxJobs));
      }
      options.jobs = *parsed;
    } else if (auto type = TakeValue(kType, args, i)) {
      const auto parsed = ParseOutputType(*type);
      if (!parsed) throw UsageError("unknown type '" + *type + "' (bmp, rle, gif, gif-i, gif-t, gif-ti, png or png-t)");
      options.type = *parsed;
    } else if (auto entry = TakeValue(kEntry, args, i)) {
      const auto parsed = ParseInt32(*entry);
      if (!parsed) throw UsageError("the entry '" + *entry + "' is not a whole number");
      options.entry = parsed;
    } else if (auto out = TakeValue(kOut, args, i)) {
      if (out->empty()) throw UsageError("the output folder is empty");
      options.outDir = *out;
    } else {
      throw UsageError("unknown option '" + arg + "'");
    }
  }
  if (options.paths.empty() && !options.help && !options.version) {
    throw UsageError("no picture, archive or folder given");
  }
  return options;
}

std::string_view UsageText() {
  return "usage: qelvaconv [options] PATH...\n"
         "Converts game pictures, archives and whole game folders into picture files.\n"
         "\n"
         "  PATH            a game picture file, an archive, or a folder (its files in name\n"
         "                  order; files that are no game pictures are passed over)\n"
         "  -t, --type T    bmp | rle | gif | gif-i | gif-t | gif-ti   (or 1 to 6; default bmp)\n"
         "                  | png | png-t\n"
         "                  bmp: uncompressed bitmap   rle: RLE-compressed bitmap\n"
         "                  gif: GIF87a   gif-i: GIF87a, interlaced\n"
         "                  gif-t: GIF89a, colour 0 transparent   gif-ti: the same, interlaced\n"
         "                  png: indexed PNG   png-t: the same, colour 0 transparent\n"
         "  -e, --entry N   only entry N of each archive (default: every entry)\n"
         "  -o, --out DIR   output folder, created if missing (default: the current folder)\n"
         "  -r, --recursive folders and everything below them: the files of a folder first,\n"
         "                  then its subfolders in name order, each mirrored under --out\n"
         "  -j, --jobs N    pictures converted at once, 1 to 64 (default: the number of cores)\n"
         "  -q, --quiet     no progress line and no closing count on a terminal\n"
         "  -l, --list      print one line per picture and write nothing\n"
         "  -h, --help      this text\n"
         "      --version   the version\n"
         "\n"
         "Kabe01.bin becomes Kabe01.bmp (or .gif, .png); entry n of an archive becomes\n"
         "<archive name>-<n>.bmp (or .gif, .png).\n"
         "Exit status: 0 all converted, 1 some input failed, 2 bad usage.\n";
}

}  // namespace qelva::cli
