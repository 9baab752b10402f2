#include "decode/archive_titles.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "decode/archive.h"

namespace qelva {
namespace {

using K = ArchiveKind;

struct ListCase {
  ArchiveId archive;
  size_t length;
};

TEST(TitleLists, FifteenListsHaveTheirEntryCounts) {
  const ListCase cases[] = {
      {{K::kBromide, -1}, 13},          {{K::kGroupBackground, 6}, 4},
      {{K::kEndingBackground, 0}, 11},  {{K::kEndingBackground, 1}, 11},
      {{K::kEndingBackground, 2}, 11},  {{K::kEndingBackground, 3}, 11},
      {{K::kEndingBackground, 4}, 11},  {{K::kEndingBackground, 5}, 11},
      {{K::kEndingSprite, 0}, 24},      {{K::kEndingSprite, 1}, 25},
      {{K::kEndingSprite, 2}, 27},      {{K::kEndingSprite, 3}, 28},
      {{K::kEndingSprite, 4}, 25},      {{K::kEndingSprite, 5}, 26},
      {{K::kEndingSprite, 6}, 7},
  };
  for (const ListCase& c : cases) {
    EXPECT_EQ(TitleList(c.archive).size(), c.length)
        << "kind " << static_cast<int>(c.archive.kind) << " group " << c.archive.group;
    EXPECT_EQ(TitleList(c.archive).size(), static_cast<size_t>(ArchiveEntryCount(c.archive)))
        << "the chooser offers exactly the entries the decoder accepts";
  }
}

TEST(TitleLists, GroupSixHasNoEndingBackgroundList) {
  EXPECT_TRUE(TitleList({K::kEndingBackground, 6}).empty());
}

TEST(TitleLists, EndingTitlesBeginWithTheirEntryNumberRightAlignedInTwoCharacters) {
  for (K kind : {K::kEndingBackground, K::kEndingSprite}) {
    for (int g = 0; g < 7; ++g) {
      const auto list = TitleList({kind, g});
      for (size_t n = 0; n < list.size(); ++n) {
        const std::string number = (n < 10 ? " " : "") + std::to_string(n);
        EXPECT_EQ(std::string(list[n].substr(0, 2)), number) << "kind " << static_cast<int>(kind)
                                                              << " group " << g << " entry " << n;
      }
    }
  }
}

struct TitleCase {
  ArchiveId archive;
  size_t entry;
  const char* title;
};

TEST(TitleLists, TitlesAreExactlyAsListed) {
  const TitleCase cases[] = {
      {{K::kBromide, -1}, 0, "あやめ(特製)"},
      {{K::kBromide, -1}, 12, "すみれ(特製)"},
      {{K::kGroupBackground, 6}, 0, "客席"},
      {{K::kGroupBackground, 6}, 3, "全員集合(完)"},
      {{K::kEndingBackground, 0}, 0, " 0:帝劇(モノクロ)"},
      {{K::kEndingBackground, 0}, 4, " 4:雷様が……"},
      {{K::kEndingBackground, 2}, 2, " 2:気合！"},
      {{K::kEndingBackground, 4}, 6, " 6:集合写真(カラー)"},
      {{K::kEndingBackground, 4}, 7, " 7:集合写真（モノクロ）"},  // full-width parentheses
      {{K::kEndingBackground, 3}, 7, " 7:集合写真(モノクロ)"},
      {{K::kEndingBackground, 5}, 10, "10:アップで(2)"},
      {{K::kEndingSprite, 0}, 14, "14:｢行け、光武!｣｢ま゛っ!｣"},
      {{K::kEndingSprite, 0}, 23, "23:カーテンコール(アップ)"},
      {{K::kEndingSprite, 1}, 6, " 6:アイリスの夢～一人ぼっち"},
      {{K::kEndingSprite, 1}, 24, "24:カーテンコール（全員）"},
      {{K::kEndingSprite, 2}, 12, "12:決め！"},
      {{K::kEndingSprite, 2}, 15, "15 大神を責める"},  // a blank, no colon
      {{K::kEndingSprite, 2}, 26, "26:カーテンコール(全員)"},
      {{K::kEndingSprite, 3}, 12, "12:｢少尉ーー!｣"},
      {{K::kEndingSprite, 3}, 27, "27:カーテンコール(アップ)"},
      {{K::kEndingSprite, 4}, 4, " 4:特訓?"},
      {{K::kEndingSprite, 5}, 12, "12:3人娘(水着)"},
      {{K::kEndingSprite, 5}, 25, "25:カーテンコール(全員)"},
      {{K::kEndingSprite, 6}, 6, " 6:マリア"},
  };
  for (const TitleCase& c : cases) {
    const auto list = TitleList(c.archive);
    ASSERT_LT(c.entry, list.size()) << c.title;
    EXPECT_EQ(list[c.entry], c.title) << "kind " << static_cast<int>(c.archive.kind) << " group "
                                      << c.archive.group << " entry " << c.entry;
  }
}

TEST(TitleLists, EachEndingBackgroundListDiffersOnlyInEntriesTwoToFive) {
  // Entries 0, 1 and 6 to 10 are shared (but for group 4's full-width parentheses in entry 7).
  const auto first = TitleList({K::kEndingBackground, 0});
  for (int g = 1; g < 6; ++g) {
    const auto list = TitleList({K::kEndingBackground, g});
    ASSERT_EQ(list.size(), first.size());
    for (size_t n : {0u, 1u, 6u, 8u, 9u, 10u}) EXPECT_EQ(list[n], first[n]) << "group " << g << " entry " << n;
    std::set<std::string_view> own(list.begin() + 2, list.begin() + 6);
    for (size_t n = 2; n < 6; ++n) EXPECT_NE(list[n], first[n]) << "group " << g << " entry " << n;
    EXPECT_EQ(own.size(), 4u);
  }
}

}  // namespace
}  // namespace qelva
