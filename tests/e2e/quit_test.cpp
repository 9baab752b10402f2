// Ending viewers: Esc and Exit end one window, quit-all ends every viewer the user has open,
// the one that sends it included.

#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

constexpr wchar_t kBroadcastName[] = L"Qelva View Broadcast Message";

class Quitting : public ViewerTest {
 protected:
  // Starts one viewer on three pictures and waits until all three windows show theirs, so
  // that no window coming up later takes the focus from the keys of the test.
  HWND StartThree(ViewerProcess*& first) {
    first = &Start({L"Item01.bin", L"ITEM02.BIN", L"Kabe01.bin"});
    HWND main = first->WaitForMainWindow();
    EXPECT_NE(main, nullptr);
    const bool allUp = WaitUntil(
        [] {
          const auto windows = AllMainWindows();
          for (HWND w : windows)
            if (TextOf(w) == kUntitled) return false;
          return windows.size() == 3;
        },
        20s);
    EXPECT_TRUE(allUp) << AllMainWindows().size() << " windows came up for three pictures";
    for (HWND w : AllMainWindows()) SyncWith(w);
    return main;
  }
};

TEST_F(Quitting, EscapeClosesTheWindowWhileOtherKeysDoNothing) {
  ViewerProcess& viewer = Start({L"Item01.bin"});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  const std::wstring caption = WaitForCaption(main, CaptionFor(DecodeSample(L"Item01.bin")));

  ASSERT_TRUE(Keys(main, {"a", "Return", "space", "x", "q"}));
  EXPECT_FALSE(viewer.WaitForExit(1s)) << "an ordinary key ended the program";
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(caption));

  ASSERT_TRUE(Keys(main, {"Escape"}));
  EXPECT_TRUE(viewer.WaitForExit()) << "Esc did not end the program";
}

TEST_F(Quitting, ExitFromTheFileMenuEndsOnlyThisViewer) {
  ViewerProcess* first = nullptr;
  HWND main = StartThree(first);
  ASSERT_NE(main, nullptr);

  ASSERT_TRUE(Keys(main, {"alt+f", "x"}));
  EXPECT_TRUE(first->WaitForExit()) << "終了 did not end the program";
  EXPECT_FALSE(WaitUntil([] { return AllMainWindows().size() != 2; }, 2s))
      << "終了 closed " << 3 - AllMainWindows().size() << " windows";
}

TEST_F(Quitting, QuitAllFromTheFileMenuClosesEveryViewerTheSendersToo) {
  ViewerProcess* first = nullptr;
  HWND main = StartThree(first);
  ASSERT_NE(main, nullptr);

  ASSERT_TRUE(Keys(main, {"alt+f", "q"}));
  EXPECT_TRUE(first->WaitForExit()) << "the viewer that sent quit-all is still running";
  EXPECT_TRUE(WaitUntil([] { return ViewerProcessIds().empty(); }, 10s))
      << ViewerProcessIds().size() << " viewer processes are still running";
}

TEST_F(Quitting, TheRegisteredMessageFromAnotherProgramClosesTheWindowItIsSentTo) {
  ViewerProcess* first = nullptr;
  HWND main = StartThree(first);
  ASSERT_NE(main, nullptr);
  const UINT message = RegisterWindowMessageW(kBroadcastName);
  ASSERT_NE(message, 0u);

  SendMessageTimeoutW(main, message, 0, 0, SMTO_BLOCK, 5000, nullptr);
  EXPECT_TRUE(first->WaitForExit()) << "the message did not end the program";
  EXPECT_FALSE(WaitUntil([] { return AllMainWindows().size() != 2; }, 2s))
      << "the other viewers were closed too";
}

}  // namespace
}  // namespace qelva::e2e
