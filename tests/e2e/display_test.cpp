// A picture opened from the command line, on the screen: caption, window size, and every pixel
// of the client area against our own decoding of the same file, at 100 % and after zooming with
// the View menu.

#include "harness/expected_fit.h"
#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

class Display : public ViewerTest {
 protected:
  static ::testing::AssertionResult FittedTo(HWND main, const DibImage& picture, int zoom) {
    const Fit fit = ExpectedFit(main, picture.Width() * zoom, picture.Height() * zoom);
    const RECT actual = WindowRectOf(main);
    if (EqualRect(&actual, &fit.bounds)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "window bounds " << Describe(actual) << ", expected " << Describe(fit.bounds)
           << " for the picture at " << zoom * 100 << "%";
  }

  static ::testing::AssertionResult PictureControlIs(HWND main, const DibImage& picture, int zoom) {
    const RECT r = PictureRect(main);
    const RECT want = {0, 0, picture.Width() * zoom, picture.Height() * zoom};
    if (EqualRect(&r, &want)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "picture control at " << Describe(r) << ", expected " << Describe(want);
  }
};

TEST_F(Display, AnItemAtOneHundredPercentShowsItsPaletteColoursInTheSmallestWindow) {
  Decoded item;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(item.image.Width(), 112);

  EXPECT_TRUE(PictureControlIs(main, item.image, 1));
  // A picture narrower and lower than 256 gets a window 256 wide and 256 plus the caption band
  // high.
  const RECT window = WindowRectOf(main), client = ClientRectOnScreen(main);
  EXPECT_EQ(window.right - window.left, 256);
  EXPECT_EQ(window.bottom - window.top, 256 + (client.top - window.top));
  EXPECT_TRUE(FittedTo(main, item.image, 1));
  EXPECT_TRUE(ShowsPictureAt(main, item.image, 1));
}

TEST_F(Display, ChoosingThreeHundredPercentWithTheKeyboardEnlargesEveryPixelInPlace) {
  Decoded item;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  const RECT before = WindowRectOf(main);

  ASSERT_TRUE(ZoomWithMenu(main, item.image, 3));
  EXPECT_TRUE(PictureControlIs(main, item.image, 3));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(item)))
      << "the caption shows the picture's own size";
  const RECT after = WindowRectOf(main);
  EXPECT_EQ(after.left, before.left) << "fitting moved the window";
  EXPECT_EQ(after.top, before.top) << "fitting moved the window";
  EXPECT_TRUE(FittedTo(main, item.image, 3));
  EXPECT_TRUE(ShowsPictureAt(main, item.image, 3));

  // And back: the window shrinks to the smallest size again.
  ASSERT_TRUE(ZoomWithMenu(main, item.image, 1));
  EXPECT_TRUE(FittedTo(main, item.image, 1));
  EXPECT_TRUE(ShowsPictureAt(main, item.image, 1));
}

TEST_F(Display, EveryZoomOfTheViewMenuShowsThePictureAtItsScale) {
  Decoded item;
  HWND main = ShowSample(L"ITEM02.BIN", item);
  ASSERT_NE(main, nullptr);
  for (int zoom : {2, 4, 3, 1}) {
    SCOPED_TRACE("zoom " + std::to_string(zoom * 100) + "%");
    ASSERT_TRUE(ZoomWithMenu(main, item.image, zoom));
    EXPECT_TRUE(PictureControlIs(main, item.image, zoom));
    EXPECT_TRUE(FittedTo(main, item.image, zoom));
    EXPECT_TRUE(ShowsPictureAt(main, item.image, zoom));
  }
}

TEST_F(Display, AWideBackgroundGetsItsFramesAddedToTheWindowSize) {
  Decoded background;
  HWND main = ShowSample(L"BG01.BIN", background);
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(background.image.Width(), 640);
  ASSERT_EQ(background.image.Height(), 448);

  EXPECT_TRUE(PictureControlIs(main, background.image, 1));
  EXPECT_TRUE(FittedTo(main, background.image, 1));
  EXPECT_TRUE(ShowsPictureAt(main, background.image, 1));
}

}  // namespace
}  // namespace qelva::e2e
