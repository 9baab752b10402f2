#include "shell/main_menu.h"

#include <array>

namespace qelva::shell {
namespace {

using C = MenuCommand;

constexpr std::array kItems{
    MenuEntry{"MnFile", "ﾌｧｲﾙ(&F)", 0, true, false, 0, C::kNone},
    MenuEntry{"MnLoad", "開く(&O)...", 1, true, false, 0, C::kLoad},
    MenuEntry{"MnAddLoad", "追加で開く(&M)...", 1, false, false, 0, C::kAddLoad},
    MenuEntry{"MnSave", "名前を付けて保存(&A)....", 1, false, false, 0, C::kSave},
    MenuEntry{"N1", "-", 1, true, false, 0, C::kNone},
    MenuEntry{"MnExit", "終了(&X)", 1, true, false, 0, C::kExit},
    MenuEntry{"MnAllQuit", "全終了(&Q)", 1, true, false, 0, C::kAllQuit},
    MenuEntry{"MnEdit", "編集(&E)", 0, false, false, 0, C::kNone},
    MenuEntry{"MnCopy", "ｺﾋﾟｰ(&C)", 1, true, false, 0, C::kCopy},
    // Enabled anew whenever the menu bar becomes active, by whether the clipboard holds a DIB.
    MenuEntry{"MnPaste", "追加張り付け(&P)", 1, true, false, 0, C::kPaste},
    MenuEntry{"MnDisplay", "表示(&V)", 0, false, false, 0, C::kNone},
    MenuEntry{"Mn100", "100%", 1, true, true, 1, C::kZoom},
    MenuEntry{"Mn200", "200%", 1, true, false, 2, C::kZoom},
    MenuEntry{"Mn300", "300%", 1, true, false, 3, C::kZoom},
    MenuEntry{"Mn400", "400%", 1, true, false, 4, C::kZoom},
    MenuEntry{"MnHelp", "ﾍﾙﾌﾟ(&H)", 0, true, false, 0, C::kNone},
    MenuEntry{"MnTopic", "目次(&H)", 1, true, false, 0, C::kTopic},
    MenuEntry{"N2", "-", 1, true, false, 0, C::kNone},
    MenuEntry{"MnAbout", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", 1, true, false, 0, C::kAbout},
};

}  // namespace

std::span<const MenuEntry> MainMenuItems() { return kItems; }

const MenuEntry* FindMenuItem(std::string_view name) {
  for (const MenuEntry& item : kItems) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

unsigned MenuCommandId(const MenuEntry& item) {
  return kFirstMenuCommandId + static_cast<unsigned>(&item - kItems.data());
}

}  // namespace qelva::shell
