// GIF encoding against giflib: the same pictures written as whole GIF files in memory by
// GifFileBytes and by giflib's encoder, and the bare image data from LzwEncode.
//
// Before anything is timed, the files of both encoders (ours plain and interlaced) are read back
// with giflib and compared with the picture pixel by pixel; a difference stops the program, since
// the speed of an encoder that writes the wrong picture means nothing.
//
// The samples are generated at start (bench_samples.h).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/dib_image.h"
#include "decode/format.h"
#include "decode/palette.h"
#include "export/gif.h"
#include "export/lzw.h"
#include "bench_samples.h"

namespace {


using qelva::bench::Fail;

std::string GiflibError(int code) {
  const char* text = GifErrorString(code);
  return text ? std::string(text) : "giflib error " + std::to_string(code);
}

struct Picture {
  std::string name;
  qelva::DibImage image;
};

int32_t Width(const Picture& picture) { return picture.image.Width(); }
int32_t Height(const Picture& picture) { return picture.image.Height(); }
size_t Stride(const Picture& picture) {
  return static_cast<size_t>(qelva::DibRowStride(Width(picture), 8));
}
// Row y from the top: the DIB keeps its rows bottom row first.
const uint8_t* RowFromTop(const Picture& picture, int32_t y) {
  return picture.image.bits.data() + static_cast<size_t>(Height(picture) - 1 - y) * Stride(picture);
}
int64_t Pixels(const Picture& picture) {
  return static_cast<int64_t>(Width(picture)) * Height(picture);
}

// Every picture here is 8 bits per pixel with a full colour table, of the size its name gives.
void CheckShape(const Picture& picture, int32_t width, int32_t height) {
  const qelva::DibImage& image = picture.image;
  if (image.info.size() < qelva::kDecoderInfoSize || image.BitCount() != 8 ||
      image.Compression() != qelva::kBiRgb || image.Width() != width ||
      image.Height() != height || image.bits.size() < Stride(picture) * height) {
    Fail(picture.name + ": not the " + std::to_string(width) + " x " + std::to_string(height) +
         " 8-bit picture expected");
  }
}

Picture LoadSample(const std::string& name, const std::string& file, int32_t entry,
                   int32_t width, int32_t height) {
  Picture picture{name, qelva::bench::LoadSample(file, entry)};
  CheckShape(picture, width, height);
  return picture;
}

template <typename PixelAt>
Picture Synthesise(const std::string& name, int32_t width, int32_t height, PixelAt pixelAt) {
  Picture picture{name, {}};
  qelva::DibImage& image = picture.image;
  image.info = qelva::NewDibInfo();
  image.SetWidth(width);
  image.SetHeight(height);
  uint8_t* quad = image.ColourTable();
  for (unsigned i = 0; i < 256; ++i, quad += 4) {
    quad[0] = static_cast<uint8_t>(255 - i);  // blue
    quad[1] = static_cast<uint8_t>(i * 3);    // green
    quad[2] = static_cast<uint8_t>(i);        // red
  }
  const size_t stride = Stride(picture);
  image.bits.assign(stride * static_cast<size_t>(height), 0);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = image.bits.data() + static_cast<size_t>(height - 1 - y) * stride;
    for (int32_t x = 0; x < width; ++x) row[x] = pixelAt(x, y);
  }
  CheckShape(picture, width, height);
  return picture;
}

// Wide bands and ramps: the top half 16 columns 40 pixels wide whose colour steps every 14 rows,
// the bottom half diagonal stripes 32 pixels wide running through 128 colours.
Picture FlatPicture() {
  return Synthesise("flat_640x448", 640, 448, [](int32_t x, int32_t y) {
    if (y < 224) return static_cast<uint8_t>(x / 40 * 16 + y / 14);
    return static_cast<uint8_t>(128 + (x + y) / 32 % 128);
  });
}

// Every pixel an independent index from a fixed-seed generator (mt19937's sequence is the same
// on every standard library).
Picture NoisePicture() {
  std::mt19937 generator(20261208u);
  return Synthesise("noise_640x448", 640, 448,
                    [&](int32_t, int32_t) { return static_cast<uint8_t>(generator() >> 24); });
}

std::vector<Picture> LoadPictures() {
  std::vector<Picture> pictures;
  pictures.push_back(LoadSample("background_640x448", "BG01.BIN", 0, 640, 448));
  pictures.push_back(LoadSample("title_320x224", "title01.bin", 0, 320, 224));
  pictures.push_back(LoadSample("bromide_176x200", "omall.dat", 5, 176, 200));
  pictures.push_back(FlatPicture());
  pictures.push_back(NoisePicture());
  return pictures;
}

// --- giflib -----------------------------------------------------------------------------------

// The picture's colour table as giflib's colour map.
struct GiflibColours {
  explicit GiflibColours(const qelva::DibImage& image) {
    GifColorType colours[256];
    const uint8_t* quad = image.ColourTable();
    for (int i = 0; i < 256; ++i, quad += 4) colours[i] = {quad[2], quad[1], quad[0]};
    map = GifMakeMapObject(256, colours);
    if (!map) Fail("GifMakeMapObject failed");
  }
  ~GiflibColours() { GifFreeMapObject(map); }
  GiflibColours(const GiflibColours&) = delete;
  GiflibColours& operator=(const GiflibColours&) = delete;

