#include "decode/archive.h"

#include <algorithm>
#include <string>

#include "common/dib_image.h"
#include "common/errors.h"
#include "common/game_file.h"
#include "decode/archive_tables.h"
#include "decode/format.h"
#include "decode/palette.h"
#include "decode/tiled.h"

namespace qelva {
namespace {

constexpr std::string_view kMsgNoSuchEntry = "ｴﾝﾄﾘ番号 %s はこのｱｰｶｲﾌﾞにありません";

// Game files store rows top first; DibBits wants them bottom first.
void ReverseRows(std::vector<uint8_t>& bits, size_t rowBytes, size_t height) {
  for (size_t r = 0; r < height / 2; ++r) {
    std::swap_ranges(bits.begin() + static_cast<ptrdiff_t>(r * rowBytes),
                     bits.begin() + static_cast<ptrdiff_t>((r + 1) * rowBytes),
                     bits.begin() + static_cast<ptrdiff_t>((height - 1 - r) * rowBytes));
  }
}

void DecodeTiledEntry(TileHeader& header, DibImage& image, GameFile& file, uint16_t cellsWide,
                      uint16_t cellsHigh, uint16_t tileCount, uint64_t offset) {
  header.cellsWide = cellsWide;
  header.cellsHigh = cellsHigh;
  header.tileCount = tileCount;
  file.Seek(offset);
  DecodeTiled(header, image, file);
}

}  // namespace

std::optional<ArchiveKind> ArchiveKindOfName(std::string_view lowerName) {
  // Byte positions 3 to 5 and 3 to 6 (counted from 1) hold "_cg" and "_spr".
  if (lowerName.substr(0, 5) == "ge_cg") return ArchiveKind::kGroupBackground;
  if (lowerName == "omall.dat") return ArchiveKind::kBromide;
  if (lowerName.size() >= 5 && lowerName.substr(2, 3) == "_cg") {
    return ArchiveKind::kEndingBackground;
  }
  if (lowerName.size() >= 6 && lowerName.substr(2, 4) == "_spr") return ArchiveKind::kEndingSprite;
  return std::nullopt;
}

int ArchiveGroupOfName(std::string_view lowerName) {
  const auto it = std::find(kGroupPrefixTable.begin(), kGroupPrefixTable.end(),
                            lowerName.substr(0, 2));
  return it == kGroupPrefixTable.end() ? -1 : static_cast<int>(it - kGroupPrefixTable.begin());
}

std::optional<ArchiveId> IdentifyArchive(std::string_view lowerName) {
  const auto kind = ArchiveKindOfName(lowerName);
  if (!kind) return std::nullopt;
  if (*kind == ArchiveKind::kBromide) return ArchiveId{*kind, -1};
  const int group = ArchiveGroupOfName(lowerName);
  if (group < 0) return std::nullopt;
  return ArchiveId{*kind, group};
}

int ArchiveEntryCount(const ArchiveId& archive) {
  switch (archive.kind) {
    case ArchiveKind::kGroupBackground: return kGroupBackgroundEntries;
    case ArchiveKind::kBromide: return kBromideEntries;
    case ArchiveKind::kEndingBackground: return kEndingBackgroundEntries;
    case ArchiveKind::kEndingSprite:
      return archive.group >= 0 && archive.group < kGroupCount ? kSpriteCount[archive.group] : 0;
  }
  return 0;
}

bool DecodeArchiveEntry(PictureHost& host, GameFile& file, std::string_view lowerName,
                        std::string& path, int32_t& entryIndex, TileHeader& header,
                        DibImage& image) {
  const auto archive = IdentifyArchive(lowerName);
  if (!archive) {
    file.Close();
    return false;
  }
  if (entryIndex == 0 && !host.ChooseArchiveEntries(*archive, path, entryIndex)) {
    file.Close();
    return false;
  }
  // Entry numbers can come from the command line: refuse those the archive does not have
  // rather than decode whatever lies there.
  const int32_t entry = entryIndex;
  const int count = ArchiveEntryCount(*archive);
  if (entry < 0 || entry >= count) {
    std::string message = FillMessage(kMsgNoSuchEntry, std::to_string(entry));
    message.append(" (0～").append(std::to_string(count - 1)).append(")");
    throw PictureError(message);
  }
  switch (archive->kind) {
    case ArchiveKind::kGroupBackground:
      DecodeTiledEntry(header, image, file, 40, 28, 1120,
                       uint64_t{kGroupBackgroundStride} * static_cast<uint32_t>(entry));
      break;
    case ArchiveKind::kBromide:
      DecodeBromide(image, file, entry);
      break;
    case ArchiveKind::kEndingBackground: {
      const CgGeometry& cg = kCgTable[static_cast<size_t>(entry)];
      DecodeTiledEntry(header, image, file, cg.cellsWide, cg.cellsHigh,
                       static_cast<uint16_t>(cg.cellsWide * cg.cellsHigh), cg.offset);
      break;
    }
    case ArchiveKind::kEndingSprite:
      DecodeEndingSprite(image, file, path, host.Paths(), archive->group, entry);
      break;
  }
  path.append("[").append(std::to_string(entry)).append("]");
  entryIndex = 0;
  return true;
}

void DecodeBromide(DibImage& image, GameFile& file, int entry) {
  const CloseOnExit closer(file);
  const uint64_t record = kBromideFirstRecord + uint64_t{kBromideRecordSize} * static_cast<uint32_t>(entry);
  image.SetWidth(kBromideWidth);
  image.SetHeight(kBromideHeight);
  image.bits.resize(size_t{kBromideWidth} * kBromideHeight);
  file.Seek(record);
  ReadPalette(image.ColourTable(), file);
  file.Seek(record + kBromidePixelsInRecord);
  file.Read(image.bits.data(), image.bits.size());
  ReverseRows(image.bits, kBromideWidth, kBromideHeight);
}

std::string SpritePalettePath(std::string_view archivePath, PathSyntax syntax) {
  return FolderPart(archivePath, syntax) + std::string(kSpritePaletteFile);
}

void DecodeEndingSprite(DibImage& image, GameFile& file, const std::string& archivePath,
                        PathSyntax syntax, int group, int entry) {
  const CloseOnExit closer(file);
  const SpriteSlot& slot = kSpriteTable[static_cast<size_t>(group)][static_cast<size_t>(entry)];
  const size_t width = size_t{slot.width} * 8;
  const size_t height = slot.height;
  image.SetWidth(static_cast<int32_t>(width));
  image.SetHeight(static_cast<int32_t>(height));
  image.bits.resize(width * height);
  file.Seek(uint64_t{slot.offset} * 8);
  file.Read(image.bits.data(), image.bits.size());
  ReverseRows(image.bits, width, height);
  file.Close();  // the archive is done with before the palette file is opened

  GameFile palettes(SpritePalettePath(archivePath, syntax));
  palettes.Seek(uint64_t{slot.palette} * kStoredPaletteSize + kPaletteBase[static_cast<size_t>(group)]);
  ReadPalette(image.ColourTable(), palettes);
  palettes.Close();
}

}  // namespace qelva
