// What the archive chooser makes of a selection: the entry this process decodes and the
// command lines of the processes that show the other chosen entries.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/path_text.h"
#include "decode/archive.h"

namespace qelva::shell {

// The titles the chooser lists for an archive: the group background list, the bromide list,
// the ending background list of its group, or else the ending sprite list of its group.
std::span<const std::string_view> ChooserTitles(const ArchiveId& archive);

// The chooser's caption: the file-name part of the path, letters unchanged, and "からロード".
std::string ChooserCaption(std::string_view archivePath, PathSyntax syntax);

struct ArchiveChoice {
  int32_t entryIndex = -1;                // the lowest selected entry; -1 when none is selected
  std::vector<std::string> furtherLines;  // one per further selected entry, in ascending order
};
// selected[j] tells whether item j is selected.
ArchiveChoice PlanArchiveChoice(const std::vector<bool>& selected, std::string_view programPath,
                                std::string_view archivePath);

}  // namespace qelva::shell
