// Per-picture cost of the converter's stages on the sample game folder: decoding each family,
// RLE8 encoding, and the whole road from game file to bitmap file.
//
// The samples are generated at start (bench_samples.h).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/dib_image.h"
#include "decode/format.h"
#include "export/bmp.h"
#include "export/rle.h"
#include "bench_samples.h"

namespace {

namespace fs = std::filesystem;

qelva::DibImage Load(const std::string& name, int32_t entry) {
  return qelva::bench::LoadSample(name, entry);
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
