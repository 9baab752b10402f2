// The GIF code stream: exact bytes of small streams, agreement with a literal second encoder on
// many kinds of picture, the table-full transition, sub-block boundaries and row order.
#include "export/lzw.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <thread>

#include "lzw_reference.h"
#include "test_support.h"

namespace qelva {
namespace {

using test::Bytes;
using test::DecodeLzw;
using test::DecodedLzw;

DibImage Picture(int width, int height, uint16_t bitCount, const std::vector<Bytes>& rows) {
  return test::MakeDib(width, height, bitCount, test::PackRows(rows, width, bitCount));
}

Bytes Encode(const DibImage& image, bool interlaced = false, const LzwProgress& progress = {}) {
  Bytes out;
  const size_t length =
      LzwEncode(image, MinCodeSizeFor(image.BitCount()), interlaced, progress, out);
  EXPECT_EQ(length, out.size());
  return out;
}

std::vector<std::pair<uint32_t, int>> CodesOf(const DecodedLzw& decoded) {
  std::vector<std::pair<uint32_t, int>> codes;
  for (const test::LzwCode& c : decoded.codes) codes.emplace_back(c.code, c.width);
  return codes;
}

TEST(LzwCodeStream, SmallStreamsHaveTheirExactBytes) {
  struct Case {
    const char* what;
    int width;
    uint16_t bitCount;
    Bytes pixels;
    Bytes expected;
  };
  const Case cases[] = {
      // ClearCode 256, 0, EndCode 257 at 9 bits: count 4, four data bytes, terminator.
      {"one pixel", 1, 8, {0}, {0x04, 0x00, 0x01, 0x04, 0x04, 0x00}},
      // 256, 0, 258 (two zeros), 0, 257.
      {"four zeros", 4, 8, {0, 0, 0, 0}, {0x06, 0x00, 0x01, 0x08, 0x04, 0x10, 0x10, 0x00}},
      // 4, 1, 0, 6 at 3 bits; assigning code 8 widens the codes, then 8, 0, 5 at 4 bits.
      {"1-bit alternating", 8, 1, {1, 0, 1, 0, 1, 0, 1, 0}, {0x03, 0x0C, 0x8C, 0x50, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Encode(Picture(c.width, 1, c.bitCount, {c.pixels})), c.expected);
  }
}

TEST(LzwCodeStream, OneBitPicturesUseFourRootsAndThreeBitCodes) {
  const Bytes stream = Encode(Picture(8, 1, 1, {{1, 0, 1, 0, 1, 0, 1, 0}}));
  const DecodedLzw decoded = DecodeLzw(stream, 0, 2);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const std::vector<std::pair<uint32_t, int>> expected = {{4, 3}, {1, 3}, {0, 3}, {6, 3},
                                                          {8, 4}, {0, 4}, {5, 4}};
  EXPECT_EQ(CodesOf(decoded), expected);
}

TEST(LzwCodeStream, MatchingRunsOnAcrossRowEnds) {
  // Eight zeros in two rows of four: the strings 00 and 000 span the row end.
  const DecodedLzw decoded = DecodeLzw(Encode(Picture(4, 2, 8, {{0, 0, 0, 0}, {0, 0, 0, 0}})), 0, 8);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const std::vector<std::pair<uint32_t, int>> expected = {{256, 9}, {0, 9},   {258, 9},
                                                          {259, 9}, {258, 9}, {257, 9}};
  EXPECT_EQ(CodesOf(decoded), expected);
}

TEST(LzwCodeStream, EndCodeIsReadOneBitWiderWhenTheLastCodeTakesTheLastCodeOfItsWidth) {
  // After the 14, codes 6 to 15 are taken. A decoder adds code 16 for the last string (8), which
  // fills the 4-bit codes, so it reads EndCode at 5 bits: EndCode must be written that wide.
  const auto rows = test::MakeRows(11, 3, [](int x, int y) { return static_cast<uint8_t>((x * 5 + y * 3 + 1) & 1); });
  const DecodedLzw decoded = DecodeLzw(Encode(Picture(11, 3, 1, rows)), 0, 2);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const std::vector<std::pair<uint32_t, int>> expected = {
      {4, 3}, {1, 3},  {0, 3}, {6, 3},  {8, 4},  {7, 4}, {10, 4},
      {9, 4}, {12, 4}, {11, 4}, {14, 4}, {8, 4}, {5, 5}};
  EXPECT_EQ(CodesOf(decoded), expected);
  EXPECT_EQ(decoded.pixels, test::Flatten(rows));
}

TEST(LzwCodeStream, TinyPicturesGetMoreRoomThanTwiceTheirPixelBlock) {
  // Four different indices need 6 codes of 9 bits: 7 data bytes, 9 with count and terminator,
  // against a pixel block of 4 bytes. Likewise 8 different 4-bit pixels.
  struct Case {
    int width;
    uint16_t bitCount;
    Bytes pixels;
  };
  const Case cases[] = {{4, 8, {1, 2, 3, 4}}, {8, 4, {1, 2, 3, 4, 5, 6, 7, 8}}};
  for (const Case& c : cases) {
    const DibImage image = Picture(c.width, 1, c.bitCount, {c.pixels});
    const Bytes stream = Encode(image);
    EXPECT_GT(stream.size(), 2 * image.bits.size());
    EXPECT_EQ(stream, test::ReferenceLzwEncode(image, MinCodeSizeFor(c.bitCount), false));
    const DecodedLzw decoded = DecodeLzw(stream, 0, MinCodeSizeFor(c.bitCount));
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.pixels, c.pixels);
  }
}

TEST(LzwCodeStream, PictureWithoutPixelsIsClearCodeThenEndCode) {
  for (const auto& [width, height] : {std::pair{0, 3}, std::pair{5, 0}, std::pair{0, 0}}) {
    const Bytes stream = Encode(test::MakeDib(width, height, 8, Bytes(64, 0xAB)));
    // 256 and 257 at 9 bits: three data bytes.
    EXPECT_EQ(stream, (Bytes{0x03, 0x00, 0x03, 0x02, 0x00})) << width << " x " << height;
  }
}

TEST(LzwCodeStream, BytesAreAppendedAfterWhatTheBufferHolds) {
  Bytes out = {0x47, 0x49};
  const size_t length = LzwEncode(Picture(1, 1, 8, {{0}}), 8, false, {}, out);
  EXPECT_EQ(length, 6u);
  EXPECT_EQ(out, (Bytes{0x47, 0x49, 0x04, 0x00, 0x01, 0x04, 0x04, 0x00}));
}

// Pictures of many shapes: the fast dictionary must answer exactly as a search of all strings.
struct Shape {
  const char* what;
  std::function<uint8_t(int x, int y, std::mt19937& random)> index;
};

const Shape kShapes[] = {
    {"noise", [](int, int, std::mt19937& r) { return static_cast<uint8_t>(r()); }},
    {"one colour", [](int, int, std::mt19937&) { return uint8_t{7}; }},
    {"runs", [](int x, int y, std::mt19937&) { return static_cast<uint8_t>((x / 13 + y / 5) * 37); }},
    {"gradient", [](int x, int y, std::mt19937&) { return static_cast<uint8_t>(x + 2 * y); }},
    {"tiles", [](int x, int y, std::mt19937&) {
       return static_cast<uint8_t>(((x % 16) * 7 + (y % 16) * 3) ^ ((x / 16 + y / 16) & 1 ? 0x55 : 0));
     }},
    {"sparse noise", [](int x, int, std::mt19937& r) {
       return static_cast<uint8_t>(r() % 9 == 0 ? r() : x / 40);
     }},
};

TEST(LzwCodeStream, MatchesTheLiteralEncoderOnEveryKindOfPicture) {
  const std::pair<int, int> sizes[] = {{1, 1}, {3, 2}, {17, 5}, {64, 64}, {301, 33}, {5000, 3}};
  for (const Shape& shape : kShapes) {
    for (const auto& [width, height] : sizes) {
      for (uint16_t bitCount : {1, 4, 8}) {
        std::mt19937 random(static_cast<uint32_t>(width * 31 + height + bitCount));
        const auto rows = test::MakeRows(width, height, [&](int x, int y) {
          return static_cast<uint8_t>(shape.index(x, y, random) & ((1 << bitCount) - 1));
        });
        const DibImage image = Picture(width, height, bitCount, rows);
        for (bool interlaced : {false, true}) {
          SCOPED_TRACE(::testing::Message() << shape.what << ", " << width << " x " << height
                                            << " x " << bitCount
                                            << (interlaced ? ", interlaced" : ""));
          const Bytes stream = Encode(image, interlaced);
          const int minCodeSize = MinCodeSizeFor(bitCount);
          ASSERT_EQ(stream, test::ReferenceLzwEncode(image, minCodeSize, interlaced));
          const DecodedLzw decoded = DecodeLzw(stream, 0, minCodeSize);
          ASSERT_TRUE(decoded.ok) << decoded.error;
          ASSERT_EQ(decoded.blockBytes, stream.size());
          if (!interlaced) ASSERT_EQ(decoded.pixels, test::Flatten(rows));
        }
      }
    }
  }
}

TEST(LzwCodeStream, FullTableWritesTheNextCodeAndClearCodeAtTwelveBits) {
  for (uint16_t bitCount : {1, 4, 8}) {
    SCOPED_TRACE(::testing::Message() << bitCount << " bits");
    std::mt19937 random(bitCount);
    const int width = 512, height = bitCount == 1 ? 256 : 96;
    const auto rows = test::MakeRows(width, height, [&](int, int) {
      return static_cast<uint8_t>(random() & ((1u << bitCount) - 1));
    });
    const DibImage image = Picture(width, height, bitCount, rows);
    const int minCodeSize = MinCodeSizeFor(bitCount);
    const uint32_t clearCode = 1u << minCodeSize;
    const Bytes stream = Encode(image);
    ASSERT_EQ(stream, test::ReferenceLzwEncode(image, minCodeSize, false));
    const DecodedLzw decoded = DecodeLzw(stream, 0, minCodeSize);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.pixels, test::Flatten(rows));

    // Between two ClearCodes: one code for each of the 4096 - (ClearCode + 2) strings added,
    // and the code written when no entry was left.
    const size_t perTable = 4096 - (clearCode + 2) + 1;
    std::vector<size_t> clears;
    for (size_t i = 0; i < decoded.codes.size(); ++i) {
      if (decoded.codes[i].code == clearCode) clears.push_back(i);
    }
    ASSERT_GE(clears.size(), 3u) << "the picture should fill the table at least twice";
    EXPECT_EQ(clears[0], 0u);
    for (size_t k = 1; k < clears.size(); ++k) {
      const size_t at = clears[k];
      EXPECT_EQ(at - clears[k - 1] - 1, perTable) << "table " << k;
      EXPECT_EQ(decoded.codes[at - 1].width, 12);
      EXPECT_EQ(decoded.codes[at].width, 12);
      EXPECT_EQ(decoded.codes[at + 1].width, minCodeSize + 1);
    }
  }
}

// The data bytes of a stream, and whether its sub-blocks are laid out as GIF wants them.
size_t DataBytes(const Bytes& stream) {
  size_t data = 0, at = 0;
  while (at < stream.size() && stream[at] != 0) {
    data += stream[at];
    at += stream[at] + 1u;
  }
  return data;
}

TEST(LzwCodeStream, SubBlocksAroundTheirEnd) {
  struct Case {
    size_t dataBytes;
    std::vector<std::pair<size_t, uint8_t>> markers;  // (offset, byte) of counts and terminator
    size_t length;
  };
  const Case cases[] = {
      {254, {{0, 254}, {255, 0}}, 256},
      {255, {{0, 255}, {256, 0}}, 257},
      {256, {{0, 255}, {256, 1}, {258, 0}}, 259},
      {510, {{0, 255}, {256, 255}, {512, 0}}, 513},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.dataBytes << " data bytes");
    // Noise rows of growing length until one encodes to exactly that many data bytes.
    bool found = false;
    for (uint32_t seed = 1; seed < 200 && !found; ++seed) {
      for (int width = static_cast<int>(c.dataBytes * 8 / 12); width < static_cast<int>(c.dataBytes); ++width) {
        std::mt19937 random(seed);
        const auto rows = test::MakeRows(width, 1, [&](int, int) { return static_cast<uint8_t>(random()); });
        const DibImage image = Picture(width, 1, 8, rows);
        const Bytes stream = Encode(image);
        if (DataBytes(stream) != c.dataBytes) continue;
        found = true;
        ASSERT_EQ(stream.size(), c.length);
        for (const auto& [offset, value] : c.markers) EXPECT_EQ(stream[offset], value) << "offset " << offset;
        EXPECT_NE(stream[stream.size() - 2], 0) << "the last data byte holds EndCode's bits";
        EXPECT_EQ(stream, test::ReferenceLzwEncode(image, 8, false));
        const DecodedLzw decoded = DecodeLzw(stream, 0, 8);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_EQ(decoded.pixels, test::Flatten(rows));
        break;
      }
    }
    EXPECT_TRUE(found) << "no noise row gave that length";
  }
}

