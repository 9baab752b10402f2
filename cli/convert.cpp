#include "cli/convert.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "common/dib_image.h"
#include "common/errors.h"
#include "common/os_error.h"
#include "decode/archive.h"
#include "decode/archive_titles.h"
#include "decode/format.h"
#include "export/picture_file.h"

namespace qelva::cli {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kMsgNotAPicture = "ゲームの画像ﾌｧｲﾙではありません";
constexpr std::string_view kMsgAlreadyWritten = "出力ﾌｧｲﾙ %s はこの変換で既に書き出されています";
constexpr std::string_view kMsgCannotCreateFolder = "ﾌｫﾙﾀﾞ %s を作成できません";
// The viewer's refusal of GIF for full-colour pictures, on one line.
constexpr std::string_view kMsgFullColourGif = "フルカラーファイルはGIF形式でセーブできません";

// Paths travel as UTF-8 text; std::filesystem sees them as UTF-8 on every platform.
fs::path PathFromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}
std::string Utf8FromPath(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Windows takes "/" for "\" in paths, but game-file names are found after the last "\" or ":"
// alone; a path typed with slashes is therefore spelt with backslashes before it is used.
std::string WithNativeSeparators(std::string path) {
#ifdef _WIN32
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

// The converter's answers to the decoder's questions: no cursor, the message kept to be
// reported as the input's failure, and the archive entry chosen on the command line.
class ConverterHost final : public PictureHost {
 public:
  void ShowMessage(std::string_view text) override { message = std::string(text); }
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const ArchiveId&, const std::string&, int32_t& entryIndex) override {
    entryIndex = wantedEntry;
    return true;
  }

  std::string message;
  int32_t wantedEntry = 0;
};

struct Input {
  std::string path;
  bool fromFolder;  // files found in a folder are passed over quietly when they are no pictures
};

class Converter {
 public:
  Converter(const Options& options, Console& console) : options_(options), console_(console) {}

  int Run() {
    if (!options_.list && !PrepareOutFolder()) return 1;
    const std::vector<Input> inputs = ExpandInputs();
    for (size_t i = 0; i < inputs.size(); ++i) {
      console_.Progress(std::string("[").append(std::to_string(i + 1)).append("/").append(
          std::to_string(inputs.size())).append("] ").append(inputs[i].path));
      ConvertInput(inputs[i]);
    }
    console_.Progress({});
    if (!options_.list && console_.ErrIsTerminal()) {
      console_.Err(std::to_string(written_) + " file(s) written to " +
                   (options_.outDir.empty() ? std::string(".") : options_.outDir) +
                   (failed_ ? ", some inputs failed" : ""));
    }
    return failed_ ? 1 : 0;
  }

 private:
  void Fail(std::string_view what, std::string_view message) {
    console_.Err(std::string(what) + ": " + std::string(message));
    failed_ = true;
  }

  bool PrepareOutFolder() {
    if (options_.outDir.empty()) return true;
    std::error_code ec;
    fs::create_directories(PathFromUtf8(options_.outDir), ec);
    if (ec) {
      Fail(options_.outDir, FillMessage(kMsgCannotCreateFolder, options_.outDir));
      return false;
    }
    return true;
  }

  // Folders become their regular files in name order; everything else is taken as given.
  std::vector<Input> ExpandInputs() {
    std::vector<Input> inputs;
    for (const std::string& given : options_.paths) {
      const std::string path = WithNativeSeparators(given);
      std::error_code ec;
      if (!fs::is_directory(PathFromUtf8(path), ec)) {
        inputs.push_back({path, false});
        continue;
      }
      std::vector<std::string> files;
      for (fs::directory_iterator it(PathFromUtf8(path), ec), end; !ec && it != end;
           it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError)) files.push_back(Utf8FromPath(it->path()));
      }
      if (ec) {
        Fail(path, IoError::MessageFor(IoCodeFromErrorCode(ec)));
        continue;
      }
      std::sort(files.begin(), files.end());
      for (std::string& file : files) inputs.push_back({std::move(file), true});
    }
    return inputs;
  }

  void ConvertInput(const Input& input) {
    const GameName name = DeriveGameName(input.path, host_.Paths());
    if (input.fromFolder && !PassesNameGate(name)) return;
    if (PassesNameGate(name) && IsArchiveName(name)) {
      ConvertArchive(input, name);
    } else {
      ConvertPicture(input, name);
    }
  }

  void ConvertPicture(const Input& input, const GameName& name) {
    std::string path = input.path;
    int32_t entryIndex = 0;
    DibImage image;
    host_.message.clear();
    try {
      if (!LoadGamePicture(host_, path, entryIndex, image)) {
        if (!input.fromFolder) {
          Fail(input.path, host_.message.empty() ? kMsgNotAPicture : host_.message);
        }
        return;
      }
      Emit(path, image, OutputBaseName(name), std::nullopt);
    } catch (const std::exception& e) {
      Fail(input.path, MessageOf(e));
    }
  }

  void ConvertArchive(const Input& input, const GameName& name) {
    const auto archive = IdentifyArchive(name.lowerName);
    if (!archive) {
      if (!input.fromFolder) Fail(input.path, kMsgNotAPicture);
      return;
    }
    // The entries to convert as a half-open range in 64 bits: -e may name the largest 32-bit
    // number, and the step past it must end the loop rather than wrap around.
    int64_t first = 0, end = ArchiveEntryCount(*archive);
    if (options_.entry) {
      // A folder's archives that lack the entry are passed over; a named archive must have it.
      if (input.fromFolder && *options_.entry >= end) return;
      first = *options_.entry;
      end = first + 1;
    }
    for (int64_t entry = first; entry < end; ++entry) {
      std::string path = input.path;
      int32_t entryIndex = static_cast<int32_t>(entry);
      host_.wantedEntry = entryIndex;
      DibImage image;
      try {
        LoadGamePicture(host_, path, entryIndex, image);
        Emit(path, image, OutputBaseName(name) + "-" + std::to_string(entry),
             TitleOf(*archive, host_.wantedEntry));
      } catch (const std::exception& e) {
        Fail(input.path + "[" + std::to_string(entry) + "]", MessageOf(e));
      }
    }
  }

  // Writes (or lists) one decoded picture.
  void Emit(const std::string& path, DibImage& image, const std::string& baseName,
            std::optional<std::string_view> title) {
    if (options_.list) {
      std::string line = path + "\t" + std::to_string(image.Width()) + "x" +
                         std::to_string(image.Height()) + "x" + std::to_string(image.BitCount());
      if (title) line.append("\t").append(*title);
      console_.Out(line);
      return;
    }
    const std::string target = OutputPath(baseName + std::string(FileExtensionOf(options_.type)));
    if (!written_names_.insert(CollisionKey(target)).second) {
      Fail(path, FillMessage(kMsgAlreadyWritten, target));
      return;
    }
    Write(target, image);
    ++written_;
  }

  void Write(const std::string& target, DibImage& image) {
    if (!WritePictureFile(target, options_.type, image)) {
      throw PictureError(std::string(kMsgFullColourGif));
    }
  }

  std::string OutputBaseName(const GameName& name) const {
    return NameWithoutExtension(name.fileName, host_.Paths());
  }

  std::string OutputPath(const std::string& fileName) const {
    if (options_.outDir.empty()) return fileName;
    return Utf8FromPath(PathFromUtf8(options_.outDir) / PathFromUtf8(fileName));
  }

  // Two outputs of one run must not land on the same file (Windows names ignore case).
  static std::string CollisionKey(const std::string& target) {
    std::string key = Utf8FromPath(PathFromUtf8(target).lexically_normal());
#ifdef _WIN32
    key = LowerCaseName(key);
#endif
    return key;
  }

  static std::optional<std::string_view> TitleOf(const ArchiveId& archive, int entry) {
    const auto titles = TitleList(archive);
    if (entry < 0 || static_cast<size_t>(entry) >= titles.size()) return std::nullopt;
    return titles[static_cast<size_t>(entry)];
  }

  static std::string MessageOf(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return OutOfMemoryError().what();
    return e.what();
  }

  const Options& options_;
  Console& console_;
  ConverterHost host_;
  std::set<std::string> written_names_;
  size_t written_ = 0;
  bool failed_ = false;
};

}  // namespace

int RunConversion(const Options& options, Console& console) {
  return Converter(options, console).Run();
}

int RunConverter(std::span<const std::string> args, Console& console) {
  Options options;
  try {
    options = ParseOptions(args);
    if (options.entry && *options.entry < 0) {
      throw UsageError("the entry must be 0 or more");
    }
  } catch (const UsageError& e) {
    console.Err(std::string("qelvaconv: ") + e.what());
    console.Err("Try 'qelvaconv --help' for more information.");
    return 2;
  }
  if (options.help) {
    std::string_view usage = UsageText();
    if (!usage.empty() && usage.back() == '\n') usage.remove_suffix(1);
    console.Out(usage);
    return 0;
  }
  if (options.version) {
    console.Out("qelvaconv " QELVA_VERSION);
    return 0;
  }
  return RunConversion(options, console);
}

}  // namespace qelva::cli
