#include "decode/archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/dib_image.h"
#include "common/errors.h"
#include "decode/archive_tables.h"
#include "decode/archive_titles.h"
#include "decode/format.h"
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
using decode_fixtures::Place;
using decode_fixtures::RecordingHost;

const std::vector<bool> kBusyOnThenOff = {true, false};
constexpr uint8_t kDecoy = 0xEE;  // fills every byte that no entry of a test owns

// --- names ----------------------------------------------------------------------------------

struct NameCase {
  const char* lowerName;
  std::optional<ArchiveId> expected;
};

TEST(ArchiveNames, KindsAreTestedInOrderAndGroupsComeFromTheFirstTwoBytes) {
  using K = ArchiveKind;
  const NameCase cases[] = {
      {"ge_cg.bin", ArchiveId{K::kGroupBackground, 6}},
      {"ge_cgx.bin", ArchiveId{K::kGroupBackground, 6}},
      {"omall.dat", ArchiveId{K::kBromide, -1}},
      {"sa_cg.bin", ArchiveId{K::kEndingBackground, 0}},
      {"ai_cg.bin", ArchiveId{K::kEndingBackground, 1}},
      {"ka_cg.bin", ArchiveId{K::kEndingBackground, 2}},
      {"ma_cg.bin", ArchiveId{K::kEndingBackground, 3}},
      {"su_cg.bin", ArchiveId{K::kEndingBackground, 4}},
      {"ko_cgfoo.bin", ArchiveId{K::kEndingBackground, 5}},
      {"sa_spr.bin", ArchiveId{K::kEndingSprite, 0}},
      {"ko_spr.bin", ArchiveId{K::kEndingSprite, 5}},
      {"ge_spr.bin", ArchiveId{K::kEndingSprite, 6}},
      {"ma_sprite.bin", ArchiveId{K::kEndingSprite, 3}},
      {"xx_cg.bin", std::nullopt},
      {"xx_spr.bin", std::nullopt},
      {"sa_c.bin", std::nullopt},
      {"sa_sp.bin", std::nullopt},
      {"sa-cg.bin", std::nullopt},
      {"sacg.bin", std::nullopt},
      {"omall.dat.bin", std::nullopt},
      {"sa_cg", ArchiveId{K::kEndingBackground, 0}},
      {"", std::nullopt},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(IdentifyArchive(c.lowerName), c.expected) << c.lowerName;
  }
}

TEST(ArchiveNames, EntryCountsFollowTheKindAndTheGroup) {
  using K = ArchiveKind;
  EXPECT_EQ(ArchiveEntryCount({K::kGroupBackground, 6}), 4);
  EXPECT_EQ(ArchiveEntryCount({K::kBromide, -1}), 13);
  for (int g = 0; g < 6; ++g) EXPECT_EQ(ArchiveEntryCount({K::kEndingBackground, g}), 11) << g;
  const int sprites[] = {24, 25, 27, 28, 25, 26, 7};
  for (int g = 0; g < 7; ++g) EXPECT_EQ(ArchiveEntryCount({K::kEndingSprite, g}), sprites[g]) << g;
}

// --- the tables ------------------------------------------------------------------------------

TEST(ArchiveTables, SpriteSlotsOfAGroupNeverOverlapAndUnusedSlotsAreZero) {
  for (int g = 0; g < kGroupCount; ++g) {
    const auto& slots = kSpriteTable[static_cast<size_t>(g)];
    const int count = kSpriteCount[static_cast<size_t>(g)];
    for (int a = 0; a < count; ++a) {
      const SpriteSlot& s = slots[static_cast<size_t>(a)];
      EXPECT_GT(s.width, 0) << "group " << g << " entry " << a;
      EXPECT_GT(s.height, 0) << "group " << g << " entry " << a;
      const uint64_t aBegin = uint64_t{s.offset} * 8;
      const uint64_t aEnd = aBegin + uint64_t{s.width} * 8 * s.height;
      for (int b = a + 1; b < count; ++b) {
        const SpriteSlot& t = slots[static_cast<size_t>(b)];
        const uint64_t bBegin = uint64_t{t.offset} * 8;
        const uint64_t bEnd = bBegin + uint64_t{t.width} * 8 * t.height;
        EXPECT_TRUE(aEnd <= bBegin || bEnd <= aBegin)
            << "group " << g << ": entries " << a << " and " << b << " overlap";
      }
    }
    for (int e = count; e < kSpriteSlots; ++e) {
      const SpriteSlot& s = slots[static_cast<size_t>(e)];
      EXPECT_EQ(s.offset | s.width | s.height | s.palette, 0) << "group " << g << " slot " << e;
    }
  }
}

