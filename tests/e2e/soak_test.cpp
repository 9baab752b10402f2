// One viewer process through cycles of open, zoom, lay a picture and save (a thousand unless
// --soak-cycles says otherwise), its memory and GDI objects measured from outside before, every
// 100 cycles and after: neither may grow once the first cycles have warmed up the program (and
// the common dialog's caches).
//
// The fast route, with no hook in the viewer: each picture is dropped on the window through the
// X drag-and-drop protocol (as a file manager drops it); zoom, paste and save are the WM_COMMAND
// messages the menu items send, posted to the main window; the click that lays the picture is
// the button-down and button-up messages a click on the main window makes, posted; the save
// dialog is filled through its file-name field and its Save button. Real menu keys and mouse
// input are covered by the other suites. Wine's X11 driver is told not to leave the viewer's
// windows to a window manager (none runs): a closing managed dialog otherwise waits 2 s for a
// withdrawal that never comes, and with it every cycle saves.
//
// Its own gtest suite, Soak, and its own CTest entries with their own Wine prefixes: 300 cycles
// in viewer_soak_wine, a thousand in viewer_soak_long_wine (label "soak"); the other entries
// leave it out. What the shorter run still catches: the readings allow 3 GDI objects and 4 MB of
// working set of growth over the 200 cycles after the warm-up, so one GDI object a cycle shows,
// and so does any leak of 21 KB a cycle or more, such as the 37 KB of the 24-bit picture each
// cycle composes; the thousand cycles catch 5 KB a cycle.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "harness/clipboard.h"
#include "harness/environment.h"
#include "harness/process_resources.h"
#include "harness/save_dialog.h"
#include "harness/viewer_test.h"
#include "shell/main_menu.h"

namespace qelva::e2e {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMeasureEvery = 100;
// Cycles after which the program has made its lasting objects (the common dialog's image lists
// and icons, the clipboard's, the fonts of the first box).
constexpr int kWarmUp = 100;
// Bounds on growth from the end of the warm-up to the end.
constexpr long kGdiSlack = 3;
constexpr uint64_t kWorkingSetSlack = 4u << 20;
constexpr uint64_t kVirtualSizeSlack = 8u << 20;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

UINT CommandOf(const char* itemName) {
  const shell::MenuEntry* item = shell::FindMenuItem(itemName);
  return item == nullptr ? 0 : shell::MenuCommandId(*item);
}

std::wstring CaptionWithBits(const Decoded& picture, int bits) {
  return L"QelvaView " + Widen(picture.name) + L" (" + std::to_wstring(picture.image.Width()) +
         L"x" + std::to_wstring(picture.image.Height()) + L"x" + std::to_wstring(bits) + L")";
}

struct Sample {
  int cycle = 0;  // measured after this many cycles
  ProcessMemory memory;
  long gdi = 0;
};

::testing::AssertionResult Measure(DWORD processId, int cycle, Sample& sample) {
  sample.cycle = cycle;
  const auto memory = MemoryOf(processId);
  if (!memory) return ::testing::AssertionFailure() << "no memory counters for the viewer";
  sample.memory = *memory;
  std::string failure;
  const auto gdi = GdiObjectsOf(processId, failure);
  if (!gdi) return ::testing::AssertionFailure() << "no GDI count for the viewer: " << failure;
  sample.gdi = gdi->count;
  return ::testing::AssertionSuccess();
}

void Print(const Sample& s) {
  std::printf("soak: after %4d cycles: GDI objects %4ld, working set %7.2f MB, virtual size "
              "%8.2f MB, private bytes %llu\n",
              s.cycle, s.gdi, s.memory.workingSet / 1048576.0, s.memory.virtualSize / 1048576.0,
              static_cast<unsigned long long>(s.memory.privateBytes));
  std::fflush(stdout);
}

class ProcessResources : public ViewerTest {};

// The counters the soak relies on are real: steady while the viewer idles, and they follow what
// the viewer surely makes. A picture at 400 % is a device bitmap of 448 x 448 screen pixels and a
// palette, held by the picture control, beyond what an empty window holds.
TEST_F(ProcessResources, CountersAreSteadyWhileIdleAndRiseWithAShownPicture) {
  HWND main = StartAndWaitForWindow({});
  ASSERT_NE(main, nullptr);
  const DWORD id = ProcessOf(main);
  Sample empty, again;
  ASSERT_TRUE(Measure(id, 0, empty));
  Sleep(500);
  ASSERT_TRUE(Measure(id, 0, again));
  std::string failure;
  const auto census = ReadGdiTable(id, failure);
  ASSERT_TRUE(census) << failure;
  std::printf("GDI table of the viewer at %#llx: %ld used entries, owner field: %ld this process, "
              "%ld others, %ld zero; GetGuiResources says %s\n",
              static_cast<unsigned long long>(census->tableAddress), census->used,
              census->ownedByProcess, census->ownedByOthers, census->ownerZero,
              GdiObjectsOf(id, failure)->source.c_str());
  const auto own = ReadGdiTable(GetCurrentProcessId(), failure);
  ASSERT_TRUE(own) << failure;
  std::printf("the test program's own table at %#llx: %ld used entries\n",
              static_cast<unsigned long long>(own->tableAddress), own->used);
  EXPECT_GT(empty.gdi, 0);
  EXPECT_EQ(again.gdi, empty.gdi) << "the GDI count changes while the viewer idles";
  EXPECT_GT(empty.memory.workingSet, 0u);
  EXPECT_GT(empty.memory.virtualSize, 0u);
  Print(empty);

  const Decoded item = DecodeSample(L"Item01.bin");
  ASSERT_FALSE(item.image.Empty()) << item.failure;
  const XRun drop = DropFiles(main, ScreenPointOf(main, {20, 20}), {SamplePath(L"Item01.bin")});
  ASSERT_EQ(drop.status, 0) << drop.output;
  ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(item))), Narrow(CaptionFor(item)));
  PostMessageW(main, WM_COMMAND, CommandOf("Mn400"), 0);
  ASSERT_TRUE(WaitUntil([&] { return PictureRect(main).right == 4 * item.image.Width(); }, 5s));
  SyncWith(main);
  Sample shown;
  ASSERT_TRUE(Measure(id, 0, shown));
  Print(shown);
  EXPECT_GE(shown.gdi, empty.gdi + 2) << "a shown picture holds at least a bitmap and a palette";
  EXPECT_GT(shown.memory.workingSet, empty.memory.workingSet);
  // Showing the picture again at the same zoom replaces its objects, not adds to them. A reading
  // from outside may catch the few objects one showing holds for a moment (the unenlarged bitmap,
  // two memory DCs), so one reading may differ by that much; five showings must not add up.
  auto reshow = [&](Sample& sample) {
    PostMessageW(main, WM_COMMAND, CommandOf("Mn400"), 0);
    SyncWith(main);
    return Measure(id, 0, sample);
  };
  Sample settled, reshown;
  ASSERT_TRUE(reshow(settled));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(reshow(reshown));
  constexpr long kOneShowingsObjects = 8;
  EXPECT_LE(std::labs(long(reshown.gdi) - long(settled.gdi)), kOneShowingsObjects)
      << "showing the picture again added objects: " << settled.gdi << " then " << reshown.gdi;
}

