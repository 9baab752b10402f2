#include "harness/picture.h"

#include <cstdio>
#include <cstdlib>

#include "common/errors.h"
#include "common/wide_text_win.h"
#include "decode/format.h"
#include "harness/environment.h"

namespace qelva::e2e {

namespace {

// Answers the decoder as a user who picked the entry beforehand would; never shows anything.
class SampleHost : public PictureHost {
 public:
  explicit SampleHost(int32_t entry) : entry_(entry) {}
  void ShowMessage(std::string_view text) override { shown_ = text; }
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const ArchiveId&, const std::string&, int32_t& entryIndex) override {
    entryIndex = entry_;
    return true;
  }
  const std::string& shown() const { return shown_; }

 private:
  int32_t entry_;
  std::string shown_;
};

std::string Hex(uint32_t rgb) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", rgb);
  return text;
}

}  // namespace

Decoded DecodeSample(const std::wstring& relativePath, int32_t entry) {
  Decoded result;
  SampleHost host(entry);
  const bool full = relativePath.find(L':') != std::wstring::npos;
  std::string path = NarrowToUtf8(full ? relativePath : SamplePath(relativePath));
  int32_t entryIndex = entry;
  try {
    if (LoadGamePicture(host, path, entryIndex, result.image)) {
      result.name = FileNamePart(path, PathSyntax::Native());
    }
  } catch (const QelvaError& e) {
    result.failure = e.what();
  }
  result.shownMessage = host.shown();
  return result;
}

uint32_t PictureColour(const DibImage& image, int x, int y) {
  const int32_t height = image.Height();
  const int row = height > 0 ? height - 1 - y : y;
  const uint64_t stride = DibRowStride(image.Width(), image.BitCount());
  const uint8_t index = image.bits[static_cast<size_t>(row * stride) + static_cast<size_t>(x)];
  const uint8_t* quad = image.ColourTable() + 4 * index;
  return (static_cast<uint32_t>(quad[2]) << 16) | (static_cast<uint32_t>(quad[1]) << 8) | quad[0];
}

uint32_t WindowBackground() { return RgbOf(GetSysColor(COLOR_BTNSHADOW)); }

::testing::AssertionResult ShowsPicture(const Shot& shot, const DibImage& image, const View& view) {
  if (image.Empty()) return ::testing::AssertionFailure() << "no decoded picture to compare with";
  if (image.BitCount() != 8) {
    return ::testing::AssertionFailure()
           << "the comparison reads 8-bit pictures, not " << image.BitCount() << "-bit ones";
  }
  if (shot.width == 0 || shot.height == 0)
    return ::testing::AssertionFailure() << "the client area is empty";
  const int width = image.Width() * view.zoom;
  const int height = std::abs(image.Height()) * view.zoom;

  long mismatches = 0;
  std::string first;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const int px = x - view.origin.x, py = y - view.origin.y;
      const bool inside = px >= 0 && py >= 0 && px < width && py < height;
      const uint32_t want =
          inside ? PictureColour(image, px / view.zoom, py / view.zoom) : view.background;
      const uint32_t got = shot.At(x, y);
      if (got == want) continue;
      if (mismatches++ == 0) {
        first = "client pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                Hex(got) + ", expected " + Hex(want) +
                (inside ? " from picture pixel (" + std::to_string(px / view.zoom) + ", " +
                              std::to_string(py / view.zoom) + ")"
                        : std::string(" (background)"));
      }
    }
  }
  if (mismatches == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << mismatches << " of " << static_cast<long>(shot.width) * shot.height
         << " client pixels differ at zoom " << view.zoom << " with the picture at ("
         << view.origin.x << ", " << view.origin.y << "); first: " << first;
}

}  // namespace qelva::e2e