TEST(ArchiveTables, EveryGroupHasOneTitlePerSprite) {
  for (int g = 0; g < kGroupCount; ++g) {
    EXPECT_EQ(TitleList({ArchiveKind::kEndingSprite, g}).size(),
              static_cast<size_t>(kSpriteCount[static_cast<size_t>(g)]))
        << "group " << g;
  }
}

TEST(ArchiveTables, EndingBackgroundEntriesFitBeforeTheNextOne) {
  // Entry n holds a palette, 4 map bytes and 64 tile bytes per cell (its tiles at least).
  for (size_t n = 0; n + 1 < kCgTable.size(); ++n) {
    const CgGeometry& e = kCgTable[n];
    const uint64_t cells = uint64_t{e.cellsWide} * e.cellsHigh;
    EXPECT_LE(e.offset + 512 + 4 * cells + 64 * cells, kCgTable[n + 1].offset) << "entry " << n;
  }
}

TEST(ArchiveTables, PaletteNumbersStayInsideTheGroupsPalettes) {
  // A group's palettes run from its base to the next group's base; the last group's never
  // reach past its seventh.
  for (int g = 0; g + 1 < kGroupCount; ++g) {
    for (int e = 0; e < kSpriteCount[static_cast<size_t>(g)]; ++e) {
      const SpriteSlot& s = kSpriteTable[static_cast<size_t>(g)][static_cast<size_t>(e)];
      EXPECT_LE(kPaletteBase[static_cast<size_t>(g)] + 512u * s.palette + 512u,
                kPaletteBase[static_cast<size_t>(g) + 1])
          << "group " << g << " entry " << e;
    }
  }
}

// --- loading entries -------------------------------------------------------------------------

// A tiled entry in layout 0 whose map names tile `named` in cell 0 and tile 0 elsewhere.
Bytes TiledEntry(unsigned cells, unsigned tiles, uint16_t named, unsigned seed) {
  std::vector<uint16_t> map(cells, 0);
  map[0] = named;
  return Cat({PatternPalette(seed), MapOfTiles(map), MarkedTiles(tiles)});
}

// Pixel rows of `width` bytes, row r filled with (r + first) mod 256.
Bytes NumberedRows(size_t width, size_t height, unsigned first = 0) {
  Bytes out;
  out.reserve(width * height);
  for (size_t r = 0; r < height; ++r) out.insert(out.end(), width, static_cast<uint8_t>(r + first));
  return out;
}

// Expects picture row y (from the top) to be stored row y: every byte (y + first) mod 256.
void ExpectNumberedRows(const DibImage& image, unsigned first = 0) {
  const int w = image.Width();
  const int h = image.Height();
  ASSERT_EQ(image.bits.size(), static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = decode_fixtures::PictureRow(image, y);
    ASSERT_TRUE(std::all_of(row, row + w, [&](uint8_t b) { return b == static_cast<uint8_t>(y + first); }))
        << "picture row " << y;
  }
}

class ArchiveLoad : public ::testing::Test {
 protected:
  bool Load(std::string& path, int32_t& entryIndex) {
    image_ = decode_fixtures::ShownBefore();
    return LoadGamePicture(host_, path, entryIndex, image_);
  }
  void ExpectImageUntouched() {
    const DibImage before = decode_fixtures::ShownBefore();
    EXPECT_EQ(image_.info, before.info);
    EXPECT_EQ(image_.bits, before.bits);
  }
  // An ending.bin with one marker palette (PatternPalette(seed)) at `offset`, decoys elsewhere.
  void WriteEndingBin(uint64_t offset, unsigned seed) {
    Bytes ending(180000, kDecoy);
    Place(ending, offset, PatternPalette(seed));
    folder_.Write("ending.bin", ending);
  }

