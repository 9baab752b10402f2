// Per-picture cost of the converter's stages on the sample game folder: decoding each family,
// RLE8 encoding, and the whole road from game file to bitmap file.
//
// The samples are generated into a temporary folder at start (or taken from $QELVA_SAMPLES).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/dib_image.h"
#include "decode/format.h"
#include "export/bmp.h"
#include "export/rle.h"

namespace {

namespace fs = std::filesystem;

class QuietHost final : public qelva::PictureHost {
 public:
  void ShowMessage(std::string_view) override {}
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const qelva::ArchiveId&, const std::string&, int32_t& entry) override {
    entry = 0;
    return true;
  }
};

const fs::path& SampleFolder() {
  static const fs::path folder = [] {
    if (const char* given = std::getenv("QELVA_SAMPLES")) return fs::path(given);
    const fs::path made = fs::temp_directory_path() / "qelva-bench-samples";
    const std::string command = std::string(QELVA_MAKE_SAMPLES) + " '" + made.string() + "' > /dev/null";
    if (std::system(command.c_str()) != 0) std::abort();
    return made;
  }();
  return folder;
}

qelva::DibImage Load(const std::string& name, int32_t entry) {
  QuietHost host;
  std::string path = (SampleFolder() / name).string();
  qelva::DibImage image;
  if (!qelva::LoadGamePicture(host, path, entry, image)) std::abort();
  return image;
}

// Decoding one picture of a family, file opening included. Bytes are the picture's pixels.
void BM_Decode(benchmark::State& state, const std::string& name, int32_t entry) {
  size_t pixels = 0;
  for (auto _ : state) {
    qelva::DibImage image = Load(name, entry);
    pixels = image.bits.size();
    benchmark::DoNotOptimize(image.bits.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pixels));
}
BENCHMARK_CAPTURE(BM_Decode, item_112x112, std::string("Item01.bin"), 0);
BENCHMARK_CAPTURE(BM_Decode, title_320x224, std::string("title01.bin"), 0);
BENCHMARK_CAPTURE(BM_Decode, background_640x448, std::string("BG01.BIN"), 0);
BENCHMARK_CAPTURE(BM_Decode, bromide_176x200, std::string("omall.dat"), 5);
BENCHMARK_CAPTURE(BM_Decode, sprite, std::string("sa_spr.bin"), 5);

void BM_EncodeRle8(benchmark::State& state, const std::string& name) {
  const qelva::DibImage image = Load(name, 0);
  for (auto _ : state) {
    qelva::DibImage encoded;
    qelva::EncodeRle8(image, encoded);
    benchmark::DoNotOptimize(encoded.bits.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.bits.size()));
}
BENCHMARK_CAPTURE(BM_EncodeRle8, title_320x224, std::string("title01.bin"));
BENCHMARK_CAPTURE(BM_EncodeRle8, background_640x448, std::string("BG01.BIN"));

// Game file in, bitmap file out: what qelvaconv does per picture.
void BM_GameFileToBitmapFile(benchmark::State& state, const std::string& name, bool rle) {
  const std::string target = (fs::temp_directory_path() / "qelva-bench-out.bmp").string();
  for (auto _ : state) {
    qelva::DibImage image = Load(name, 0);
    qelva::DibImage encoded;
    if (rle && qelva::EncodeRle8(image, encoded)) {
      qelva::WriteBitmapFile(target, encoded);
    } else {
      qelva::WriteBitmapFile(target, image);
    }
  }
  fs::remove(target);
}
BENCHMARK_CAPTURE(BM_GameFileToBitmapFile, background_bmp, std::string("BG01.BIN"), false);
BENCHMARK_CAPTURE(BM_GameFileToBitmapFile, background_rle, std::string("BG01.BIN"), true);

}  // namespace

BENCHMARK_MAIN();
