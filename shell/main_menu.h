// The main window's menu bar as one table: every item's name, caption, Tag, starting state and
// the command it runs. The window layer builds the real menu from it; nothing else lists the
// items.
#pragma once

#include <span>
#include <string_view>

namespace qelva::shell {

// The commands the items run; kNone for the menu titles and separators.
enum class MenuCommand {
  kNone,
  kLoad,
  kAddLoad,
  kSave,
  kExit,
  kAllQuit,
  kCopy,
  kPaste,
  kZoom,
  kTopic,
  kAbout,
};

struct MenuEntry {
  std::string_view name;     // MnLoad, Mn100, N1, ...
  std::string_view caption;  // "-" for a separator; "&" marks the accelerator letter
  int level;                 // 0: a title in the menu bar; 1: an item of the title above it
  bool enabled;              // at start
  bool checked;              // at start
  int tag;                   // the zoom items carry their factor, 1 to 4
  MenuCommand command;
};

// The menu bar, titles followed by their items, in order.
std::span<const MenuEntry> MainMenuItems();

// The item of that name; nullptr when there is none.
const MenuEntry* FindMenuItem(std::string_view name);

// The WM_COMMAND identifier of each item: its position in the table after this base.
inline constexpr unsigned kFirstMenuCommandId = 100;
unsigned MenuCommandId(const MenuEntry& item);

}  // namespace qelva::shell
