// The menu bar's table: what a user can reach at start, the zoom items and their marks, and the
// identifiers the window layer gives the items.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "shell/main_menu.h"

namespace qelva::shell {
namespace {

// The items under a title, in order.
std::vector<const MenuEntry*> ItemsUnder(std::string_view title) {
  std::vector<const MenuEntry*> items;
  bool inside = false;
  for (const MenuEntry& item : MainMenuItems()) {
    if (item.level == 0) inside = item.name == title;
    else if (inside) items.push_back(&item);
  }
  return items;
}

TEST(MainMenu, OnlyFileAndHelpCanBeOpenedBeforeAPictureIsShown) {
  std::vector<std::string> enabledTitles;
  for (const MenuEntry& item : MainMenuItems()) {
    if (item.level == 0 && item.enabled) enabledTitles.emplace_back(item.caption);
  }
  EXPECT_EQ(enabledTitles, (std::vector<std::string>{"ﾌｧｲﾙ(&F)", "ﾍﾙﾌﾟ(&H)"}));
  // Inside File, only the commands that need no picture are enabled at start.
  std::vector<std::string> disabled;
  for (const MenuEntry* item : ItemsUnder("MnFile")) {
    if (!item->enabled) disabled.emplace_back(item->name);
  }
  EXPECT_EQ(disabled, (std::vector<std::string>{"MnAddLoad", "MnSave"}));
}

TEST(MainMenu, TheViewMenuHoldsTheFourZoomFactorsWithOneHundredPercentChecked) {
  const auto zoom = ItemsUnder("MnDisplay");
  ASSERT_EQ(zoom.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(zoom[i]->command, MenuCommand::kZoom);
    EXPECT_EQ(zoom[i]->tag, i + 1);
    EXPECT_EQ(zoom[i]->caption, std::to_string(100 * (i + 1)) + "%");
    EXPECT_EQ(zoom[i]->checked, i == 0);
  }
  int checkedAnywhere = 0;
  for (const MenuEntry& item : MainMenuItems()) checkedAnywhere += item.checked ? 1 : 0;
  EXPECT_EQ(checkedAnywhere, 1);
}

TEST(MainMenu, CaptionsCarryTheirAcceleratorsAndSaveAsEndsInFourDots) {
  EXPECT_EQ(FindMenuItem("MnSave")->caption, "名前を付けて保存(&A)....");
  EXPECT_EQ(FindMenuItem("MnLoad")->caption, "開く(&O)...");
  EXPECT_EQ(FindMenuItem("MnAllQuit")->caption, "全終了(&Q)");
  for (const MenuEntry& item : MainMenuItems()) {
    // Every title and every command item names its accelerator letter, except the zoom items.
    if (item.caption == "-" || item.command == MenuCommand::kZoom) continue;
    EXPECT_NE(item.caption.find("(&"), std::string_view::npos) << item.name;
  }
  EXPECT_EQ(FindMenuItem("NoSuchItem"), nullptr);
}

TEST(MainMenu, EveryItemHasItsOwnCommandIdentifierAndACommandTitleHasNone) {
  std::set<unsigned> ids;
  for (const MenuEntry& item : MainMenuItems()) {
    EXPECT_TRUE(ids.insert(MenuCommandId(item)).second) << item.name;
    if (item.level == 0 || item.caption == "-") EXPECT_EQ(item.command, MenuCommand::kNone);
    else EXPECT_NE(item.command, MenuCommand::kNone) << item.name;
  }
  EXPECT_EQ(MainMenuItems().front().level, 0);
}

}  // namespace
}  // namespace qelva::shell
