#include "tools/sample_art.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace qelva::samples {

uint32_t Rng::Next() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return state_;
}

uint8_t Shade(int ramp, int shade) {
  return static_cast<uint8_t>(ramp * kRampLength + std::clamp(shade, 0, kRampLength - 1));
}

void Picture::Set(int x, int y, uint8_t index) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  pixels[static_cast<size_t>(y) * width + x] = index;
}

namespace {

constexpr int kMaxComponent = 31;
constexpr int kHueStep = 51;  // between neighbouring ramps: seven hues spread around the wheel
constexpr int kCell = 8;      // tiled pictures are cut into 8 x 8 cells; shapes keep to them

uint16_t Colour15(int red, int green, int blue) {
  return static_cast<uint16_t>(blue << 10 | green << 5 | red);
}

// Hue 0-359, saturation and value 0-31, in integers.
uint16_t HsvColour(int hue, int saturation, int value) {
  const int sector = hue / 60;
  const int within = (hue % 60) * kMaxComponent / 60;
  const int low = value * (kMaxComponent - saturation) / kMaxComponent;
  const int falling = value * (kMaxComponent - saturation * within / kMaxComponent) / kMaxComponent;
  const int rising = value *
                     (kMaxComponent - saturation * (kMaxComponent - within) / kMaxComponent) /
                     kMaxComponent;
  switch (sector) {
    case 0: return Colour15(value, rising, low);
    case 1: return Colour15(falling, value, low);
    case 2: return Colour15(low, value, rising);
    case 3: return Colour15(low, falling, value);
    case 4: return Colour15(rising, low, value);
    default: return Colour15(value, low, falling);
  }
}

// ---- shapes --------------------------------------------------------------------------------

void FillRect(Picture& p, int x, int y, int w, int h, uint8_t index) {
  for (int yy = y; yy < y + h; ++yy)
    for (int xx = x; xx < x + w; ++xx) p.Set(xx, yy, index);
}

// A vertical gradient that changes shade once per cell row, so each row of cells is one tile.
void BandedGradient(Picture& p, int ramp, int topShade, int bottomShade) {
  const int bands = std::max(1, (p.height + kCell - 1) / kCell - 1);
  for (int y = 0; y < p.height; ++y) {
    const int band = y / kCell;
    const int shade = topShade + (bottomShade - topShade) * std::min(band, bands) / bands;
    FillRect(p, 0, y, p.width, 1, Shade(ramp, shade));
  }
}

void Checks(Picture& p, int size, uint8_t a, uint8_t b) {
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) p.Set(x, y, ((x / size + y / size) % 2) ? a : b);
}

void DiagonalStripes(Picture& p, int period, uint8_t a, uint8_t b) {
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) p.Set(x, y, ((x + y) % period) < period / 2 ? a : b);
}

// A lit ball: lighter towards a highlight up and to the left of the centre.
void ShadedDisc(Picture& p, int cx, int cy, int r, int ramp) {
  const int hx = cx - r / 3, hy = cy - r / 3;
  const int64_t r2 = static_cast<int64_t>(r) * r;
  for (int y = cy - r; y <= cy + r; ++y) {
    for (int x = cx - r; x <= cx + r; ++x) {
      const int64_t d2 =
          static_cast<int64_t>(x - cx) * (x - cx) + static_cast<int64_t>(y - cy) * (y - cy);
      if (d2 > r2) continue;
      const int64_t h2 =
          static_cast<int64_t>(x - hx) * (x - hx) + static_cast<int64_t>(y - hy) * (y - hy);
      const int shade = kMaxComponent - static_cast<int>(h2 * 24 / (4 * r2 / 3 + 1));
      p.Set(x, y, Shade(ramp, std::max(shade, 4)));
    }
  }
}

// Octagonal rings around a centre, alternating between two ramps and darkening outwards.
void Rings(Picture& p, int cx, int cy, int ringWidth, int rampA, int rampB) {
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const int d = static_cast<int>(std::abs(x - cx) + std::abs(y - cy) / 2 +
                                     std::max(std::abs(x - cx), std::abs(y - cy))) /
                    2;
      const int ring = d / ringWidth;
      const int shade = 30 - (ring * 3) % 24;
      p.Set(x, y, Shade(ring % 2 ? rampA : rampB, shade));
    }
  }
}

void Ellipse(Picture& p, int cx, int cy, int rx, int ry, uint8_t index) {
  const int64_t rx2 = static_cast<int64_t>(rx) * rx, ry2 = static_cast<int64_t>(ry) * ry;
  for (int y = cy - ry; y <= cy + ry; ++y)
    for (int x = cx - rx; x <= cx + rx; ++x) {
      const int64_t dx = x - cx, dy = y - cy;
      if (dx * dx * ry2 + dy * dy * rx2 <= rx2 * ry2) p.Set(x, y, index);
    }
}

