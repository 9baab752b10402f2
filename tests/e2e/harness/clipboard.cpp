#include "harness/clipboard.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/wide_text_win.h"

#include "harness/x_input.h"

namespace qelva::e2e {

namespace {

void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::string Hex(uint32_t rgb) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", rgb);
  return text;
}

std::string Where(POINT p) {
  char text[32];
  std::snprintf(text, sizeof text, "(%ld, %ld)", static_cast<long>(p.x), static_cast<long>(p.y));
  return text;
}

std::string Bounds(const RECT& r) {
  char text[64];
  std::snprintf(text, sizeof text, "(%ld, %ld) %ldx%ld", static_cast<long>(r.left),
                static_cast<long>(r.top), static_cast<long>(r.right - r.left),
                static_cast<long>(r.bottom - r.top));
  return text;
}

// The clipboard is shared with the viewer, which may hold it open a moment.
bool OpenClipboardSoon() {
  return WaitUntil([] { return OpenClipboard(nullptr) != 0; }, 3s, 10ms);
}

::testing::AssertionResult Typed(const XRun& run, const char* what) {
  if (run.status == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "xdotool could not " << what << ": status " << run.status << ", " << run.output;
}

// Integer division toward zero, as the snapping of the rectangle rounds.
LONG TowardZero(LONG value, LONG step) { return value / step * step; }

}  // namespace

// ---- DIB blocks ------------------------------------------------------------------------------

Bytes BuildDib(const DibFields& f, const std::vector<uint32_t>& table, const Bytes& pixels) {
  // A header size no header has gets the 40 bytes of fields alone.
  const size_t headerSize =
      f.headerSize < kDibHeaderSize || f.headerSize > 124 ? kDibHeaderSize : f.headerSize;
  Bytes block(headerSize, f.headerFill);
  std::memset(block.data(), 0, kDibHeaderSize);
  Put32(block, dib_field::kSize, f.headerSize);
  Put32(block, dib_field::kWidth, static_cast<uint32_t>(f.width));
  Put32(block, dib_field::kHeight, static_cast<uint32_t>(f.height));
  Put16(block, dib_field::kPlanes, f.planes);
  Put16(block, dib_field::kBitCount, f.bitCount);
  Put32(block, dib_field::kCompression, f.compression);
  Put32(block, dib_field::kImageSize, f.imageSize);
  Put32(block, dib_field::kColoursUsed, f.coloursUsed);
  for (uint32_t rgb : table) {
    block.insert(block.end(), {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                               static_cast<uint8_t>(rgb >> 16), 0});
  }
  block.insert(block.end(), pixels.begin(), pixels.end());
  return block;
}

Bytes BuildCoreDib(int16_t width, int16_t height, uint16_t bitCount,
                   const std::vector<uint32_t>& table, const Bytes& pixels) {
  Bytes block(12, 0);
  Put32(block, 0, 12);
  Put16(block, 4, static_cast<uint16_t>(width));
  Put16(block, 6, static_cast<uint16_t>(height));
  Put16(block, 8, 1);
  Put16(block, 10, bitCount);
  for (uint32_t rgb : table) {
    block.insert(block.end(), {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                               static_cast<uint8_t>(rgb >> 16)});
  }
  block.insert(block.end(), pixels.begin(), pixels.end());
  return block;
}

Bytes PackedRows(const IndexedPicture& picture, uint16_t bitCount) {
  const size_t stride = DibRowStride(picture.width, bitCount);
  Bytes rows(stride * static_cast<size_t>(picture.height), 0);
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* row = rows.data() + stride * static_cast<size_t>(picture.height - 1 - y);
    for (int x = 0; x < picture.width; ++x) {
      const unsigned index = picture.At(x, y) & ((1u << bitCount) - 1);
      const size_t bit = static_cast<size_t>(x) * bitCount;
      const unsigned shift = 8 - bitCount - static_cast<unsigned>(bit % 8);
      row[bit / 8] |= static_cast<uint8_t>(index << shift);
    }
  }
  return rows;
}

Bytes PackedRows(const ColourPicture& picture) {
  const size_t stride = DibRowStride(picture.width, 24);
  Bytes rows(stride * static_cast<size_t>(picture.height), 0);
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* row = rows.data() + stride * static_cast<size_t>(picture.height - 1 - y);
    for (int x = 0; x < picture.width; ++x) {
      const uint32_t rgb = picture.At(x, y);
      row[3 * x] = static_cast<uint8_t>(rgb);
      row[3 * x + 1] = static_cast<uint8_t>(rgb >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(rgb >> 16);
    }
  }
  return rows;
}

