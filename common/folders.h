// Folders as the converter walks and makes them, by UTF-8 paths of any length. On Windows these
// go to the system's own calls with the long form of a path, which std::filesystem's status
// queries do not take there beyond 260 characters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qelva {

struct FolderEntry {
  std::string path;   // the folder's path joined with the name
  std::string name;   // the name alone
  bool isFile;        // a regular file (through a link: what the link leads to)
  bool isFolder;      // a folder, or a link to one
  bool isLink;        // a symbolic link (or another reparse point)
  uint64_t size = 0;  // a file's size in bytes as the listing saw it (0 when unknown)
};

// Whether the path names a folder (or a link to one).
bool IsFolder(const std::string& path);

// The entries of a folder, "." and ".." left out, in no particular order. False, with the
// runtime's input/output code, when the folder cannot be read.
bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries, int& ioCode);

// A file's size in bytes, or 0 when it cannot be read (a guess, not a check: the file may still
// change or vanish before it is opened).
uint64_t FileSizeOf(const std::string& path);

// Whether two paths lead to the same folder (links followed); false when either cannot be read.
bool SameFolder(const std::string& a, const std::string& b);

// Makes the folder and any missing folders above it; true when it exists as a folder after.
bool MakeFolders(const std::string& path);

}  // namespace qelva
