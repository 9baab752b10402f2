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
  EXPECT_EQ(ParseOutputType("gif"), OutputType::kGif);
  EXPECT_EQ(ParseOutputType("3"), OutputType::kGif);
  EXPECT_EQ(ParseOutputType("gif-i"), OutputType::kGifInterlaced);
  EXPECT_EQ(ParseOutputType("4"), OutputType::kGifInterlaced);
  EXPECT_EQ(ParseOutputType("gif-t"), OutputType::kGifTransparent);
  EXPECT_EQ(ParseOutputType("5"), OutputType::kGifTransparent);
  EXPECT_EQ(ParseOutputType("gif-ti"), OutputType::kGifTransparentInterlaced);
  EXPECT_EQ(ParseOutputType("6"), OutputType::kGifTransparentInterlaced);
  for (const char* unknown : {"7", "0", "BMP", "gif-it", "gif87a", ""}) {
    EXPECT_FALSE(ParseOutputType(unknown).has_value()) << unknown;
  }
}

TEST(ConverterOptions, GifTypesAreTheSaveDialogsFourGifWritersAndWriteGifFiles) {
  // Interlaced for types 4 and 6, index 0 transparent for types 5 and 6.
  struct Case {
    const char* name;
    bool interlaced;
    int16_t transparent;
  };
  for (const Case c : {Case{"3", false, -1}, Case{"4", true, -1}, Case{"5", false, 0},
                       Case{"6", true, 0}}) {
    const auto type = ParseOutputType(c.name);
    ASSERT_TRUE(type.has_value()) << c.name;
    const auto gif = GifArgumentsOf(*type);
    ASSERT_TRUE(gif.has_value()) << c.name;
    EXPECT_EQ(gif->interlaced, c.interlaced) << c.name;
    EXPECT_EQ(gif->transparentIndex, c.transparent) << c.name;
    EXPECT_EQ(FileExtensionOf(*type), ".gif") << c.name;
  }
  for (OutputType bitmap : {OutputType::kBmp, OutputType::kRle}) {
    EXPECT_FALSE(GifArgumentsOf(bitmap).has_value());
    EXPECT_EQ(FileExtensionOf(bitmap), ".bmp");
  }
}

TEST(ConverterOptions, JobsRecursionAndQuietCombineWithTheOtherOptionsInAnyOrder) {
  const Options defaults = Parse({"dir"});
  EXPECT_FALSE(defaults.recursive);
  EXPECT_FALSE(defaults.quiet);
  EXPECT_GE(defaults.jobs, 1);
  EXPECT_LE(defaults.jobs, kMaxJobs);
  EXPECT_EQ(defaults.jobs, DefaultJobCount());

  const Options o = Parse({"-r", "dir", "-j", "3", "-q", "-t", "gif", "--list", "other"});
  EXPECT_TRUE(o.recursive);
  EXPECT_TRUE(o.quiet);
  EXPECT_TRUE(o.list);
  EXPECT_EQ(o.jobs, 3);
  EXPECT_EQ(o.type, OutputType::kGif);
  EXPECT_EQ(o.paths, (std::vector<std::string>{"dir", "other"}));

  const Options longNames = Parse({"--recursive", "--quiet", "--jobs=1", "dir"});
  EXPECT_TRUE(longNames.recursive);
  EXPECT_TRUE(longNames.quiet);
  EXPECT_EQ(longNames.jobs, 1);
  EXPECT_EQ(Parse({"--jobs", "64", "dir"}).jobs, 64);
  EXPECT_EQ(Parse({"-j", "2", "-j", "5", "dir"}).jobs, 5);  // the last one counts
  // -j takes the next argument whatever it looks like; after "--" it is a path.
  EXPECT_THROW(Parse({"-j", "-r", "dir"}), UsageError);
  EXPECT_EQ(Parse({"--", "-j", "2"}).paths, (std::vector<std::string>{"-j", "2"}));
}

TEST(ConverterOptions, AJobCountOutsideOneToTheMaximumIsBadUsage) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"-j", "0", "d"},
                                             {"-j", "-1", "d"},
                                             {"-j", "65", "d"},
                                             {"--jobs=4294967297", "d"},
                                             {"-j", "two", "d"},
                                             {"-j", "2.5", "d"},
                                             {"-j", " 2", "d"},
                                             {"--jobs=", "d"},
                                             {"-j"},
                                             {"-j0", "d"},
                                             {"-rj65", "d"}}) {
    EXPECT_THROW(Parse(args), UsageError) << args[0] << " " << (args.size() > 1 ? args[1] : "");
  }
}

TEST(ConverterOptions, TheUsageTextNamesEveryOptionTheParserTakes) {
  const std::string_view usage = UsageText();
  for (const char* name : {"-t, --type", "-r, --recursive", "-j, --jobs", "-q, --quiet",
                           "-e, --entry", "-o, --out", "-l, --list", "-h, --help", "--version"}) {
    EXPECT_NE(usage.find(name), std::string_view::npos) << name;
  }
}

