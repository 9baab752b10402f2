// A picture laid over the shown one: it waits as a hatched rectangle at the top left, follows
// the mouse on a grid of 8 picture pixels, scales with the zoom, and a click beside it lays its
// pixels (index 0 and indices beyond its colour table leave the picture below visible) into a
// 24-bit picture.

#include "harness/clipboard.h"
#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

std::wstring CaptionWithBits(const Decoded& picture, int bits) {
  return L"QelvaView " + Widen(picture.name) + L" (" + std::to_wstring(picture.image.Width()) +
         L"x" + std::to_wstring(picture.image.Height()) + L"x" + std::to_wstring(bits) + L")";
}

RECT At(POINT corner, int width, int height) {
  return {corner.x, corner.y, corner.x + width, corner.y + height};
}

class Overlay : public ViewerTest {
 protected:
  // The client area shows the composed picture at the zoom from the top left, once painted.
  static ::testing::AssertionResult ShowsComposed(HWND main, const ColourPicture& composed,
                                                  int zoom) {
    ::testing::AssertionResult result = ::testing::AssertionFailure();
    WaitUntil(
        [&] {
          SyncWith(main);
          result = ShowsColours(CaptureClient(main), composed, zoom, {0, 0}, WindowBackground());
          return static_cast<bool>(result);
        },
        5s, 200ms);
    return result;
  }

  // Drags the rectangle from a point of it, `grabbed` from its corner, to `released`; it must
  // come to the snapped corner with the size it then has.
  static ::testing::AssertionResult DragsTo(HWND main, POINT grabbed, POINT released,
                                            int zoom, const RECT& expected) {
    const RECT before = OverlayRect(main);
    const POINT pressed = {before.left + grabbed.x, before.top + grabbed.y};
    const POINT corner = SnappedCorner({before.left, before.top}, pressed, released, zoom);
    if (corner.x != expected.left || corner.y != expected.top) {
      return ::testing::AssertionFailure()
             << "the test's drag snaps to (" << corner.x << ", " << corner.y
             << "), not to the corner it expects";
    }
    if (auto dragged = DragInClient(main, pressed, released); !dragged) return dragged;
    return OverlayComesAt(main, expected);
  }
};

TEST_F(Overlay, APastedPictureFollowsTheMouseOnItsGridAndIsLaidWhereItWasLeft) {
  Decoded item;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  constexpr int kZoom = 2;
  ASSERT_TRUE(ZoomWithMenu(main, item.image, kZoom));
  const int shown = item.image.Width() * kZoom;  // the picture control's width and height

  // 38 wide: its rows are padded to 40 bytes.
  const IndexedPicture laid = DrawnPattern(38, 24, 16);
  const int w = laid.width * kZoom, h = laid.height * kZoom;
  ASSERT_TRUE(PutOnClipboard(CF_DIB, EightBitDib(laid)));
  ASSERT_TRUE(PasteWithMenu(main));
  ASSERT_TRUE(OverlayComesAt(main, {0, 0, w, h}));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(item))) << "nothing is laid yet";
  {
    ::testing::AssertionResult hatched = ::testing::AssertionFailure();
    WaitUntil(
        [&] {
          return static_cast<bool>(hatched = HatchedOver(CaptureClient(main), {0, 0, w, h},
                                                         ColoursOf(item.image), kZoom));
        },
        3s, 200ms);
    EXPECT_TRUE(hatched);
  }

  // Grid steps of 16 screen pixels at 200 %, every coordinate rounded toward zero.
  ASSERT_TRUE(DragsTo(main, {10, 9}, {63, 47}, kZoom, At({48, 32}, w, h)));
  ASSERT_TRUE(DragsTo(main, {60, 40}, {20, 20}, kZoom, At({-32, -16}, w, h)))
      << "above and left of the picture";
  // Past the lower right corner the rectangle ends with the picture.
  ASSERT_TRUE(DragsTo(main, {40, 20}, {205, 215}, kZoom, {160, 192, shown, shown}));

  // A click on the rectangle itself lays nothing.
  ASSERT_TRUE(ClickInClient(main, {200, 210}));
  EXPECT_TRUE(OverlayComesAt(main, {160, 192, shown, shown}));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(item)));

  // A click on the picture beside the rectangle lays it: picture column 80, row 96, the part
  // beyond the picture dropped.
  ASSERT_TRUE(ClickInClient(main, {30, 100}));
  ASSERT_TRUE(OverlayGoes(main));
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionWithBits(item, 24))),
            Narrow(CaptionWithBits(item, 24)));
  ColourPicture composed = ColoursOf(item.image);
  LayOver(composed, laid, 160 / kZoom, 192 / kZoom);
  EXPECT_TRUE(ShowsComposed(main, composed, kZoom));

  Bytes copied;
  ASSERT_TRUE(CopyWithMenu(main, copied));
  DibFields f;
  f.width = composed.width;
  f.height = composed.height;
  f.bitCount = 24;
  f.imageSize = static_cast<uint32_t>(DibRowStride(composed.width, 24) * composed.height);
  const Bytes expected = BuildDib(f, {}, PackedRows(composed));
  EXPECT_EQ(copied.size(), expected.size());
  EXPECT_TRUE(copied == expected) << "the copied block differs from the composed picture";
}

