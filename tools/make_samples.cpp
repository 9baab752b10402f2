// qelva_make_samples [--truth TRUTHDIR] OUTDIR
//
// Writes a synthetic game folder: every picture family and every archive kind, drawn so that a
// person enjoys looking at them in a demo, plus OUTDIR/broken/ with damaged files for the tests.
// The bytes are the same on every run. With --truth, writes for every picture of OUTDIR the
// picture a decoder must produce, taken from the drawings themselves:
//   "QTRUTH <width> <height>\n", 256 RGB colours (each 5-bit component c as c x 255 / 31),
//   then width x height colour indices, top row first.
// Its name is the converter's output name: Kabe01.bin -> Kabe01.truth, entry n of
// sa_spr.bin -> sa_spr-n.truth.

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "decode/archive_tables.h"
#include "decode/item.h"
#include "tools/game_writer.h"
#include "tools/sample_art.h"

namespace fs = std::filesystem;
using namespace qelva;
using namespace qelva::samples;

namespace {

constexpr int kCell = 8;
constexpr int kTitleCellsWide = 40, kTitleCellsHigh = 28;
constexpr int kIclogCellsWide = 14, kIclogCellsHigh = 16;
constexpr size_t kIclogStartingTiles = 191;
constexpr size_t kEyeCatchStartingTiles = 669;
constexpr int kLargeBackgroundWidth = 640, kLargeBackgroundHeight = 448;
constexpr const char* kBrokenFolder = "broken";

struct SampleFile {
  std::string name;
  Bytes bytes;
};

struct Truth {
  std::string baseName;
  Picture picture;
};

std::string WithoutExtension(const std::string& name) { return name.substr(0, name.rfind('.')); }

// The game folder being built: its files and the pictures they hold.
class SampleFolder {
 public:
  // A running number gives every picture its own colours and details.
  uint32_t NextVariant() { return ++variant_; }

  void AddPicture(const std::string& name, Bytes bytes, const Picture& picture) {
    files_.push_back({name, std::move(bytes)});
    truths_.push_back({WithoutExtension(name), picture});
  }
  void AddArchive(const std::string& name, Bytes bytes, const std::vector<Picture>& entries) {
    files_.push_back({name, std::move(bytes)});
    for (size_t n = 0; n < entries.size(); ++n)
      truths_.push_back({WithoutExtension(name) + "-" + std::to_string(n), entries[n]});
  }
  void AddOther(const std::string& name, Bytes bytes) {
    files_.push_back({name, std::move(bytes)});
  }
  void AddBroken(const std::string& name, Bytes bytes) {
    broken_.push_back({name, std::move(bytes)});
  }

  const std::vector<SampleFile>& files() const { return files_; }
  const std::vector<SampleFile>& broken() const { return broken_; }
  const std::vector<Truth>& truths() const { return truths_; }

