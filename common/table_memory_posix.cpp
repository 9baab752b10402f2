// TableMemory on POSIX systems: an anonymous mapping, on a huge-page boundary where the table
// fills a huge page; made present, it is asked to be backed by huge pages (Linux) and written
// through.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <new>

#include "common/table_memory.h"

namespace qelva {
namespace {
constexpr size_t kHugePage = size_t{2} << 20;  // x86-64 and arm64 with 4 KiB pages
}

TableMemory::TableMemory(size_t bytes, bool present) : bytes_(bytes) {
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t rounded = (bytes + page - 1) / page * page;
  if (rounded < bytes || rounded == 0) throw std::bad_alloc();
  // A table of a huge page or more is mapped with room to start on a huge-page boundary.
  const size_t align = rounded >= kHugePage ? kHugePage : page;
  const size_t mapped = rounded + (align - page);
  if (mapped < rounded) throw std::bad_alloc();
  void* mapping = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  mapping_ = mapping;
  mappingBytes_ = mapped;
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapping);
  const uintptr_t aligned = (start + align - 1) / align * align;
  data_ = reinterpret_cast<void*>(aligned);
  if (present) MakePresent();
}

void TableMemory::MakePresent() {
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t rounded = (bytes_ + page - 1) / page * page;
#ifdef MADV_HUGEPAGE
  // A hint, which may be refused; it only helps where no page has been touched yet.
  if (rounded >= kHugePage) ::madvise(data_, rounded, MADV_HUGEPAGE);
#endif
  // Writing every page's first byte back makes each one the process's own (the first write of a
  // huge page makes all of it). Not madvise(MADV_POPULATE_WRITE), which would do the same
  // in one call: it holds the process's address-space lock while the pages are made and zeroed
  // (measured: 0.3-0.4 ms for a huge page), and every other thread that maps, unmaps or
  // protects memory meanwhile (the C library growing a thread's heap, another thread making
  // its own tables) waits for it. A page fault locks only the mapping it falls in (Linux 6.4
  // and later).
  volatile uint8_t* bytesOf = static_cast<uint8_t*>(data_);
  for (size_t at = 0; at < rounded; at += page) bytesOf[at] = bytesOf[at];
}

TableMemory::~TableMemory() { ::munmap(mapping_, mappingBytes_); }

}  // namespace qelva
