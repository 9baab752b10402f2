#include "decode/format.h"

#include <array>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "common/game_file.h"
#include "decode/item.h"
#include "decode/palette.h"
#include "decode/tiled.h"

namespace qelva {
namespace {

constexpr std::string_view kMsgBackgroundTooShort = "背景ﾌｧｲﾙが短すぎます (%s ﾊﾞｲﾄ)";

// Backgrounds up to this size begin with a 16-byte header; larger ones are 80 x 56 cells.
constexpr uint64_t kLargestHeaderedBackground = 204800;
constexpr uint64_t kLargeBackgroundTilesAt = 512 + 4 * kMaxCells;  // 18432
// A header with layout 1 means 36 cells wide; the height follows from the file size.
constexpr uint16_t kTilesFirstCellsWide = 36;
constexpr int64_t kTilesFirstFixedBytes = 3584;
constexpr int64_t kTilesFirstBytesPerCellRow = 2304;  // 36 tiles of 64 bytes
constexpr uint64_t kTilesFirstDataAt = 80;

std::string_view Prefix(std::string_view name, size_t n) { return name.substr(0, n); }

// Holds BusyCursor for one load, restoring the default cursor on every way out.
class BusyScope {
 public:
  explicit BusyScope(PictureHost& host) : host_(host) { host_.SetBusy(true); }
  ~BusyScope() { host_.SetBusy(false); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  PictureHost& host_;
};

void DecodeBackground(DibImage& image, GameFile& file, uint64_t size) {
  TileHeader header;
  if (size > kLargestHeaderedBackground) {
    header.cellsWide = 80;
    header.cellsHigh = 56;
    header.tileCount = static_cast<uint16_t>((size - kLargeBackgroundTilesAt) / kTileBytes);
    DecodeTiled(header, image, file);
    return;
  }
  std::array<uint8_t, 16> words;
  file.Read(words.data(), words.size());
  header.layoutMode = ReadBe16(&words[2]);
  if (header.layoutMode == 1) {
    const int64_t cellsHigh =
        (static_cast<int64_t>(size) - kTilesFirstFixedBytes) / kTilesFirstBytesPerCellRow;
    if (cellsHigh < 0) {
      throw PictureError(FillMessage(kMsgBackgroundTooShort, std::to_string(size)));
    }
    header.cellsWide = kTilesFirstCellsWide;
    header.cellsHigh = static_cast<uint16_t>(cellsHigh);
    header.tileCount = static_cast<uint16_t>(kTilesFirstCellsWide * header.cellsHigh);
    file.Seek(kTilesFirstDataAt);
  } else {
    header.cellsWide = ReadBe16(&words[4]);
    header.cellsHigh = ReadBe16(&words[6]);
    header.tileCount = 0;
  }
  DecodeTiled(header, image, file);
}

}  // namespace

GameName DeriveGameName(std::string_view path, PathSyntax syntax) {
  GameName name;
  name.fileName = FileNamePart(path, syntax);
  name.lowerName = LowerCaseName(name.fileName);
  name.extension = Extension(name.lowerName, syntax);
  return name;
}

bool PassesNameGate(const GameName& name) {
  return name.extension == ".bin" || name.lowerName == "omall.dat";
}

PictureFamily SelectFamily(const GameName& name, uint64_t fileSize) {
  const std::string_view lower = name.lowerName;
  const std::string_view p2 = Prefix(lower, 2), p4 = Prefix(lower, 4), p5 = Prefix(lower, 5);
  if (p4 == "item" && fileSize == kItemFileSize) return PictureFamily::kItem;
  if (p5 == "iclog") return PictureFamily::kIclog;
  if (p4 == "kabe" || p4 == "load" || p2 == "ic" || p5 == "omake" || p4 == "wall" ||
      p5 == "title" || p4 == "eye1") {
    return PictureFamily::kTitle;
  }
  if (p2 == "bg") return PictureFamily::kBackground;
  if (ArchiveKindOfName(lower)) return PictureFamily::kArchive;
  return PictureFamily::kNone;
}

bool IsArchiveName(const GameName& name) {
  return SelectFamily(name, 0) == PictureFamily::kArchive;
}

bool LoadGamePicture(PictureHost& host, std::string& path, int32_t& entryIndex, DibImage& image) {
  const GameName name = DeriveGameName(path, host.Paths());
  if (!PassesNameGate(name)) {
    host.ShowMessage(kMsgWrongFileName);
    return false;
  }
  BusyScope busy(host);
  GameFile file(path);
  DibImage loading;
  loading.info = NewDibInfo();
  const uint64_t size = file.Size();
  TileHeader header;
  switch (SelectFamily(name, size)) {
    case PictureFamily::kItem:
      DecodeItem(loading, file);
      break;
    case PictureFamily::kIclog:
      header = {.layoutMode = 0, .cellsWide = 14, .cellsHigh = 16, .tileCount = 191};
      DecodeTiled(header, loading, file);
      break;
    case PictureFamily::kTitle:
      header = {.layoutMode = 0, .cellsWide = 40, .cellsHigh = 28,
                .tileCount = static_cast<uint16_t>(Prefix(name.lowerName, 4) == "eye1" ? 669 : 0)};
      DecodeTiled(header, loading, file);
      break;
    case PictureFamily::kBackground:
      DecodeBackground(loading, file, size);
      break;
    case PictureFamily::kArchive:
      if (!DecodeArchiveEntry(host, file, name.lowerName, path, entryIndex, header, loading)) {
        return false;
      }
      break;
    case PictureFamily::kNone:
      return false;
  }
  image = std::move(loading);
  return true;
}

}  // namespace qelva
