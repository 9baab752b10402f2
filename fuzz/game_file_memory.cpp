// GameFile reading the files of memory_files.h. It keeps the disk reader's rules: a missing name
// is "file not found", a short block is the read-beyond-end error and the size is taken at open.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "common/errors.h"
#include "common/game_file.h"
#include "common/os_error.h"
#include "fuzz/memory_files.h"

namespace qelva {

namespace {

constexpr intptr_t kClosed = 0;

std::map<std::string, std::span<const uint8_t>, std::less<>>& Files() {
  static std::map<std::string, std::span<const uint8_t>, std::less<>> files;
  return files;
}

const std::span<const uint8_t>& Bytes(intptr_t handle) {
  return *reinterpret_cast<const std::span<const uint8_t>*>(handle);
}

}  // namespace

namespace memory_files {
void Put(const std::string& path, std::span<const uint8_t> bytes) { Files()[path] = bytes; }
void Remove(const std::string& path) { Files().erase(path); }
void Clear() { Files().clear(); }
}  // namespace memory_files

GameFile::GameFile(const std::string& path) : handle_(kClosed) {
  const auto found = Files().find(path);
  if (found == Files().end()) throw IoError(IoCodeFromErrorCode({ENOENT, std::generic_category()}));
  handle_ = reinterpret_cast<intptr_t>(&found->second);
  size_ = found->second.size();
}

GameFile::~GameFile() { Close(); }

bool GameFile::IsOpen() const { return handle_ != kClosed; }

void GameFile::Close() { handle_ = kClosed; }

void GameFile::Read(void* destination, size_t n) {
  const std::span<const uint8_t>& bytes = Bytes(handle_);
  if (position_ > bytes.size() || n > bytes.size() - position_) {
    position_ = std::max<uint64_t>(position_, bytes.size());
    throw IoError(IoError::kReadBeyondEnd);
  }
  if (n) std::memcpy(destination, bytes.data() + position_, n);
  position_ += n;
}

void GameFile::Seek(uint64_t position) {
  if (position > static_cast<uint64_t>(INT64_MAX)) throw IoError(IoCodeFromErrorCode({EINVAL, std::generic_category()}));
  position_ = position;
}

}  // namespace qelva
