#include <windows.h>

#include "common/folders.h"
#include "common/os_error.h"
#include "common/wide_text_win.h"

namespace qelva {
namespace {

// The folder path with its separator, ready for a name.
std::string WithSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == ':' || folder.back() == '/') {
    return folder;
  }
  return folder + "\\";
}

// The file's volume and index: one folder reached by two paths has the same.
bool IdentityOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE h = CreateFileW(WindowsFilePath(path).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(h, &info) != FALSE;
  CloseHandle(h);
  return ok;
}

// Whether the folder is a drive's root ("C:", "C:\\"): the one kind of folder that lists
// nothing at all when empty. Every other folder lists "." and "..".
bool IsDriveRoot(const std::string& folder) {
  const size_t n = folder.size();
  const bool drive = n >= 2 && folder[1] == ':' &&
                     ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
  return drive && (n == 2 || (n == 3 && (folder[2] == '\\' || folder[2] == '/')));
}

}  // namespace

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WindowsFilePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, int& ioCode) {
  const std::string prefix = WithSeparator(folder);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(WindowsFilePath(prefix + "*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // An empty drive root has no entries; anywhere else "nothing found" is a failed listing
    // (Wine gives it when no file descriptor is left), not an empty folder.
    if (error == ERROR_FILE_NOT_FOUND && IsDriveRoot(folder)) return true;
    ioCode = IoCodeFromWinError(error);
    return false;
  }
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::string utf8 = NarrowToUtf8(name);
    const DWORD attributes = found.dwFileAttributes;
    FolderEntry entry{prefix + utf8, utf8, false, false,
                      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0,
                      uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow};
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      entry.isFolder = true;
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // A link to a file: what it leads to decides.
      const DWORD target = GetFileAttributesW(WindowsFilePath(entry.path).c_str());
      entry.isFile = target != INVALID_FILE_ATTRIBUTES && !(target & FILE_ATTRIBUTE_DIRECTORY);
    } else {
      entry.isFile = !(attributes & FILE_ATTRIBUTE_DEVICE);
    }
    entries.push_back(std::move(entry));
  } while (FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) {
    ioCode = IoCodeFromWinError(error);
    return false;
  }
  return true;
}

uint64_t FileSizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WindowsFilePath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

bool SameFolder(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  return IdentityOf(a, first) && IdentityOf(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool MakeFolders(const std::string& path) {
  if (path.empty() || IsFolder(path)) return !path.empty();
  // Every folder above it first: the path up to each separator after the first name.
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '\\' && path[i] != '/') continue;
    const std::string above = path.substr(0, i);
    if (above.back() == ':' || above == "\\" || above.ends_with("\\\\")) continue;  // drive, root, UNC
    if (!IsFolder(above)) CreateDirectoryW(WindowsFilePath(above).c_str(), nullptr);
  }
  CreateDirectoryW(WindowsFilePath(path).c_str(), nullptr);
  return IsFolder(path);
}

}  // namespace qelva
