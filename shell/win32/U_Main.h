// TMainForm: the main window. It shows CurrentImage at ZoomFactor, carries every command in its
// menu bar, opens pictures from the command line, the open dialog and dropped files, starts the
// further processes for the pictures after the first, and closes on the quit-all message.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>

#include "common/dib_image.h"
#include "decode/format.h"
#include "shell/win32/framework.h"
#include "shell/win32/menu.h"
#include "shell/win32/picture_control.h"
#include "shell/win32/processes.h"
#include "shell/win32/shape_control.h"

namespace qelva::win32 {

class TArcForm;
class TAboutForm;
class HelpWindow;

// The viewer's state: the two pictures, the zoom, the archive entry to load next, the name in
// the caption and where the overlay was grabbed.
struct ViewerState {
  DibImage CurrentImage;
  DibImage PendingImage;
  int32_t ZoomFactor = 1;
  int32_t EntryIndex = 0;
  std::string PictureName;
  POINT DragOrigin{0, 0};
};

class TMainForm final : public Window {
 public:
  static constexpr const wchar_t* kClassName = L"TMainForm";

  explicit TMainForm(InstanceStarter& starter);
  ~TMainForm() override;

  // Program start: the about box and the archive chooser are made after the main window.
  void AttachDialogs(TAboutForm* about, TArcForm* chooser);
  // Makes the window visible and reads the command line (FormShow).
  void Show(int showCommand);

  void OpenPicture(std::string path);

  // What the window shows and holds, for the tests of the window layer.
  const ViewerState& State() const { return state_; }
  const ShapeControl& OverlayShape() const { return Shape; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  class Host;

  void FormCreate();
  void FormShow();
  void FormDestroy();
  void FormKeyDown(WORD key);
  void ShowPicture(const DibImage& image);
  void FitWindowToPicture();
  void UpdateScrollBars();
  void ScrollTo(int x, int y);
  void OnScroll(int bar, WPARAM wParam);
  void OnCommand(UINT id);
  void MnLoadClick();
  void MnAddLoadClick();
  void MnSaveClick();
  void MnCopyClick();
  void MnPasteClick();
  void MenuActivated();
  void ShapeMouseDown(bool leftHeld, int x, int y);
  void ShapeMouseMove(bool leftHeld, int x, int y);
  // Shows the rectangle for a new PendingImage, at the top-left.
  void ShowPendingShape();
  // Hides the rectangle and releases PendingImage.
  void DiscardOverlay();
  void MnZoomClick(const shell::MenuEntry& sender);
  void MnTopicClick();
  void MnExitClick();
  void MnAllQuitClick();
  void MnAboutClick();
  void DroppedFiles(HDROP drop);
  void SetShape();
  void Close();
  void RepaintNow();

  InstanceStarter& starter_;
  ViewerState state_;
  MenuBar menu_;
  PictureControl MainImg;
  ShapeControl Shape;
  std::unique_ptr<Host> host_;
  TAboutForm* AboutForm = nullptr;
  TArcForm* ArcForm = nullptr;
  uint16_t BroadcastMsg = 0;
  std::string helpFile_;
  std::unique_ptr<HelpWindow> help_;  // once 目次 has opened it
  // SaveDlg's file name and filter index, kept from one use to the next.
  std::string saveName_;
  int saveFilterIndex_ = 1;
  int scrollX_ = 0, scrollY_ = 0;
  bool updatingScrollBars_ = false;
  bool pressedOnWindow_ = false;
};

}  // namespace qelva::win32
