// UTF-8 <-> UTF-16 at the Windows boundary. Paths travel as UTF-8 inside the program.
#pragma once

#include <string>
#include <string_view>

namespace qelva {

std::wstring WidenUtf8(std::string_view text);
std::string NarrowToUtf8(std::wstring_view text);

// A UTF-8 path as the file functions take it. Paths too long for a folder (248 characters and
// more) are made full paths in the "\\?\" form (the system's own spelling: "/" becomes "\", "." and ".."
// resolved), which the file functions take at any length whatever the system's settings; shorter
// ones are passed as they are.
std::wstring WindowsFilePath(std::string_view utf8Path);
// The UTF-8 text of a path the file functions gave or took, without the "\\?\" of the long
// form, as the program keeps and shows paths.
std::string Utf8FromWindowsFilePath(std::wstring_view path);

}  // namespace qelva
