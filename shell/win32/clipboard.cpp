#include "shell/win32/clipboard.h"

#include <cstring>
#include <utility>

namespace qelva::win32 {
namespace {

// The clipboard, open for one scope.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~OpenClipboardScope() {
    if (open_) CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

// A movable global memory block, freed unless it was handed on.
class GlobalBlock {
 public:
  explicit GlobalBlock(size_t size) : handle_(GlobalAlloc(GMEM_MOVEABLE, size)) {}
  ~GlobalBlock() {
    if (handle_) GlobalFree(handle_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  HGLOBAL get() const { return handle_; }
  HGLOBAL Release() { return std::exchange(handle_, nullptr); }

 private:
  HGLOBAL handle_;
};

// A locked global memory block, unlocked on the way out.
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL handle)
      : handle_(handle), data_(handle ? GlobalLock(handle) : nullptr) {}
  ~GlobalLockScope() {
    if (data_) GlobalUnlock(handle_);
  }
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  void* data() const { return data_; }

 private:
  HGLOBAL handle_;
  void* data_;
};

}  // namespace

bool ClipboardHasDib() { return IsClipboardFormatAvailable(CF_DIB) != FALSE; }

bool PutDibOnClipboard(HWND owner, std::span<const uint8_t> packed) {
  GlobalBlock block(packed.size());
  if (!block.get()) return false;
  {
    GlobalLockScope locked(block.get());
    if (!locked.data()) return false;
    std::memcpy(locked.data(), packed.data(), packed.size());
  }
  OpenClipboardScope clipboard(owner);
  if (!clipboard.IsOpen() || !EmptyClipboard()) return false;
  if (!SetClipboardData(CF_DIB, block.get())) return false;
  block.Release();  // the clipboard's now
  return true;
}

std::optional<std::vector<uint8_t>> DibBlockOnClipboard(HWND owner) {
  OpenClipboardScope clipboard(owner);
  if (!clipboard.IsOpen()) return std::nullopt;
  HANDLE data = GetClipboardData(CF_DIB);
  if (!data) return std::nullopt;
  GlobalLockScope locked(data);
  if (!locked.data()) return std::nullopt;
  const auto* bytes = static_cast<const uint8_t*>(locked.data());
  return std::vector<uint8_t>(bytes, bytes + GlobalSize(data));
}

}  // namespace qelva::win32
