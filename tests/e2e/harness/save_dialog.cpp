#include "harness/save_dialog.h"

#include <dlgs.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

#include "common/wide_text_win.h"
#include "harness/environment.h"
#include "harness/x_input.h"

namespace qelva::e2e {

namespace {

// Gap between keys sent to a dropped-down list, which must follow each one.
constexpr char kKeyDelayMs[] = "50";
constexpr DWORD kConverterTimeoutMs = 60000;

POINT CentreOnScreen(HWND window) {
  const RECT r = WindowRectOf(window);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::string ControlsOf(HWND dialog) {
  std::string text;
  for (HWND child : ChildrenOf(dialog)) {
    text += "\n  id " + std::to_string(GetDlgCtrlID(child)) + " " + NarrowToUtf8(ClassOf(child)) +
            " \"" + NarrowToUtf8(TextOf(child)) + "\"";
  }
  return text;
}

std::wstring Quoted(const std::wstring& argument) { return L"\"" + argument + L"\""; }

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

// A message to a control of the viewer's dialog; -1 when the viewer does not answer in time.
LRESULT Ask(HWND control, UINT message, WPARAM w = 0, LPARAM l = 0) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(control, message, w, l, SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000, &result) ==
      0) {
    return -1;
  }
  return static_cast<LRESULT>(result);
}

}  // namespace

XRun KeysToFocus(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"key", "--clearmodifiers", "--delay", kKeyDelayMs};
  args.insert(args.end(), keys.begin(), keys.end());
  return Xdotool(args);
}


::testing::AssertionResult FindSaveDialogControls(HWND dialog, SaveDialog& found) {
  found = SaveDialog{dialog, nullptr, nullptr};
  // The explorer-style dialog's name field is an edit (edt1), or the edit inside the combo box
  // cmb13 (a ComboBoxEx32 holding a ComboBox holding the Edit, under Wine); the types are the
  // combo box cmb1.
  found.name = GetDlgItem(dialog, edt1);
  for (HWND inner = GetDlgItem(dialog, cmb13); found.name == nullptr && inner != nullptr;) {
    if (ClassOf(inner) == L"Edit") {
      found.name = inner;
      break;
    }
    const auto edits = ChildrenOf(inner, L"Edit");
    const auto boxes = ChildrenOf(inner, L"ComboBox");
    if (!edits.empty()) found.name = edits.front();
    inner = boxes.empty() ? nullptr : boxes.front();
  }
  found.types = GetDlgItem(dialog, cmb1);
  if (found.name != nullptr && found.types != nullptr && ClassOf(found.types) == L"ComboBox")
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "the dialog \"" << NarrowToUtf8(TextOf(dialog))
         << "\" has no file-name field or no type combo box; its controls:" << ControlsOf(dialog);
}

