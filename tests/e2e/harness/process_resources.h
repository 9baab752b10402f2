// What a running viewer process holds, read from outside it: its memory (private bytes and
// working set) and its count of GDI objects.
//
// Wine's GetGuiResources always answers 0, so the GDI count falls back to the handle table that
// Wine, like Windows, keeps for each process in memory its PEB points at (GdiSharedHandleTable):
// 65536 entries of 24 bytes, an entry of type 0 being free. The table is read with
// ReadProcessMemory; which of the two ways gave a count is reported with it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace qelva::e2e {

// Wine 8 answers PrivateUsage (and PagefileUsage) of another process with 0: it takes them from
// the swap the Unix process uses. The working set (resident pages) and the virtual size (mapped
// address space, which every heap growth enlarges) are real there.
struct ProcessMemory {
  uint64_t privateBytes = 0;  // PROCESS_MEMORY_COUNTERS_EX PrivateUsage
  uint64_t workingSet = 0;    // WorkingSetSize
  uint64_t virtualSize = 0;   // VM_COUNTERS VirtualSize (NtQueryInformationProcess)
};

// The process's memory now; nothing when the process cannot be asked.
std::optional<ProcessMemory> MemoryOf(DWORD processId);

struct GdiObjects {
  long count = 0;
  std::string source;  // "GetGuiResources" or "handle table"
};

// The process's GDI objects now: GetGuiResources when it gives a count above 0, else the used
// entries of the process's handle table (those whose owner field names the process, or all
// used ones when the table leaves the owner at 0, as a table of the process's own does); on
// failure nothing, and the reason in `failure`.
std::optional<GdiObjects> GdiObjectsOf(DWORD processId, std::string& failure);

// The handle table as read: used entries, and how many of them have an owner field naming the
// process, another process, or none (0). For checking what the table holds under this Wine.
struct GdiTableCensus {
  long used = 0;
  long ownedByProcess = 0;
  long ownedByOthers = 0;
  long ownerZero = 0;
  uint64_t tableAddress = 0;
};
std::optional<GdiTableCensus> ReadGdiTable(DWORD processId, std::string& failure);

}  // namespace qelva::e2e
