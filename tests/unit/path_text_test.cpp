// Path texts are scanned byte by byte: "\" and ":" separate on Windows, "/" on POSIX; in
// Shift-JIS a lead byte takes the next byte along, in UTF-8 no lead-byte test is made.
#include "common/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace qelva {
namespace {

constexpr PathSyntax kWinSjis{PathSeparators::kWindows, PathCodePage::kShiftJis};
constexpr PathSyntax kWinUtf8{PathSeparators::kWindows, PathCodePage::kUtf8};
constexpr PathSyntax kPosix{PathSeparators::kPosix, PathCodePage::kUtf8};

struct PathCase {
  const char* what;
  PathSyntax syntax;
  std::string path;
  std::string expected;
};

// Shift-JIS texts spelled as bytes: 表 = 95 5C and ソ = 83 5C end in the byte of "\",
// 背景 = 94 77 8C 69.
const std::string kSjisHyou = "\x95\x5C";
const std::string kSjisSo = "\x83\x5C";
const std::string kSjisHaikei = "\x94\x77\x8C\x69";

TEST(PathText, FileNamePartIsTheTextAfterTheLastSeparator) {
  const PathCase cases[] = {
      {"backslashes", kWinSjis, "C:\\pictures\\bg01.bin", "bg01.bin"},
      {"slash is no Windows separator", kWinUtf8, "C:/pictures/bg01.bin", "/pictures/bg01.bin"},
      {"drive colon", kWinSjis, "C:bg01.bin", "bg01.bin"},
      {"network path", kWinSjis, "\\\\server\\share\\x.bin", "x.bin"},
      {"no separator", kWinSjis, "bg01.bin", "bg01.bin"},
      {"ends in a separator", kWinSjis, "C:\\pictures\\", ""},
      {"POSIX slashes", kPosix, "/home/u/Kabe01.bin", "Kabe01.bin"},
      {"backslash and colon are POSIX name bytes", kPosix, "/d/dir\\sub:x.bin", "dir\\sub:x.bin"},
      {"Shift-JIS trail byte 5C is no separator", kWinSjis, "C:\\" + kSjisHyou + ".bin",
       kSjisHyou + ".bin"},
      {"Shift-JIS name ending in 5C", kWinSjis, "C:\\d\\" + kSjisSo, kSjisSo},
      {"separator right after a Shift-JIS character", kWinSjis, "C:\\" + kSjisHyou + "\\x.bin",
       "x.bin"},
      {"lead byte as the last byte", kWinSjis, "a\\\x95", "\x95"},
      // あ = E3 81 82: under a Shift-JIS reading 82 would take the "\" after it along.
      {"UTF-8 folder before the separator", kWinUtf8, "\xE3\x81\x82\\x.bin", "x.bin"},
      {"UTF-8 folder in a full path", kWinUtf8, "C:\\\xE3\x81\x82\\\xE3\x82\xBD\\x.bin", "x.bin"},
      {"UTF-8 POSIX path", kPosix, "/\xE7\x94\xBB/\xE8\x83\x8C.bin", "\xE8\x83\x8C.bin"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileNamePart(c.path, c.syntax), c.expected) << c.what;
}

TEST(PathText, ShiftJisLeadBytesAreExactly81To9FAndE0ToFC) {
  const struct {
    uint8_t byte;
    bool lead;
  } cases[] = {{0x7F, false}, {0x80, false}, {0x81, true}, {0x9F, true},  {0xA0, false},
               {0xDF, false}, {0xE0, true},  {0xFC, true}, {0xFD, false}, {0xFF, false}};
  for (const auto& c : cases) {
    const std::string b(1, static_cast<char>(c.byte));
    // A lead byte takes the following "\" along as its trail byte.
    const std::string expected = c.lead ? b + "\\n" : "n";
    EXPECT_EQ(FileNamePart("x\\" + b + "\\n", kWinSjis), expected) << std::hex << int{c.byte};
    EXPECT_EQ(FileNamePart("x\\" + b + "\\n", kWinUtf8), "n") << std::hex << int{c.byte};
  }
}

TEST(PathText, FileNamePartIsCutAfterIts255thByte) {
  const std::string folder = "C:\\pictures\\";
  EXPECT_EQ(FileNamePart(folder + std::string(255, 'a'), kWinSjis), std::string(255, 'a'));
  EXPECT_EQ(FileNamePart(folder + std::string(256, 'b'), kWinSjis), std::string(255, 'b'));
  EXPECT_EQ(FileNamePart("/p/" + std::string(300, 'c'), kPosix), std::string(255, 'c'));
  // The cut is by bytes, even inside a double-byte character.
  std::string wide;
  for (int i = 0; i < 128; ++i) wide += kSjisHaikei.substr(0, 2);
  EXPECT_EQ(FileNamePart(folder + wide, kWinSjis), wide.substr(0, 255));
}

TEST(PathText, FolderPartKeepsTheLastSeparatorAndCompletesADrive) {
  const PathCase cases[] = {
      {"full path", kWinSjis, "C:\\pictures\\bg01.bin", "C:\\pictures\\"},
      {"drive and name", kWinSjis, "C:x.bin", "C:\\"},
      {"drive alone", kWinSjis, "C:", "C:\\"},
      {"no folder", kWinSjis, "x.bin", ""},
      {"Shift-JIS trail byte 5C", kWinSjis, "C:\\" + kSjisHyou + ".bin", "C:\\"},
      {"UTF-8 folder", kWinUtf8, "C:\\\xE3\x81\x82\\x.bin", "C:\\\xE3\x81\x82\\"},
      {"POSIX", kPosix, "/a/b.bin", "/a/"},
      {"POSIX root", kPosix, "/b.bin", "/"},
      {"no drive on POSIX", kPosix, "C:x.bin", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderPart(c.path, c.syntax), c.expected) << c.what;
}

TEST(PathText, LowerCaseNameChangesOnlyCapitalLettersByteByByte) {
  EXPECT_EQ(LowerCaseName("KABE01.BIN"), "kabe01.bin");
  EXPECT_EQ(LowerCaseName("Omall.Dat"), "omall.dat");
  // The neighbours of A and Z, and bytes above 0x7F, stay.
  EXPECT_EQ(LowerCaseName("@[`{AZaz"), "@[`{azaz");
  EXPECT_EQ(LowerCaseName("\xC1\xDA\xE1"), "\xC1\xDA\xE1");
  // Second bytes of double-byte characters are lowered too: ア = 83 41, サ = 83 54.
  EXPECT_EQ(LowerCaseName("\x83\x41\x83\x54.BIN"), "\x83\x61\x83\x74.bin");
}

TEST(PathText, ExtensionRunsFromTheLastDot) {
  const struct {
    const char* what;
    PathSyntax syntax;
    std::string name;
    std::string extension;
    std::string base;
  } cases[] = {
      {"plain", kWinSjis, "KABE01.BIN", ".BIN", "KABE01"},
      {"two dots", kWinSjis, "a.b.bin", ".bin", "a.b"},
      {"no dot", kWinSjis, "omall", "", "omall"},
      {"only an extension", kWinSjis, ".bin", ".bin", ""},
      {"dot at the end", kPosix, "name.", ".", "name"},
      {"Shift-JIS name", kWinSjis, kSjisHaikei + "01.bin", ".bin", kSjisHaikei + "01"},
      // A lead byte takes the dot after it along, so the earlier dot is the last one.
      {"dot as a Shift-JIS trail byte", kWinSjis, "a.b\x81.", ".b\x81.", "a"},
      {"the same bytes in UTF-8", kWinUtf8, "a.b\x81.", ".", "a.b\x81"},
      {"UTF-8 name", kPosix, "\xE3\x81\x82.bin", ".bin", "\xE3\x81\x82"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Extension(c.name, c.syntax), c.extension) << c.what;
    EXPECT_EQ(NameWithoutExtension(c.name, c.syntax), c.base) << c.what;
  }
}

TEST(PathText, NativeSyntaxReadsUtf8WithThePlatformsSeparators) {
  const PathSyntax native = PathSyntax::Native();
  EXPECT_EQ(native.codePage, PathCodePage::kUtf8);
#ifdef _WIN32
  EXPECT_EQ(FileNamePart("C:\\\xE3\x81\x82\\x.bin", native), "x.bin");
#else
  EXPECT_EQ(FileNamePart("/tmp/\xE3\x81\x82/x.bin", native), "x.bin");
#endif
}

}  // namespace
}  // namespace qelva
