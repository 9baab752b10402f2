#include "shell/win32/help_window.h"

#include <richedit.h>

#include <algorithm>
#include <vector>

#include "common/wide_text_win.h"
#include "shell/help_file.h"
#include "shell/win32/resource_ids.h"

namespace qelva::win32 {
namespace {

// The window's size at 96 dpi, before it is fitted to the work area.
constexpr int kDesignWidth = 720, kDesignHeight = 800;
// The blank between the window's edge and the text, at 96 dpi.
constexpr int kMarginX = 18, kMarginY = 12;

struct ReadResult {
  std::vector<uint8_t> bytes;
  bool ok = false;
  shell::HelpFailure failure = shell::HelpFailure::kUnreadable;
};

// The whole file, or why it cannot be had.
ReadResult ReadHelpFile(const std::string& path) {
  ReadResult result;
  HANDLE file = CreateFileW(WindowsFilePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      result.failure = shell::HelpFailure::kMissing;
    }
    return result;
  }
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) <= shell::kMaxHelpFileBytes) {
    result.bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    result.ok = result.bytes.empty() ||
                (ReadFile(file, result.bytes.data(), static_cast<DWORD>(result.bytes.size()), &read,
                          nullptr) &&
                 read == result.bytes.size());
  }
  CloseHandle(file);
  return result;
}

// RichEdit takes the document through this callback, a piece at a time.
struct StreamSource {
  const std::vector<uint8_t>& bytes;
  size_t position = 0;
};

DWORD CALLBACK ReadPiece(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto* source = reinterpret_cast<StreamSource*>(cookie);
  const size_t left = source->bytes.size() - source->position;
  const size_t n = std::min(left, static_cast<size_t>(wanted < 0 ? 0 : wanted));
  std::copy_n(source->bytes.data() + source->position, n, buffer);
  source->position += n;
  *given = static_cast<LONG>(n);
  return 0;
}

// RICHEDIT50W comes from msftedit.dll, loaded once for the process and kept.
bool RichEditLoaded() {
  static const HMODULE library = LoadLibraryW(L"msftedit.dll");
  return library != nullptr;
}

void Warn(HWND owner, shell::HelpFailure failure, const std::string& path) {
  ShowWarningBox(owner, shell::HelpFailureMessage(failure, path), false);
}

}  // namespace

std::unique_ptr<HelpWindow> HelpWindow::Open(HWND owner, const std::string& path) {
  const ReadResult file = ReadHelpFile(path);
  if (!file.ok) {
    Warn(owner, file.failure, path);
    return nullptr;
  }
  if (!shell::LooksLikeRtf(file.bytes) || !RichEditLoaded()) {
    Warn(owner, shell::HelpFailure::kNotShown, path);
    return nullptr;
  }

  static const bool registered = [] {
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(QELVA_IDI_APP));
    RegisterWindowClass(kClassName, 0, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), icon,
                        LoadCursorW(nullptr, IDC_ARROW));
    return true;
  }();
  (void)registered;

  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const shell::HelpRect bounds = shell::HelpWindowBounds(
      {monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom},
      DpiOfWindow(owner), kDesignWidth, kDesignHeight);

  std::unique_ptr<HelpWindow> window(new HelpWindow());
  window->Create(kClassName, W(shell::kHelpCaption), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                 bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 nullptr, nullptr);
  window->text_ = CreateWindowExW(
      0, MSFTEDIT_CLASS, L"",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
          ES_NOHIDESEL,
      0, 0, 0, 0, window->hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window->text_ == nullptr) {
    Warn(owner, shell::HelpFailure::kNotShown, path);
    return nullptr;
  }
  // The text has no more characters than the file has bytes; the default limit is 64K.
  SendMessageW(window->text_, EM_EXLIMITTEXT, 0,
               static_cast<LPARAM>(std::max<size_t>(file.bytes.size(), 0x10000)));
  StreamSource source{file.bytes};
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, &ReadPiece};
  const LRESULT characters =
      SendMessageW(window->text_, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  if (stream.dwError != 0 || characters <= 0) {
    Warn(owner, shell::HelpFailure::kNotShown, path);
    return nullptr;
  }
  // Esc reaches the window through the control's key notifications.
  SendMessageW(window->text_, EM_SETEVENTMASK, 0, ENM_KEYEVENTS);
  SendMessageW(window->text_, EM_SETSEL, 0, 0);
  window->LayOutText();
  ShowWindow(window->hwnd(), SW_SHOWNORMAL);
  // The text starts at its first line, whatever laying it out scrolled.
  SendMessageW(window->text_, WM_VSCROLL, SB_TOP, 0);
  SetForegroundWindow(window->hwnd());
  SetFocus(window->text_);
  return window;
}

void HelpWindow::BringToFront() {
  if (IsIconic(hwnd())) ShowWindow(hwnd(), SW_RESTORE);
  SetForegroundWindow(hwnd());
  SetFocus(text_);
}

void HelpWindow::LayOutText() {
  if (text_ == nullptr) return;
  RECT client;
  GetClientRect(hwnd(), &client);
  MoveWindow(text_, 0, 0, client.right, client.bottom, TRUE);
  // The text keeps a blank to the window's edges.
  RECT area;
  GetClientRect(text_, &area);
  const UINT dpi = DpiOfWindow(hwnd());
  InflateRect(&area, -ScaleFrom(kMarginX, 96, dpi), -ScaleFrom(kMarginY, 96, dpi));
  if (area.right > area.left && area.bottom > area.top) {
    SendMessageW(text_, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&area));
  }
}

LRESULT HelpWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      LayOutText();
      return 0;
    case WM_SETFOCUS:
      if (text_) SetFocus(text_);
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == text_ && header->code == EN_MSGFILTER) {
        const auto* filter = reinterpret_cast<const MSGFILTER*>(lParam);
        if (filter->msg == WM_KEYDOWN && filter->wParam == VK_ESCAPE) {
          PostMessageW(hwnd(), WM_CLOSE, 0, 0);
          return 1;  // the control does not see the key
        }
      }
      return 0;
    }
    case WM_DESTROY:
      text_ = nullptr;
      return 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace qelva::win32
