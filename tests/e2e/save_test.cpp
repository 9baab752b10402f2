// The Save command: what each of the eight types writes (the converter's file, byte for byte),
// the extension the type forces, the overwrite question, the refusal of GIF for a full-colour
// picture, its uncompressed bitmap and its truecolour PNG, what the dialog keeps for the next
// use, and write errors.
//
// Every file is saved into a fresh folder of each test's own (under kSavedFilesRoot), named by its
// full path in the dialog's file-name field, so that it does not matter which folder the dialog
// shows.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/byte_order.h"
#include "harness/clipboard.h"
#include "harness/save_dialog.h"
#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

std::string Hex(uint32_t rgb) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", rgb);
  return text;
}

// Where two byte blocks first differ, for a failure message.
::testing::AssertionResult SameBytes(const std::optional<std::vector<uint8_t>>& got,
                                     const std::vector<uint8_t>& want) {
  if (!got) return ::testing::AssertionFailure() << "the file cannot be read";
  if (*got == want) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < got->size() && at < want.size() && (*got)[at] == want[at]) ++at;
  return ::testing::AssertionFailure() << got->size() << " bytes where " << want.size()
                                       << " are expected; the first difference at offset " << at;
}

class SaveTest : public ViewerTest {
 protected:
  void TearDown() override {
    ViewerTest::TearDown();
    if (putOnClipboard_ && OpenClipboard(nullptr)) {
      EmptyClipboard();
      CloseClipboard();
    }
  }

  // Opens the Save dialog with Alt+F, A and finds its controls.
  ::testing::AssertionResult OpenSaveDialog(HWND main, SaveDialog& dialog) {
    const DWORD process = ProcessOf(main);
    const std::vector<HWND> before = TopLevelWindows(kDialogClass, process);
    if (auto typed = Keys(main, {"alt+f", "a"}); !typed) return typed;
    HWND found = WaitForNewDialog(process, before);
    if (found == nullptr) return ::testing::AssertionFailure() << "no save dialog after Alt+F, A";
    SyncWith(found);
    return FindSaveDialogControls(found, dialog);
  }

  // In the save dialog: chooses the type, types the name and presses Return; succeeds once the
  // dialog has gone.
  static ::testing::AssertionResult SaveInDialog(const SaveDialog& dialog, int type,
                                                 const std::wstring& name) {
    if (auto filled = FillIn(dialog, type, name); !filled) return filled;
    if (const XRun run = KeysToFocus({"Return"}); run.status != 0)
      return ::testing::AssertionFailure() << "xdotool could not press Return: " << run.output;
    if (!WaitUntilGone(dialog.dialog)) {
      return ::testing::AssertionFailure()
             << "the save dialog stayed open after typing " << Narrow(name) << " and Return";
    }
    return ::testing::AssertionSuccess();
  }

  // File > Save as, type, name, Return.
  ::testing::AssertionResult SaveAs(HWND main, int type, const std::wstring& name) {
    SaveDialog dialog;
    if (auto opened = OpenSaveDialog(main, dialog); !opened) return opened;
    return SaveInDialog(dialog, type, name);
  }

  // Saves, and waits until the file is there and the window has finished the command.
  ::testing::AssertionResult SaveAndWaitForFile(HWND main, int type, const std::wstring& name,
                                                const std::wstring& expectedFile) {
    if (auto saved = SaveAs(main, type, name); !saved) return saved;
    const bool written = WaitUntil([&] { return FileExists(expectedFile); }, 10s);
    SyncWith(main);
    if (written) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "saving " << Narrow(name) << " as type " << type << " wrote no "
           << Narrow(expectedFile) << "; the folder holds: " << Listing(FolderOf(expectedFile));
  }

  // The converter's file for a sample; a failure is recorded when there is none.
  static std::vector<uint8_t> Reference(int type, const std::wstring& samplePath,
                                        int32_t entry = 0) {
    std::string failure;
    std::vector<uint8_t> bytes = ConverterOutput(type, samplePath, entry, failure);
    EXPECT_FALSE(bytes.empty()) << failure;
    return bytes;
  }

