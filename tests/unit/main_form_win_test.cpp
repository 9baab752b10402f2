// The main window's handlers below the window, in this process: files dropped on it (a drop
// from another process under Wine arrives without its names, so the drop handle is made here
// as the shell makes it) and the further processes it hands on, recorded instead of started;
// the menu state that follows the clipboard and the overlay's state, which another process
// cannot read under Wine.
#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/wide_text_win.h"
#include "common/byte_order.h"
#include "shell/command_line.h"
#include "shell/main_menu.h"
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

// Puts a block on the clipboard as CF_DIB, or empties the clipboard for an empty block.
void PutOnClipboard(const Bytes& block) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  if (!block.empty()) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, block.size());
    memcpy(GlobalLock(memory), block.data(), block.size());
    GlobalUnlock(memory);
    EXPECT_NE(SetClipboardData(CF_DIB, memory), nullptr);
  }
  CloseClipboard();
}

// An 8-bit packed DIB of 16 colours: every pixel index 3, the top-left one index 0.
Bytes SixteenColourDib(int32_t width, int32_t height) {
  const size_t row = (static_cast<size_t>(width) + 3) / 4 * 4;
  Bytes block = test::Cat({test::Le32(40), test::Le32(static_cast<uint32_t>(width)),
                           test::Le32(static_cast<uint32_t>(height)), test::Le16(1), test::Le16(8),
                           test::Le32(0), test::Le32(0), test::Le32(0), test::Le32(0),
                           test::Le32(16), test::Le32(0)});
  for (uint8_t i = 0; i < 16; ++i) block.insert(block.end(), {uint8_t(16 * i), 0, 0, 0});
  const size_t pixels = block.size();
  block.resize(pixels + row * static_cast<size_t>(height), 3);
  block[pixels + row * static_cast<size_t>(height - 1)] = 0;
  return block;
}

void Command(const TMainForm& form, std::string_view item) {
  const shell::MenuEntry* entry = shell::FindMenuItem(item);
  ASSERT_NE(entry, nullptr) << item;
  SendMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(shell::MenuCommandId(*entry), 0), 0);
}

bool PasteEnabled(const TMainForm& form) {
  const UINT state = GetMenuState(GetMenu(form.hwnd()),
                                  shell::MenuCommandId(*shell::FindMenuItem("MnPaste")),
                                  MF_BYCOMMAND);
  return state != 0xFFFFFFFF && !(state & (MF_GRAYED | MF_DISABLED));
}