  ColorMapObject* map;
};

int AppendToVector(GifFileType* gif, const GifByteType* bytes, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + length);
  return length;
}

// Appends to out the GIF file giflib writes for the picture: screen descriptor with the colour
// table, one plain image, rows given top-down one EGifPutLine each. `pixels` is a writable copy
// of the picture's pixel block, as EGifPutLine masks the line it is given in place.
void GiflibEncode(const Picture& picture, const GiflibColours& colours,
                  std::vector<uint8_t>& pixels, std::vector<uint8_t>& out) {
  const int width = Width(picture), height = Height(picture);
  const size_t stride = Stride(picture);
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendToVector, &error);
  if (!gif) Fail("EGifOpen: " + GiflibError(error));
  if (EGifPutScreenDesc(gif, width, height, 8, 0, colours.map) == GIF_ERROR ||
      EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_ERROR) {
    Fail("giflib could not start " + picture.name + ": " + GiflibError(gif->Error));
  }
  for (int y = 0; y < height; ++y) {
    GifPixelType* row = pixels.data() + static_cast<size_t>(height - 1 - y) * stride;
    if (EGifPutLine(gif, row, width) == GIF_ERROR) {
      Fail("giflib could not encode " + picture.name + ": " + GiflibError(gif->Error));
    }
  }
  if (EGifCloseFile(gif, &error) == GIF_ERROR) {
    Fail("giflib could not finish " + picture.name + ": " + GiflibError(error));
  }
}

// --- the check before timing ------------------------------------------------------------------

struct MemoryReader {
  const std::vector<uint8_t>* bytes;
  size_t position;
};

int ReadFromMemory(GifFileType* gif, GifByteType* into, int length) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const size_t left = reader->bytes->size() - reader->position;
  const size_t n = std::min(static_cast<size_t>(length), left);
  std::memcpy(into, reader->bytes->data() + reader->position, n);
  reader->position += n;
  return static_cast<int>(n);
}

// What is wrong with file as a GIF of the picture, or "" when giflib reads back exactly the
// picture: its size, its colour table and every pixel, and nothing after the trailer.
std::string DecodeDifference(const std::vector<uint8_t>& file, const Picture& picture) {
  MemoryReader reader{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
  if (!gif) return "giflib cannot open it: " + GiflibError(error);

  const int width = Width(picture), height = Height(picture);
  std::string fault;
  if (DGifSlurp(gif) != GIF_OK) {
    fault = "giflib cannot read it: " + GiflibError(gif->Error);
  } else if (gif->ImageCount != 1) {
    fault = std::to_string(gif->ImageCount) + " images instead of 1";
  } else if (gif->SWidth != width || gif->SHeight != height) {
    fault = "screen " + std::to_string(gif->SWidth) + " x " + std::to_string(gif->SHeight);
  } else if (const GifImageDesc& desc = gif->SavedImages[0].ImageDesc;
             desc.Left != 0 || desc.Top != 0 || desc.Width != width || desc.Height != height) {
    fault = "image " + std::to_string(desc.Width) + " x " + std::to_string(desc.Height) + " at " +
            std::to_string(desc.Left) + ", " + std::to_string(desc.Top);
  } else if (!gif->SColorMap || gif->SColorMap->ColorCount != 256) {
    fault = "no global colour table of 256 colours";
  } else if (reader.position != file.size()) {
    fault = std::to_string(file.size() - reader.position) + " bytes after the trailer";
  }
  if (fault.empty()) {
    const uint8_t* quad = picture.image.ColourTable();
    for (int i = 0; i < 256 && fault.empty(); ++i, quad += 4) {
      const GifColorType& c = gif->SColorMap->Colors[i];
      if (c.Red != quad[2] || c.Green != quad[1] || c.Blue != quad[0]) {
        fault = "colour " + std::to_string(i) + " differs";
      }
    }
  }
  const GifByteType* raster = fault.empty() ? gif->SavedImages[0].RasterBits : nullptr;
  for (int y = 0; raster && y < height && fault.empty(); ++y) {
    const uint8_t* row = RowFromTop(picture, y);
    for (int x = 0; x < width; ++x) {
      const unsigned got = raster[static_cast<size_t>(y) * width + x];
      if (got != row[x]) {
        fault = "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") from the top left is " +
                std::to_string(got) + ", not " + std::to_string(row[x]);
        break;
      }
    }
  }
  DGifCloseFile(gif, &error);
  return fault;
}

void CheckRoundTrip(const std::vector<uint8_t>& file, const Picture& picture,
                    const std::string& writer) {
  const std::string fault = DecodeDifference(file, picture);
  if (!fault.empty()) {
    Fail(picture.name + ": the GIF file from " + writer +
         " does not read back as the picture: " + fault);
  }
}

