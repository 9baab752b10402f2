// UTF-8 <-> UTF-16 at the Windows boundary. Paths travel as UTF-8 inside the program.
#pragma once

#include <string>
#include <string_view>

namespace qelva {

std::wstring WidenUtf8(std::string_view text);
std::string NarrowToUtf8(std::wstring_view text);

}  // namespace qelva
