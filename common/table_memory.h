// Memory for a large table that is read and written at random places: zeroed, its pages taken
// from the system as they are first touched, or all at once when the table will be used much.
//
// Memory fresh from the system shows the shared zero page where it is first read; the first
// write there then makes a page of its own, and the change of mapping must be flushed from the
// translation buffers of every core that runs another thread of the process, by interrupting
// them. A table whose pages are all made present before it is used costs one fault per page (or
// one in all, where the system backs it with a huge page) and no interruption of the other
// threads later; but making 2 MiB present takes longer than the few pages one small picture
// touches.
#pragma once

#include <cstddef>

namespace qelva {

class TableMemory {
 public:
  // Raises std::bad_alloc when the memory cannot be had. With `present`, every page is present
  // and writable before the constructor returns; otherwise each comes when first touched.
  TableMemory(size_t bytes, bool present);
  ~TableMemory();
  TableMemory(const TableMemory&) = delete;
  TableMemory& operator=(const TableMemory&) = delete;

  void* data() const { return data_; }
  size_t size() const { return bytes_; }
  // Makes every page present and writable now (those already touched keep their contents).
  void MakePresent();

 private:
  void* data_ = nullptr;
  size_t bytes_ = 0;
  void* mapping_ = nullptr;  // what was taken from the system, to be given back
  size_t mappingBytes_ = 0;
};

}  // namespace qelva