  decode_fixtures::ScratchFolder folder_;
  RecordingHost host_;
  DibImage image_;
};

TEST_F(ArchiveLoad, GroupBackgroundEntryTwoStartsAtByte153344) {
  // Entries 0 and 1 are decoys of other palettes; entry 2 names tile 1119 in its first cell.
  Bytes file = Cat({TiledEntry(1120, 1120, 5, 0), TiledEntry(1120, 1120, 6, 1)});
  ASSERT_EQ(file.size(), 153344u);
  file = Cat({file, TiledEntry(1120, 1120, 1119, 2)});
  std::string path = folder_.Write("ge_cgx.bin", file);
  const std::string original = path;
  int32_t entry = 2;
  ASSERT_TRUE(Load(path, entry));
  EXPECT_EQ(image_.Width(), 320);
  EXPECT_EQ(image_.Height(), 224);
  EXPECT_EQ(MarkAtCell(image_, 0, 0), 1119);
  EXPECT_EQ(MarkAtCell(image_, 27, 39), 0);
  decode_fixtures::ExpectColourTable(image_, PatternWords(2));
  EXPECT_EQ(path, original + "[2]");
  EXPECT_EQ(entry, 0);
  EXPECT_TRUE(host_.chooserCalls.empty()) << "a given entry is not asked for";
  EXPECT_EQ(host_.busyCalls, kBusyOnThenOff);
}

TEST_F(ArchiveLoad, GroupBackgroundEntriesReadAll1120Tiles) {
  // The map names only tile 0, yet 1120 tiles must be there: 1119 are not enough.
  std::string path = folder_.Write("ge_cg.bin", TiledEntry(1120, 1119, 0, 0));
  int32_t entry = 0;
  host_.chooserAnswer = 0;
  try {
    Load(path, entry);
    FAIL() << "an entry of 1119 tiles decoded";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kReadBeyondEnd);
  }
}

TEST_F(ArchiveLoad, EndingBackgroundEntryThreeIs136By80AtByte97608InEveryGroup) {
  // Entry 3: 17 x 10 cells. Its map names tile 169 in cell 0: the starting TileCount 170 covers it.
  Bytes file(97608, kDecoy);
  file = Cat({file, TiledEntry(170, 170, 169, 4)});
  for (const char* name : {"sa_cg.bin", "ai_cg.bin", "ka_cg.bin", "ma_cg.bin", "su_cg.bin", "KO_CG.BIN"}) {
    host_ = RecordingHost{};
    std::string path = folder_.Write(name, file);
    int32_t entry = 3;
    ASSERT_TRUE(Load(path, entry)) << name;
    EXPECT_EQ(image_.Width(), 136) << name;
    EXPECT_EQ(image_.Height(), 80) << name;
    EXPECT_EQ(MarkAtCell(image_, 0, 0), 169) << name;
    EXPECT_EQ(MarkAtCell(image_, 9, 16), 0) << name;
    decode_fixtures::ExpectColourTable(image_, PatternWords(4));
    EXPECT_EQ(path, folder_.PathOf(name) + "[3]");
  }
}

TEST_F(ArchiveLoad, EndingBackgroundTileCountStartsAtItsCellCount) {
  // Entry 3's map names only tile 0, but 170 tiles (one per cell) are read: 169 are too few.
  Bytes file(97608, kDecoy);
  file = Cat({file, TiledEntry(170, 169, 0, 4)});
  std::string path = folder_.Write("ko_cg.bin", file);
  int32_t entry = 3;
  try {
    Load(path, entry);
    FAIL() << "an entry of 169 tiles decoded";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kReadBeyondEnd);
  }
  EXPECT_EQ(entry, 3) << "a failed load keeps the entry";
  ExpectImageUntouched();
}

