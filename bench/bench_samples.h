// The sample game folder the benchmarks read: generated once per run into the system's temporary
// folder by qelva_make_samples (or taken from $QELVA_SAMPLES), and its pictures loaded as the
// converter loads them.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/dib_image.h"
#include "decode/format.h"

namespace qelva::bench {

[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "benchmark: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// Answers the decoders without a window: no messages, entry 0 of an archive chosen.
class QuietHost final : public PictureHost {
 public:
  void ShowMessage(std::string_view) override {}
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const ArchiveId&, const std::string&, int32_t& entry) override {
    entry = 0;
    return true;
  }
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
  std::string path = (SampleFolder() / file).string();
  DibImage image;
  if (!LoadGamePicture(host, path, entry, image)) {
    Fail("could not load " + file + " entry " + std::to_string(entry));
  }
  return image;
}

}  // namespace qelva::bench
