// Files that cannot be shown: the viewer reports exactly what our own decoding of the same file
// raises, in the application's message box, and keeps what it showed before.

#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

struct BadFile {
  const char* label;
  std::wstring path;  // relative to the sample folder
  int32_t entry;      // for archives: the entry asked for with a switch
};

std::string LabelOf(const ::testing::TestParamInfo<BadFile>& info) { return info.param.label; }

// What the box must say: a raised failure is shown with a full stop after it; the message the
// decoder asks its host to show (a name that is no game file's) is shown as it is.
std::wstring ExpectedText(const Decoded& decoded) {
  if (!decoded.failure.empty()) return Widen(decoded.failure) + L".";
  return Widen(decoded.shownMessage);
}

std::vector<std::wstring> ArgumentsFor(const BadFile& file) {
  std::vector<std::wstring> args = {file.path};
  if (file.entry != 0) args.push_back(L"/" + std::to_wstring(file.entry));
  return args;
}

class OpenErrors : public ViewerTest {
 protected:
  // Waits for the box, checks its text, and closes it with its OK button.
  static void ExpectBoxSaying(DWORD processId, const std::wstring& expected) {
    HWND box = WaitForMessageBox(processId);
    ASSERT_NE(box, nullptr) << "no box captioned " << Narrow(kApplicationTitle);
    EXPECT_EQ(Narrow(MessageBoxText(box)), Narrow(expected));
    HWND ok = GetDlgItem(box, IDOK);
    ASSERT_NE(ok, nullptr) << "the box has no OK button";
    ClickButton(ok);
    EXPECT_TRUE(WaitUntilGone(box)) << "the box stayed open after OK";
  }
};

class OpenErrorsOnTheCommandLine : public OpenErrors,
                                   public ::testing::WithParamInterface<BadFile> {};

TEST_P(OpenErrorsOnTheCommandLine, AreReportedWithOurDecodersMessageAndLeaveTheWindowUntitled) {
  const BadFile& file = GetParam();
  const Decoded decoded = DecodeSample(file.path, file.entry);
  ASSERT_TRUE(decoded.image.Empty()) << "our own decoder shows this file";
  const std::wstring expected = ExpectedText(decoded);
  ASSERT_FALSE(expected.empty()) << "our own decoder refuses this file without a word";

  ViewerProcess& viewer = Start(ArgumentsFor(file));
  ExpectBoxSaying(viewer.Id(), expected);
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(kUntitled));
  EXPECT_TRUE(viewer.Running()) << "a file that cannot be shown ended the program";
}

INSTANTIATE_TEST_SUITE_P(
    BrokenAndMissingFiles, OpenErrorsOnTheCommandLine,
    ::testing::Values(BadFile{"PlainBackgroundCutShort", L"broken\\bg90.bin", 0},
                      BadFile{"BackgroundShorterThanItsTiles", L"broken\\bg91.bin", 0},
                      BadFile{"BackgroundWithTooManyCells", L"broken\\bg92.bin", 0},
                      BadFile{"TitleNamingATileBeyondItsPool", L"broken\\kabe99.bin", 0},
                      BadFile{"BromideEntryBeyondTheCutEnd", L"broken\\omall.dat", 7},
                      BadFile{"SpritesWithoutTheirPaletteFile", L"broken\\ge_spr.bin", 3},
                      BadFile{"FileThatDoesNotExist", L"Item77.bin", 0},
                      BadFile{"NameThatIsNoGameFile", L"Item01.bmp", 0}),
    LabelOf);

TEST_F(OpenErrors, ABrokenFileChosenInTheOpenDialogLeavesTheShownPicture) {
  const Decoded item = DecodeSample(L"Item01.bin");
  const Decoded broken = DecodeSample(L"broken\\bg90.bin");
  ASSERT_FALSE(broken.failure.empty()) << "our own decoder reads the broken file";

  ViewerProcess& viewer = Start({L"Item01.bin"});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(item))), Narrow(CaptionFor(item)));

  ASSERT_TRUE(OpenThroughDialog(main, L"broken\\bg90.bin"));
  ExpectBoxSaying(viewer.Id(), ExpectedText(broken));

  SyncWith(main);
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(item)));
  BringToFront(main);
  EXPECT_TRUE(ShowsPictureAt(main, item.image, 1));
}

TEST_F(OpenErrors, AWrongNameChosenInTheOpenDialogLeavesTheShownPicture) {
  const Decoded item = DecodeSample(L"ITEM02.BIN");
  // An existing file, so that only its name can be what is wrong with it.
  const std::wstring notes = TestEnvironment().artifacts + L"\\notes.txt";
  {
    HANDLE f = CreateFileW(notes.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
  }
  const Decoded wrongName = DecodeSample(notes);
  ASSERT_FALSE(wrongName.shownMessage.empty()) << "our own decoder takes notes.txt for a game file";

  ViewerProcess& viewer = Start({L"ITEM02.BIN"});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(item))), Narrow(CaptionFor(item)));

  ASSERT_TRUE(OpenThroughDialog(main, notes));
  ExpectBoxSaying(viewer.Id(), ExpectedText(wrongName));
  SyncWith(main);
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(item)));
  BringToFront(main);
  EXPECT_TRUE(ShowsPictureAt(main, item.image, 1));
}

}  // namespace
}  // namespace qelva::e2e
