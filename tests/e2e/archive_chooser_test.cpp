// The archive chooser: which titles it lists under which caption, its select-all button, and
// what a choice of several entries or a cancel leads to.

#include <utility>
#include <vector>

#include "decode/archive_titles.h"
#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

constexpr int kListId = 101;
constexpr int kSelectAllId = 102;

// The bromide archive's titles, in entry order.
const std::vector<std::wstring> kBromideTitles = {
    L"あやめ(特製)", L"アイリス",   L"アイリス(特製)", L"カンナ",       L"カンナ(特製)",
    L"紅蘭",         L"紅蘭(特製)", L"マリア",         L"マリア(特製)", L"Qelva",
    L"Qelva(特製)",  L"すみれ",     L"すみれ(特製)"};

struct Chooser {
  HWND dialog = nullptr;
  HWND list = nullptr;
  HWND selectAll = nullptr;
  HWND ok = nullptr;
  HWND cancel = nullptr;
};

class ArchiveChooser : public ViewerTest {
 protected:
  // Waits for the chooser of the archive named `archiveName` and finds its controls.
  static ::testing::AssertionResult WaitForChooser(const std::wstring& archiveName,
                                                   Chooser& chooser, DWORD processId = 0) {
    const std::wstring caption = archiveName + L"からロード";
    chooser.dialog = WaitForTopLevel(kDialogClass, caption, processId);
    if (chooser.dialog == nullptr)
      return ::testing::AssertionFailure() << "no dialog \"" << Narrow(caption) << "\"";
    chooser.list = GetDlgItem(chooser.dialog, kListId);
    chooser.selectAll = GetDlgItem(chooser.dialog, kSelectAllId);
    chooser.ok = GetDlgItem(chooser.dialog, IDOK);
    chooser.cancel = GetDlgItem(chooser.dialog, IDCANCEL);
    if (chooser.list == nullptr || ClassOf(chooser.list) != L"ListBox")
      return ::testing::AssertionFailure() << "the chooser has no list box " << kListId;
    if (chooser.selectAll == nullptr || chooser.ok == nullptr || chooser.cancel == nullptr)
      return ::testing::AssertionFailure() << "the chooser lacks one of its three buttons";
    // The list is filled before the dialog shows; let it finish coming up.
    SyncWith(chooser.dialog);
    return ::testing::AssertionSuccess();
  }

  // A real click in the middle of a list item; an item below the visible part of the list is
  // first scrolled into view with the mouse wheel.
  static ::testing::AssertionResult ClickItem(const Chooser& chooser, int index) {
    const RECT list = ClientRectOnScreen(chooser.list);
    const POINT middle = {(list.left + list.right) / 2, (list.top + list.bottom) / 2};
    RECT r = ListItemRectOnScreen(chooser.list, index);
    for (int turn = 0; turn < 20 && r.bottom > list.bottom; ++turn) {
      WheelDown(middle);
      SyncWith(chooser.list);
      r = ListItemRectOnScreen(chooser.list, index);
    }
    if (r.top < list.top || r.bottom > list.bottom || r.bottom <= r.top)
      return ::testing::AssertionFailure() << "item " << index << " cannot be brought into view";
    const XRun run = ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    if (run.status != 0) {
      return ::testing::AssertionFailure() << "xdotool status " << run.status << ": " << run.output;
    }
    SyncWith(chooser.list);
    return ::testing::AssertionSuccess();
  }

  static std::string Listed(const std::vector<int>& items) {
    std::string text;
    for (int i : items) text += std::to_string(i) + " ";
    return text;
  }
};

TEST_F(ArchiveChooser, TheBromideArchiveListsItsThirteenTitlesUnderItsName) {
  ViewerProcess& viewer = Start({L"omall.dat"});
  Chooser chooser;
  ASSERT_TRUE(WaitForChooser(L"omall.dat", chooser, viewer.Id()));

  const std::vector<std::wstring> titles = ListTexts(chooser.list);
  ASSERT_EQ(titles.size(), kBromideTitles.size());
  for (size_t i = 0; i < titles.size(); ++i)
    EXPECT_EQ(Narrow(titles[i]), Narrow(kBromideTitles[i])) << "title of entry " << i;
  EXPECT_TRUE(ListSelection(chooser.list).empty()) << "items are selected before any click";
  EXPECT_EQ(Narrow(TextOf(chooser.selectAll)), "全選択");
  EXPECT_EQ(Narrow(TextOf(chooser.ok)), "了解");
  EXPECT_EQ(Narrow(TextOf(chooser.cancel)), "取消");
}

TEST_F(ArchiveChooser, AnEndingSpriteArchiveKeepsItsNamesLettersAndListsItsGroupsTitles) {
  const auto expected = TitleList(ArchiveId{ArchiveKind::kEndingSprite, 0});
  ASSERT_EQ(expected.size(), 24u);

  ViewerProcess& viewer = Start({L"SA_SPR.BIN"});
  Chooser chooser;
  ASSERT_TRUE(WaitForChooser(L"SA_SPR.BIN", chooser, viewer.Id()));
  const std::vector<std::wstring> titles = ListTexts(chooser.list);
  ASSERT_EQ(titles.size(), expected.size());
  for (size_t i = 0; i < titles.size(); ++i)
    EXPECT_EQ(Narrow(titles[i]), std::string(expected[i])) << "title of entry " << i;
}

