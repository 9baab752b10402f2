// The main window's handlers below the window, in this process: files dropped on it (a drop
// from another process under Wine arrives without its names, so the drop handle is made here
// as the shell makes it) and the further processes it hands on, recorded instead of started.
#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/wide_text_win.h"
#include "shell/command_line.h"
#include "shell/win32/U_Main.h"
#include "shell/win32/processes.h"
#include "test_support.h"

namespace qelva::win32 {
namespace {

using test::Bytes;

class RecordingStarter final : public InstanceStarter {
 public:
  void Start(std::string_view commandLine) override { lines.emplace_back(commandLine); }
  std::vector<std::string> lines;
};

// A drop handle as the shell gives one: DROPFILES, then the wide names, each ended by a zero,
// and a final zero. The handler frees it with DragFinish.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& p : paths) {
    names += WidenUtf8(p);
    names.push_back(L'\0');
  }
  names.push_back(L'\0');
  if (paths.empty()) names.push_back(L'\0');  // an empty list is two zeros
  const size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  auto* header = static_cast<DROPFILES*>(GlobalLock(block));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  memcpy(reinterpret_cast<uint8_t*>(header) + sizeof(DROPFILES), names.data(),
         names.size() * sizeof(wchar_t));
  GlobalUnlock(block);
  return static_cast<HDROP>(block);
}

// While a test runs, any message box this process shows is read and closed, so that a failing
// test reports the box instead of waiting for a click.
class BoxCloser {
 public:
  BoxCloser() : thread_(CreateThread(nullptr, 0, &BoxCloser::Watch, this, 0, nullptr)) {}
  ~BoxCloser() {
    stop_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    EXPECT_TRUE(texts_.empty()) << "a message box was shown: " << texts_;
  }

 private:
  static BOOL CALLBACK Close(HWND window, LPARAM param) {
    auto* self = reinterpret_cast<BoxCloser*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && wcscmp(cls, L"#32770") == 0) {
      wchar_t text[512] = {};
      GetDlgItemTextW(window, 0xFFFF, text, 512);
      self->texts_ += NarrowToUtf8(text) + " | ";
      PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
  }
  static DWORD WINAPI Watch(void* param) {
    auto* self = static_cast<BoxCloser*>(param);
    while (!self->stop_) {
      EnumWindows(&BoxCloser::Close, reinterpret_cast<LPARAM>(self));
      Sleep(200);
    }
    return 0;
  }
  volatile bool stop_ = false;
  std::string texts_;
  HANDLE thread_;
};

std::string Caption(HWND window) {
  wchar_t text[512];
  const int n = GetWindowTextW(window, text, 512);
  return NarrowToUtf8(std::wstring_view(text, static_cast<size_t>(n)));
}

// The old handler read each name into 256 characters and cut longer ones at 254; a name of 258
// characters must arrive whole, the first one open here and the others go on, in order.
TEST(MainFormDrop, EveryDroppedNameArrivesWholeTheFirstOpensHereAndTheOthersGoOn) {
  test::TempDir folder;
  // A folder name that brings the item's full path to 258 characters (under MAX_PATH, so no
  // long-path support is needed to open it).
  const std::string prefix = folder.path() + "\\";
  const size_t nameLength = 258 - prefix.size() - std::string("\\Item01.bin").size();
  const std::string longFolder = prefix + std::string(nameLength, 'd');
  test::MakeFolder(longFolder);
  const std::string first = longFolder + "\\Item01.bin";
  ASSERT_EQ(first.size(), 258u);
  test::WriteBytes(first, test::ItemPictureFile(7));
  const std::string second = folder.File("Item02.bin");
  const std::string third = folder.File("blank name.bin");

  RecordingStarter starter;
  const BoxCloser boxes;
  TMainForm form(starter);
  SendMessageW(form.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({first, second, third})), 0);

  EXPECT_EQ(Caption(form.hwnd()), "QelvaView Item01.bin (112x112x8)");
  ASSERT_FALSE(form.State().CurrentImage.Empty());
  EXPECT_EQ(form.State().CurrentImage.Width(), 112);
  EXPECT_EQ(form.State().CurrentImage.bits[0], 7);
  const std::string program = ProgramPath();
  EXPECT_EQ(starter.lines, (std::vector<std::string>{
                               shell::FurtherInstanceCommandLine(program, second),
                               shell::FurtherInstanceCommandLine(program, third)}));
}

TEST(MainFormDrop, AnEmptyDropChangesNothing) {
  RecordingStarter starter;
  const BoxCloser boxes;
  TMainForm form(starter);
  SendMessageW(form.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({})), 0);
  EXPECT_EQ(Caption(form.hwnd()), "QelvaView (無題)");
  EXPECT_TRUE(form.State().CurrentImage.Empty());
  EXPECT_TRUE(starter.lines.empty());
}

}  // namespace
}  // namespace qelva::win32
#endif  // _WIN32
