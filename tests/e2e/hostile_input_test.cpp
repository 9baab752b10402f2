// Hostile input from files and from the clipboard: whatever the viewer is given, it shows exactly
// our own decoder's message or refuses without a word, keeps the window, caption and picture it
// had, lays nothing, and keeps running.
//
// The files: every broken file of the sample folder (as the generator writes them, listed at run
// time) and every named file of the load_picture fuzz corpus (its seeds and findings; the inputs
// libFuzzer added, named by their hash, are left to the replay tests) that our own decoder
// refuses with a failure. A corpus file is a recipe: byte 0 modulo 12 picks the game name, byte 1 (signed) the
// archive entry, the rest is the file; sprite archives get the same bytes as their "ending.bin".
// Each is opened on the command line, through File > Open over a shown picture, and through File >
// Open as an addition over a shown picture; the two dialog routes run many files in one process.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "decode/archive.h"
#include "harness/clipboard.h"
#include "harness/save_dialog.h"
#include "harness/viewer_test.h"
#include "shell/main_menu.h"

namespace qelva::e2e {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kChooserListId = 101;
// How long a refusal without a word is given to show a box after all.
constexpr Millis kNoBoxWait = 1500ms;

constexpr const char* kCorpusNames[] = {
    "item01.bin", "iclog01.bin", "kabe01.bin", "eye1.bin",   "bg01.bin",   "ge_cg.bin",
    "omall.dat",  "sa_cg.bin",   "ko_cg.bin",  "sa_spr.bin", "ge_spr.bin", "ma_spr.bin",
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A file to open, and the entry to ask for when it is an archive.
struct HostileFile {
  std::string label;
  std::wstring path;      // full Windows path
  std::wstring name;      // its file name
  std::optional<ArchiveId> archive;
  int32_t entry = 0;      // 0: the chooser asks, and its first item is taken
  bool onlyFailures = false;  // corpus files: only those our decoder refuses with a failure
};

int EntryCount(const HostileFile& file) {
  return file.archive ? ArchiveEntryCount(*file.archive) : 0;
}

// What the viewer must do with a file asked for at an entry: show this text in its box, or
// (empty) nothing at all. Nothing when it is no refusal: our decoder shows the file.
std::optional<std::wstring> ExpectedRefusal(const HostileFile& file, int32_t entry) {
  const Decoded decoded = DecodeSample(file.path, entry);
  if (!decoded.image.Empty()) return std::nullopt;
  if (!decoded.failure.empty()) return Widen(decoded.failure) + L".";
  if (file.onlyFailures) return std::nullopt;
  return Widen(decoded.shownMessage);
}

// The broken files of the sample folder, each archive at the first of its entries our decoder
// refuses.
std::vector<HostileFile> BrokenSampleFiles() {
  std::vector<HostileFile> files;
  const std::wstring folder = SamplePath(L"broken");
  std::vector<std::wstring> names = FolderNames(folder);
  std::sort(names.begin(), names.end());
  for (const std::wstring& name : names) {
    HostileFile file;
    file.label = "broken\\" + Narrow(name);
    file.path = folder + L"\\" + name;
    file.name = name;
    file.archive = IdentifyArchive(Lower(Narrow(name)));
    for (int32_t e = 0; e < EntryCount(file); ++e) {
      if (ExpectedRefusal(file, e)) {
        file.entry = e;
        break;
      }
    }
    files.push_back(file);
  }
  return files;
}

// Whether a corpus file is one libFuzzer added: its name is the 40 hexadecimal digits of a hash.
bool IsAddedByTheFuzzer(const std::wstring& name) {
  return name.size() == 40 && std::all_of(name.begin(), name.end(), [](wchar_t c) {
           return std::iswdigit(c) || (c >= L'a' && c <= L'f');
         });
}

// The named corpus files our decoder refuses with a failure, each written into a folder of its
// own.
std::vector<HostileFile> HostileCorpusFiles(size_t& corpusSize) {
  std::vector<HostileFile> files;
  corpusSize = 0;
  const std::wstring corpus = TestEnvironment().fuzzCorpus;
  std::vector<std::wstring> names = FolderNames(corpus);
  std::sort(names.begin(), names.end());
  for (const std::wstring& recipeName : names) {
    if (IsAddedByTheFuzzer(recipeName)) continue;
    const auto recipe = ReadFileBytes(corpus + L"\\" + recipeName);
    if (!recipe) continue;
    ++corpusSize;
    if (recipe->size() < 2) continue;  // no name and entry: the fuzz target passes it over
    const std::string name = kCorpusNames[(*recipe)[0] % std::size(kCorpusNames)];
    const std::vector<uint8_t> contents(recipe->begin() + 2, recipe->end());
    HostileFile file;
    file.entry = static_cast<int8_t>((*recipe)[1]);
    file.name = Widen(name);
    file.label = "corpus " + Narrow(recipeName) + " as " + name + " entry " +
                 std::to_string(file.entry);
    file.onlyFailures = true;
    file.archive = IdentifyArchive(name);
    // A short folder name: the path is typed whole into the dialogs.
    const std::wstring folder = FreshFolder(L"h" + std::to_wstring(files.size()));
    file.path = folder + L"\\" + file.name;
    if (!WriteFileBytes(file.path, contents)) continue;
    if (name.find("_spr.bin") != std::string::npos)
      WriteFileBytes(folder + L"\\ending.bin", contents);
    if (ExpectedRefusal(file, file.entry)) {
      files.push_back(file);
    } else {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    }
  }
  return files;
}

// A window as it stood before: caption, size, every client pixel.
struct WindowState {
  std::wstring caption;
  SIZE size{};
  Shot client;
};

SIZE SizeOf(const RECT& r) { return {r.right - r.left, r.bottom - r.top}; }

WindowState StateOf(HWND main) {
  return {TextOf(main), SizeOf(WindowRectOf(main)), CaptureClient(main)};
}

::testing::AssertionResult Unchanged(HWND main, const WindowState& before) {
  SyncWith(main);
  const std::wstring caption = TextOf(main);
  if (caption != before.caption) {
    return ::testing::AssertionFailure()
           << "the caption is \"" << Narrow(caption) << "\", it was \"" << Narrow(before.caption)
           << "\"";
  }
  const SIZE size = SizeOf(WindowRectOf(main));
  if (size.cx != before.size.cx || size.cy != before.size.cy) {
    return ::testing::AssertionFailure() << "the window is " << size.cx << "x" << size.cy
                                         << ", it was " << before.size.cx << "x" << before.size.cy;
  }
  if (OverlayShown(main)) {
    const RECT r = OverlayRect(main);
    return ::testing::AssertionFailure() << "an overlay rectangle is shown at (" << r.left << ", "
                                         << r.top << ")-(" << r.right << ", " << r.bottom << ")";
  }
  // The box closed over the window a moment ago: the window gets time to paint again.
  Shot now;
  WaitUntil(
      [&] {
        now = CaptureClient(main);
        return now.width == before.client.width && now.height == before.client.height &&
               now.pixels == before.client.pixels;
      },
      5s, 100ms);
  if (now.width != before.client.width || now.height != before.client.height)
    return ::testing::AssertionFailure() << "the client area changed its size";
  long differ = 0;
  for (size_t i = 0; i < now.pixels.size(); ++i) differ += now.pixels[i] != before.client.pixels[i];
  if (differ > 0)
    return ::testing::AssertionFailure() << differ << " client pixels differ from before";
  return ::testing::AssertionSuccess();
}

class HostileInput : public ViewerTest {
 protected:
  // The chooser of the archive: the item of `entry` selected and OK pressed.
  static ::testing::AssertionResult ChooseEntry(DWORD process, const HostileFile& file,
                                                int32_t entry) {
    HWND chooser = WaitForTopLevel(kDialogClass, file.name + L"からロード", process, 10s);
    if (chooser == nullptr)
      return ::testing::AssertionFailure() << "no archive chooser for " << Narrow(file.name);
    SyncWith(chooser);
    HWND list = GetDlgItem(chooser, kChooserListId);
    if (list == nullptr) return ::testing::AssertionFailure() << "the chooser has no list";
    SendMessageW(list, LB_SETSEL, TRUE, entry);
    ClickButton(GetDlgItem(chooser, IDOK));
    if (!WaitUntilGone(chooser)) return ::testing::AssertionFailure() << "the chooser stayed";
    return ::testing::AssertionSuccess();
  }

  // The box saying `text` comes, and goes with its OK button; with no text, no box comes.
  static ::testing::AssertionResult RefusedSaying(DWORD process, const std::wstring& text) {
    if (text.empty()) {
      HWND box = WaitForMessageBox(process, kNoBoxWait);
      if (box == nullptr) return ::testing::AssertionSuccess();
      const std::wstring said = MessageBoxText(box);
      ClickButton(GetDlgItem(box, IDOK));
      WaitUntilGone(box);
      return ::testing::AssertionFailure()
             << "a box says \"" << Narrow(said) << "\" where our decoder refuses without a word";
    }
    HWND box = WaitForMessageBox(process);
    if (box == nullptr) {
      std::string others;
      for (HWND dialog : TopLevelWindows(kDialogClass, process))
        others.append(" \"").append(Narrow(TextOf(dialog))).append("\"");
      return ::testing::AssertionFailure()
             << "no box captioned " << Narrow(kApplicationTitle) << " came (other dialogs:"
             << (others.empty() ? std::string(" none") : others) << "); expected \""
             << Narrow(text) << "\"";
    }
    const std::wstring said = MessageBoxText(box);
    HWND ok = GetDlgItem(box, IDOK);
    if (ok != nullptr) ClickButton(ok);
    if (!WaitUntilGone(box)) return ::testing::AssertionFailure() << "the box stayed after OK";
    if (said != text) {
      return ::testing::AssertionFailure()
             << "the box says \"" << Narrow(said) << "\", our decoder \"" << Narrow(text) << "\"";
    }
    return ::testing::AssertionSuccess();
  }

  // A file opened on the command line of a viewer of its own.
  void OpenOnTheCommandLine(const HostileFile& file, const WindowState& untitled) {
    SCOPED_TRACE(file.label + " on the command line");
    const auto expected = ExpectedRefusal(file, file.entry);
    ASSERT_TRUE(expected) << "our decoder shows this file";
    std::vector<std::wstring> args = {file.path};
    if (file.entry != 0) args.push_back(L"/" + std::to_wstring(file.entry));
    ViewerProcess viewer(args);
    ASSERT_TRUE(viewer.Started()) << Narrow(viewer.Failure());
    if (file.archive && file.entry == 0) {
      ASSERT_TRUE(ChooseEntry(viewer.Id(), file, 0));
    }
    EXPECT_TRUE(RefusedSaying(viewer.Id(), *expected));
    HWND main = viewer.WaitForMainWindow();
    ASSERT_NE(main, nullptr) << (viewer.Running() ? "no main window" : "the process has ended");
    BringToFront(main);
    EXPECT_TRUE(Unchanged(main, untitled));
    EXPECT_TRUE(viewer.Running()) << "the file ended the program";
  }

  // The untitled window a viewer started without a file shows.
  WindowState UntitledWindow() {
    ViewerProcess viewer({});
    HWND main = viewer.WaitForMainWindow();
    EXPECT_NE(main, nullptr);
    if (main == nullptr) return {};
    BringToFront(main);
    SyncWith(main);
    // Brought to the front, the window paints: its caption and nothing but its background.
    WindowState state;
    const bool painted = WaitUntil(
        [&] {
          state = StateOf(main);
          return state.caption == kUntitled && !state.client.pixels.empty() &&
                 std::all_of(state.client.pixels.begin(), state.client.pixels.end(),
                             [](uint32_t p) { return p == WindowBackground(); });
        },
        5s, 50ms);
    EXPECT_TRUE(painted) << "the untitled window shows more than its background";
    return state;
  }

  enum class Route { kOpen, kAddition };

  // The files through one of the dialog routes, over Item01.bin, as many in one process as the
  // viewer's remembered archive entry allows: an archive entry that failed to load is taken for
  // the next archive without asking, so a file that entry would show starts a fresh process.
  void OpenThroughTheDialogs(Route route, const std::vector<HostileFile>& files) {
    const Decoded base = DecodeSample(L"Item01.bin");
    ASSERT_FALSE(base.image.Empty()) << base.failure;
    std::unique_ptr<ViewerProcess> viewer;
    HWND main = nullptr;
    WindowState before;
    int32_t entryIndex = 0;  // the viewer's, as our reading of its rules has it
    int processes = 0, opened = 0, passed = 0;
    auto startViewer = [&] {
      viewer = std::make_unique<ViewerProcess>(std::vector<std::wstring>{L"Item01.bin"});
      ++processes;
      main = viewer->WaitForMainWindow();
      if (main == nullptr) return false;
      if (WaitForCaption(main, CaptionFor(base)) != CaptionFor(base)) return false;
      BringToFront(main);
      entryIndex = 0;
      if (!ShowsPictureAt(main, base.image, 1)) return false;
      before = StateOf(main);
      return true;
    };
    ASSERT_TRUE(startViewer());

    for (const HostileFile& file : files) {
      SCOPED_TRACE(file.label + (route == Route::kOpen ? " through Open" : " as an addition"));
      // In the dialog an entry is chosen from the list: one the archive has.
      const int32_t wanted = file.entry >= 0 && file.entry < EntryCount(file) ? file.entry : 0;
      auto entryUsed = [&] { return entryIndex != 0 ? entryIndex : wanted; };
      auto expected = ExpectedRefusal(file, file.archive ? entryUsed() : 0);
      if (!expected && file.archive && entryIndex != 0) {
        ASSERT_TRUE(startViewer());
        expected = ExpectedRefusal(file, wanted);
      }
      if (!expected) {
        std::printf("  %s: shown by our decoder at entry %d; not opened by this route\n",
                    file.label.c_str(), wanted);
        continue;
      }
      ++opened;
      const DWORD process = viewer->Id();
      const std::vector<HWND> dialogs = TopLevelWindows(kDialogClass, process);
      ASSERT_TRUE(Keys(main, {"alt+f", route == Route::kOpen ? "o" : "m"}));
      HWND dialog = WaitForNewDialog(process, dialogs);
      ASSERT_NE(dialog, nullptr) << "no open dialog";
      SaveDialog controls;
      ASSERT_TRUE(FindSaveDialogControls(dialog, controls));
      SendMessageW(controls.name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.path.c_str()));
      ClickButton(GetDlgItem(dialog, IDOK));
      ASSERT_TRUE(WaitUntilGone(dialog)) << "the open dialog stayed";
      const int32_t used = file.archive ? entryUsed() : 0;
      if (file.archive && entryIndex == 0) {
        ASSERT_TRUE(ChooseEntry(process, file, wanted));
        entryIndex = wanted;
      }
      const bool refused = RefusedSaying(process, *expected);
      EXPECT_TRUE(refused) << "asked for entry " << used;
      const bool kept = Unchanged(main, before);
      EXPECT_TRUE(kept);
      ASSERT_TRUE(viewer->Running()) << "the file ended the program";
      passed += refused && kept;
      if (!kept) {
        ASSERT_TRUE(startViewer());  // a fresh picture for the next file
      }
    }
    // The process still does its work: a good file opens.
    const Decoded good = DecodeSample(L"Kabe01.bin");
    ASSERT_TRUE(route == Route::kOpen ? OpenThroughDialog(main, L"Kabe01.bin")
                                      : AddOpenWithMenu(main, SamplePath(L"Kabe01.bin")));
    if (route == Route::kOpen) {
      EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(good))), Narrow(CaptionFor(good)));
    } else {
      EXPECT_TRUE(OverlayComesAt(main, {0, 0, good.image.Width(), good.image.Height()}));
    }
    std::printf("  %d of %zu files opened by this route in %d processes, %d refused as expected\n",
                opened, files.size(), processes, passed);
  }
};

