#include "shell/win32/processes.h"

#include <windows.h>

#include <vector>

#include "shell/win32/framework.h"

namespace qelva::win32 {

std::string ProgramPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return U8(std::wstring_view(buffer.data(), n));
    if (buffer.size() >= 32768) return U8(std::wstring_view(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

std::string ProcessCommandLine() {
  const wchar_t* line = GetCommandLineW();
  return line ? U8(line) : std::string();
}

std::wstring CurrentFolder() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return {};
  std::wstring folder(needed, L'\0');
  const DWORD n = GetCurrentDirectoryW(needed, folder.data());
  folder.resize(n < needed ? n : 0);
  return folder;
}

void StartInstance(std::string_view commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const std::wstring folder = CurrentFolder();
  std::wstring line = W(commandLine);  // CreateProcessW may write into its command line
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                     nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

}  // namespace qelva::win32
