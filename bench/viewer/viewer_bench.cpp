// How fast the viewer shows a picture, measured from outside as a user would see it.
//
//   viewer_bench.exe QelvaView.exe minimal_window.exe SAMPLES RUNS
//
// 1. Start to picture: from CreateProcess until the window's client area shows the picture's
//    colours on the screen, for QelvaView.exe opening the 640 x 448 background BG01.BIN, and for
//    a minimal Win32 window until its fill colour shows. The two alternate run by run.
// 2. Zoom change: in one running viewer, the 400 % item chosen (its menu command sent to the
//    window) until the handler has rebuilt and painted the picture; 100 % again between runs.
// Medians and quartiles of RUNS runs each, in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/dib_image.h"
#include "common/wide_text_win.h"
#include "decode/format.h"
#include "shell/main_menu.h"

namespace {

using qelva::DibImage;

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / frequency;
}

struct Found {
  DWORD pid;
  HWND window;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM param) {
  auto* found = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == found->pid && IsWindowVisible(hwnd) && GetParent(hwnd) == nullptr) {
    found->window = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND WindowOf(DWORD pid) {
  Found found{pid, nullptr};
  EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&found));
  return found.window;
}

// The colour the screen shows at a point of a window's client area.
COLORREF ClientPixel(HWND window, int x, int y) {
  POINT at{x, y};
  ClientToScreen(window, &at);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

struct Probe {
  int x, y;
  COLORREF colour;
};

class Process {
 public:
  Process(const std::wstring& commandLine, const std::wstring& folder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring line = commandLine;
    ok_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         folder.c_str(), &startup, &info_);
  }
  ~Process() {
    if (!ok_) return;
    if (HWND w = WindowOf(info_.dwProcessId)) PostMessageW(w, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info_.hProcess, 5000) != WAIT_OBJECT_0) {
      TerminateProcess(info_.hProcess, 1);
      WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  bool ok() const { return ok_; }
  DWORD pid() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_{};
  BOOL ok_ = FALSE;
};

bool ShowsAll(HWND window, const std::vector<Probe>& probes) {
  return std::all_of(probes.begin(), probes.end(),
                     [&](const Probe& p) { return ClientPixel(window, p.x, p.y) == p.colour; });
}

bool WaitForProbes(HWND window, const std::vector<Probe>& probes, double timeoutMs) {
  for (const double t0 = Now(); Now() - t0 < timeoutMs; Sleep(0)) {
    if (ShowsAll(window, probes)) return true;
  }
  return false;
}

// Milliseconds from the start of the process until every probe shows its colour; -1 when that
// does not happen within 20 s.
double TimeToPaint(const std::wstring& commandLine, const std::wstring& folder,
                   const std::vector<Probe>& probes) {
  const double t0 = Now();
  Process process(commandLine, folder);
  if (!process.ok()) return -1;
  while (Now() - t0 < 20000) {
    HWND window = WindowOf(process.pid());
    if (window && ShowsAll(window, probes)) {
      return Now() - t0;
    }
    Sleep(0);
  }
  return -1;
}

class SilentHost final : public qelva::PictureHost {
 public:
  void ShowMessage(std::string_view) override {}
  void SetBusy(bool) override {}
  bool ChooseArchiveEntries(const qelva::ArchiveId&, const std::string&, int32_t&) override {
    return false;
  }
};

// Five points spread over the part of the picture that a screen of 1024 x 768 shows at the
// zoom, with the colours the decoded picture has there.
std::vector<Probe> PictureProbes(const DibImage& image, int zoom) {
  std::vector<Probe> probes;
  const int w = image.Width(), h = image.Height();
  for (int k = 1; k <= 5; ++k) {
    const int x = w * k / (6 * zoom), y = h * k / (6 * zoom);
    const uint8_t index = image.bits[static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w) +
                                     static_cast<size_t>(x)];
    const uint8_t* quad = image.ColourTable() + 4 * index;
    probes.push_back({x * zoom, y * zoom, RGB(quad[2], quad[1], quad[0])});
  }
  return probes;
}