std::vector<HostileFile> AllHostileFiles() {
  std::vector<HostileFile> files = BrokenSampleFiles();
  size_t corpusSize = 0;
  const std::vector<HostileFile> corpus = HostileCorpusFiles(corpusSize);
  std::printf("%zu broken sample files; %zu of %zu named corpus files in %s are refused with a failure\n",
              files.size(), corpus.size(), corpusSize, Narrow(TestEnvironment().fuzzCorpus).c_str());
  std::fflush(stdout);
  files.insert(files.end(), corpus.begin(), corpus.end());
  for (const HostileFile& file : files)
    std::printf("  %s%s\n", file.label.c_str(),
                file.archive ? (" (entry " + std::to_string(file.entry) + ")").c_str() : "");
  return files;
}

TEST_F(HostileInput, EveryBrokenFileOnTheCommandLineLeavesAnUntitledWindowAndTheProcessRunning) {
  const auto start = Clock::now();
  const UnmanagedViewerWindows unmanaged;
  const std::vector<HostileFile> files = AllHostileFiles();
  ASSERT_FALSE(files.empty());
  const WindowState untitled = UntitledWindow();
  ASSERT_EQ(Narrow(untitled.caption), Narrow(kUntitled));
  for (const HostileFile& file : files) OpenOnTheCommandLine(file, untitled);
  std::printf("  %zu files in %.1f s\n", files.size(), SecondsSince(start));
}

