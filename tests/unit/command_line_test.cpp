// The command line: splitting as the runtime does it, the "/" switch and its conversion, the
// two passes of reading at start, and the lines that start further processes.
#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/errors.h"

namespace qelva::shell {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SplittingSkipsTheProgramAndDropsTheQuotes) {
  using namespace std::string_literals;
  const struct {
    const char* what;
    std::string line;
    Args arguments;
  } cases[] = {
      {"empty line", "", {}},
      {"program only", "prog", {}},
      {"plain arguments", "prog a.bin b.bin  c.bin", {"a.bin", "b.bin", "c.bin"}},
      {"quoted program with a blank", "\"C:\\Program Files\\q.exe\" a.bin", {"a.bin"}},
      {"quoted path with blanks", "prog \"C:\\My Pictures\\a.bin\"", {"C:\\My Pictures\\a.bin"}},
      {"quotes inside an argument", "prog a\"b c\"d", {"ab cd"}},
      {"an empty pair inside an argument", "prog a\"\"b", {"ab"}},
      {"control characters separate", "prog\ta.bin\r\n\x01\x1F b.bin", {"a.bin", "b.bin"}},
      {"empty pairs before an argument", "prog \"\" \"\"\"\"a.bin", {"a.bin"}},
      {"an unclosed quote runs to the end", "prog \"x y", {"x y"}},
      {"a backslash does not escape a quote", "prog \"C:\\dir\\\" b", {"C:\\dir\\", "b"}},
      {"a lone quote at the end is an empty argument", "prog a \"\"\"", {"a"}},
      {"a zero byte ends the line", "prog a.bin\0b.bin"s, {"a.bin"}},
      {"bytes above 0x7F belong to the argument", "prog 背景.bin \x7F\xA0", {"背景.bin", "\x7F\xA0"}},
      {"switches are arguments", "prog omall.dat /5", {"omall.dat", "/5"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitArguments(c.line), c.arguments) << c.what;
}

TEST(CommandLine, FurtherProcessLinesSplitBackIntoThePicture) {
  const char* const programs[] = {"C:\\Prog\\QelvaView.exe",
                                  "C:\\Program Files\\Qelva View\\QelvaView.exe"};
  const char* const pictures[] = {"a.bin",
                                  "C:\\My Pictures\\Kabe 01.bin",
                                  " leading and trailing blanks ",
                                  "C:\\ゲーム 素材\\背景.bin",
                                  "C:\\folder ending in a separator\\",
                                  "/5"};
  for (const char* program : programs) {
    for (const char* picture : pictures) {
      EXPECT_EQ(SplitArguments(FurtherInstanceCommandLine(program, picture)), Args{picture})
          << program << " | " << picture;
      EXPECT_EQ(SplitArguments(FurtherEntryCommandLine(program, picture, 5)),
                (Args{picture, "/5"}))
          << program << " | " << picture;
    }
  }
  EXPECT_EQ(FurtherInstanceCommandLine("C:\\Q.exe", "b.bin"), "\"C:\\Q.exe\" \"b.bin\"");
  EXPECT_EQ(FurtherEntryCommandLine("C:\\Q.exe", "omall.dat", 12),
            "\"C:\\Q.exe\" \"omall.dat\" /12");
}

TEST(CommandLine, StrToIntReadsDecimalAndDollarHexadecimal) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"0", 0},           {"5", 5},
      {"  42", 42},       {"+7", 7},
      {"-7", -7},         {" -0", 0},
      {"000000000000001", 1},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"$10", 16},        {"$aB", 171},
      {"-$10", -16},      {"$7FFFFFFF", 2147483647},
      {"$80000000", -2147483647 - 1},
      {"$FFFFFFFF", -1},  {"-$FFFFFFFF", 1},
      {"$000000000FF", 255},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
}

TEST(CommandLine, StrToIntRefusesAnythingElseNamingTheText) {
  const char* const cases[] = {"",    " ",   "+",   "-",   "$",  "-$",  "x",          "12a",
                               "1 2", "12 ", "\t1", "- 1", "+-1", "$-1", "$1G",       "1.0",
                               "0x10", "2147483648", "-2147483649",  "$100000000",  "99999999999999"};
  for (const char* text : cases) {
    try {
      const int32_t value = StrToInt(text);
      ADD_FAILURE() << "'" << text << "' converted to " << value;
    } catch (const ConvertError& error) {
      EXPECT_EQ(error.what(), "'" + std::string(text) + "' は整数ではありません");
    }
  }
}

TEST(CommandLine, SwitchConvertsAtMost15CharactersAfterTheSlash) {
  EXPECT_TRUE(IsSwitch("/5"));
  EXPECT_FALSE(IsSwitch("5/"));
  EXPECT_FALSE(IsSwitch("\\5"));
  EXPECT_FALSE(IsSwitch(""));

  EXPECT_EQ(SwitchText("/"), "");
  EXPECT_EQ(SwitchText("/ 12"), " 12");
  EXPECT_EQ(SwitchText("/0000000000000012"), "000000000000001");
  EXPECT_EQ(SwitchValue("/0000000000000012"), 1);
  EXPECT_EQ(SwitchValue("/$10"), 16);
  // Characters, not bytes: 16 three-byte characters are cut to 15.
  std::string wide;
  for (int i = 0; i < 16; ++i) wide += "あ";
  EXPECT_EQ(SwitchText("/" + wide), wide.substr(0, 15 * 3));
  EXPECT_EQ(SwitchText("/12345678901234あ5"), "12345678901234あ");
}

TEST(CommandLine, StartupReadsEverySwitchBeforeAnyPicture) {
  const struct {
    Args arguments;
    bool hasEntry;
    int32_t entry;
    const char* picture;  // nullptr: none
    Args further;
    const char* failure;
  } cases[] = {
      {{}, false, 0, nullptr, {}, ""},
      {{"a.bin", "b.bin", "c.bin"}, false, 0, "a.bin", {"b.bin", "c.bin"}, ""},
      {{"omall.dat", "/5"}, true, 5, "omall.dat", {}, ""},
      {{"/5", "omall.dat"}, true, 5, nullptr, {"omall.dat"}, ""},
      {{"/3", "/7", "x.bin"}, true, 7, nullptr, {"x.bin"}, ""},
      {{"/x"}, false, 0, nullptr, {}, "'x' は整数ではありません"},
      // The failing switch ends the reading: the later /9 is not read, nothing is opened.
      {{"a.bin", "/3", "/1x", "b.bin", "/9"}, true, 3, nullptr, {}, "'1x' は整数ではありません"},
  };
  for (const auto& c : cases) {
    const StartupPlan plan = PlanStartup(c.arguments);
    const std::string what = ::testing::PrintToString(c.arguments);
    EXPECT_EQ(plan.hasEntry, c.hasEntry) << what;
    EXPECT_EQ(plan.entryIndex, c.entry) << what;
    EXPECT_EQ(plan.hasPicture, c.picture != nullptr) << what;
    EXPECT_EQ(plan.picture, c.picture ? c.picture : "") << what;
    EXPECT_EQ(plan.further, c.further) << what;
    EXPECT_EQ(plan.failure, c.failure) << what;
  }
}

}  // namespace
}  // namespace qelva::shell
