// Memory for the encoder's large tables: zeroed, writable to its last byte, refused cleanly when
// no memory can hold it.
#include "common/table_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>

namespace qelva {
namespace {

size_t NonZeroBytes(const TableMemory& memory) {
  const auto* p = static_cast<const uint8_t*>(memory.data());
  size_t nonZero = 0;
  for (size_t i = 0; i < memory.size(); ++i) nonZero += p[i] != 0;
  return nonZero;
}

TEST(TableMemory, IsZeroedAndWritableToItsLastByteWhateverItsSize) {
  // Less than a page, a page and a byte, a huge page exactly, and a huge page and a bit.
  for (size_t bytes : {size_t{1}, size_t{4097}, size_t{2} << 20, (size_t{2} << 20) + 3}) {
    for (bool present : {false, true}) {
      SCOPED_TRACE(::testing::Message() << bytes << (present ? " present" : ""));
      TableMemory memory(bytes, present);
      ASSERT_NE(memory.data(), nullptr);
      EXPECT_EQ(memory.size(), bytes);
      EXPECT_EQ(NonZeroBytes(memory), 0u);
      auto* p = static_cast<uint8_t*>(memory.data());
      p[0] = 1;
      p[bytes - 1] = 2;
      EXPECT_EQ(p[0] + p[bytes - 1], bytes == 1 ? 4 : 3);
    }
  }
}

TEST(TableMemory, MakingItPresentLaterKeepsWhatWasWritten) {
  const size_t bytes = (size_t{2} << 20) + 4096;
  TableMemory memory(bytes, false);
  auto* p = static_cast<uint8_t*>(memory.data());
  // A page written, a page only read (the zero page there), the last byte written.
  p[5000] = 0x11;
  EXPECT_EQ(p[300000], 0);
  p[bytes - 1] = 0x22;
  memory.MakePresent();
  EXPECT_EQ(p[5000], 0x11);
  EXPECT_EQ(p[bytes - 1], 0x22);
  EXPECT_EQ(NonZeroBytes(memory), 2u);
  p[300000] = 0x33;
  EXPECT_EQ(NonZeroBytes(memory), 3u);
}

TEST(TableMemory, ASizeNoMemoryCanHoldIsRefusedWithBadAlloc) {
  // Rounding the largest sizes up to whole pages overflows; half the address space is no
  // memory any system gives.
  for (size_t bytes : {SIZE_MAX, SIZE_MAX - 100, SIZE_MAX / 2}) {
    SCOPED_TRACE(bytes);
    EXPECT_THROW(TableMemory memory(bytes, false), std::bad_alloc);
    EXPECT_THROW(TableMemory memory(bytes, true), std::bad_alloc);
  }
}

}  // namespace
}  // namespace qelva
