#include "shell/win32/U_Main.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "common/errors.h"
#include "common/path_text.h"
#include "common/wide_text_win.h"
#include "export/picture_file.h"
#include "shell/caption.h"
#include "shell/clipboard_dib.h"
#include "shell/command_line.h"
#include "shell/fit_window.h"
#include "shell/help_file.h"
#include "shell/overlay.h"
#include "shell/palette_from_dib.h"
#include "shell/save_name.h"
#include "shell/win32/U_about.h"
#include "shell/win32/U_arc.h"
#include "shell/win32/clipboard.h"
#include "shell/win32/file_dialogs.h"
#include "shell/win32/help_window.h"
#include "shell/win32/processes.h"
#include "shell/win32/resource_ids.h"

namespace qelva::win32 {
namespace {

constexpr const wchar_t* kBroadcastMessageName = L"Qelva View Broadcast Message";
// The window is designed at 448 x 336 on a 144 dpi screen.
constexpr UINT kDesignDpi = 144;
constexpr int kDesignWidth = 448, kDesignHeight = 336;
// MainImg's design size, replaced by the first picture.
constexpr int kImageDesignWidth = 193, kImageDesignHeight = 130;
// One step of the scroll bars' arrows.
constexpr int kScrollLine = 8;
// How long quit-all waits for a window that answers slowly; a hung one is passed over at once.
constexpr UINT kQuitAllTimeoutMs = 5000;

const PathSyntax kViewerPaths{PathSeparators::kWindows, PathCodePage::kUtf8};

// The logical palette of a DibInfo block; none for a picture without a colour table.
Palette PaletteOfDib(const DibImage& image) {
  const auto colours = shell::PaletteFromDib(image.info);
  if (!colours) return Palette();
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + colours->size() * sizeof(PALETTEENTRY));
  auto* palette = reinterpret_cast<LOGPALETTE*>(block.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(colours->size());
  for (size_t i = 0; i < colours->size(); ++i) {
    palette->palPalEntry[i] = {(*colours)[i].red, (*colours)[i].green, (*colours)[i].blue, 0};
  }
  return Palette(CreatePalette(palette));
}

struct DeviceBitmap {
  Bitmap bitmap;
  Palette palette;
};

// The picture as a bitmap of the screen's format, with its palette.
DeviceBitmap DibToBitmap(const DibImage& image) {
  const int width = image.Width();
  const int height = image.Height();
  WindowDc screen(nullptr);
  DeviceBitmap result{Bitmap(), PaletteOfDib(image)};
  PaletteSelection palette(screen.get(), result.palette.get());
  result.bitmap.Reset(CreateCompatibleBitmap(screen.get(), width, height));
  if (!result.bitmap) throw OutOfMemoryError();
  SetDIBits(screen.get(), result.bitmap.get(), 0, static_cast<UINT>(height), image.bits.data(),
            reinterpret_cast<const BITMAPINFO*>(image.info.data()), DIB_RGB_COLORS);
  return result;
}

// Every pixel of the source as a zoom x zoom block.
Bitmap Enlarge(const DeviceBitmap& source, int width, int height, int zoom) {
  WindowDc screen(nullptr);
  Bitmap target(CreateCompatibleBitmap(screen.get(), width * zoom, height * zoom));
  if (!target) throw OutOfMemoryError();
  MemoryDc from(screen.get()), to(screen.get());
  Selection fromBitmap(from.get(), source.bitmap.get());
  Selection toBitmap(to.get(), target.get());
  PaletteSelection fromPalette(from.get(), source.palette.get());
  PaletteSelection toPalette(to.get(), source.palette.get());
  SetStretchBltMode(to.get(), COLORONCOLOR);
  StretchBlt(to.get(), 0, 0, width * zoom, height * zoom, from.get(), 0, 0, width, height,
             SRCCOPY);
  return target;
}

// Frees a drop handle on every way out of the handler.
class DropHandle {
 public:
  explicit DropHandle(HDROP drop) : drop_(drop) {}
  ~DropHandle() { DragFinish(drop_); }
  DropHandle(const DropHandle&) = delete;
  DropHandle& operator=(const DropHandle&) = delete;
  UINT Count() const { return DragQueryFileW(drop_, 0xFFFFFFFF, nullptr, 0); }
  // Name i, whole, however long it is.
  std::string Name(UINT i) const {
    const UINT length = DragQueryFileW(drop_, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    const UINT copied = DragQueryFileW(drop_, i, name.data(), length + 1);
    name.resize(std::min(copied, length));
    return U8(name);
  }

 private:
  HDROP drop_;
};

}  // namespace

// What loading asks of the window: the message box, the hourglass, the archive chooser.
class TMainForm::Host final : public PictureHost {
 public:
  explicit Host(TMainForm& form) : form_(form) {}
  void ShowMessage(std::string_view text) override { ShowMessageBox(form_.hwnd(), text); }
  void SetBusy(bool busy) override { BusyCursor::Set(busy); }
  bool ChooseArchiveEntries(const ArchiveId& archive, const std::string& path,
                            int32_t& entryIndex) override {
    return form_.ArcForm && form_.ArcForm->ChooseArchiveEntries(archive, path, entryIndex);
  }
  PathSyntax Paths() const override { return kViewerPaths; }

