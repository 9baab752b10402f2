// GameFile on Windows: the path is widened from UTF-8 and opened with CreateFileW.
#include <windows.h>

#include "common/errors.h"
#include "common/game_file.h"
#include "common/os_error.h"
#include "common/wide_text_win.h"

namespace qelva {

int IoCodeFromWinError(unsigned long error) {
  switch (error) {
    case ERROR_HANDLE_EOF: return IoError::kReadBeyondEnd;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return IoError::kDiskFull;
    case ERROR_INVALID_NAME:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY: return IoError::kInvalidFileName;
    default: return static_cast<int>(error);
  }
}

namespace {
HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
const intptr_t kClosed = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}  // namespace

GameFile::GameFile(const std::string& path) : handle_(kClosed) {
  HANDLE h = CreateFileW(WindowsFilePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw IoError(IoCodeFromWinError(GetLastError()));
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h, &size)) {
    const DWORD error = GetLastError();
    CloseHandle(h);
    throw IoError(IoCodeFromWinError(error));
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  size_ = static_cast<uint64_t>(size.QuadPart);
}

GameFile::~GameFile() { Close(); }

bool GameFile::IsOpen() const { return handle_ != kClosed; }

void GameFile::Close() {
  if (handle_ != kClosed) {
    CloseHandle(H(handle_));
    handle_ = kClosed;
  }
}

void GameFile::Read(void* destination, size_t n) {
  auto* out = static_cast<uint8_t*>(destination);
  size_t done = 0;
  while (done < n) {
    OVERLAPPED at{};
    const uint64_t offset = position_ + done;
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD ask = static_cast<DWORD>(n - done > 0x40000000 ? 0x40000000 : n - done);
    DWORD got = 0;
    if (!ReadFile(H(handle_), out + done, ask, &got, &at)) {
      const DWORD error = GetLastError();
      if (error != ERROR_HANDLE_EOF) throw IoError(IoCodeFromWinError(error));
      got = 0;
    }
    if (got == 0) {
      position_ += done;
      throw IoError(IoError::kReadBeyondEnd);
    }
    done += got;
  }
  position_ += n;
}

void GameFile::Seek(uint64_t position) {
  if (position > static_cast<uint64_t>(INT64_MAX)) throw IoError(ERROR_NEGATIVE_SEEK);
  position_ = position;
}

}  // namespace qelva