TEST_F(Overlay, AZoomChangeScalesTheWaitingRectangleAndItIsLaidAtItsPicturePlace) {
  Decoded item;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(ZoomWithMenu(main, item.image, 2));
  const IndexedPicture laid = DrawnPattern(38, 24, 16);
  ASSERT_TRUE(PutOnClipboard(CF_DIB, EightBitDib(laid)));
  ASSERT_TRUE(PasteWithMenu(main));
  ASSERT_TRUE(OverlayComesAt(main, {0, 0, 76, 48}));
  ASSERT_TRUE(DragsTo(main, {10, 10}, {47, 80}, 2, At({32, 64}, 76, 48)));

  ASSERT_TRUE(ZoomWithMenu(main, item.image, 3));
  EXPECT_TRUE(OverlayComesAt(main, At({32 * 3 / 2, 64 * 3 / 2}, 38 * 3, 24 * 3)));
  ASSERT_TRUE(ZoomWithMenu(main, item.image, 1));
  ASSERT_TRUE(OverlayComesAt(main, At({32 / 2, 64 / 2}, 38, 24)));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(item)));
  // What waits is not yet the picture: a copy is still the 8-bit one.
  Bytes copied;
  ASSERT_TRUE(CopyWithMenu(main, copied));
  Bytes shownPicture = item.image.info;
  shownPicture.insert(shownPicture.end(), item.image.bits.begin(), item.image.bits.end());
  EXPECT_TRUE(copied == shownPicture) << "the copy while a picture waits is not the shown picture";

  // Cut at the picture's lower right corner at 100 %; at 400 % it has its whole size again.
  ASSERT_TRUE(DragsTo(main, {4, 4}, {68, 68}, 1, {64, 64, 102, 88}));
  ASSERT_TRUE(DragsTo(main, {4, 4}, {84, 100}, 1, {80, 96, 112, 112}));
  ASSERT_TRUE(ZoomWithMenu(main, item.image, 4));
  EXPECT_TRUE(OverlayComesAt(main, At({80 * 4, 96 * 4}, 38 * 4, 24 * 4)));

  ASSERT_TRUE(ClickInClient(main, {90, 90}));
  ASSERT_TRUE(OverlayGoes(main));
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionWithBits(item, 24))),
            Narrow(CaptionWithBits(item, 24)));
  ColourPicture composed = ColoursOf(item.image);
  LayOver(composed, laid, 80, 96);
  EXPECT_TRUE(ShowsComposed(main, composed, 4));
}

TEST_F(Overlay, ABlockWithASixtyFourByteHeaderHasItsTableAfterTheWholeHeader) {
  Decoded item;
  HWND main = ShowSample(L"ITEM02.BIN", item);
  ASSERT_NE(main, nullptr);
  // biClrUsed 0: all 256 colours of an 8-bit table, every index one of them.
  const IndexedPicture laid = DrawnPattern(45, 30, 256);
  DibFields f;
  f.headerSize = 64;
  f.width = laid.width;
  f.height = laid.height;
  f.headerFill = 0xA5;
  ASSERT_TRUE(PutOnClipboard(CF_DIB, BuildDib(f, laid.table, PackedRows(laid, 8))));
  ASSERT_TRUE(PasteWithMenu(main));
  ASSERT_TRUE(OverlayComesAt(main, {0, 0, 45, 30}));

  ASSERT_TRUE(ClickInClient(main, {80, 80}));
  ASSERT_TRUE(OverlayGoes(main));
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionWithBits(item, 24))),
            Narrow(CaptionWithBits(item, 24)));
  ColourPicture composed = ColoursOf(item.image);
  LayOver(composed, laid, 0, 0);
  EXPECT_TRUE(ShowsComposed(main, composed, 1));
}

TEST_F(Overlay, OpeningAnotherPictureDiscardsTheWaitingOne) {
  Decoded item;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(PutOnClipboard(CF_DIB, EightBitDib(DrawnPattern(38, 24, 16))));
  ASSERT_TRUE(PasteWithMenu(main));
  ASSERT_TRUE(OverlayComesAt(main, {0, 0, 38, 24}));

  const Decoded other = DecodeSample(L"ITEM02.BIN");
  ASSERT_TRUE(OpenThroughDialog(main, L"ITEM02.BIN"));
  ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(other))), Narrow(CaptionFor(other)));
  EXPECT_TRUE(OverlayGoes(main));
  ASSERT_TRUE(ClickInClient(main, {60, 60}));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(other))) << "the discarded picture was laid";
  EXPECT_TRUE(ShowsPictureAt(main, other.image, 1));
}