 private:
  uint32_t variant_ = 0;
  std::vector<SampleFile> files_;
  std::vector<SampleFile> broken_;
  std::vector<Truth> truths_;
};

// ---- the families --------------------------------------------------------------------------

void AddItems(SampleFolder& folder, Rng& rng) {
  for (const auto& [name, number] : {std::pair{"Item01.bin", 1}, std::pair{"ITEM02.BIN", 2}}) {
    const Picture picture =
        DrawPicture(Look::kItem, kItemSide, kItemSide, number, folder.NextVariant());
    folder.AddPicture(name, EncodeItem(picture, rng), picture);
  }
}

struct TiledFamily {
  const char* name;
  Look look;
  int cellsWide, cellsHigh;
  size_t startingTiles;  // the decoder reads at least this many tiles
};

void AddTiledFamilies(SampleFolder& folder, Rng& rng) {
  const TiledFamily families[] = {
      {"iclog01.bin", Look::kLogo, kIclogCellsWide, kIclogCellsHigh, kIclogStartingTiles},
      {"Kabe01.bin", Look::kWallpaper, kTitleCellsWide, kTitleCellsHigh, 0},
      {"load01.bin", Look::kTitle, kTitleCellsWide, kTitleCellsHigh, 0},
      {"icon.bin", Look::kLogo, kTitleCellsWide, kTitleCellsHigh, 0},
      {"omake01.bin", Look::kBromide, kTitleCellsWide, kTitleCellsHigh, 0},
      {"wall01.bin", Look::kWallpaper, kTitleCellsWide, kTitleCellsHigh, 0},
      {"title01.bin", Look::kTitle, kTitleCellsWide, kTitleCellsHigh, 0},
      {"eye1.bin", Look::kEyeCatch, kTitleCellsWide, kTitleCellsHigh, kEyeCatchStartingTiles},
      {"title_cg.bin", Look::kTitle, kTitleCellsWide, kTitleCellsHigh, 0},
  };
  int number = 1;
  for (const TiledFamily& f : families) {
    const Picture picture = DrawPicture(f.look, f.cellsWide * kCell, f.cellsHigh * kCell, number++,
                                        folder.NextVariant());
    folder.AddPicture(f.name, EncodeTiled(picture, f.startingTiles, rng), picture);
  }
}

void AddBackgrounds(SampleFolder& folder, Rng& rng) {
  const Picture large = DrawPicture(Look::kBackground, kLargeBackgroundWidth,
                                    kLargeBackgroundHeight, 1, folder.NextVariant());
  folder.AddPicture("BG01.BIN", EncodeLargeBackground(large, rng), large);

  const Picture plain =
      DrawPicture(Look::kBackground, 32 * kCell, 20 * kCell, 2, folder.NextVariant());
  folder.AddPicture("bg02.bin", EncodeSmallBackground(plain, kLayoutPlain, rng), plain);

  const Picture skipping =
      DrawPicture(Look::kBackground, 24 * kCell, 24 * kCell, 3, folder.NextVariant());
  folder.AddPicture("bg03.bin", EncodeSmallBackground(skipping, kLayoutSkipAfterPalette, rng),
                    skipping);

  constexpr size_t kTailJunk = 100;
  const Picture tilesFirst = DrawPicture(Look::kBackground, kTilesFirstCellsWide * kCell,
                                         20 * kCell, 4, folder.NextVariant());
  folder.AddPicture("Bg04.bin", EncodeTilesFirstBackground(tilesFirst, kTailJunk, rng), tilesFirst);
}

// ---- the archives ----------------------------------------------------------------------------

std::vector<Picture> DrawEntries(SampleFolder& folder, Look look, int count, int width,
                                 int height) {
  std::vector<Picture> entries;
  for (int n = 0; n < count; ++n)
    entries.push_back(DrawPicture(look, width, height, n, folder.NextVariant()));
  return entries;
}

void AddGroupBackgrounds(SampleFolder& folder, Rng& rng) {
  const auto entries = DrawEntries(folder, Look::kBackground, kGroupBackgroundEntries,
                                   kTitleCellsWide * kCell, kTitleCellsHigh * kCell);
  folder.AddArchive("ge_cg.bin", EncodeGroupBackgrounds(entries, rng), entries);
}

void AddBromides(SampleFolder& folder, Rng& rng) {
  const auto entries =
      DrawEntries(folder, Look::kBromide, kBromideEntries, kBromideWidth, kBromideHeight);
  folder.AddArchive("omall.dat", EncodeBromides(entries, rng), entries);
}

std::vector<Picture> DrawEndingBackgrounds(SampleFolder& folder) {
  std::vector<Picture> entries;
  for (int n = 0; n < kEndingBackgroundEntries; ++n) {
    const CgGeometry& cg = kCgTable[static_cast<size_t>(n)];
    entries.push_back(DrawPicture(Look::kBackground, cg.cellsWide * kCell, cg.cellsHigh * kCell, n,
                                  folder.NextVariant()));
  }
  return entries;
}

void AddEndingBackgrounds(SampleFolder& folder, Rng& rng) {
  for (const char* name : {"sa_cg.bin", "ko_cg.bin"}) {
    const auto entries = DrawEndingBackgrounds(folder);
    folder.AddArchive(name, EncodeEndingBackgrounds(entries, rng), entries);
  }
}

// The palettes of a group: enough for the highest palette number its slots name.
GroupPalettes SpritePalettes(int group) {
  const auto& slots = kSpriteTable[static_cast<size_t>(group)];
  int highest = 0;
  for (int n = 0; n < kSpriteCount[static_cast<size_t>(group)]; ++n)
    highest = std::max<int>(highest, slots[static_cast<size_t>(n)].palette);
  GroupPalettes result{group, {}};
  for (int k = 0; k <= highest; ++k)
    result.palettes.push_back(MakePalette((group * 97 + k * 23) % 360));
  return result;
}

std::vector<Picture> DrawSprites(SampleFolder& folder, const GroupPalettes& palettes) {
  const auto& slots = kSpriteTable[static_cast<size_t>(palettes.group)];
  std::vector<Picture> entries;
  for (int n = 0; n < kSpriteCount[static_cast<size_t>(palettes.group)]; ++n) {
    const SpriteSlot& slot = slots[static_cast<size_t>(n)];
    entries.push_back(DrawPictureWithPalette(Look::kSprite, slot.width * kSpriteWidthUnit,
                                             slot.height, n, folder.NextVariant(),
                                             palettes.palettes[slot.palette]));
  }
  return entries;
}

void AddSprites(SampleFolder& folder, Rng& rng) {
  constexpr int kSaGroup = 0;
  std::vector<GroupPalettes> used;
  for (int group : {kSaGroup, kGroupBackgroundGroup}) {
    used.push_back(SpritePalettes(group));
    const auto entries = DrawSprites(folder, used.back());
    const std::string name =
        std::string(kGroupPrefixTable[static_cast<size_t>(group)]) + "_spr.bin";
    folder.AddArchive(name, EncodeSprites(group, entries, rng), entries);
  }
  folder.AddOther(std::string(kSpritePaletteFile), EncodeEndingPalettes(used, rng));
}

// ---- damaged files ---------------------------------------------------------------------------

const Bytes& FileNamed(const SampleFolder& folder, const std::string& name) {
  for (const SampleFile& f : folder.files())
    if (f.name == name) return f.bytes;
  throw std::logic_error("no sample named " + name);
}

Bytes CutTo(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

void AddBrokenFiles(SampleFolder& folder, Rng& rng) {
  const Bytes& plainBackground = FileNamed(folder, "bg02.bin");
  folder.AddBroken("bg90.bin", CutTo(plainBackground, plainBackground.size() - 3 * 64 - 5));
  folder.AddBroken("item99.bin", CutTo(FileNamed(folder, "Item01.bin"), kItemFileSize - 1));

  Bytes tilesFirstTooShort = BackgroundHeader(kLayoutTilesFirst, 36, 1, rng);
  const Bytes tail = Junk(1000 - tilesFirstTooShort.size(), rng);
  tilesFirstTooShort.insert(tilesFirstTooShort.end(), tail.begin(), tail.end());
  folder.AddBroken("bg91.bin", tilesFirstTooShort);

  Bytes tooManyCells = BackgroundHeader(kLayoutPlain, 100, 100, rng);
  const Bytes body = Junk(50000, rng);
  tooManyCells.insert(tooManyCells.end(), body.begin(), body.end());
  folder.AddBroken("bg92.bin", tooManyCells);

  folder.AddBroken("xx_cg.bin", FileNamed(folder, "sa_cg.bin"));
  constexpr size_t kWholeBromides = 5;
  folder.AddBroken("omall.dat",
                   CutTo(FileNamed(folder, "omall.dat"),
                         kBromideFirstRecord + kWholeBromides * kBromideRecordSize + 20000));

  // The first map entry names tile 30000, far past the end of the pool.
  Bytes tileBeyondEnd = FileNamed(folder, "Kabe01.bin");
  constexpr uint16_t kFarTileValue = 30000 << 1;
  tileBeyondEnd[512 + 2] = static_cast<uint8_t>(kFarTileValue >> 8);
  tileBeyondEnd[512 + 3] = static_cast<uint8_t>(kFarTileValue);
  folder.AddBroken("kabe99.bin", tileBeyondEnd);

  folder.AddBroken("ge_spr.bin", FileNamed(folder, "ge_spr.bin"));  // with no ending.bin beside it
}

// ---- output ----------------------------------------------------------------------------------

int Component8(uint16_t colour, int shift) { return ((colour >> shift) & 31) * 255 / 31; }

Bytes EncodeTruth(const Picture& picture) {
  const std::string head =
      "QTRUTH " + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n";
  Bytes out(head.begin(), head.end());
  for (uint16_t colour : picture.palette)
    for (int shift : {0, 5, 10}) out.push_back(static_cast<uint8_t>(Component8(colour, shift)));
  out.insert(out.end(), picture.pixels.begin(), picture.pixels.end());
  return out;
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteFolder(const SampleFolder& folder, const fs::path& outDir) {
  fs::create_directories(outDir / kBrokenFolder);
  for (const SampleFile& f : folder.files()) WriteFile(outDir / f.name, f.bytes);
  for (const SampleFile& f : folder.broken()) WriteFile(outDir / kBrokenFolder / f.name, f.bytes);
}

void WriteTruths(const SampleFolder& folder, const fs::path& truthDir) {
  fs::create_directories(truthDir);
  for (const Truth& t : folder.truths())
    WriteFile(truthDir / (t.baseName + ".truth"), EncodeTruth(t.picture));
}

SampleFolder BuildFolder() {
  SampleFolder folder;
  Rng rng(0x51E7A001u);  // the junk between and inside the files
  AddItems(folder, rng);
  AddTiledFamilies(folder, rng);
  AddBackgrounds(folder, rng);
  AddGroupBackgrounds(folder, rng);
  AddBromides(folder, rng);
  AddEndingBackgrounds(folder, rng);
  AddSprites(folder, rng);
  AddBrokenFiles(folder, rng);
  return folder;
}

int Usage() {
  std::fputs("usage: qelva_make_samples [--truth TRUTHDIR] OUTDIR\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string truthDir, outDir;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--truth" && i + 1 < args.size()) {
      truthDir = args[++i];
    } else if (!args[i].empty() && args[i][0] == '-') {
      return Usage();
    } else if (outDir.empty()) {
      outDir = args[i];
    } else {
      return Usage();
    }
  }
  if (outDir.empty()) return Usage();
  try {
    const SampleFolder folder = BuildFolder();
    WriteFolder(folder, outDir);
    if (!truthDir.empty()) WriteTruths(folder, truthDir);
    std::printf("qelva_make_samples: %zu files holding %zu pictures and %zu broken files in %s%s\n",
                folder.files().size(), folder.truths().size(), folder.broken().size(),
                outDir.c_str(), truthDir.empty() ? "" : ("; truths in " + truthDir).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qelva_make_samples: %s\n", e.what());
    return 1;
  }
  return 0;
}
