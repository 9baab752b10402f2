// Format selection: the one road from a path to a decoded game picture.
//
// Game files carry no mark of their format: the decoder is chosen from the file name (its
// extension and the first two, four or five bytes of the lower-cased name) and, for items and
// backgrounds, from the file size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/path_text.h"
#include "decode/archive.h"

namespace qelva {

struct DibImage;

// What decoding needs from the program around it. The viewer answers with dialogs and the
// hourglass cursor, the converter with its --entry choice, tests with a recording fake.
class PictureHost {
 public:
  virtual ~PictureHost() = default;
  // A modal message box with a fixed text ("ファイル名が違います").
  virtual void ShowMessage(std::string_view text) = 0;
  // BusyCursor on (true) or back to the default cursor (false).
  virtual void SetBusy(bool busy) = 0;
  // Asks which entries of an archive to show. Returns false when cancelled; otherwise sets
  // entryIndex to the first chosen entry (0 or more) and has dealt with any further ones.
  virtual bool ChooseArchiveEntries(const ArchiveId& archive, const std::string& path,
                                    int32_t& entryIndex) = 0;
  // How paths are spelt: separators and code page.
  virtual PathSyntax Paths() const { return PathSyntax::Native(); }
};

// The message of a path whose extension is not ".bin" and whose name is not "omall.dat".
inline constexpr std::string_view kMsgWrongFileName = "ファイル名が違います";

// The names derived from a path.
struct GameName {
  std::string fileName;   // after the last separator, at most 255 bytes
  std::string lowerName;  // A-Z lowered byte by byte
  std::string extension;  // of the lower-cased name, from its last dot, dot included
};
GameName DeriveGameName(std::string_view path, PathSyntax syntax);

// Whether the name may be a game file at all: extension ".bin" or the name "omall.dat".
bool PassesNameGate(const GameName& name);

enum class PictureFamily {
  kItem,        // DecodeItem
  kIclog,       // tiled, 14 x 16 cells
  kTitle,       // tiled, 40 x 28 cells (titles, wallpapers, eye-catches, loading pictures)
  kBackground,  // tiled, size and header decide the geometry
  kArchive,     // one entry of an archive
  kNone,        // passes the gate but belongs to no family
};
// The family of a name that passed the gate, the first rule that matches deciding.
PictureFamily SelectFamily(const GameName& name, uint64_t fileSize);
// Whether a name that passed the gate goes to the archive branch. No size is needed: the only
// rule that looks at the size (items) never takes an archive name.
bool IsArchiveName(const GameName& name);

// Decodes the game picture at path into image. Returns true with a complete image, or false
// with image untouched: a name the gate refuses (after the host's message box), a name of no
// family, an archive of unknown group or a cancelled chooser. Failures raise QelvaError; the
// image is then untouched too. Archive entries append "[n]" to path; entryIndex is the archive
// entry to decode (0: ask), set back to 0 once an entry is decoded.
bool LoadGamePicture(PictureHost& host, std::string& path, int32_t& entryIndex, DibImage& image);

}  // namespace qelva
