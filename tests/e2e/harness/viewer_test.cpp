#include "harness/viewer_test.h"

#include <algorithm>
#include <cstdio>

#include "common/wide_text_win.h"

namespace qelva::e2e {

namespace {

constexpr Millis kPaintSettle = 5s;

std::wstring ScreenshotName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::wstring name = Widen(std::string(info->test_suite_name()) + "." + info->name());
  for (wchar_t& c : name)
    if (c == L'/' || c == L'\\' || c == L':') c = L'_';
  return name + L".png";
}

}  // namespace

std::wstring Widen(const std::string& utf8) { return WidenUtf8(utf8); }
std::string Narrow(const std::wstring& text) { return NarrowToUtf8(text); }

std::wstring CaptionFor(const Decoded& picture) {
  return L"QelvaView " + Widen(picture.name) + L" (" + std::to_wstring(picture.image.Width()) +
         L"x" + std::to_wstring(picture.image.Height()) + L"x" +
         std::to_wstring(picture.image.BitCount()) + L")";
}

void ViewerTest::SetUp() {
  EndAllViewerProcesses();
  ASSERT_TRUE(AllMainWindows().empty()) << "a viewer window of an earlier test is still open";
}

void ViewerTest::TearDown() {
  if (HasFailure()) {
    const std::wstring path = TestEnvironment().artifacts + L"\\" + ScreenshotName();
    if (SavePng(CaptureWholeScreen(), path)) {
      std::printf("screenshot of the failed test: %s\n", UnixPathOf(path).c_str());
    } else {
      std::printf("could not write the screenshot %s\n", Narrow(path).c_str());
    }
    std::fflush(stdout);
  }
  processes_.clear();
  EndAllViewerProcesses();
}

ViewerProcess& ViewerTest::Start(const std::vector<std::wstring>& arguments,
                                 const std::wstring& program) {
  processes_.push_back(std::make_unique<ViewerProcess>(arguments, program));
  ViewerProcess& process = *processes_.back();
  EXPECT_TRUE(process.Started()) << Narrow(process.Failure());
  return process;
}

HWND ViewerTest::StartAndWaitForWindow(const std::vector<std::wstring>& arguments,
                                       const std::wstring& program) {
  ViewerProcess& process = Start(arguments, program);
  if (!process.Started()) return nullptr;
  HWND main = process.WaitForMainWindow();
  EXPECT_NE(main, nullptr) << "no visible " << Narrow(kMainWindowClass) << " window of "
                           << Narrow(process.CommandLine())
                           << (process.Running() ? "" : " (the process has ended)");
  return main;
}

HWND ViewerTest::ShowSample(const std::wstring& name, Decoded& picture) {
  picture = DecodeSample(name);
  EXPECT_FALSE(picture.image.Empty())
      << "our own decoding of " << Narrow(name) << " failed: " << picture.failure;
  if (picture.image.Empty()) return nullptr;
  HWND main = StartAndWaitForWindow({name});
  if (main == nullptr) return nullptr;
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(picture))), Narrow(CaptionFor(picture)));
  BringToFront(main);
  return main;
}

