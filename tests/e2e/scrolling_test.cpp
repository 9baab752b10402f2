// A picture larger than the screen: the window stops at the work area and gets both scroll
// bars, and what the client area shows follows the scroll bars, also after the window was
// covered or minimised.
//
// Under Wine a window's scroll information cannot be read from another process (GetScrollInfo
// answers only in the owning one), so where the picture lies is read from the picture control,
// which moves as the client area scrolls.

#include "harness/expected_fit.h"
#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

constexpr int kZoom = 4;

// A plain window of this test program over a part of the screen, in one colour that no sample
// picture uses next to itself; gone when destroyed.
class CoveringWindow {
 public:
  static constexpr COLORREF kColour = RGB(255, 0, 255);

  explicit CoveringWindow(const RECT& screenRect) {
    static const ATOM atom = [] {
      WNDCLASSW c{};
      c.lpfnWndProc = DefWindowProcW;
      c.hInstance = GetModuleHandleW(nullptr);
      c.hbrBackground = CreateSolidBrush(kColour);
      c.lpszClassName = L"QelvaE2eCover";
      return RegisterClassW(&c);
    }();
    window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, MAKEINTATOM(atom), L"", WS_POPUP,
                              screenRect.left, screenRect.top, screenRect.right - screenRect.left,
                              screenRect.bottom - screenRect.top, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
    Pump(500ms);
  }
  ~CoveringWindow() { Remove(); }
  CoveringWindow(const CoveringWindow&) = delete;
  CoveringWindow& operator=(const CoveringWindow&) = delete;

  void Remove() {
    if (window_ == nullptr) return;
    DestroyWindow(window_);
    window_ = nullptr;
    Pump(200ms);
  }

 private:
  static void Pump(Millis duration) {
    WaitUntil(
        [] {
          MSG msg;
          while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
          return false;
        },
        duration);
  }
  HWND window_ = nullptr;
};

class Scrolling : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    if (HasFatalFailure()) return;
    background_ = DecodeSample(L"BG01.BIN");
    ASSERT_FALSE(background_.image.Empty()) << background_.failure;
    main_ = StartAndWaitForWindow({L"BG01.BIN"});
    ASSERT_NE(main_, nullptr);
    ASSERT_EQ(Narrow(WaitForCaption(main_, CaptionFor(background_))),
              Narrow(CaptionFor(background_)));
    ASSERT_TRUE(ZoomWithMenu(main_, background_.image, kZoom));
    BringToFront(main_);
  }

  int PictureHeight() const { return background_.image.Height() * kZoom; }
  int PictureWidth() const { return background_.image.Width() * kZoom; }
  // The picture's bottom-right corner lies at the client area's, and the screen shows it.
  void ExpectScrolledToTheEnds(const SIZE& client) {
    WaitUntil(
        [&] {
          const RECT r = PictureRect(main_);
          return r.bottom == client.cy && r.right == client.cx;
        },
        3s);
    const RECT r = PictureRect(main_);
    EXPECT_EQ(r.right, client.cx) << "the last picture column is not at the client's right edge";
    EXPECT_EQ(r.bottom, client.cy) << "the last picture row is not at the client's bottom edge";
    EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));
  }

  SIZE ClientSize() const {
    RECT c{};
    GetClientRect(main_, &c);
    return {c.right, c.bottom};
  }
  // Sends a scroll message as the scroll bar itself would, and waits until it is handled.
  void Scroll(UINT message, WORD request, WORD position = 0) {
    SendMessageTimeoutW(main_, message, MAKEWPARAM(request, position), 0, SMTO_BLOCK, 5000,
                        nullptr);
    SendMessageTimeoutW(main_, message, MAKEWPARAM(SB_ENDSCROLL, 0), 0, SMTO_BLOCK, 5000, nullptr);
    SyncWith(main_);
  }
  // Waits until the picture has moved away from `from` (its client position).
  POINT WaitForMove(POINT from) {
    RECT r{};
    WaitUntil(
        [&] {
          r = PictureRect(main_);
          return r.left != from.x || r.top != from.y;
        },
        3s);
    return {r.left, r.top};
  }

  Decoded background_;
  HWND main_ = nullptr;
};

TEST_F(Scrolling, ThePictureAtFourHundredPercentGetsAWindowUpToTheWorkAreaWithBothScrollBars) {
  const Fit fit = ExpectedFit(main_, PictureWidth(), PictureHeight());
  ASSERT_TRUE(fit.widthCut && fit.heightCut) << "the picture should not fit on this screen";
  const RECT window = WindowRectOf(main_);
  EXPECT_TRUE(EqualRect(&window, &fit.bounds))
      << "window bounds " << Describe(window) << ", expected " << Describe(fit.bounds);

  const LONG style = GetWindowLongW(main_, GWL_STYLE);
  EXPECT_TRUE(style & WS_HSCROLL) << "no horizontal scroll bar";
  EXPECT_TRUE(style & WS_VSCROLL) << "no vertical scroll bar";
  const RECT control = PictureRect(main_);
  EXPECT_EQ(control.left, 0);
  EXPECT_EQ(control.top, 0);
  EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));
}