Bytes Rle8Rows(const IndexedPicture& picture) {
  Bytes rle;
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width;) {
      int run = 1;
      while (x + run < picture.width && run < 255 && picture.At(x + run, y) == picture.At(x, y))
        ++run;
      rle.insert(rle.end(), {static_cast<uint8_t>(run), picture.At(x, y)});
      x += run;
    }
    rle.insert(rle.end(), {0, 0});
  }
  rle.insert(rle.end(), {0, 1});
  return rle;
}

IndexedPicture DrawnPattern(int width, int height, int colours) {
  IndexedPicture picture;
  picture.width = width;
  picture.height = height;
  picture.table.push_back(0xFF00FF);  // index 0: never to be seen
  for (int i = 1; i < colours; ++i) {
    picture.table.push_back((static_cast<uint32_t>((37 * i + 64) & 0xFF) << 16) |
                            (static_cast<uint32_t>((91 * i + 16) & 0xFF) << 8) |
                            static_cast<uint32_t>((53 * i + 128) & 0xFF));
  }
  picture.indices.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int index;
      if ((x / 5 + y / 4) % 4 == 0) {
        index = 0;
      } else if (colours < 256 && (3 * x + y) % 11 == 0) {
        index = colours + (x + y) % (256 - colours);
      } else {
        index = 1 + (x + 2 * y) % (colours - 1);
      }
      picture.indices[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(index);
    }
  }
  return picture;
}

Bytes EightBitDib(const IndexedPicture& picture, uint32_t headerSize, uint8_t headerFill) {
  DibFields fields;
  fields.headerSize = headerSize;
  fields.width = picture.width;
  fields.height = picture.height;
  fields.coloursUsed = static_cast<uint32_t>(picture.table.size());
  fields.headerFill = headerFill;
  return BuildDib(fields, picture.table, PackedRows(picture, 8));
}

IndexedPicture IndexedOf(const DibImage& image) {
  IndexedPicture picture;
  if (image.Empty() || image.BitCount() != 8) return picture;
  picture.width = image.Width();
  picture.height = image.Height();
  const size_t stride = DibRowStride(picture.width, 8);
  picture.indices.resize(static_cast<size_t>(picture.width) * picture.height);
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* row = image.bits.data() + stride * static_cast<size_t>(picture.height - 1 - y);
    std::memcpy(&picture.indices[static_cast<size_t>(y) * picture.width], row,
                static_cast<size_t>(picture.width));
  }
  uint32_t used = Get32(image.info.data() + dib_field::kColoursUsed);
  if (used == 0) used = 256;
  const size_t held = (image.info.size() - kDibHeaderSize) / 4;
  for (size_t i = 0; i < used && i < held; ++i) {
    const uint8_t* quad = image.ColourTable() + 4 * i;
    picture.table.push_back((static_cast<uint32_t>(quad[2]) << 16) |
                            (static_cast<uint32_t>(quad[1]) << 8) | quad[0]);
  }
  return picture;
}

ColourPicture ColoursOf(const IndexedPicture& picture) {
  ColourPicture colours{picture.width, picture.height, {}};
  colours.pixels.reserve(picture.indices.size());
  for (uint8_t index : picture.indices)
    colours.pixels.push_back(index < picture.table.size() ? picture.table[index] : 0);
  return colours;
}

ColourPicture ColoursOf(const DibImage& image) { return ColoursOf(IndexedOf(image)); }

void LayOver(ColourPicture& base, const IndexedPicture& laid, int left, int top) {
  for (int y = 0; y < laid.height; ++y) {
    for (int x = 0; x < laid.width; ++x) {
      const uint8_t index = laid.At(x, y);
      if (index == 0 || index >= laid.table.size()) continue;
      const int px = left + x, py = top + y;
      if (px < 0 || py < 0 || px >= base.width || py >= base.height) continue;
      base.pixels[static_cast<size_t>(py) * base.width + px] = laid.table[index];
    }
  }
}

// ---- The clipboard ---------------------------------------------------------------------------

