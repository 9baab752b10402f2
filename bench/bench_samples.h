// The sample game folder the benchmarks read: generated once per run into the system's temporary
// folder by qelva_make_samples (or taken from $QELVA_SAMPLES), and its pictures loaded as the
// converter loads them.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/dib_image.h"
#include "decode/archive.h"
#include "decode/format.h"

namespace qelva::bench {

[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "benchmark: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// Answers the decoders without a window: no messages, entry `wanted` of an archive chosen.
class QuietHost final : public PictureHost {
 public:
  void ShowMessage(std::string_view) override {}
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const ArchiveId&, const std::string&, int32_t& entry) override {
    entry = wanted;
    return true;
  }
  int32_t wanted = 0;
};

inline const std::filesystem::path& SampleFolder() {
  static const std::filesystem::path folder = [] {
    if (const char* given = std::getenv("QELVA_SAMPLES")) return std::filesystem::path(given);
    const std::filesystem::path made = std::filesystem::temp_directory_path() / "qelva-bench-samples";
    const std::string command =
        std::string(QELVA_MAKE_SAMPLES) + " '" + made.string() + "' > /dev/null";
    if (std::system(command.c_str()) != 0) Fail("could not generate the samples: " + command);
    return made;
  }();
  return folder;
}

// Entry `entry` (0 for a single picture) of a sample file.
inline DibImage LoadSample(const std::string& file, int32_t entry) {
  QuietHost host;
  host.wanted = entry;
  std::string path = (SampleFolder() / file).string();
  DibImage image;
  if (!LoadGamePicture(host, path, entry, image)) {
    Fail("could not load " + file + " entry " + std::to_string(entry));
  }
  return image;
}

// Every picture of the sample folder, as the converter finds them: its files in name order,
// every entry of every archive, files that hold no picture passed over.
inline std::vector<DibImage> LoadEverySample() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(SampleFolder())) {
    if (entry.is_regular_file()) files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  std::vector<DibImage> pictures;
  for (const std::string& file : files) {
    const GameName name = DeriveGameName(file, PathSyntax::Native());
    if (!PassesNameGate(name)) continue;
    const auto archive = IsArchiveName(name) ? IdentifyArchive(name.lowerName) : std::nullopt;
    const int entries = archive ? ArchiveEntryCount(*archive) : 1;
    for (int entry = 0; entry < entries; ++entry) {
      // Files the converter passes over (a palette file, say) load nothing.
      QuietHost host;
      host.wanted = entry;
      std::string path = (SampleFolder() / file).string();
      int32_t entryIndex = entry;
      DibImage image;
      if (LoadGamePicture(host, path, entryIndex, image)) pictures.push_back(std::move(image));
    }
  }
  return pictures;
}

}  // namespace qelva::bench
