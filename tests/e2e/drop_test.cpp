// Files dropped on the window from outside, as a file manager drops them: through the X
// drag-and-drop protocol, which Wine turns into WM_DROPFILES for the window.

#include <set>

#include "harness/viewer_test.h"
#include "harness/x_input.h"

namespace qelva::e2e {
namespace {

class DroppedFiles : public ViewerTest {
 protected:
  // A point inside the client area, on the screen.
  static POINT InsideClient(HWND main) {
    const RECT client = ClientRectOnScreen(main);
    return {client.left + 40, client.top + 40};
  }
};

TEST_F(DroppedFiles, TheFirstOpensInTheWindowAndEachFurtherOneInAProcessOfItsOwn) {
  const Decoded item = DecodeSample(L"Item01.bin");
  const Decoded wallpaper = DecodeSample(L"Kabe01.bin");
  HWND main = StartAndWaitForWindow({L"Item01.bin"});
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(item))), Narrow(CaptionFor(item)));

  const XRun drop = DropFiles(main, InsideClient(main),
                              {SamplePath(L"Kabe01.bin"), SamplePath(L"bg02.bin"),
                               SamplePath(L"bg03.bin")});
  ASSERT_EQ(drop.status, 0) << drop.output;

  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(wallpaper))), Narrow(CaptionFor(wallpaper)))
      << "the first dropped file replaces the picture of the window it was dropped on";
  BringToFront(main);
  EXPECT_TRUE(ShowsPictureAt(main, wallpaper.image, 1));

  const std::set<std::wstring> further = {CaptionFor(DecodeSample(L"bg02.bin")),
                                          CaptionFor(DecodeSample(L"bg03.bin"))};
  std::set<std::wstring> seen;
  WaitUntil(
      [&] {
        seen.clear();
        for (HWND w : AllMainWindows()) {
          if (w != main) seen.insert(TextOf(w));
        }
        return seen == further;
      },
      20s);
  EXPECT_EQ(seen, further) << "one further window for each further dropped file";
}

// A name longer than 254 characters was once cut short and the wrong file (or none) opened. The
// name here is 258 characters: longer than that, still under the system's classic path limit.
TEST_F(DroppedFiles, ANameLongerThanTwoHundredAndFiftyFourCharactersOpensWhole) {
  std::wstring folder = TestEnvironment().artifacts + L"\\";
  folder += std::wstring(258 - folder.size() - std::wstring(L"\\Item01.bin").size(), L'l');
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);
  const std::wstring path = folder + L"\\Item01.bin";
  ASSERT_EQ(path.size(), 258u);
  ASSERT_TRUE(CopyFileW(SamplePath(L"Item01.bin").c_str(), path.c_str(), FALSE));

  const Decoded wallpaper = DecodeSample(L"Kabe01.bin");
  const Decoded item = DecodeSample(L"Item01.bin");
  HWND main = StartAndWaitForWindow({L"Kabe01.bin"});
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(wallpaper))), Narrow(CaptionFor(wallpaper)));

  const XRun drop = DropFiles(main, InsideClient(main), {path});
  ASSERT_EQ(drop.status, 0) << drop.output;
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(item))), Narrow(CaptionFor(item)));
  EXPECT_EQ(WaitForMessageBox(ProcessOf(main), 2s), nullptr) << "no message box about the name";
  EXPECT_EQ(AllMainWindows().size(), 1u);
}

}  // namespace
}  // namespace qelva::e2e
