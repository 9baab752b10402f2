// The titles of every archive's entries, as the archive chooser lists them. A title's position
// in its list is its entry number.
#pragma once

#include <span>
#include <string_view>

#include "decode/archive.h"

namespace qelva {

// The list for an archive: by kind, and for ending backgrounds and sprites by group. Empty for
// a group that has no such list.
std::span<const std::string_view> TitleList(const ArchiveId& archive);

}  // namespace qelva
