#include "decode/format.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/dib_image.h"
#include "common/errors.h"
#include "decode_fixtures.h"

namespace qelva {
namespace {

using decode_fixtures::Bytes;
using decode_fixtures::Cat;
using decode_fixtures::MapOfTiles;
using decode_fixtures::MarkAtCell;
using decode_fixtures::MarkedTiles;
using decode_fixtures::PatternPalette;
using decode_fixtures::PatternWords;
using decode_fixtures::RecordingHost;

const std::vector<bool> kBusyOnThenOff = {true, false};

// A tiled file in layout 0 whose map names tile 0 in every cell, followed by `tiles` tiles.
Bytes TiledFile(unsigned cells, unsigned tiles, unsigned seed = 0) {
  return Cat({PatternPalette(seed), MapOfTiles(std::vector<uint16_t>(cells, 0)), MarkedTiles(tiles)});
}

// An item file: palette, then 112 rows whose every pixel is the row number.
Bytes ItemFile(size_t size) {
  Bytes file = PatternPalette(9);
  for (unsigned y = 0; y < 112; ++y) file.insert(file.end(), 112, static_cast<uint8_t>(y));
  file.resize(size, 0);
  return file;
}

class LoadGamePictureTest : public ::testing::Test {
 protected:
  // Loads path with the host; the image starts as the picture shown before.
  bool Load(std::string& path, int32_t entryIndex = 0) {
    entryIndex_ = entryIndex;
    image_ = decode_fixtures::ShownBefore();
    return LoadGamePicture(host_, path, entryIndex_, image_);
  }
  bool LoadFile(std::string_view name, const Bytes& bytes) {
    path_ = folder_.Write(name, bytes);
    return Load(path_);
  }
  void ExpectImageUntouched() {
    const DibImage before = decode_fixtures::ShownBefore();
    EXPECT_EQ(image_.info, before.info);
    EXPECT_EQ(image_.bits, before.bits);
  }