std::vector<std::wstring> TypeCaptions(const SaveDialog& dialog) {
  std::vector<std::wstring> captions;
  const LRESULT count = Ask(dialog.types, CB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Ask(dialog.types, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
    if (length < 0) break;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        Ask(dialog.types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied < 0 ? 0 : static_cast<size_t>(copied));
    captions.push_back(text);
  }
  return captions;
}

int ChosenType(const SaveDialog& dialog) {
  const LRESULT index = Ask(dialog.types, CB_GETCURSEL);
  return index < 0 ? 0 : static_cast<int>(index) + 1;
}

::testing::AssertionResult FillIn(const SaveDialog& dialog, int type, const std::wstring& name) {
  // One xdotool run for all of it: each run costs a process start under Wine.
  const POINT types = CentreOnScreen(dialog.types), field = CentreOnScreen(dialog.name);
  std::vector<std::string> args = {"mousemove", std::to_string(types.x), std::to_string(types.y),
                                   "sleep", "0.05", "click", "1", "sleep", "0.15",
                                   "key", "--delay", kKeyDelayMs, "Home"};
  for (int i = 1; i < type; ++i) args.push_back("Down");
  args.insert(args.end(), {"Return", "sleep", "0.1", "mousemove", std::to_string(field.x),
                           std::to_string(field.y), "sleep", "0.05", "click", "1", "sleep", "0.05",
                           "key", "--delay", kKeyDelayMs, "End", "shift+Home", "Delete"});
  if (!name.empty()) args.insert(args.end(), {"type", "--delay", "10", NarrowToUtf8(name)});
  const XRun run = Xdotool(args);
  if (run.status != 0)
    return ::testing::AssertionFailure() << "xdotool status " << run.status << ": " << run.output;
  std::wstring shown;
  if (WaitUntil([&] { return ChosenType(dialog) == type && (shown = TextOf(dialog.name)) == name; },
                3s)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "the dialog shows type " << ChosenType(dialog)
                                       << " and the name \"" << NarrowToUtf8(shown)
                                       << "\" after choosing type " << type << " and typing \""
                                       << NarrowToUtf8(name) << "\"";
}

std::vector<HWND> ButtonsOf(HWND box) { return ChildrenOf(box, L"Button"); }

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

bool FileExists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::wstring> FolderNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.push_back(entry.path().filename().wstring());
  return names;
}

::testing::AssertionResult PeerDecodesTo(const std::wstring& path, const ColourPicture& pixels) {
  const XRun run =
      RunUnixTool("/usr/bin/python3", {QELVA_E2E_PEER_DECODER, "--rgba", UnixPathOf(path)}, 30000);
  if (run.status != 0) {
    return ::testing::AssertionFailure() << "the peer decoder failed on " << NarrowToUtf8(path)
                                         << ": status " << run.status << ", " << run.output;
  }
  // "<width> <height>\n", then red, green, blue and alpha of each pixel, top row first.
  const size_t newline = run.output.find('\n');
  int width = -1, height = -1;
  if (newline == std::string::npos ||
      std::sscanf(run.output.substr(0, newline).c_str(), "%d %d", &width, &height) != 2) {
    return ::testing::AssertionFailure() << "the peer decoder gave no size";
  }
  if (width != pixels.width || height != pixels.height) {
    return ::testing::AssertionFailure() << "the file holds " << width << "x" << height
                                         << " pixels, not " << pixels.width << "x" << pixels.height;
  }
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (run.output.size() - newline - 1 != count * 4) {
    return ::testing::AssertionFailure() << "the peer decoder gave " << run.output.size() - newline - 1
                                         << " bytes of pixels, not " << count * 4;
  }
  const auto* rgba = reinterpret_cast<const uint8_t*>(run.output.data() + newline + 1);
  long mismatches = 0;
  std::string first;
  for (size_t i = 0; i < count; ++i, rgba += 4) {
    const uint32_t got = (uint32_t{rgba[0]} << 16) | (uint32_t{rgba[1]} << 8) | rgba[2];
    if ((got != pixels.pixels[i] || rgba[3] != 255) && mismatches++ == 0) {
      char text[96];
      std::snprintf(text, sizeof text, "(%d, %d) is #%06X alpha %d, expected #%06X",
                    static_cast<int>(i % width), static_cast<int>(i / width), got, rgba[3],
                    pixels.pixels[i]);
      first = text;
    }
  }
  if (mismatches == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << mismatches << " pixels differ; first " << first;
}

std::wstring FreshFolder(const std::wstring& label) {
  const std::filesystem::path folder = std::filesystem::path(kSavedFilesRoot) / label;
  std::error_code error;
  std::filesystem::remove_all(folder, error);
  std::filesystem::create_directories(folder, error);
  return folder.wstring();
}

std::vector<uint8_t> ConverterOutput(int type, const std::wstring& samplePath, int32_t entry,
                                     std::string& failure) {
  // The sample folder does not change during a run: each file is made once.
  static std::map<std::tuple<int, std::wstring, int32_t>, std::vector<uint8_t>> made;
  const auto key = std::make_tuple(type, samplePath, entry);
  if (auto it = made.find(key); it != made.end()) return it->second;

  failure.clear();
  if (type < 1 || type > kSaveTypeCount) {
    failure = "no save type " + std::to_string(type);
    return {};
  }
  const std::wstring converter = FolderOf(TestEnvironment().viewer) + L"\\qelvaconv.exe";
  std::wstring label = L"qelvaconv-" + WidenUtf8(kConverterTypes[type - 1]);
  for (wchar_t c : samplePath) label.push_back(std::iswalnum(c) ? c : L'_');
  label += L"-" + std::to_wstring(entry);
  // Not named for the test: the converter's files are kept for every test of the run.
  std::wstring out = TestEnvironment().artifacts + L"\\" + label;
  {
    std::error_code error;
    std::filesystem::remove_all(out, error);
    std::filesystem::create_directories(out, error);
  }
  std::wstring line = Quoted(converter) + L" -t " + WidenUtf8(kConverterTypes[type - 1]) +
                      L" -o " + Quoted(out);
  if (entry != 0) line += L" -e " + std::to_wstring(entry);
  line += L" " + Quoted(SamplePath(samplePath));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // No handles inherited: the converter holds no pipe of the test runner.
  if (!CreateProcessW(converter.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      TestEnvironment().samples.c_str(), &startup, &process)) {
    failure = "could not start " + NarrowToUtf8(line) + ": error " + std::to_string(GetLastError());
    return {};
  }
  CloseHandle(process.hThread);
  DWORD exitCode = 1;
  if (WaitForSingleObject(process.hProcess, kConverterTimeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    failure = NarrowToUtf8(line) + " did not end in time";
  } else if (!GetExitCodeProcess(process.hProcess, &exitCode) || exitCode != 0) {
    failure = NarrowToUtf8(line) + " ended with status " + std::to_string(exitCode);
  }
  CloseHandle(process.hProcess);
  if (!failure.empty()) return {};

  const std::vector<std::wstring> names = FolderNames(out);
  if (names.size() != 1) {
    failure = NarrowToUtf8(line) + " wrote " + std::to_string(names.size()) + " files, not one";
    return {};
  }
  auto bytes = ReadFileBytes(out + L"\\" + names.front());
  if (!bytes || bytes->empty()) {
    failure = "cannot read what " + NarrowToUtf8(line) + " wrote";
    return {};
  }
  made[key] = *bytes;
  return *bytes;
}

}  // namespace qelva::e2e
