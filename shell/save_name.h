// Names the viewer derives from a picture's path and from its own.
#pragma once

#include <string>
#include <string_view>

#include "common/path_text.h"

namespace qelva::shell {

// The name the caption shows: the file-name part of the path as loading left it
// ("omall.dat[3]").
std::string PictureNameOf(std::string_view path, PathSyntax syntax);

// The Save dialog's preset name: the file-name part without its extension (Kabe01.bin gives
// Kabe01, omall.dat[3] gives omall).
std::string SaveNameOf(std::string_view path, PathSyntax syntax);

// The help file beside the program: the text before the program path's last separator, a "\",
// and the help file's name. A separator right after a drive's ":" stays in the folder, so a
// program in a drive root gives "C:\\Qelvaw_b.hlp" with its separator doubled.
std::string HelpFilePath(std::string_view programPath, std::string_view helpFileName,
                         PathSyntax syntax);

}  // namespace qelva::shell
