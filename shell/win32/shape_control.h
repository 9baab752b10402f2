// Shape: the hatched rectangle that marks where a waiting overlay will be laid. A child window
// above the picture control; it draws the part of the picture it covers with a diagonal cross
// hatch and a frame over it, so the picture stays visible between the hatch lines. Its bounds
// are kept in the picture control's coordinates and follow the picture when the window scrolls.
#pragma once

#include <functional>

#include "shell/overlay.h"
#include "shell/win32/framework.h"

namespace qelva::win32 {

class PictureControl;

class ShapeControl final : public PaintedControl {
 public:
  static constexpr const wchar_t* kClassName = L"TShape";

  // Created hidden, at its design bounds, over `below`.
  void CreateIn(HWND parent, const PictureControl& below);

  const shell::ShapeBounds& Bounds() const { return bounds_; }
  void SetBounds(const shell::ShapeBounds& bounds);
  // Moves the window along with the picture control (whose top-left lies at `origin` in the
  // parent's client area).
  void FollowPicture(POINT origin);
  bool Visible() const;
  void Show();
  void Hide();

  // OnMouseDown and OnMouseMove: whether the left button is held, and the position in the
  // rectangle's own pixels.
  std::function<void(bool leftHeld, int x, int y)> onMouseDown;
  std::function<void(bool leftHeld, int x, int y)> onMouseMove;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Place();
  void Paint(HDC dc, const RECT& area) override;
  const PictureControl* below_ = nullptr;
  shell::ShapeBounds bounds_;
  POINT origin_{0, 0};
};

}  // namespace qelva::win32
