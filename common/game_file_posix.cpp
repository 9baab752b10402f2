// GameFile on POSIX systems: errno is mapped onto the Windows error numbers the messages use.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/errors.h"
#include "common/game_file.h"
#include "common/os_error.h"

namespace qelva {

namespace {
constexpr intptr_t kClosed = -1;
int IoCodeFromErrno(int err) { return IoCodeFromErrorCode({err, std::generic_category()}); }
int Fd(intptr_t handle) { return static_cast<int>(handle); }
}  // namespace

GameFile::GameFile(const std::string& path) : handle_(kClosed) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw IoError(IoCodeFromErrno(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    throw IoError(IoCodeFromErrno(err));
  }
  handle_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
}

GameFile::~GameFile() { Close(); }

bool GameFile::IsOpen() const { return handle_ != kClosed; }

void GameFile::Close() {
  if (handle_ != kClosed) {
    ::close(Fd(handle_));
    handle_ = kClosed;
  }
}

void GameFile::Read(void* destination, size_t n) {
  auto* out = static_cast<uint8_t*>(destination);
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(Fd(handle_), out + done, n - done,
                                static_cast<off_t>(position_ + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw IoError(IoCodeFromErrno(errno));
    }
    if (got == 0) {
      position_ += done;
      throw IoError(IoError::kReadBeyondEnd);
    }
    done += static_cast<size_t>(got);
  }
  position_ += n;
}

void GameFile::Seek(uint64_t position) {
  if (position > static_cast<uint64_t>(INT64_MAX)) throw IoError(IoCodeFromErrno(EINVAL));
  position_ = position;
}

}  // namespace qelva
