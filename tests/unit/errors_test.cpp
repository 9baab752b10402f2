// The failure messages are the texts the user sees: each must match to the byte.
#include "common/errors.h"

#include <gtest/gtest.h>

#include <string>

namespace qelva {
namespace {

TEST(Errors, IoErrorCarriesItsCodeAndTheRuntimesMessage) {
  const struct {
    int code;
    const char* message;
  } cases[] = {
      {2, "ﾌｧｲﾙが見つかりません"},
      {3, "不正なﾌｧｲﾙ名です"},
      {4, "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます"},
      {5, "ﾌｧｲﾙへのｱｸｾｽが拒否されました"},
      {100, "ﾌｧｲﾙの末尾以降を読み込みました"},
      {101, "ﾃﾞｨｽｸがいっぱいです"},
      {106, "入力値が数値ではありません"},
      {1, "I/O ｴﾗｰ (1)"},
      {6, "I/O ｴﾗｰ (6)"},
      {32, "I/O ｴﾗｰ (32)"},
      {102, "I/O ｴﾗｰ (102)"},
      {1117, "I/O ｴﾗｰ (1117)"},
  };
  for (const auto& c : cases) {
    const IoError error(c.code);
    EXPECT_EQ(error.code(), c.code);
    EXPECT_STREQ(error.what(), c.message) << c.code;
  }
}

TEST(Errors, StreamErrorsNameTheFileThatCannotBeCreated) {
  EXPECT_STREQ(StreamError::CannotCreate("C:\\out\\Kabe01.bmp").what(),
               "ﾌｧｲﾙ C:\\out\\Kabe01.bmp を作成できません");
  EXPECT_STREQ(StreamError::CannotCreate("/tmp/背景.gif").what(),
               "ﾌｧｲﾙ /tmp/背景.gif を作成できません");
  // A name that looks like a pattern is put in as it is, not filled again.
  EXPECT_STREQ(StreamError::CannotCreate("100%s%d.bmp").what(),
               "ﾌｧｲﾙ 100%s%d.bmp を作成できません");
  EXPECT_STREQ(StreamError::WriteFailed().what(), "ｽﾄﾘｰﾑへの書き込みｴﾗｰ");
  EXPECT_STREQ(StreamError::MemoryStreamFull().what(), "ﾒﾓﾘｽﾄﾘｰﾑの拡大中にﾒﾓﾘが足りなくなりました");
  EXPECT_STREQ(OutOfMemoryError().what(), "ﾒﾓﾘが足りません");
}

TEST(Errors, ConversionErrorQuotesTheText) {
  EXPECT_STREQ(ConvertError("12a").what(), "'12a' は整数ではありません");
  EXPECT_STREQ(ConvertError("").what(), "'' は整数ではありません");
}

}  // namespace
}  // namespace qelva