// A cut gem: a diamond whose four facets take four shades.
void Gem(Picture& p, int cx, int cy, int r, int ramp) {
  for (int y = cy - r; y <= cy + r; ++y)
    for (int x = cx - r; x <= cx + r; ++x) {
      if (std::abs(x - cx) + std::abs(y - cy) > r) continue;
      const int facet = (x < cx ? 0 : 1) + (y < cy ? 0 : 2);
      static constexpr int kFacetShade[4] = {30, 22, 16, 9};
      p.Set(x, y, Shade(ramp, kFacetShade[facet]));
    }
}

// A raised border: light on the top and left, dark on the bottom and right.
void Frame(Picture& p, int thickness, int ramp) {
  const uint8_t light = Shade(ramp, 28), dark = Shade(ramp, 6), mid = Shade(ramp, 18);
  FillRect(p, 0, 0, p.width, thickness, light);
  FillRect(p, 0, 0, thickness, p.height, light);
  FillRect(p, 0, p.height - thickness, p.width, thickness, dark);
  FillRect(p, p.width - thickness, 0, thickness, p.height, dark);
  FillRect(p, thickness / 2, thickness / 2, p.width - thickness, 1, mid);
  FillRect(p, thickness / 2, thickness / 2, 1, p.height - thickness, mid);
}

// Lines of bars that look like writing from afar.
void Caption(Picture& p, int x, int y, int w, int lines, uint8_t ink, Rng& rng) {
  constexpr int kLineStep = 8, kBarHeight = 3, kSpace = 4;
  for (int line = 0; line < lines; ++line) {
    const int end = x + (line == lines - 1 ? w * 2 / 3 : w);
    for (int cx = x; cx < end;) {
      const int word = std::min(4 + 2 * rng.Below(9), end - cx);
      FillRect(p, cx, y + line * kLineStep + 2, word, kBarHeight, ink);
      cx += word + kSpace;
    }
  }
}

// Rolling hills: a ridge through random heights every 32 pixels, shaded by depth below it.
void Hills(Picture& p, int baseY, int amplitude, int ramp, Rng& rng) {
  constexpr int kKnotStep = 32;
  std::vector<int> knots;
  for (int i = 0; i <= p.width / kKnotStep + 1; ++i)
    knots.push_back(baseY - rng.Below(amplitude + 1));
  for (int x = 0; x < p.width; ++x) {
    const int k = x / kKnotStep, t = x % kKnotStep;
    const int ridge = knots[k] + (knots[k + 1] - knots[k]) * t / kKnotStep;
    for (int y = ridge; y < p.height; ++y) p.Set(x, y, Shade(ramp, 20 - (y - ridge) / kCell * 2));
  }
}

void StudGrid(Picture& p, int step, int size, uint8_t index) {
  for (int y = step / 2; y + size <= p.height; y += step)
    for (int x = step / 2; x + size <= p.width; x += step) FillRect(p, x, y, size, size, index);
}

// ---- digits ----------------------------------------------------------------------------------