TEST_F(HostileInput, EveryBrokenFileChosenInTheOpenDialogKeepsTheShownPicture) {
  const auto start = Clock::now();
  const UnmanagedViewerWindows unmanaged;
  OpenThroughTheDialogs(Route::kOpen, AllHostileFiles());
  std::printf("  in %.1f s\n", SecondsSince(start));
}

// With Wine's "Managed"="N" for the viewer, the test program ended without a word when it typed
// Alt+F, M here (Wine 8.0): this route keeps the managed windows and their 2 s per dialog. So
// the files go through it in parts, every kAdditionParts-th file in each, one test a part: the
// shards of the end-to-end run (each a Wine of its own) take them side by side.
constexpr int kAdditionParts = 4;

class HostileAddition : public HostileInput, public ::testing::WithParamInterface<int> {};

TEST_P(HostileAddition, EveryBrokenFileOpenedAsAnAdditionLaysNothing) {
  const auto start = Clock::now();
  const std::vector<HostileFile> all = AllHostileFiles();
  std::vector<HostileFile> part;
  for (size_t i = static_cast<size_t>(GetParam()); i < all.size(); i += kAdditionParts)
    part.push_back(all[i]);
  ASSERT_FALSE(part.empty());
  OpenThroughTheDialogs(Route::kAddition, part);
  std::printf("  part %d of %d: %zu of %zu files in %.1f s\n", GetParam() + 1, kAdditionParts,
              part.size(), all.size(), SecondsSince(start));
}