TEST(ConverterOptions, AfterADoubleDashEverythingIsAPath) {
  const Options o = Parse({"--", "-t", "--list"});
  EXPECT_EQ(o.paths, (std::vector<std::string>{"-t", "--list"}));
  EXPECT_FALSE(o.list);
}

TEST(ConverterOptions, ShortFlagsBundleAndValuesAttachAsWithEveryGetoptProgram) {
  const Options o = Parse({"-rql", "-tpng", "-j2", "-e7", "-oout", "dir"});
  EXPECT_TRUE(o.recursive);
  EXPECT_TRUE(o.quiet);
  EXPECT_TRUE(o.list);
  EXPECT_EQ(o.type, OutputType::kPng);
  EXPECT_EQ(o.jobs, 2);
  EXPECT_EQ(o.entry, 7);
  EXPECT_EQ(o.outDir, "out");
  EXPECT_EQ(o.paths, std::vector<std::string>{"dir"});
  // A value-taking option ends a bundle: the rest of the argument, or the next one, is its value.
  const Options bundled = Parse({"-rtgif-t", "a", "-qj", "3", "b"});
  EXPECT_TRUE(bundled.recursive);
  EXPECT_EQ(bundled.type, OutputType::kGifTransparent);
  EXPECT_TRUE(bundled.quiet);
  EXPECT_EQ(bundled.jobs, 3);
  // Paths keep their order among the options; "-" alone is a path.
  EXPECT_EQ(bundled.paths, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Parse({"z", "-r", "-", "a"}).paths, (std::vector<std::string>{"z", "-", "a"}));
  // A negative entry may be attached or follow.
  EXPECT_EQ(Parse({"-e-3", "a"}).entry, -3);
  EXPECT_EQ(Parse({"-e", "-3", "a"}).entry, -3);
}

TEST(ConverterOptions, RefusalsNameTheOptionAsTheUserWroteIt) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"--frobnicate", "a"}, "unknown option '--frobnicate'"},
      {{"-x", "a"}, "unknown option '-x'"},
      {{"-rxq", "a"}, "unknown option '-x'"},  // from inside a bundle
      {{"--list", "-qx", "a"}, "unknown option '-x'"},
      {{"--list=3", "a"}, "unknown option '--list=3'"},  // a flag takes no value
      {{"a", "-t"}, "-t needs a value"},
      {{"a", "-rt"}, "-t needs a value"},
      {{"a", "--type"}, "--type needs a value"},
      {{"-tjpeg", "a"}, "unknown type 'jpeg' (bmp, rle, gif, gif-i, gif-t, gif-ti, png or png-t)"},
      {{"-j0", "a"}, "the number of jobs '0' is not a whole number from 1 to 64"},
      {{"--entry=x", "a"}, "the entry 'x' is not a whole number"},
      {{"-o", "", "a"}, "the output folder is empty"},
      {{"-rq"}, "no picture, archive or folder given"},
  };
  for (const Case& c : cases) {
    try {
      Parse(c.args);
      ADD_FAILURE() << "accepted: " << c.args[0];
    } catch (const UsageError& error) {
      EXPECT_EQ(error.what(), c.message) << c.args[0];
    }
  }
  // The parser starts afresh each time: a refusal leaves nothing behind for the next line.
  EXPECT_EQ(Parse({"-q", "a"}).paths, std::vector<std::string>{"a"});
}

TEST(ConverterOptions, HelpAndVersionNeedNoPath) {
  EXPECT_TRUE(Parse({"-h"}).help);
  EXPECT_TRUE(Parse({"--version"}).version);
}

TEST(ConverterOptions, BadUsageIsRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {},                         // nothing to convert
      {"-l"},                     // still nothing to convert
      {"-t", "gif89a", "a.bin"},  // not a type of this converter
      {"-t", "7", "a.bin"},       // past the last type
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

TEST(ConverterOptions, PngTypesAreNamedOnlyAndWritePngFiles) {
  EXPECT_EQ(ParseOutputType("png"), OutputType::kPng);
  EXPECT_EQ(ParseOutputType("png-t"), OutputType::kPngTransparent);
  // 1 to 6 are the Save dialog's numbers, which has no PNG type.
  for (const char* unnamed : {"7", "8", "0", "PNG", "png8", "png-ti"}) {
    EXPECT_FALSE(ParseOutputType(unnamed).has_value()) << unnamed;
  }
  EXPECT_EQ(Parse({"--type=png-t", "a.bin"}).type, OutputType::kPngTransparent);
  for (OutputType png : {OutputType::kPng, OutputType::kPngTransparent}) {
    EXPECT_EQ(FileExtensionOf(png), ".png");
  }
}

}  // namespace
}  // namespace qelva::cli
