#include "shell/win32/U_arc.h"

#include <algorithm>

#include "shell/archive_choice.h"
#include "shell/win32/dialog_template.h"
#include "shell/win32/framework.h"
#include "shell/win32/processes.h"

namespace qelva::win32 {
namespace {

// The dialog is laid out for 144 pixels per inch and scaled to the screen's resolution.
constexpr UINT kDesignDpi = 144;
constexpr int kDesignWidth = 435, kDesignHeight = 279;
constexpr int kItemHeight = 22;
constexpr int kFontHeight = 20;

constexpr std::string_view kCaptionSelectAll = "全選択";
constexpr std::string_view kCaptionDeselectAll = "全解除";
constexpr std::string_view kCaptionOk = "了解";
constexpr std::string_view kCaptionCancel = "取消";

constexpr INT_PTR kResultOk = 1;
constexpr INT_PTR kResultCancel = 2;

// The system's dialog font, at the design's character height.
HFONT MakeDialogFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW font = metrics.lfMessageFont;
  font.lfHeight = -ScaleFrom(kFontHeight, kDesignDpi, dpi);
  font.lfWidth = 0;
  return CreateFontIndirectW(&font);
}

}  // namespace

bool TArcForm::ChooseArchiveEntries(const ArchiveId& archive, const std::string& path,
                                    int32_t& entryIndex) {
  const PathSyntax syntax{PathSeparators::kWindows, PathCodePage::kUtf8};
  titles_.clear();
  caption_ = W(shell::ChooserCaption(path, syntax));
  for (std::string_view title : shell::ChooserTitles(archive)) titles_.push_back(W(title));
  selected_.assign(titles_.size(), false);

  BusyCursor::Set(false);
  for (;;) {
    const INT_PTR result =
        DialogForm::ShowModal(owner_);
    if (result == kResultCancel || result <= 0) return false;
    if (SelectedCount() > 0) break;
    // Nothing chosen: the same list again, as it was.
    MessageBeep(MB_ICONEXCLAMATION);
  }
  BusyCursor::Set(true);

  const shell::ArchiveChoice choice = shell::PlanArchiveChoice(selected_, ProgramPath(), path);
  for (const std::string& line : choice.furtherLines) starter_.Start(line);
  entryIndex = choice.entryIndex;
  return true;
}

int TArcForm::SelectedCount() const {
  int n = 0;
  for (bool s : selected_) n += s ? 1 : 0;
  return n;
}

void TArcForm::CreateControls() {
  const UINT dpi = DpiOfWindow(dialog_);
  font_.Reset(MakeDialogFont(dpi));
  HFONT font = font_.get();
  SendMessageW(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // In tab order.
  Button2 = CreateControl(dialog_, L"BUTTON", W(kCaptionCancel), WS_TABSTOP | BS_PUSHBUTTON,
                          IDCANCEL, 336, 192, 73, 33, kDesignDpi, dpi, font);
  LBFiles = CreateControl(dialog_, L"LISTBOX", L"",
                          WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_MULTIPLESEL | LBS_NOTIFY |
                              LBS_NOINTEGRALHEIGHT,
                          kListId, 16, 16, 297, 209, kDesignDpi, dpi, font);
  BtnOk = CreateControl(dialog_, L"BUTTON", W(kCaptionOk), WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
                        336, 152, 73, 33, kDesignDpi, dpi, font);
  BtnAll = CreateControl(dialog_, L"BUTTON", W(kCaptionSelectAll), WS_TABSTOP | BS_PUSHBUTTON,
                         kSelectAllId, 336, 112, 73, 33, kDesignDpi, dpi, font);
  // The design's item height, or more where the font needs it.
  int itemHeight = ScaleFrom(kItemHeight, kDesignDpi, dpi);
  {
    WindowDc dc(LBFiles);
    Selection selected(dc.get(), font);
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(dc.get(), &metrics)) itemHeight = std::max<int>(itemHeight, metrics.tmHeight + 2);
  }
  SendMessageW(LBFiles, LB_SETITEMHEIGHT, 0, itemHeight);
  SizeAndCentre(dialog_, ScaleFrom(kDesignWidth, kDesignDpi, dpi),
                ScaleFrom(kDesignHeight, kDesignDpi, dpi), false);
}

INT_PTR TArcForm::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      CreateControls();
      SetWindowTextW(dialog_, caption_.c_str());
      for (const std::wstring& title : titles_) {
        SendMessageW(LBFiles, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title.c_str()));
      }
      for (size_t i = 0; i < selected_.size(); ++i) {
        if (selected_[i]) SendMessageW(LBFiles, LB_SETSEL, TRUE, static_cast<LPARAM>(i));
      }
      FormShow();
      SetFocus(LBFiles);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == IDOK && code == BN_CLICKED) {
        LBFilesDblClick();
      } else if (id == kListId && code == LBN_DBLCLK) {
        LBFilesDblClick();
      } else if (id == IDCANCEL) {
        EndShowing(kResultCancel);
      } else if (id == kSelectAllId && code == BN_CLICKED) {
        BtnAllClick();
      }
      return TRUE;
    }
    case WM_SETCURSOR:
      return FALSE;
  }
  return FALSE;
}

void TArcForm::FormShow() {
  SelectAllMode = true;
  SetWindowTextW(BtnAll, W(kCaptionSelectAll).c_str());
}

void TArcForm::BtnAllClick() {
  const LRESULT count = SendMessageW(LBFiles, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    SendMessageW(LBFiles, LB_SETSEL, SelectAllMode ? TRUE : FALSE, static_cast<LPARAM>(i));
  }
  SelectAllMode = !SelectAllMode;
  SetWindowTextW(BtnAll, W(SelectAllMode ? kCaptionSelectAll : kCaptionDeselectAll).c_str());
}

void TArcForm::LBFilesDblClick() {
  if (SendMessageW(LBFiles, LB_GETSELCOUNT, 0, 0) == 0) {
    // The item with the focus rectangle.
    const LRESULT caret = SendMessageW(LBFiles, LB_GETCARETINDEX, 0, 0);
    if (caret >= 0) SendMessageW(LBFiles, LB_SETSEL, TRUE, caret);
  }
  EndShowing(kResultOk);
}

void TArcForm::EndShowing(INT_PTR modalResult) {
  for (size_t i = 0; i < selected_.size(); ++i) {
    selected_[i] = SendMessageW(LBFiles, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0;
  }
  EndDialog(dialog_, modalResult);
}

}  // namespace qelva::win32
