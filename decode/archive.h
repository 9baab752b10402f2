// Archives: game files that hold several pictures, called entries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/path_text.h"

namespace qelva {

class GameFile;
class PictureHost;
struct DibImage;
struct TileHeader;

// The four kinds, in the order every test of an archive name checks them.
enum class ArchiveKind {
  kGroupBackground,   // "ge_cg...": 40 x 28 cell tiled pictures at a fixed step
  kBromide,           // "omall.dat": 176 x 200 pictures with their palettes
  kEndingBackground,  // "??_cg...": tiled pictures of the shared ending geometry
  kEndingSprite,      // "??_spr...": sprites with their palettes in "ending.bin"
};

struct ArchiveId {
  ArchiveKind kind;
  int group;  // ArchiveGroup, 0 to 6; -1 for the bromide archive, which has none
  bool operator==(const ArchiveId&) const = default;
};

// The kind an archive name announces (lower-cased file name), before its group is looked up.
std::optional<ArchiveKind> ArchiveKindOfName(std::string_view lowerName);
// Position of the name's first two bytes in the group prefix table, or -1.
int ArchiveGroupOfName(std::string_view lowerName);
// Kind and group of an archive name; nothing when the name is no archive name or its group
// prefix is unknown (such a file is no picture at all).
std::optional<ArchiveId> IdentifyArchive(std::string_view lowerName);
// How many entries an archive of that kind and group holds.
int ArchiveEntryCount(const ArchiveId& archive);

// The archive branch of LoadGamePicture. Decodes entry entryIndex (0: ask the host) of the open
// archive into image (its info from NewDibInfo), appends "[n]" to path and sets entryIndex
// back to 0. Returns false, closing the file, when the group is unknown or the host's chooser
// was cancelled. Entry numbers the archive does not have are refused with PictureError.
bool DecodeArchiveEntry(PictureHost& host, GameFile& file, std::string_view lowerName,
                        std::string& path, int32_t& entryIndex, TileHeader& header,
                        DibImage& image);

// Decodes bromide entry `entry` (0 to 12) of the open archive and closes it.
void DecodeBromide(DibImage& image, GameFile& file, int entry);

// Decodes sprite entry `entry` of group `group` from the open sprite archive at archivePath,
// closes it, and reads the entry's palette from "ending.bin" in the archive's folder.
void DecodeEndingSprite(DibImage& image, GameFile& file, const std::string& archivePath,
                        PathSyntax syntax, int group, int entry);

// Where the sprite archive at archivePath finds its palettes: "ending.bin" in its folder. A bare
// file name has no folder part and means the current folder, where that archive lies too.
std::string SpritePalettePath(std::string_view archivePath, PathSyntax syntax);

}  // namespace qelva
