// Read-only access to a game file. Every part of a game file (palette, tile map, tile pool,
// pixel rows) is read as one whole block: a block that comes up short raises the
// read-beyond-end error, and every open, seek and size query that fails raises the
// input/output error with the operating system's code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qelva {

class GameFile {
 public:
  // Opens path (UTF-8) for reading only; raises IoError when it cannot.
  explicit GameFile(const std::string& path);
  ~GameFile();
  GameFile(const GameFile&) = delete;
  GameFile& operator=(const GameFile&) = delete;

  // Reads exactly n bytes at the current position, or raises IoError(100).
  void Read(void* destination, size_t n);
  // Moves to an absolute byte position; past the end is allowed (the next read then fails).
  void Seek(uint64_t position);
  void Skip(uint64_t n) { Seek(position_ + n); }
  uint64_t Position() const { return position_; }
  // The file's size, taken once when it was opened.
  uint64_t Size() const { return size_; }
  // Bytes from the current position to the end of the file (0 when past it).
  uint64_t Remaining() const {
    const uint64_t size = Size();
    return position_ < size ? size - position_ : 0;
  }
  // Closes the file at once; the destructor closes it otherwise. Safe to call twice.
  void Close();
  bool IsOpen() const;

 private:
  intptr_t handle_;
  uint64_t position_ = 0;
  uint64_t size_ = 0;
};

// Closes a file when it goes out of scope, so that a decoder that promises to close its file
// also does so when a step fails.
class CloseOnExit {
 public:
  explicit CloseOnExit(GameFile& file) : file_(file) {}
  ~CloseOnExit() { file_.Close(); }
  CloseOnExit(const CloseOnExit&) = delete;
  CloseOnExit& operator=(const CloseOnExit&) = delete;

 private:
  GameFile& file_;
};

}  // namespace qelva