  // Shows a picture given on the command line and waits for its caption.
  HWND StartShowing(const std::vector<std::wstring>& arguments, const Decoded& picture) {
    HWND main = StartAndWaitForWindow(arguments);
    if (main == nullptr) return nullptr;
    EXPECT_EQ(Narrow(WaitForCaption(main, CaptionFor(picture))), Narrow(CaptionFor(picture)));
    BringToFront(main);
    return main;
  }

  // Waits for the warning box of the process.
  static HWND WaitForWarning(DWORD processId, Millis timeout = 10s) {
    HWND box = WaitForTopLevel(kDialogClass, kWarningTitle, processId, timeout);
    if (box != nullptr) SyncWith(box);
    return box;
  }

  static std::string Listing(const std::wstring& folder) {
    std::string text;
    for (const std::wstring& name : FolderNames(folder)) text.append(" ").append(Narrow(name));
    return text.empty() ? " nothing" : text;
  }

  static std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\'));
  }

  bool putOnClipboard_ = false;
};

// ---- every type writes the converter's file, under the type's extension -----------------------

struct ShownPicture {
  const char* label;
  std::wstring path;        // in the sample folder
  int32_t entry;            // for an archive: the entry chosen with "/N" on the command line
  std::wstring savedName;  // what the dialog first offers
};

// Each type under a name of its own, typed as a user may: with the other type's extension, with
// none, with a dot in a folder's name, with the type's own.
struct TypedName {
  int type;
  std::wstring typed;    // in the test's folder
  std::wstring written;  // the file that must come of it
};
const TypedName kTypedNames[kSaveTypeCount] = {
    {1, L"pic.gif", L"pic.bmp"},      {2, L"a.b\\rle", L"a.b\\rle.bmp"},
    {3, L"gif87.bmp", L"gif87.gif"},  {4, L"inter", L"inter.gif"},
    {5, L"pic", L"pic.gif"},          {6, L"trans.gif", L"trans.gif"},
    {7, L"pic.gif", L"pic.png"},      {8, L"trans.png", L"trans.png"}};

std::wstring FileNamePart(const std::wstring& path) {
  return path.substr(path.find_last_of(L'\\') + 1);
}

class SaveEachType : public SaveTest, public ::testing::WithParamInterface<ShownPicture> {};

