#include "cli/options.h"

#include <charconv>

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

std::optional<OutputType> ParseOutputType(std::string_view text) {
  for (size_t i = 0; i < std::size(kTypeNames); ++i) {
    if (text == kTypeNames[i].name || text == std::to_string(i + 1)) return kTypeNames[i].type;
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
    } else if (auto type = TakeValue(kType, args, i)) {
      const auto parsed = ParseOutputType(*type);
      if (!parsed) throw UsageError("unknown type '" + *type + "' (bmp, rle, gif, gif-i, gif-t or gif-ti)");
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
         "                  bmp: uncompressed bitmap   rle: RLE-compressed bitmap\n"
         "                  gif: GIF87a   gif-i: GIF87a, interlaced\n"
         "                  gif-t: GIF89a, colour 0 transparent   gif-ti: the same, interlaced\n"
         "  -e, --entry N   only entry N of each archive (default: every entry)\n"
         "  -o, --out DIR   output folder, created if missing (default: the current folder)\n"
         "  -l, --list      print one line per picture and write nothing\n"
         "  -h, --help      this text\n"
         "      --version   the version\n"
         "\n"
         "Kabe01.bin becomes Kabe01.bmp (or .gif); entry n of an archive becomes\n"
         "<archive name>-<n>.bmp (or .gif).\n"
         "Exit status: 0 all converted, 1 some input failed, 2 bad usage.\n";
}

}  // namespace qelva::cli