 private:
  TMainForm& form_;
};

TMainForm::TMainForm(InstanceStarter& starter)
    : starter_(starter), host_(std::make_unique<Host>(*this)) {
  static const bool registered = [] {
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(QELVA_IDI_APP));
    RegisterWindowClass(kClassName, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNSHADOW + 1),
                        icon, LoadCursorW(nullptr, IDC_ARROW));
    return true;
  }();
  (void)registered;
  const UINT dpi = SystemDpi();
  Create(kClassName, W(shell::kUntitledCaption), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
         CW_USEDEFAULT, CW_USEDEFAULT, ScaleFrom(kDesignWidth, kDesignDpi, dpi),
         ScaleFrom(kDesignHeight, kDesignDpi, dpi), nullptr, menu_.TakeHandle());
  MainImg.CreateIn(hwnd(), kImageDesignWidth, kImageDesignHeight);
  MainImg.onClick = [this] { SetShape(); };
  Shape.CreateIn(hwnd(), MainImg);
  Shape.onMouseDown = [this](bool left, int x, int y) { ShapeMouseDown(left, x, y); };
  Shape.onMouseMove = [this](bool left, int x, int y) { ShapeMouseMove(left, x, y); };
  FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::AttachDialogs(TAboutForm* about, TArcForm* chooser) {
  AboutForm = about;
  ArcForm = chooser;
}

void TMainForm::FormCreate() {
  helpFile_ = shell::HelpFilePath(ProgramPath(), shell::kHelpFileName, kViewerPaths);
  BroadcastMsg = static_cast<uint16_t>(RegisterWindowMessageW(kBroadcastMessageName));
  state_.CurrentImage.Reset();
  state_.PendingImage.Reset();
  state_.EntryIndex = 0;
  state_.ZoomFactor = 1;
  DragAcceptFiles(hwnd(), TRUE);
}

void TMainForm::Show(int showCommand) {
  ShowWindow(hwnd(), showCommand);
  UpdateWindow(hwnd());
  Guarded(hwnd(), [this] { FormShow(); });
}

void TMainForm::FormShow() {
  const shell::StartupPlan plan =
      shell::PlanStartup(shell::SplitArguments(ProcessCommandLine()));
  if (plan.hasEntry) state_.EntryIndex = plan.entryIndex;
  if (!plan.failure.empty()) {
    ShowErrorBox(hwnd(), plan.failure);
    return;
  }
  if (plan.hasPicture) OpenPicture(plan.picture);
  const std::string program = ProgramPath();
  for (const std::string& path : plan.further) {
    starter_.Start(shell::FurtherInstanceCommandLine(program, path));
  }
}

void TMainForm::OpenPicture(std::string path) {
  // A path typed with slashes on the command line is spelt with backslashes.
  path = WithNativeSeparators(std::move(path));
  // A waiting overlay is discarded by the next picture.
  if (Shape.Visible()) DiscardOverlay();
  state_.PendingImage.Reset();
  if (!LoadGamePicture(*host_, path, state_.EntryIndex, state_.PendingImage)) return;
  const std::string previousName = std::exchange(state_.PictureName,
                                                 shell::PictureNameOf(path, kViewerPaths));
  try {
    ShowPicture(state_.PendingImage);
  } catch (...) {
    // The window keeps the picture it had.
    state_.PendingImage.Reset();
    state_.PictureName = previousName;
    throw;
  }
  saveName_ = shell::SaveNameOf(path, kViewerPaths);
  state_.CurrentImage = std::move(state_.PendingImage);
  state_.PendingImage.Reset();
  for (const char* name : {"MnEdit", "MnDisplay", "MnSave", "MnAddLoad"}) menu_.Enable(name, true);
  menu_.Redraw(hwnd());
  RepaintNow();
}

void TMainForm::ShowPicture(const DibImage& image) {
  const int width = image.Width();
  const int height = image.Height();
  const int zoom = state_.ZoomFactor;
  if (width < 0 || height < 0 || int64_t{width} * zoom > INT32_MAX ||
      int64_t{height} * zoom > INT32_MAX) {
    throw OutOfMemoryError();
  }
  if (width == 0 || height == 0) {
    // A header of no cells decodes to a picture without pixels: there is nothing to draw, and
    // the window shows its caption and its smallest size.
    MainImg.SetPicture(Bitmap(), PaletteOfDib(image), 0, 0);
  } else {
    DeviceBitmap picture = DibToBitmap(image);
    Bitmap shown = Enlarge(picture, width, height, zoom);
    // The enlarged bitmap goes to MainImg with the picture's palette; the unenlarged one is freed.
    MainImg.SetPicture(std::move(shown), std::move(picture.palette), width * zoom, height * zoom);
  }
  {
    WindowDc canvas(MainImg.hwnd());
    PaletteSelection realized(canvas.get(), MainImg.PaletteHandle());
  }
  SetWindowTextW(hwnd(), W(shell::PictureCaption(state_.PictureName, width, height,
                                                 image.BitCount()))
                             .c_str());
  FitWindowToPicture();
}

void TMainForm::FitWindowToPicture() {
  LockWindowUpdate(hwnd());
  shell::FitMetrics metrics;
  metrics.cxFrame = GetSystemMetrics(SM_CXFRAME);
  metrics.cyFrame = GetSystemMetrics(SM_CYFRAME);
  metrics.cxVScroll = GetSystemMetrics(SM_CXVSCROLL);
  metrics.cyHScroll = GetSystemMetrics(SM_CYHSCROLL);

  shell::FitLimits limits;
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const bool windowsPlatform =
      GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
#pragma GCC diagnostic pop
  if (windowsPlatform) {
    APPBARDATA taskBar{};
    taskBar.cbSize = sizeof taskBar;
    const bool found = SHAppBarMessage(ABM_GETTASKBARPOS, &taskBar) != 0;
    const shell::ScreenRect bar{taskBar.rc.left, taskBar.rc.top, taskBar.rc.right,
                                taskBar.rc.bottom};
    limits = shell::LimitsFromTaskBar(GetSystemMetrics(SM_CXSCREEN),
                                      GetSystemMetrics(SM_CYSCREEN), found ? &bar : nullptr);
  } else {
    // The work area of the monitor that holds the window: the task bar stays uncovered
    // wherever it is docked.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
    limits = shell::LimitsFromWorkArea({monitor.rcWork.left, monitor.rcWork.top,
                                        monitor.rcWork.right, monitor.rcWork.bottom});
  }

  RECT window;
  GetWindowRect(hwnd(), &window);
  // The band above the client area once the window has that width: the window itself says
  // where its client area would begin (the menu bar may wrap onto more lines when narrower).
  // Asking it costs nothing, where resizing the window to measure took a round trip to the
  // window system each time.
  const auto captionBand = [&](int32_t width) {
    RECT proposed{window.left, window.top, window.left + width, window.bottom};
    SendMessageW(hwnd(), WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&proposed));
    return static_cast<int32_t>(proposed.top - window.top);
  };
  const shell::FitResult fit =
      shell::FitWindowToPicture(metrics, limits, window.left, window.top, MainImg.Width(),
                                MainImg.Height(), captionBand);
  SetWindowPos(hwnd(), nullptr, fit.bounds.left, fit.bounds.top,
               fit.bounds.right - fit.bounds.left, fit.bounds.bottom - fit.bounds.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateScrollBars();
  LockWindowUpdate(nullptr);
  InvalidateRect(hwnd(), nullptr, TRUE);
  RepaintNow();
}

// Scroll bars appear when the picture is larger than the client area; the picture then moves
// under the client area as they are scrolled.
void TMainForm::UpdateScrollBars() {
  if (updatingScrollBars_) return;
  updatingScrollBars_ = true;
  const LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
  RECT client;
  GetClientRect(hwnd(), &client);
  const int barWidth = GetSystemMetrics(SM_CXVSCROLL);
  const int barHeight = GetSystemMetrics(SM_CYHSCROLL);
  // The client area without any scroll bar.
  const int fullWidth = client.right + ((style & WS_VSCROLL) ? barWidth : 0);
  const int fullHeight = client.bottom + ((style & WS_HSCROLL) ? barHeight : 0);
  const int contentWidth = MainImg.Width(), contentHeight = MainImg.Height();
  bool needH = contentWidth > fullWidth;
  bool needV = contentHeight > fullHeight;
  if (needH && !needV) needV = contentHeight > fullHeight - barHeight;
  if (needV && !needH) needH = contentWidth > fullWidth - barWidth;
  ShowScrollBar(hwnd(), SB_HORZ, needH);
  ShowScrollBar(hwnd(), SB_VERT, needV);

  GetClientRect(hwnd(), &client);
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE;
  if (needH) {
    info.nMin = 0;
    info.nMax = contentWidth - 1;
    info.nPage = static_cast<UINT>(client.right);
    SetScrollInfo(hwnd(), SB_HORZ, &info, TRUE);
  }
  if (needV) {
    info.nMin = 0;
    info.nMax = contentHeight - 1;
    info.nPage = static_cast<UINT>(client.bottom);
    SetScrollInfo(hwnd(), SB_VERT, &info, TRUE);
  }
  updatingScrollBars_ = false;
  ScrollTo(needH ? scrollX_ : 0, needV ? scrollY_ : 0);
}

void TMainForm::ScrollTo(int x, int y) {
  RECT client;
  GetClientRect(hwnd(), &client);
  x = std::clamp(x, 0, std::max(0, MainImg.Width() - static_cast<int>(client.right)));
  y = std::clamp(y, 0, std::max(0, MainImg.Height() - static_cast<int>(client.bottom)));
  if (GetWindowLongPtrW(hwnd(), GWL_STYLE) & WS_HSCROLL) SetScrollPos(hwnd(), SB_HORZ, x, TRUE);
  if (GetWindowLongPtrW(hwnd(), GWL_STYLE) & WS_VSCROLL) SetScrollPos(hwnd(), SB_VERT, y, TRUE);
  scrollX_ = x;
  scrollY_ = y;
  SetWindowPos(MainImg.hwnd(), nullptr, -x, -y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The overlay rectangle stands on the picture, not on the client area.
  Shape.FollowPicture({-x, -y});
}

void TMainForm::OnScroll(int bar, WPARAM wParam) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(hwnd(), bar, &info);
  int position = info.nPos;
  const int page = static_cast<int>(info.nPage);
  switch (LOWORD(wParam)) {
    case SB_LINEUP: position -= kScrollLine; break;
    case SB_LINEDOWN: position += kScrollLine; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_THUMBTRACK: position = info.nTrackPos; break;
    case SB_THUMBPOSITION:
      // The message carries the position in 16 bits; past that the bar's own track position
      // is the one to take.
      position = info.nMax > 0xFFFF ? info.nTrackPos : HIWORD(wParam);
      break;
    case SB_TOP: position = info.nMin; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: return;
  }
  if (bar == SB_HORZ) {
    ScrollTo(position, scrollY_);
  } else {
    ScrollTo(scrollX_, position);
  }
}

void TMainForm::OnCommand(UINT id) {
  const shell::MenuEntry* item = menu_.ItemOfCommand(id);
  if (!item) return;
  using C = shell::MenuCommand;
  switch (item->command) {
    case C::kLoad: MnLoadClick(); break;
    case C::kAddLoad: MnAddLoadClick(); break;
    case C::kSave: MnSaveClick(); break;
    case C::kCopy: MnCopyClick(); break;
    case C::kPaste: MnPasteClick(); break;
    case C::kZoom: MnZoomClick(*item); break;
    case C::kExit: MnExitClick(); break;
    case C::kAllQuit: MnAllQuitClick(); break;
    case C::kTopic: MnTopicClick(); break;
    case C::kAbout: MnAboutClick(); break;
    default: break;
  }
}

void TMainForm::MnLoadClick() {
  const std::vector<std::string> paths = RunOpenDialog(hwnd());
  if (paths.empty()) return;
  OpenPicture(paths[0]);
  const std::string program = ProgramPath();
  for (size_t i = 1; i < paths.size(); ++i) {
    starter_.Start(shell::FurtherInstanceCommandLine(program, paths[i]));
  }
}

void TMainForm::MnZoomClick(const shell::MenuEntry& sender) {
  menu_.UncheckAllUnder("MnDisplay");
  menu_.Check(sender.name, true);
  const int32_t oldZoom = state_.ZoomFactor;
  state_.ZoomFactor = sender.tag;
  if (!state_.CurrentImage.Empty()) ShowPicture(state_.CurrentImage);
  if (Shape.Visible()) {
    Shape.SetBounds(shell::RescaleShape(Shape.Bounds(), oldZoom, state_.ZoomFactor,
                                        state_.PendingImage.Width(),
                                        state_.PendingImage.Height()));
  }
}

void TMainForm::MnAddLoadClick() {
  const std::vector<std::string> paths = RunOpenDialog(hwnd());
  if (paths.empty()) return;
  if (Shape.Visible()) DiscardOverlay();
  // Only the first chosen file is laid over the picture.
  std::string path = WithNativeSeparators(paths[0]);
  if (LoadGamePicture(*host_, path, state_.EntryIndex, state_.PendingImage)) {
    ShowPendingShape();
  } else {
    state_.PendingImage.Reset();
  }
}

void TMainForm::MnSaveClick() {
  if (state_.CurrentImage.Empty()) return;
  std::string name = saveName_;
  int filterIndex = saveFilterIndex_;
  if (!RunSaveDialog(hwnd(), name, filterIndex)) return;
  saveFilterIndex_ = filterIndex;
  const PictureFileType type = shell::SaveTypeOfFilter(filterIndex).value_or(PictureFileType::kBmp);
  // The type decides the extension: pic.gif saved as a bitmap is pic.bmp.
  name = shell::ReplaceExtension(name, FileExtensionOf(type), kViewerPaths);
  saveName_ = name;
  const DWORD attributes = GetFileAttributesW(WindowsFilePath(name).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    MessageBeep(0xFFFFFFFF);
    if (!ShowWarningBox(hwnd(), shell::OverwriteQuestion(name, kViewerPaths), true)) return;
  }
  const BusyScope busy;
  // A GIF holds at most 256 colours: the writer refuses a full-colour picture before it
  // creates anything.
  if (!WritePictureFile(name, type, state_.CurrentImage)) {
    MessageBeep(MB_ICONEXCLAMATION);
    ShowWarningBox(hwnd(), shell::kFullColourGifRefusal, false);
  }
}

void TMainForm::MnCopyClick() {
  if (state_.CurrentImage.Empty()) return;
  const BusyScope busy;
  // When the clipboard cannot be had, the command does nothing.
  PutDibOnClipboard(hwnd(), shell::PackedDibOf(state_.CurrentImage));
}

void TMainForm::MnPasteClick() {
  if (state_.CurrentImage.Empty()) return;
  const BusyScope busy;
  const auto block = DibBlockOnClipboard(hwnd());
  if (!block) return;  // the DIB has gone from the clipboard meanwhile
  std::optional<DibImage> pasted = shell::DibFromClipboard(*block);
  if (!pasted) return;  // a picture the viewer does not read: nothing happens
  state_.PendingImage = std::move(*pasted);
  ShowPendingShape();
}

void TMainForm::MenuActivated() { menu_.Enable("MnPaste", ClipboardHasDib()); }

void TMainForm::ShowPendingShape() {
  Shape.SetBounds(shell::ShapeAtOrigin(state_.PendingImage.Width(),
                                       state_.PendingImage.Height(), state_.ZoomFactor));
  Shape.Show();
}

void TMainForm::DiscardOverlay() {
  Shape.Hide();
  state_.PendingImage.Reset();
}

void TMainForm::ShapeMouseDown(bool leftHeld, int x, int y) {
  if (leftHeld) state_.DragOrigin = {x, y};
}

void TMainForm::ShapeMouseMove(bool leftHeld, int x, int y) {
  if (!leftHeld || !Shape.Visible()) return;
  const shell::ShapeBounds moved = shell::DragShape(
      Shape.Bounds(), x, y, state_.DragOrigin.x, state_.DragOrigin.y,
      state_.PendingImage.Width(), state_.PendingImage.Height(), state_.ZoomFactor,
      MainImg.Width(), MainImg.Height());
  if (moved != Shape.Bounds()) Shape.SetBounds(moved);
}

void TMainForm::MnTopicClick() {
  // One help window per process: a second 目次 brings it back to the front.
  if (help_ && help_->hwnd()) {
    help_->BringToFront();
    return;
  }
  help_ = HelpWindow::Open(hwnd(), helpFile_);
}

void TMainForm::MnExitClick() { Close(); }

void TMainForm::MnAllQuitClick() {
  // Every top-level window gets the message, this one included; a hung window is passed over
  // instead of holding the command, one that is only busy is waited for.
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(HWND_BROADCAST, BroadcastMsg, 0, 0,
                      SMTO_ABORTIFHUNG | SMTO_NOTIMEOUTIFNOTHUNG, kQuitAllTimeoutMs, &answer);
}

void TMainForm::MnAboutClick() {
  if (AboutForm) AboutForm->ShowModal();
}

void TMainForm::FormKeyDown(WORD key) {
  if (key == VK_ESCAPE) Close();
}

void TMainForm::DroppedFiles(HDROP drop) {
  SetForegroundWindow(hwnd());
  const DropHandle files(drop);
  const UINT count = files.Count();
  const std::string program = ProgramPath();
  for (UINT i = 0; i < count; ++i) {
    const std::string name = files.Name(i);
    if (name.empty()) continue;  // no file to open; the shell never sends one
    if (i == 0) {
      RepaintNow();
      OpenPicture(name);
    } else {
      starter_.Start(shell::FurtherInstanceCommandLine(program, name));
    }
  }
}

void TMainForm::SetShape() {
  // A click on the picture or the window lays a waiting overlay onto it; without one it does
  // nothing.
  if (!Shape.Visible()) return;
  Shape.Hide();
  // The pending picture is released whether or not it is laid.
  const DibImage pending = std::exchange(state_.PendingImage, DibImage());
  DibImage composed = state_.CurrentImage;
  {
    const BusyScope busy;
    const shell::ShapeBounds& at = Shape.Bounds();
    if (!shell::ComposeOverlay(composed, pending, shell::PicturePosition(at.left, state_.ZoomFactor),
                               shell::PicturePosition(at.top, state_.ZoomFactor))) {
      return;  // not an 8-bit picture: the shown one stays as it was
    }
  }
  // Shown first: should that fail, the window keeps the picture it had.
  ShowPicture(composed);
  state_.CurrentImage = std::move(composed);
}

// Update: whatever needs painting is painted before this returns, the picture included.
void TMainForm::RepaintNow() {
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TMainForm::Close() { PostMessageW(hwnd(), WM_CLOSE, 0, 0); }

void TMainForm::FormDestroy() {
  state_.CurrentImage.Reset();
  state_.PendingImage.Reset();
  // The help window closes with the main window.
  help_.reset();
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (BroadcastMsg != 0 && message == BroadcastMsg) {
    Close();
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == 0 && lParam == 0) OnCommand(LOWORD(wParam));
      return 0;
    case WM_KEYDOWN:
      FormKeyDown(static_cast<WORD>(wParam));
      return 0;
    case WM_LBUTTONDOWN:
      pressedOnWindow_ = true;
      return 0;
    case WM_LBUTTONUP:
      // A click: pressed and released here. The release of a double click that closed a dialog
      // over the window is none.
      if (std::exchange(pressedOnWindow_, false)) SetShape();
      return 0;
    case WM_INITMENU:
      MenuActivated();
      return 0;
    case WM_DROPFILES:
      DroppedFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_SIZE:
      UpdateScrollBars();
      return 0;
    case WM_HSCROLL:
      OnScroll(SB_HORZ, wParam);
      return 0;
    case WM_VSCROLL:
      OnScroll(SB_VERT, wParam);
      return 0;
    case WM_MOUSEWHEEL: {
      const int steps = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
      if (GetWindowLongPtrW(hwnd(), GWL_STYLE) & WS_VSCROLL) {
        ScrollTo(scrollX_, scrollY_ - steps * 3 * kScrollLine);
      }
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && BusyCursor::Apply()) return TRUE;
      break;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
      if (message == WM_PALETTECHANGED && reinterpret_cast<HWND>(wParam) == hwnd()) return 0;
      InvalidateRect(MainImg.hwnd(), nullptr, FALSE);
      return TRUE;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY:
      FormDestroy();
      PostQuitMessage(0);
      return 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace qelva::win32
