// Bitmap files as written, byte for byte, and as an independent decoder reads them back.
#include "export/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "export/rle.h"
#include "test_support.h"

namespace qelva {
namespace {

using test::Bytes;
using test::Cat;
using test::Le32;

Bytes FileHeader(uint32_t fileSize, uint32_t pixelOffset) {
  return Cat({{'B', 'M'}, Le32(fileSize), {0, 0, 0, 0}, Le32(pixelOffset)});
}

Bytes Slice(const Bytes& bytes, size_t from, size_t n) {
  if (from > bytes.size()) return {};
  return Bytes(bytes.begin() + static_cast<ptrdiff_t>(from),
               bytes.begin() + static_cast<ptrdiff_t>(std::min(bytes.size(), from + n)));
}

// Stored pixel bytes that differ from row to row and from byte to byte.
Bytes Pattern(size_t n) {
  Bytes bits(n);
  for (size_t i = 0; i < n; ++i) bits[i] = static_cast<uint8_t>(i * 37 + i / 251);
  return bits;
}

TEST(BitmapWriter, EightBitPictureIsWrittenAsHeaderInfoAndPixels) {
  test::TempDir dir;
  const std::string path = dir.File("kabe01.bmp");
  DibImage image = test::MakeDib(176, 200, 8, Pattern(176 * 200));
  // An image-size field held for an uncompressed picture is written as 0.
  image.SetImageSize(176 * 200);
  WriteLe32(&image.info[dib_field::kXPelsPerMeter], 2835);
  const Bytes info = image.info;
  const Bytes bits = image.bits;

  WriteBitmapFile(path, image);

  const Bytes file = test::ReadBytes(path);
  ASSERT_EQ(file.size(), 36278u);
  EXPECT_EQ(Slice(file, 0, 14), FileHeader(36278, 1078));
  Bytes expectedInfo = info;
  WriteLe32(&expectedInfo[dib_field::kImageSize], 0);
  EXPECT_EQ(Slice(file, 14, 1064), expectedInfo);
  EXPECT_EQ(Slice(file, 1078, 35200), bits);
  EXPECT_EQ(image.ImageSize(), 0u);
  EXPECT_EQ(image.bits, bits);
}

TEST(BitmapWriter, InfoBlockHoldsTheFullColourTableOfTheBitCount) {
  const struct {
    uint16_t bitCount;
    uint32_t infoSize;
    uint32_t pixelOffset;
    uint32_t stride;  // of a 9-pixel row
  } cases[] = {{1, 48, 62, 4}, {4, 104, 118, 8}, {8, 1064, 1078, 12}, {24, 40, 54, 28}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bitCount);
    EXPECT_EQ(BitmapInfoSize(c.bitCount), c.infoSize);
    test::TempDir dir;
    const std::string path = dir.File("x.bmp");
    DibImage image = test::MakeDib(9, 3, c.bitCount, Pattern(c.stride * 3));
    // The table is written whole whatever the colours-used field says.
    WriteLe32(&image.info[dib_field::kColoursUsed], 2);
    const Bytes info = image.info;

    WriteBitmapFile(path, image);

    const Bytes file = test::ReadBytes(path);
    const uint32_t fileSize = 14 + c.infoSize + c.stride * 3;
    ASSERT_EQ(file.size(), fileSize);
    EXPECT_EQ(Slice(file, 0, 14), FileHeader(fileSize, c.pixelOffset));
    EXPECT_EQ(Slice(file, 14, c.infoSize), Slice(info, 0, c.infoSize));
    EXPECT_EQ(Slice(file, c.pixelOffset, c.stride * 3), Pattern(c.stride * 3));
  }
}

TEST(BitmapWriter, RleBitmapKeepsItsCompressionAndStreamLength) {
  for (uint16_t bitCount : {uint16_t{8}, uint16_t{4}}) {
    SCOPED_TRACE(bitCount);
    test::TempDir dir;
    const std::string path = dir.File("x.bmp");
    const DibImage source = test::MakeDib(16, 2, bitCount, Bytes(32, 0x21));
    DibImage encoded;
    ASSERT_TRUE(EncodeRle8(source, encoded));
    const uint32_t length = static_cast<uint32_t>(encoded.bits.size());
    const uint32_t infoSize = 40 + (4u << bitCount);

    WriteBitmapFile(path, encoded);

    const Bytes file = test::ReadBytes(path);
    ASSERT_EQ(file.size(), 14 + infoSize + length);
    EXPECT_EQ(Slice(file, 0, 14), FileHeader(14 + infoSize + length, 14 + infoSize));
    EXPECT_EQ(Slice(file, 14 + dib_field::kCompression, 4), Le32(bitCount == 8 ? 1 : 2));
    EXPECT_EQ(Slice(file, 14 + dib_field::kImageSize, 4), Le32(length));
    EXPECT_EQ(Slice(file, 14 + infoSize, length), encoded.bits);
  }
}

TEST(BitmapWriter, PicturesOutsideTheContractAreRefusedAndNoFileIsCreated) {
  auto withBitCount = [](uint16_t bitCount) { return test::MakeDib(2, 2, bitCount, Bytes(16, 1)); };
  auto shortTable = test::MakeDib(4, 2, 8, Bytes(8, 1));
  shortTable.info.resize(40 + 4 * 16);  // a 16-colour table for an 8-bit picture
  auto shortBits = test::MakeDib(5, 2, 8, Bytes(15, 1));
  auto shortRle = test::MakeDib(4, 2, 8, Bytes(6, 1));
  shortRle.SetCompression(kBiRle8);
  shortRle.SetImageSize(7);
  auto shortHeader = test::MakeDib(4, 2, 8, Bytes(8, 1));
  shortHeader.info.resize(30);
  const struct {
    const char* what;
    DibImage image;
    const char* message;
  } cases[] = {
      {"16 bits", withBitCount(16), "この形式のﾋﾞｯﾄﾏｯﾌﾟは保存できません (16 ﾋﾞｯﾄ/ﾋﾟｸｾﾙ)"},
      {"32 bits", withBitCount(32), "この形式のﾋﾞｯﾄﾏｯﾌﾟは保存できません (32 ﾋﾞｯﾄ/ﾋﾟｸｾﾙ)"},
      {"2 bits", withBitCount(2), "この形式のﾋﾞｯﾄﾏｯﾌﾟは保存できません (2 ﾋﾞｯﾄ/ﾋﾟｸｾﾙ)"},
      {"colour table too short", shortTable, "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"},
      {"one pixel byte short of the rows", shortBits, "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"},
      {"stream shorter than its image size", shortRle, "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"},
      {"header cut short", shortHeader, "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"},
      {"empty picture", DibImage{}, "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    DibImage image = c.image;
    try {
      WriteBitmapFile(dir.File("x.bmp"), image);
      ADD_FAILURE() << c.what << " was written";
    } catch (const PictureError& error) {
      EXPECT_STREQ(error.what(), c.message) << c.what;
    }
    EXPECT_TRUE(dir.Names().empty()) << c.what;
  }
}

TEST(BitmapWriter, FailedWriteLeavesAnExistingFileAsItWas) {
  test::TempDir dir;
  const std::string path = dir.File("kabe01.bmp");
  test::WriteBytes(path, {'o', 'l', 'd'});
  DibImage image = test::MakeDib(4, 2, 8, Bytes(7, 1));  // one byte short
  EXPECT_THROW(WriteBitmapFile(path, image), PictureError);
  EXPECT_EQ(test::ReadBytes(path), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"kabe01.bmp"});
}

TEST(BitmapWriter, FileThatCannotBeCreatedRaisesTheStreamErrorWithItsName) {
  test::TempDir dir;
  const std::string path = test::JoinPath(dir.File("none"), "kabe01.bmp");
  DibImage image = test::MakeDib(4, 2, 8, Bytes(8, 1));
  try {
    WriteBitmapFile(path, image);
    FAIL() << "wrote " << path;
  } catch (const StreamError& error) {
    EXPECT_EQ(std::string(error.what()), "ﾌｧｲﾙ " + path + " を作成できません");
  }
  EXPECT_TRUE(dir.Names().empty());
}

// Rows of colour indices below `colours` with runs, pairs, runs longer than 255 and stretches
// where every pixel differs from the next, so that every kind of RLE record shows up.
std::vector<Bytes> MixedPicture(int width, int height, unsigned colours) {
  std::vector<Bytes> rows;
  for (int y = 0; y < height; ++y) {
    Bytes row(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
      unsigned v;
      if (y % 3 == 0 && x < 280) {
        v = static_cast<unsigned>(y);  // a long run
      } else {
        switch ((x / 23 + y) % 4) {
          case 0:
            v = 5;
            break;
          case 1:
            v = static_cast<unsigned>(x);
            break;
          case 2:
            v = static_cast<unsigned>(x / 2);
            break;
          default:
            v = static_cast<unsigned>(x * x + y);
            break;
        }
      }
      row[static_cast<size_t>(x)] = static_cast<uint8_t>(v % colours);
    }
    rows.push_back(row);
  }
  return rows;
}

struct RoundTrip {
  const char* what;
  uint16_t bitCount;
  int width;
  bool rle;
};

void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.what; }