TEST(LzwCodeStream, InterlacedRowsFollowThePassOrder) {
  // Each row holds its own number, so the decoded pixels spell the row order.
  const auto rowNumbers = [](int height) {
    return test::MakeRows(3, height, [](int, int y) { return static_cast<uint8_t>(y); });
  };
  auto orderOf = [](const Bytes& pixels) {
    std::vector<int> order;
    for (size_t i = 0; i < pixels.size(); i += 3) order.push_back(pixels[i]);
    return order;
  };
  const DecodedLzw ten = DecodeLzw(Encode(Picture(3, 10, 8, rowNumbers(10)), true), 0, 8);
  ASSERT_TRUE(ten.ok) << ten.error;
  EXPECT_EQ(orderOf(ten.pixels), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));

  const DecodedLzw seventeen = DecodeLzw(Encode(Picture(3, 17, 8, rowNumbers(17)), true), 0, 8);
  ASSERT_TRUE(seventeen.ok) << seventeen.error;
  EXPECT_EQ(orderOf(seventeen.pixels),
            (std::vector<int>{0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}));

  const DibImage oneRow = Picture(3, 1, 8, {{5, 6, 7}});
  EXPECT_EQ(Encode(oneRow, true), Encode(oneRow, false));
}

TEST(LzwCodeStream, ProgressIsReportedAfterEveryRowAcrossPasses) {
  const DibImage image = Picture(2, 10, 8, test::MakeRows(2, 10, [](int x, int y) {
                                   return static_cast<uint8_t>(x + y);
                                 }));
  for (bool interlaced : {false, true}) {
    std::vector<std::array<uint32_t, 3>> calls;
    Encode(image, interlaced, [&](uint32_t done, uint32_t height, uint32_t zero) {
      calls.push_back({done, height, zero});
    });
    ASSERT_EQ(calls.size(), 10u);
    for (uint32_t i = 0; i < 10; ++i) {
      EXPECT_EQ(calls[i], (std::array<uint32_t, 3>{i + 1, 10, 0}));
    }
  }
}