void ClickWindow(const TMainForm& form, int x, int y) {
  SendMessageW(form.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(form.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

class MainFormOverlay : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteBytes(item_, test::ItemPictureFile(7));
    form_.OpenPicture(item_);
    ASSERT_FALSE(form_.State().CurrentImage.Empty());
  }
  void TearDown() override { PutOnClipboard({}); }

  test::TempDir folder_;
  const std::string item_ = folder_.File("Item01.bin");
  RecordingStarter starter_;
  const BoxCloser boxes_;
  TMainForm form_{starter_};
};

TEST_F(MainFormOverlay, PasteIsEnabledWhenTheMenuBarActivatesExactlyWhileTheClipboardHoldsADib) {
  PutOnClipboard({});
  SendMessageW(form_.hwnd(), WM_INITMENU, reinterpret_cast<WPARAM>(GetMenu(form_.hwnd())), 0);
  EXPECT_FALSE(PasteEnabled(form_));
  PutOnClipboard(SixteenColourDib(8, 8));
  SendMessageW(form_.hwnd(), WM_INITMENU, reinterpret_cast<WPARAM>(GetMenu(form_.hwnd())), 0);
  EXPECT_TRUE(PasteEnabled(form_));
}

TEST_F(MainFormOverlay, APastedPictureWaitsAsTheRectangleAndAClickOnTheWindowLaysIt) {
  PutOnClipboard(SixteenColourDib(24, 16));
  Command(form_, "MnPaste");
  ASSERT_TRUE(form_.OverlayShape().Visible());
  EXPECT_EQ(form_.OverlayShape().Bounds(), (shell::ShapeBounds{0, 0, 24, 16}));
  EXPECT_EQ(form_.State().PendingImage.info.size(), 40u + 64);

  // The release of a press made elsewhere (a double click that closed a dialog) lays nothing.
  SendMessageW(form_.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
  EXPECT_TRUE(form_.OverlayShape().Visible());

  // A zoom change rescales it.
  Command(form_, "Mn200");
  EXPECT_EQ(form_.OverlayShape().Bounds(), (shell::ShapeBounds{0, 0, 48, 32}));
  Command(form_, "Mn100");

  ClickWindow(form_, 300, 300);
  EXPECT_FALSE(form_.OverlayShape().Visible());
  EXPECT_TRUE(form_.State().PendingImage.Empty());
  const DibImage& shown = form_.State().CurrentImage;
  ASSERT_EQ(shown.BitCount(), 24);
  EXPECT_EQ(Caption(form_.hwnd()), "QelvaView Item01.bin (112x112x24)");
  // Top-left pixel: index 0, the item below shows; next to it index 3, blue 48.
  const size_t top = DibRowStride(112, 24) * 111;
  EXPECT_EQ(shown.bits[top + 3], 48);
  EXPECT_EQ(shown.bits[top + 4], 0);
  EXPECT_EQ(shown.bits[top + 5], 0);
}

TEST_F(MainFormOverlay, BlocksTheViewerDoesNotReadLeaveNothingWaiting) {
  Bytes topDown = SixteenColourDib(8, 8);
  WriteLe32(&topDown[8], static_cast<uint32_t>(-8));
  Bytes rle = SixteenColourDib(8, 8);
  WriteLe32(&rle[16], 1);
  Bytes shortBlock = SixteenColourDib(8, 8);
  shortBlock.resize(shortBlock.size() - 1);
  Bytes core = SixteenColourDib(8, 8);
  WriteLe32(&core[0], 12);
  for (const Bytes& block : {topDown, rle, shortBlock, core, Bytes(7, 0)}) {
    PutOnClipboard(block);
    Command(form_, "MnPaste");
    EXPECT_FALSE(form_.OverlayShape().Visible());
    EXPECT_TRUE(form_.State().PendingImage.Empty());
  }
  ClickWindow(form_, 300, 300);
  EXPECT_EQ(form_.State().CurrentImage.BitCount(), 8);
}

TEST_F(MainFormOverlay, ANewPictureDiscardsAWaitingOverlayAndATwentyFourBitOneIsNotLaid) {
  PutOnClipboard(SixteenColourDib(8, 8));
  Command(form_, "MnPaste");
  ASSERT_TRUE(form_.OverlayShape().Visible());
  form_.OpenPicture(item_);
  EXPECT_FALSE(form_.OverlayShape().Visible());
  EXPECT_TRUE(form_.State().PendingImage.Empty());

  // A 24-bit picture waits like any other, but the click only takes it away.
  Bytes full = test::Cat({test::Le32(40), test::Le32(2), test::Le32(2), test::Le16(1),
                          test::Le16(24), Bytes(24, 0), Bytes(16, 0xEE)});
  PutOnClipboard(full);
  Command(form_, "MnPaste");
  ASSERT_TRUE(form_.OverlayShape().Visible());
  ClickWindow(form_, 300, 300);
  EXPECT_FALSE(form_.OverlayShape().Visible());
  EXPECT_TRUE(form_.State().PendingImage.Empty());
  EXPECT_EQ(form_.State().CurrentImage.BitCount(), 8);
  EXPECT_EQ(Caption(form_.hwnd()), "QelvaView Item01.bin (112x112x8)");
}

// A background whose header names no cells decodes to a picture without pixels. The window
// shows it (its caption gives the size) rather than an error, and what can be done with such
// a picture either works or does nothing.
TEST_F(MainFormOverlay, APictureWithoutPixelsIsShownAndCopyAndOverlayLeaveIt) {
  for (const auto& [cellsWide, cellsHigh, caption] :
       {std::tuple{0, 5, "QelvaView bg01.bin (0x40x8)"}, std::tuple{5, 0, "QelvaView bg01.bin (40x0x8)"}}) {
    SCOPED_TRACE(caption);
    const std::string empty = folder_.File("bg01.bin");
    // The header's words are big-endian: layout 0 at bytes 2-3, then the cells wide and high.
    test::WriteBytes(empty, test::Cat({Bytes{0, 0, 0, 0, 0, uint8_t(cellsWide), 0, uint8_t(cellsHigh)},
                                       Bytes(8 + 512, 0)}));
    form_.OpenPicture(empty);
    EXPECT_EQ(Caption(form_.hwnd()), caption);
    EXPECT_EQ(form_.State().CurrentImage.Width(), 8 * cellsWide);
    EXPECT_EQ(form_.State().CurrentImage.Height(), 8 * cellsHigh);

    Command(form_, "Mn300");
    EXPECT_EQ(Caption(form_.hwnd()), caption);
    Command(form_, "Mn100");
    Command(form_, "MnCopy");
    PutOnClipboard(SixteenColourDib(8, 8));
    Command(form_, "MnPaste");
    ClickWindow(form_, 100, 100);
    EXPECT_EQ(form_.State().CurrentImage.BitCount(), 8);
    EXPECT_EQ(Caption(form_.hwnd()), caption);
  }
  // The next picture is shown as usual.
  form_.OpenPicture(item_);
  EXPECT_EQ(Caption(form_.hwnd()), "QelvaView Item01.bin (112x112x8)");
}

}  // namespace
}  // namespace qelva::win32
#endif  // _WIN32
