// The converter end to end on files in a temporary folder: what it writes, what it passes over,
// what it reports, and its exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include "cli/console.h"
#include "cli/console_progress.h"
#include "cli/convert.h"
#include "common/byte_order.h"
#include "common/folders.h"
#include "test_support.h"

namespace qelva::cli {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

// Keeps every line; as a terminal it also keeps, in one sequence with the lines, what the
// progress line showed ("" when it was cleared) and the clock's time then.
class RecordingConsole final : public Console {
 public:
  struct Event {
    enum Kind { kOut, kErr, kProgress } kind;
    std::string text;
    Clock::Duration at;
  };

  void Out(std::string_view line) override {
    out.emplace_back(line);
    events.push_back({Event::kOut, std::string(line), Time()});
  }
  void Err(std::string_view line) override {
    err.emplace_back(line);
    events.push_back({Event::kErr, std::string(line), Time()});
  }
  bool ErrIsTerminal() const override { return terminal; }
  void Progress(std::string_view text) override {
    events.push_back({Event::kProgress, std::string(text), Time()});
  }

  Clock::Duration Time() const { return clock ? clock->Peek() : Clock::Duration{}; }

  // A clock that moves on by `step` each time it is read.
  class SteppingClock final : public Clock {
   public:
    explicit SteppingClock(std::chrono::milliseconds step) : step_(step) {}
    Duration Now() override { return Duration(ticks_ += step_.count() * kTicksPerMs); }
    Duration Peek() const { return Duration(ticks_.load()); }

   private:
    static constexpr Duration::rep kTicksPerMs =
        std::chrono::duration_cast<Duration>(std::chrono::milliseconds(1)).count();
    const std::chrono::milliseconds step_;
    std::atomic<Duration::rep> ticks_{0};
  };

