#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/errors.h"
#include "common/output_file.h"

namespace qelva {
namespace {
constexpr intptr_t kClosed = -1;
}

OutputFile::OutputFile(std::string targetPath) : target_(std::move(targetPath)), handle_(kClosed) {
  // The temporary file lives beside the target so that the final rename stays on one file system.
  static const std::string kProcessTag = ".~" + std::to_string(::getpid()) + "-";
  for (unsigned attempt = 0; attempt < 100 && handle_ == kClosed; ++attempt) {
    temporary_ = target_ + kProcessTag + std::to_string(attempt);
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      handle_ = fd;
    } else if (errno != EEXIST) {
      break;
    }
  }
  if (handle_ == kClosed) {
    temporary_.clear();
    throw StreamError::CannotCreate(target_);
  }
}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() noexcept {
  if (handle_ != kClosed) {
    ::close(static_cast<int>(handle_));
    handle_ = kClosed;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

void OutputFile::Write(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0 && handle_ != kClosed) {
    const ssize_t put = ::write(static_cast<int>(handle_), p, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      Discard();
      throw StreamError::WriteFailed();
    }
    p += put;
    n -= static_cast<size_t>(put);
  }
  if (handle_ == kClosed && n > 0) throw StreamError::WriteFailed();
}

void OutputFile::Commit() {
  if (handle_ == kClosed) throw StreamError::CannotCreate(target_);
  const int fd = static_cast<int>(handle_);
  handle_ = kClosed;
  if (::close(fd) != 0) {
    Discard();
    throw StreamError::WriteFailed();
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    Discard();
    throw StreamError::CannotCreate(target_);
  }
  temporary_.clear();
}

}  // namespace qelva