TEST_F(ArchiveLoad, EndingBackgroundEntriesSitAtTheirTableOffsets) {
  struct Case {
    int32_t entry;
    uint32_t offset;
    uint16_t wide, high;
  };
  const Case cases[] = {{0, 0, 40, 15}, {2, 82752, 14, 15}, {10, 352932, 40, 20}};
  for (const Case& c : cases) {
    Bytes file(c.offset, kDecoy);
    file = Cat({file, TiledEntry(c.wide * c.high, c.wide * c.high, 1, 5)});
    std::string path = folder_.Write("sa_cg.bin", file);
    int32_t entry = c.entry;
    host_ = RecordingHost{};
    if (c.entry == 0) host_.chooserAnswer = 0;
    ASSERT_TRUE(Load(path, entry)) << c.entry;
    EXPECT_EQ(image_.Width(), 8 * c.wide) << c.entry;
    EXPECT_EQ(image_.Height(), 8 * c.high) << c.entry;
    EXPECT_EQ(MarkAtCell(image_, 0, 0), 1) << c.entry;
    decode_fixtures::ExpectColourTable(image_, PatternWords(5));
  }
}

// The bromide archive: 16384 unread bytes, then 13 records of 36864 bytes: palette, 1008 unread
// bytes, 200 rows of 176 pixels, 144 unread bytes. Record n has PatternPalette(n) and rows
// numbered from n.
Bytes BromideArchive() {
  Bytes file(16384, kDecoy);
  for (unsigned n = 0; n < 13; ++n) {
    file = Cat({file, PatternPalette(n), Bytes(1008, kDecoy), NumberedRows(176, 200, n), Bytes(144, kDecoy)});
  }
  return file;
}

TEST_F(ArchiveLoad, BromideEntryTwelveHasItsPaletteAt458752AndPixelsFrom460272) {
  const Bytes file = BromideArchive();
  ASSERT_EQ(file.size(), 495616u);
  ASSERT_EQ(file[458752], PatternPalette(12)[0]);
  ASSERT_EQ(file[460272], 12);
  std::string path = folder_.Write("OMALL.DAT", file);
  int32_t entry = 12;
  ASSERT_TRUE(Load(path, entry));
  EXPECT_EQ(image_.Width(), 176);
  EXPECT_EQ(image_.Height(), 200);
  ExpectNumberedRows(image_, 12);
  decode_fixtures::ExpectColourTable(image_, PatternWords(12));
  EXPECT_EQ(path, folder_.PathOf("OMALL.DAT") + "[12]");
  EXPECT_EQ(entry, 0);
}

TEST_F(ArchiveLoad, BromideEntryZeroChosenInTheChooser) {
  std::string path = folder_.Write("omall.dat", BromideArchive());
  const std::string original = path;
  int32_t entry = 0;
  host_.chooserAnswer = 0;
  ASSERT_TRUE(Load(path, entry));
  ASSERT_EQ(host_.chooserCalls.size(), 1u);
  EXPECT_EQ(host_.chooserCalls[0].archive, (ArchiveId{ArchiveKind::kBromide, -1}));
  EXPECT_EQ(host_.chooserCalls[0].path, original);
  ExpectNumberedRows(image_, 0);
  decode_fixtures::ExpectColourTable(image_, PatternWords(0));
  EXPECT_EQ(path, original + "[0]");
  EXPECT_EQ(entry, 0);
}

TEST_F(ArchiveLoad, AShortBromideArchiveIsAReadBeyondTheEnd) {
  Bytes file = BromideArchive();
  file.resize(file.size() - 145);  // entry 12's last pixel row is one byte short
  std::string path = folder_.Write("omall.dat", file);
  int32_t entry = 12;
  try {
    Load(path, entry);
    FAIL() << "a short record decoded";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kReadBeyondEnd);
  }
  EXPECT_EQ(entry, 12);
  EXPECT_EQ(path, folder_.PathOf("omall.dat"));
  EXPECT_EQ(host_.busyCalls, kBusyOnThenOff);
  ExpectImageUntouched();
}

