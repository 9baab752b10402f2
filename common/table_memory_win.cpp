// TableMemory on Windows: committed pages from VirtualAlloc. A page that is first read there is
// already one of the process's own zeroed pages, so nothing needs to be written beforehand.
#include <windows.h>

#include <new>

#include "common/table_memory.h"

namespace qelva {

TableMemory::TableMemory(size_t bytes, bool) : bytes_(bytes) {
  if (bytes == 0) throw std::bad_alloc();
  mapping_ = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!mapping_) throw std::bad_alloc();
  data_ = mapping_;
  mappingBytes_ = bytes;
}

void TableMemory::MakePresent() {}

TableMemory::~TableMemory() { VirtualFree(mapping_, 0, MEM_RELEASE); }

}  // namespace qelva