  decode_fixtures::ScratchFolder folder_;
  RecordingHost host_;
  DibImage image_;
  std::string path_;
  int32_t entryIndex_ = 0;
};

TEST_F(LoadGamePictureTest, NamesWithoutTheBinExtensionAreRefusedWithOneMessageBeforeOpening) {
  for (const char* name : {"picture.bin.bak", "picture.bmp", "picture", "omall.dat.old", "bg01.bi"}) {
    RecordingHost host;
    DibImage image = decode_fixtures::ShownBefore();
    int32_t entry = 3;
    std::string path = folder_.PathOf(name);  // does not exist: it must not be opened
    const std::string before = path;
    EXPECT_FALSE(LoadGamePicture(host, path, entry, image)) << name;
    EXPECT_EQ(host.messages, std::vector<std::string>{"ファイル名が違います"}) << name;
    EXPECT_TRUE(host.busyCalls.empty()) << name << ": the cursor is not changed";
    EXPECT_TRUE(host.chooserCalls.empty()) << name;
    EXPECT_EQ(path, before);
    EXPECT_EQ(entry, 3);
    EXPECT_EQ(image.info, decode_fixtures::ShownBefore().info);
  }
}

TEST_F(LoadGamePictureTest, UpperCaseExtensionsAndTheBromideNamePassTheGate) {
  // They pass the gate and are opened: a missing file then reports "file not found".
  for (const char* name : {"KABE01.BIN", "x.Bin", "OMALL.DAT", "omall.dat"}) {
    RecordingHost host;
    DibImage image;
    int32_t entry = 0;
    std::string path = folder_.PathOf(name);
    try {
      LoadGamePicture(host, path, entry, image);
      ADD_FAILURE() << name << " loaded without a file";
    } catch (const IoError& e) {
      EXPECT_EQ(e.code(), IoError::kFileNotFound) << name;
      EXPECT_STREQ(e.what(), "ﾌｧｲﾙが見つかりません");
    }
    EXPECT_TRUE(host.messages.empty()) << name;
    EXPECT_EQ(host.busyCalls, kBusyOnThenOff) << name;
  }
}

TEST_F(LoadGamePictureTest, NamesThatPassTheGateButBelongToNoFamilyEndQuietly) {
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const Case cases[] = {
      {"omall.dat.bin", TiledFile(1120, 1)},
      {"item01.bin", ItemFile(13055)},
      {"item01.bin", ItemFile(13057)},
      {"eye2.bin", TiledFile(1120, 1)},
      {"kab.bin", TiledFile(1120, 1)},
      {"picture.bin", TiledFile(1120, 1)},
      {"xx_cg.bin", TiledFile(1120, 1)},
      {"xx_spr.bin", TiledFile(1120, 1)},
      {".bin", TiledFile(1120, 1)},
  };
  for (const Case& c : cases) {
    host_ = RecordingHost{};
    ASSERT_FALSE(LoadFile(c.name, c.bytes)) << c.name << " of " << c.bytes.size() << " bytes";
    EXPECT_TRUE(host_.messages.empty()) << c.name;
    EXPECT_TRUE(host_.chooserCalls.empty()) << c.name;
    EXPECT_EQ(host_.busyCalls, kBusyOnThenOff) << c.name;
    EXPECT_EQ(path_, folder_.PathOf(c.name)) << c.name;
    ExpectImageUntouched();
  }
}

TEST_F(LoadGamePictureTest, ItemPictureIsChosenByTheExactSizeOf13056Bytes) {
  for (const char* name : {"item01.bin", "ITEM.BIN"}) {
    host_ = RecordingHost{};
    ASSERT_TRUE(LoadFile(name, ItemFile(13056))) << name;
    EXPECT_EQ(image_.Width(), 112);
    EXPECT_EQ(image_.Height(), 112);
    EXPECT_EQ(decode_fixtures::PictureRow(image_, 5)[0], 5);
    decode_fixtures::ExpectColourTable(image_, PatternWords(9));
    EXPECT_EQ(host_.busyCalls, kBusyOnThenOff);
    EXPECT_EQ(path_, folder_.PathOf(name)) << "the path is unchanged";
  }
}

struct FamilyCase {
  const char* name;
  unsigned cells;
  unsigned tilesNeeded;  // the starting TileCount: one fewer tile fails
  int width, height;
};

TEST_F(LoadGamePictureTest, TiledFamiliesGetTheirCellsAndStartingTileCounts) {
  const FamilyCase cases[] = {
      {"iclog01.bin", 224, 191, 112, 128},
      {"ICLOG.BIN", 224, 191, 112, 128},
      {"icon.bin", 1120, 1, 320, 224},
      {"ic.bin", 1120, 1, 320, 224},
      {"kabe01.bin", 1120, 1, 320, 224},
      {"load1.bin", 1120, 1, 320, 224},
      {"omake.bin", 1120, 1, 320, 224},
      {"wall.bin", 1120, 1, 320, 224},
      {"title_cg.bin", 1120, 1, 320, 224},
      {"Title01.bin", 1120, 1, 320, 224},
      {"eye1.bin", 1120, 669, 320, 224},
      {"EYE1_A.BIN", 1120, 669, 320, 224},
  };
  for (const FamilyCase& c : cases) {
    host_ = RecordingHost{};
    ASSERT_TRUE(LoadFile(c.name, TiledFile(c.cells, c.tilesNeeded, 2))) << c.name;
    EXPECT_EQ(image_.Width(), c.width) << c.name;
    EXPECT_EQ(image_.Height(), c.height) << c.name;
    EXPECT_EQ(MarkAtCell(image_, 0, 0), 0) << c.name;
    decode_fixtures::ExpectColourTable(image_, PatternWords(2));
    EXPECT_EQ(host_.busyCalls, kBusyOnThenOff) << c.name;

    if (c.tilesNeeded > 1) {
      host_ = RecordingHost{};
      try {
        LoadFile(c.name, TiledFile(c.cells, c.tilesNeeded - 1, 2));
        ADD_FAILURE() << c.name << " decoded with " << c.tilesNeeded - 1 << " tiles";
      } catch (const IoError& e) {
        EXPECT_EQ(e.code(), IoError::kReadBeyondEnd) << c.name;
      }
      EXPECT_EQ(host_.busyCalls, kBusyOnThenOff) << c.name << ": the cursor is reset on failure";
      ExpectImageUntouched();
    }
  }
}

// A small background: the 16-byte header, then the tiled data from byte 16.
Bytes SmallBackground(uint16_t layout, uint16_t cellsWide, uint16_t cellsHigh, uint8_t unusedFill,
                      const Bytes& tiledData) {
  return Cat({decode_fixtures::BackgroundHeader(layout, cellsWide, cellsHigh, unusedFill), tiledData});
}

TEST_F(LoadGamePictureTest, SmallBackgroundTakesLayoutAndCellsFromItsHeader) {
  // 3 x 2 cells, map names tiles 5,4,3,2,1,0.
  const Bytes data = Cat({PatternPalette(7), MapOfTiles({5, 4, 3, 2, 1, 0}), MarkedTiles(6)});
  for (const char* name : {"bg01.bin", "BG01.BIN", "bg_cg.bin"}) {
    host_ = RecordingHost{};
    ASSERT_TRUE(LoadFile(name, SmallBackground(0, 3, 2, 0, data))) << name;
    EXPECT_EQ(image_.Width(), 24) << name;
    EXPECT_EQ(image_.Height(), 16) << name;
    EXPECT_EQ(MarkAtCell(image_, 0, 0), 5) << name;
    EXPECT_EQ(MarkAtCell(image_, 1, 2), 0) << name;
    decode_fixtures::ExpectColourTable(image_, PatternWords(7));
    EXPECT_TRUE(host_.chooserCalls.empty()) << name << " is no archive";
  }
}

TEST_F(LoadGamePictureTest, BackgroundHeaderBytesZeroOneAndEightToFifteenHaveNoEffect) {
  const Bytes data = Cat({PatternPalette(7), MapOfTiles({1, 0}), MarkedTiles(2)});
  ASSERT_TRUE(LoadFile("bg01.bin", SmallBackground(0, 2, 1, 0x00, data)));
  const DibImage zeros = image_;
  ASSERT_TRUE(LoadFile("bg01.bin", SmallBackground(0, 2, 1, 0xFF, data)));
  EXPECT_EQ(image_.info, zeros.info);
  EXPECT_EQ(image_.bits, zeros.bits);
  EXPECT_EQ(MarkAtCell(image_, 0, 0), 1);
}

TEST_F(LoadGamePictureTest, SmallBackgroundInLayoutTwoSkipsAfterItsPalette) {
  const Bytes data = decode_fixtures::TiledData(2, PatternPalette(5), MapOfTiles({1, 0}), MarkedTiles(2));
  ASSERT_TRUE(LoadFile("bg02.bin", SmallBackground(2, 2, 1, 0, data)));
  EXPECT_EQ(MarkAtCell(image_, 0, 1), 0);
  EXPECT_EQ(MarkAtCell(image_, 0, 0), 1);
  decode_fixtures::ExpectColourTable(image_, PatternWords(5));
}

TEST_F(LoadGamePictureTest, BackgroundOf204800BytesHasAHeaderAndOneByteMoreHasNone) {
  // 204800 bytes: header 2 x 1 cells, the rest padding.
  Bytes small = SmallBackground(0, 2, 1, 0, Cat({PatternPalette(1), MapOfTiles({1, 0}), MarkedTiles(2)}));
  small.resize(204800, 0x00);
  ASSERT_TRUE(LoadFile("bg01.bin", small));
  EXPECT_EQ(image_.Width(), 16);
  EXPECT_EQ(image_.Height(), 8);

  // 204801 bytes: 80 x 56 cells from offset 0; (204801 - 18432) div 64 = 2912 whole tiles follow
  // the map, and the last map entry names the last of them.
  std::vector<uint16_t> map(4480, 0);
  map[4479] = 2911;  // the bottom-right cell (end of the right strip)
  Bytes large = Cat({PatternPalette(3), MapOfTiles(map), MarkedTiles(2912)});
  ASSERT_EQ(large.size(), 204800u);
  large.push_back(0x77);
  ASSERT_TRUE(LoadFile("bg01.bin", large));
  EXPECT_EQ(image_.Width(), 640);
  EXPECT_EQ(image_.Height(), 448);
  EXPECT_EQ(MarkAtCell(image_, 55, 79), 2911);
  EXPECT_EQ(MarkAtCell(image_, 0, 0), 0);
  decode_fixtures::ExpectColourTable(image_, PatternWords(3));
}

TEST_F(LoadGamePictureTest, LargeBackgroundReadsEveryWholeTileAfterTheMap) {
  // 204801 bytes whose map names only tile 0: TileCount (204801 - 18432) div 64 = 2912 tiles are
  // read, so the file decodes; a rounding-up count of 2913 would run past its end.
  Bytes large = Cat({PatternPalette(3), MapOfTiles(std::vector<uint16_t>(4480, 0)), MarkedTiles(2912)});
  large.push_back(0);
  EXPECT_TRUE(LoadFile("bg.bin", large));
}

TEST_F(LoadGamePictureTest, LayoutOneBackgroundIs36CellsWideWithHeightFromTheFileSize) {
  // 3584 + 2304 x 2 + 5 bytes: 36 x 2 cells, 72 tiles at bytes 80 to 4687, palette right after.
  // The header's cell words (9 x 9) and bytes 16 to 79 are not used.
  Bytes file = Cat({decode_fixtures::BackgroundHeader(1, 9, 9, 0xFF), Bytes(64, 0xEE), MarkedTiles(72),
                       PatternPalette(4)});
  ASSERT_EQ(file.size(), 80u + 2 * 2304 + 512);
  file.resize(3584 + 2 * 2304 + 5, 0xEE);
  ASSERT_TRUE(LoadFile("bg03.bin", file));
  EXPECT_EQ(image_.Width(), 288);
  EXPECT_EQ(image_.Height(), 16);
  EXPECT_EQ(MarkAtCell(image_, 0, 0), 0);
  EXPECT_EQ(MarkAtCell(image_, 0, 35), 35);
  EXPECT_EQ(MarkAtCell(image_, 1, 0), 36);
  EXPECT_EQ(MarkAtCell(image_, 1, 35), 71);
  decode_fixtures::ExpectColourTable(image_, PatternWords(4));
}

TEST_F(LoadGamePictureTest, LayoutOneBackgroundOf1281To3583BytesIsZeroRowsHigh) {
  for (size_t size : {size_t{1281}, size_t{2000}, size_t{3583}}) {
    Bytes file = Cat({decode_fixtures::BackgroundHeader(1, 0, 0), Bytes(64, 0xEE), PatternPalette(6)});
    file.resize(size, 0xEE);
    ASSERT_TRUE(LoadFile("bg.bin", file)) << size;
    EXPECT_EQ(image_.Width(), 288) << size;
    EXPECT_EQ(image_.Height(), 0) << size;
    EXPECT_TRUE(image_.bits.empty()) << size;
    decode_fixtures::ExpectColourTable(image_, PatternWords(6));
  }
}

TEST_F(LoadGamePictureTest, BackgroundsOutsideTheDecoderLimitsAreRefused) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"layout 1 in 1280 bytes", [] {
         Bytes b = decode_fixtures::BackgroundHeader(1, 0, 0);
         b.resize(1280, 0);
         return b;
       }()},
      {"layout 1 in 16 bytes", decode_fixtures::BackgroundHeader(1, 0, 0)},
      {"81 x 56 cells", [] {
         Bytes b = decode_fixtures::BackgroundHeader(0, 81, 56);
         b.resize(204800, 0);
         return b;
       }()},
      {"65535 x 2 cells in layout 2", [] {
         Bytes b = decode_fixtures::BackgroundHeader(2, 65535, 2);
         b.resize(100000, 0);
         return b;
       }()},
  };
  for (const Case& c : cases) {
    host_ = RecordingHost{};
    EXPECT_THROW(LoadFile("bg.bin", c.bytes), PictureError) << c.what;
    EXPECT_EQ(host_.busyCalls, kBusyOnThenOff) << c.what;
    EXPECT_TRUE(host_.messages.empty()) << c.what;
    ExpectImageUntouched();
  }
}