INSTANTIATE_TEST_SUITE_P(Parts, HostileAddition, ::testing::Range(0, kAdditionParts),
                         [](const ::testing::TestParamInfo<int>& part) {
                           return "Part" + std::to_string(part.param + 1) + "Of" +
                                  std::to_string(kAdditionParts);
                         });

// ---- The clipboard ---------------------------------------------------------------------------

uint32_t Le32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

enum class Verdict { kRefused, kTaken };

// What the viewer must make of a block, by the rules of the blocks it lays: 40- and 64-byte
// headers, no compression, 1, 4, 8 or 24 bits, a positive width and height (bottom-up rows), at
// most 256 colours, rows of at most 4 GiB, a declared image size of 0 or at least the rows'
// length, and the header, the table and the rows all inside the block.
Verdict VerdictOf(const Bytes& b, LONG& width, LONG& height) {
  if (b.size() < kDibHeaderSize) return Verdict::kRefused;
  const uint32_t headerSize = Le32(b, 0);
  if (headerSize != 40 && headerSize != 64) return Verdict::kRefused;
  const int32_t w = static_cast<int32_t>(Le32(b, dib_field::kWidth));
  const int32_t h = static_cast<int32_t>(Le32(b, dib_field::kHeight));
  const uint16_t bits = Le16(b, dib_field::kBitCount);
  if (Le32(b, dib_field::kCompression) != kBiRgb) return Verdict::kRefused;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return Verdict::kRefused;
  if (w <= 0 || h <= 0) return Verdict::kRefused;
  uint64_t colours = Le32(b, dib_field::kColoursUsed);
  if (colours == 0 && bits != 24) colours = uint64_t{1} << bits;
  if (colours > 256) return Verdict::kRefused;
  const uint64_t rows = DibRowStride(w, bits) * static_cast<uint64_t>(h);
  const uint64_t imageSize = Le32(b, dib_field::kImageSize);
  if (rows > 0xFFFFFFFFu || (imageSize != 0 && imageSize < rows)) return Verdict::kRefused;
  if (b.size() < headerSize + 4 * colours + rows) return Verdict::kRefused;
  width = w;
  height = h;
  return Verdict::kTaken;
}

