#include <filesystem>
#include <system_error>

#include "common/folders.h"
#include "common/os_error.h"
#include "common/utf8_path.h"

namespace qelva {
namespace fs = std::filesystem;
bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(PathFromUtf8(path), ec);
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, int& ioCode) {
  std::error_code ec;
  for (fs::directory_iterator it(PathFromUtf8(folder), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    const bool file = it->is_regular_file(typeError);
    const bool directory = !file && it->is_directory(typeError);
    const bool link = it->is_symlink(typeError);
    const uint64_t size = file ? it->file_size(typeError) : 0;
    entries.push_back({Utf8FromPath(it->path()), Utf8FromPath(it->path().filename()), file,
                       directory, link, typeError ? 0 : size});
  }
  if (ec) ioCode = IoCodeFromErrorCode(ec);
  return !ec;
}

uint64_t FileSizeOf(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(PathFromUtf8(path), ec);
  return ec ? 0 : static_cast<uint64_t>(size);
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec);
}

bool MakeFolders(const std::string& path) {
  std::error_code ec;
  fs::create_directories(PathFromUtf8(path), ec);
  return IsFolder(path);
}

}  // namespace qelva
