// The help window: one top-level window per process showing the help document (an RTF file)
// in a read-only RichEdit control that fills it. Esc closes it; its owner destroys it when the
// main window goes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "shell/win32/framework.h"

namespace qelva::win32 {

class HelpWindow final : public Window {
 public:
  static constexpr const wchar_t* kClassName = L"QelvaHelpWindow";

  // Reads the RTF file and shows it in a new help window placed on the monitor of `owner`.
  // When the file is missing, cannot be read or is refused by RichEdit, shows the warning box
  // naming it (owned by `owner`) and returns null.
  static std::unique_ptr<HelpWindow> Open(HWND owner, const std::string& path);

  // Restores the window if it is minimised and brings it to the front.
  void BringToFront();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HelpWindow() = default;
  void LayOutText();

  HWND text_ = nullptr;  // the RichEdit child, destroyed with the window
};

}  // namespace qelva::win32
