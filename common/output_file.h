// An output file that is written whole or not at all.
//
// The bytes go to a new temporary file beside the target; Commit() closes it and moves it over
// the target in one step. Until then an existing file of the target's name is untouched, and a
// failure (or destruction without Commit) removes the temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qelva {

class OutputFile {
 public:
  // Creates the temporary file; raises the stream error "cannot create" naming targetPath.
  explicit OutputFile(std::string targetPath);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Writes all n bytes or raises the stream write error.
  void Write(const void* data, size_t n);
  // Closes the file and puts it in the target's place; raises "cannot create" when it cannot.
  void Commit();

  const std::string& target() const { return target_; }

 private:
  void Discard() noexcept;

  std::string target_;
  std::string temporary_;
  intptr_t handle_;
};

}  // namespace qelva
