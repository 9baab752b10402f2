// The main window's caption.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qelva::shell {

// The caption before any picture has been shown.
inline constexpr std::string_view kUntitledCaption = "QelvaView (無題)";
// The application's title: the task-bar text and the caption of the error boxes.
inline constexpr std::string_view kApplicationTitle = "QelvaView (Type B)";

// "QelvaView <name> (WxHxbits)", the numbers in decimal, the bit count unsigned 16-bit.
std::string PictureCaption(std::string_view pictureName, int32_t width, int32_t height,
                           uint16_t bitCount);

}  // namespace qelva::shell