TEST_F(LoadGamePictureTest, ShortFilesAreAReadBeyondTheEnd) {
  struct Case {
    const char* name;
    size_t size;
  };
  const Case cases[] = {
      {"bg.bin", 0},           // no header
      {"bg.bin", 15},          // one byte short of the header
      {"bg.bin", 16 + 511},    // header and most of the palette (header says 0 x 0 cells)
      {"kabe.bin", 4991},      // one byte short of the 40 x 28 map
      {"iclog.bin", 1407},     // one byte short of the 14 x 16 map
      {"title.bin", 0},
  };
  for (const Case& c : cases) {
    host_ = RecordingHost{};
    Bytes file = Cat({decode_fixtures::BackgroundHeader(0, 0, 0), PatternPalette(0),
                         MapOfTiles(std::vector<uint16_t>(1120, 0))});
    file.resize(c.size);
    try {
      LoadFile(c.name, file);
      ADD_FAILURE() << c.name << " of " << c.size << " bytes decoded";
    } catch (const IoError& e) {
      EXPECT_EQ(e.code(), IoError::kReadBeyondEnd) << c.name << " of " << c.size;
    }
    EXPECT_EQ(host_.busyCalls, kBusyOnThenOff) << c.name;
    ExpectImageUntouched();
  }
}

