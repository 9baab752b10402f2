// The command line: the first picture opens here, every further one in a process of its own;
// "/N" switches choose the archive entry; a switch that is no number is an error.

#include <set>

#include "common/errors.h"
#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

class CommandLine : public ViewerTest {
 protected:
  // Waits until `count` main windows are up and returns them by caption.
  static std::multiset<std::wstring> CaptionsOfAllWindows(size_t count, Millis timeout = 20s) {
    std::multiset<std::wstring> captions;
    WaitUntil(
        [&] {
          captions.clear();
          const auto windows = AllMainWindows();
          for (HWND w : windows) captions.insert(TextOf(w));
          // A further process may show its window before it has opened its picture.
          return windows.size() >= count && captions.count(kUntitled) == 0;
        },
        timeout);
    return captions;
  }
  static std::string Joined(const std::multiset<std::wstring>& captions) {
    std::string text;
    for (const auto& c : captions) text.append("[").append(Narrow(c)).append("] ");
    return text;
  }
};

TEST_F(CommandLine, EveryFurtherFileOpensInAWindowOfItsOwnProcess) {
  const std::vector<std::wstring> files = {L"Item01.bin", L"ITEM02.BIN", L"Kabe01.bin"};
  std::multiset<std::wstring> expected;
  for (const auto& f : files) expected.insert(CaptionFor(DecodeSample(f)));

  ViewerProcess& first = Start(files);
  HWND main = first.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(DecodeSample(files[0])))),
            Narrow(CaptionFor(DecodeSample(files[0]))))
      << "this window shows the first argument";

  const auto captions = CaptionsOfAllWindows(files.size());
  EXPECT_EQ(captions, expected) << "captions: " << Joined(captions);
  std::set<DWORD> processes;
  for (HWND w : AllMainWindows()) processes.insert(ProcessOf(w));
  EXPECT_EQ(processes.size(), files.size()) << "every picture has a process of its own";
}

TEST_F(CommandLine, APathWithBlanksInQuotesArrivesAsOneArgument) {
  const std::wstring folder = TestEnvironment().artifacts + L"\\folder with blanks";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\Item01.bin";
  ASSERT_TRUE(CopyFileW(SamplePath(L"Item01.bin").c_str(), copy.c_str(), FALSE));
  const std::wstring expected = CaptionFor(DecodeSample(L"Item01.bin"));

  HWND main = StartAndWaitForWindow({copy});
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Narrow(WaitForCaption(main, expected)), Narrow(expected));
  EXPECT_EQ(AllMainWindows().size(), 1u) << "the path was split into several arguments";
}

TEST_F(CommandLine, ASwitchAfterTheArchiveShowsThatEntryWithoutAsking) {
  const Decoded entry = DecodeSample(L"omall.dat", 5);
  ASSERT_FALSE(entry.image.Empty()) << entry.failure;
  ASSERT_EQ(entry.name, "omall.dat[5]");

  HWND main = StartAndWaitForWindow({L"omall.dat", L"/5"});
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(entry))), Narrow(CaptionFor(entry)));
  EXPECT_TRUE(TopLevelWindows(kDialogClass, ProcessOf(main)).empty())
      << "a dialog came up although the entry was given";
  BringToFront(main);
  EXPECT_TRUE(ShowsPictureAt(main, entry.image, 1)) << "this is not entry 5";
}

TEST_F(CommandLine, ASwitchIsReadFromItsFirstFifteenCharactersOnly) {
  // Sixteen characters after the slash: the last digit is cut off, leaving entry 1.
  const Decoded first = DecodeSample(L"omall.dat", 1);
  HWND main = StartAndWaitForWindow({L"omall.dat", L"/0000000000000012"});
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(first))), Narrow(CaptionFor(first)));
}

TEST_F(CommandLine, ASwitchBeforeTheArchiveLeavesThisWindowEmptyAndTheNewProcessAsks) {
  ViewerProcess& viewer = Start({L"/5", L"omall.dat"});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);

  HWND chooser = WaitForTopLevel(kDialogClass, L"omall.datからロード");
  ASSERT_NE(chooser, nullptr) << "no process asked which entry of omall.dat to show";
  EXPECT_NE(ProcessOf(chooser), viewer.Id()) << "the archive was opened in the first window";
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(kUntitled));
  EXPECT_EQ(ViewerProcessIds().size(), 2u) << "exactly one further process is started";
}

TEST_F(CommandLine, AFileAfterSwitchesGoesToANewProcessWhileTheLastSwitchWaitsForAnArchive) {
  const std::wstring item = CaptionFor(DecodeSample(L"Item01.bin"));
  const Decoded seventh = DecodeSample(L"omall.dat", 7);
  ASSERT_FALSE(seventh.image.Empty()) << seventh.failure;

  ViewerProcess& viewer = Start({L"/3", L"/7", L"Item01.bin"});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  HWND other = WaitForTopLevel(kMainWindowClass, item);
  ASSERT_NE(other, nullptr) << "Item01.bin was not shown by a further process";
  EXPECT_NE(ProcessOf(other), viewer.Id());
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(kUntitled));

  // Entry 7 is still waiting: the first archive this window opens shows it without asking.
  ASSERT_TRUE(OpenThroughDialog(main, L"omall.dat"));
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(seventh))), Narrow(CaptionFor(seventh)));
  EXPECT_EQ(FindTopLevel(kDialogClass, L"omall.datからロード"), nullptr)
      << "the chooser came up although entry 7 was given";
}

TEST_F(CommandLine, FourFilesChosenInTheOpenDialogGiveThisWindowTheFirstAndThreeNewProcesses) {
  const std::vector<std::wstring> files = {L"Item01.bin", L"ITEM02.BIN", L"Kabe01.bin",
                                           L"bg02.bin"};
  std::multiset<std::wstring> expected;
  for (const auto& f : files) expected.insert(CaptionFor(DecodeSample(f)));

  ViewerProcess& viewer = Start({});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(OpenSeveralThroughDialog(main, TestEnvironment().samples, files));

  const std::wstring here = CaptionFor(DecodeSample(files[0]));
  EXPECT_EQ(Narrow(WaitForCaption(main, here)), Narrow(here)) << "this window shows the first file";
  const auto captions = CaptionsOfAllWindows(files.size());
  EXPECT_EQ(captions, expected) << "captions: " << Joined(captions);
  EXPECT_EQ(ViewerProcessIds().size(), files.size());
}

TEST_F(CommandLine, ASwitchThatIsNoNumberIsReportedAndNothingIsOpened) {
  const std::wstring expected = Widen(ConvertError("x").what()) + L".";
  ViewerProcess& viewer = Start({L"/x", L"Item01.bin"});

  HWND box = WaitForMessageBox(viewer.Id());
  ASSERT_NE(box, nullptr) << "no error box for /x";
  EXPECT_EQ(Narrow(MessageBoxText(box)), Narrow(expected));
  HWND ok = GetDlgItem(box, IDOK);
  ASSERT_NE(ok, nullptr);
  ClickButton(ok);
  EXPECT_TRUE(WaitUntilGone(box));

  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(kUntitled));
  // Nothing was handed on either: no further process comes up.
  EXPECT_FALSE(WaitUntil([] { return ViewerProcessIds().size() > 1; }, 2s))
      << "a file after the bad switch was opened in a new process";
}

}  // namespace
}  // namespace qelva::e2e
