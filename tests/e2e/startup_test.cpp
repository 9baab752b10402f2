// The viewer as it first comes up: untitled and empty, with only the File and Help menus to
// open; and the about box.

#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

class Startup : public ViewerTest {
 protected:
  // Presses the menu's Alt key and tells whether a popup menu came up; leaves menu mode again.
  // (Wine enters menu mode for a disabled menu too, without a popup: one Escape ends it there,
  // while an open popup takes two, one for the popup and one for the menu bar.)
  bool MenuOpens(HWND main, const std::string& altKey) {
    EXPECT_TRUE(Keys(main, {altKey}));
    const bool opened = WaitUntil(PopupMenuOpen, 1500ms);
    if (opened) {
      EXPECT_TRUE(Keys(main, {"Escape"}));
    }
    EXPECT_TRUE(Keys(main, {"Escape"}));
    EXPECT_TRUE(WaitUntil([] { return !PopupMenuOpen(); }, 3s)) << "the menu stayed open";
    return opened;
  }
};

TEST_F(Startup, WithoutArgumentsTheWindowIsUntitledAndShowsOnlyItsBackground) {
  HWND main = StartAndWaitForWindow({});
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Narrow(WaitForCaption(main, kUntitled)), Narrow(kUntitled));

  BringToFront(main);
  long other = -1;
  WaitUntil(
      [&] {
        const Shot shot = CaptureClient(main);
        other = shot.pixels.empty() ? -1 : 0;
        for (uint32_t p : shot.pixels) other += p != WindowBackground();
        return other == 0;
      },
      5s, 200ms);
  EXPECT_EQ(other, 0) << "pixels of the empty client area that are not the background colour";
}

TEST_F(Startup, BeforeAPictureIsShownOnlyTheFileAndHelpMenusOpen) {
  HWND main = StartAndWaitForWindow({});
  ASSERT_NE(main, nullptr);
  WaitForCaption(main, kUntitled);

  EXPECT_FALSE(MenuOpens(main, "alt+e")) << "the Edit menu opened while it is disabled";
  EXPECT_FALSE(MenuOpens(main, "alt+v")) << "the View menu opened while it is disabled";
  EXPECT_TRUE(MenuOpens(main, "alt+f")) << "the File menu did not open";
  EXPECT_TRUE(MenuOpens(main, "alt+h")) << "the Help menu did not open";
  EXPECT_TRUE(IsWindow(main)) << "leaving the menus closed the window";
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(kUntitled));
}

TEST_F(Startup, OnceAPictureIsShownTheEditAndViewMenusOpenToo) {
  HWND main = StartAndWaitForWindow({L"Item01.bin"});
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(DecodeSample(L"Item01.bin")))),
            Narrow(CaptionFor(DecodeSample(L"Item01.bin"))));

  EXPECT_TRUE(MenuOpens(main, "alt+e")) << "the Edit menu did not open";
  EXPECT_TRUE(MenuOpens(main, "alt+v")) << "the View menu did not open";
  EXPECT_TRUE(IsWindow(main)) << "leaving the menus closed the window";
}

TEST_F(Startup, TheAboutBoxOpensFromTheHelpMenuAndClosesWithItsButton) {
  ViewerProcess& viewer = Start({});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);

  ASSERT_TRUE(Keys(main, {"alt+h", "a"}));
  HWND about = WaitForTopLevel(kDialogClass, L"QelvaView について", viewer.Id(), 5s);
  ASSERT_NE(about, nullptr) << "no about box after Alt+H, A";
  HWND ok = FindChild(about, L"Button", L"了解");
  ASSERT_NE(ok, nullptr) << "the about box has no button 了解";

  ClickButton(ok);
  EXPECT_TRUE(WaitUntilGone(about)) << "the about box stayed open after 了解";
  EXPECT_TRUE(viewer.Running());
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(kUntitled));
}

}  // namespace
}  // namespace qelva::e2e
