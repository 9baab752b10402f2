// Names taken from paths: the caption's picture name, the Save dialog's preset and the help
// file beside the program, all scanned by whole characters.
#include "shell/save_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qelva::shell {
namespace {

constexpr PathSyntax kWinUtf8{PathSeparators::kWindows, PathCodePage::kUtf8};
constexpr PathSyntax kWinSjis{PathSeparators::kWindows, PathCodePage::kShiftJis};
constexpr PathSyntax kPosix{PathSeparators::kPosix, PathCodePage::kUtf8};

// 表 in Shift-JIS is 95 5C: its second byte is the byte of "\".
const std::string kSjisHyou = "\x95\x5C";
// あ in UTF-8 is E3 81 82; read as Shift-JIS, its 82 would take a "\" after it along.

TEST(SaveName, PictureNameIsTheFileNamePartAndTheSaveNameDropsItsExtension) {
  const struct {
    PathSyntax syntax;
    std::string path;
    std::string pictureName;
    std::string saveName;
  } cases[] = {
      {kWinUtf8, "C:\\game\\Kabe01.bin", "Kabe01.bin", "Kabe01"},
      {kWinUtf8, "C:\\game\\omall.dat[3]", "omall.dat[3]", "omall"},
      {kWinUtf8, "Item01.bin", "Item01.bin", "Item01"},
      {kWinUtf8, "C:\\my.pictures\\bg01", "bg01", "bg01"},
      {kWinUtf8, "C:\\あ\\背景.bin", "背景.bin", "背景"},
      {kWinSjis, "C:\\" + kSjisHyou + "\\Kabe01.bin", "Kabe01.bin", "Kabe01"},
      {kWinSjis, "C:\\" + kSjisHyou + ".bin", kSjisHyou + ".bin", kSjisHyou},
      {kPosix, "/home/u/SA_SPR.BIN[12]", "SA_SPR.BIN[12]", "SA_SPR"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PictureNameOf(c.path, c.syntax), c.pictureName) << c.path;
    EXPECT_EQ(SaveNameOf(c.path, c.syntax), c.saveName) << c.path;
  }
}

TEST(SaveName, HelpFileLiesBesideTheProgram) {
  const struct {
    PathSyntax syntax;
    std::string program;
    std::string help;
  } cases[] = {
      {kWinUtf8, "C:\\Prog\\QelvaView.exe", "C:\\Prog\\QelvaView-help.rtf"},
      // A program in a drive root keeps the root's separator: it is doubled.
      {kWinUtf8, "C:\\QelvaView.exe", "C:\\\\QelvaView-help.rtf"},
      {kWinUtf8, "C:QelvaView.exe", "C:\\QelvaView-help.rtf"},
      {kWinUtf8, "\\\\server\\share\\QelvaView.exe", "\\\\server\\share\\QelvaView-help.rtf"},
      {kWinUtf8, "C:\\あ\\QelvaView.exe", "C:\\あ\\QelvaView-help.rtf"},
      {kWinUtf8, "QelvaView.exe", "QelvaView-help.rtf"},
      // The trail byte before the last "\" is no drive colon or separator.
      {kWinSjis, "C:\\" + kSjisHyou + "\\QelvaView.exe", "C:\\" + kSjisHyou + "\\QelvaView-help.rtf"},
      {kWinSjis, "C:\\" + kSjisHyou + "QelvaView.exe", "C:\\\\QelvaView-help.rtf"},
      {kPosix, "/opt/qelva/QelvaView", "/opt/qelva/QelvaView-help.rtf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HelpFilePath(c.program, "QelvaView-help.rtf", c.syntax), c.help) << c.program;
  }
}

}  // namespace
}  // namespace qelva::shell