TEST(LzwCodeStream, AnEncodeStartedFromTheProgressCallbackLeavesTheOuterOneIntact) {
  std::mt19937 random(7);
  const auto noise = [&](int width, int height) {
    return Picture(width, height, 8, test::MakeRows(width, height, [&](int, int) {
                     return static_cast<uint8_t>(random() % 64);
                   }));
  };
  const DibImage outer = noise(300, 40), inner = noise(200, 30);
  const Bytes outerAlone = Encode(outer), innerAlone = Encode(inner);
  int nested = 0;
  const Bytes outerWithNested = Encode(outer, false, [&](uint32_t row, uint32_t, uint32_t) {
    if (row % 10 != 0) return;
    EXPECT_EQ(Encode(inner), innerAlone);
    ++nested;
  });
  EXPECT_EQ(nested, 4);
  EXPECT_EQ(outerWithNested, outerAlone);
  // The thread's own dictionary is free again afterwards.
  EXPECT_EQ(Encode(outer), outerAlone);
}

// Each thread keeps its own dictionary and code stream room between encodes: threads encoding at
// once, pictures of every size one after the other, must not see each other's.
TEST(LzwCodeStream, ThreadsEncodingAtOnceEachGetTheLiteralEncodersBytes) {
  constexpr int kThreads = 3;
  std::vector<std::vector<DibImage>> pictures(kThreads);
  std::vector<std::vector<Bytes>> expected(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    std::mt19937 random(static_cast<uint32_t>(100 + t));
    // Large and small in turn, so that a later encode writes less than an earlier one left.
    for (const auto& [width, height] : {std::pair{640, 200}, {7, 3}, {320, 224}, {1, 1}, {500, 90}}) {
      const Shape& shape = kShapes[(t + width) % std::size(kShapes)];
      const auto rows = test::MakeRows(width, height, [&](int x, int y) {
        return shape.index(x, y, random);
      });
      pictures[t].push_back(Picture(width, height, 8, rows));
      expected[t].push_back(test::ReferenceLzwEncode(pictures[t].back(), 8, t == 1));
    }
  }
  std::vector<std::vector<Bytes>> got(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        const LzwThreadTables tables;
        for (int round = 0; round < 4; ++round) {
          for (const DibImage& picture : pictures[t]) {
            Bytes out;
            LzwEncode(picture, 8, t == 1, {}, out);
            got[t].push_back(std::move(out));
          }
        }
      });
    }
  }
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(got[t].size(), 4 * expected[t].size());
    for (size_t i = 0; i < got[t].size(); ++i) {
      EXPECT_EQ(got[t][i], expected[t][i % expected[t].size()]) << "thread " << t << ", encode " << i;
    }
  }
}