::testing::AssertionResult PutOnClipboard(UINT format, const Bytes& block) {
  // A movable block of no bytes is a discarded one, which the clipboard does not take.
  HGLOBAL memory = GlobalAlloc(block.empty() ? GMEM_FIXED : GMEM_MOVEABLE, block.size());
  if (memory == nullptr) return ::testing::AssertionFailure() << "GlobalAlloc failed";
  if (!block.empty()) {
    void* p = GlobalLock(memory);
    std::memcpy(p, block.data(), block.size());
    GlobalUnlock(memory);
  }
  if (!OpenClipboardSoon()) {
    GlobalFree(memory);
    return ::testing::AssertionFailure() << "the clipboard cannot be opened";
  }
  EmptyClipboard();
  const bool set = SetClipboardData(format, memory) != nullptr;
  const DWORD error = GetLastError();
  CloseClipboard();
  if (!set) {
    GlobalFree(memory);
    return ::testing::AssertionFailure()
           << "SetClipboardData(" << format << ") of " << block.size()
           << " bytes failed with error " << error;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult PutTextOnClipboard(const std::wstring& text) {
  Bytes block((text.size() + 1) * sizeof(wchar_t), 0);
  std::memcpy(block.data(), text.c_str(), block.size());
  return PutOnClipboard(CF_UNICODETEXT, block);
}

::testing::AssertionResult ReadClipboard(UINT format, Bytes& block) {
  block.clear();
  if (!OpenClipboardSoon()) return ::testing::AssertionFailure() << "the clipboard cannot be opened";
  HANDLE data = GetClipboardData(format);
  if (data == nullptr) {
    CloseClipboard();
    return ::testing::AssertionFailure() << "the clipboard holds no format " << format;
  }
  const SIZE_T size = GlobalSize(data);
  const void* p = GlobalLock(data);
  if (p != nullptr) block.assign(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + size);
  GlobalUnlock(data);
  CloseClipboard();
  if (p == nullptr && size != 0)
    return ::testing::AssertionFailure() << "the clipboard's block cannot be read";
  return ::testing::AssertionSuccess();
}

std::vector<UINT> ClipboardFormats() {
  std::vector<UINT> formats;
  if (!OpenClipboardSoon()) return formats;
  for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) formats.push_back(f);
  CloseClipboard();
  return formats;
}

// ---- The edit menu and the overlay rectangle ---------------------------------------------------

void LetInputArrive(HWND main) {
  // X events reach the viewer's thread through its X connection; let them get there first.
  Sleep(30);
  HANDLE process =
      OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, ProcessOf(main));
  if (process != nullptr) {
    WaitForInputIdle(process, 1000);
    CloseHandle(process);
  }
  SyncWith(main);
}

::testing::AssertionResult CopyWithMenu(HWND main, Bytes& block) {
  block.clear();
  if (auto put = PutTextOnClipboard(L"before the copy"); !put) return put;
  const DWORD before = GetClipboardSequenceNumber();
  if (auto typed = Typed(PressKeys(main, {"alt+e", "c"}), "type Alt+E, C"); !typed) return typed;
  const bool copied = WaitUntil(
      [&] {
        return GetClipboardSequenceNumber() != before && IsClipboardFormatAvailable(CF_DIB);
      },
      5s);
  if (!copied) {
    return ::testing::AssertionFailure()
           << "no CF_DIB on the clipboard after Alt+E, C (formats now: " << ClipboardFormats().size()
           << ")";
  }
  // The viewer may still be writing further formats; the DIB is read once it has let go.
  LetInputArrive(main);
  return ReadClipboard(CF_DIB, block);
}

