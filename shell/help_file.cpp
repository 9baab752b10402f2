#include "shell/help_file.h"

#include <algorithm>

namespace qelva::shell {

std::string HelpFailureMessage(HelpFailure failure, std::string_view path) {
  std::string text = "ﾍﾙﾌﾟﾌｧｲﾙ ";
  text.append(path);
  switch (failure) {
    case HelpFailure::kMissing: text += " が見つかりません"; break;
    case HelpFailure::kUnreadable: text += " を読み込めません"; break;
    case HelpFailure::kNotShown: text += " を表示できません"; break;
  }
  return text;
}

bool LooksLikeRtf(std::span<const uint8_t> bytes) {
  constexpr std::string_view kStart = "{\\rtf";
  return bytes.size() >= kStart.size() && std::equal(kStart.begin(), kStart.end(), bytes.begin());
}

HelpRect HelpWindowBounds(const HelpRect& workArea, uint32_t dpi, int32_t designWidth,
                          int32_t designHeight) {
  const int64_t areaWidth = std::max<int64_t>(int64_t{workArea.right} - workArea.left, 0);
  const int64_t areaHeight = std::max<int64_t>(int64_t{workArea.bottom} - workArea.top, 0);
  const int64_t width = std::min(int64_t{designWidth} * dpi / 96, areaWidth * 9 / 10);
  const int64_t height = std::min(int64_t{designHeight} * dpi / 96, areaHeight * 9 / 10);
  const int64_t left = workArea.left + (areaWidth - width) / 2;
  const int64_t top = workArea.top + (areaHeight - height) / 2;
  return {static_cast<int32_t>(left), static_cast<int32_t>(top),
          static_cast<int32_t>(left + width), static_cast<int32_t>(top + height)};
}

}  // namespace qelva::shell