struct Summary {
  double q1, median, q3;
};
Summary Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  auto at = [&](double f) { return v[static_cast<size_t>(f * static_cast<double>(v.size() - 1) + 0.5)]; };
  return {at(0.25), at(0.5), at(0.75)};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: viewer_bench QelvaView.exe minimal_window.exe SAMPLES RUNS\n");
    return 2;
  }
  const std::wstring viewer = argv[1], minimal = argv[2], samples = argv[3];
  const int runs = std::max(1, _wtoi(argv[4]));

  SilentHost host;
  std::string path = qelva::NarrowToUtf8(samples + L"\\BG01.BIN");
  int32_t entry = 0;
  DibImage picture;
  if (!qelva::LoadGamePicture(host, path, entry, picture)) {
    std::fprintf(stderr, "viewer_bench: cannot decode BG01.BIN\n");
    return 1;
  }
  const std::vector<Probe> pictureProbes = PictureProbes(picture, 1);
  const std::vector<Probe> fillProbes{{5, 5, RGB(10, 200, 30)}, {300, 200, RGB(10, 200, 30)}};

  std::vector<double> viewerTimes, minimalTimes;
  for (int i = 0; i < runs; ++i) {
    const double v = TimeToPaint(L"\"" + viewer + L"\" BG01.BIN", samples, pictureProbes);
    const double m = TimeToPaint(L"\"" + minimal + L"\"", samples, fillProbes);
    if (v < 0 || m < 0) {
      std::fprintf(stderr, "viewer_bench: a window was not painted within 20 s\n");
      return 1;
    }
    viewerTimes.push_back(v);
    minimalTimes.push_back(m);
  }

  // The zoom change inside one viewer.
  std::vector<double> zoomTimes;
  {
    Process process(L"\"" + viewer + L"\" BG01.BIN", samples);
    HWND window = nullptr;
    for (double t0 = Now(); !window && Now() - t0 < 20000; Sleep(10)) window = WindowOf(process.pid());
    if (!window) {
      std::fprintf(stderr, "viewer_bench: the viewer's window did not appear\n");
      return 1;
    }
    Sleep(500);
    const WPARAM to400 = qelva::shell::MenuCommandId(*qelva::shell::FindMenuItem("Mn400"));
    const WPARAM to100 = qelva::shell::MenuCommandId(*qelva::shell::FindMenuItem("Mn100"));
    const std::vector<Probe> zoomed = PictureProbes(picture, 4);
    for (int i = 0; i < runs; ++i) {
      const double t0 = Now();
      SendMessageW(window, WM_COMMAND, to400, 0);
      // The handler paints before it returns; the time runs until the screen shows the
      // enlargement, in case any of it comes later.
      const bool shown = WaitForProbes(window, zoomed, 5000);
      const double handled = Now() - t0;
      if (!shown) {
        std::fprintf(stderr, "viewer_bench: the 400 %% picture is not on the screen\n");
        return 1;
      }
      zoomTimes.push_back(handled);
      SendMessageW(window, WM_COMMAND, to100, 0);
    }
  }

  const Summary v = Summarise(viewerTimes), m = Summarise(minimalTimes), z = Summarise(zoomTimes);
  std::printf("runs: %d each\n", runs);
  std::printf("start to picture painted, QelvaView BG01.BIN 640x448: median %.1f ms (quartiles %.1f-%.1f)\n",
              v.median, v.q1, v.q3);
  std::printf("start to window painted, minimal Win32 window:       median %.1f ms (quartiles %.1f-%.1f)\n",
              m.median, m.q1, m.q3);
  std::printf("ratio QelvaView / minimal window: %.2f\n", v.median / m.median);
  std::printf("zoom change 100 %% -> 400 %% (640x448 -> 2560x1792): median %.1f ms (quartiles %.1f-%.1f)\n",
              z.median, z.q1, z.q3);
  return 0;
}
