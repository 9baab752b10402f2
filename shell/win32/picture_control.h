// MainImg: the child window that shows the picture. It holds the device bitmap of the picture
// at its zoomed size with the picture's palette, sizes itself to it, and paints it; the main
// window moves it when its client area scrolls.
#pragma once

#include <functional>

#include "shell/win32/framework.h"
#include "shell/win32/gdi.h"

namespace qelva::win32 {

class PictureControl final : public PaintedControl {
 public:
  static constexpr const wchar_t* kClassName = L"TImage";

  void CreateIn(HWND parent, int designWidth, int designHeight);
  // Takes over the bitmap (width x height screen pixels) and its palette (may be empty), sizes
  // the control to it and repaints it.
  void SetPicture(Bitmap bitmap, Palette palette, int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  HPALETTE PaletteHandle() const { return palette_.get(); }
  // Paints the part of the control at (left, top), width x height, into dc at (0, 0); what lies
  // outside the picture gets the window's background.
  void PaintPart(HDC dc, int left, int top, int width, int height) const;

  // OnClick: a left-button click on the picture.
  std::function<void()> onClick;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc, const RECT& area) override;
  Bitmap bitmap_;
  Palette palette_;
  int width_ = 0, height_ = 0;
};

}  // namespace qelva::win32
