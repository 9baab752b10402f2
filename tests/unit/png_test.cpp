// The PNG writer: its chunks taken apart and checked with a CRC-32 of the test's own, the rows
// inflated and unfiltered back into the picture, the pictures it refuses, and every file it
// writes read back by python3-pil, ImageMagick (libpng) and pngcheck.
#include "export/png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "test_support.h"

namespace qelva {
namespace {

using test::Bytes;

// ---- reading the file back, independently of the writer --------------------------------

// The CRC-32 of PNG chunks (polynomial 0xEDB88320, reflected), from a table made here.
uint32_t Crc32(const uint8_t* data, size_t n) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

struct Chunk {
  std::string type;
  Bytes data;
};

// The chunks after the signature; every length must lie inside the file and every CRC match.
std::vector<Chunk> Chunks(const Bytes& file) {
  static const Bytes kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<Chunk> chunks;
  if (file.size() < 8 || !std::equal(kSignature.begin(), kSignature.end(), file.begin())) {
    ADD_FAILURE() << "no PNG signature";
    return chunks;
  }
  size_t at = 8;
  while (at < file.size()) {
    if (file.size() - at < 12) {
      ADD_FAILURE() << "chunk at " << at << " is cut off";
      return chunks;
    }
    const uint32_t length = Be32(&file[at]);
    if (length > file.size() - at - 12) {
      ADD_FAILURE() << "chunk at " << at << " claims " << length << " bytes";
      return chunks;
    }
    const uint8_t* typeAndData = &file[at + 4];
    Chunk chunk{std::string(typeAndData, typeAndData + 4),
                Bytes(typeAndData + 4, typeAndData + 4 + length)};
    EXPECT_EQ(Be32(typeAndData + 4 + length), Crc32(typeAndData, 4 + length))
        << chunk.type << " at " << at;
    chunks.push_back(std::move(chunk));
    at += 12 + length;
  }
  return chunks;
}

std::vector<std::string> TypesOf(const std::vector<Chunk>& chunks) {
  std::vector<std::string> types;
  for (const Chunk& c : chunks) types.push_back(c.type);
  return types;
}

// The IDAT chunks' data joined and inflated; expectedSize + 1 bytes of room, so that a stream
// longer than expected shows.
Bytes InflatedImageData(const std::vector<Chunk>& chunks, size_t expectedSize) {
  Bytes stream;
  for (const Chunk& c : chunks) {
    if (c.type == "IDAT") stream.insert(stream.end(), c.data.begin(), c.data.end());
  }
  Bytes raw(expectedSize + 1);
  uLongf size = static_cast<uLongf>(raw.size());
  const int result = uncompress(raw.data(), &size, stream.data(), static_cast<uLong>(stream.size()));
  EXPECT_EQ(result, Z_OK) << "zlib stream of " << stream.size() << " bytes";
  raw.resize(result == Z_OK ? size : 0);
  return raw;
}

// The filtered rows back to the stored bytes of each row. Every row must carry the same filter
// type, None (0) or Sub (1): the writer uses nothing else. Returns the filter type, or -1.
int Unfilter(const Bytes& filtered, size_t rowBytes, size_t pixelBytes, std::vector<Bytes>& rows) {
  rows.clear();
  if (filtered.size() % (rowBytes + 1) != 0) {
    ADD_FAILURE() << filtered.size() << " bytes are not whole rows of " << rowBytes + 1;
    return -1;
  }
  int filter = -1;
  for (size_t at = 0; at < filtered.size(); at += rowBytes + 1) {
    const int type = filtered[at];
    if (filter == -1) filter = type;
    if (type != filter || (type != 0 && type != 1)) {
      ADD_FAILURE() << "row " << rows.size() << " has filter type " << type << " after " << filter;
      return -1;
    }
    Bytes row(filtered.begin() + static_cast<ptrdiff_t>(at + 1),
              filtered.begin() + static_cast<ptrdiff_t>(at + 1 + rowBytes));
    if (type == 1) {
      for (size_t i = pixelBytes; i < row.size(); ++i) {
        row[i] = static_cast<uint8_t>(row[i] + row[i - pixelBytes]);
      }
    }
    rows.push_back(std::move(row));
  }
  return filter;
}

// Row bytes of `bitDepth`-bit samples back to one index per pixel; the bits after the last
// pixel must be zero.
Bytes UnpackRow(const Bytes& row, int width, int bitDepth) {
  Bytes indices;
  for (int x = 0; x < width; ++x) {
    const size_t bit = static_cast<size_t>(x) * bitDepth;
    const int shift = 8 - bitDepth - static_cast<int>(bit % 8);
    indices.push_back(static_cast<uint8_t>(row[bit / 8] >> shift & ((1 << bitDepth) - 1)));
  }
  const size_t usedBits = static_cast<size_t>(width) * bitDepth;
  if (usedBits % 8 != 0) {
    EXPECT_EQ(row.back() & (0xFF >> (usedBits % 8)), 0) << "spare bits after the last pixel";
  }
  return indices;
}

// What the file says, taken apart.
struct ReadBack {
  uint32_t width = 0, height = 0;
  int bitDepth = -1, colourType = -1, compression = -1, filterMethod = -1, interlace = -1;
  std::vector<std::string> types;
  Bytes palette;  // PLTE as it stands: red, green, blue per entry
  Bytes alpha;    // tRNS
  int filter = -1;
  std::vector<Bytes> rows;  // indices (or red, green, blue bytes for truecolour), top row first
};

ReadBack ReadPng(const Bytes& file) {
  ReadBack back;
  const std::vector<Chunk> chunks = Chunks(file);
  back.types = TypesOf(chunks);
  if (chunks.empty() || chunks[0].type != "IHDR" || chunks[0].data.size() != 13) {
    ADD_FAILURE() << "no 13-byte IHDR first";
    return back;
  }
  const Bytes& h = chunks[0].data;
  back.width = Be32(&h[0]);
  back.height = Be32(&h[4]);
  back.bitDepth = h[8];
  back.colourType = h[9];
  back.compression = h[10];
  back.filterMethod = h[11];
  back.interlace = h[12];
  for (const Chunk& c : chunks) {
    if (c.type == "PLTE") back.palette = c.data;
    if (c.type == "tRNS") back.alpha = c.data;
  }
  const size_t channels = back.colourType == 2 ? 3 : 1;
  const size_t rowBits = static_cast<size_t>(back.width) * channels * static_cast<size_t>(back.bitDepth);
  const size_t rowBytes = (rowBits + 7) / 8;
  const Bytes raw = InflatedImageData(chunks, back.height * (rowBytes + 1));
  EXPECT_EQ(raw.size(), back.height * (rowBytes + 1)) << "inflated image data";
  std::vector<Bytes> stored;
  // Sub looks one whole pixel to the left, or one byte when pixels are smaller than a byte.
  const size_t pixelBytes = std::max<size_t>(1, channels * static_cast<size_t>(back.bitDepth) / 8);
  back.filter = Unfilter(raw, rowBytes, pixelBytes, stored);
  for (const Bytes& row : stored) {
    back.rows.push_back(channels == 3 ? row : UnpackRow(row, static_cast<int>(back.width), back.bitDepth));
  }
  return back;
}

// ---- pictures ----------------------------------------------------------------------------

// The colour table MakeDib's pictures carry, as PLTE stores it: red, green, blue.
Bytes PngPalette(unsigned colours) {
  Bytes table;
  for (unsigned i = 0; i < colours; ++i) {
    table.insert(table.end(), {test::TableRed(i), test::TableGreen(i), test::TableBlue(i)});
  }
  return table;
}

std::vector<Bytes> MixedRows(int width, int height, uint16_t bitCount) {
  return test::MakeRows(width, height, [&](int x, int y) {
    const int v = (x / 3 + y) % 5 == 0 ? x * 7 + y * 13 : (x / 9) * 3 + y / 4;
    return static_cast<uint8_t>(v & ((1 << bitCount) - 1));
  });
}

DibImage PictureOf(const std::vector<Bytes>& rows, uint16_t bitCount) {
  const int width = rows.empty() ? 0 : static_cast<int>(rows[0].size());
  return test::MakeDib(width, static_cast<int32_t>(rows.size()), bitCount,
                       test::PackRows(rows, width, bitCount));
}

// Every peer must give back exactly these indices, MakeDib's palette and the transparency: PIL
// the indices themselves, ImageMagick (libpng) the colours and alpha they stand for, and
// pngcheck no complaint.
void ExpectPeersReadIndexed([[maybe_unused]] const std::string& path,
                            [[maybe_unused]] const std::vector<Bytes>& rows,
                            [[maybe_unused]] uint16_t bitCount,
                            [[maybe_unused]] bool indexZeroTransparent) {
#ifndef _WIN32
  SCOPED_TRACE(path);
  EXPECT_TRUE(test::PngCheck(path));
  test::PeerPicture pil;
  ASSERT_TRUE(test::PeerDecode(path, pil));
  EXPECT_EQ(pil.width, static_cast<int>(rows[0].size()));
  EXPECT_EQ(pil.height, static_cast<int>(rows.size()));
  EXPECT_EQ(pil.indices, test::Flatten(rows));
  EXPECT_EQ(pil.paletteRgb, PngPalette(1u << bitCount));
  EXPECT_EQ(pil.transparentIndex, indexZeroTransparent ? 0 : -1);

  Bytes expected;
  for (uint8_t index : test::Flatten(rows)) {
    expected.insert(expected.end(), {test::TableRed(index), test::TableGreen(index),
                                     test::TableBlue(index),
                                     static_cast<uint8_t>(indexZeroTransparent && index == 0 ? 0 : 255)});
  }
  test::PeerRgba magick;
  ASSERT_TRUE(test::MagickDecodeRgba(path, magick));
  EXPECT_EQ(magick.width, pil.width);
  EXPECT_EQ(magick.height, pil.height);
  EXPECT_TRUE(magick.rgba == expected) << "ImageMagick's colours and alpha differ";
#endif
}

// ---- the file's layout ------------------------------------------------------------------

struct Shape {
  uint16_t bitCount;
  int width;
  int height;
};
// 1, 4 and 8 bits; odd widths whose rows end inside a byte or before the 4-byte padding;
// width 1; tall pictures, whose rows must come out top row first (ImageMagick, the peer,
// takes at most 16384 rows under Debian's policy).
constexpr Shape kShapes[] = {{1, 1, 1},  {1, 13, 5},  {1, 33, 9},  {1, 64, 3},  {4, 1, 2},
                             {4, 7, 6},  {4, 21, 11}, {8, 1, 1},   {8, 3, 4},   {8, 176, 200},
                             {8, 5, 3001}, {4, 3, 12000}};

TEST(PngWriter, IndexedPictureIsHeaderPaletteImageDataAndEndAndReadsBackExactly) {
  const test::TempDir dir;
  for (const Shape s : kShapes) {
    SCOPED_TRACE(::testing::Message() << s.bitCount << " bits, " << s.width << " x " << s.height);
    const auto rows = MixedRows(s.width, s.height, s.bitCount);
    const DibImage image = PictureOf(rows, s.bitCount);
    const Bytes file = PngFileBytes(image, false);
    const ReadBack back = ReadPng(file);

    ASSERT_GE(back.types.size(), 4u);
    EXPECT_EQ(back.types.front(), "IHDR");
    EXPECT_EQ(back.types[1], "PLTE");
    for (size_t i = 2; i + 1 < back.types.size(); ++i) EXPECT_EQ(back.types[i], "IDAT") << i;
    EXPECT_EQ(back.types.back(), "IEND");
    EXPECT_EQ(Bytes(file.end() - 12, file.end() - 4), (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D'}))
        << "IEND ends the file, with no data";

    EXPECT_EQ(back.width, static_cast<uint32_t>(s.width));
    EXPECT_EQ(back.height, static_cast<uint32_t>(s.height));
    EXPECT_EQ(back.bitDepth, s.bitCount);
    EXPECT_EQ(back.colourType, 3);
    EXPECT_EQ(back.compression, 0);
    EXPECT_EQ(back.filterMethod, 0);
    EXPECT_EQ(back.interlace, 0);
    EXPECT_EQ(back.palette, PngPalette(1u << s.bitCount));
    EXPECT_TRUE(back.alpha.empty());
    EXPECT_TRUE(back.rows == rows) << "the pixels read back differ";

    const std::string path = dir.File("p.png");
    WritePng(path, false, image);
    EXPECT_EQ(test::ReadBytes(path), file);
    ExpectPeersReadIndexed(path, rows, s.bitCount, false);
  }
}

TEST(PngWriter, TransparentIndexZeroAddsOnlyATrnsChunkAfterThePalette) {
  const test::TempDir dir;
  for (const uint16_t bitCount : {1, 4, 8}) {
    SCOPED_TRACE(::testing::Message() << bitCount << " bits");
    const auto rows = MixedRows(19, 7, bitCount);
    const DibImage image = PictureOf(rows, bitCount);
    const Bytes plain = PngFileBytes(image, false);
    const Bytes transparent = PngFileBytes(image, true);
    const std::vector<Chunk> chunks = Chunks(transparent);
    ASSERT_GE(chunks.size(), 5u);
    EXPECT_EQ(chunks[2].type, "tRNS");
    EXPECT_EQ(chunks[2].data, Bytes{0}) << "alpha 0 for index 0 alone; the rest are opaque";

    // Take the 13-byte tRNS chunk out and the files are the same.
    const size_t trnsAt = 8 + 25 + 12 + (3u << bitCount);
    ASSERT_EQ(transparent.size(), plain.size() + 13);
    Bytes without = transparent;
    without.erase(without.begin() + static_cast<ptrdiff_t>(trnsAt),
                  without.begin() + static_cast<ptrdiff_t>(trnsAt + 13));
    EXPECT_EQ(without, plain);

    const std::string path = dir.File("t.png");
    WritePng(path, true, image);
    ExpectPeersReadIndexed(path, rows, bitCount, true);
  }
}

TEST(PngWriter, PaletteHasEveryEntryWhateverTheColoursUsedField) {
  const auto rows = MixedRows(9, 4, 8);
  DibImage image = PictureOf(rows, 8);
  WriteLe32(&image.info[dib_field::kColoursUsed], 16);
  const ReadBack back = ReadPng(PngFileBytes(image, false));
  EXPECT_EQ(back.palette, PngPalette(256));
  EXPECT_TRUE(back.rows == rows);
}

TEST(PngWriter, RowPaddingAndSpareBitsOfTheStoredRowsStayOutOfTheFile) {
  for (const Shape s : {Shape{1, 13, 5}, Shape{4, 7, 6}, Shape{8, 5, 3}, Shape{24, 5, 3}}) {
    SCOPED_TRACE(::testing::Message() << s.bitCount << " bits");
    const int width = s.width, height = s.height;
    const size_t stride = DibRowStride(width, s.bitCount);
    const size_t usedBits = static_cast<size_t>(width) * s.bitCount;
    Bytes clean(stride * static_cast<size_t>(height), 0);
    for (size_t i = 0; i < clean.size(); ++i) {
      const size_t bit = (i % stride) * 8;
      if (bit + 8 <= usedBits) {
        clean[i] = static_cast<uint8_t>(i * 37 + 11);
      } else if (bit < usedBits) {  // a byte the last pixel shares with spare bits
        clean[i] = static_cast<uint8_t>((i * 37 + 11) & (0xFF << (bit + 8 - usedBits)));
      }
    }
    Bytes dirty = clean;
    for (size_t i = 0; i < dirty.size(); ++i) {
      const size_t bit = (i % stride) * 8;
      if (bit + 8 > usedBits) dirty[i] = static_cast<uint8_t>(dirty[i] | (bit >= usedBits ? 0xFF : 0xFF >> (usedBits - bit)));
    }
    ASSERT_NE(clean, dirty);
    EXPECT_EQ(PngFileBytes(test::MakeDib(width, height, s.bitCount, dirty), true),
              PngFileBytes(test::MakeDib(width, height, s.bitCount, clean), true));
  }
}

TEST(PngWriter, TwentyFourBitPictureBecomesATruecolourPngWithoutPaletteOrTransparency) {
  const int width = 7, height = 5;
  const size_t stride = DibRowStride(width, 24);
  Bytes bits(stride * height, 0);
  std::vector<Bytes> rgbRows(height);  // red, green, blue per pixel, top row first
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t blue = static_cast<uint8_t>(x * 30 + y), green = static_cast<uint8_t>(y * 50 + 1),
                    red = static_cast<uint8_t>(255 - x * y);
      uint8_t* stored = &bits[static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 3];
      stored[0] = blue, stored[1] = green, stored[2] = red;
      rgbRows[static_cast<size_t>(y)].insert(rgbRows[static_cast<size_t>(y)].end(), {red, green, blue});
    }
  }
  const DibImage image = test::MakeDib(width, height, 24, bits);
  for (const bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "png-t" : "png");
    const ReadBack back = ReadPng(PngFileBytes(image, transparent));
    EXPECT_EQ(back.types.front(), "IHDR");
    EXPECT_EQ(back.types.back(), "IEND");
    for (size_t i = 1; i + 1 < back.types.size(); ++i) EXPECT_EQ(back.types[i], "IDAT") << i;
    EXPECT_EQ(back.colourType, 2);
    EXPECT_EQ(back.bitDepth, 8);
    EXPECT_EQ(back.width, 7u);
    EXPECT_EQ(back.height, 5u);
    EXPECT_TRUE(back.rows == rgbRows) << "the pixels read back differ";
  }
#ifndef _WIN32
  const test::TempDir dir;
  const std::string path = dir.File("full.png");
  WritePng(path, true, image);
  EXPECT_TRUE(test::PngCheck(path));
  Bytes expected;
  for (const Bytes& row : rgbRows) {
    for (size_t i = 0; i < row.size(); i += 3) expected.insert(expected.end(), {row[i], row[i + 1], row[i + 2], 255});
  }
  test::PeerRgba pil, magick;
  ASSERT_TRUE(test::PilDecodeRgba(path, pil));
  ASSERT_TRUE(test::MagickDecodeRgba(path, magick));
  EXPECT_EQ(pil.width, width);
  EXPECT_EQ(pil.height, height);
  EXPECT_EQ(pil.rgba, expected);
  EXPECT_EQ(magick.width, width);
  EXPECT_EQ(magick.height, height);
  EXPECT_EQ(magick.rgba, expected);
#endif
}

TEST(PngWriter, LongStreamIsCutIntoFullIdatChunksAndOneShorterLast) {
  std::mt19937 random(7);
  const auto rows = test::MakeRows(600, 300, [&](int, int) { return static_cast<uint8_t>(random()); });
  const DibImage image = PictureOf(rows, 8);
  const Bytes file = PngFileBytes(image, false);
  const std::vector<Chunk> chunks = Chunks(file);
  std::vector<size_t> idatSizes;
  for (const Chunk& c : chunks) {
    if (c.type == "IDAT") idatSizes.push_back(c.data.size());
  }
  ASSERT_GE(idatSizes.size(), 3u) << "180,000 noisy pixels do not fit in two chunks";
  for (size_t i = 0; i + 1 < idatSizes.size(); ++i) EXPECT_EQ(idatSizes[i], kPngIdatChunkData) << i;
  EXPECT_GT(idatSizes.back(), 0u);
  EXPECT_LE(idatSizes.back(), kPngIdatChunkData);
  EXPECT_TRUE(ReadPng(file).rows == rows);
}

TEST(PngWriter, RowsAreSubFilteredWhereThatDeflatesSmallerAndUnfilteredWhereNot) {
  // Smooth ramps: each index one more than its left neighbour, so Sub leaves runs of 1.
  const auto ramp = test::MakeRows(256, 40, [](int x, int y) { return static_cast<uint8_t>(x * 3 + y * 17); });
  const ReadBack rampBack = ReadPng(PngFileBytes(PictureOf(ramp, 8), false));
  EXPECT_EQ(rampBack.filter, 1);
  EXPECT_TRUE(rampBack.rows == ramp);
  // Two colours scattered at random: Sub would turn two symbols into three.
  std::mt19937 random(11);
  const auto scatter = test::MakeRows(256, 40, [&](int, int) { return static_cast<uint8_t>(random() % 2 ? 200 : 3); });
  const ReadBack scatterBack = ReadPng(PngFileBytes(PictureOf(scatter, 8), false));
  EXPECT_EQ(scatterBack.filter, 0);
  EXPECT_TRUE(scatterBack.rows == scatter);
}

// ---- refusals and the file itself -------------------------------------------------------

TEST(PngWriter, PicturesAPngCannotBeMadeFromAreRefusedBeforeAnyFileIsTouched) {
  struct Case {
    const char* what;
    DibImage image;
    const char* message;
  };
  auto withHeight = [](int32_t height) {
    DibImage image = PictureOf(MixedRows(4, 2, 8), 8);
    image.SetHeight(height);
    return image;
  };
  DibImage compressed = PictureOf(MixedRows(4, 2, 8), 8);
  compressed.SetCompression(kBiRle8);
  DibImage shortBits = PictureOf(MixedRows(5, 3, 8), 8);
  shortBits.bits.resize(shortBits.bits.size() - 1);
  DibImage shortTable = PictureOf(MixedRows(5, 3, 4), 4);
  shortTable.info.resize(40 + 15 * 4);
  DibImage shortFullColour = test::MakeDib(5, 3, 24, Bytes(DibRowStride(5, 24) * 3 - 1, 0));
  DibImage noHeader;
  noHeader.info.resize(39);
  std::vector<Case> cases;
  cases.push_back({"no columns", test::MakeDib(0, 3, 8, Bytes(12, 0)), "この大きさの画像はPNGで保存できません (0 x 3)"});
  cases.push_back({"no rows", withHeight(0), "この大きさの画像はPNGで保存できません (4 x 0)"});
  cases.push_back({"top-down rows", withHeight(-2), "この大きさの画像はPNGで保存できません (4 x -2)"});
  cases.push_back({"compressed", std::move(compressed), "圧縮されたﾋﾞｯﾄﾏｯﾌﾟはPNGで保存できません"});
  cases.push_back({"2 bits", test::MakeDib(4, 2, 2, Bytes(8, 0)), "この形式のﾋﾞｯﾄﾏｯﾌﾟは保存できません (2 ﾋﾞｯﾄ/ﾋﾟｸｾﾙ)"});
  cases.push_back({"16 bits", test::MakeDib(4, 2, 16, Bytes(16, 0)), "この形式のﾋﾞｯﾄﾏｯﾌﾟは保存できません (16 ﾋﾞｯﾄ/ﾋﾟｸｾﾙ)"});
  cases.push_back({"32 bits", test::MakeDib(4, 2, 32, Bytes(32, 0)), "この形式のﾋﾞｯﾄﾏｯﾌﾟは保存できません (32 ﾋﾞｯﾄ/ﾋﾟｸｾﾙ)"});
  cases.push_back({"pixel block too short", std::move(shortBits), "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"});
  cases.push_back({"24-bit pixel block too short", std::move(shortFullColour), "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"});
  cases.push_back({"colour table too short", std::move(shortTable), "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"});
  cases.push_back({"no header", std::move(noHeader), "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"});

  test::TempDir dir;
  const std::string existing = dir.File("old.png");
  test::WriteBytes(existing, {7, 7, 7});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      WritePng(dir.File("new.png"), false, c.image);
      ADD_FAILURE() << "written";
    } catch (const PictureError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_THROW(WritePng(existing, true, c.image), PictureError);
    EXPECT_EQ(test::ReadBytes(existing), (Bytes{7, 7, 7}));
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"old.png"});
  }
}

TEST(PngWriter, WrittenFileReplacesAnOldOneWholeAndAMissingFolderRaisesTheStreamError) {
  test::TempDir dir;
  const std::string path = dir.File("pic.png");
  test::WriteBytes(path, Bytes(5000, 0xEE));
  const DibImage image = PictureOf(MixedRows(31, 17, 4), 4);
  WritePng(path, true, image);
  EXPECT_EQ(test::ReadBytes(path), PngFileBytes(image, true));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"pic.png"});

  const std::string lost = test::JoinPath(dir.File("missing"), "pic.png");
  try {
    WritePng(lost, false, image);
    ADD_FAILURE() << "written";
  } catch (const StreamError& e) {
    EXPECT_EQ(std::string(e.what()), "ﾌｧｲﾙ " + lost + " を作成できません");
  }
}

}  // namespace
}  // namespace qelva
