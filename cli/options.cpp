#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <getopt.h>
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
    // Named only: the numbers 1 to 6 stand for the six bitmap and GIF types alone.
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

// The options as getopt_long knows them. The short string begins with "-": every path comes back
// in its place among the options (so the order of the paths never depends on the environment, as
// getopt's permuting would on POSIXLY_CORRECT), and with ":": getopt prints nothing of its own and
// reports a missing value apart from an unknown option.
constexpr char kShortOptions[] = "-:hlrqt:e:o:j:";
constexpr int kVersionOption = 256;  // --version has no short name
constexpr option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersionOption},
    {"list", no_argument, nullptr, 'l'},
    {"recursive", no_argument, nullptr, 'r'},
    {"quiet", no_argument, nullptr, 'q'},
    {"type", required_argument, nullptr, 't'},
    {"entry", required_argument, nullptr, 'e'},
    {"out", required_argument, nullptr, 'o'},
    {"jobs", required_argument, nullptr, 'j'},
    {nullptr, 0, nullptr, 0},
};

// The option getopt_long has just refused, as the user wrote it: the whole argument for a long one
// ("--frob", "--list=3", "--type"), "-x" for a short one, also from inside a bundle such as "-rx".
// A long option always moves getopt on to the next argument; a short one inside a bundle may not.
std::string RefusedOption(char* const* argv, int optindBefore) {
  if (optind > optindBefore && std::string_view(argv[optind - 1]).starts_with("--")) {
    return argv[optind - 1];
  }
  return std::string("-") + static_cast<char>(optopt);
}

void SetOption(Options& options, int name, const std::string& value) {
  switch (name) {
    case 'h': options.help = true; break;
    case kVersionOption: options.version = true; break;
    case 'l': options.list = true; break;
    case 'r': options.recursive = true; break;
    case 'q': options.quiet = true; break;
    case 'j': {
      const auto parsed = ParseInt32(value);
      if (!parsed || *parsed < 1 || *parsed > kMaxJobs) {
        throw UsageError("the number of jobs '" + value + "' is not a whole number from 1 to " +
                         std::to_string(kMaxJobs));
      }
      options.jobs = *parsed;
      break;
    }
    case 't': {
      const auto parsed = ParseOutputType(value);
      if (!parsed) throw UsageError("unknown type '" + value + "' (bmp, rle, gif, gif-i, gif-t, gif-ti, png or png-t)");
      options.type = *parsed;
      break;
    }
    case 'e': {
      const auto parsed = ParseInt32(value);
      if (!parsed) throw UsageError("the entry '" + value + "' is not a whole number");
      options.entry = parsed;
      break;
    }
    case 'o':
      if (value.empty()) throw UsageError("the output folder is empty");
      options.outDir = value;
      break;
  }
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
  // getopt_long wants argv as the C library gives it: the program's name first, each argument a
  // writable string, a null pointer last.
  std::vector<std::string> storage;
  storage.reserve(args.size() + 1);
  storage.emplace_back("qelvaconv");
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  argv.reserve(storage.size() + 1);
  for (std::string& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(storage.size());

  // getopt keeps its place in globals: start afresh (0 makes glibc and mingw-w64 both reset).
  optind = 0;
  opterr = 0;
  Options options;
  for (;;) {
    const int optindBefore = optind;
    const int name = getopt_long(argc, argv.data(), kShortOptions, kLongOptions, nullptr);
    if (name == -1) break;
    if (name == 1) {
      options.paths.emplace_back(optarg);  // a path, in its place among the options
    } else if (name == ':' || name == '?') {
      // A flag given a value ("--list=3") is ':' to mingw-w64's getopt and '?' to glibc's: both
      // read it here as the unknown option it was before.
      const std::string refused = RefusedOption(argv.data(), optindBefore);
      if (name == ':' && refused.find('=') == std::string::npos) {
        throw UsageError(refused + " needs a value");
      }
      throw UsageError("unknown option '" + refused + "'");
    } else {
      SetOption(options, name, optarg ? std::string(optarg) : std::string());
    }
  }
  // After "--" everything is a path.
  for (int i = optind; i < argc; ++i) options.paths.emplace_back(argv[i]);

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