struct RandomBlock {
  std::string recipe;
  Bytes bytes;
};

// Random bytes of random length, and valid blocks with a header field set at random or cut
// short at random.
std::vector<RandomBlock> RandomBlocks(uint32_t seed) {
  std::mt19937 rng(seed);
  auto below = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); };
  std::vector<RandomBlock> blocks;
  for (int i = 0; i < 200; ++i) {
    Bytes b(below(4097));
    for (uint8_t& byte : b) byte = static_cast<uint8_t>(below(256));
    // Half of them with a header size the viewer reads, so they get past the first check.
    if (i % 2 == 1 && b.size() >= 4) Put32(b, 0, i % 4 == 1 ? 40 : 64);
    blocks.push_back({"random " + std::to_string(b.size()) + " bytes", std::move(b)});
  }
  const IndexedPicture p = DrawnPattern(38, 24, 16);
  const std::vector<Bytes> valid = {EightBitDib(p), EightBitDib(p, 64, 0xA5),
                                    EightBitDib(DrawnPattern(9, 5, 256))};
  constexpr size_t kFields[] = {dib_field::kSize,        dib_field::kWidth,
                                dib_field::kHeight,      dib_field::kBitCount,
                                dib_field::kCompression, dib_field::kImageSize,
                                dib_field::kColoursUsed};
  const uint32_t edges[] = {0, 1, 2, 4, 8, 16, 24, 32, 40, 64, 255, 256, 257,
                            0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x10000, 0x40000000};
  for (int i = 0; i < 200; ++i) {
    Bytes b = valid[below(static_cast<uint32_t>(valid.size()))];
    std::string recipe = "a valid block of " + std::to_string(b.size()) + " bytes";
    const int changes = 1 + static_cast<int>(below(3));
    for (int c = 0; c < changes; ++c) {
      if (below(3) == 0) {
        const size_t cut = below(static_cast<uint32_t>(b.size()) + 1);
        b.resize(cut);
        recipe += ", cut to " + std::to_string(cut);
        continue;
      }
      const size_t field = kFields[below(std::size(kFields))];
      const uint32_t value = below(2) ? edges[below(std::size(edges))] : static_cast<uint32_t>(rng());
      if (field + 4 > b.size()) continue;
      if (field == dib_field::kBitCount) {
        b[field] = static_cast<uint8_t>(value);
        b[field + 1] = static_cast<uint8_t>(value >> 8);
      } else {
        Put32(b, field, value);
      }
      recipe += ", field at " + std::to_string(field) + " = " + std::to_string(value);
    }
    blocks.push_back({recipe, std::move(b)});
  }
  return blocks;
}

