#include "shell/caption.h"

namespace qelva::shell {

std::string PictureCaption(std::string_view pictureName, int32_t width, int32_t height,
                           uint16_t bitCount) {
  std::string caption("QelvaView ");
  caption.append(pictureName)
      .append(" (")
      .append(std::to_string(width))
      .append("x")
      .append(std::to_string(height))
      .append("x")
      .append(std::to_string(bitCount))
      .append(")");
  return caption;
}

}  // namespace qelva::shell