TEST_P(SaveEachType, WritesTheConvertersFileUnderTheTypesExtension) {
  const ShownPicture& shown = GetParam();
  const Decoded picture = DecodeSample(shown.path, shown.entry);
  ASSERT_FALSE(picture.image.Empty()) << picture.failure;
  std::vector<std::wstring> arguments = {shown.path};
  if (shown.entry != 0) arguments.push_back(L"/" + std::to_wstring(shown.entry));
  HWND main = StartShowing(arguments, picture);
  ASSERT_NE(main, nullptr);
  const std::wstring folder = FreshFolder(Widen(shown.label));
  ASSERT_TRUE(CreateDirectoryW((folder + L"\\a.b").c_str(), nullptr));

  const TypedName* previous = nullptr;
  for (const TypedName& save : kTypedNames) {
    SCOPED_TRACE("type " + std::to_string(save.type) + " (" +
                 Narrow(kSaveTypeCaptions[save.type - 1]) + "), " + Narrow(save.typed));
    const std::vector<uint8_t> reference = Reference(save.type, shown.path, shown.entry);
    ASSERT_FALSE(reference.empty());
    SaveDialog dialog;
    ASSERT_TRUE(OpenSaveDialog(main, dialog));
    // The dialog offers the picture's name and the first type, then what was saved last.
    if (previous == nullptr) {
      const std::vector<std::wstring> captions = TypeCaptions(dialog);
      ASSERT_EQ(captions.size(), size_t{kSaveTypeCount});
      for (int i = 0; i < kSaveTypeCount; ++i)
        EXPECT_EQ(Narrow(captions[i]), Narrow(kSaveTypeCaptions[i])) << "type " << i + 1;
      EXPECT_EQ(Narrow(TextOf(dialog.name)), Narrow(shown.savedName));
      EXPECT_EQ(ChosenType(dialog), 1);
    } else {
      EXPECT_EQ(Narrow(TextOf(dialog.name)), Narrow(FileNamePart(previous->written)));
      EXPECT_EQ(ChosenType(dialog), previous->type);
    }
    const std::wstring file = folder + L"\\" + save.written;
    ASSERT_TRUE(SaveInDialog(dialog, save.type, folder + L"\\" + save.typed));
    ASSERT_TRUE(WaitUntil([&] { return FileExists(file); }, 10s))
        << "no " << Narrow(file) << "; the folder holds:" << Listing(folder)
        << "; a.b holds:" << Listing(folder + L"\\a.b");
    SyncWith(main);
    const auto bytes = ReadFileBytes(file);
    EXPECT_TRUE(SameBytes(bytes, reference));
    if (save.type >= 3 && save.type <= 6 && bytes && bytes->size() >= 6) {
      EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 6),
                save.type >= 5 ? "GIF89a" : "GIF87a");
    }
    if (save.type >= 7 && bytes && bytes->size() >= 8) {
      EXPECT_EQ(std::string(bytes->begin() + 1, bytes->begin() + 4), "PNG");
    }
    previous = &save;
  }
  // Nothing under the typed names, nothing beside the folder with a dot.
  std::vector<std::wstring> names = FolderNames(folder);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"a.b", L"gif87.gif", L"inter.gif", L"pic.bmp",
                                               L"pic.gif", L"pic.png", L"trans.gif",
                                               L"trans.png"}))
      << Listing(folder);
  EXPECT_EQ(FolderNames(folder + L"\\a.b"), std::vector<std::wstring>{L"rle.bmp"});
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(picture))) << "saving changed the caption";
}

INSTANTIATE_TEST_SUITE_P(
    SaveAllTypes, SaveEachType,
    ::testing::Values(ShownPicture{"TitlePicture", L"Kabe01.bin", 0, L"Kabe01"},
                      ShownPicture{"BromideEntryFive", L"omall.dat", 5, L"omall"}),
    [](const ::testing::TestParamInfo<ShownPicture>& param) {
      return std::string(param.param.label);
    });

// ---- overwriting asks first ------------------------------------------------------------------

TEST_F(SaveTest, AnExistingFileIsReplacedOnlyAfterOk) {
  const Decoded picture = DecodeSample(L"Item01.bin");
  HWND main = StartShowing({L"Item01.bin"}, picture);
  ASSERT_NE(main, nullptr);
  const DWORD process = ProcessOf(main);
  const std::wstring folder = FreshFolder(L"overwrite");
  const std::wstring file = folder + L"\\old.bmp";
  const std::string oldText = "an older picture file that must survive a cancel\r\n";
  const std::vector<uint8_t> old(oldText.begin(), oldText.end());
  ASSERT_TRUE(WriteFileBytes(file, old));

  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace ? "answered OK with Return" : "answered with the ｷｬﾝｾﾙ button");
    ASSERT_TRUE(SaveAs(main, 1, folder + L"\\old"));
    HWND box = WaitForWarning(process);
    ASSERT_NE(box, nullptr) << "no box captioned " << Narrow(kWarningTitle);
    EXPECT_EQ(Narrow(MessageBoxText(box)), "old.bmpは存在します\r\n上書きしますか？");
    const std::vector<HWND> buttons = ButtonsOf(box);
    ASSERT_EQ(buttons.size(), 2u);
    HWND ok = GetDlgItem(box, IDOK), cancel = GetDlgItem(box, IDCANCEL);
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(Narrow(TextOf(ok)), "OK");
    EXPECT_EQ(Narrow(TextOf(cancel)), "ｷｬﾝｾﾙ");
    if (replace) {
      ASSERT_TRUE(Keys(box, {"Return"}));
    } else {
      ClickButton(cancel);
    }
    ASSERT_TRUE(WaitUntilGone(box));
    SyncWith(main);
    if (replace) {
      EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(file) != old; }, 10s));
      SyncWith(main);
      EXPECT_TRUE(SameBytes(ReadFileBytes(file), Reference(1, L"Item01.bin")));
    } else {
      EXPECT_TRUE(SameBytes(ReadFileBytes(file), old)) << "ｷｬﾝｾﾙ changed the old file";
    }
    EXPECT_EQ(FolderNames(folder), std::vector<std::wstring>{L"old.bmp"}) << Listing(folder);
  }
}