TEST_F(ArchiveChooser, SelectAllSelectsEveryTitleAndASecondClickDeselectsThemAll) {
  ViewerProcess& viewer = Start({L"omall.dat"});
  Chooser chooser;
  ASSERT_TRUE(WaitForChooser(L"omall.dat", chooser, viewer.Id()));
  const int count = ListCount(chooser.list);

  ClickButton(chooser.selectAll);
  EXPECT_TRUE(WaitUntil([&] { return ListSelection(chooser.list).size() == size_t(count); }, 3s))
      << "selected after 全選択: " << Listed(ListSelection(chooser.list));
  EXPECT_EQ(Narrow(WaitForCaption(chooser.selectAll, L"全解除")), "全解除");

  ClickButton(chooser.selectAll);
  EXPECT_TRUE(WaitUntil([&] { return ListSelection(chooser.list).empty(); }, 3s))
      << "still selected after 全解除: " << Listed(ListSelection(chooser.list));
  EXPECT_EQ(Narrow(WaitForCaption(chooser.selectAll, L"全選択")), "全選択");
  EXPECT_TRUE(IsWindowVisible(chooser.dialog)) << "the select-all button closed the chooser";
}

TEST_F(ArchiveChooser, ChoosingEntriesTwoFiveAndNineShowsEachInAWindowOfItsOwn) {
  ViewerProcess& viewer = Start({L"omall.dat"});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  Chooser chooser;
  ASSERT_TRUE(WaitForChooser(L"omall.dat", chooser, viewer.Id()));

  for (int item : {2, 5, 9}) ASSERT_TRUE(ClickItem(chooser, item));
  ASSERT_EQ(ListSelection(chooser.list), (std::vector<int>{2, 5, 9}))
      << "every click toggles one item, and only that one";
  ClickButton(chooser.ok);
  ASSERT_TRUE(WaitUntilGone(chooser.dialog));

  // All three first: a window that comes up later would cover the one being looked at.
  std::vector<std::pair<Decoded, HWND>> shown;
  for (int entry : {2, 5, 9}) {
    Decoded picture = DecodeSample(L"omall.dat", entry);
    ASSERT_FALSE(picture.image.Empty()) << picture.failure;
    HWND window = WaitForTopLevel(kMainWindowClass, CaptionFor(picture));
    ASSERT_NE(window, nullptr) << "no window shows " << picture.name;
    EXPECT_EQ(ProcessOf(window) == viewer.Id(), entry == 2)
        << picture.name << ": this window shows the first chosen entry, new processes the others";
    shown.emplace_back(std::move(picture), window);
  }
  EXPECT_EQ(AllMainWindows().size(), 3u);
  for (const auto& [picture, window] : shown) {
    SCOPED_TRACE(picture.name);
    ASSERT_TRUE(SyncWith(window));
    BringToFront(window);
    EXPECT_TRUE(ShowsPictureAt(window, picture.image, 1));
  }
}

TEST_F(ArchiveChooser, OkWithNothingSelectedTakesTheItemWithTheFocus) {
  ViewerProcess& viewer = Start({L"omall.dat"});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  Chooser chooser;
  ASSERT_TRUE(WaitForChooser(L"omall.dat", chooser, viewer.Id()));

  // Two clicks on entry 4: selected, then not, and the focus stays there. They are further
  // apart than a double-click, which would end the dialog at once.
  ASSERT_TRUE(ClickItem(chooser, 4));
  Sleep(GetDoubleClickTime() + 200);
  ASSERT_TRUE(ClickItem(chooser, 4));
  ASSERT_TRUE(ListSelection(chooser.list).empty()) << Listed(ListSelection(chooser.list));
  ClickButton(chooser.ok);

  const Decoded fourth = DecodeSample(L"omall.dat", 4);
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(fourth))), Narrow(CaptionFor(fourth)));
  EXPECT_EQ(AllMainWindows().size(), 1u) << "no further process is started";
}

TEST_F(ArchiveChooser, CancelOnTheCommandLineLeavesTheWindowUntitled) {
  ViewerProcess& viewer = Start({L"omall.dat"});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  Chooser chooser;
  ASSERT_TRUE(WaitForChooser(L"omall.dat", chooser, viewer.Id()));
  ASSERT_TRUE(ClickItem(chooser, 3));

  ClickButton(chooser.cancel);
  ASSERT_TRUE(WaitUntilGone(chooser.dialog));
  SyncWith(main);
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(kUntitled));
  EXPECT_EQ(ViewerProcessIds().size(), 1u) << "a cancelled choice started a process";
}

TEST_F(ArchiveChooser, CancelAfterOpeningAnArchiveFromTheMenuKeepsTheShownPicture) {
  const Decoded item = DecodeSample(L"Item01.bin");
  ViewerProcess& viewer = Start({L"Item01.bin"});
  HWND main = viewer.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(item))), Narrow(CaptionFor(item)));

  ASSERT_TRUE(OpenThroughDialog(main, L"omall.dat"));
  Chooser chooser;
  ASSERT_TRUE(WaitForChooser(L"omall.dat", chooser, viewer.Id()));
  ASSERT_TRUE(ClickItem(chooser, 1));
  ClickButton(chooser.cancel);
  ASSERT_TRUE(WaitUntilGone(chooser.dialog));

  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(item)));
  BringToFront(main);
  EXPECT_TRUE(ShowsPictureAt(main, item.image, 1));
  EXPECT_EQ(ViewerProcessIds().size(), 1u);
}

}  // namespace
}  // namespace qelva::e2e