TEST_F(Scrolling, LineAndPageRequestsMoveThePictureByALineAndByAPage) {
  const SIZE client = ClientSize();

  Scroll(WM_VSCROLL, SB_LINEDOWN);
  const POINT afterLine = WaitForMove({0, 0});
  EXPECT_EQ(afterLine.x, 0);
  EXPECT_LT(afterLine.y, 0) << "a line down did not move the picture up";
  const int line = -afterLine.y;
  EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));

  Scroll(WM_VSCROLL, SB_PAGEDOWN);
  const POINT afterPage = WaitForMove(afterLine);
  const int page = afterLine.y - afterPage.y;
  EXPECT_GT(page, line) << "a page is no longer than a line";
  EXPECT_LE(page, client.cy) << "a page went further than the client area is high";
  EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));

  Scroll(WM_HSCROLL, SB_PAGEDOWN);
  const POINT sideways = WaitForMove(afterPage);
  EXPECT_LT(sideways.x, 0) << "a page right did not move the picture left";
  EXPECT_GE(sideways.x, -client.cx) << "a page went further than the client area is wide";
  EXPECT_EQ(sideways.y, afterPage.y) << "scrolling sideways moved the picture up or down";
  EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));
}

TEST_F(Scrolling, ThumbPositionRequestsFromAnotherProgramScrollToTheEnds) {
  // Scroll positions count pixels: the last one puts the picture's far edges at the client's.
  // The position travels in the message itself, as it does from any program that scrolls a
  // window it does not own.
  const SIZE client = ClientSize();
  Scroll(WM_VSCROLL, SB_THUMBPOSITION, static_cast<WORD>(PictureHeight() - client.cy));
  Scroll(WM_HSCROLL, SB_THUMBPOSITION, static_cast<WORD>(PictureWidth() - client.cx));
  ExpectScrolledToTheEnds(client);
}

TEST_F(Scrolling, DraggingTheThumbsToTheEndsShowsThePicturesBottomRightCorner) {
  const RECT client = ClientRectOnScreen(main_);
  const SIZE size = ClientSize();
  const int cyArrow = GetSystemMetrics(SM_CYVSCROLL), cxArrow = GetSystemMetrics(SM_CXHSCROLL);
  // At the start each thumb lies right after its bar's first arrow.
  const int barX = client.right + GetSystemMetrics(SM_CXVSCROLL) / 2;
  const int barY = client.bottom + GetSystemMetrics(SM_CYHSCROLL) / 2;
  ASSERT_EQ(DragWithLeftButton({barX, client.top + cyArrow + 6}, {barX, client.bottom + 50}).status,
            0);
  ASSERT_EQ(DragWithLeftButton({client.left + cxArrow + 6, barY}, {client.right + 50, barY}).status,
            0);

  ExpectScrolledToTheEnds(size);
}

TEST_F(Scrolling, ClickingTheScrollBarsArrowsAndTroughScrollsThePicture) {
  const RECT client = ClientRectOnScreen(main_);
  const int cxArrow = GetSystemMetrics(SM_CXVSCROLL), cyArrow = GetSystemMetrics(SM_CYVSCROLL);
  const POINT downArrow = {client.right + cxArrow / 2, client.bottom - cyArrow / 2};
  const POINT rightArrow = {client.right - GetSystemMetrics(SM_CXHSCROLL) / 2,
                            client.bottom + GetSystemMetrics(SM_CYHSCROLL) / 2};
  const POINT lowerTrough = {downArrow.x, client.bottom - cyArrow - cyArrow / 2};

  ASSERT_EQ(ClickAt(downArrow).status, 0);
  const POINT afterArrow = WaitForMove({0, 0});
  EXPECT_LT(afterArrow.y, 0) << "a click on the down arrow did not scroll";
  EXPECT_EQ(afterArrow.x, 0);
  EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));

  ASSERT_EQ(ClickAt(lowerTrough).status, 0);
  const POINT afterTrough = WaitForMove(afterArrow);
  const int line = -afterArrow.y, page = afterArrow.y - afterTrough.y;
  EXPECT_GT(page, line) << "a click below the thumb moved no further than the arrow";
  EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));

  ASSERT_EQ(ClickAt(rightArrow).status, 0);
  const POINT sideways = WaitForMove(afterTrough);
  EXPECT_LT(sideways.x, 0) << "a click on the right arrow did not scroll";
  EXPECT_EQ(sideways.y, afterTrough.y);
  EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));
}

TEST_F(Scrolling, AScrolledPictureIsPaintedAgainWhereAnotherWindowCoveredIt) {
  Scroll(WM_VSCROLL, SB_PAGEDOWN);
  Scroll(WM_HSCROLL, SB_PAGEDOWN);
  WaitForMove({0, 0});
  ASSERT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));

  RECT covered = ClientRectOnScreen(main_);
  InflateRect(&covered, -100, -100);
  {
    CoveringWindow cover(covered);
    // The shot must see the cover, or it is not looking at the screen.
    const Shot shot = CaptureClient(main_);
    ASSERT_EQ(shot.At(shot.width / 2, shot.height / 2), RgbOf(CoveringWindow::kColour))
        << "the covering window does not show in a screen shot";
  }
  EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));
}

TEST_F(Scrolling, AScrolledPictureIsShownAgainAfterMinimiseAndRestore) {
  Scroll(WM_VSCROLL, SB_PAGEDOWN);
  WaitForMove({0, 0});
  PostMessageW(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(main_) != FALSE; }, 5s))
      << "the window did not minimise";
  PostMessageW(main_, WM_SYSCOMMAND, SC_RESTORE, 0);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(main_) == FALSE; }, 5s))
      << "the window did not come back";
  BringToFront(main_);
  EXPECT_TRUE(ShowsPictureAt(main_, background_.image, kZoom));
}

}  // namespace
}  // namespace qelva::e2e
