#include "shell/archive_choice.h"

#include "decode/archive_titles.h"
#include "shell/command_line.h"

namespace qelva::shell {

std::span<const std::string_view> ChooserTitles(const ArchiveId& archive) {
  // The kind already says which list: a group background name also reads as an ending
  // background of group 6, but it is recognised as a group background first.
  return TitleList(archive);
}

std::string ChooserCaption(std::string_view archivePath, PathSyntax syntax) {
  return FileNamePart(archivePath, syntax) + "からロード";
}

ArchiveChoice PlanArchiveChoice(const std::vector<bool>& selected, std::string_view programPath,
                                std::string_view archivePath) {
  ArchiveChoice choice;
  for (size_t j = 0; j < selected.size(); ++j) {
    if (!selected[j]) continue;
    const auto entry = static_cast<int32_t>(j);
    if (choice.entryIndex == -1) {
      choice.entryIndex = entry;
    } else {
      choice.furtherLines.push_back(FurtherEntryCommandLine(programPath, archivePath, entry));
    }
  }
  return choice;
}

}  // namespace qelva::shell
