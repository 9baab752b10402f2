#include "harness/windows.h"

#include <algorithm>
#include <thread>

namespace qelva::e2e {

namespace {

constexpr UINT kSendTimeoutMs = 5000;

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM w, LPARAM l) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(window, message, w, l, SMTO_BLOCK | SMTO_ABORTIFHUNG, kSendTimeoutMs,
                          &result) == 0) {
    return -1;
  }
  return static_cast<LRESULT>(result);
}

struct EnumState {
  std::wstring className;
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto& state = *reinterpret_cast<EnumState*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  if (ClassOf(window) != state.className) return TRUE;
  if (state.processId != 0 && ProcessOf(window) != state.processId) return TRUE;
  state.found.push_back(window);
  return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, Millis timeout, Millis step) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(step);
  }
}

bool SyncWith(HWND window) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, kSendTimeoutMs, &ignored) != 0;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  // The text may change between asking its length and asking for it (a viewer setting its
  // caption as the test reads it): then the copy is cut at the old length, and it is read again.
  std::wstring text;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const LRESULT length = SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    text.assign(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
    if (SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0) == length) break;
  }
  return text;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::vector<HWND> TopLevelWindows(const std::wstring& className, DWORD processId) {
  EnumState state{className, processId, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

HWND FindTopLevel(const std::wstring& className, const std::wstring& caption, DWORD processId) {
  for (HWND window : TopLevelWindows(className, processId))
    if (TextOf(window) == caption) return window;
  return nullptr;
}

HWND WaitForTopLevel(const std::wstring& className, const std::wstring& caption, DWORD processId,
                     Millis timeout) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopLevel(className, caption, processId)) != nullptr; },
            timeout);
  return found;
}

std::vector<HWND> ChildrenOf(HWND parent, const std::wstring& className) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    // Class names are compared as Windows does, without regard to case ("RICHEDIT50W").
    if (className.empty() || _wcsicmp(ClassOf(child).c_str(), className.c_str()) == 0)
      children.push_back(child);
  }
  return children;
}

HWND FindChild(HWND parent, const std::wstring& className, const std::wstring& text) {
  for (HWND child : ChildrenOf(parent, className))
    if (TextOf(child) == text) return child;
  return nullptr;
}

RECT WindowRectOf(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

RECT ClientRectOnScreen(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT RectInParentClient(HWND child) {
  RECT r = WindowRectOf(child);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool WaitUntilGone(HWND window, Millis timeout) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout);
}

void ClickButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

int ListCount(HWND listBox) {
  return static_cast<int>(SendWithTimeout(listBox, LB_GETCOUNT, 0, 0));
}

std::wstring ListText(HWND listBox, int index) {
  const LRESULT length = SendWithTimeout(listBox, LB_GETTEXTLEN, index, 0);
  if (length < 0) return L"<no item " + std::to_wstring(index) + L">";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendWithTimeout(listBox, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
  return text;
}

std::vector<std::wstring> ListTexts(HWND listBox) {
  std::vector<std::wstring> texts;
  const int count = ListCount(listBox);
  for (int i = 0; i < count; ++i) texts.push_back(ListText(listBox, i));
  return texts;
}

bool ListSelected(HWND listBox, int index) {
  return SendWithTimeout(listBox, LB_GETSEL, index, 0) > 0;
}

std::vector<int> ListSelection(HWND listBox) {
  std::vector<int> selected;
  const int count = ListCount(listBox);
  for (int i = 0; i < count; ++i)
    if (ListSelected(listBox, i)) selected.push_back(i);
  return selected;
}

RECT ListItemRectOnScreen(HWND listBox, int index) {
  RECT r{};
  SendWithTimeout(listBox, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
  MapWindowPoints(listBox, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  for (HWND label : ChildrenOf(box, L"Static")) {
    if ((GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
    const std::wstring t = TextOf(label);
    if (!t.empty()) text += t;
  }
  return text;
}

HWND WaitForNewDialog(DWORD processId, const std::vector<HWND>& before, Millis timeout) {
  HWND dialog = nullptr;
  WaitUntil(
      [&] {
        for (HWND d : TopLevelWindows(kDialogClass, processId)) {
          if (std::find(before.begin(), before.end(), d) == before.end()) dialog = d;
        }
        return dialog != nullptr;
      },
      timeout);
  return dialog;
}

}  // namespace qelva::e2e