TEST_F(ArchiveLoad, ChooserIsAskedOnlyForEntryZeroAndACancelLoadsNothing) {
  std::string path = folder_.Write("SA_SPR.BIN", Bytes(100, kDecoy));
  const std::string original = path;
  int32_t entry = 0;
  EXPECT_FALSE(Load(path, entry));
  ASSERT_EQ(host_.chooserCalls.size(), 1u);
  EXPECT_EQ(host_.chooserCalls[0].archive, (ArchiveId{ArchiveKind::kEndingSprite, 0}));
  EXPECT_EQ(host_.chooserCalls[0].path, original);
  EXPECT_EQ(entry, 0);
  EXPECT_EQ(path, original);
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(host_.busyCalls, kBusyOnThenOff);
  ExpectImageUntouched();

  // Group background names are asked as group background archives.
  host_ = RecordingHost{};
  std::string ge = folder_.Write("ge_cgx.bin", Bytes(100, kDecoy));
  EXPECT_FALSE(Load(ge, entry));
  ASSERT_EQ(host_.chooserCalls.size(), 1u);
  EXPECT_EQ(host_.chooserCalls[0].archive, (ArchiveId{ArchiveKind::kGroupBackground, 6}));
}

TEST_F(ArchiveLoad, UnknownGroupPrefixLoadsNothingQuietlyAndKeepsTheEntry) {
  for (int32_t given : {0, 5}) {
    host_ = RecordingHost{};
    std::string path = folder_.Write("xx_cg.bin", Bytes(100000, 0));
    int32_t entry = given;
    EXPECT_FALSE(Load(path, entry)) << given;
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_TRUE(host_.chooserCalls.empty());
    EXPECT_EQ(entry, given);
    EXPECT_EQ(path, folder_.PathOf("xx_cg.bin"));
    ExpectImageUntouched();
  }
}

TEST_F(ArchiveLoad, EntryNumbersTheArchiveDoesNotHaveAreRefused) {
  struct Case {
    const char* name;
    int32_t entry;
  };
  const Case cases[] = {
      {"ge_cg.bin", -1}, {"ge_cg.bin", 4},  {"omall.dat", -1},  {"omall.dat", 13},
      {"sa_cg.bin", -5}, {"sa_cg.bin", 11}, {"ko_cg.bin", 100}, {"sa_spr.bin", 24},
      {"ai_spr.bin", 25}, {"ka_spr.bin", 27}, {"ma_spr.bin", 28}, {"su_spr.bin", 25},
      {"ko_spr.bin", 26}, {"ge_spr.bin", 7},  {"ge_spr.bin", -2147483647 - 1},
      {"ma_spr.bin", 2147483647},
  };
  WriteEndingBin(0, 0);
  for (const Case& c : cases) {
    host_ = RecordingHost{};
    // Big enough that any entry a careless decoder might read would be there.
    std::string path = folder_.Write(c.name, Bytes(600000, kDecoy));
    int32_t entry = c.entry;
    EXPECT_THROW(Load(path, entry), PictureError) << c.name << " entry " << c.entry;
    EXPECT_EQ(entry, c.entry) << c.name;
    EXPECT_EQ(path, folder_.PathOf(c.name)) << c.name << ": no [n] is added";
    EXPECT_TRUE(host_.chooserCalls.empty()) << c.name;
    EXPECT_EQ(host_.busyCalls, kBusyOnThenOff) << c.name;
    ExpectImageUntouched();
  }
}

TEST_F(ArchiveLoad, TheLastSpriteOfAGroupIsStillAccepted) {
  // ge_spr.bin has 7 entries: entry 6 decodes.
  const SpriteSlot& slot = kSpriteTable[6][6];
  Bytes file(uint64_t{slot.offset} * 8, kDecoy);
  file = Cat({file, NumberedRows(size_t{slot.width} * 8, slot.height)});
  std::string path = folder_.Write("ge_spr.bin", file);
  WriteEndingBin(175384 + 6 * 512, 6);
  int32_t entry = 6;
  ASSERT_TRUE(Load(path, entry));
  EXPECT_EQ(image_.Width(), 280);
  EXPECT_EQ(image_.Height(), 224);
  decode_fixtures::ExpectColourTable(image_, PatternWords(6));
}