// The 400 blocks in two parts, every other block in each (both kinds of recipe in both), one test
// a part, for the shards of the run to take side by side.
constexpr int kBlockParts = 2;

class HostileBlocks : public HostileInput, public ::testing::WithParamInterface<int> {};

TEST_P(HostileBlocks, RandomClipboardBlocksLayOnlyWhatIsValidAndNeverChangeThePicture) {
  const auto start = Clock::now();
  constexpr uint32_t kSeed = 20240611;
  std::printf("random blocks from seed %u, part %d of %d\n", kSeed, GetParam() + 1, kBlockParts);
  Decoded item;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(ShowsPictureAt(main, item.image, 1));
  const WindowState before = StateOf(main);
  int taken = 0, refused = 0;
  const std::vector<RandomBlock> blocks = RandomBlocks(kSeed);
  for (size_t i = static_cast<size_t>(GetParam()); i < blocks.size(); i += kBlockParts) {
    const RandomBlock& block = blocks[i];
    SCOPED_TRACE(block.recipe);
    LONG width = 0, height = 0;
    const Verdict verdict = VerdictOf(block.bytes, width, height);
    ASSERT_TRUE(PutOnClipboard(CF_DIB, block.bytes));
    ASSERT_TRUE(PasteWithMenu(main, 30));
    ASSERT_TRUE(ProcessOf(main) != 0 && IsWindow(main)) << "the paste ended the program";
    if (verdict == Verdict::kRefused) {
      ++refused;
      EXPECT_TRUE(Unchanged(main, before));
      continue;
    }
    ++taken;
    EXPECT_TRUE(OverlayComesAt(main, {0, 0, width, height}, 3s)) << "a valid block is not laid";
    // Whatever waits is discarded by opening the picture again, unlaid.
    const XRun drop = DropFiles(main, ScreenPointOf(main, {4, 4}), {SamplePath(L"Item01.bin")});
    ASSERT_EQ(drop.status, 0) << drop.output;
    ASSERT_TRUE(OverlayGoes(main));
    EXPECT_TRUE(Unchanged(main, before));
  }
  std::printf("  %d blocks refused, %d laid, in %.1f s\n", refused, taken, SecondsSince(start));
  // The recipes must reach both answers, or the test says nothing about one of them.
  EXPECT_GT(refused, 0);
  EXPECT_GT(taken, 0);
}

INSTANTIATE_TEST_SUITE_P(Parts, HostileBlocks, ::testing::Range(0, kBlockParts),
                         [](const ::testing::TestParamInfo<int>& part) {
                           return "Part" + std::to_string(part.param + 1) + "Of" +
                                  std::to_string(kBlockParts);
                         });

}  // namespace
}  // namespace qelva::e2e