// A thread keeps up to 16 MiB of code stream room between encodes; a picture whose longest
// stream needs more (11.55 million pixels here: 17.3 MB) is encoded in room of its own, and
// the kept room still serves the pictures after it.
TEST(LzwCodeStream, APictureTooLargeForTheKeptRoomIsEncodedInRoomOfItsOwn) {
  std::mt19937 random(5);
  const DibImage small = Picture(300, 40, 8, test::MakeRows(300, 40, [&](int, int) {
                                   return static_cast<uint8_t>(random() % 64);
                                 }));
  const Bytes smallAlone = Encode(small);
  const int width = 3500, height = 3300;
  const auto rows = test::MakeRows(width, height, [](int x, int y) {
    return static_cast<uint8_t>((x / 13 + y / 5) * 37);
  });
  const Bytes large = Encode(Picture(width, height, 8, rows));
  const DecodedLzw decoded = DecodeLzw(large, 0, 8);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_TRUE(decoded.pixels == test::Flatten(rows));
  EXPECT_EQ(Encode(small), smallAlone);
}

// Giving the thread's tables back while an encode uses them (from its progress callback) waits
// for that encode; after it, the next encode makes them again.
TEST(LzwCodeStream, TablesGivenBackMidEncodeStayUntilItEndsAndAreMadeAgainAfter) {
  std::mt19937 random(11);
  const DibImage picture = Picture(200, 30, 8, test::MakeRows(200, 30, [&](int, int) {
                                     return static_cast<uint8_t>(random() % 50);
                                   }));
  const Bytes alone = Encode(picture);
  int givenBack = 0;
  const Bytes withRelease = Encode(picture, false, [&](uint32_t, uint32_t, uint32_t) {
    const LzwThreadTables tables;
    ++givenBack;
  });
  EXPECT_EQ(givenBack, 30);
  EXPECT_EQ(withRelease, alone);
  {
    const LzwThreadTables tables;
    EXPECT_EQ(Encode(picture), alone);
  }
  EXPECT_EQ(Encode(picture), alone);
}

TEST(LzwCodeStream, PackedPixelsAreReadFromTheHighBitsAndPaddingIsNeverRead) {
  struct Case {
    int width;
    uint16_t bitCount;
  };
  for (const Case c : {Case{5, 4}, Case{11, 1}, Case{3, 8}}) {
    SCOPED_TRACE(::testing::Message() << c.width << " pixels of " << c.bitCount << " bits");
    const auto rows = test::MakeRows(c.width, 3, [&](int x, int y) {
      return static_cast<uint8_t>((x * 5 + y * 3 + 1) & ((1 << c.bitCount) - 1));
    });
    DibImage image = Picture(c.width, 3, c.bitCount, rows);
    // Set every bit that lies past the last pixel of its row.
    const size_t stride = image.bits.size() / 3;
    const size_t usedBits = static_cast<size_t>(c.width) * c.bitCount;
    for (size_t r = 0; r < 3; ++r) {
      for (size_t bit = usedBits; bit < stride * 8; ++bit) {
        image.bits[r * stride + bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
      }
    }
    const DecodedLzw decoded = DecodeLzw(Encode(image), 0, MinCodeSizeFor(c.bitCount));
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.pixels, test::Flatten(rows));
  }
}

}  // namespace
}  // namespace qelva
