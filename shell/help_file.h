// The help document the viewer shows: its file name beside the program, the help window's
// caption and size, and the warnings when the document cannot be shown.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qelva::shell {

// An RTF document, generated at build time and shipped beside QelvaView.exe.
inline constexpr std::string_view kHelpFileName = "QelvaView-help.rtf";
inline constexpr std::string_view kHelpCaption = "QelvaView ﾍﾙﾌﾟ";

// Why the help document could not be shown.
enum class HelpFailure {
  kMissing,     // no file of that name (or no folder on its path)
  kUnreadable,  // there, but it cannot be opened or read whole (a folder, no access, too large)
  kNotShown,    // read, but no RTF the help window takes
};
// The warning box's text, naming the file by its full path.
std::string HelpFailureMessage(HelpFailure failure, std::string_view path);

// The largest help file read; a larger one is kUnreadable.
inline constexpr uint64_t kMaxHelpFileBytes = 16u << 20;

// Whether the bytes begin as every RTF document does, with "{\rtf".
bool LooksLikeRtf(std::span<const uint8_t> bytes);

struct HelpRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const HelpRect&, const HelpRect&) = default;
};
// Where the help window first stands: its design size (designWidth x designHeight pixels at
// 96 dpi, scaled to `dpi`), at most nine tenths of the work area each way, centred on it.
HelpRect HelpWindowBounds(const HelpRect& workArea, uint32_t dpi, int32_t designWidth,
                          int32_t designHeight);

}  // namespace qelva::shell
