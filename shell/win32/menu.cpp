#include "shell/win32/menu.h"

#include "shell/win32/framework.h"

namespace qelva::win32 {

MenuBar::MenuBar() : bar_(CreateMenu()) {
  const auto items = shell::MainMenuItems();
  HMENU popup = nullptr;
  UINT titlePosition = 0, itemPosition = 0;
  for (const shell::MenuEntry& item : items) {
    const UINT id = shell::MenuCommandId(item);
    if (item.level == 0) {
      popup = CreatePopupMenu();
      AppendMenuW(bar_, MF_POPUP | MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED),
                  reinterpret_cast<UINT_PTR>(popup), W(item.caption).c_str());
      placed_.push_back({&item, bar_, titlePosition++, id});
      itemPosition = 0;
      continue;
    }
    if (item.caption == "-") {
      AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(popup,
                  MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED) |
                      (item.checked ? MF_CHECKED : MF_UNCHECKED),
                  id, W(item.caption).c_str());
    }
    placed_.push_back({&item, popup, itemPosition++, id});
  }
}

MenuBar::~MenuBar() {
  if (owned_) DestroyMenu(bar_);
}

HMENU MenuBar::TakeHandle() {
  owned_ = false;
  return bar_;
}

const shell::MenuEntry* MenuBar::ItemOfCommand(UINT id) const {
  for (const Placed& p : placed_) {
    if (p.id == id && p.entry->level == 1) return p.entry;
  }
  return nullptr;
}

const MenuBar::Placed* MenuBar::Find(std::string_view name) const {
  for (const Placed& p : placed_) {
    if (p.entry->name == name) return &p;
  }
  return nullptr;
}

void MenuBar::Enable(std::string_view name, bool enabled) {
  if (const Placed* p = Find(name)) {
    EnableMenuItem(p->parent, p->position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
  }
}

void MenuBar::Check(std::string_view name, bool checked) {
  if (const Placed* p = Find(name)) {
    CheckMenuItem(p->parent, p->position, MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

void MenuBar::UncheckAllUnder(std::string_view title) {
  const Placed* t = Find(title);
  if (!t) return;
  HMENU popup = GetSubMenu(t->parent, static_cast<int>(t->position));
  for (const Placed& p : placed_) {
    if (p.parent == popup && p.entry->caption != "-") {
      CheckMenuItem(popup, p.position, MF_BYPOSITION | MF_UNCHECKED);
    }
  }
}

}  // namespace qelva::win32
