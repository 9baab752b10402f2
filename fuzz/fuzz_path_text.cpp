// Fuzz target: path texts and the names the viewer derives from them, for any bytes under each
// of the four spellings (Windows or POSIX separators, Shift-JIS or UTF-8). Nothing may be read
// outside the text, and the parts must fit together.
//
// Byte 0 picks the spelling; the rest is the path.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/path_text.h"
#include "decode/format.h"
#include "shell/save_name.h"

namespace {

using namespace qelva;

[[noreturn]] void Fail(const char* what) {
  std::fputs(what, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const PathSyntax syntax{(data[0] & 1) ? PathSeparators::kWindows : PathSeparators::kPosix,
                          (data[0] & 2) ? PathCodePage::kShiftJis : PathCodePage::kUtf8};
  const std::string_view path(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string name = FileNamePart(path, syntax);
  const std::string folder = FolderPart(path, syntax);
  if (name.size() > kMaxFileNameBytes) Fail("a name longer than the longest kept");
  // The name is what follows the folder, cut after its 255th byte.
  const size_t folderEnd = EndsWith(folder, ":\\") && !EndsWith(path.substr(0, folder.size()), ":\\")
                               ? folder.size() - 1
                               : folder.size();
  if (folderEnd > path.size() || path.substr(folderEnd, name.size()) != name)
    Fail("the name is not what follows the folder");
  if (name.size() < kMaxFileNameBytes && folderEnd + name.size() != path.size())
    Fail("bytes between the folder and the end are lost");

  const std::string lower = LowerCaseName(name);
  if (lower.size() != name.size()) Fail("lower-casing changed the length");
  const std::string extension = Extension(lower, syntax);
  if (!extension.empty() && extension[0] != '.') Fail("an extension without its dot");
  if (NameWithoutExtension(lower, syntax) + extension != lower) Fail("name and extension do not add up");

  const GameName game = DeriveGameName(path, syntax);
  if (game.fileName != name || game.lowerName != lower || game.extension != extension)
    Fail("the game name disagrees with its parts");
  if (PassesNameGate(game)) (void)SelectFamily(game, size);

  for (const std::string_view newExtension : {std::string_view(".bmp"), std::string_view(".gif")}) {
    const std::string replaced = shell::ReplaceExtension(path, newExtension, syntax);
    if (!EndsWith(replaced, newExtension)) Fail("the new extension is not at the end");
    if (replaced.compare(0, folderEnd, path.substr(0, folderEnd)) != 0)
      Fail("replacing the extension changed the folder");
  }
  (void)shell::OverwriteQuestion(path, syntax);
  (void)shell::SaveNameOf(path, syntax);
  (void)shell::PictureNameOf(path, syntax);
  (void)shell::HelpFilePath(path, "help.hlp", syntax);
  if (WithNativeSeparators(std::string(path)).size() != path.size()) Fail("separators changed the length");
  return 0;
}
