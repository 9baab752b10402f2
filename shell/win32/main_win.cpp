// Program start: the main window (its FormCreate runs as it is made), then the about box and
// the archive chooser, then the main window is shown, which reads the command line; then
// messages are dispatched until the main window closes.
#include <windows.h>
#include <commctrl.h>

#include "shell/win32/U_Main.h"
#include "shell/win32/U_about.h"
#include "shell/win32/U_arc.h"
#include "shell/win32/framework.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  using namespace qelva::win32;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  int status = 0;
  Guarded(nullptr, [&] {
    ProcessStarter starter;
    TMainForm MainForm(starter);
    TAboutForm AboutForm(MainForm.hwnd());
    TArcForm ArcForm(MainForm.hwnd(), starter);
    MainForm.AttachDialogs(&AboutForm, &ArcForm);
    MainForm.Show(showCommand);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    status = static_cast<int>(message.wParam);
  });
  return status;
}
