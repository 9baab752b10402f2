// Memory for the encoder's large tables: zeroed, writable to its last byte, refused cleanly when
// no memory can hold it.
#include "common/table_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>

namespace qelva {
namespace {

TEST(TableMemory, IsZeroedAndWritableToItsLastByteWhateverItsSize) {
  // Less than a page, a page and a byte, a huge page exactly, and a huge page and a bit.
  for (size_t bytes : {size_t{1}, size_t{4097}, size_t{2} << 20, (size_t{2} << 20) + 3}) {
    SCOPED_TRACE(bytes);
    TableMemory memory(bytes);
    ASSERT_NE(memory.data(), nullptr);
    EXPECT_EQ(memory.size(), bytes);
    auto* p = static_cast<uint8_t*>(memory.data());
    size_t nonZero = 0;
    for (size_t i = 0; i < bytes; ++i) nonZero += p[i] != 0;
    EXPECT_EQ(nonZero, 0u);
    p[0] = 1;
    p[bytes - 1] = 2;
    EXPECT_EQ(p[0] + p[bytes - 1], bytes == 1 ? 4 : 3);
  }
}

TEST(TableMemory, ASizeNoMemoryCanHoldIsRefusedWithBadAlloc) {
  // Rounding the largest sizes up to whole pages overflows; half the address space is no
  // memory any system gives.
  for (size_t bytes : {SIZE_MAX, SIZE_MAX - 100, SIZE_MAX / 2}) {
    SCOPED_TRACE(bytes);
    EXPECT_THROW(TableMemory memory(bytes), std::bad_alloc);
  }
}

}  // namespace
}  // namespace qelva
