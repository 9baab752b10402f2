#include "decode/archive_titles.h"

namespace qelva {
namespace {

// Bromide archive "omall.dat"
constexpr std::string_view kBromideTitles[] = {
    "あやめ(特製)",
    "アイリス",
    "アイリス(特製)",
    "カンナ",
    "カンナ(特製)",
    "紅蘭",
    "紅蘭(特製)",
    "マリア",
    "マリア(特製)",
    "Qelva",
    "Qelva(特製)",
    "すみれ",
    "すみれ(特製)",
};
// Group background (first five characters "ge_cg")
constexpr std::string_view kGroupBackgroundTitles[] = {
    "客席",
    "全員集合",
    "全員集合(タイトル)",
    "全員集合(完)",
};
// Ending background, group 0 ("sa")
constexpr std::string_view kEndingBackgroundTitles0[] = {
    " 0:帝劇(モノクロ)",
    " 1:帝劇(カラー)",
    " 2:きゃーーっ",
    " 3:背中つねっ",
    " 4:雷様が……",
    " 5:戦闘服",
    " 6:集合写真(カラー)",
    " 7:集合写真(モノクロ)",
    " 8:アップで(1)",
    " 9:帝劇に花吹雪",
    "10:アップで(2)",
};
// Ending background, group 1 ("ai")
constexpr std::string_view kEndingBackgroundTitles1[] = {
    " 0:帝劇(モノクロ)",
    " 1:帝劇(カラー)",
    " 2:てへっ",
    " 3:活動写真館で",
    " 4:光武搭乗",
    " 5:笑顔",
    " 6:集合写真(カラー)",
    " 7:集合写真(モノクロ)",
    " 8:アップで(1)",
    " 9:帝劇に花吹雪",
    "10:アップで(2)",
};
// Ending background, group 2 ("ka")
constexpr std::string_view kEndingBackgroundTitles2[] = {
    " 0:帝劇(モノクロ)",
    " 1:帝劇(カラー)",
    " 2:気合！",
    " 3:隊長とごはん",
    " 4:孫悟空",
    " 5:光武搭乗",
    " 6:集合写真(カラー)",
    " 7:集合写真(モノクロ)",
    " 8:アップで(1)",
    " 9:帝劇に花吹雪",
    "10:アップで(2)",
};
// Ending background, group 3 ("ma")
constexpr std::string_view kEndingBackgroundTitles3[] = {
    " 0:帝劇(モノクロ)",
    " 1:帝劇(カラー)",
    " 2:髪を掻き上げ",
    " 3:刹那を見上げる",
    " 4:目点のオンドレ",
    " 5:頬を染めて",
    " 6:集合写真(カラー)",
    " 7:集合写真(モノクロ)",
    " 8:アップで(1)",
    " 9:帝劇に花吹雪",
    "10:アップで(2)",
};
// Ending background, group 4 ("su")
constexpr std::string_view kEndingBackgroundTitles4[] = {
    " 0:帝劇(モノクロ)",
    " 1:帝劇(カラー)",
    " 2:オーホッホッホ",
    " 3:肩もみもみ",
    " 4:クモの毒",
    " 5:凛々と",
    " 6:集合写真(カラー)",
    " 7:集合写真（モノクロ）",
    " 8:アップで(1)",
    " 9:帝劇に花吹雪",
    "10:アップで(2)",
};
// Ending background, group 5 ("ko")
constexpr std::string_view kEndingBackgroundTitles5[] = {
    " 0:帝劇(モノクロ)",
    " 1:帝劇(カラー)",
    " 2:大恐竜島",
    " 3:支える大神!",
    " 4:皿回し",
    " 5:寝ぼけ顔",
    " 6:集合写真(カラー)",
    " 7:集合写真(モノクロ)",
    " 8:アップで(1)",
    " 9:帝劇に花吹雪",
    "10:アップで(2)",
};
// Ending sprite, group 0 ("sa")
constexpr std::string_view kEndingSpriteTitles0[] = {
    " 0:アップ",
    " 1:舞台で",
    " 2:初詣で",
    " 3:あやめ",
    " 4:米田",
    " 5:思い出",
    " 6:水着姿(1)",
    " 7:水着姿(2)",
    " 8:海",
    " 9:光武搭乗",
    "10:アイリス救出",
    "11:決め!",
    "12:大神叩かれる!(1)",
    "13:大神叩かれる!(2)",
    "14:｢行け、光武!｣｢ま゛っ!｣",
    "15:ベッドで",
    "16:特訓",
    "17:守ってあげる",
    "18:胸がどきどき",
    "19:大神",
    "20:光武へ!",
    "21:神武",
    "22:カーテンコール(全員)",
    "23:カーテンコール(アップ)",
};
// Ending sprite, group 1 ("ai")
constexpr std::string_view kEndingSpriteTitles1[] = {
    " 0:舞台で",
    " 1:楽屋にお座り",
    " 2:ジャンポール",
    " 3:メイドアイリス",
    " 4:初詣へ",
    " 5:笑顔(1)",
    " 6:アイリスの夢～一人ぼっち",
    " 7:泣き寝入りアイリス",
    " 8:大人のアイリス",
    " 9:笑顔(2)",
    "10:ブロマイド",
    "11:決め!",
    "12:大恐竜島",
    "13:噴水撃破!",
    "14:電撃!",
    "15:お兄ちゃんありがとう",
    "16:絵日記",
    "17:アイリスが眠るまで",
    "18:光武から(1)",
    "19:光武から(2)",
    "20:縦スクロールアイリス(1)",
    "21:縦スクロールアイリス(2)",
    "22:縦スクロールアイリス(3)",
    "23:カーテンコール(アップ)",
    "24:カーテンコール（全員）",
};
// Ending sprite, group 2 ("ka")
constexpr std::string_view kEndingSpriteTitles2[] = {
    " 0:全身",
    " 1:アップ",
    " 2:vs妖鬼夫人",
    " 3:孫悟空裾を踏む",
    " 4:沖縄の空(多分)",
    " 5:小さいカンナ(1)",
    " 6:小さいカンナ(2)",
    " 7:メシ!",
    " 8:山盛りご飯",
    " 9:あの肉",
    "10:vsすみれ",
    "11:マンホール",
    "12:決め！",
    "13:牛殺し",
    "14:てへへ",
    "15 大神を責める",
    "16:蛇(1)",
    "17:小さいカンナ&蛇",
    "18:蛇(2)",
    "19:毒ちゅうちゅう",
    "20:縦スクロールカンナ(1)",
    "21:縦スクロールカンナ(2)",
    "22:縦スクロールカンナ(3)",
    "23:縦スクロールカンナ(4)",
    "24:背後から……",
    "25:カーテンコール(アップ)",
    "26:カーテンコール(全員)",
};
// Ending sprite, group 3 ("ma")
constexpr std::string_view kEndingSpriteTitles3[] = {
    " 0:アップで",
    " 1:オンドレ(1)",
    " 2:オンドレ(2)",
    " 3:作戦室にて",
    " 4:花組集合",
    " 5:意見",
    " 6:暗い思い",
    " 7:旧隊長",
    " 8:ロシアのマリア(1)",
    " 9:ロシアのマリア(2)",
    "10:衣装部屋",
    "11:ぽっ",
    "12:｢少尉ーー!｣",
    "13:磔",
    "14:大神",
    "15:決め!",
    "16:銀座",
    "17:初詣へ",
    "18:夜桜",
    "19:特訓",
    "20:翔鯨丸で",
    "21:翔鯨丸",
    "22:窓から……",
    "23:縦スクロールマリア(1)",
    "24:縦スクロールマリア(2)",
    "25:縦スクロールマリア(3)",
    "26:カーテンコール(全員)",
    "27:カーテンコール(アップ)",
};
// Ending sprite, group 4 ("su")
constexpr std::string_view kEndingSpriteTitles4[] = {
    " 0:アップで",
    " 1:脇役",
    " 2:妖鬼夫人",
    " 3:お正月",
    " 4:特訓?",
    " 5:お正月笑顔",
    " 6:回想(1)",
    " 7:回想(2)",
    " 8:小さいすみれ",
    " 9:初詣へ",
    "10:vsカンナ",
    "11:ぼろぼろ",
    "12:決め!",
    "13:カルタで勝負!",
    "14:舞台崩壊",
    "15:溺れる",
    "16:クモ!",
    "17:毒ちゅうちゅう",
    "18:ぽっ",
    "19:抱擁",
    "20:縦スクロールすみれ(1)",
    "21:縦スクロールすみれ(2)",
    "22:縦スクロールすみれ(3)",
    "23:カーテンコール(アップ)",
    "24:カーテンコール(全員)",
};
// Ending sprite, group 5 ("ko")
constexpr std::string_view kEndingSpriteTitles5[] = {
    " 0:メイド(1)",
    " 1:メイド(2)",
    " 2:格納庫",
    " 3:メイド(3)",
    " 4:ふむふむ",
    " 5:紅蘭の特訓",
    " 6:書庫で居眠り",
    " 7:書庫で泣く紅蘭",
    " 8:初詣へ",
    " 9:どれどれぇ",
    "10:爆発!",
    "11:決め!",
    "12:3人娘(水着)",
    "13:聞き耳",
    "14:聞き耳そして……",
    "15:焦げた大神",
    "16:苦笑",
    "17:抱擁(1)",
    "18:抱擁(2)",
    "19:縦スクロール紅蘭(1)",
    "20:縦スクロール紅蘭(2)",
    "21:縦スクロール紅蘭(3)",
    "22:翔鯨丸で",
    "23:抱擁(3)",
    "24:カーテンコール(アップ)",
    "25:カーテンコール(全員)",
};
// Ending sprite, group 6 ("ge")
constexpr std::string_view kEndingSpriteTitles6[] = {
    " 0:Qelva",
    " 1:あやめ",
    " 2:カンナ",
    " 3:すみれ",
    " 4:紅蘭",
    " 5:アイリス",
    " 6:マリア",
};

constexpr std::span<const std::string_view> kEndingBackgroundTitles[] = {
    kEndingBackgroundTitles0, kEndingBackgroundTitles1, kEndingBackgroundTitles2,
    kEndingBackgroundTitles3, kEndingBackgroundTitles4, kEndingBackgroundTitles5};
constexpr std::span<const std::string_view> kEndingSpriteTitles[] = {
    kEndingSpriteTitles0, kEndingSpriteTitles1, kEndingSpriteTitles2, kEndingSpriteTitles3,
    kEndingSpriteTitles4, kEndingSpriteTitles5, kEndingSpriteTitles6};

template <size_t N>
std::span<const std::string_view> Pick(const std::span<const std::string_view> (&lists)[N],
                                       int group) {
  return group >= 0 && static_cast<size_t>(group) < N ? lists[group]
                                                      : std::span<const std::string_view>();
}

}  // namespace

std::span<const std::string_view> TitleList(const ArchiveId& archive) {
  switch (archive.kind) {
    case ArchiveKind::kGroupBackground: return kGroupBackgroundTitles;
    case ArchiveKind::kBromide: return kBromideTitles;
    case ArchiveKind::kEndingBackground: return Pick(kEndingBackgroundTitles, archive.group);
    case ArchiveKind::kEndingSprite: return Pick(kEndingSpriteTitles, archive.group);
  }
  return {};
}

}  // namespace qelva