TEST_F(ArchiveLoad, SpriteEntryTwentySevenOfGroupThreeWithPaletteTwentyFromEndingBin) {
  // 120 x 168 pixels from byte 507584; palette 20 at byte 151736 = 20 x 512 + 141496.
  Bytes file(507584, kDecoy);
  file = Cat({file, NumberedRows(120, 168)});
  std::string path = folder_.Write("ma_spr.bin", file);
  WriteEndingBin(151736, 20);
  int32_t entry = 27;
  ASSERT_TRUE(Load(path, entry));
  EXPECT_EQ(image_.Width(), 120);
  EXPECT_EQ(image_.Height(), 168);
  ExpectNumberedRows(image_);
  decode_fixtures::ExpectColourTable(image_, PatternWords(20));
  EXPECT_EQ(path, folder_.PathOf("ma_spr.bin") + "[27]");
  EXPECT_EQ(entry, 0);
}

TEST_F(ArchiveLoad, SpriteEntryZeroOfGroupSixTakesPaletteZeroAtByte175384) {
  std::string path = folder_.Write("GE_SPR.BIN", NumberedRows(240, 224, 3));
  WriteEndingBin(175384, 1);
  int32_t entry = 0;
  host_.chooserAnswer = 0;
  ASSERT_TRUE(Load(path, entry));
  EXPECT_EQ(image_.Width(), 240);
  EXPECT_EQ(image_.Height(), 224);
  ExpectNumberedRows(image_, 3);
  decode_fixtures::ExpectColourTable(image_, PatternWords(1));
  EXPECT_EQ(entry, 0);
}

TEST_F(ArchiveLoad, SpriteOfOddHeightKeepsItsMiddleRowInPlace) {
  // sa_spr.bin entry 12: 160 x 113 pixels at byte 32464 x 8, palette 10 of group 0.
  Bytes file(259712, kDecoy);
  file = Cat({file, NumberedRows(160, 113)});
  std::string path = folder_.Write("sa_spr.bin", file);
  WriteEndingBin(106584 + 10 * 512, 10);
  int32_t entry = 12;
  ASSERT_TRUE(Load(path, entry));
  ASSERT_EQ(image_.Width(), 160);
  ASSERT_EQ(image_.Height(), 113);
  ExpectNumberedRows(image_);
  // Row 56 is the middle one: DibBits row 56 is picture row 56.
  EXPECT_EQ(image_.bits[56 * 160], 56);
  EXPECT_EQ(image_.bits[0], 112);
  EXPECT_EQ(image_.bits[112 * 160], 0);
  decode_fixtures::ExpectColourTable(image_, PatternWords(10));
}

TEST_F(ArchiveLoad, AMissingEndingBinIsFileNotFound) {
  int32_t entry = 1;
  // Entry 1 (280 x 224) lies at 6720 x 8: the file holds it.
  std::string path = folder_.Write("ge_spr.bin", Bytes(6720 * 8 + 280 * 224, 1));
  try {
    Load(path, entry);
    FAIL() << "a sprite decoded without ending.bin";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kFileNotFound);
  }
  EXPECT_EQ(entry, 1);
  EXPECT_EQ(host_.busyCalls, kBusyOnThenOff);
  ExpectImageUntouched();
}

TEST_F(ArchiveLoad, SpriteDataOrPaletteRunningPastTheEndIsAReadBeyondTheEnd) {
  struct Case {
    const char* what;
    size_t archiveSize;  // ma_spr.bin, entry 27 needs 507584 + 20160
    size_t endingSize;   // palette 20 needs 151736 + 512
  };
  const Case cases[] = {
      {"sprite one byte short", 507584 + 20160 - 1, 180000},
      {"sprite starts past the end", 1000, 180000},
      {"palette one byte short", 507584 + 20160, 151736 + 511},
      {"palette starts past the end", 507584 + 20160, 100},
  };
  for (const Case& c : cases) {
    host_ = RecordingHost{};
    std::string path = folder_.Write("ma_spr.bin", Bytes(c.archiveSize, 1));
    folder_.Write("ending.bin", Bytes(c.endingSize, 2));
    int32_t entry = 27;
    try {
      Load(path, entry);
      ADD_FAILURE() << c.what << ": decoded";
    } catch (const IoError& e) {
      EXPECT_EQ(e.code(), IoError::kReadBeyondEnd) << c.what;
    }
    EXPECT_EQ(entry, 27) << c.what;
    EXPECT_EQ(path, folder_.PathOf("ma_spr.bin")) << c.what;
    ExpectImageUntouched();
  }
}