TEST_F(Overlay, AFileOpenedAsAnAdditionIsLaidWhereItIsDragged) {
  Decoded item;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  const Decoded added = DecodeSample(L"ITEM02.BIN");
  ASSERT_FALSE(added.image.Empty()) << added.failure;

  ASSERT_TRUE(AddOpenWithMenu(main, SamplePath(L"ITEM02.BIN")));
  ASSERT_TRUE(OverlayComesAt(main, {0, 0, added.image.Width(), added.image.Height()}));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(item)));
  // Up and left by less than a grid step and more than two: the corner goes to (-16, -32).
  ASSERT_TRUE(DragsTo(main, {50, 50}, {29, 13}, 1, At({-16, -32}, 112, 112)));

  ASSERT_TRUE(ClickInClient(main, {104, 100}));
  ASSERT_TRUE(OverlayGoes(main));
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionWithBits(item, 24))),
            Narrow(CaptionWithBits(item, 24)));
  ColourPicture composed = ColoursOf(item.image);
  LayOver(composed, IndexedOf(added.image), -16, -32);
  EXPECT_TRUE(ShowsComposed(main, composed, 1));
}

TEST_F(Overlay, AnArchiveOpenedAsAnAdditionLaysItsFirstChosenEntryAndShowsTheOthersApart) {
  Decoded wallpaper;
  HWND main = ShowSample(L"Kabe01.bin", wallpaper);
  ASSERT_NE(main, nullptr);
  const Decoded first = DecodeSample(L"omall.dat", 2);
  const Decoded second = DecodeSample(L"omall.dat", 5);
  ASSERT_FALSE(first.image.Empty()) << first.failure;
  ASSERT_LE(first.image.Width(), wallpaper.image.Width());
  ASSERT_LE(first.image.Height(), wallpaper.image.Height());

  ASSERT_TRUE(AddOpenWithMenu(main, SamplePath(L"omall.dat")));
  HWND chooser = WaitForTopLevel(kDialogClass, L"omall.datからロード", ProcessOf(main));
  ASSERT_NE(chooser, nullptr) << "no archive chooser";
  HWND list = GetDlgItem(chooser, 101);
  ASSERT_NE(list, nullptr);
  SyncWith(chooser);
  for (int entry : {2, 5}) {
    const RECT r = ListItemRectOnScreen(list, entry);
    ASSERT_TRUE(ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2}).status == 0);
    SyncWith(list);
  }
  ASSERT_EQ(ListSelection(list), (std::vector<int>{2, 5}));
  ClickButton(GetDlgItem(chooser, IDOK));
  ASSERT_TRUE(WaitUntilGone(chooser));

  ASSERT_TRUE(OverlayComesAt(main, {0, 0, first.image.Width(), first.image.Height()}));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(wallpaper)));
  HWND apart = WaitForTopLevel(kMainWindowClass, CaptionFor(second));
  ASSERT_NE(apart, nullptr) << "no window shows " << second.name;
  EXPECT_NE(ProcessOf(apart), ProcessOf(main)) << "a further entry opens in a process of its own";
  BringToFront(main);

  ASSERT_TRUE(DragsTo(main, {100, 100}, {177, 113}, 1, At({72, 8}, 176, 200)));
  ASSERT_TRUE(ClickInClient(main, {300, 100}));
  ASSERT_TRUE(OverlayGoes(main));
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionWithBits(wallpaper, 24))),
            Narrow(CaptionWithBits(wallpaper, 24)));
  ColourPicture composed = ColoursOf(wallpaper.image);
  LayOver(composed, IndexedOf(first.image), 72, 8);
  EXPECT_TRUE(ShowsComposed(main, composed, 1));
}

TEST_F(Overlay, AFileThatCannotBeLoadedAsAnAdditionGivesTheErrorBoxAndNoRectangle) {
  Decoded item;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  const Decoded broken = DecodeSample(L"broken\\bg90.bin");
  ASSERT_FALSE(broken.failure.empty()) << "our own decoder reads the broken file";

  ASSERT_TRUE(AddOpenWithMenu(main, SamplePath(L"broken\\bg90.bin")));
  HWND box = WaitForMessageBox(ProcessOf(main));
  ASSERT_NE(box, nullptr) << "no box captioned " << Narrow(kApplicationTitle);
  EXPECT_EQ(Narrow(MessageBoxText(box)), broken.failure + ".");
  EXPECT_FALSE(OverlayShown(main));
  ClickButton(GetDlgItem(box, IDOK));
  ASSERT_TRUE(WaitUntilGone(box));
  SyncWith(main);
  EXPECT_FALSE(OverlayShown(main));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(item)));
}

}  // namespace
}  // namespace qelva::e2e
