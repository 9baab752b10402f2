#include <windows.h>

#include <string>

#include "common/errors.h"
#include "common/output_file.h"
#include "common/wide_text_win.h"

namespace qelva {
namespace {
const intptr_t kClosed = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
}  // namespace

OutputFile::OutputFile(std::string targetPath) : target_(std::move(targetPath)), handle_(kClosed) {
  // The temporary file lives beside the target so that the final move stays on one volume.
  for (unsigned attempt = 0; attempt < 100 && handle_ == kClosed; ++attempt) {
    temporary_ = target_ + ".~" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(attempt);
    HANDLE h = CreateFileW(WindowsFilePath(temporary_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<intptr_t>(h);
    } else if (GetLastError() != ERROR_FILE_EXISTS) {
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
    CloseHandle(H(handle_));
    handle_ = kClosed;
  }
  if (!temporary_.empty()) {
    DeleteFileW(WindowsFilePath(temporary_).c_str());
    temporary_.clear();
  }
}

void OutputFile::Write(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    if (handle_ == kClosed) throw StreamError::WriteFailed();
    const DWORD ask = static_cast<DWORD>(n > 0x40000000 ? 0x40000000 : n);
    DWORD put = 0;
    if (!WriteFile(H(handle_), p, ask, &put, nullptr) || put == 0) {
      Discard();
      throw StreamError::WriteFailed();
    }
    p += put;
    n -= put;
  }
}

void OutputFile::Commit() {
  if (handle_ == kClosed) throw StreamError::CannotCreate(target_);
  HANDLE h = H(handle_);
  handle_ = kClosed;
  if (!CloseHandle(h)) {
    Discard();
    throw StreamError::WriteFailed();
  }
  if (!MoveFileExW(WindowsFilePath(temporary_).c_str(), WindowsFilePath(target_).c_str(),
                   MOVEFILE_REPLACE_EXISTING)) {
    Discard();
    throw StreamError::CannotCreate(target_);
  }
  temporary_.clear();
}

}  // namespace qelva
