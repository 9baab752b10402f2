#include "harness/viewer_process.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cwctype>

#include "harness/environment.h"

namespace qelva::e2e {

namespace {

std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  return L"\"" + argument + L"\"";
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

std::wstring LastErrorText(const wchar_t* what) {
  return std::wstring(what) + L" failed with error " + std::to_wstring(GetLastError());
}

}  // namespace

ViewerProcess::ViewerProcess(const std::vector<std::wstring>& arguments,
                             const std::wstring& program) {
  const Environment& env = TestEnvironment();
  const std::wstring& viewer = program.empty() ? env.viewer : program;
  commandLine_ = Quoted(viewer);
  for (const std::wstring& a : arguments) commandLine_ += L" " + Quoted(a);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring mutableLine = commandLine_;
  // No handles inherited: the viewer's children must not keep any pipe of the test runner open.
  // Once, with four Wine prefixes starting side by side, Wine refused to create the process at
  // all (ERROR_INTERNAL_ERROR, the viewer never ran): that answer is tried again, said on
  // stderr, a few times; any other failure stands.
  for (int attempt = 1;; ++attempt) {
    mutableLine = commandLine_;
    if (CreateProcessW(viewer.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0,
                       nullptr, env.samples.c_str(), &startup, &info)) {
      break;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
      SetLastError(error);
      failure_ = LastErrorText(L"CreateProcess") + L" for " + commandLine_;
      return;
    }
    std::fwprintf(stderr, L"ViewerProcess: Wine could not create the process (error %lu), again\n",
                  static_cast<unsigned long>(error));
    Sleep(200);
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
}

ViewerProcess::~ViewerProcess() {
  if (process_ == nullptr) return;
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

HWND ViewerProcess::WaitForMainWindow(Millis timeout) {
  if (process_ == nullptr) return nullptr;
  WaitForInputIdle(process_, static_cast<DWORD>(timeout.count()));
  HWND main = nullptr;
  WaitUntil(
      [&] {
        const auto windows = TopLevelWindows(kMainWindowClass, id_);
        main = windows.empty() ? nullptr : windows.front();
        return main != nullptr || !Running();
      },
      timeout);
  return main;
}

bool ViewerProcess::WaitForExit(Millis timeout) {
  return process_ != nullptr &&
         WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

bool ViewerProcess::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

UnmanagedViewerWindows::UnmanagedViewerWindows()
    : key_(L"Software\\Wine\\AppDefaults\\" + FileNameOf(TestEnvironment().viewer) +
           L"\\X11 Driver") {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  static const wchar_t kNo[] = L"N";
  set_ = RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo),
                        sizeof kNo) == ERROR_SUCCESS;
  RegCloseKey(key);
}

UnmanagedViewerWindows::~UnmanagedViewerWindows() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueW(key, L"Managed");
  RegCloseKey(key);
}

std::vector<DWORD> ViewerProcessIds() {
  std::vector<DWORD> ids;
  const std::wstring program = FileNameOf(TestEnvironment().viewer);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (SameNameIgnoringCase(FileNameOf(entry.szExeFile), program))
      ids.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return ids;
}

void EndAllViewerProcesses() {
  // A viewer may be starting further ones while it is ended: repeat until none is left.
  for (int round = 0; round < 5; ++round) {
    const std::vector<DWORD> ids = ViewerProcessIds();
    if (ids.empty()) return;
    for (DWORD id : ids) {
      HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
      if (p == nullptr) continue;
      TerminateProcess(p, 1);
      WaitForSingleObject(p, 5000);
      CloseHandle(p);
    }
  }
}

std::vector<HWND> AllMainWindows() { return TopLevelWindows(kMainWindowClass); }

HWND PictureControlOf(HWND mainWindow) {
  const auto controls = ChildrenOf(mainWindow, kPictureControlClass);
  return controls.empty() ? nullptr : controls.front();
}

}  // namespace qelva::e2e
