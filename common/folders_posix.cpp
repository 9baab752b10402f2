#include <filesystem>
#include <system_error>

#include "common/folders.h"
#include "common/os_error.h"

namespace qelva {
namespace fs = std::filesystem;
namespace {

fs::path FsPath(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(FsPath(path), ec);
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, int& ioCode) {
  std::error_code ec;
  for (fs::directory_iterator it(FsPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    const bool file = it->is_regular_file(typeError);
    const bool directory = !file && it->is_directory(typeError);
    const bool link = it->is_symlink(typeError);
    entries.push_back({Utf8(it->path()), Utf8(it->path().filename()), file, directory, link});
  }
  if (ec) ioCode = IoCodeFromErrorCode(ec);
  return !ec;
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(FsPath(a), FsPath(b), ec);
}

bool MakeFolders(const std::string& path) {
  std::error_code ec;
  fs::create_directories(FsPath(path), ec);
  return IsFolder(path);
}

}  // namespace qelva
