// libFuzzer target: any bytes under any game name must decode to a complete picture or fail
// with a QelvaError, never read or write out of bounds; a decoded picture must RLE-encode.
//
// Byte 0 picks the file name (and so the decoder), byte 1 the archive entry; the rest is the
// file. Sprite archives get the same bytes as their "ending.bin".
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/dib_image.h"
#include "common/errors.h"
#include "decode/format.h"
#include "export/rle.h"

namespace {

constexpr const char* kNames[] = {
    "item01.bin", "iclog01.bin", "kabe01.bin", "eye1.bin",  "bg01.bin",  "ge_cg.bin",
    "omall.dat",  "sa_cg.bin",   "ko_cg.bin",  "sa_spr.bin", "ge_spr.bin", "ma_spr.bin",
};

class FuzzHost final : public qelva::PictureHost {
 public:
  void ShowMessage(std::string_view) override {}
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const qelva::ArchiveId&, const std::string&, int32_t& e) override {
    e = 0;
    return true;
  }
};

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    auto f = std::filesystem::temp_directory_path() / ("qelva-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}

void Write(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string name = kNames[data[0] % std::size(kNames)];
  int32_t entry = static_cast<int8_t>(data[1]);
  const auto path = Folder() / name;
  Write(path, data + 2, size - 2);
  Write(Folder() / "ending.bin", data + 2, size - 2);

  FuzzHost host;
  std::string text = path.string();
  qelva::DibImage image;
  try {
    if (qelva::LoadGamePicture(host, text, entry, image)) {
      const uint64_t pixels = uint64_t(image.Width()) * uint64_t(image.Height());
      if (image.info.size() != qelva::kDecoderInfoSize || image.bits.size() != pixels) std::abort();
      qelva::DibImage encoded;
      qelva::EncodeRle8(image, encoded);
    }
  } catch (const qelva::QelvaError&) {
  }
  return 0;
}
