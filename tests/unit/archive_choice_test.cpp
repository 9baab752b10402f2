// The chooser lists an archive's titles under its file name, and turns a selection into the
// entry this process decodes and one further process per other selected entry.
#include "shell/archive_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decode/archive.h"

namespace qelva::shell {
namespace {

constexpr PathSyntax kWinUtf8{PathSeparators::kWindows, PathCodePage::kUtf8};
constexpr const char* kProgram = "C:\\Prog\\QelvaView.exe";

TEST(ArchiveChoice, TheListFollowsTheArchivesName) {
  const struct {
    const char* name;  // lower-cased, as the archive is identified
    size_t titles;
    const char* first;
  } cases[] = {
      {"ge_cg.bin", 4, "客席"},  // also "_cg" with group "ge", but a group background first
      {"omall.dat", 13, "あやめ(特製)"},
      {"ai_cg.bin", 11, " 0:帝劇(モノクロ)"},
      {"sa_spr.bin", 24, " 0:アップ"},
      {"ge_spr.bin", 7, " 0:Qelva"},
  };
  for (const auto& c : cases) {
    const auto archive = IdentifyArchive(c.name);
    ASSERT_TRUE(archive.has_value()) << c.name;
    const auto titles = ChooserTitles(*archive);
    ASSERT_EQ(titles.size(), c.titles) << c.name;
    EXPECT_EQ(titles.front(), c.first) << c.name;
  }
}

TEST(ArchiveChoice, CaptionIsTheFileNameAsGivenAndFromLoad) {
  EXPECT_EQ(ChooserCaption("C:\\game\\SA_SPR.BIN", kWinUtf8), "SA_SPR.BINからロード");
  EXPECT_EQ(ChooserCaption("omall.dat", kWinUtf8), "omall.datからロード");
  EXPECT_EQ(ChooserCaption("D:ge_cg.bin", kWinUtf8), "ge_cg.binからロード");
}

TEST(ArchiveChoice, LowestSelectedIsDecodedHereAndTheOthersStartInOrder) {
  const std::string archive = "C:\\My Game\\omall.dat";
  std::vector<bool> selected(13, false);
  selected[2] = selected[5] = selected[9] = true;
  ArchiveChoice choice = PlanArchiveChoice(selected, kProgram, archive);
  EXPECT_EQ(choice.entryIndex, 2);
  EXPECT_EQ(choice.furtherLines,
            (std::vector<std::string>{"\"C:\\Prog\\QelvaView.exe\" \"C:\\My Game\\omall.dat\" /5",
                                      "\"C:\\Prog\\QelvaView.exe\" \"C:\\My Game\\omall.dat\" /9"}));

  choice = PlanArchiveChoice(std::vector<bool>{true, false, false}, kProgram, archive);
  EXPECT_EQ(choice.entryIndex, 0);
  EXPECT_TRUE(choice.furtherLines.empty());

  // Everything of a 28-title list: entry 0 here, 27 processes for 1 to 27.
  choice = PlanArchiveChoice(std::vector<bool>(28, true), kProgram, archive);
  EXPECT_EQ(choice.entryIndex, 0);
  ASSERT_EQ(choice.furtherLines.size(), 27u);
  EXPECT_TRUE(choice.furtherLines.front().ends_with("\" /1"));
  EXPECT_TRUE(choice.furtherLines.back().ends_with("\" /27"));

  for (const auto& none : {std::vector<bool>{}, std::vector<bool>(11, false)}) {
    choice = PlanArchiveChoice(none, kProgram, archive);
    EXPECT_EQ(choice.entryIndex, -1);
    EXPECT_TRUE(choice.furtherLines.empty());
  }
}

}  // namespace
}  // namespace qelva::shell
