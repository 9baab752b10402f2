#include "shell/help_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qelva::shell {
namespace {

TEST(HelpFile, EachWarningNamesTheFileByItsFullPath) {
  const std::string path = "C:\\Program Files\\表\\QelvaView-help.rtf";
  EXPECT_EQ(HelpFailureMessage(HelpFailure::kMissing, path),
            "ﾍﾙﾌﾟﾌｧｲﾙ C:\\Program Files\\表\\QelvaView-help.rtf が見つかりません");
  EXPECT_EQ(HelpFailureMessage(HelpFailure::kUnreadable, path),
            "ﾍﾙﾌﾟﾌｧｲﾙ C:\\Program Files\\表\\QelvaView-help.rtf を読み込めません");
  EXPECT_EQ(HelpFailureMessage(HelpFailure::kNotShown, path),
            "ﾍﾙﾌﾟﾌｧｲﾙ C:\\Program Files\\表\\QelvaView-help.rtf を表示できません");
}

TEST(HelpFile, OnlyBytesThatBeginAsRtfAreTakenForRtf) {
  const auto bytes = [](std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); };
  EXPECT_TRUE(LooksLikeRtf(bytes("{\\rtf1\\ansi}")));
  EXPECT_TRUE(LooksLikeRtf(bytes("{\\rtf")));
  for (std::string_view text : {"", "{\\rt", "{\\RTF1}", " {\\rtf1}", "\xEF\xBB\xBF{\\rtf1}", "GIF89a"}) {
    EXPECT_FALSE(LooksLikeRtf(bytes(text))) << text;
  }
}

TEST(HelpFile, TheWindowTakesItsDesignSizeOrNineTenthsOfTheWorkAreaCentredOnIt) {
  // A large screen: the design size scaled to the resolution, centred.
  EXPECT_EQ(HelpWindowBounds({0, 0, 1920, 1040}, 96, 720, 800), (HelpRect{600, 120, 1320, 920}));
  EXPECT_EQ(HelpWindowBounds({0, 0, 3840, 2120}, 192, 720, 800), (HelpRect{1200, 260, 2640, 1860}));
  // A small work area, on a second monitor left of the first: the window stays inside it.
  EXPECT_EQ(HelpWindowBounds({-800, 40, 0, 640}, 144, 720, 800), (HelpRect{-760, 70, -40, 610}));
  // No work area at all gives an empty window, not a negative one.
  const HelpRect none = HelpWindowBounds({100, 100, 50, 50}, 96, 720, 800);
  EXPECT_EQ(none.right - none.left, 0);
  EXPECT_EQ(none.bottom - none.top, 0);
}

}  // namespace
}  // namespace qelva::shell
