#include "harness/x_input.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/wide_text_win.h"
#include "harness/environment.h"
#include "harness/windows.h"

namespace qelva::e2e {

namespace {

constexpr char kXdotool[] = "/usr/bin/xdotool";
constexpr char kShell[] = "/bin/sh";
// Debian's Python with python3-xlib, which speaks the X drag-and-drop protocol.
constexpr char kPython[] = "/usr/bin/python3";
// Pause between keys: a menu opened by one key must be tracking before the next one comes.
constexpr char kKeyDelayMs[] = "80";

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadWhole(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Starts a Unix program; Wine runs it but returns no handle, so the caller cannot wait on it.
bool StartUnixProgram(const std::string& program, const std::string& argument) {
  const std::wstring application = WindowsPathOf(program);
  std::wstring commandLine = L"\"" + application + L"\" \"" + WidenUtf8(argument) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  return true;
}

std::string StatusText(const XRun& run) { return "status " + std::to_string(run.status); }

}  // namespace

XRun RunUnixTool(const std::string& program, const std::vector<std::string>& arguments,
                 DWORD timeoutMs) {
  static std::atomic<int> counter{0};
  const std::wstring base = TestEnvironment().artifacts + L"\\xdotool-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++counter);
  const std::wstring script = base + L".sh", output = base + L".out", status = base + L".status";
  DeleteFileW(status.c_str());

  // The tool itself gets a time limit below ours, so a --sync that never ends cannot outlive us.
  std::string command = "timeout ";
  command.append(std::to_string(timeoutMs / 1000 > 1 ? timeoutMs / 1000 - 1 : 1)).append(" ");
  command.append(ShellQuoted(program));
  for (const std::string& a : arguments) command.append(" ").append(ShellQuoted(a));
  {
    std::ofstream s(std::filesystem::path(script), std::ios::binary);
    s << command << " >" << ShellQuoted(UnixPathOf(output)) << " 2>&1\n"
      << "echo $? >" << ShellQuoted(UnixPathOf(status) + ".part") << "\n"
      << "mv " << ShellQuoted(UnixPathOf(status) + ".part") << " "
      << ShellQuoted(UnixPathOf(status)) << "\n";
  }

  XRun run;
  if (!StartUnixProgram(kShell, UnixPathOf(script))) {
    run.output = "could not start " + std::string(kShell);
    return run;
  }
  if (!WaitUntil([&] { return Exists(status); }, Millis(timeoutMs), 10ms)) {
    run.output = program + " did not finish within " + std::to_string(timeoutMs) + " ms: " + command;
    return run;
  }
  run.status = static_cast<int>(std::strtol(ReadWhole(status).c_str(), nullptr, 10));
  run.output = ReadWhole(output);
  DeleteFileW(script.c_str());
  DeleteFileW(output.c_str());
  DeleteFileW(status.c_str());
  return run;
}

XRun Xdotool(const std::vector<std::string>& arguments, DWORD timeoutMs) {
  // A window Wine has just created may not be viewable in X yet: focusing it then fails with
  // BadMatch and xdotool stops before its first key, having typed nothing. Wait for it to become
  // focusable by trying again; every other failure is the caller's to see.
  const auto unviewable = [](const XRun& run) {
    return run.status != 0 && run.output.find("BadMatch") != std::string::npos &&
           run.output.find("X_SetInputFocus") != std::string::npos;
  };
  XRun run = RunUnixTool(kXdotool, arguments, timeoutMs);
  for (int attempt = 0; attempt < 50 && unviewable(run); ++attempt) {
    Sleep(100);
    run = RunUnixTool(kXdotool, arguments, timeoutMs);
  }
  return run;
}

XRun DropFiles(HWND window, POINT screenPoint, const std::vector<std::wstring>& paths) {
  std::vector<std::string> args = {UnixPathOf(TestEnvironment().xdndDrop),
                                   std::to_string(XWindowOf(window)), std::to_string(screenPoint.x),
                                   std::to_string(screenPoint.y)};
  for (const std::wstring& path : paths) args.push_back(UnixPathOf(path));
  return RunUnixTool(kPython, args, 20000);
}

bool XToolsUsable(std::string& reason) {
  if (!Exists(WindowsPathOf(kXdotool))) {
    reason = std::string(kXdotool) + " is missing (install the xdotool package)";
    return false;
  }
  const XRun run = Xdotool({"getdisplaygeometry"});
  if (run.status != 0) {
    reason = "xdotool cannot reach the X display: " + StatusText(run) + ", " + run.output;
    return false;
  }
  return true;
}

unsigned long XWindowOf(HWND window) {
  return static_cast<unsigned long>(
      reinterpret_cast<UINT_PTR>(GetPropW(window, L"__wine_x11_whole_window")));
}

// Runs xdotool with `windowfocus --sync WINDOW` and then `then`. A window Wine has just shown may
// not be mapped on the X side yet: focusing it fails with BadMatch, and xdotool ends at that
// error before anything after it is sent. Such a run is made again until the window takes the
// focus (a few seconds at most), so the keys are typed once.
XRun FocusThen(HWND window, const std::vector<std::string>& then) {
  WaitUntil([&] { return XWindowOf(window) != 0; }, 5s, 20ms);
  XRun run;
  WaitUntil(
      [&] {
        std::vector<std::string> args = {"windowfocus", "--sync",
                                         std::to_string(XWindowOf(window))};
        args.insert(args.end(), then.begin(), then.end());
        run = Xdotool(args);
        return run.status == 0 || run.output.find("X_SetInputFocus") == std::string::npos;
      },
      5s, 50ms);
  return run;
}

XRun PressKeys(HWND window, const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"key", "--clearmodifiers", "--delay", kKeyDelayMs};
  args.insert(args.end(), keys.begin(), keys.end());
  return FocusThen(window, args);
}

XRun TypeText(HWND window, const std::string& text) {
  return FocusThen(window, {"type", "--delay", "20", text});
}

// No --sync on the move: it waits for the pointer to move, which it never does when it is
// already there.
XRun ClickAt(POINT p) {
  return Xdotool(
      {"mousemove", std::to_string(p.x), std::to_string(p.y), "sleep", "0.1", "click", "1"});
}

XRun DragWithLeftButton(POINT from, POINT to) {
  std::vector<std::string> args = {
      "mousemove", std::to_string(from.x), std::to_string(from.y), "sleep", "0.1", "mousedown",
      "1"};
  constexpr int kSteps = 4;
  for (int i = 1; i <= kSteps; ++i) {
    const LONG x = from.x + (to.x - from.x) * i / kSteps, y = from.y + (to.y - from.y) * i / kSteps;
    args.insert(args.end(), {"sleep", "0.1", "mousemove", std::to_string(x), std::to_string(y)});
  }
  args.insert(args.end(), {"sleep", "0.2", "mouseup", "1"});
  return Xdotool(args);
}

XRun WheelDown(POINT p) {
  return Xdotool(
      {"mousemove", std::to_string(p.x), std::to_string(p.y), "sleep", "0.1", "click", "5"});
}

XRun RaiseAndFocus(HWND window) {
  const std::string id = std::to_string(XWindowOf(window));
  return Xdotool({"windowraise", id, "windowfocus", "--sync", id});
}

}  // namespace qelva::e2e

namespace qelva::e2e {

XRun PressKeysQuickly(HWND window, const std::vector<std::string>& keys, int delayMs) {
  std::vector<std::string> args = {"key", "--clearmodifiers", "--delay", std::to_string(delayMs)};
  args.insert(args.end(), keys.begin(), keys.end());
  return FocusThen(window, args);
}

}  // namespace qelva::e2e
