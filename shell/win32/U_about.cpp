#include "shell/win32/U_about.h"

#include "shell/win32/dialog_template.h"
#include "shell/win32/framework.h"
#include "shell/win32/resource_ids.h"

namespace qelva::win32 {
namespace {

constexpr std::string_view kCaption = "QelvaView について";
constexpr std::string_view kButtonCaption = "了解";
// The box is laid out in pixels of a 96 dpi screen, where its 256 x 128 picture fills the
// frame drawn for it exactly, and scaled from there.
constexpr UINT kDesignDpi = 96;
constexpr int kClientWidth = 321, kClientHeight = 217;
constexpr RECT kBevel{16, 16, 16 + 289, 16 + 153};
constexpr COLORREF kSilver = RGB(192, 192, 192);

}  // namespace

INT_PTR TAboutForm::ShowModal() {
  return DialogForm::ShowModal(owner_);
}

INT_PTR TAboutForm::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      dpi_ = DpiOfWindow(dialog_);
      SetWindowTextW(dialog_, W(kCaption).c_str());
      background_.Reset(CreateSolidBrush(kSilver));
      NONCLIENTMETRICSW metrics{};
      metrics.cbSize = sizeof metrics;
      SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
      metrics.lfMessageFont.lfHeight = -ScaleFrom(12, kDesignDpi, dpi_);
      font_.Reset(CreateFontIndirectW(&metrics.lfMessageFont));
      picture_.Reset(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                     MAKEINTRESOURCEW(QELVA_IDB_ABOUT),
                                                     IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
      Image1 = CreateControl(dialog_, L"STATIC", L"", SS_BITMAP | SS_CENTERIMAGE, -1, 32, 24, 256,
                             128, kDesignDpi, dpi_, nullptr);
      SendMessageW(Image1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_.get()));
      Button1 = CreateControl(dialog_, L"BUTTON", W(kButtonCaption),
                              WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 120, 176, 73, 33, kDesignDpi,
                              dpi_, font_.get());
      bevel_ = {ScaleFrom(kBevel.left, kDesignDpi, dpi_), ScaleFrom(kBevel.top, kDesignDpi, dpi_),
                ScaleFrom(kBevel.right, kDesignDpi, dpi_),
                ScaleFrom(kBevel.bottom, kDesignDpi, dpi_)};
      SizeAndCentre(dialog_, ScaleFrom(kClientWidth, kDesignDpi, dpi_),
                    ScaleFrom(kClientHeight, kDesignDpi, dpi_), true);
      SetFocus(Button1);
      return FALSE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(background_.get());
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(dialog_, &ps);
      RECT edge = bevel_;
      DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
      EndPaint(dialog_, &ps);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog_, LOWORD(wParam) == IDOK ? 1 : 2);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace qelva::win32
