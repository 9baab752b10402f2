#include "shell/main_menu.h"

#include <array>

namespace qelva::shell {
namespace {

using C = MenuCommand;

constexpr std::array kItems{
    MenuItemSpec{"MnFile", "ﾌｧｲﾙ(&F)", 0, true, false, 0, C::kNone},
    MenuItemSpec{"MnLoad", "開く(&O)...", 1, true, false, 0, C::kLoad},
    MenuItemSpec{"MnAddLoad", "追加で開く(&M)...", 1, false, false, 0, C::kAddLoad},
    MenuItemSpec{"MnSave", "名前を付けて保存(&A)....", 1, false, false, 0, C::kSave},
    MenuItemSpec{"N1", "-", 1, true, false, 0, C::kNone},
    MenuItemSpec{"MnExit", "終了(&X)", 1, true, false, 0, C::kExit},
    MenuItemSpec{"MnAllQuit", "全終了(&Q)", 1, true, false, 0, C::kAllQuit},
    MenuItemSpec{"MnEdit", "編集(&E)", 0, false, false, 0, C::kNone},
    MenuItemSpec{"MnCopy", "ｺﾋﾟｰ(&C)", 1, true, false, 0, C::kCopy},
    // Enabled anew whenever the menu bar becomes active, by whether the clipboard holds a DIB.
    MenuItemSpec{"MnPaste", "追加張り付け(&P)", 1, true, false, 0, C::kPaste},
    MenuItemSpec{"MnDisplay", "表示(&V)", 0, false, false, 0, C::kNone},
    MenuItemSpec{"Mn100", "100%", 1, true, true, 1, C::kZoom},
    MenuItemSpec{"Mn200", "200%", 1, true, false, 2, C::kZoom},
    MenuItemSpec{"Mn300", "300%", 1, true, false, 3, C::kZoom},
    MenuItemSpec{"Mn400", "400%", 1, true, false, 4, C::kZoom},
    MenuItemSpec{"MnHelp", "ﾍﾙﾌﾟ(&H)", 0, true, false, 0, C::kNone},
    MenuItemSpec{"MnTopic", "目次(&H)", 1, true, false, 0, C::kTopic},
    MenuItemSpec{"N2", "-", 1, true, false, 0, C::kNone},
    MenuItemSpec{"MnAbout", "ﾊﾞｰｼﾞｮﾝ情報(&A)...", 1, true, false, 0, C::kAbout},
};

}  // namespace

std::span<const MenuItemSpec> MainMenuItems() { return kItems; }

const MenuItemSpec* FindMenuItem(std::string_view name) {
  for (const MenuItemSpec& item : kItems) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

unsigned MenuCommandId(const MenuItemSpec& item) {
  return kFirstMenuCommandId + static_cast<unsigned>(&item - kItems.data());
}

}  // namespace qelva::shell