namespace qelva::shell {
namespace {

TEST(SaveName, TheTypeReplacesTheExtensionOfTheNameButNotADotInAFolder) {
  const PathSyntax win{PathSeparators::kWindows, PathCodePage::kUtf8};
  const PathSyntax sjis{PathSeparators::kWindows, PathCodePage::kShiftJis};
  // 表 (95 5C) ends in the byte of "\".
  const std::string hyou = "\x95\x5C";
  const struct {
    PathSyntax syntax;
    std::string path;
    std::string extension;
    std::string saved;
  } cases[] = {
      {win, "C:\\pics\\pic.gif", ".bmp", "C:\\pics\\pic.bmp"},
      {win, "C:\\pics\\pic", ".gif", "C:\\pics\\pic.gif"},
      {win, "a.b\\pic", ".bmp", "a.b\\pic.bmp"},
      {win, "C:\\x\\archive.tar.gz", ".gif", "C:\\x\\archive.tar.gif"},
      {win, "C:\\x\\pic.", ".bmp", "C:\\x\\pic.bmp"},
      {win, "C:pic", ".bmp", "C:pic.bmp"},
      {win, "d.e:pic", ".bmp", "d.e:pic.bmp"},
      {win, "C:\\写真.dir\\背景.bin", ".gif", "C:\\写真.dir\\背景.gif"},
      // In Shift-JIS the "\" byte of 表 is no separator: the dot before it is the extension's.
      {sjis, "C:\\a.b" + hyou, ".bmp", "C:\\a.bmp"},
      {sjis, "C:\\" + hyou + "\\pic", ".bmp", "C:\\" + hyou + "\\pic.bmp"},
      // Read as UTF-8 the same bytes end the folder part.
      {win, "C:\\a.b" + hyou, ".bmp", "C:\\a.b" + hyou + ".bmp"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceExtension(c.path, c.extension, c.syntax), c.saved) << c.path;
  }
}

TEST(SaveName, TheOverwriteQuestionNamesTheFileWithoutItsFolder) {
  const PathSyntax win{PathSeparators::kWindows, PathCodePage::kUtf8};
  EXPECT_EQ(OverwriteQuestion("C:\\pics\\ka01.bmp", win), "ka01.bmpは存在します\r\n上書きしますか？");
  EXPECT_EQ(OverwriteQuestion("ka01.bmp", win), "ka01.bmpは存在します\r\n上書きしますか？");
  const std::string longName(300, 'n');
  EXPECT_EQ(OverwriteQuestion("C:\\" + longName, win),
            std::string(255, 'n') + "は存在します\r\n上書きしますか？");
}

TEST(SaveName, TheEightFilterEntriesAreTheEightFileTypesInOrder) {
  // caption | pattern pairs; each pattern's extension is the one its type forces.
  std::vector<std::string> parts;
  std::string_view rest = kSaveFilter;
  for (size_t bar; (bar = rest.find('|')) != std::string_view::npos; rest.remove_prefix(bar + 1)) {
    parts.emplace_back(rest.substr(0, bar));
  }
  parts.emplace_back(rest);
  ASSERT_EQ(parts.size(), 16u);
  EXPECT_EQ(parts[8], "透明化GIF(89a, Ni)");
  EXPECT_EQ(parts[12], "PNG");
  EXPECT_EQ(parts[14], "透明化PNG");
  for (int index = 1; index <= 8; ++index) {
    const auto type = SaveTypeOfFilter(index);
    ASSERT_TRUE(type.has_value()) << index;
    EXPECT_EQ("*" + std::string(FileExtensionOf(*type)), parts[2 * index - 1]) << index;
    const auto gif = GifArgumentsOf(*type);
    EXPECT_EQ(gif.has_value(), index >= 3 && index <= 6) << index;
    EXPECT_EQ(IsPngType(*type), index >= 7) << index;
    if (gif) {
      EXPECT_EQ(gif->interlaced, index % 2 == 0) << index;
      EXPECT_EQ(gif->transparentIndex, index >= 5 ? 0 : -1) << index;
    }
  }
  EXPECT_EQ(SaveTypeOfFilter(2), PictureFileType::kRle);
  EXPECT_EQ(SaveTypeOfFilter(7), PictureFileType::kPng);
  EXPECT_EQ(SaveTypeOfFilter(8), PictureFileType::kPngTransparent);
  EXPECT_FALSE(SaveTypeOfFilter(0).has_value());
  EXPECT_FALSE(SaveTypeOfFilter(9).has_value());
}

}  // namespace
}  // namespace qelva::shell
