// Memory for a large table that is read and written at random places: zeroed, and every page of
// it present and writable from the start.
//
// Memory fresh from the system shows the shared zero page where it is first read; the first
// write there then makes a page of its own, and the change of mapping must be flushed from the
// translation buffers of every core that runs another thread of the process, by interrupting
// them. A table whose pages are all written first costs one fault per page (or one in all, where
// the system backs it with a huge page) and no interruption of the other threads later.
#pragma once

#include <cstddef>

namespace qelva {

class TableMemory {
 public:
  // Raises std::bad_alloc when the memory cannot be had.
  explicit TableMemory(size_t bytes);
  ~TableMemory();
  TableMemory(const TableMemory&) = delete;
  TableMemory& operator=(const TableMemory&) = delete;

  void* data() const { return data_; }
  size_t size() const { return bytes_; }

 private:
  void* data_ = nullptr;
  size_t bytes_ = 0;
  void* mapping_ = nullptr;  // what was taken from the system, to be given back
  size_t mappingBytes_ = 0;
};

}  // namespace qelva
