// How much slower the first GIF encodes of a fresh process are than later ones: every sample
// picture encoded once (the first pass, as qelvaconv does it), then again several times. Prints
// the first pass, the median later pass and their ratio.
//
//   build/release/bench/qelva_bench_gif_cold [PASSES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_samples.h"
#include "export/gif.h"

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 9;
  const std::vector<qelva::DibImage> pictures = qelva::bench::LoadEverySample();
  uint64_t pixels = 0;
  for (const auto& p : pictures) pixels += uint64_t(p.Width()) * uint64_t(p.Height());

  std::vector<double> ms;
  size_t bytes = 0;
  for (int pass = 0; pass < passes; ++pass) {
    const auto start = std::chrono::steady_clock::now();
    size_t written = 0;
    for (const auto& p : pictures) written += qelva::GifFileBytes(p, false, -1).size();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
    bytes = written;
  }
  std::vector<double> later(ms.begin() + 1, ms.end());
  std::sort(later.begin(), later.end());
  const double warm = later[later.size() / 2];
  std::printf("%zu pictures, %llu pixels, %zu GIF bytes\n", pictures.size(),
              static_cast<unsigned long long>(pixels), bytes);
  std::printf("first pass %.2f ms (%.0f MB/s), later passes median %.2f ms (%.0f MB/s), first/later %.2fx\n",
              ms[0], pixels / ms[0] / 1e3, warm, pixels / warm / 1e3, ms[0] / warm);
  return 0;
}
