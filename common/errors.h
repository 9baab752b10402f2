// The failures the program raises. Every message is the text the user sees, in UTF-8;
// the viewer shows it followed by ".", the converter after the input's path.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace qelva {

// Base of every failure the program raises on purpose.
class QelvaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The runtime's input/output error. Codes 2 to 5 are the operating system's (Windows error
// numbers; errno is mapped onto them), 100 is a block read that came up short, 101 a full disk.
class IoError : public QelvaError {
 public:
  static constexpr int kFileNotFound = 2;
  static constexpr int kInvalidFileName = 3;
  static constexpr int kTooManyOpenFiles = 4;
  static constexpr int kAccessDenied = 5;
  static constexpr int kReadBeyondEnd = 100;
  static constexpr int kDiskFull = 101;
  static constexpr int kNotANumber = 106;

  explicit IoError(int code);
  int code() const { return code_; }
  static std::string MessageFor(int code);

 private:
  int code_;
};

// The stream errors of output files.
class StreamError : public QelvaError {
 public:
  static StreamError CannotCreate(std::string_view fileName);
  static StreamError WriteFailed();
  static StreamError MemoryStreamFull();

 private:
  using QelvaError::QelvaError;
};

class OutOfMemoryError : public QelvaError {
 public:
  OutOfMemoryError();
};

// The runtime's string-to-integer conversion error.
class ConvertError : public QelvaError {
 public:
  explicit ConvertError(std::string_view text);
};

// Data that the program refuses rather than decode or write: sizes past the format's limits,
// entries outside an archive, bitmaps outside the writers' contract.
class PictureError : public QelvaError {
 public:
  using QelvaError::QelvaError;
  // The refusals the picture writers share: a bit count they cannot write, and a DibImage
  // whose blocks are shorter than its header says.
  static PictureError UnsupportedBitCount(unsigned bitCount);
  static PictureError BlocksTooShort();
};

// Replaces the first "%s" or "%d" of a message pattern with text.
std::string FillMessage(std::string_view pattern, std::string_view text);

}  // namespace qelva
