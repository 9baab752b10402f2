// Names the viewer derives from a picture's path and from its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/path_text.h"
#include "export/picture_file.h"

namespace qelva::shell {

// The name the caption shows: the file-name part of the path as loading left it
// ("omall.dat[3]").
std::string PictureNameOf(std::string_view path, PathSyntax syntax);

// The Save dialog's preset name: the file-name part without its extension (Kabe01.bin gives
// Kabe01, omall.dat[3] gives omall).
std::string SaveNameOf(std::string_view path, PathSyntax syntax);

// The Save dialog's file types, in the order of PictureFileType (filter index 1 to 8: the six
// bitmap and GIF types, then the two PNG types): caption, "|", pattern, "|", ..., as a form's
// dialog takes its filter.
inline constexpr std::string_view kSaveFilter =
    "Windows Bitmap(非圧縮)|*.bmp|Windows Bitmap(RLE圧縮)|*.bmp|GIF87a(Non-Interaced)|*.gif|"
    "GIF87a(Interaced)|*.gif|透明化GIF(89a, Ni)|*.gif|透明化GIF(89a,i)|*.gif|"
    "PNG|*.png|透明化PNG|*.png";

// The file type of a Save dialog filter index (1 to 8); nothing for any other index.
std::optional<PictureFileType> SaveTypeOfFilter(int filterIndex);

// The path with its extension replaced: everything from the last "." after the last separator
// on; a name without such a "." gets the extension appended (a dot in a folder name is no
// extension).
std::string ReplaceExtension(std::string_view path, std::string_view extension,
                             PathSyntax syntax);

// The texts of the Save command's warning boxes.
// Asks before a file is replaced: its name without folder, a line break as CR LF, the question.
std::string OverwriteQuestion(std::string_view path, PathSyntax syntax);
// A full-colour picture cannot be a GIF file; its line breaks as LF CR.
inline constexpr std::string_view kFullColourGifRefusal =
    "フルカラーファイルは\n\rGIF形式でセーブできません";

// The help file beside the program: the text before the program path's last separator, a "\",
// and the help file's name. A separator right after a drive's ":" stays in the folder, so a
// program in a drive root gives "C:\\QelvaView-help.rtf" with its separator doubled.
std::string HelpFilePath(std::string_view programPath, std::string_view helpFileName,
                         PathSyntax syntax);

}  // namespace qelva::shell