TEST_F(LoadGamePictureTest, AMissingFileIsFileNotFoundWithTheCursorReset) {
  std::string path = folder_.PathOf("kabe99.bin");
  try {
    Load(path);
    FAIL() << "a missing file loaded";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kFileNotFound);
  }
  EXPECT_EQ(host_.busyCalls, kBusyOnThenOff);
  EXPECT_TRUE(host_.messages.empty());
  ExpectImageUntouched();
}

TEST_F(LoadGamePictureTest, AForwardSlashIsNoSeparatorInWindowsPaths) {
#ifdef _WIN32
  GTEST_SKIP() << "a folder named \"C:\" can only be made on POSIX systems";
#else
  // The file lies at <folder>/C:/pictures/bg01.bin. In Windows syntax its name is everything
  // after the colon, "/pictures/bg01.bin", whose 2-character prefix is "/p": no family.
  const Bytes background = SmallBackground(0, 2, 1, 0, Cat({PatternPalette(0), MapOfTiles({1, 0}), MarkedTiles(2)}));
  std::string path = folder_.Write("C:/pictures/bg01.bin", background);
  host_.syntax = PathSyntax{PathSeparators::kWindows, PathCodePage::kShiftJis};
  EXPECT_FALSE(Load(path));
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(host_.busyCalls, kBusyOnThenOff);
  ExpectImageUntouched();

  // The same file in POSIX syntax is a background named bg01.bin.
  host_ = RecordingHost{};
  host_.syntax = PathSyntax{PathSeparators::kPosix, PathCodePage::kUtf8};
  EXPECT_TRUE(Load(path));
  EXPECT_EQ(image_.Width(), 16);
#endif
}

