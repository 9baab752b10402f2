// Names taken from paths: the caption's picture name, the Save dialog's preset and the help
// file beside the program, all scanned by whole characters.
#include "shell/save_name.h"

#include <gtest/gtest.h>

#include <string>

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
      {kWinUtf8, "C:\\Prog\\QelvaView.exe", "C:\\Prog\\Qelvaw_b.hlp"},
      // A program in a drive root keeps the root's separator: it is doubled.
      {kWinUtf8, "C:\\QelvaView.exe", "C:\\\\Qelvaw_b.hlp"},
      {kWinUtf8, "C:QelvaView.exe", "C:\\Qelvaw_b.hlp"},
      {kWinUtf8, "\\\\server\\share\\QelvaView.exe", "\\\\server\\share\\Qelvaw_b.hlp"},
      {kWinUtf8, "C:\\あ\\QelvaView.exe", "C:\\あ\\Qelvaw_b.hlp"},
      {kWinUtf8, "QelvaView.exe", "Qelvaw_b.hlp"},
      // The trail byte before the last "\" is no drive colon or separator.
      {kWinSjis, "C:\\" + kSjisHyou + "\\QelvaView.exe", "C:\\" + kSjisHyou + "\\Qelvaw_b.hlp"},
      {kWinSjis, "C:\\" + kSjisHyou + "QelvaView.exe", "C:\\\\Qelvaw_b.hlp"},
      {kPosix, "/opt/qelva/QelvaView", "/opt/qelva/Qelvaw_b.hlp"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HelpFilePath(c.program, "Qelvaw_b.hlp", c.syntax), c.help) << c.program;
  }
}

}  // namespace
}  // namespace qelva::shell
