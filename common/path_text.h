// Path texts: the file-name part, its lower-cased form, the extension and the folder part.
//
// Paths are scanned byte by byte. On Windows only "\" and ":" separate folders (a "/" is an
// ordinary byte); on POSIX systems only "/" does. In a Shift-JIS (code page 932) path a lead
// byte takes the byte after it along, so the trail byte of a double-byte character is never
// taken for a separator or a dot. In a UTF-8 path no byte of a multi-byte character can equal
// a separator or a dot, so no lead-byte test is made there (applying the Shift-JIS test to UTF-8
// would swallow real separators).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qelva {

enum class PathSeparators { kWindows, kPosix };
enum class PathCodePage { kUtf8, kShiftJis };

struct PathSyntax {
  PathSeparators separators;
  PathCodePage codePage;

  // How this build's own paths look: Windows separators or POSIX ones, UTF-8 bytes.
  static PathSyntax Native();

  bool IsLeadByte(uint8_t b) const {
    return codePage == PathCodePage::kShiftJis && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
  }
  bool IsSeparator(uint8_t b) const {
    return separators == PathSeparators::kWindows ? (b == '\\' || b == ':') : b == '/';
  }
};

// Windows takes "/" for "\" in paths, but names are found after the last "\" or ":" alone: on
// Windows a path typed with slashes is spelt with backslashes before it is used. Elsewhere the
// path is kept as it is.
std::string WithNativeSeparators(std::string path);

// The longest file name that is kept whole; a longer one is cut after this many bytes.
inline constexpr size_t kMaxFileNameBytes = 255;

// The part after the last separator, cut after its 255th byte.
std::string FileNamePart(std::string_view path, PathSyntax syntax);
// The path up to and including its last separator; a Windows folder part that ends in a
// drive's ":" gets a "\" after it. Empty when the path has no separator.
std::string FolderPart(std::string_view path, PathSyntax syntax);
// A to Z become a to z, byte by byte (also inside double-byte characters); all else is kept.
std::string LowerCaseName(std::string_view name);
// From the last dot to the end, the dot included; empty when there is no dot.
std::string Extension(std::string_view name, PathSyntax syntax);
// The name without its extension.
std::string NameWithoutExtension(std::string_view name, PathSyntax syntax);

}  // namespace qelva