void CheckEncoders(const Picture& picture) {
  CheckRoundTrip(qelva::GifFileBytes(picture.image, false, -1), picture, "GifFileBytes");
  CheckRoundTrip(qelva::GifFileBytes(picture.image, true, -1), picture,
                 "GifFileBytes (interlaced)");
  // giflib's own file, so that a fault in the way it is driven here shows too.
  const GiflibColours colours(picture.image);
  std::vector<uint8_t> pixels = picture.image.bits;
  std::vector<uint8_t> file;
  GiflibEncode(picture, colours, pixels, file);
  CheckRoundTrip(file, picture, "giflib");
}

// --- the benchmarks ---------------------------------------------------------------------------
// Bytes processed are the picture's pixels (width x height); out_bytes is what was written.

void Report(benchmark::State& state, const Picture& picture, size_t outBytes) {
  state.SetBytesProcessed(state.iterations() * Pixels(picture));
  state.counters["out_bytes"] = static_cast<double>(outBytes);
}

// Our whole GIF file, as the exporter makes it: a new vector each time.
void BM_GifFileOurs(benchmark::State& state, const Picture* picture) {
  size_t outBytes = 0;
  for (auto _ : state) {
    std::vector<uint8_t> file = qelva::GifFileBytes(picture->image, false, -1);
    outBytes = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  Report(state, *picture, outBytes);
}

// giflib's whole GIF file, into one vector emptied and reused (no growing after the first time).
void BM_GifFileGiflib(benchmark::State& state, const Picture* picture) {
  const GiflibColours colours(picture->image);
  std::vector<uint8_t> pixels = picture->image.bits;
  std::vector<uint8_t> file;
  for (auto _ : state) {
    file.clear();
    GiflibEncode(*picture, colours, pixels, file);
    benchmark::DoNotOptimize(file.data());
  }
  Report(state, *picture, file.size());
}

// The image data alone, into one vector emptied and reused.
void BM_LzwEncode(benchmark::State& state, const Picture* picture) {
  const int minCodeSize = qelva::MinCodeSizeFor(8);
  std::vector<uint8_t> codeBuffer;
  size_t outBytes = 0;
  for (auto _ : state) {
    codeBuffer.clear();
    outBytes = qelva::LzwEncode(picture->image, minCodeSize, false, {}, codeBuffer);
    benchmark::DoNotOptimize(codeBuffer.data());
  }
  Report(state, *picture, outBytes);
}

// Every picture of the sample folder once, as qelvaconv -t gif meets them: a different picture
// each time, so the encoder's tables are not warm from the same picture.
void BM_EverySampleOurs(benchmark::State& state, const std::vector<qelva::DibImage>* pictures) {
  size_t pixels = 0, outBytes = 0;
  for (auto _ : state) {
    pixels = outBytes = 0;
    for (const qelva::DibImage& image : *pictures) {
      const std::vector<uint8_t> file = qelva::GifFileBytes(image, false, -1);
      benchmark::DoNotOptimize(file.data());
      pixels += static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height());
      outBytes += file.size();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pixels));
  state.counters["out_bytes"] = static_cast<double>(outBytes);
}

void BM_EverySampleGiflib(benchmark::State& state, const std::vector<qelva::DibImage>* pictures) {
  std::vector<Picture> copies;
  for (const qelva::DibImage& image : *pictures) copies.push_back({"sample", image});
  std::vector<std::vector<uint8_t>> pixelBlocks;
  for (const Picture& picture : copies) pixelBlocks.push_back(picture.image.bits);
  size_t pixels = 0, outBytes = 0;
  std::vector<uint8_t> file;
  for (auto _ : state) {
    pixels = outBytes = 0;
    for (size_t i = 0; i < copies.size(); ++i) {
      const GiflibColours colours(copies[i].image);
      file.clear();
      GiflibEncode(copies[i], colours, pixelBlocks[i], file);
      benchmark::DoNotOptimize(file.data());
      pixels += static_cast<size_t>(Pixels(copies[i]));
      outBytes += file.size();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pixels));
  state.counters["out_bytes"] = static_cast<double>(outBytes);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  static const std::vector<Picture> pictures = LoadPictures();
  for (const Picture& picture : pictures) CheckEncoders(picture);
  std::fprintf(stderr, "giflib %d.%d.%d; both encoders' files read back as the pictures\n",
               GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE);

  for (const Picture& picture : pictures) {
    benchmark::RegisterBenchmark(("GifFile/ours/" + picture.name).c_str(), BM_GifFileOurs,
                                 &picture);
    benchmark::RegisterBenchmark(("GifFile/giflib/" + picture.name).c_str(), BM_GifFileGiflib,
                                 &picture);
    benchmark::RegisterBenchmark(("LzwEncode/" + picture.name).c_str(), BM_LzwEncode, &picture);
  }
  static const std::vector<qelva::DibImage> everySample = qelva::bench::LoadEverySample();
  benchmark::RegisterBenchmark(("EverySample/ours/" + std::to_string(everySample.size()) + "_pictures").c_str(),
                               BM_EverySampleOurs, &everySample);
  benchmark::RegisterBenchmark(("EverySample/giflib/" + std::to_string(everySample.size()) + "_pictures").c_str(),
                               BM_EverySampleGiflib, &everySample);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
