#include "shell/win32/shape_control.h"

#include <windowsx.h>

#include "shell/win32/gdi.h"
#include "shell/win32/picture_control.h"

namespace qelva::win32 {
namespace {

// The design bounds, replaced whenever the rectangle is shown.
constexpr shell::ShapeBounds kDesignBounds{240, 32, 89, 81};

}  // namespace

void ShapeControl::CreateIn(HWND parent, const PictureControl& below) {
  static const bool registered = [] {
    RegisterWindowClass(kClassName, 0, nullptr, nullptr, LoadCursorW(nullptr, IDC_ARROW));
    return true;
  }();
  (void)registered;
  below_ = &below;
  bounds_ = kDesignBounds;
  Create(kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, bounds_.left, bounds_.top, bounds_.width,
         bounds_.height, parent, nullptr);
}

void ShapeControl::SetBounds(const shell::ShapeBounds& bounds) {
  bounds_ = bounds;
  Place();
}

void ShapeControl::FollowPicture(POINT origin) {
  origin_ = origin;
  Place();
}

void ShapeControl::Place() {
  // The window's old contents show the picture of its old place: they are never copied along.
  SetWindowPos(hwnd(), HWND_TOP, origin_.x + bounds_.left, origin_.y + bounds_.top,
               bounds_.width, bounds_.height, SWP_NOACTIVATE | SWP_NOCOPYBITS);
  InvalidateRect(hwnd(), nullptr, FALSE);
}

// The rectangle's own state, whether or not the window around it is shown.
bool ShapeControl::Visible() const {
  return (GetWindowLongPtrW(hwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void ShapeControl::Show() {
  SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void ShapeControl::Hide() {
  if (GetCapture() == hwnd()) ReleaseCapture();
  ShowWindow(hwnd(), SW_HIDE);
}

void ShapeControl::Paint(HDC dc, const RECT&) {
  RECT area{0, 0, bounds_.width, bounds_.height};
  if (below_) {
    below_->PaintPart(dc, bounds_.left, bounds_.top, bounds_.width, bounds_.height);
  } else {
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNSHADOW));
  }
  // Hatch lines in black, the picture left as it is between them; a black frame around.
  Brush hatch(CreateHatchBrush(HS_DIAGCROSS, RGB(0, 0, 0)));
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  // The hatch lies on the grid of the picture, not of the rectangle.
  SetBrushOrgEx(dc, -bounds_.left & 7, -bounds_.top & 7, nullptr);
  if (hatch) FillRect(dc, &area, hatch.get());
  FrameRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetBkMode(dc, oldMode);
}

LRESULT ShapeControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      // The rectangle holds the mouse while a button is down, so that a drag continues when
      // the pointer runs ahead of it.
      SetCapture(hwnd());
      if (onMouseDown) onMouseDown((wParam & MK_LBUTTON) != 0, GET_X_LPARAM(lParam),
                                   GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEMOVE:
      if (onMouseMove) onMouseMove((wParam & MK_LBUTTON) != 0, GET_X_LPARAM(lParam),
                                   GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (!(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == hwnd()) {
        ReleaseCapture();
      }
      return 0;
  }
  return PaintedControl::HandleMessage(message, wParam, lParam);
}

}  // namespace qelva::win32
