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

// SaveDlg: the save dialog with the six file types, no read-only check box, no question of its
// own before a file is replaced and no default extension. `fileName` is shown at the start and
// receives the chosen path; `filterIndex` (1 to 6) likewise. False, both untouched, when it is
// cancelled.
bool RunSaveDialog(HWND owner, std::string& fileName, int& filterIndex);

}  // namespace qelva::win32
