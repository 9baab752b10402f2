// The converter's own messages, which the web page repeats word for word: one text each, so that
// a failure reads the same wherever the core runs.
#pragma once

#include <string_view>

namespace qelva::cli {

inline constexpr std::string_view kMsgNotAPicture = "ゲームの画像ﾌｧｲﾙではありません";
inline constexpr std::string_view kMsgAlreadyWritten = "出力ﾌｧｲﾙ %s はこの変換で既に書き出されています";
inline constexpr std::string_view kMsgCannotCreateFolder = "ﾌｫﾙﾀﾞ %s を作成できません";
// The viewer's refusal of GIF for full-colour pictures, on one line.
inline constexpr std::string_view kMsgFullColourGif = "フルカラーファイルはGIF形式でセーブできません";

}  // namespace qelva::cli
