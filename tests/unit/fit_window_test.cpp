// The window grows to the picture plus its frame, and stops at the right and bottom limits,
// taking a scroll bar's room on the other side when it stops; it is never moved.
#include "shell/fit_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace qelva::shell {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// Frames of 4, scroll bars of 16; caption, menu bar and upper frame 42 high.
constexpr FitMetrics kMetrics{4, 4, 16, 16};
constexpr int32_t kBand = 42;
// A 1024 x 768 screen whose task bar lies along the bottom from 740.
constexpr ScreenRect kBottomTaskBar{0, 740, 1024, 768};

struct Size {
  int32_t width, height;
};
Size SizeOf(const ScreenRect& r) { return {r.right - r.left, r.bottom - r.top}; }

FitResult Fit(const FitLimits& limits, int32_t imageWidth, int32_t imageHeight) {
  return FitWindowToPicture(kMetrics, limits, 100, 50, imageWidth, imageHeight,
                            [](int32_t) { return kBand; });
}

TEST(FitWindow, BottomTaskBarCutsTheHeightAndWidensForTheScrollBar) {
  const struct {
    int32_t imageWidth, imageHeight;
    int32_t firstWidth, width, height;
  } cases[] = {
      // Fits: the picture and its frame, 649 x 454, and the band.
      {640, 448, 649, 649, 496},
      // At 200 %: the width is cut to 924 with 17 more height, the height 961 is cut to 690
      // with 17 more width, and that width 941 is cut to 924 again.
      {1280, 896, 924, 924, 690},
      // Only too high: 690 high, and 609 + 17 wide.
      {600, 800, 609, 626, 690},
  };
  // The task bar's top at 740 on a 1024 x 768 screen, or a work area that ends there.
  for (const FitLimits& limits :
       {LimitsFromTaskBar(1024, 768, &kBottomTaskBar), LimitsFromWorkArea({0, 0, 1024, 740})}) {
    for (const auto& c : cases) {
      const FitResult fit = Fit(limits, c.imageWidth, c.imageHeight);
      EXPECT_EQ(fit.bounds.left, 100) << c.imageWidth;
      EXPECT_EQ(fit.bounds.top, 50) << c.imageWidth;
      EXPECT_EQ(fit.firstWidth, c.firstWidth) << c.imageWidth;
      EXPECT_EQ(SizeOf(fit.bounds).width, c.width) << c.imageWidth;
      EXPECT_EQ(SizeOf(fit.bounds).height, c.height) << c.imageWidth;
    }
  }
}

TEST(FitWindow, PicturesBelow256PixelsGetA256Window) {
  const FitLimits screen{1024, 768};
  const struct {
    int32_t image;
    int32_t width;   // image width -> window width
    int32_t height;  // image height -> window height without the band
  } cases[] = {{0, 256, 256}, {112, 256, 256}, {255, 256, 256}, {256, 265, 262}, {300, 309, 306}};
  for (const auto& c : cases) {
    const Size size = SizeOf(Fit(screen, c.image, c.image).bounds);
    EXPECT_EQ(size.width, c.width) << c.image;
    EXPECT_EQ(size.height, c.height + kBand) << c.image;
  }
}

TEST(FitWindow, TheBandIsMeasuredAtTheCutWidth) {
  // A menu bar that wraps onto two lines below 700 pixels. An 800-pixel picture is 809 wide
  // with its frame; a right limit of 790 cuts that to 690.
  const auto band = [](int32_t width) { return width < 700 ? 61 : 42; };
  const FitResult wide = FitWindowToPicture(kMetrics, {1024, 768}, 100, 50, 800, 448, band);
  EXPECT_EQ(SizeOf(wide.bounds).height, 454 + 42);
  const FitResult cut = FitWindowToPicture(kMetrics, {790, 768}, 100, 50, 800, 448, band);
  EXPECT_EQ(cut.firstWidth, 690);
  EXPECT_EQ(SizeOf(cut.bounds).height, 454 + 17 + 61);
}

TEST(FitWindow, TaskBarOnTheRightOrAtTheBottomEndsTheLimits) {
  const struct {
    const char* where;
    ScreenRect taskBar;
    int32_t right, bottom;
  } cases[] = {
      {"bottom", {0, 740, 1024, 768}, 1024, 740},
      {"right", {964, 0, 1024, 768}, 964, 768},
      {"left", {0, 0, 60, 768}, 1024, 768},
      {"top", {0, 0, 1024, 28}, 1024, 768},
      {"on a monitor to the right and below", {1100, 800, 1200, 900}, 1024, 768},
      {"off the screen to the left and above", {-60, -28, 0, 0}, 1024, 768},
  };
  for (const auto& c : cases) {
    const FitLimits limits = LimitsFromTaskBar(1024, 768, &c.taskBar);
    EXPECT_EQ(limits.workAreaRight, c.right) << c.where;
    EXPECT_EQ(limits.workAreaBottom, c.bottom) << c.where;
  }
  const FitLimits none = LimitsFromTaskBar(1024, 768, nullptr);
  EXPECT_EQ(none.workAreaRight, 1024);
  EXPECT_EQ(none.workAreaBottom, 768);
  // A second monitor's work area ends where the monitor's does.
  const FitLimits second = LimitsFromWorkArea({1024, 0, 2304, 984});
  EXPECT_EQ(second.workAreaRight, 2304);
  EXPECT_EQ(second.workAreaBottom, 984);
}

TEST(FitWindow, ExtremeSizesAndMetricsSaturateInsteadOfOverflowing) {
  // Just below the top of the range: 32-bit sums would wrap to negative sizes.
  FitResult fit = FitWindowToPicture(kMetrics, {kMax, kMax}, 0, 0, kMax - 4, kMax - 2,
                                     [](int32_t) { return kBand; });
  EXPECT_EQ(fit.firstWidth, kMax);
  EXPECT_EQ(fit.bounds.right, kMax);
  EXPECT_EQ(fit.bounds.bottom, kMax);

  const FitMetrics huge{kMax, kMax, kMax, kMax};
  const FitMetrics negative{kMin, kMin, kMin, kMin};
  const FitLimits limitsCases[] = {{1024, 740}, {kMax, kMax}, {kMin, kMin}, {0, 0}};
  const int32_t positions[] = {kMin, -100, 0, 100, kMax};
  const int32_t bands[] = {kMin, 0, kMax};
  for (const FitMetrics& metrics : {huge, negative, kMetrics}) {
    for (const FitLimits& limits : limitsCases) {
      for (int32_t at : positions) {
        for (int32_t band : bands) {
          fit = FitWindowToPicture(metrics, limits, at, at, kMax, kMax,
                                   [band](int32_t) { return band; });
          EXPECT_EQ(fit.bounds.left, at);
          EXPECT_EQ(fit.bounds.top, at);
          // A window that starts inside the limits ends inside them.
          if (at <= limits.workAreaRight) EXPECT_LE(fit.bounds.right, limits.workAreaRight);
          if (at <= limits.workAreaBottom) EXPECT_LE(fit.bounds.bottom, limits.workAreaBottom);
        }
      }
    }
  }
}

}  // namespace
}  // namespace qelva::shell