// ---- a full-colour picture -------------------------------------------------------------------

// An 8-bit picture for the clipboard: four colours used, index 0 transparent, and some pixels of
// index 7, beyond the colour table, which the viewer leaves transparent too.
IndexedPicture LaidPicture() {
  IndexedPicture laid{24, 16, {}, {0x000000, 0xF00A14, 0x0AF01E, 0x141EE6}};
  for (int y = 0; y < laid.height; ++y) {
    for (int x = 0; x < laid.width; ++x) {
      const int v = (x / 3 + y / 2) % 5;
      laid.indices.push_back(v == 4 ? uint8_t{7} : static_cast<uint8_t>(v));
    }
  }
  return laid;
}

// The bitmap file is an uncompressed 24-bit one of these pixels.
::testing::AssertionResult IsUncompressed24BitBitmap(const std::vector<uint8_t>& file,
                                                     const ColourPicture& pixels) {
  const int width = pixels.width, height = pixels.height;
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t pixelBytes = stride * static_cast<uint32_t>(height);
  if (file.size() != 54 + pixelBytes) {
    return ::testing::AssertionFailure()
           << "the file has " << file.size() << " bytes, not " << 54 + pixelBytes;
  }
  const uint8_t* h = file.data();
  const uint32_t imageSize = ReadLe32(h + 34);
  struct Field {
    const char* name;
    uint32_t got, want;
  };
  const Field fields[] = {
      {"bfType", ReadLe16(h), 0x4D42},
      {"bfSize", ReadLe32(h + 2), 54 + pixelBytes},
      {"bfReserved", ReadLe32(h + 6), 0},
      {"bfOffBits", ReadLe32(h + 10), 54},
      {"biSize", ReadLe32(h + 14), 40},
      {"biWidth", ReadLe32(h + 18), static_cast<uint32_t>(width)},
      {"biHeight", ReadLe32(h + 22), static_cast<uint32_t>(height)},
      {"biPlanes", ReadLe16(h + 26), 1},
      {"biBitCount", ReadLe16(h + 28), 24},
      {"biCompression", ReadLe32(h + 30), 0},
      // Either is a valid size for uncompressed rows.
      {"biSizeImage", imageSize, imageSize == 0 ? 0 : pixelBytes},
      {"biClrUsed", ReadLe32(h + 46), 0},
  };
  for (const Field& f : fields) {
    if (f.got != f.want) {
      return ::testing::AssertionFailure()
             << f.name << " is " << f.got << ", expected " << f.want;
    }
  }
  long mismatches = 0;
  std::string first;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = h + 54 + static_cast<size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      const uint32_t got = (uint32_t{row[3 * x + 2]} << 16) | (uint32_t{row[3 * x + 1]} << 8) |
                           row[3 * x];
      const uint32_t want = pixels.At(x, y);
      if (got != want && mismatches++ == 0) {
        char text[96];
        std::snprintf(text, sizeof text, "(%d, %d) is %s, expected %s", x, y, Hex(got).c_str(),
                      Hex(want).c_str());
        first = text;
      }
    }
  }
  if (mismatches == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << mismatches << " pixels differ; first " << first;
}