TEST_F(ArchiveLoad, GroupBackgroundEntryPastTheEndIsAReadBeyondTheEnd) {
  // Three entries present, entry 3 asked for.
  const Bytes entryBytes = TiledEntry(1120, 1120, 0, 0);
  std::string path = folder_.Write("ge_cg.bin", Cat({entryBytes, entryBytes, entryBytes}));
  int32_t entry = 3;
  try {
    Load(path, entry);
    FAIL() << "entry 3 of 3 decoded";
  } catch (const IoError& e) {
    EXPECT_EQ(e.code(), IoError::kReadBeyondEnd);
  }
  EXPECT_EQ(entry, 3);
}

TEST_F(ArchiveLoad, ABareSpriteArchiveNameTakesEndingBinFromTheCurrentFolder) {
  Bytes file(507584, kDecoy);
  file = Cat({file, NumberedRows(120, 168)});
  folder_.Write("ma_spr.bin", file);
  WriteEndingBin(151736, 20);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder_.path());
  std::string path = "ma_spr.bin";
  int32_t entry = 27;
  bool loaded = false;
  try {
    loaded = Load(path, entry);
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
  std::filesystem::current_path(previous);
  ASSERT_TRUE(loaded);
  decode_fixtures::ExpectColourTable(image_, PatternWords(20));
  EXPECT_EQ(path, "ma_spr.bin[27]");
}

struct PalettePathCase {
  const char* archive;
  PathSyntax syntax;
  const char* expected;
};

TEST(SpritePalettePath, IsEndingBinInTheArchivesFolder) {
  const PathSyntax windowsSjis{PathSeparators::kWindows, PathCodePage::kShiftJis};
  const PathSyntax windowsUtf8{PathSeparators::kWindows, PathCodePage::kUtf8};
  const PathSyntax posix{PathSeparators::kPosix, PathCodePage::kUtf8};
  const PalettePathCase cases[] = {
      {"C:\\game\\ma_spr.bin", windowsSjis, "C:\\game\\ending.bin"},
      {"C:\\ma_spr.bin", windowsSjis, "C:\\ending.bin"},
      {"C:ma_spr.bin", windowsSjis, "C:\\ending.bin"},
      {"ma_spr.bin", windowsSjis, "ending.bin"},
      {"\\\\server\\share\\ma_spr.bin", windowsSjis, "\\\\server\\share\\ending.bin"},
      // "\x95\x5C" is one Shift-JIS character: its trail byte does not separate.
      {"C:\\\x95\x5C" "\\ma_spr.bin", windowsSjis, "C:\\\x95\x5C" "\\ending.bin"},
      {"\x95\x5C" "ma_spr.bin", windowsSjis, "ending.bin"},
      {"\x95\x5C" "ma_spr.bin", windowsUtf8, "\x95\x5C" "ending.bin"},
      {"C:/game/ma_spr.bin", windowsSjis, "C:\\ending.bin"},
      {"/home/user/game/ma_spr.bin", posix, "/home/user/game/ending.bin"},
      {"ma_spr.bin", posix, "ending.bin"},
      {"/ma_spr.bin", posix, "/ending.bin"},
      {"C:ma_spr.bin", posix, "ending.bin"},
  };
  for (const PalettePathCase& c : cases) {
    EXPECT_EQ(SpritePalettePath(c.archive, c.syntax), c.expected) << c.archive;
  }
}

}  // namespace
}  // namespace qelva
