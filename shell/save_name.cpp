#include "shell/save_name.h"

namespace qelva::shell {

std::string PictureNameOf(std::string_view path, PathSyntax syntax) {
  return FileNamePart(path, syntax);
}

std::string SaveNameOf(std::string_view path, PathSyntax syntax) {
  return NameWithoutExtension(FileNamePart(path, syntax), syntax);
}

std::optional<PictureFileType> SaveTypeOfFilter(int filterIndex) {
  if (filterIndex < 1 || filterIndex > kPictureFileTypeCount) return std::nullopt;
  return static_cast<PictureFileType>(filterIndex - 1);
}

std::string ReplaceExtension(std::string_view path, std::string_view extension,
                             PathSyntax syntax) {
  // The last dot after the last separator, scanned by whole characters so that no trail byte
  // is taken for either.
  size_t dot = std::string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    const auto b = static_cast<uint8_t>(path[i]);
    if (syntax.IsSeparator(b)) {
      dot = std::string_view::npos;
    } else if (b == '.') {
      dot = i;
    } else if (syntax.IsLeadByte(b)) {
      ++i;
    }
  }
  std::string replaced(path.substr(0, dot));
  replaced.append(extension);
  return replaced;
}

std::string OverwriteQuestion(std::string_view path, PathSyntax syntax) {
  return FileNamePart(path, syntax) + "は存在します\r\n上書きしますか？";
}

std::string HelpFilePath(std::string_view programPath, std::string_view helpFileName,
                         PathSyntax syntax) {
  const bool windows = syntax.separators == PathSeparators::kWindows;
  // The last separator and whether a drive's ":" comes right before it, scanned by whole
  // characters so that no trail byte is taken for either.
  size_t last = std::string_view::npos;
  bool lastFollowsColon = false;
  bool previousIsColon = false;
  for (size_t i = 0; i < programPath.size(); ++i) {
    const auto b = static_cast<uint8_t>(programPath[i]);
    if (syntax.IsSeparator(b)) {
      last = i;
      lastFollowsColon = previousIsColon;
    }
    previousIsColon = windows && b == ':';
    if (syntax.IsLeadByte(b)) ++i;
  }
  // A program without a folder lies in the current folder, and so does its help file.
  if (last == std::string_view::npos) return std::string(helpFileName);

  // The folder ends before the last separator, but a drive's ":" and a "\" right after it
  // stay: a program in a drive root gets the separator twice.
  const bool keep = programPath[last] == ':' || lastFollowsColon;
  std::string path(programPath.substr(0, keep ? last + 1 : last));
  path += windows ? '\\' : '/';
  path.append(helpFileName);
  return path;
}

}  // namespace qelva::shell