class Soak : public ViewerTest {
 protected:
  // Posts a menu command and waits until the window has handled it.
  static void Command(HWND main, const char* itemName) {
    PostMessageW(main, WM_COMMAND, CommandOf(itemName), 0);
    SyncWith(main);
  }

  // File > Save as through the dialog: the full name typed into its field, Save pressed; the
  // file must then be there, complete.
  static ::testing::AssertionResult SaveAs(HWND main, const std::wstring& name, size_t size) {
    const DWORD process = ProcessOf(main);
    const std::vector<HWND> before = TopLevelWindows(kDialogClass, process);
    PostMessageW(main, WM_COMMAND, CommandOf("MnSave"), 0);
    HWND dialog = WaitForNewDialog(process, before);
    if (dialog == nullptr) return ::testing::AssertionFailure() << "no save dialog came";
    SaveDialog controls;
    if (auto found = FindSaveDialogControls(dialog, controls); !found) return found;
    SendMessageW(controls.name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    ClickButton(GetDlgItem(dialog, IDOK));
    if (!WaitUntilGone(dialog)) return ::testing::AssertionFailure() << "the dialog stayed";
    // The dialog's window goes before the command has written the file: wait for it.
    std::optional<std::vector<uint8_t>> bytes;
    WaitUntil([&] { return (bytes = ReadFileBytes(name + L".bmp")) && bytes->size() == size; },
              5s, 5ms);
    if (!bytes) return ::testing::AssertionFailure() << "no file " << Narrow(name) << ".bmp";
    if (bytes->size() != size) {
      return ::testing::AssertionFailure()
             << Narrow(name) << ".bmp has " << bytes->size() << " bytes, not " << size;
    }
    return ::testing::AssertionSuccess();
  }
};

TEST_F(Soak, CyclesOfOpenZoomOverlayAndSaveLeaveMemoryAndGdiObjectsFlat) {
  const UnmanagedViewerWindows unmanaged;
  ASSERT_TRUE(unmanaged.Set()) << "the Wine setting for unmanaged windows could not be made";
  const std::vector<std::wstring> names = {L"Item01.bin", L"ITEM02.BIN"};
  std::vector<Decoded> pictures;
  for (const std::wstring& name : names) {
    pictures.push_back(DecodeSample(name));
    ASSERT_FALSE(pictures.back().image.Empty()) << pictures.back().failure;
  }
  const IndexedPicture laid = DrawnPattern(38, 24, 16);
  const Bytes laidBlock = EightBitDib(laid);
  const std::wstring folder = FreshFolder(L"soak");
  const std::wstring saved = folder + L"\\cycle";

  Decoded first;
  HWND main = ShowSample(names[0], first);
  ASSERT_NE(main, nullptr);
  const DWORD id = ProcessOf(main);
  std::vector<Sample> series(1);
  ASSERT_TRUE(Measure(id, 0, series[0]));
  Print(series[0]);

  const int kCycles = TestEnvironment().soakCycles;
  const auto start = Clock::now();
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    const Decoded& picture = pictures[static_cast<size_t>(cycle + 1) % pictures.size()];
    const int zoom = 1 + cycle % 4;

    const XRun drop = DropFiles(main, ScreenPointOf(main, {4, 4}), {SamplePath(Widen(
                                                                       picture.name))});
    ASSERT_EQ(drop.status, 0) << drop.output;
    ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(picture), 5s)), Narrow(CaptionFor(picture)));

    Command(main, zoom == 1 ? "Mn100" : zoom == 2 ? "Mn200" : zoom == 3 ? "Mn300" : "Mn400");
    const LONG side = picture.image.Width() * zoom;
    ASSERT_TRUE(WaitUntil([&] { return PictureRect(main).right == side; }, 5s, 5ms))
        << "the picture control is " << PictureRect(main).right << " wide at zoom " << zoom;

    ASSERT_TRUE(PutOnClipboard(CF_DIB, laidBlock));
    Command(main, "MnPaste");
    ASSERT_TRUE(OverlayComesAt(main, {0, 0, laid.width * zoom, laid.height * zoom}));
    // A click on the picture below the rectangle lays it.
    const LPARAM at = MAKELPARAM(side - 2, side - 2);
    PostMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(main, WM_LBUTTONUP, 0, at);
    SyncWith(main);
    ASSERT_TRUE(OverlayGoes(main));
    ASSERT_EQ(Narrow(WaitForCaption(main, CaptionWithBits(picture, 24), 5s)),
              Narrow(CaptionWithBits(picture, 24)));

    const std::wstring name = saved + std::to_wstring(cycle % 2);
    DeleteFileW((name + L".bmp").c_str());
    if (cycle == 0) {
      Sample beforeSave;
      ASSERT_TRUE(Measure(id, 0, beforeSave));
      std::printf("soak: in the first cycle, before its save: GDI objects %ld\n", beforeSave.gdi);
    }
    ASSERT_TRUE(SaveAs(main, name, 14 + 40 + DibRowStride(picture.image.Width(), 24) *
                                                 picture.image.Height()));

    // The first cycles, to see where the warm-up's objects come from.
    if (cycle + 1 == 1 || cycle + 1 == 2 || cycle + 1 == 10 || cycle + 1 == 50) {
      series.emplace_back();
      ASSERT_TRUE(Measure(id, cycle + 1, series.back()));
      Print(series.back());
    }
    if ((cycle + 1) % kMeasureEvery == 0) {
      // What the window shows is the composition, at the zoom.
      ColourPicture composed = ColoursOf(picture.image);
      LayOver(composed, laid, 0, 0);
      BringToFront(main);
      ::testing::AssertionResult shows = ::testing::AssertionFailure();
      WaitUntil(
          [&] {
            return static_cast<bool>(shows = ShowsColours(CaptureClient(main), composed, zoom,
                                                          {0, 0}, WindowBackground()));
          },
          5s, 200ms);
      EXPECT_TRUE(shows);
      series.emplace_back();
      ASSERT_TRUE(Measure(id, cycle + 1, series.back()));
      Print(series.back());
    }
  }
  const double seconds = SecondsSince(start);
  std::printf("soak: %d cycles in %.1f s (%.0f ms a cycle)\n", kCycles, seconds,
              1000 * seconds / kCycles);
  ASSERT_TRUE(IsWindow(main));

  // Idle for a moment, then the final reading.
  Sleep(1000);
  Sample after;
  ASSERT_TRUE(Measure(id, kCycles, after));
  std::printf("soak: after the run, idle:\n");
  Print(after);

  const Sample* warm = nullptr;
  for (const Sample& s : series)
    if (s.cycle == kWarmUp) warm = &s;
  ASSERT_NE(warm, nullptr);
  for (const Sample& s : series) {
    if (s.cycle < kWarmUp) continue;
    EXPECT_LE(s.gdi, warm->gdi + kGdiSlack) << "GDI objects after " << s.cycle << " cycles";
  }
  EXPECT_LE(after.gdi, warm->gdi + kGdiSlack);
  EXPECT_GE(after.gdi, warm->gdi - kGdiSlack);
  std::printf("soak: objects made in the warm-up: %ld\n", warm->gdi - series[0].gdi);
  EXPECT_LE(after.memory.workingSet, warm->memory.workingSet + kWorkingSetSlack);
  EXPECT_LE(after.memory.virtualSize, warm->memory.virtualSize + kVirtualSizeSlack);
}

}  // namespace
}  // namespace qelva::e2e
