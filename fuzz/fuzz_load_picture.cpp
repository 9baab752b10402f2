// Fuzz target: any bytes under any game name must decode to a complete picture or fail with a
// QelvaError, never read or write out of bounds. (What the writers make of decoded pictures is
// the writer target's part: encoding each picture here took three quarters of every run.)
//
// Byte 0 picks the file name (and so the decoder) and, divided by the number of names, the entry
// the archive chooser answers; byte 1, as a signed number, is the entry asked for (0: ask the
// chooser). The rest is the file. Sprite archives get the same bytes as their "ending.bin".
// The files are held in memory (fuzz/memory_files.h), so no run touches the disk.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "common/dib_image.h"
#include "common/errors.h"
#include "decode/format.h"
#include "fuzz/memory_files.h"

namespace {

constexpr const char* kNames[] = {
    "item01.bin", "iclog01.bin", "kabe01.bin", "eye1.bin",  "bg01.bin",  "ge_cg.bin",
    "omall.dat",  "sa_cg.bin",   "ko_cg.bin",  "sa_spr.bin", "ge_spr.bin", "ma_spr.bin",
};
constexpr size_t kNameCount = std::size(kNames);

class FuzzHost final : public qelva::PictureHost {
 public:
  explicit FuzzHost(int32_t choice) : choice_(choice) {}
  void ShowMessage(std::string_view) override {}
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const qelva::ArchiveId&, const std::string&, int32_t& entry) override {
    entry = choice_;
    return true;
  }
  qelva::PathSyntax Paths() const override {
    return {qelva::PathSeparators::kPosix, qelva::PathCodePage::kUtf8};
  }

 private:
  int32_t choice_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string name = kNames[data[0] % kNameCount];
  int32_t entry = static_cast<int8_t>(data[1]);
  const std::span<const uint8_t> file(data + 2, size - 2);
  qelva::memory_files::Clear();
  qelva::memory_files::Put("/game/" + name, file);
  qelva::memory_files::Put("/game/ending.bin", file);

  FuzzHost host(static_cast<int32_t>(data[0] / kNameCount));
  std::string path = "/game/" + name;
  qelva::DibImage image;
  try {
    // A picture may be empty: a header of 0 cells gives width or height 0.
    if (qelva::LoadGamePicture(host, path, entry, image)) {
      const uint64_t pixels = uint64_t(image.Width()) * uint64_t(image.Height());
      if (image.info.size() != qelva::kDecoderInfoSize || image.bits.size() != pixels ||
          image.BitCount() != 8 || image.Width() < 0 || image.Width() % 4 != 0 || image.Height() < 0)
        std::abort();
    }
  } catch (const qelva::QelvaError&) {
  }
  return 0;
}