class BitmapPeerCheck : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(BitmapPeerCheck, PeerDecoderGivesBackEveryPixelAndColour) {
  QELVA_SKIP_WITHOUT_PEER_DECODER();
  const RoundTrip& c = GetParam();
  const int height = 7;
  const unsigned colours = 1u << c.bitCount;
  const std::vector<Bytes> rows = MixedPicture(c.width, height, colours);
  DibImage image =
      test::MakeDib(c.width, height, c.bitCount, test::PackRows(rows, c.width, c.bitCount));
  image.bits.shrink_to_fit();
  if (c.rle) {
    DibImage encoded;
    ASSERT_TRUE(EncodeRle8(image, encoded));
    image = std::move(encoded);
  }
  test::TempDir dir;
  const std::string path = dir.File("peer.bmp");
  WriteBitmapFile(path, image);

  test::PeerPicture decoded;
  ASSERT_TRUE(test::PeerDecode(path, decoded));
  EXPECT_EQ(decoded.width, c.width);
  EXPECT_EQ(decoded.height, height);
  ASSERT_EQ(decoded.paletteRgb.size(), colours * 3);
  for (unsigned i = 0; i < colours; ++i) {
    EXPECT_EQ(decoded.paletteRgb[i * 3 + 0], test::TableRed(i)) << "entry " << i;
    EXPECT_EQ(decoded.paletteRgb[i * 3 + 1], test::TableGreen(i)) << "entry " << i;
    EXPECT_EQ(decoded.paletteRgb[i * 3 + 2], test::TableBlue(i)) << "entry " << i;
  }
  Bytes expected;
  for (const Bytes& row : rows) expected.insert(expected.end(), row.begin(), row.end());
  ASSERT_EQ(decoded.indices.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(decoded.indices[i], expected[i]) << "pixel " << i % static_cast<size_t>(c.width)
                                               << " of row " << i / static_cast<size_t>(c.width);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BitmapPeerCheck,
    ::testing::Values(RoundTrip{"OneBit", 1, 301, false}, RoundTrip{"FourBit", 4, 301, false},
                      RoundTrip{"EightBit", 8, 301, false},
                      RoundTrip{"EightBitNoPadding", 8, 320, false},
                      RoundTrip{"Rle8", 8, 301, true}, RoundTrip{"Rle8NoPadding", 8, 320, true},
                      RoundTrip{"Rle4", 4, 300, true}, RoundTrip{"Rle4OddWidth", 4, 301, true}),
    [](const ::testing::TestParamInfo<RoundTrip>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace qelva
