// Folders as the converter walks them: the sizes the listing and the size query give, which
// decide the order in which several jobs take the pictures.
#include "common/folders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "test_support.h"

namespace qelva {
namespace {

using test::Bytes;
using test::TempDir;

TEST(Folders, TheListingAndTheSizeQueryGiveEachFilesLengthAndZeroForTheRest) {
  TempDir dir;
  // Lengths around the 32-bit halves' boundary cannot be written here; these cover empty, one
  // byte and more than a 16-bit number holds.
  const std::map<std::string, size_t> lengths = {{"empty.bin", 0}, {"one.bin", 1},
                                                 {"omall.dat", 70001}};
  for (const auto& [name, length] : lengths) {
    test::WriteBytes(dir.File(name), Bytes(length, 0x5A));
  }
  test::MakeFolder(dir.File("sub"));

  std::vector<FolderEntry> entries;
  int ioCode = 0;
  ASSERT_TRUE(ListFolder(dir.path(), entries, ioCode)) << ioCode;
  ASSERT_EQ(entries.size(), lengths.size() + 1);
  for (const FolderEntry& entry : entries) {
    SCOPED_TRACE(entry.name);
    if (entry.isFolder) {
      EXPECT_EQ(entry.name, "sub");
      EXPECT_EQ(entry.size, 0u);
      continue;
    }
    ASSERT_TRUE(lengths.count(entry.name));
    EXPECT_EQ(entry.size, lengths.at(entry.name));
    EXPECT_EQ(FileSizeOf(entry.path), lengths.at(entry.name));
  }
  EXPECT_EQ(FileSizeOf(dir.File("missing.bin")), 0u);
  EXPECT_EQ(FileSizeOf(dir.File("sub")), 0u);
}

}  // namespace
}  // namespace qelva
