// What the screen shows: pixels read back from the X display, and PNG files of them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qelva::e2e {

// Pixels of a screen rectangle, top row first, each 0x00RRGGBB.
struct Shot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// 0x00RRGGBB from a COLORREF (0x00BBGGRR).
uint32_t RgbOf(COLORREF colour);

// Copies a rectangle of the screen as it is shown: BitBlt from the screen's device context,
// which under Wine reads the X display, so only what is not covered is what the window drew.
Shot CaptureScreen(const RECT& screenRect);
// The client area of a window (without its scroll bars).
Shot CaptureClient(HWND window);
// The whole screen.
Shot CaptureWholeScreen();

// Writes the shot as an 8-bit RGB PNG; returns false when the file cannot be written.
bool SavePng(const Shot& shot, const std::wstring& path);

}  // namespace qelva::e2e