constexpr int kGlyphWidth = 5, kGlyphHeight = 7;
constexpr const char* kDigitGlyphs[10][kGlyphHeight] = {
    {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "},
    {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "},
    {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"},
    {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "},
    {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "},
    {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "},
    {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "},
    {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "},
    {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "},
    {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "},
};

int NumberWidth(int number, int scale) {
  const int digits = static_cast<int>(std::to_string(number).size());
  return (digits * (kGlyphWidth + 1) - 1) * scale;
}

// The largest of 8, 4, 2 and 1 at which the number fits in the given room.
int NumberScale(int number, int roomWidth, int roomHeight) {
  for (int scale = 8; scale > 1; scale /= 2)
    if (NumberWidth(number, scale) <= roomWidth && kGlyphHeight * scale <= roomHeight) return scale;
  return 1;
}

// Blocky digits with a drop shadow half a block down and right.
void BigNumber(Picture& p, int x, int y, int number, int scale, uint8_t ink, uint8_t shadow) {
  const std::string text = std::to_string(number);
  for (int pass = 0; pass < 2; ++pass) {
    const int offset = pass == 0 ? std::max(1, scale / 2) : 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const auto& glyph = kDigitGlyphs[text[i] - '0'];
      const int gx = x + static_cast<int>(i) * (kGlyphWidth + 1) * scale;
      for (int row = 0; row < kGlyphHeight; ++row)
        for (int col = 0; col < kGlyphWidth; ++col)
          if (glyph[row][col] == '#')
            FillRect(p, gx + col * scale + offset, y + row * scale + offset, scale, scale,
                     pass == 0 ? shadow : ink);
    }
  }
}

// The number in the top right corner, on the cell grid where it is drawn large.
void CornerNumber(Picture& p, int number, uint8_t ink, uint8_t shadow) {
  const int scale = NumberScale(number, p.width / 2, p.height / 2);
  const int margin = scale >= 4 ? 2 * kCell : 1;
  const int x = std::max(0, (p.width - NumberWidth(number, scale) - margin) / kCell * kCell);
  BigNumber(p, x, margin, number, scale, ink, shadow);
}

// The number centred on a point, as large as fits in the room around it.
void CentredNumber(Picture& p, int number, int cx, int cy, int roomWidth, int roomHeight,
                   uint8_t ink, uint8_t shadow) {
  const int scale = NumberScale(number, roomWidth, roomHeight);
  BigNumber(p, cx - NumberWidth(number, scale) / 2, cy - kGlyphHeight * scale / 2, number, scale,
            ink, shadow);
}

// ---- scenes ----------------------------------------------------------------------------------

// Ramps: 0 the ground or sky, 1 to 6 the accents, 7 grey. The variant turns them around.
struct Ramps {
  int back, accent, detail, ink;
};
Ramps PickRamps(uint32_t variant) {
  const int v = static_cast<int>(variant % 6);
  return {v % 3, 3 + v % 3, 1 + (v + 2) % 5, kGreyRamp};
}

void DrawItem(Picture& p, int number, const Ramps& r, Rng& rng) {
  Checks(p, kCell * 2, Shade(r.back, 10), Shade(r.back, 13));
  Gem(p, p.width / 2, p.height / 2 + kCell, p.width / 3, r.accent);
  Frame(p, kCell, r.detail);
  Caption(p, kCell * 2, p.height - 3 * kCell, p.width / 2, 1, Shade(r.ink, 30), rng);
  CornerNumber(p, number, Shade(r.ink, 31), kBlack);
}

void DrawLogo(Picture& p, int number, const Ramps& r, Rng& rng) {
  BandedGradient(p, r.back, 24, 8);
  FillRect(p, kCell, kCell * 2, p.width - 2 * kCell, kCell * 6, Shade(r.accent, 12));
  ShadedDisc(p, p.width / 4, kCell * 5, kCell * 2, r.detail);
  Caption(p, kCell * 2, p.height - 5 * kCell, p.width - 4 * kCell, 3, Shade(r.ink, 2), rng);
  Frame(p, kCell, r.accent);
  CornerNumber(p, number, Shade(r.ink, 31), kBlack);
}

void DrawWallpaper(Picture& p, int number, const Ramps& r, Rng& rng) {
  DiagonalStripes(p, kCell * 2, Shade(r.back, 9), Shade(r.back, 14));
  StudGrid(p, kCell * 4, kCell, Shade(r.accent, 24));
  FillRect(p, kCell * 3, p.height - 7 * kCell, p.width / 2, kCell * 4, Shade(r.ink, 28));
  Caption(p, kCell * 4, p.height - 6 * kCell, p.width / 2 - 2 * kCell, 2, Shade(r.ink, 3), rng);
  Frame(p, kCell, r.detail);
  CornerNumber(p, number, Shade(r.detail, 30), Shade(r.detail, 2));
}

void DrawTitle(Picture& p, int number, const Ramps& r, Rng& rng) {
  BandedGradient(p, r.back, 6, 28);
  ShadedDisc(p, p.width / 4, p.height / 3, p.height / 5, r.accent);
  Hills(p, p.height * 3 / 4, kCell * 2, r.detail, rng);
  const int bannerY = p.height / 2 - kCell;
  FillRect(p, kCell * 4, bannerY, p.width - kCell * 8, kCell * 4, Shade(r.ink, 29));
  FillRect(p, kCell * 4, bannerY + kCell * 4, p.width - kCell * 8, kCell / 2, kBlack);
  Caption(p, kCell * 5, bannerY + kCell, p.width - kCell * 10, 2, Shade(r.accent, 4), rng);
  CornerNumber(p, number, Shade(r.ink, 31), Shade(r.back, 1));
}

void DrawEyeCatch(Picture& p, int number, const Ramps& r, Rng&) {
  Rings(p, p.width / 2, p.height / 2, kCell * 2, r.back, r.accent);
  ShadedDisc(p, p.width / 2, p.height / 2, p.height / 6, r.detail);
  Frame(p, kCell, r.ink);
  CornerNumber(p, number, Shade(r.ink, 31), kBlack);
}

void DrawBackground(Picture& p, int number, const Ramps& r, Rng& rng) {
  BandedGradient(p, r.back, 26, 10);
  ShadedDisc(p, p.width * 2 / 3, p.height / 4, std::max(4, p.height / 8), r.accent);
  Hills(p, p.height * 2 / 3, p.height / 4, r.detail, rng);
  Hills(p, p.height * 5 / 6, p.height / 8, (r.detail + 1) % kGreyRamp, rng);
  CornerNumber(p, number, Shade(r.ink, 31), kBlack);
}

void DrawBromide(Picture& p, int number, const Ramps& r, Rng& rng) {
  BandedGradient(p, r.back, 12, 26);
  Ellipse(p, p.width / 2, p.height / 2 - kCell, p.width / 3, p.height / 3, Shade(r.ink, 30));
  Ellipse(p, p.width / 2, p.height / 2 - kCell, p.width / 3 - 4, p.height / 3 - 4,
          Shade(r.accent, 20));
  Ellipse(p, p.width / 2, p.height / 2 - 3 * kCell, p.width / 8, p.height / 8, Shade(r.detail, 27));
  Ellipse(p, p.width / 2, p.height / 2 + 4 * kCell, p.width / 5, p.height / 8, Shade(r.detail, 14));
  Caption(p, kCell * 2, p.height - 4 * kCell, p.width - 4 * kCell, 2, Shade(r.ink, 2), rng);
  Frame(p, kCell / 2, r.ink);
  CornerNumber(p, number, Shade(r.ink, 31), kBlack);
}

// A round creature with eyes and feet on colour 0.
void DrawSprite(Picture& p, int number, const Ramps& r, Rng& rng) {
  const int cx = p.width / 2, cy = p.height / 2;
  const int rx = std::max(2, p.width / 2 - 2), ry = std::max(2, p.height * 2 / 5);
  Ellipse(p, cx, cy, rx, ry, Shade(r.accent, 8));
  Ellipse(p, cx, cy - 1, rx - 1, ry - 2, Shade(r.accent, 18 + rng.Below(8)));
  const int eye = std::max(1, std::min(rx / 5, ry / 3));
  for (int side = -1; side <= 1; side += 2) {
    Ellipse(p, cx + side * rx / 3, cy - ry / 3, eye, eye + 1, Shade(r.ink, 31));
    Ellipse(p, cx + side * rx / 3, cy - ry / 3 + 1, eye / 2, eye / 2, Shade(r.ink, 1));
    FillRect(p, cx + side * rx / 2 - eye, cy + ry - 1, eye * 2, std::max(1, p.height - cy - ry),
             Shade(r.detail, 12));
  }
  CentredNumber(p, number, cx, cy + ry / 3, rx, ry / 2, Shade(r.ink, 31), Shade(r.ink, 4));
}

}  // namespace

Palette MakePalette(int baseHue) {
  Palette palette{};
  for (int ramp = 0; ramp < kRampCount; ++ramp) {
    const int hue = (baseHue + ramp * kHueStep) % 360;
    for (int s = 0; s < kRampLength; ++s) {
      const int value = 3 + s * (kMaxComponent - 3) / (kRampLength - 1);
      const int saturation = 28 - s * 14 / (kRampLength - 1);
      palette[Shade(ramp, s)] =
          ramp == kGreyRamp ? Colour15(s, s, s) : HsvColour(hue, saturation, value);
    }
  }
  palette[kBlack] = 0;
  return palette;
}

Picture DrawPictureWithPalette(Look look, int width, int height, int number, uint32_t variant,
                               const Palette& palette) {
  Picture p(width, height, palette);
  Rng rng(variant * 2654435761u + 12345u);
  const Ramps ramps = PickRamps(variant);
  switch (look) {
    case Look::kItem: DrawItem(p, number, ramps, rng); break;
    case Look::kLogo: DrawLogo(p, number, ramps, rng); break;
    case Look::kWallpaper: DrawWallpaper(p, number, ramps, rng); break;
    case Look::kTitle: DrawTitle(p, number, ramps, rng); break;
    case Look::kEyeCatch: DrawEyeCatch(p, number, ramps, rng); break;
    case Look::kBackground: DrawBackground(p, number, ramps, rng); break;
    case Look::kBromide: DrawBromide(p, number, ramps, rng); break;
    case Look::kSprite: DrawSprite(p, number, ramps, rng); break;
  }
  return p;
}

Picture DrawPicture(Look look, int width, int height, int number, uint32_t variant) {
  return DrawPictureWithPalette(look, width, height, number, variant,
                                MakePalette(static_cast<int>(variant * 37 % 360)));
}

}  // namespace qelva::samples