::testing::AssertionResult PasteWithMenu(HWND main, int keyDelayMs) {
  const XRun run = keyDelayMs > 0 ? PressKeysQuickly(main, {"alt+e", "p"}, keyDelayMs)
                                  : PressKeys(main, {"alt+e", "p"});
  if (auto typed = Typed(run, "type Alt+E, P"); !typed) return typed;
  LetInputArrive(main);
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult AddOpenWithMenu(HWND main, const std::wstring& fullPath) {
  const DWORD process = ProcessOf(main);
  const std::vector<HWND> before = TopLevelWindows(kDialogClass, process);
  if (auto typed = Typed(PressKeys(main, {"alt+f", "m"}), "type Alt+F, M"); !typed) return typed;
  HWND dialog = WaitForNewDialog(process, before);
  if (dialog == nullptr) return ::testing::AssertionFailure() << "no open dialog after Alt+F, M";
  if (auto typed = Typed(TypeText(dialog, NarrowToUtf8(fullPath)), "type the path"); !typed)
    return typed;
  if (auto typed = Typed(PressKeys(dialog, {"Return"}), "press Return"); !typed) return typed;
  if (!WaitUntilGone(dialog)) {
    return ::testing::AssertionFailure()
           << "the open dialog stayed open after typing " << NarrowToUtf8(fullPath)
           << " and Return";
  }
  return ::testing::AssertionSuccess();
}

HWND OverlayOf(HWND main) {
  const auto shapes = ChildrenOf(main, kOverlayClass);
  return shapes.empty() ? nullptr : shapes.front();
}

bool OverlayShown(HWND main) {
  HWND shape = OverlayOf(main);
  return shape != nullptr && IsWindowVisible(shape);
}

RECT OverlayRect(HWND main) {
  HWND shape = OverlayOf(main);
  return shape == nullptr ? RECT{} : RectInParentClient(shape);
}

::testing::AssertionResult OverlayComesAt(HWND main, const RECT& expected, Millis timeout) {
  RECT seen{};
  bool shown = false;
  const bool there = WaitUntil(
      [&] {
        shown = OverlayShown(main);
        seen = OverlayRect(main);
        return shown && EqualRect(&seen, &expected);
      },
      timeout);
  if (there) return ::testing::AssertionSuccess();
  if (!shown) {
    return ::testing::AssertionFailure()
           << "no overlay rectangle is shown; expected one at " << Bounds(expected);
  }
  return ::testing::AssertionFailure()
         << "the overlay rectangle lies at " << Bounds(seen) << ", expected " << Bounds(expected);
}

::testing::AssertionResult OverlayGoes(HWND main, Millis timeout) {
  if (WaitUntil([&] { return !OverlayShown(main); }, timeout)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "the overlay rectangle is still shown at " << Bounds(OverlayRect(main));
}

POINT ScreenPointOf(HWND main, POINT client) {
  const RECT r = ClientRectOnScreen(main);
  return {r.left + client.x, r.top + client.y};
}

::testing::AssertionResult DragInClient(HWND main, POINT from, POINT to) {
  auto typed = Typed(DragWithLeftButton(ScreenPointOf(main, from), ScreenPointOf(main, to)),
                     "drag with the left button");
  LetInputArrive(main);
  return typed;
}

::testing::AssertionResult ClickInClient(HWND main, POINT at) {
  auto typed = Typed(ClickAt(ScreenPointOf(main, at)), "click");
  LetInputArrive(main);
  return typed;
}

POINT SnappedCorner(POINT cornerBefore, POINT pressed, POINT released, int zoom) {
  const LONG grid = 8 * zoom;
  const POINT grabbed = {pressed.x - cornerBefore.x, pressed.y - cornerBefore.y};
  return {TowardZero(released.x - grabbed.x, grid), TowardZero(released.y - grabbed.y, grid)};
}

::testing::AssertionResult ShowsColours(const Shot& shot, const ColourPicture& picture, int zoom,
                                        POINT origin, uint32_t background) {
  if (shot.width == 0 || shot.height == 0)
    return ::testing::AssertionFailure() << "the client area is empty";
  long mismatches = 0;
  std::string first;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const int px = x - origin.x, py = y - origin.y;
      const bool inside =
          px >= 0 && py >= 0 && px < picture.width * zoom && py < picture.height * zoom;
      const uint32_t want = inside ? picture.At(px / zoom, py / zoom) : background;
      const uint32_t got = shot.At(x, y);
      if (got == want) continue;
      if (mismatches++ == 0) {
        first = "client pixel " + Where({x, y}) + " is " + Hex(got) + ", expected " + Hex(want) +
                (inside ? " from picture pixel " + Where({px / zoom, py / zoom})
                        : std::string(" (background)"));
      }
    }
  }
  if (mismatches == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << mismatches << " of " << static_cast<long>(shot.width) * shot.height
         << " client pixels differ from the composed picture at zoom " << zoom << "; first: "
         << first;
}

::testing::AssertionResult HatchedOver(const Shot& shot, const RECT& area,
                                       const ColourPicture& below, int zoom) {
  long lines = 0, through = 0;
  for (int y = std::max<LONG>(area.top, 0); y < area.bottom && y < shot.height; ++y) {
    for (int x = std::max<LONG>(area.left, 0); x < area.right && x < shot.width; ++x) {
      const uint32_t got = shot.At(x, y);
      const bool onPicture = x / zoom < below.width && y / zoom < below.height;
      const uint32_t under = onPicture ? below.At(x / zoom, y / zoom) : got;
      if (got == 0) {
        ++lines;
      } else if (got == under) {
        ++through;
      } else {
        return ::testing::AssertionFailure()
               << "client pixel " << Where({x, y}) << " inside the overlay rectangle is "
               << Hex(got) << ": neither a black hatch line nor the picture's " << Hex(under);
      }
    }
  }
  if (lines > 0 && through > 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "inside the overlay rectangle " << Bounds(area) << " " << lines
         << " pixels are black and " << through
         << " show the picture: a hatch needs both lines and the picture between them";
}

}  // namespace qelva::e2e
