#include "shell/win32/picture_control.h"

namespace qelva::win32 {

void PictureControl::CreateIn(HWND parent, int designWidth, int designHeight) {
  static const bool registered = [] {
    RegisterWindowClass(kClassName, 0, nullptr, nullptr, LoadCursorW(nullptr, IDC_ARROW));
    return true;
  }();
  (void)registered;
  width_ = designWidth;
  height_ = designHeight;
  Create(kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, designWidth,
         designHeight, parent, nullptr);
}

void PictureControl::SetPicture(Bitmap bitmap, Palette palette, int width, int height) {
  bitmap_ = std::move(bitmap);
  palette_ = std::move(palette);
  width_ = width;
  height_ = height;
  SetWindowPos(hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void PictureControl::Paint(HDC dc, const RECT& area) {
  if (!bitmap_) {
    // Before the first picture the control is an empty part of the window's background.
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNSHADOW));
    return;
  }
  PaletteSelection palette(dc, palette_.get());
  MemoryDc source(dc);
  Selection picture(source.get(), bitmap_.get());
  BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, source.get(),
         area.left, area.top, SRCCOPY);
}

void PictureControl::PaintPart(HDC dc, int left, int top, int width, int height) const {
  const RECT all{0, 0, width, height};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNSHADOW));
  if (!bitmap_) return;
  RECT part{left, top, left + width, top + height};
  const RECT picture{0, 0, width_, height_};
  if (!IntersectRect(&part, &part, &picture)) return;
  PaletteSelection palette(dc, palette_.get());
  MemoryDc source(dc);
  Selection selected(source.get(), bitmap_.get());
  BitBlt(dc, part.left - left, part.top - top, part.right - part.left, part.bottom - part.top,
         source.get(), part.left, part.top, SRCCOPY);
}

LRESULT PictureControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      SetCapture(hwnd());
      return 0;
    case WM_LBUTTONUP: {
      if (GetCapture() != hwnd()) return 0;
      ReleaseCapture();
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      RECT client;
      GetClientRect(hwnd(), &client);
      if (PtInRect(&client, at) && onClick) onClick();
      return 0;
    }
  }
  return PaintedControl::HandleMessage(message, wParam, lParam);
}

}  // namespace qelva::win32
