// qelva_e2e_tests [gtest options] --viewer=QelvaView.exe --samples=DIR --artifacts=DIR
//                 --xdnd=tools/xdnd_drop.py [--corpus=fuzz/corpus/load_picture]
//                 [--soak-cycles=N]
// (Windows paths, or Unix paths starting with "/")
//
// Drives the real viewer under Wine on an X display (see run_e2e.sh, which provides both).
// Anything missing ends the run with a failure, never with skipped tests.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/wide_text_win.h"
#include "harness/environment.h"
#include "harness/x_input.h"

namespace {

bool IsFile(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A Unix path (from the launcher script) becomes the Windows path Wine maps it to.
std::wstring FullPath(const std::wstring& path) {
  if (!path.empty() && path[0] == L'/') return qelva::e2e::WindowsPathOf(qelva::NarrowToUtf8(path));
  wchar_t full[MAX_PATH * 4];
  const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
  return n == 0 || n >= MAX_PATH * 4 ? path : std::wstring(full, n);
}

int Refuse(const std::string& why) {
  std::fprintf(stderr, "qelva_e2e_tests: %s\n", why.c_str());
  return 1;
}

}  // namespace

constexpr const char* kUsage =
    "usage: qelva_e2e_tests --viewer=EXE --samples=DIR --artifacts=DIR --xdnd=xdnd_drop.py "
    "[--corpus=DIR] [--soak-cycles=N]";

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);

  qelva::e2e::Environment env;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    // The value of "--name=value" when the argument is that option.
    auto valueOf = [&](const wchar_t* option, std::wstring& value) {
      const size_t n = std::wcslen(option);
      if (a.compare(0, n, option) != 0) return false;
      value = FullPath(a.substr(n));
      return true;
    };
    constexpr std::wstring_view kSoakCycles = L"--soak-cycles=";
    if (a.compare(0, kSoakCycles.size(), kSoakCycles) == 0) {
      const std::wstring n = a.substr(kSoakCycles.size());
      wchar_t* end = nullptr;
      const long cycles = std::wcstol(n.c_str(), &end, 10);
      // The growth is measured from the 100th cycle on, a reading every 100 cycles.
      if (n.empty() || *end != L'\0' || cycles < 200 || cycles > 100000 || cycles % 100 != 0)
        return Refuse("--soak-cycles takes whole hundreds from 200 to 100000, not " +
                      qelva::NarrowToUtf8(n));
      env.soakCycles = static_cast<int>(cycles);
      continue;
    }
    if (!valueOf(L"--viewer=", env.viewer) && !valueOf(L"--samples=", env.samples) &&
        !valueOf(L"--artifacts=", env.artifacts) && !valueOf(L"--xdnd=", env.xdndDrop) &&
        !valueOf(L"--corpus=", env.fuzzCorpus)) {
      return Refuse("unknown argument " + qelva::NarrowToUtf8(a) + "; " + kUsage);
    }
  }
  // The source tree's corpus unless another is given; it may be missing (nothing to open).
  if (env.fuzzCorpus.empty()) env.fuzzCorpus = FullPath(qelva::WidenUtf8(QELVA_E2E_FUZZ_CORPUS));
  if (env.viewer.empty() || env.samples.empty() || env.artifacts.empty() || env.xdndDrop.empty())
    return Refuse(kUsage);
  if (!IsFile(env.xdndDrop))
    return Refuse("the drag-and-drop tool is missing: " + qelva::NarrowToUtf8(env.xdndDrop));
  if (!IsFile(env.viewer))
    return Refuse("the viewer is missing: " + qelva::NarrowToUtf8(env.viewer));
  if (!IsFile(env.samples + L"\\Item01.bin"))
    return Refuse("no sample game folder at " + qelva::NarrowToUtf8(env.samples));
  CreateDirectoryW(env.artifacts.c_str(), nullptr);
  if (!IsFolder(env.artifacts))
    return Refuse("cannot create the artifacts folder " + qelva::NarrowToUtf8(env.artifacts));
  // Relative sample paths mean the same here as in the viewer, which starts in this folder too.
  SetCurrentDirectoryW(env.samples.c_str());
  qelva::e2e::SetTestEnvironment(env);

  std::string reason;
  if (!qelva::e2e::XToolsUsable(reason)) return Refuse(reason);
  return RUN_ALL_TESTS();
}
