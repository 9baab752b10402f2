// The converter's command line: what it accepts, and what it refuses as bad usage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/options.h"

namespace qelva::cli {
namespace {

Options Parse(std::vector<std::string> args) { return ParseOptions(args); }

TEST(ConverterOptions, DefaultsConvertToPlainBitmapsInTheCurrentFolder) {
  const Options o = Parse({"Kabe01.bin"});
  EXPECT_EQ(o.type, OutputType::kBmp);
  EXPECT_FALSE(o.entry.has_value());
  EXPECT_TRUE(o.outDir.empty());
  EXPECT_FALSE(o.list);
  EXPECT_EQ(o.paths, std::vector<std::string>{"Kabe01.bin"});
}

TEST(ConverterOptions, ValuesMayFollowAsTheNextArgumentOrAfterAnEqualsSign) {
  const Options o = Parse({"-t", "rle", "a.bin", "--entry=12", "--out", "dir", "b"});
  EXPECT_EQ(o.type, OutputType::kRle);
  EXPECT_EQ(o.entry, 12);
  EXPECT_EQ(o.outDir, "dir");
  EXPECT_EQ(o.paths, (std::vector<std::string>{"a.bin", "b"}));
}

TEST(ConverterOptions, TypesAreNamedOrNumberedInTheSaveDialogsOrder) {
  EXPECT_EQ(ParseOutputType("bmp"), OutputType::kBmp);
  EXPECT_EQ(ParseOutputType("1"), OutputType::kBmp);
  EXPECT_EQ(ParseOutputType("rle"), OutputType::kRle);
  EXPECT_EQ(ParseOutputType("2"), OutputType::kRle);
  for (const char* unknown : {"gif", "3", "6", "0", "BMP", ""}) {
    EXPECT_FALSE(ParseOutputType(unknown).has_value()) << unknown;
  }
}

TEST(ConverterOptions, AfterADoubleDashEverythingIsAPath) {
  const Options o = Parse({"--", "-t", "--list"});
  EXPECT_EQ(o.paths, (std::vector<std::string>{"-t", "--list"}));
  EXPECT_FALSE(o.list);
}

TEST(ConverterOptions, HelpAndVersionNeedNoPath) {
  EXPECT_TRUE(Parse({"-h"}).help);
  EXPECT_TRUE(Parse({"--version"}).version);
}

TEST(ConverterOptions, BadUsageIsRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {},                         // nothing to convert
      {"-l"},                     // still nothing to convert
      {"-t", "gif", "a.bin"},     // not a type of this converter
      {"-t"},                     // value missing
      {"-e", "two", "a.bin"},     // not a number
      {"-e", "5x", "a.bin"},      // trailing junk
      {"-e", "99999999999", "a"}, // beyond 32 bits
      {"-o", "", "a.bin"},        // empty folder
      {"--frobnicate", "a.bin"},  // unknown option
  };
  for (const auto& args : bad) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_THROW(Parse(args), UsageError) << joined;
  }
}

}  // namespace
}  // namespace qelva::cli
