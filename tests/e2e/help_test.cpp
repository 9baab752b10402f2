// ﾍﾙﾌﾟ → 目次: the help window of the viewer's process, what its text covers (every menu command
// and every Save type, read from the program's own tables, so that the help cannot fall behind
// them), one window however often it is asked for, Esc; and the warning when the help file
// beside the program is missing or cannot be shown.

#include <filesystem>

#include "harness/save_dialog.h"
#include "harness/viewer_test.h"
#include "shell/main_menu.h"
#include "shell/save_name.h"

namespace qelva::e2e {
namespace {

constexpr wchar_t kHelpClass[] = L"QelvaHelpWindow";
const std::wstring kHelpCaption = L"QelvaView ﾍﾙﾌﾟ";

class HelpTest : public ViewerTest {
 protected:
  // ﾍﾙﾌﾟ → 目次 with the keyboard: Alt+H opens the menu, Home selects its first item, Return.
  ::testing::AssertionResult ChooseTopics(HWND main) {
    return Keys(main, {"alt+h", "Home", "Return"});
  }

  static std::vector<HWND> HelpWindowsOf(DWORD process) {
    return TopLevelWindows(kHelpClass, process);
  }

  // A copy of the viewer, alone in a fresh folder.
  static std::wstring ViewerCopyIn(const std::wstring& label) {
    const std::wstring folder = FreshFolder(label);
    const std::wstring copy =
        folder + L"\\" + std::filesystem::path(TestEnvironment().viewer).filename().wstring();
    EXPECT_TRUE(CopyFileW(TestEnvironment().viewer.c_str(), copy.c_str(), FALSE))
        << "cannot copy the viewer to " << Narrow(copy);
    return copy;
  }
};

// The menu's captions without their accelerator part: "開く(&O)..." is "開く...".
std::vector<std::wstring> MenuCommandCaptions() {
  std::vector<std::wstring> captions;
  for (const shell::MenuEntry& item : shell::MainMenuItems()) {
    if (item.caption == "-") continue;
    std::string caption(item.caption);
    if (const size_t open = caption.find("(&"); open != std::string::npos) {
      caption.erase(open, caption.find(')', open) + 1 - open);
    }
    captions.push_back(Widen(caption));
  }
  return captions;
}

// The Save dialog's type captions, every other part of its filter.
std::vector<std::wstring> SaveTypeNames() {
  std::vector<std::wstring> names;
  std::string_view rest = shell::kSaveFilter;
  for (bool caption = true; !rest.empty(); caption = !caption) {
    const size_t bar = rest.find('|');
    if (caption) names.push_back(Widen(std::string(rest.substr(0, bar))));
    rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
  }
  return names;
}

TEST_F(HelpTest, TopicsOpensOneHelpWindowThatCoversEveryCommandAndSaveTypeAndEscClosesIt) {
  ViewerProcess& viewer = Start({});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  BringToFront(main);

  ASSERT_TRUE(ChooseTopics(main));
  HWND help = WaitForTopLevel(kHelpClass, kHelpCaption, viewer.Id(), 10s);
  ASSERT_NE(help, nullptr) << "no window captioned " << Narrow(kHelpCaption) << " after 目次";
  HWND warning = FindTopLevel(kDialogClass, kWarningTitle, viewer.Id());
  EXPECT_EQ(warning, nullptr) << "目次 warned: " << Narrow(MessageBoxText(warning));
  const std::vector<HWND> texts = ChildrenOf(help, L"RICHEDIT50W");
  ASSERT_EQ(texts.size(), 1u) << "the help window holds no RichEdit control";
  const RECT client = ClientRectOnScreen(help), text = WindowRectOf(texts.front());
  EXPECT_TRUE(EqualRect(&client, &text)) << "the text does not fill the window";
  EXPECT_TRUE(GetWindowLongW(texts.front(), GWL_STYLE) & ES_READONLY);

  const std::wstring shown = TextOf(texts.front());
  ASSERT_GT(shown.size(), 1000u) << "the help shows " << shown.size() << " characters";
  const std::vector<std::wstring> commands = MenuCommandCaptions();
  ASSERT_EQ(commands.size(), 17u);
  for (const std::wstring& caption : commands) {
    EXPECT_NE(shown.find(caption), std::wstring::npos) << "the help never names " << Narrow(caption);
  }
  const std::vector<std::wstring> types = SaveTypeNames();
  ASSERT_EQ(types.size(), size_t{kSaveTypeCount});
  for (const std::wstring& type : types) {
    EXPECT_NE(shown.find(type), std::wstring::npos) << "the help never names " << Narrow(type);
  }

  // A second 目次 makes no second window; the one there comes back to the front.
  BringToFront(main);
  ASSERT_TRUE(ChooseTopics(main));
  SyncWith(main);
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == help; }, 5s))
      << "the help window did not come to the front";
  EXPECT_EQ(HelpWindowsOf(viewer.Id()), std::vector<HWND>{help});

  ASSERT_TRUE(Keys(help, {"Escape"}));
  EXPECT_TRUE(WaitUntilGone(help)) << "Esc left the help window open";
  EXPECT_TRUE(viewer.Running());
  EXPECT_TRUE(IsWindow(main)) << "Esc in the help window closed the main window";

  // Closed, it opens anew.
  BringToFront(main);
  ASSERT_TRUE(ChooseTopics(main));
  EXPECT_NE(WaitForTopLevel(kHelpClass, kHelpCaption, viewer.Id(), 10s), nullptr)
      << "目次 did not open the help again after it was closed";
}

