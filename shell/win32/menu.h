// The main window's menu bar, built from the one table of shell/main_menu.h.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "shell/main_menu.h"

namespace qelva::win32 {

class MenuBar {
 public:
  MenuBar();
  ~MenuBar();
  MenuBar(const MenuBar&) = delete;
  MenuBar& operator=(const MenuBar&) = delete;

  // The bar; the window it is given to owns and destroys it from then on.
  HMENU TakeHandle();

  // The table entry behind a WM_COMMAND identifier; nullptr for any other identifier.
  const shell::MenuEntry* ItemOfCommand(UINT id) const;

  // Enables an item or a title of the bar; a disabled title cannot be opened.
  void Enable(std::string_view name, bool enabled);
  void Check(std::string_view name, bool checked);
  // Unchecks every item under a title.
  void UncheckAllUnder(std::string_view title);
  void Redraw(HWND window) const { DrawMenuBar(window); }

 private:
  struct Placed {
    const shell::MenuEntry* entry;
    HMENU parent;  // the bar for a title, its popup for an item
    UINT position;
    UINT id;
  };
  const Placed* Find(std::string_view name) const;
  HMENU bar_;
  bool owned_ = true;
  std::vector<Placed> placed_;
};

}  // namespace qelva::win32
