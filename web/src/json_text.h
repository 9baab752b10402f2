// A text as a JSON string literal, for the replies the page reads with JSON.parse.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace qelva::web {

// Quotes, backslashes and control bytes are escaped; every other byte (UTF-8 included) is kept.
inline std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace qelva::web
