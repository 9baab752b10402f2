// The common file dialogs: OpenDlg of the main window (several files may be chosen).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qelva::win32 {

// The open dialog with the seven game-file filters, the first preselected, default extension
// "bin", no read-only check box, several files selectable. Returns the chosen paths in the
// order the dialog lists them; none when it was cancelled.
std::vector<std::string> RunOpenDialog(HWND owner);

}  // namespace qelva::win32