TEST_F(SaveTest, AFullColourPictureIsNoGifAndItsRleBitmapIsUncompressed) {
  const Decoded picture = DecodeSample(L"Item01.bin");
  ASSERT_FALSE(picture.image.Empty()) << picture.failure;
  HWND main = StartShowing({L"Item01.bin"}, picture);
  ASSERT_NE(main, nullptr);
  const DWORD process = ProcessOf(main);

  // Lay the clipboard's picture on it: paste, then a click on the picture beside the overlay.
  const IndexedPicture laid = LaidPicture();
  ASSERT_TRUE(PutOnClipboard(CF_DIB, EightBitDib(laid)));
  putOnClipboard_ = true;
  ASSERT_TRUE(PasteWithMenu(main));
  ASSERT_TRUE(OverlayComesAt(main, {0, 0, laid.width, laid.height}));
  const RECT image = PictureRect(main);
  ASSERT_TRUE(ClickInClient(main, {image.right - 4, image.bottom - 4}));
  const std::wstring caption = L"QelvaView " + Widen(picture.name) + L" (" +
                               std::to_wstring(picture.image.Width()) + L"x" +
                               std::to_wstring(picture.image.Height()) + L"x24)";
  ASSERT_EQ(Narrow(WaitForCaption(main, caption)), Narrow(caption));

  const std::wstring folder = FreshFolder(L"fullcolour");
  for (int type : kGifTypes) {
    SCOPED_TRACE("type " + std::to_string(type) + " (" + Narrow(kSaveTypeCaptions[type - 1]) + ")");
    ASSERT_TRUE(SaveAs(main, type, folder + L"\\full"));
    HWND box = WaitForWarning(process);
    ASSERT_NE(box, nullptr) << "no box captioned " << Narrow(kWarningTitle);
    EXPECT_EQ(Narrow(MessageBoxText(box)), "フルカラーファイルは\n\rGIF形式でセーブできません");
    const std::vector<HWND> buttons = ButtonsOf(box);
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_EQ(GetDlgCtrlID(buttons.front()), IDOK);
    ClickButton(buttons.front());
    ASSERT_TRUE(WaitUntilGone(box));
    SyncWith(main);
    EXPECT_TRUE(FolderNames(folder).empty()) << "written:" << Listing(folder);
  }

  const std::wstring file = folder + L"\\full.bmp";
  ASSERT_TRUE(SaveAndWaitForFile(main, 2, folder + L"\\full", file));
  EXPECT_EQ(FindTopLevel(kDialogClass, kWarningTitle, process), nullptr)
      << "a full-colour picture saved under the RLE type asked something";
  const auto bytes = ReadFileBytes(file);
  ASSERT_TRUE(bytes);
  ColourPicture composed = ColoursOf(picture.image);
  LayOver(composed, laid, 0, 0);
  EXPECT_TRUE(IsUncompressed24BitBitmap(*bytes, composed));

  // Both PNG types write it as a truecolour PNG of the composed pixels, without a question.
  for (int type : kPngTypes) {
    SCOPED_TRACE("type " + std::to_string(type) + " (" + Narrow(kSaveTypeCaptions[type - 1]) + ")");
    const std::wstring png = folder + L"\\full" + std::to_wstring(type) + L".png";
    ASSERT_TRUE(SaveAndWaitForFile(main, type, folder + L"\\full" + std::to_wstring(type), png));
    EXPECT_EQ(FindTopLevel(kDialogClass, kWarningTitle, process), nullptr)
        << "a full-colour picture saved as PNG asked something";
    const auto written = ReadFileBytes(png);
    ASSERT_TRUE(written && written->size() > 26) << "no PNG header in " << Narrow(png);
    EXPECT_EQ((*written)[24], 8) << "bit depth";
    EXPECT_EQ((*written)[25], 2) << "colour type: truecolour";
    EXPECT_TRUE(PeerDecodesTo(png, composed));
  }
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(caption));
}

// ---- what the dialog keeps ------------------------------------------------------------------

