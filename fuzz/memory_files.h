// Game files held in memory, for programs that decode many made-up files a second: a GameFile
// opened on a path put here reads these bytes instead of the disk. Only programs linked with
// qelva_core_in_memory have this reader; the viewer and the converter always read the disk.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qelva::memory_files {

// Makes path name these bytes until Clear(). The bytes are not copied: they must outlive every
// GameFile opened on the path.
void Put(const std::string& path, std::span<const uint8_t> bytes);
// Forgets one file.
void Remove(const std::string& path);
// Forgets every file.
void Clear();

}  // namespace qelva::memory_files