// Makes a folder the current one for the life of the object.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(previous_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

TEST_F(LoadGamePictureTest, ABackslashInsideAShiftJisCharacterIsNoSeparator) {
#ifdef _WIN32
  GTEST_SKIP() << "the file name below is not a valid Windows name";
#else
  // The bare name "\x95\x5C" "bg.bin" in the current folder. In Shift-JIS, "\x95\x5C" is one
  // character whose trail byte is a backslash: the name keeps it and its prefix is no family.
  // Without the lead-byte test the backslash separates, leaving "bg.bin", a background.
  const Bytes background =
      SmallBackground(0, 2, 1, 0, Cat({PatternPalette(0), MapOfTiles({1, 0}), MarkedTiles(2)}));
  const std::string bare = "\x95\x5C" "bg.bin";
  {
    std::ofstream out(folder_.path().string() + "/" + bare, std::ios::binary);
    out.write(reinterpret_cast<const char*>(background.data()), static_cast<std::streamsize>(background.size()));
  }
  const InFolder inFolder(folder_.path());
  std::string path = bare;
  host_.syntax = PathSyntax{PathSeparators::kWindows, PathCodePage::kShiftJis};
  EXPECT_FALSE(Load(path));
  EXPECT_TRUE(host_.messages.empty());

  host_ = RecordingHost{};
  host_.syntax = PathSyntax{PathSeparators::kWindows, PathCodePage::kUtf8};
  path = bare;
  EXPECT_TRUE(Load(path));
  EXPECT_EQ(image_.Width(), 16);
#endif
}

// The archive is opened (and its size taken) before its entry is chosen. Another program that
// cuts the file short while the chooser is open must not get a picture made of whatever bytes
// are left: entry 3 then fails with the read-beyond-end error and the shown picture stays.
class CuttingHost final : public RecordingHost {
 public:
  bool ChooseArchiveEntries(const ArchiveId&, const std::string& path, int32_t& entryIndex) override {
    std::filesystem::resize_file(test::FsPath(path), cutTo, cut);
    entryIndex = 3;
    return true;
  }
  uint64_t cutTo = 0;
  std::error_code cut;
};

TEST_F(LoadGamePictureTest, AnArchiveCutShortWhileTheChooserIsOpenGivesReadBeyondEndAndNoPicture) {
  // The bromide archive: 16384 bytes, then 13 records of 36864, each a palette and, 1520 bytes
  // in, 176 x 200 pixels. The cut falls in the middle of record 3's pixels.
  Bytes archive(16384 + 13 * 36864, 0x33);
  path_ = folder_.Write("omall.dat", archive);
  CuttingHost host;
  host.cutTo = 16384 + 3 * 36864 + 1520 + 17600;
  image_ = decode_fixtures::ShownBefore();
  int32_t entry = 0;
  try {
    LoadGamePicture(host, path_, entry, image_);
    if (host.cut) GTEST_SKIP() << "the open archive could not be cut: " << host.cut.message();
    FAIL() << "a picture was made of an archive cut short";
  } catch (const IoError& error) {
    EXPECT_FALSE(host.cut) << host.cut.message();
    EXPECT_EQ(error.code(), IoError::kReadBeyondEnd);
  }
  EXPECT_EQ(std::filesystem::file_size(test::FsPath(path_)), host.cutTo);
  ExpectImageUntouched();
  EXPECT_EQ(host.busyCalls, kBusyOnThenOff);
}

}  // namespace
}  // namespace qelva
