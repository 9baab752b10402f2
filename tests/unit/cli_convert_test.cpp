// The converter end to end on files in a temporary folder: what it writes, what it passes over,
// what it reports, and its exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "cli/console.h"
#include "cli/convert.h"
#include "common/byte_order.h"
#include "test_support.h"

namespace qelva::cli {
namespace {

using test::Bytes;
using test::TempDir;

class RecordingConsole final : public Console {
 public:
  void Out(std::string_view line) override { out.emplace_back(line); }
  void Err(std::string_view line) override { err.emplace_back(line); }
  bool ErrIsTerminal() const override { return false; }
  void Progress(std::string_view) override {}
  std::vector<std::string> out, err;
};

// The bromide archive with all 13 records; record n's pixels are all n.
Bytes BromideArchive() {
  Bytes file(16384 + 13 * 36864, 0);
  for (size_t n = 0; n < 13; ++n) {
    std::fill_n(file.begin() + static_cast<ptrdiff_t>(16384 + n * 36864 + 1520), 35200,
                static_cast<uint8_t>(n));
  }
  return file;
}

struct Outcome {
  int status;
  RecordingConsole console;
};

Outcome Convert(std::vector<std::string> args) {
  Outcome run;
  run.status = RunConverter(args, run.console);
  return run;
}

TEST(Converter, AFolderIsConvertedFileByFileAndNonPicturesArePassedOverQuietly) {
  TempDir in, out;
  test::WriteBytes(in.File("Item01.bin"), test::ItemPictureFile(7));
  test::WriteBytes(in.File("readme.txt"), {'h', 'i'});
  test::WriteBytes(in.File("eye2.bin"), Bytes(100, 0));       // no family
  test::WriteBytes(in.File("xx_cg.bin"), Bytes(100, 0));      // no such archive group
  test::WriteBytes(in.File("item02.bin"), Bytes(13055, 0));  // an item needs 13056 bytes

  const Outcome run = Convert({"-o", out.path(), in.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.console.err.empty());
  EXPECT_EQ(out.Names(), std::vector<std::string>{"Item01.bmp"});
  const Bytes bmp = test::ReadBytes(out.File("Item01.bmp"));
  ASSERT_EQ(bmp.size(), 14u + 1064u + 112u * 112u);
  EXPECT_EQ(bmp.back(), 7);
}

TEST(Converter, NamedInputsThatFailAreReportedOneLineEachAndTheRestStillConverted) {
  TempDir in, out;
  test::WriteBytes(in.File("eye2.bin"), Bytes(100, 0));
  test::WriteBytes(in.File("Item01.bin"), test::ItemPictureFile(1));
  test::WriteBytes(in.File("Kabe01.bin"), Bytes(600, 0));  // ends inside its tile map

  const Outcome run = Convert({"-o", out.path(), in.File("notes.txt"), in.File("eye2.bin"),
                           in.File("missing.bin"), in.File("Kabe01.bin"), in.File("Item01.bin")});
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.console.err.size(), 4u);
  EXPECT_EQ(run.console.err[0], in.File("notes.txt") + ": ファイル名が違います");
  EXPECT_EQ(run.console.err[1], in.File("eye2.bin") + ": ゲームの画像ﾌｧｲﾙではありません");
  EXPECT_EQ(run.console.err[2], in.File("missing.bin") + ": ﾌｧｲﾙが見つかりません");
  EXPECT_EQ(run.console.err[3], in.File("Kabe01.bin") + ": ﾌｧｲﾙの末尾以降を読み込みました");
  EXPECT_EQ(out.Names(), std::vector<std::string>{"Item01.bmp"});
}

TEST(Converter, EveryEntryOfAnArchiveBecomesAFileNamedAfterItsNumber) {
  TempDir in, out;
  test::WriteBytes(in.File("OMALL.DAT"), BromideArchive());
  const Outcome run = Convert({"-t", "rle", "-o", out.path(), in.File("OMALL.DAT")});
  EXPECT_EQ(run.status, 0);
  std::vector<std::string> expected;
  for (int n = 0; n < 13; ++n) expected.push_back("OMALL-" + std::to_string(n) + ".bmp");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(out.Names(), expected);
  // Entry 9 is 200 rows of index 9: each row one run of 176 and an end of line.
  const Bytes bmp = test::ReadBytes(out.File("OMALL-9.bmp"));
  ASSERT_GT(bmp.size(), 1078u + 4u);
  EXPECT_EQ(ReadLe32(&bmp[14 + 16]), 1u);  // BI_RLE8
  EXPECT_EQ(bmp[1078], 176);
  EXPECT_EQ(bmp[1079], 9);
}

TEST(Converter, GifTypesWriteEveryPictureAndEntryAsGif) {
  TempDir in;
  test::WriteBytes(in.File("Item01.bin"), test::ItemPictureFile(7));
  test::WriteBytes(in.File("omall.dat"), BromideArchive());
  struct Case {
    const char* type;
    char version;  // GIF8?a
    bool interlaced;
    int transparent;
  };
  for (const Case c : {Case{"gif", '7', false, -1}, Case{"4", '7', true, -1},
                       Case{"gif-t", '9', false, 0}, Case{"6", '9', true, 0}}) {
    SCOPED_TRACE(c.type);
    TempDir out;
    const Outcome run = Convert({"-t", c.type, "-o", out.path(), in.path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.console.err.empty());
    std::vector<std::string> expected = {"Item01.gif"};
    for (int n = 0; n < 13; ++n) expected.push_back("omall-" + std::to_string(n) + ".gif");
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(out.Names(), expected);

    const Bytes item = test::ReadBytes(out.File("Item01.gif"));
    ASSERT_GT(item.size(), 13u + 768u + 18u);
    EXPECT_EQ(item[4], c.version);
    EXPECT_EQ(ReadLe16(&item[6]), 112);
    const size_t descriptor = 13 + 768 + (c.transparent >= 0 ? 8 : 0);
    EXPECT_EQ(item[descriptor], 0x2C);
    EXPECT_EQ(item[descriptor + 9], c.interlaced ? 0x40 : 0x00);
#ifdef QELVA_HAVE_GIFLIB
    // The item is all index 7; bromide n is all index n.
    std::vector<std::tuple<std::string, int, int, int>> pictures = {{"Item01.gif", 7, 112, 112}};
    for (int n = 0; n < 13; ++n) pictures.emplace_back("omall-" + std::to_string(n) + ".gif", n, 176, 200);
    for (const auto& [name, pixel, width, height] : pictures) {
      test::PeerPicture decoded;
      ASSERT_TRUE(test::GiflibDecode(test::ReadBytes(out.File(name)), decoded)) << name;
      EXPECT_EQ(decoded.width, width) << name;
      EXPECT_EQ(decoded.height, height) << name;
      EXPECT_EQ(decoded.transparentIndex, c.transparent) << name;
      EXPECT_EQ(decoded.indices, Bytes(static_cast<size_t>(width * height), static_cast<uint8_t>(pixel)))
          << name;
    }
#endif
  }
}

TEST(Converter, OneEntryCanBeChosenAndAnEntryTheArchiveLacksIsRefused) {
  TempDir in, out;
  test::WriteBytes(in.File("omall.dat"), BromideArchive());
  Outcome run = Convert({"-e", "3", "-o", out.path(), in.File("omall.dat")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(out.Names(), std::vector<std::string>{"omall-3.bmp"});

  run = Convert({"-e", "13", "-o", out.path(), in.File("omall.dat")});
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.console.err.size(), 1u);
  EXPECT_EQ(run.console.err[0].rfind(in.File("omall.dat") + "[13]: ", 0), 0u)
      << run.console.err[0];

  // Inside a folder an archive without that entry is passed over like any non-picture.
  run = Convert({"-e", "13", "-o", out.path(), in.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.console.err.empty());

  EXPECT_EQ(Convert({"-e", "-1", in.File("omall.dat")}).status, 2);
}

// The largest entry numbers once looped through every 32-bit value: each must give exactly one
// refusal for a named archive, and nothing for one found in a folder, for every archive kind.
// The refusal comes before the archive is read, so a few bytes under the right name will do.
TEST(Converter, EntryNumbersAtTheTopOfTheRangeAreRefusedOnceForEveryArchiveKind) {
  const char* const names[] = {"ge_cg.bin", "omall.dat", "sa_cg.bin", "sa_spr.bin"};
  const int32_t entries[] = {2147483647, 2147483646, 65536, 28};
  for (const char* name : names) {
    for (int32_t entry : entries) {
      SCOPED_TRACE(std::string(name) + " -e " + std::to_string(entry));
      TempDir in, out;
      test::WriteBytes(in.File(name), Bytes(64, 0));
      const std::string e = std::to_string(entry);
      Outcome run = Convert({"-e", e, "-o", out.path(), in.File(name)});
      EXPECT_EQ(run.status, 1);
      ASSERT_EQ(run.console.err.size(), 1u);
      EXPECT_EQ(run.console.err[0].rfind(in.File(name) + "[" + e + "]: ", 0), 0u)
          << run.console.err[0];

      run = Convert({"-e", e, "-o", out.path(), in.path()});
      EXPECT_EQ(run.status, 0);
      EXPECT_TRUE(run.console.err.empty());
      EXPECT_TRUE(out.Names().empty());
    }
  }
  EXPECT_EQ(Convert({"-e", "-2147483648", "omall.dat"}).status, 2);
  EXPECT_EQ(Convert({"-e", "2147483648", "omall.dat"}).status, 2);
}

TEST(Converter, ListingPrintsEachPictureWithItsSizeAndTitleAndWritesNothing) {
  TempDir in;
  test::WriteBytes(in.File("omall.dat"), BromideArchive());
  test::WriteBytes(in.File("item01.bin"), test::ItemPictureFile(0));
  const Outcome run = Convert({"-l", "-e", "9", in.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.console.out,
            (std::vector<std::string>{in.File("item01.bin") + "\t112x112x8",
                                      in.File("omall.dat") + "[9]\t176x200x8\tQelva"}));
  EXPECT_EQ(in.Names(), (std::vector<std::string>{"item01.bin", "omall.dat"}));
}

TEST(Converter, AFailedInputLeavesAnEarlierOutputOfTheSameNameUntouched) {
  TempDir in, out;
  test::WriteBytes(in.File("load01.bin"), Bytes(4000, 0));  // map cut short
  test::WriteBytes(out.File("load01.bmp"), {'o', 'l', 'd'});
  const Outcome run = Convert({"-o", out.path(), in.File("load01.bin")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(test::ReadBytes(out.File("load01.bmp")), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(out.Names(), std::vector<std::string>{"load01.bmp"});  // no temporary file left
}

TEST(Converter, TwoInputsWithTheSameOutputNameDoNotOverwriteEachOther) {
  TempDir a, b, out;
  test::WriteBytes(a.File("item01.bin"), test::ItemPictureFile(1));
  test::WriteBytes(b.File("item01.bin"), test::ItemPictureFile(2));
  const Outcome run = Convert({"-o", out.path(), a.File("item01.bin"), b.File("item01.bin")});
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.console.err.size(), 1u);
  EXPECT_EQ(run.console.err[0].rfind(b.File("item01.bin") + ": ", 0), 0u);
  EXPECT_EQ(test::ReadBytes(out.File("item01.bmp")).back(), 1);
}

TEST(Converter, TheOutputFolderIsCreatedWhenMissing) {
  TempDir in, out;
  test::WriteBytes(in.File("item01.bin"), test::ItemPictureFile(3));
  const std::string nested = out.File("a");
  const Outcome run = Convert({"-o", nested + "/b", in.File("item01.bin")});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(test::FileExists(nested + "/b/item01.bmp"));
}

// On Windows "/" also separates folders; the game name must still be found after it.
TEST(Converter, APathWrittenWithSlashesNamesTheSameGameFile) {
  TempDir in, out;
  test::WriteBytes(in.File("Item01.bin"), test::ItemPictureFile(5));
  const Outcome run = Convert({"-o", out.path(), in.path() + "/Item01.bin"});
  EXPECT_EQ(run.status, 0) << (run.console.err.empty() ? "" : run.console.err[0]);
  EXPECT_EQ(out.Names(), std::vector<std::string>{"Item01.bmp"});
}

}  // namespace
}  // namespace qelva::cli
