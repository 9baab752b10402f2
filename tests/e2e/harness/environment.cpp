#include "harness/environment.h"

#include <windows.h>

#include <stdexcept>

#include "common/wide_text_win.h"

namespace qelva::e2e {

namespace {

Environment& Stored() {
  static Environment environment;
  return environment;
}

// Wine's own exports; they allocate their result on the process heap.
using UnixNameFn = char* (*)(const wchar_t*);
using DosNameFn = wchar_t* (*)(const char*);

void* WineExport(const char* name) {
  FARPROC f = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
  if (f == nullptr) {
    throw std::runtime_error(std::string("kernel32 has no ") + name +
                             ": these tests drive the viewer under Wine only");
  }
  return reinterpret_cast<void*>(f);
}

}  // namespace

const Environment& TestEnvironment() { return Stored(); }
void SetTestEnvironment(Environment environment) { Stored() = std::move(environment); }

std::wstring SamplePath(const std::wstring& relative) {
  return TestEnvironment().samples + L"\\" + relative;
}

std::string UnixPathOf(const std::wstring& windowsPath) {
  auto convert = reinterpret_cast<UnixNameFn>(WineExport("wine_get_unix_file_name"));
  char* unix = convert(windowsPath.c_str());
  if (unix == nullptr) throw std::runtime_error("no Unix path for " + NarrowToUtf8(windowsPath));
  std::string result(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

std::wstring WindowsPathOf(const std::string& unixPath) {
  auto convert = reinterpret_cast<DosNameFn>(WineExport("wine_get_dos_file_name"));
  wchar_t* dos = convert(unixPath.c_str());
  if (dos == nullptr) throw std::runtime_error("no Windows path for " + unixPath);
  std::wstring result(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

}  // namespace qelva::e2e
