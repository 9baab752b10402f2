#include "common/path_text.h"

#include <algorithm>

namespace qelva {
namespace {

// Calls visit(index, byte) for every byte that starts a character, skipping trail bytes.
template <typename Visit>
void ScanCharacters(std::string_view text, PathSyntax syntax, Visit visit) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<uint8_t>(text[i]);
    visit(i, b);
    if (syntax.IsLeadByte(b)) ++i;
  }
}

// Index just past the last separator (0 when there is none).
size_t FolderEnd(std::string_view path, PathSyntax syntax) {
  size_t end = 0;
  ScanCharacters(path, syntax, [&](size_t i, uint8_t b) {
    if (syntax.IsSeparator(b)) end = i + 1;
  });
  return end;
}

size_t LastDot(std::string_view name, PathSyntax syntax) {
  size_t dot = std::string_view::npos;
  ScanCharacters(name, syntax, [&](size_t i, uint8_t b) {
    if (b == '.') dot = i;
  });
  return dot;
}

}  // namespace

PathSyntax PathSyntax::Native() {
#ifdef _WIN32
  return {PathSeparators::kWindows, PathCodePage::kUtf8};
#else
  return {PathSeparators::kPosix, PathCodePage::kUtf8};
#endif
}

std::string FileNamePart(std::string_view path, PathSyntax syntax) {
  std::string_view name = path.substr(FolderEnd(path, syntax));
  return std::string(name.substr(0, kMaxFileNameBytes));
}

std::string FolderPart(std::string_view path, PathSyntax syntax) {
  std::string folder(path.substr(0, FolderEnd(path, syntax)));
  if (syntax.separators == PathSeparators::kWindows && !folder.empty() && folder.back() == ':') {
    folder += '\\';
  }
  return folder;
}

std::string LowerCaseName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string Extension(std::string_view name, PathSyntax syntax) {
  const size_t dot = LastDot(name, syntax);
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string NameWithoutExtension(std::string_view name, PathSyntax syntax) {
  return std::string(name.substr(0, LastDot(name, syntax)));
}

std::string WithNativeSeparators(std::string path) {
#ifdef _WIN32
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

}  // namespace qelva
