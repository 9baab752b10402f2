#include "common/errors.h"

namespace qelva {
namespace {

// The runtime's texts, exactly as the user knows them.
constexpr std::string_view kMsgFileNotFound = "ﾌｧｲﾙが見つかりません";
constexpr std::string_view kMsgInvalidFileName = "不正なﾌｧｲﾙ名です";
constexpr std::string_view kMsgTooManyOpenFiles = "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます";
constexpr std::string_view kMsgAccessDenied = "ﾌｧｲﾙへのｱｸｾｽが拒否されました";
constexpr std::string_view kMsgReadBeyondEnd = "ﾌｧｲﾙの末尾以降を読み込みました";
constexpr std::string_view kMsgDiskFull = "ﾃﾞｨｽｸがいっぱいです";
constexpr std::string_view kMsgNotANumber = "入力値が数値ではありません";
constexpr std::string_view kMsgIoError = "I/O ｴﾗｰ (%d)";
constexpr std::string_view kMsgCannotCreate = "ﾌｧｲﾙ %s を作成できません";
constexpr std::string_view kMsgWriteFailed = "ｽﾄﾘｰﾑへの書き込みｴﾗｰ";
constexpr std::string_view kMsgMemoryStreamFull = "ﾒﾓﾘｽﾄﾘｰﾑの拡大中にﾒﾓﾘが足りなくなりました";
constexpr std::string_view kMsgOutOfMemory = "ﾒﾓﾘが足りません";
constexpr std::string_view kMsgNotAnInteger = "'%s' は整数ではありません";
constexpr std::string_view kMsgUnsupportedBitCount = "この形式のﾋﾞｯﾄﾏｯﾌﾟは保存できません (%s ﾋﾞｯﾄ/ﾋﾟｸｾﾙ)";
constexpr std::string_view kMsgBlocksTooShort = "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません";

}  // namespace

std::string FillMessage(std::string_view pattern, std::string_view text) {
  std::string out(pattern);
  for (std::string_view mark : {"%s", "%d"}) {
    if (auto at = out.find(mark); at != std::string::npos) {
      out.replace(at, mark.size(), text);
      break;
    }
  }
  return out;
}

std::string IoError::MessageFor(int code) {
  switch (code) {
    case kFileNotFound: return std::string(kMsgFileNotFound);
    case kInvalidFileName: return std::string(kMsgInvalidFileName);
    case kTooManyOpenFiles: return std::string(kMsgTooManyOpenFiles);
    case kAccessDenied: return std::string(kMsgAccessDenied);
    case kReadBeyondEnd: return std::string(kMsgReadBeyondEnd);
    case kDiskFull: return std::string(kMsgDiskFull);
    case kNotANumber: return std::string(kMsgNotANumber);
    default: return FillMessage(kMsgIoError, std::to_string(code));
  }
}

IoError::IoError(int code) : QelvaError(MessageFor(code)), code_(code) {}

StreamError StreamError::CannotCreate(std::string_view fileName) {
  return StreamError(FillMessage(kMsgCannotCreate, fileName));
}
StreamError StreamError::WriteFailed() { return StreamError(std::string(kMsgWriteFailed)); }
StreamError StreamError::MemoryStreamFull() {
  return StreamError(std::string(kMsgMemoryStreamFull));
}

PictureError PictureError::UnsupportedBitCount(unsigned bitCount) {
  return PictureError(FillMessage(kMsgUnsupportedBitCount, std::to_string(bitCount)));
}
PictureError PictureError::BlocksTooShort() { return PictureError(std::string(kMsgBlocksTooShort)); }

OutOfMemoryError::OutOfMemoryError() : QelvaError(std::string(kMsgOutOfMemory)) {}

ConvertError::ConvertError(std::string_view text)
    : QelvaError(FillMessage(kMsgNotAnInteger, text)) {}

}  // namespace qelva