  bool terminal = false;
  const SteppingClock* clock = nullptr;
  std::vector<std::string> out, err;
  std::vector<Event> events;
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

// ---- several jobs, folder trees, the progress line ------------------------------------------

// A game folder with broken files among the pictures: eight items and a bromide archive whose
// pixels tell the copy apart, a wallpaper that ends inside its tile map, a loading picture whose
// map is cut short, and files that are passed over (notes, an item one byte short). In odd
// copies the bromide archive ends inside record 5, so that entries 5 to 12 fail.
void WriteMixedFolder(const std::string& folder, uint8_t copy) {
  for (uint8_t n = 1; n <= 8; ++n) {
    test::WriteBytes(test::JoinPath(folder, "item0" + std::to_string(n) + ".bin"),
                     test::ItemPictureFile(static_cast<uint8_t>(copy * 16 + n)));
  }
  Bytes archive = BromideArchive();
  for (size_t record = 16384; record < archive.size(); record += 36864) {
    // The first and the last row of each picture are the copy's number.
    std::fill_n(archive.begin() + static_cast<ptrdiff_t>(record + 1520), 176, copy);
    std::fill_n(archive.begin() + static_cast<ptrdiff_t>(record + 1520 + 35200 - 176), 176, copy);
  }
  if (copy % 2 == 1) archive.resize(16384 + 5 * 36864 + 1000);
  test::WriteBytes(test::JoinPath(folder, "omall.dat"), archive);
  test::WriteBytes(test::JoinPath(folder, "Kabe01.bin"), Bytes(600, 0));
  test::WriteBytes(test::JoinPath(folder, "load01.bin"), Bytes(4000, 0));
  test::WriteBytes(test::JoinPath(folder, "notes.txt"), {'h', 'i'});
  test::WriteBytes(test::JoinPath(folder, "item09.bin"), Bytes(13055, 0));
}

// root, root/B, root/B/deep and root/a, each a mixed folder, plus root/docs with no picture.
void WriteMixedTree(const std::string& root) {
  const std::string b = test::JoinPath(root, "B"), a = test::JoinPath(root, "a");
  const std::string deep = test::JoinPath(b, "deep"), docs = test::JoinPath(root, "docs");
  for (const std::string& folder : {b, deep, a, docs}) test::MakeFolder(folder);
  WriteMixedFolder(root, 0);
  WriteMixedFolder(b, 1);
  WriteMixedFolder(deep, 2);
  WriteMixedFolder(a, 3);
  test::WriteBytes(test::JoinPath(docs, "readme.txt"), {'x'});
}

// Every file below a folder: its path relative to the folder, with "/" between names, and its
// bytes. Folders without files show as "name/"; links are not followed.
void AddTree(const std::string& folder, const std::string& relative,
             std::map<std::string, Bytes>& tree) {
  std::vector<FolderEntry> entries;
  int ioCode = 0;
  ASSERT_TRUE(ListFolder(folder, entries, ioCode)) << folder << ": " << ioCode;
  if (entries.empty() && !relative.empty()) tree[relative];
  for (const FolderEntry& entry : entries) {
    if (entry.isFolder && !entry.isLink) {
      AddTree(entry.path, relative + entry.name + "/", tree);
    } else if (entry.isFile) {
      tree[relative + entry.name] = test::ReadBytes(entry.path);
    }
  }
}

std::map<std::string, Bytes> TreeOf(const std::string& root) {
  std::map<std::string, Bytes> tree;
  AddTree(root, "", tree);
  return tree;
}

std::vector<std::string> Keys(const std::map<std::string, Bytes>& tree) {
  std::vector<std::string> keys;
  for (const auto& [key, bytes] : tree) keys.push_back(key);
  return keys;
}

std::vector<std::string> With(std::vector<std::string> args,
                              std::initializer_list<std::string> more) {
  args.insert(args.begin(), more);
  return args;
}

TEST(ConverterJobs, SeveralJobsWriteTheSameTreeAndReportTheSameLinesInTheSameOrderAsOne) {
  TempDir in;
  WriteMixedTree(in.path());
  for (const char* type : {"bmp", "gif-t"}) {
    SCOPED_TRACE(type);
    TempDir serialOut;
    const Outcome serial =
        Convert({"-r", "-t", type, "-j", "1", "-o", serialOut.path(), in.path()});
    const auto serialTree = TreeOf(serialOut.path());
    EXPECT_EQ(serial.status, 1);
    // 4 folders of 8 items; 13 entries from the two whole archives, 5 from the two cut ones.
    EXPECT_EQ(serialTree.size(), 4u * 8u + 2u * 13u + 2u * 5u);
    // Each folder: its wallpaper, its loading picture, and 8 entries of a cut archive.
    EXPECT_EQ(serial.console.err.size(), 4u * 2u + 2u * 8u);
    for (const char* jobs : {"2", "3", "16"}) {
      SCOPED_TRACE(jobs);
      TempDir out;
      const Outcome parallel = Convert({"-r", "-t", type, "-j", jobs, "-o", out.path(), in.path()});
      EXPECT_EQ(parallel.status, serial.status);
      EXPECT_EQ(parallel.console.err, serial.console.err);
      const auto tree = TreeOf(out.path());
      EXPECT_EQ(Keys(tree), Keys(serialTree));
      EXPECT_TRUE(tree == serialTree) << "some file differs from the one-job run's";
    }
  }

  // Listing: the same lines in the same order, on standard output, and nothing written.
  const Outcome serialList = Convert({"-r", "-l", "-j", "1", in.path()});
  const Outcome parallelList = Convert({"-r", "-l", "-j", "2", in.path()});
  EXPECT_EQ(serialList.console.out.size(), 4u * 8u + 2u * 13u + 2u * 5u);
  EXPECT_EQ(parallelList.console.out, serialList.console.out);
  EXPECT_EQ(parallelList.console.err, serialList.console.err);
  EXPECT_EQ(parallelList.status, serialList.status);
}

// With several jobs and a folder or more than one input, a second job starts before the inputs
// are listed. When there turns out to be one picture or none, it must end without converting,
// and a single picture must be converted once: written once, counted once, reported once.
TEST(ConverterJobs, AJobStartedBeforeListingEndsCleanlyWhenThereIsOnePictureOrNone) {
  TempDir empty, notes, one;
  test::WriteBytes(test::JoinPath(notes.path(), "notes.txt"), {'h', 'i'});
  test::WriteBytes(test::JoinPath(one.path(), "item01.bin"), test::ItemPictureFile(7));
  const std::string missing = test::JoinPath(empty.path(), "item02.bin");
  struct Case {
    const char* what;
    std::vector<std::string> inputs;
    int status;
    std::vector<std::string> files;
    std::vector<std::string> err;
  };
  const std::vector<Case> cases = {
      {"an empty folder", {empty.path()}, 0, {}, {}},
      {"a folder of no picture", {notes.path()}, 0, {}, {}},
      {"a folder of one picture", {one.path()}, 0, {"item01.gif"}, {}},
      {"one picture and a missing one",
       {one.File("item01.bin"), missing},
       1,
       {"item01.gif"},
       {missing + ": ﾌｧｲﾙが見つかりません"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir serialOut;
    const Outcome serial = Convert(With(c.inputs, {"-t", "gif", "-j", "1", "-o", serialOut.path()}));
    EXPECT_EQ(serial.status, c.status);
    EXPECT_EQ(serial.console.err, c.err);
    EXPECT_EQ(Keys(TreeOf(serialOut.path())), c.files);
    for (const char* jobs : {"2", "4"}) {
      SCOPED_TRACE(jobs);
      TempDir out;
      RecordingConsole::SteppingClock clock(std::chrono::milliseconds(1));
      RecordingConsole console;
      console.terminal = true;
      EXPECT_EQ(RunConverter(With(c.inputs, {"-t", "gif", "-j", jobs, "-o", out.path()}), console,
                             clock),
                c.status);
      // The closing count says how many files were written.
      std::vector<std::string> err = c.err;
      err.push_back(std::to_string(c.files.size()) + " file(s) written to " + out.path() +
                    (c.status ? ", some inputs failed" : ""));
      EXPECT_EQ(console.err, err);
      EXPECT_TRUE(TreeOf(out.path()) == TreeOf(serialOut.path()));
    }
  }
}

// The text of each line before its first tab: the path of a listed picture or entry.
std::vector<std::string> PathsOf(const std::vector<std::string>& lines) {
  std::vector<std::string> paths;
  for (const std::string& line : lines) paths.push_back(line.substr(0, line.find('\t')));
  return paths;
}

// The order of a tree: a folder's files in name order, then its subfolders in name order, each
// with everything below it, before the next. Names sort byte by byte ("B" before "a").
TEST(ConverterRecursive, AFoldersFilesComeFirstThenItsSubfoldersInNameOrderEachWhole) {
  TempDir in;
  WriteMixedTree(in.path());
  const std::string b = test::JoinPath(in.path(), "B");
  const std::vector<std::string> folders = {in.path(), b, test::JoinPath(b, "deep"),
                                            test::JoinPath(in.path(), "a")};
  std::vector<std::string> listed, failed;
  for (const std::string& folder : folders) {
    for (int n = 1; n <= 8; ++n)
      listed.push_back(test::JoinPath(folder, "item0" + std::to_string(n) + ".bin"));
    listed.push_back(test::JoinPath(folder, "omall.dat") + "[0]");
    failed.push_back(test::JoinPath(folder, "Kabe01.bin"));
    failed.push_back(test::JoinPath(folder, "load01.bin"));
  }
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    const Outcome run = Convert({"-r", "-l", "-j", jobs, "-e", "0", in.path()});
    EXPECT_EQ(PathsOf(run.console.out), listed);
    std::vector<std::string> failedPaths;
    for (const std::string& line : run.console.err)
      failedPaths.push_back(line.substr(0, line.find(": ")));
    EXPECT_EQ(failedPaths, failed);
  }
  // Without -r only the folder's own files are converted.
  const Outcome flat = Convert({"-l", "-e", "0", in.path()});
  EXPECT_EQ(PathsOf(flat.console.out),
            std::vector<std::string>(listed.begin(), listed.begin() + 9));
}

TEST(ConverterRecursive, EachPictureGoesToItsFoldersPlaceUnderTheOutputFolder) {
  TempDir in, out;
  WriteMixedTree(in.path());
  const Outcome run =
      Convert({"-r", "-e", "0", "-o", test::JoinPath(out.path(), "new"), in.path()});
  EXPECT_EQ(run.status, 1);
  std::vector<std::string> expected;
  for (const std::string folder : {"", "B/", "B/deep/", "a/"}) {
    for (int n = 1; n <= 8; ++n)
      expected.push_back("new/" + folder + "item0" + std::to_string(n) + ".bmp");
    expected.push_back("new/" + folder + "omall-0.bmp");
  }
  std::sort(expected.begin(), expected.end());
  const auto tree = TreeOf(out.path());
  EXPECT_EQ(Keys(tree), expected);  // no folder for docs/, which holds no picture
  // The copies differ in their pixels: each file came from its own folder.
  EXPECT_EQ(tree.at("new/B/deep/item03.bmp").back(), 2 * 16 + 3);
  EXPECT_EQ(tree.at("new/a/omall-0.bmp").back(), 3);
  EXPECT_EQ(tree.at("new/B/omall-0.bmp").back(), 1);
}

// Outputs collide only by the same place in two trees, or by two inputs named on the command
// line. Of two pictures with one output file the first in input order that can be read keeps it,
// however many jobs run: a named input that is no picture claims nothing.
TEST(ConverterJobs, OfTwoPicturesWithOneOutputTheFirstReadableInInputOrderKeepsItWithAnyJobs) {
  TempDir one, two, bad, good, later, out1;
  WriteMixedTree(one.path());
  WriteMixedTree(two.path());
  test::WriteBytes(bad.File("item01.bin"), Bytes(13055, 0));
  test::WriteBytes(good.File("item01.bin"), test::ItemPictureFile(200));
  test::WriteBytes(later.File("item01.bin"), test::ItemPictureFile(201));
  const std::vector<std::string> inputs = {
      bad.File("item01.bin"),  good.File("item01.bin"), "-r", one.path(), two.path(),
      later.File("item01.bin")};
  const Outcome serial = Convert(With(inputs, {"-j", "1", "-o", out1.path()}));
  const auto serialTree = TreeOf(out1.path());
  EXPECT_EQ(serial.status, 1);
  ASSERT_GE(serial.console.err.size(), 3u);
  EXPECT_EQ(serial.console.err.front(),
            bad.File("item01.bin") + ": ゲームの画像ﾌｧｲﾙではありません");
  // item01.bmp at the top is good's; one's own item01 then loses, and so do two's and later's.
  EXPECT_EQ(serialTree.at("item01.bmp").back(), 200);
  EXPECT_EQ(serialTree.at("B/item01.bmp").back(), 1 * 16 + 1);  // one's B, not two's
  const std::string lost = ": 出力ﾌｧｲﾙ " + test::JoinPath(out1.path(), "item01.bmp") +
                           " はこの変換で既に書き出されています";
  EXPECT_EQ(std::count(serial.console.err.begin(), serial.console.err.end(),
                       test::JoinPath(one.path(), "item01.bin") + lost),
            1);
  EXPECT_EQ(serial.console.err.back(), later.File("item01.bin") + lost);
  // Every picture of two's tree loses to one's: nothing of two is written.
  size_t twoLost = 0;
  for (const std::string& line : serial.console.err) {
    if (line.rfind(two.path(), 0) == 0 && line.find("既に書き出されています") != std::string::npos)
      ++twoLost;
  }
  EXPECT_EQ(twoLost, 4u * 8u + 2u * 13u + 2u * 5u);

  for (const char* jobs : {"2", "5"}) {
    SCOPED_TRACE(jobs);
    TempDir out;
    // The same words in the messages: the output folder's name is the one-job run's.
    const Outcome parallel = Convert(With(inputs, {"-j", jobs, "-o", out.path()}));
    EXPECT_EQ(parallel.status, serial.status);
    ASSERT_EQ(parallel.console.err.size(), serial.console.err.size());
    for (size_t i = 0; i < serial.console.err.size(); ++i) {
      std::string expected = serial.console.err[i];
      for (size_t at; (at = expected.find(out1.path())) != std::string::npos;) {
        expected.replace(at, out1.path().size(), out.path());
      }
      EXPECT_EQ(parallel.console.err[i], expected) << i;
    }
    EXPECT_TRUE(TreeOf(out.path()) == serialTree);
  }
}

TEST(ConverterRecursive, PicturesWhoseOutputFolderCannotBeMadeFailAndTheOthersAreWritten) {
  TempDir in, out;
  WriteMixedTree(in.path());
  test::WriteBytes(out.File("B"), {'f', 'i', 'l', 'e'});  // where the folder B should be
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    const Outcome run = Convert({"-r", "-e", "0", "-j", jobs, "-o", out.path(), in.path()});
    EXPECT_EQ(run.status, 1);
    // Nine pictures each for B and B/deep; the two broken files of each of the four folders.
    const std::string b = test::JoinPath(in.path(), "B");
    std::vector<std::string> refused;
    for (const std::string& line : run.console.err) {
      if (line.find("を作成できません") != std::string::npos) refused.push_back(line);
    }
    ASSERT_EQ(refused.size(), 18u);
    EXPECT_EQ(refused[0],
              test::JoinPath(b, "item01.bin") + ": ﾌｫﾙﾀﾞ " + out.File("B") + " を作成できません");
    EXPECT_EQ(refused[17], test::JoinPath(test::JoinPath(b, "deep"), "omall.dat") + "[0]: ﾌｫﾙﾀﾞ " +
                               test::JoinPath(out.File("B"), "deep") + " を作成できません");
    EXPECT_EQ(run.console.err.size(), 18u + 4u * 2u);
    const auto tree = TreeOf(out.path());
    EXPECT_EQ(tree.size(), 1u + 2u * 9u);
    EXPECT_EQ(tree.at("B"), (Bytes{'f', 'i', 'l', 'e'}));
    EXPECT_EQ(tree.count("a/omall-0.bmp"), 1u);
  }
}

// Symbolic links to folders are followed, except into a folder the walk is already inside:
// a link up to a parent (or to the folder itself) would never end. Links that lead nowhere or
// into each other are neither folders nor files and are passed over.
TEST(ConverterRecursive, LinksUpTheTreeAndLinkLoopsAreNotFollowedAndOtherLinksAre) {
  TempDir in, out;
  const std::string sub = in.File("sub");
  test::MakeFolder(sub);
  test::WriteBytes(in.File("item01.bin"), test::ItemPictureFile(1));
  test::WriteBytes(test::JoinPath(sub, "item02.bin"), test::ItemPictureFile(2));
  std::error_code ec;
  fs::create_directory_symlink("..", test::FsPath(test::JoinPath(sub, "up")), ec);
  if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
  fs::create_directory_symlink(".", test::FsPath(test::JoinPath(sub, "self")), ec);
  fs::create_directory_symlink("loop2", test::FsPath(in.File("loop1")), ec);
  fs::create_directory_symlink("loop1", test::FsPath(in.File("loop2")), ec);
  fs::create_directory_symlink("sub", test::FsPath(in.File("side")), ec);
  ASSERT_FALSE(ec) << ec.message();

  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    TempDir o;
    const Outcome run = Convert({"-r", "-j", jobs, "-o", o.path(), in.path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.console.err.empty()) << run.console.err.front();
    EXPECT_EQ(Keys(TreeOf(o.path())),
              (std::vector<std::string>{"item01.bmp", "side/item02.bmp", "sub/item02.bmp"}));
  }
}

// The progress line as a terminal sees it. With one job it is updated after every picture, and
// the clock moves 30 ms at each reading: drawings must be 100 ms apart, with error lines between
// them. Several jobs report in batches, at each redraw time of the steady clock: there the fake
// clock moves 150 ms at each reading, so that every batch is followed by a drawing.
TEST(ConverterProgress, OnATerminalNoLineIsWrittenIntoTheProgressLineAndItIsClearedAtTheEnd) {
  TempDir in, out;
  WriteMixedTree(in.path());
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    RecordingConsole::SteppingClock clock(std::chrono::milliseconds(*jobs == '1' ? 30 : 150));
    RecordingConsole console;
    console.terminal = true;
    console.clock = &clock;
    const std::vector<std::string> args = {"-r", "-j", jobs, "-o", out.path(), in.path()};
    EXPECT_EQ(RunConverter(args, console, clock), 1);

    size_t draws = 0;
    bool drawn = false;
    Clock::Duration lastDraw{};
    for (const RecordingConsole::Event& e : console.events) {
      if (e.kind == RecordingConsole::Event::kProgress) {
        if (!e.text.empty()) {
          EXPECT_TRUE(draws == 0 || e.at - lastDraw >= ProgressLine::kRedrawInterval)
              << "drawn again after "
              << std::chrono::duration_cast<std::chrono::milliseconds>(e.at - lastDraw).count()
              << " ms";
          lastDraw = e.at;
          ++draws;
        }
        drawn = !e.text.empty();
      } else {
        EXPECT_FALSE(drawn) << "written into the progress line: " << e.text;
      }
    }
    EXPECT_GT(draws, 0u);
    ASSERT_GE(console.events.size(), 2u);
    // The closing count comes after the progress line is gone.
    const auto& last = console.events.back();
    EXPECT_EQ(last.kind, RecordingConsole::Event::kErr);
    EXPECT_EQ(last.text, std::to_string(4 * 8 + 2 * 13 + 2 * 5) + " file(s) written to " +
                             out.path() + ", some inputs failed");
    EXPECT_EQ(console.err.size(), 4u * 2u + 2u * 8u + 1u);
  }
}

TEST(ConverterProgress, QuietOrNoTerminalDrawsNoProgressLineAndNoClosingCount) {
  TempDir in, out;
  WriteMixedFolder(in.path(), 0);
  for (const bool terminal : {true, false}) {
    for (const char* quiet : {"-q", "--quiet", ""}) {
      if (terminal && *quiet == '\0') continue;  // the shown case is the test above
      SCOPED_TRACE(std::string(terminal ? "terminal " : "file ") + quiet);
      RecordingConsole::SteppingClock clock(std::chrono::milliseconds(500));
      RecordingConsole console;
      console.terminal = terminal;
      std::vector<std::string> args = {"-j", "2", "-o", out.path(), in.path()};
      if (*quiet) args.insert(args.begin(), quiet);
      EXPECT_EQ(RunConverter(args, console, clock), 1);
      EXPECT_EQ(console.err.size(), 2u);  // the wallpaper and the loading picture
      EXPECT_TRUE(std::none_of(console.events.begin(), console.events.end(), [](const auto& e) {
        return e.kind == RecordingConsole::Event::kProgress;
      }));
    }
  }
}

TEST(Converter, PngTypesWriteEveryPictureAndEntryAsAnIndexedPng) {
  TempDir in;
  test::WriteBytes(in.File("Item01.bin"), test::ItemPictureFile(7));
  test::WriteBytes(in.File("omall.dat"), BromideArchive());
  for (const bool transparent : {false, true}) {
    const std::string type = transparent ? "png-t" : "png";
    SCOPED_TRACE(type);
    TempDir out;
    const Outcome run = Convert({"-t", type, "-o", out.path(), in.path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.console.err.empty());
    std::vector<std::string> expected = {"Item01.png"};
    for (int n = 0; n < 13; ++n) expected.push_back("omall-" + std::to_string(n) + ".png");
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(out.Names(), expected);

    // Signature, IHDR (112 x 112, 8 bits, indexed colour), PLTE of 256 entries, then tRNS
    // for png-t alone.
    const Bytes item = test::ReadBytes(out.File("Item01.png"));
    ASSERT_GT(item.size(), 8u + 25u + 780u + 12u);
    EXPECT_EQ(Bytes(item.begin(), item.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    EXPECT_EQ(Bytes(item.begin() + 12, item.begin() + 26),
              (Bytes{'I', 'H', 'D', 'R', 0, 0, 0, 112, 0, 0, 0, 112, 8, 3}));
    EXPECT_EQ(Bytes(item.begin() + 33, item.begin() + 41), (Bytes{0, 0, 3, 0, 'P', 'L', 'T', 'E'}));
    EXPECT_EQ(Bytes(item.begin() + 817, item.begin() + 821),
              transparent ? (Bytes{'t', 'R', 'N', 'S'}) : (Bytes{'I', 'D', 'A', 'T'}))
        << "the chunk after PLTE";
    if (transparent) EXPECT_EQ(Bytes(item.begin() + 813, item.begin() + 817), (Bytes{0, 0, 0, 1}));
#ifndef _WIN32
    // The item is all index 7; bromide n is all index n.
    std::vector<std::tuple<std::string, int, int, int>> pictures = {{"Item01.png", 7, 112, 112}};
    for (int n = 0; n < 13; ++n) pictures.emplace_back("omall-" + std::to_string(n) + ".png", n, 176, 200);
    for (const auto& [name, pixel, width, height] : pictures) {
      test::PeerPicture decoded;
      ASSERT_TRUE(test::PeerDecode(out.File(name), decoded)) << name;
      EXPECT_EQ(decoded.width, width) << name;
      EXPECT_EQ(decoded.height, height) << name;
      EXPECT_EQ(decoded.paletteRgb.size(), 768u) << name;
      EXPECT_EQ(decoded.transparentIndex, transparent ? 0 : -1) << name;
      EXPECT_EQ(decoded.indices, Bytes(static_cast<size_t>(width * height), static_cast<uint8_t>(pixel)))
          << name;
    }
#endif
  }
}

}  // namespace
}  // namespace qelva::cli

namespace qelva::cli {
namespace {

// Folder names in several scripts, nested until the pictures' paths pass 300 characters in the
// input tree and again under a deep output folder: Windows' old 260-character limit must not
// show, and every name must come out as it went in.
TEST(ConverterRecursive, LongPathsAndNamesInAnyScriptAreConvertedAndMirrored) {
  TempDir in, out;
  const std::vector<std::string> names = {"Ελληνικά", "한국어 폴더", "Кириллица", "😀 emoji",
                                          "עברית", std::string(70, 'l'), std::string(70, 'm'),
                                          std::string(70, 'n'), std::string(70, 'p')};
  std::string folder = in.path();
  std::string relative;
  for (const std::string& name : names) {
    folder = test::JoinPath(folder, name);
    relative += name + "/";
    test::MakeFolder(folder);
  }
  test::WriteBytes(test::JoinPath(folder, "Item01.bin"), test::ItemPictureFile(9));
  test::WriteBytes(test::JoinPath(folder, "omall.dat"), BromideArchive());
  ASSERT_GT(test::JoinPath(folder, "Item01.bin").size(), 300u);

  const std::string target = test::JoinPath(out.path(), std::string(120, 'o'));
  for (const char* jobs : {"1", "2"}) {
    const Outcome run = Convert({"-r", "-j", jobs, "-e", "3", "-o", target, in.path()});
    EXPECT_EQ(run.status, 0) << jobs;
    EXPECT_TRUE(run.console.err.empty()) << jobs;
  }
  const auto tree = TreeOf(target);
  EXPECT_EQ(Keys(tree), (std::vector<std::string>{relative + "Item01.bmp", relative + "omall-3.bmp"}));
  EXPECT_EQ(tree.at(relative + "Item01.bmp").back(), 9);
}

}  // namespace
}  // namespace qelva::cli

namespace qelva::cli {
namespace {

// A folder where an output file would go is left as it is, with what it holds: that picture
// fails with the converter's "cannot create" line and the others are written.
TEST(ConverterFaults, AnOutputNameThatIsAFolderFailsThatPictureAndKeepsTheFolder) {
  TempDir in, out;
  test::WriteBytes(in.File("item01.bin"), test::ItemPictureFile(1));
  test::WriteBytes(in.File("item02.bin"), test::ItemPictureFile(2));
  test::MakeFolder(out.File("item01.bmp"));
  test::WriteBytes(test::JoinPath(out.File("item01.bmp"), "inside.txt"), {'k', 'e', 'p', 't'});
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    const Outcome run = Convert({"-j", jobs, "-o", out.path(), in.File("item01.bin"), in.File("item02.bin")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.console.err, std::vector<std::string>{in.File("item01.bin") + ": ﾌｧｲﾙ " +
                                                        out.File("item01.bmp") + " を作成できません"});
    EXPECT_EQ(out.Names(), (std::vector<std::string>{"item01.bmp", "item02.bmp"}));
    EXPECT_EQ(test::ReadBytes(out.File("item02.bmp")).back(), 2);
    EXPECT_EQ(test::ReadBytes(test::JoinPath(out.File("item01.bmp"), "inside.txt")),
              (Bytes{'k', 'e', 'p', 't'}));
  }
}

#ifndef _WIN32
// Lowers this process's file-size limit, with SIGXFSZ ignored as qelvaconv's main does, until
// the object goes; writes past the limit then fail with EFBIG for real.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = signal(SIGXFSZ, SIG_IGN);
    rlimit lower = saved_;
    lower.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &lower) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  void (*previous_)(int) = SIG_DFL;
  bool ok_ = false;
};

// Under a 16 KiB file-size limit an item's bitmap (13622 bytes) fits and a bromide's (36278)
// does not: that entry fails with the stream write error, its earlier file stays as it was,
// no temporary file is left, and the rest is written.
TEST(ConverterFaults, WritesPastTheFileSizeLimitFailThoseOutputsAndKeepTheirEarlierFiles) {
  TempDir in;
  test::WriteBytes(in.File("item01.bin"), test::ItemPictureFile(1));
  test::WriteBytes(in.File("omall.dat"), BromideArchive());
  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(jobs);
    TempDir out;
    test::WriteBytes(out.File("omall-3.bmp"), {'o', 'l', 'd'});
    Outcome run;
    {
      FileSizeLimit limit(16 * 1024);
      ASSERT_TRUE(limit.ok());
      run = Convert({"-j", jobs, "-e", "3", "-o", out.path(), in.File("item01.bin"), in.File("omall.dat")});
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.console.err,
              std::vector<std::string>{in.File("omall.dat") + "[3]: ｽﾄﾘｰﾑへの書き込みｴﾗｰ"});
    EXPECT_EQ(out.Names(), (std::vector<std::string>{"item01.bmp", "omall-3.bmp"}));
    EXPECT_EQ(test::ReadBytes(out.File("item01.bmp")).size(), 14u + 1064u + 112u * 112u);
    EXPECT_EQ(test::ReadBytes(out.File("omall-3.bmp")), (Bytes{'o', 'l', 'd'}));
  }
}
#endif

}  // namespace
}  // namespace qelva::cli
