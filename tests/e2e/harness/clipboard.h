// The clipboard as the tests see it from outside the viewer: blocks of our own put there as
// CF_DIB, the viewer's copies read back as bytes, DIB blocks built from their header fields.
// And what the viewer lays from the clipboard: the overlay rectangle (a "TShape" child of the
// main window), driven with real mouse input, and the colours a composed picture must show.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/dib_image.h"
#include "harness/screen.h"
#include "harness/windows.h"

namespace qelva::e2e {

using Bytes = std::vector<uint8_t>;

inline constexpr wchar_t kOverlayClass[] = L"TShape";

// ---- DIB blocks built by a test --------------------------------------------------------------

// The BITMAPINFOHEADER fields a test chooses. A header longer than 40 bytes (64, 108, 124) has
// its fields first and `headerFill` in the bytes after them.
struct DibFields {
  uint32_t headerSize = 40;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 1;
  uint16_t bitCount = 8;
  uint32_t compression = 0;
  uint32_t imageSize = 0;
  uint32_t coloursUsed = 0;
  uint8_t headerFill = 0;
};

// Header, colour table (each 0x00RRGGBB written as blue, green, red, 0), then the pixel bytes.
Bytes BuildDib(const DibFields& fields, const std::vector<uint32_t>& table, const Bytes& pixels);
// The same with the 12-byte BITMAPCOREHEADER (16-bit width and height, 3-byte table entries).
Bytes BuildCoreDib(int16_t width, int16_t height, uint16_t bitCount,
                   const std::vector<uint32_t>& table, const Bytes& pixels);

// A palette picture drawn by a test: colour indices, top row first, and its colour table.
struct IndexedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> indices;  // width x height
  std::vector<uint32_t> table;   // 0x00RRGGBB
  uint8_t At(int x, int y) const { return indices[static_cast<size_t>(y) * width + x]; }
};

// Every pixel as its colour, top row first: what a 24-bit picture holds and shows.
struct ColourPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The rows of a palette picture at 1, 4 or 8 bits per pixel, bottom row first, each padded to
// 4 bytes (the leftmost pixel in the high bits of a byte).
Bytes PackedRows(const IndexedPicture& picture, uint16_t bitCount);
// The rows of a colour picture at 24 bits (blue, green, red), bottom row first, padded.
Bytes PackedRows(const ColourPicture& picture);
// Rows at 8 bits as RLE8 runs, bottom row first, each ended by 0 0, the picture by 0 1.
Bytes Rle8Rows(const IndexedPicture& picture);

// A picture to lay: blocks of index 0, indices beyond its table of `colours` entries scattered
// over it (none when the table has 256), and the other pixels in the colours 1 to colours - 1,
// changing along each row and column.
IndexedPicture DrawnPattern(int width, int height, int colours);

// An 8-bit block of the picture: its own table, biClrUsed the table's length.
Bytes EightBitDib(const IndexedPicture& picture, uint32_t headerSize = 40,
                  uint8_t headerFill = 0);

// A decoded 8-bit picture as indices and the colours it uses (biClrUsed, or 256 when that is 0).
IndexedPicture IndexedOf(const DibImage& image);
// Every pixel of a decoded 8-bit picture as its palette colour.
ColourPicture ColoursOf(const DibImage& image);
ColourPicture ColoursOf(const IndexedPicture& picture);
// Lays `laid` onto `base` with its top-left pixel at picture column `left`, row `top`: index 0
// and indices beyond its colour table leave the picture below; what falls outside is dropped.
void LayOver(ColourPicture& base, const IndexedPicture& laid, int left, int top);

// ---- The clipboard --------------------------------------------------------------------------

// Replaces the clipboard's content with this one block (an empty block too).
::testing::AssertionResult PutOnClipboard(UINT format, const Bytes& block);
::testing::AssertionResult PutTextOnClipboard(const std::wstring& text);
// The block of one format, as long as the clipboard says it is.
::testing::AssertionResult ReadClipboard(UINT format, Bytes& block);
// The formats on the clipboard now, in the clipboard's order.
std::vector<UINT> ClipboardFormats();

// ---- The viewer's edit menu and overlay rectangle, with real input ----------------------------

// Gives the viewer's thread time to take in the X input sent before: waits until the process
// waits for input again with its queue empty.
void LetInputArrive(HWND main);

// Edit > Copy (Alt+E, C) after putting a text on the clipboard, so that the DIB read back is the
// viewer's; `block` is its CF_DIB.
::testing::AssertionResult CopyWithMenu(HWND main, Bytes& block);
// Edit > Paste as an overlay (Alt+E, P); a pause between the keys other than the harness's own
// when keyDelayMs is above 0.
::testing::AssertionResult PasteWithMenu(HWND main, int keyDelayMs = 0);
// File > Open as an addition (Alt+F, M): types the full path into the open dialog and presses
// Return; succeeds once the dialog has closed.
::testing::AssertionResult AddOpenWithMenu(HWND main, const std::wstring& fullPath);

// The overlay rectangle of a main window (shown or hidden), or null.
HWND OverlayOf(HWND main);
bool OverlayShown(HWND main);
// Its rectangle in the main window's client area.
RECT OverlayRect(HWND main);
// Waits until it is shown with exactly these bounds.
::testing::AssertionResult OverlayComesAt(HWND main, const RECT& expected, Millis timeout = 5s);
// Waits until it is hidden (or gone).
::testing::AssertionResult OverlayGoes(HWND main, Millis timeout = 5s);

// A point of the main window's client area on the screen.
POINT ScreenPointOf(HWND main, POINT client);
// Presses the left button at a client point, moves to another and releases it there.
::testing::AssertionResult DragInClient(HWND main, POINT from, POINT to);
// One left click at a client point.
::testing::AssertionResult ClickInClient(HWND main, POINT at);

// Where a drag leaves the rectangle's top-left corner: the press point keeps its place in the
// rectangle, and each coordinate goes to its multiple of 8 x zoom toward zero.
POINT SnappedCorner(POINT cornerBefore, POINT pressed, POINT released, int zoom);

// Every pixel of the shot is the picture's colour (each picture pixel a zoom x zoom block from
// `origin`) and the background colour elsewhere.
::testing::AssertionResult ShowsColours(const Shot& shot, const ColourPicture& picture, int zoom,
                                        POINT origin, uint32_t background);
// Within `area` (client coordinates of the shot) every pixel is black (a hatch line) or the
// colour shown below it, and both kinds are there.
::testing::AssertionResult HatchedOver(const Shot& shot, const RECT& area,
                                       const ColourPicture& below, int zoom);

}  // namespace qelva::e2e