// Each case: what lies beside the copied viewer under the help file's name, and the warning.
struct BrokenHelp {
  const char* label;
  enum { kNothing, kFolder, kNotRtf } beside;
  const char* ending;  // after "ﾍﾙﾌﾟﾌｧｲﾙ <path>"
};

TEST_F(HelpTest, AMissingOrBrokenHelpFileGetsAWarningThatNamesIt) {
  const BrokenHelp cases[] = {
      {"nohelp", BrokenHelp::kNothing, " が見つかりません"},
      {"helpfolder", BrokenHelp::kFolder, " を読み込めません"},
      {"nothelp", BrokenHelp::kNotRtf, " を表示できません"},
  };
  for (const BrokenHelp& c : cases) {
    SCOPED_TRACE(c.label);
    const std::wstring program = ViewerCopyIn(Widen(c.label));
    const std::wstring helpFile =
        program.substr(0, program.find_last_of(L'\\')) + L"\\QelvaView-help.rtf";
    if (c.beside == BrokenHelp::kFolder) {
      ASSERT_TRUE(CreateDirectoryW(helpFile.c_str(), nullptr));
    } else if (c.beside == BrokenHelp::kNotRtf) {
      const std::string text = "QelvaView help, but not as RTF\r\n";
      ASSERT_TRUE(WriteFileBytes(helpFile, std::vector<uint8_t>(text.begin(), text.end())));
    }
    ViewerProcess& viewer = Start({}, program);
    HWND main = viewer.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    BringToFront(main);

    ASSERT_TRUE(ChooseTopics(main));
    HWND box = WaitForTopLevel(kDialogClass, kWarningTitle, viewer.Id(), 10s);
    ASSERT_NE(box, nullptr) << "no box captioned " << Narrow(kWarningTitle);
    SyncWith(box);
    EXPECT_EQ(Narrow(MessageBoxText(box)), "ﾍﾙﾌﾟﾌｧｲﾙ " + Narrow(helpFile) + c.ending);
    EXPECT_TRUE(HelpWindowsOf(viewer.Id()).empty()) << "a help window came all the same";
    ClickButton(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntilGone(box));
    EXPECT_TRUE(viewer.Running());
    EXPECT_EQ(Narrow(TextOf(main)), Narrow(kUntitled));
  }
}

}  // namespace
}  // namespace qelva::e2e
