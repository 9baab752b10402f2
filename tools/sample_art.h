// Pictures for the sample game folder: palettes of colour ramps and small scenes drawn with
// integer arithmetic only, so that every run and every platform gives the same bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qelva::samples {

// A xorshift32 generator with a fixed seed: the only source of variety in the samples.
class Rng {
 public:
  explicit Rng(uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}
  uint32_t Next();
  // 0 to n - 1; n must be positive.
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
  uint8_t Byte() { return static_cast<uint8_t>(Next() >> 24); }

 private:
  uint32_t state_;
};

// 256 colours as 15-bit words: blue in bits 14-10, green in 9-5, red in 4-0, bit 15 clear.
using Palette = std::array<uint16_t, 256>;

// The palette is eight ramps of 32 colours, dark to light; colour 0 is black.
inline constexpr int kRampLength = 32;
inline constexpr int kRampCount = 8;
inline constexpr int kGreyRamp = kRampCount - 1;
inline constexpr uint8_t kBlack = 0;

// The index of shade 0 (darkest) to 31 (lightest) of a ramp.
uint8_t Shade(int ramp, int shade);

// Ramps 0 to 6 take hues spread around the colour wheel from baseHue (0 to 359); ramp 7 is grey.
Palette MakePalette(int baseHue);

// A picture as the game stores it: colour indices, top row first, and its palette.
struct Picture {
  int width = 0;
  int height = 0;
  Palette palette{};
  std::vector<uint8_t> pixels;

  Picture(int w, int h, const Palette& p)
      : width(w), height(h), palette(p), pixels(static_cast<size_t>(w) * h, kBlack) {}
  uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void Set(int x, int y, uint8_t index);  // ignores points outside the picture
};

// The look of a picture family; each draws a different scene.
enum class Look {
  kItem,        // a gem on a checked cloth
  kLogo,        // a small emblem with a caption
  kWallpaper,   // diagonal stripes and a grid of studs
  kTitle,       // a sky, a sun and a banner with a caption
  kEyeCatch,    // concentric rings
  kBackground,  // a landscape: sky bands, sun, hills
  kBromide,     // a portrait in an oval under a caption
  kSprite,      // a creature on colour 0 (transparent in the overlay)
};

// Draws a picture of that look, width x height pixels, with the number shown as big digits.
// variant picks colours and details, so pictures of one family differ from each other.
Picture DrawPicture(Look look, int width, int height, int number, uint32_t variant);

// The same, with a given palette (sprites of one group share palettes).
Picture DrawPictureWithPalette(Look look, int width, int height, int number, uint32_t variant,
                               const Palette& palette);

}  // namespace qelva::samples