TEST_F(SaveTest, APictureOpenedLaterOffersItsOwnNameAndTheLastType) {
  const Decoded picture = DecodeSample(L"Kabe01.bin");
  HWND main = StartShowing({L"Kabe01.bin"}, picture);
  ASSERT_NE(main, nullptr);
  const std::wstring folder = FreshFolder(L"kept");
  ASSERT_TRUE(SaveAndWaitForFile(main, 4, folder + L"\\x1", folder + L"\\x1.gif"));

  const Decoded item = DecodeSample(L"Item01.bin");
  ASSERT_TRUE(OpenThroughDialog(main, L"Item01.bin"));
  ASSERT_EQ(Narrow(WaitForCaption(main, CaptionFor(item))), Narrow(CaptionFor(item)));
  SaveDialog dialog;
  ASSERT_TRUE(OpenSaveDialog(main, dialog));
  EXPECT_EQ(Narrow(TextOf(dialog.name)), "Item01");
  EXPECT_EQ(ChosenType(dialog), 4);
  ASSERT_EQ(KeysToFocus({"Escape"}).status, 0);
  ASSERT_TRUE(WaitUntilGone(dialog.dialog));
  SyncWith(main);
  EXPECT_EQ(FolderNames(folder), std::vector<std::wstring>{L"x1.gif"}) << Listing(folder);
}

// ---- write errors ---------------------------------------------------------------------------

// A name the file cannot be written under: into a folder that is not there, or onto a folder of
// that name (the file is written beside it first and cannot take its place). Either is reported,
// leaves nothing behind, and the next save still works.
TEST_F(SaveTest, WriteErrorsAreReportedLeaveNothingBehindAndTheNextSaveWorks) {
  const Decoded picture = DecodeSample(L"Item01.bin");
  HWND main = StartShowing({L"Item01.bin"}, picture);
  ASSERT_NE(main, nullptr);
  const DWORD process = ProcessOf(main);
  const std::wstring folder = FreshFolder(L"unwritable");
  const std::wstring inFolder = folder + L"\\taken.bmp\\kept.txt";
  ASSERT_TRUE(CreateDirectoryW((folder + L"\\taken.bmp").c_str(), nullptr));
  const std::string keptText = "inside a folder named like the file\r\n";
  const std::vector<uint8_t> kept(keptText.begin(), keptText.end());
  ASSERT_TRUE(WriteFileBytes(inFolder, kept));

  for (const std::wstring& typed : {folder + L"\\not-there\\pic", folder + L"\\taken"}) {
    SCOPED_TRACE(Narrow(typed));
    ASSERT_TRUE(SaveAs(main, 1, typed));
    HWND error = WaitForMessageBox(process);
    ASSERT_NE(error, nullptr) << "no box captioned " << Narrow(kApplicationTitle);
    EXPECT_EQ(FindTopLevel(kDialogClass, kWarningTitle, process), nullptr)
        << "the viewer asked before it failed";
    EXPECT_EQ(Narrow(MessageBoxText(error)), "ﾌｧｲﾙ " + Narrow(typed) + ".bmp を作成できません.");
    ClickButton(GetDlgItem(error, IDOK));
    ASSERT_TRUE(WaitUntilGone(error));
    SyncWith(main);
    EXPECT_EQ(FolderNames(folder), std::vector<std::wstring>{L"taken.bmp"}) << Listing(folder);
    EXPECT_EQ(FolderNames(folder + L"\\taken.bmp"), std::vector<std::wstring>{L"kept.txt"});
    EXPECT_TRUE(SameBytes(ReadFileBytes(inFolder), kept));
  }

  ASSERT_TRUE(SaveAndWaitForFile(main, 1, folder + L"\\pic", folder + L"\\pic.bmp"));
  EXPECT_TRUE(SameBytes(ReadFileBytes(folder + L"\\pic.bmp"), Reference(1, L"Item01.bin")));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionFor(picture)));
}

}  // namespace
}  // namespace qelva::e2e
