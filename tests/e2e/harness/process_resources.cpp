#include "harness/process_resources.h"

#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace qelva::e2e {

namespace {

// The handle table's shape on x64.
constexpr size_t kPebGdiSharedHandleTable = 0xF8;
constexpr size_t kEntrySize = 24;
constexpr size_t kEntryCount = 65536;
constexpr size_t kOwnerAt = 8;  // ULONG Owner, low 16 bits the process id
constexpr size_t kTypeAt = 14;  // UCHAR Type; 0 = free

// ProcessBasicInformation as NtQueryInformationProcess fills it on x64.
struct BasicInformation {
  LONG exitStatus;
  PVOID pebBaseAddress;
  ULONG_PTR affinityMask;
  LONG basePriority;
  ULONG_PTR uniqueProcessId;
  ULONG_PTR inheritedFromUniqueProcessId;
};
// VM_COUNTERS as ProcessVmCounters fills it.
struct VmCounters {
  SIZE_T peakVirtualSize;
  SIZE_T virtualSize;
  ULONG pageFaultCount;
  SIZE_T peakWorkingSetSize;
  SIZE_T workingSetSize;
  SIZE_T quotaPeakPagedPoolUsage;
  SIZE_T quotaPagedPoolUsage;
  SIZE_T quotaPeakNonPagedPoolUsage;
  SIZE_T quotaNonPagedPoolUsage;
  SIZE_T pagefileUsage;
  SIZE_T peakPagefileUsage;
};
using QueryInformationFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);

class ProcessHandle {
 public:
  ProcessHandle(DWORD id, DWORD access) : handle_(OpenProcess(access, FALSE, id)) {}
  ~ProcessHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

std::string ErrorText(const char* what) {
  return std::string(what) + " failed with error " + std::to_string(GetLastError());
}

}  // namespace

std::optional<ProcessMemory> MemoryOf(DWORD processId) {
  const ProcessHandle process(processId, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
  if (process.get() == nullptr) return std::nullopt;
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    return std::nullopt;
  }
  ProcessMemory memory{counters.PrivateUsage, counters.WorkingSetSize, 0};
  auto query = reinterpret_cast<QueryInformationFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  VmCounters vm{};
  if (query != nullptr &&
      query(process.get(), 3 /* ProcessVmCounters */, &vm, sizeof vm, nullptr) == 0) {
    memory.virtualSize = vm.virtualSize;
  }
  return memory;
}

std::optional<GdiTableCensus> ReadGdiTable(DWORD processId, std::string& failure) {
  const ProcessHandle process(processId, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
  if (process.get() == nullptr) {
    failure = ErrorText("OpenProcess");
    return std::nullopt;
  }
  auto query = reinterpret_cast<QueryInformationFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  if (query == nullptr) {
    failure = "ntdll has no NtQueryInformationProcess";
    return std::nullopt;
  }
  BasicInformation basic{};
  const LONG status = query(process.get(), 0 /* ProcessBasicInformation */, &basic, sizeof basic,
                            nullptr);
  if (status != 0 || basic.pebBaseAddress == nullptr) {
    failure = "NtQueryInformationProcess gave status " + std::to_string(status);
    return std::nullopt;
  }
  uint64_t table = 0;
  SIZE_T got = 0;
  if (!ReadProcessMemory(process.get(),
                         static_cast<const uint8_t*>(basic.pebBaseAddress) +
                             kPebGdiSharedHandleTable,
                         &table, sizeof table, &got) ||
      got != sizeof table) {
    failure = ErrorText("ReadProcessMemory of the PEB");
    return std::nullopt;
  }
  if (table == 0) {
    failure = "the PEB names no GDI handle table";
    return std::nullopt;
  }

  // Read page by page: the end of the table need not be committed.
  std::vector<uint8_t> bytes(kEntryCount * kEntrySize);
  size_t read = 0;
  constexpr size_t kChunk = 4096 * 6;  // a whole number of entries (1024) and of pages
  while (read < bytes.size()) {
    const size_t n = std::min(kChunk, bytes.size() - read);
    SIZE_T chunk = 0;
    if (!ReadProcessMemory(process.get(), reinterpret_cast<const void*>(table + read),
                           bytes.data() + read, n, &chunk) ||
        chunk != n) {
      break;
    }
    read += n;
  }
  if (read == 0) {
    failure = ErrorText("ReadProcessMemory of the GDI handle table");
    return std::nullopt;
  }

  GdiTableCensus census;
  census.tableAddress = table;
  const uint16_t self = static_cast<uint16_t>(processId);
  for (size_t at = 0; at + kEntrySize <= read; at += kEntrySize) {
    if (bytes[at + kTypeAt] == 0) continue;
    ++census.used;
    uint32_t owner = 0;
    std::memcpy(&owner, &bytes[at + kOwnerAt], sizeof owner);
    const uint16_t ownerProcess = static_cast<uint16_t>(owner & 0xFFFF);
    if (ownerProcess == 0) {
      ++census.ownerZero;
    } else if (ownerProcess == self) {
      ++census.ownedByProcess;
    } else {
      ++census.ownedByOthers;
    }
  }
  return census;
}

std::optional<GdiObjects> GdiObjectsOf(DWORD processId, std::string& failure) {
  {
    const ProcessHandle process(processId, PROCESS_QUERY_INFORMATION);
    if (process.get() != nullptr) {
      const DWORD count = GetGuiResources(process.get(), GR_GDIOBJECTS);
      if (count > 0) return GdiObjects{static_cast<long>(count), "GetGuiResources"};
    }
  }
  const auto census = ReadGdiTable(processId, failure);
  if (!census) return std::nullopt;
  // A table shared between processes names each entry's owner; one of the process's own may
  // leave the field at 0.
  const long count = census->ownedByProcess + census->ownedByOthers > 0 ? census->ownedByProcess
                                                                         : census->used;
  return GdiObjects{count, "handle table"};
}

}  // namespace qelva::e2e