::testing::AssertionResult ViewerTest::Keys(HWND window, const std::vector<std::string>& keys) {
  const XRun run = PressKeys(window, keys);
  std::string joined;
  for (const std::string& k : keys) joined += (joined.empty() ? "" : " ") + k;
  if (run.status != 0) {
    return ::testing::AssertionFailure() << "xdotool could not type \"" << joined << "\": status "
                                         << run.status << ", " << run.output;
  }
  // The keys have reached the X server; let the window's thread take them in.
  SyncWith(window);
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ViewerTest::ZoomWithMenu(HWND main, const DibImage& picture, int zoom) {
  // Alt+V opens the View menu; Home selects its first item whether or not the menu came up
  // with one selected; each Down moves one zoom step further.
  std::vector<std::string> keys = {"alt+v", "Home"};
  for (int i = 1; i < zoom; ++i) keys.push_back("Down");
  keys.push_back("Return");
  if (auto typed = Keys(main, keys); !typed) return typed;
  const LONG width = picture.Width() * zoom, height = picture.Height() * zoom;
  RECT r{};
  const bool sized = WaitUntil(
      [&] {
        r = PictureRect(main);
        return r.right - r.left == width && r.bottom - r.top == height;
      },
      kPaintSettle);
  if (sized) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "after choosing " << zoom * 100 << "% the picture control is " << r.right - r.left
         << "x" << r.bottom - r.top << ", not " << width << "x" << height;
}

HWND ViewerTest::OpenDialog(HWND main) {
  const DWORD process = ProcessOf(main);
  const std::vector<HWND> before = TopLevelWindows(kDialogClass, process);
  if (!Keys(main, {"alt+f", "o"})) return nullptr;
  return WaitForNewDialog(process, before);
}

::testing::AssertionResult ViewerTest::TypeAndEnter(HWND dialog, const std::wstring& text) {
  const XRun typed = TypeText(dialog, Narrow(text));
  if (typed.status != 0) {
    return ::testing::AssertionFailure()
           << "xdotool could not type " << Narrow(text) << ": " << typed.output;
  }
  return Keys(dialog, {"Return"});
}

::testing::AssertionResult ViewerTest::OpenThroughDialog(HWND main, const std::wstring& path) {
  HWND dialog = OpenDialog(main);
  if (dialog == nullptr) return ::testing::AssertionFailure() << "no open dialog after Alt+F, O";
  // The dialog opens with the focus in its file name field, in whatever folder it was last
  // used in: the full path names the file wherever that is.
  const bool full = path.find(L':') != std::wstring::npos;
  if (auto entered = TypeAndEnter(dialog, full ? path : SamplePath(path)); !entered) return entered;
  if (!WaitUntilGone(dialog)) {
    return ::testing::AssertionFailure()
           << "the open dialog stayed open after typing " << Narrow(path) << " and Return";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ViewerTest::OpenSeveralThroughDialog(
    HWND main, const std::wstring& folder, const std::vector<std::wstring>& names) {
  HWND dialog = OpenDialog(main);
  if (dialog == nullptr) return ::testing::AssertionFailure() << "no open dialog after Alt+F, O";
  if (auto entered = TypeAndEnter(dialog, folder); !entered) return entered;
  if (WaitUntilGone(dialog, 1s)) {
    return ::testing::AssertionFailure()
           << "the open dialog took the folder " << Narrow(folder) << " for a file";
  }
  std::wstring quoted;
  for (const std::wstring& name : names) quoted += (quoted.empty() ? L"\"" : L" \"") + name + L"\"";
  if (auto entered = TypeAndEnter(dialog, quoted); !entered) return entered;
  if (!WaitUntilGone(dialog)) {
    return ::testing::AssertionFailure()
           << "the open dialog stayed open after typing " << Narrow(quoted) << " and Return";
  }
  return ::testing::AssertionSuccess();
}

void ViewerTest::BringToFront(HWND window) {
  RaiseAndFocus(window);
  SyncWith(window);
}

::testing::AssertionResult ViewerTest::ShowsPictureAt(HWND main, const DibImage& picture,
                                                      int zoom) {
  HWND control = PictureControlOf(main);
  if (control == nullptr) {
    return ::testing::AssertionFailure()
           << "the main window has no " << Narrow(kPictureControlClass) << " control";
  }
  ::testing::AssertionResult result = ::testing::AssertionFailure();
  WaitUntil(
      [&] {
        SyncWith(main);
        const RECT r = PictureRect(main);
        result = ShowsPicture(CaptureClient(main), picture,
                              View{zoom, {r.left, r.top}, WindowBackground()});
        return static_cast<bool>(result);
      },
      kPaintSettle, 200ms);
  return result;
}

RECT ViewerTest::PictureRect(HWND main) {
  HWND control = PictureControlOf(main);
  return control == nullptr ? RECT{} : RectInParentClient(control);
}

std::wstring ViewerTest::WaitForCaption(HWND window, const std::wstring& expected, Millis timeout) {
  std::wstring caption;
  WaitUntil([&] { return (caption = TextOf(window)) == expected; }, timeout);
  return caption;
}

bool ViewerTest::PopupMenuOpen() { return !TopLevelWindows(kPopupMenuClass).empty(); }

HWND ViewerTest::WaitForMessageBox(DWORD processId, Millis timeout) {
  return WaitForTopLevel(kDialogClass, kApplicationTitle, processId, timeout);
}

}  // namespace qelva::e2e
