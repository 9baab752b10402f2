// OutputFile writes a file whole or not at all: the target changes only at Commit.
#include "common/output_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <string>
#include <vector>

#include "common/errors.h"
#include "common/game_file.h"
#include "test_support.h"

namespace qelva {
namespace {

using test::Bytes;

TEST(OutputFile, CommitCreatesTheFileWithExactlyTheBytesWritten) {
  test::TempDir dir;
  const std::string target = dir.File("kabe01.bmp");
  {
    OutputFile file(target);
    file.Write("BM", 2);
    const Bytes body{0x00, 0x0A, 0x1A, 0x0D, 0x0A, 0xFF};
    file.Write(body.data(), body.size());
    file.Write(nullptr, 0);
    file.Commit();
  }
  EXPECT_EQ(test::ReadBytes(target), (Bytes{'B', 'M', 0x00, 0x0A, 0x1A, 0x0D, 0x0A, 0xFF}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"kabe01.bmp"});
}

TEST(OutputFile, ExistingTargetIsUntouchedUntilCommitAndThenReplaced) {
  test::TempDir dir;
  const std::string target = dir.File("kabe01.bmp");
  test::WriteBytes(target, {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'});
  OutputFile file(target);
  file.Write("new", 3);
  EXPECT_EQ(test::ReadBytes(target), (Bytes{'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'}));
  file.Commit();
  EXPECT_EQ(test::ReadBytes(target), (Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"kabe01.bmp"});
}

TEST(OutputFile, DestroyedWithoutCommitLeavesTheFolderAsItWas) {
  test::TempDir dir;
  const std::string existing = dir.File("old.bmp");
  test::WriteBytes(existing, {1, 2, 3});
  {
    OutputFile file(existing);
    file.Write("partial", 7);
  }
  {
    OutputFile file(dir.File("new.bmp"));
    file.Write("partial", 7);
  }
  EXPECT_EQ(test::ReadBytes(existing), (Bytes{1, 2, 3}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"old.bmp"});
}

TEST(OutputFile, FileInAMissingFolderCannotBeCreated) {
  test::TempDir dir;
  const std::string target = test::JoinPath(dir.File("missing"), "\xE7\x94\xBB\xE5\x83\x8F.bmp");
  try {
    OutputFile file(target);
    FAIL() << "created " << target;
  } catch (const StreamError& error) {
    EXPECT_EQ(std::string(error.what()), "ﾌｧｲﾙ " + target + " を作成できません");
  }
  EXPECT_TRUE(dir.Names().empty());
}

TEST(OutputFile, CommitOverAFolderFailsAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  const std::string target = dir.File("taken.bmp");
  test::MakeFolder(target);
  OutputFile file(target);
  file.Write("BM", 2);
  try {
    file.Commit();
    FAIL() << "a file replaced the folder " << target;
  } catch (const StreamError& error) {
    EXPECT_EQ(std::string(error.what()), "ﾌｧｲﾙ " + target + " を作成できません");
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"taken.bmp"});
}

}  // namespace
}  // namespace qelva

namespace qelva {
namespace {

// Folders nested until the file's full path passes 300 characters: beyond what the file
// functions take on Windows without the long form of a path.
TEST(OutputFile, WritesAndReadsBackAFileWhosePathIsLongerThanTheOldLimit) {
  test::TempDir dir;
  std::string folder = dir.path();
  const std::string part(60, 'f');
  while (folder.size() < 300) {
    folder = test::JoinPath(folder, part);
    test::MakeFolder(folder);
  }
  const std::string target = test::JoinPath(folder, "壁紙01.bmp");
  ASSERT_GT(target.size(), 300u);
  {
    OutputFile file(target);
    file.Write("BM", 2);
    file.Commit();
  }
  Bytes bytes(2);
  {
    GameFile back(target);
    ASSERT_EQ(back.Size(), 2u);
    back.Read(bytes.data(), 2);
  }
  EXPECT_EQ(bytes, (Bytes{'B', 'M'}));
  // Replaced in the same place, with no temporary file left beside it.
  {
    OutputFile again(target);
    again.Write("XY", 2);
    again.Commit();
  }
  GameFile replaced(target);
  replaced.Read(bytes.data(), 2);
  EXPECT_EQ(bytes, (Bytes{'X', 'Y'}));
}

}  // namespace
}  // namespace qelva

#ifndef _WIN32
namespace qelva {
namespace {

// A write past the process's file-size limit, for real: with SIGXFSZ ignored (as qelvaconv
// ignores it) write() fails with EFBIG part way through. The write error is raised, the
// temporary file is gone at once, the earlier target is untouched, and Commit refuses.
TEST(OutputFile, AWritePastTheFileSizeLimitFailsAndLeavesOnlyTheEarlierTarget) {
  test::TempDir dir;
  const std::string target = dir.File("omall-3.bmp");
  test::WriteBytes(target, {'o', 'l', 'd'});
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit lower = saved;
  lower.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lower), 0);
  const Bytes block(3000, 0x5A);
  std::string writeError, commitError;
  {
    OutputFile file(target);
    file.Write(block.data(), block.size());  // 3000 of 4096 bytes
    try {
      file.Write(block.data(), block.size());
    } catch (const StreamError& error) {
      writeError = error.what();
    }
    try {
      file.Commit();
    } catch (const StreamError& error) {
      commitError = error.what();
    }
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(writeError, "ｽﾄﾘｰﾑへの書き込みｴﾗｰ");
  EXPECT_EQ(commitError, "ﾌｧｲﾙ " + target + " を作成できません");
  EXPECT_EQ(test::ReadBytes(target), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"omall-3.bmp"});
}

}  // namespace
}  // namespace qelva
#endif
