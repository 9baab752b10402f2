// GameFile reads whole blocks or raises the runtime's input/output error with its code.
#include "common/game_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "common/errors.h"
#include "test_support.h"

namespace qelva {
namespace {

using test::Bytes;

// The code of the IoError that action raises; -1 when it raises none.
int IoCodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const IoError& error) {
    return error.code();
  }
  return -1;
}

class GameFileTest : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteBytes(path_, kTen); }

  const Bytes kTen{10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  test::TempDir dir_;
  std::string path_ = dir_.File("kabe01.bin");
};

TEST_F(GameFileTest, ReadsConsecutiveWholeBlocks) {
  GameFile file(path_);
  EXPECT_EQ(file.Size(), 10u);
  Bytes head(4), rest(6);
  file.Read(head.data(), head.size());
  EXPECT_EQ(head, (Bytes{10, 11, 12, 13}));
  EXPECT_EQ(file.Position(), 4u);
  EXPECT_EQ(file.Remaining(), 6u);
  file.Read(rest.data(), rest.size());
  EXPECT_EQ(rest, (Bytes{14, 15, 16, 17, 18, 19}));
  EXPECT_EQ(file.Remaining(), 0u);
}

TEST_F(GameFileTest, SeekAndSkipMoveToAbsoluteAndRelativePositions) {
  GameFile file(path_);
  Bytes two(2);
  file.Seek(7);
  file.Read(two.data(), 2);
  EXPECT_EQ(two, (Bytes{17, 18}));
  file.Seek(1);
  file.Skip(2);
  file.Read(two.data(), 2);
  EXPECT_EQ(two, (Bytes{13, 14}));
}

TEST_F(GameFileTest, BlockThatComesUpShortRaisesReadBeyondEnd) {
  GameFile file(path_);
  Bytes block(11);
  try {
    file.Read(block.data(), block.size());
    FAIL() << "a short block was accepted";
  } catch (const IoError& error) {
    EXPECT_EQ(error.code(), 100);
    EXPECT_STREQ(error.what(), "ﾌｧｲﾙの末尾以降を読み込みました");
  }
  // Reading up to the end exactly is fine; one byte more is not.
  file.Seek(6);
  file.Read(block.data(), 4);
  EXPECT_EQ(IoCodeOf([&] { file.Read(block.data(), 1); }), 100);
}

TEST_F(GameFileTest, SeekPastTheEndIsAllowedButTheNextReadFails) {
  GameFile file(path_);
  file.Seek(25);
  EXPECT_EQ(file.Position(), 25u);
  EXPECT_EQ(file.Remaining(), 0u);
  uint8_t byte = 0;
  EXPECT_EQ(IoCodeOf([&] { file.Read(&byte, 1); }), 100);
}

TEST_F(GameFileTest, CloseIsFinalAndSafeToRepeat) {
  GameFile file(path_);
  EXPECT_TRUE(file.IsOpen());
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  file.Close();
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(GameFileTest, OpenFailuresCarryTheRuntimesCodes) {
  EXPECT_EQ(IoCodeOf([&] { GameFile f(dir_.File("missing.bin")); }), IoError::kFileNotFound);
#ifdef _WIN32
  // Windows tells a missing folder apart from a missing file.
  EXPECT_EQ(IoCodeOf([&] { GameFile f(dir_.File("none\\missing.bin")); }),
            IoError::kInvalidFileName);
#else
  EXPECT_EQ(IoCodeOf([&] { GameFile f(dir_.File("none/missing.bin")); }), IoError::kFileNotFound);
  // A path through a file is no path.
  EXPECT_EQ(IoCodeOf([&] { GameFile f(path_ + "/x.bin"); }), IoError::kInvalidFileName);
#endif
  // A folder is not a game file: access is denied.
  EXPECT_EQ(IoCodeOf([&] { GameFile f(dir_.path()); }), IoError::kAccessDenied);
}

// The size is taken when the file is opened. A file that another program cuts short after that
// must give the read-beyond-end error for a block that now runs past its end, never a block
// filled in part; the bytes that are still there read as before. The file is cut for real.
TEST_F(GameFileTest, AFileCutShortAfterOpeningGivesReadBeyondEndForABlockPastTheNewEnd) {
  GameFile file(path_);
  std::error_code cut;
  std::filesystem::resize_file(test::FsPath(path_), 6, cut);
  EXPECT_EQ(file.Size(), 10u);
  Bytes block(10, 0xEE);
  if (cut) {
#ifdef _WIN32
    // Windows lets no one write to a file GameFile holds (it is shared for reading only), so
    // there it cannot shrink under the reader: the whole file reads.
    file.Read(block.data(), block.size());
    EXPECT_EQ(block, kTen);
    return;
#else
    FAIL() << "could not cut the file: " << cut.message();
#endif
  }
  Bytes head(4);
  file.Read(head.data(), head.size());
  EXPECT_EQ(head, (Bytes{10, 11, 12, 13}));
  EXPECT_EQ(file.Remaining(), 6u);  // by the size taken at the open
  EXPECT_EQ(IoCodeOf([&] { file.Read(block.data(), 6); }), IoError::kReadBeyondEnd);
  file.Seek(4);
  file.Read(block.data(), 2);
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 2), (Bytes{14, 15}));
  EXPECT_EQ(IoCodeOf([&] { file.Read(block.data(), 1); }), IoError::kReadBeyondEnd);
}

TEST(GameFile, OpensAJapaneseFileName) {
  test::TempDir dir;
  const std::string path = dir.File("背景ﾃﾞｰﾀ01.bin");
  test::WriteBytes(path, {0x7C, 0x00, 0x03, 0xE0});
  GameFile file(path);
  EXPECT_EQ(file.Size(), 4u);
  Bytes words(4);
  file.Read(words.data(), words.size());
  EXPECT_EQ(words, (Bytes{0x7C, 0x00, 0x03, 0xE0}));
}

}  // namespace
}  // namespace qelva
