// The GIF file writer: the blocks around the image data, byte for byte, the pictures it refuses,
// and every type of file read back by giflib and python3-pil.
#include "export/gif.h"

#include <gtest/gtest.h>

#include <array>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/errors.h"
#include "test_support.h"

#ifdef QELVA_HAVE_GIFLIB
#include <gif_lib.h>

#include <random>
#endif

namespace qelva {
namespace {

using test::Bytes;
using test::Cat;
using test::Le16;

// The colour table MakeDib's pictures carry, as a GIF stores it: red, green, blue.
Bytes GifTable(unsigned colours) {
  Bytes table;
  for (unsigned i = 0; i < colours; ++i) {
    table.insert(table.end(), {test::TableRed(i), test::TableGreen(i), test::TableBlue(i)});
  }
  return table;
}

Bytes Slice(const Bytes& bytes, size_t from, size_t to) {
  return Bytes(bytes.begin() + static_cast<ptrdiff_t>(from), bytes.begin() + static_cast<ptrdiff_t>(to));
}

DibImage MixedPicture(int width, int height, uint16_t bitCount, std::vector<Bytes>* rowsOut = nullptr) {
  const auto rows = test::MakeRows(width, height, [&](int x, int y) {
    const int v = (x / 3 + y) % 5 == 0 ? x * 7 + y * 13 : (x / 9) * 3 + y / 4;
    return static_cast<uint8_t>(v & ((1 << bitCount) - 1));
  });
  if (rowsOut) *rowsOut = rows;
  return test::MakeDib(width, height, bitCount, test::PackRows(rows, width, bitCount));
}

Bytes ImageData(const DibImage& image, bool interlaced) {
  Bytes data;
  LzwEncode(image, MinCodeSizeFor(image.BitCount()), interlaced, {}, data);
  return data;
}

TEST(GifWriter, EightBitPictureIsScreenTableDescriptorCodeSizeDataAndTrailer) {
  const DibImage image = MixedPicture(176, 200, 8);
  const Bytes file = GifFileBytes(image, false, -1);
  const Bytes data = ImageData(image, false);
  const Bytes expected = Cat({{'G', 'I', 'F', '8', '7', 'a', 0xB0, 0x00, 0xC8, 0x00, 0xF7, 0x00, 0x00},
                              GifTable(256),
                              {0x2C, 0x00, 0x00, 0x00, 0x00, 0xB0, 0x00, 0xC8, 0x00, 0x00, 0x08},
                              data,
                              {0x3B}});
  EXPECT_EQ(file, expected);
  EXPECT_EQ(file.size(), 13 + 768 + 10 + 1 + data.size() + 1);
}

TEST(GifWriter, TransparentIndexMakesAGif89aWithAGraphicControlExtension) {
  const DibImage image = MixedPicture(176, 200, 8);
  const Bytes plain = GifFileBytes(image, false, -1);
  const Bytes transparent = GifFileBytes(image, false, 0);
  const size_t screenAndTable = 13 + 768;
  ASSERT_EQ(transparent.size(), plain.size() + 8);
  EXPECT_EQ(Slice(transparent, 0, 6), (Bytes{'G', 'I', 'F', '8', '9', 'a'}));
  EXPECT_EQ(Slice(transparent, 6, screenAndTable), Slice(plain, 6, screenAndTable));
  EXPECT_EQ(Slice(transparent, screenAndTable, screenAndTable + 8),
            (Bytes{0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Slice(transparent, screenAndTable + 8, transparent.size()),
            Slice(plain, screenAndTable, plain.size()));

  // The extension names the low byte of the index; any negative index means none.
  const Bytes last = GifFileBytes(image, false, 255);
  EXPECT_EQ(last[screenAndTable + 6], 255);
  EXPECT_EQ(GifFileBytes(image, false, -2), plain);
}

TEST(GifWriter, InterlacedImageIsFlaggedAndHoldsTheRowsInPassOrder) {
  const DibImage image = MixedPicture(176, 200, 8);
  const Bytes plain = GifFileBytes(image, false, -1);
  const Bytes interlaced = GifFileBytes(image, true, -1);
  const size_t descriptor = 13 + 768;
  EXPECT_EQ(Slice(interlaced, 0, descriptor + 9), Slice(plain, 0, descriptor + 9));
  EXPECT_EQ(plain[descriptor + 9], 0x00);
  EXPECT_EQ(interlaced[descriptor + 9], 0x40);
  EXPECT_EQ(Slice(interlaced, descriptor + 11, interlaced.size() - 1), ImageData(image, true));
}

TEST(GifWriter, OnePixelPictureIs799BytesOr807WithTransparency) {
  const DibImage image = test::MakeDib(1, 1, 8, Bytes{0, 0, 0, 0});
  const Bytes stream = {0x08, 0x04, 0x00, 0x01, 0x04, 0x04, 0x00, 0x3B};
  const Bytes descriptor = {0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
  const Bytes plain = GifFileBytes(image, false, -1);
  EXPECT_EQ(plain, Cat({{'G', 'I', 'F', '8', '7', 'a', 0x01, 0x00, 0x01, 0x00, 0xF7, 0x00, 0x00},
                        GifTable(256), descriptor, stream}));
  EXPECT_EQ(plain.size(), 799u);
  const Bytes transparent = GifFileBytes(image, false, 0);
  EXPECT_EQ(transparent,
            Cat({{'G', 'I', 'F', '8', '9', 'a', 0x01, 0x00, 0x01, 0x00, 0xF7, 0x00, 0x00},
                 GifTable(256), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00}, descriptor,
                 stream}));
  EXPECT_EQ(transparent.size(), 807u);
}

TEST(GifWriter, ColourTableAndCodeSizeFollowTheBitCount) {
  struct Case {
    uint16_t bitCount;
    uint8_t flags;
    uint8_t minCodeSize;
  };
  for (const Case c : {Case{1, 0xF0, 2}, Case{4, 0xF3, 4}, Case{8, 0xF7, 8}}) {
    SCOPED_TRACE(::testing::Message() << c.bitCount << " bits");
    const DibImage image = MixedPicture(21, 6, c.bitCount);
    const Bytes file = GifFileBytes(image, false, -1);
    const size_t tableBytes = 3u << c.bitCount;
    EXPECT_EQ(file[10], c.flags);
    EXPECT_EQ(Slice(file, 13, 13 + tableBytes), GifTable(1u << c.bitCount));
    EXPECT_EQ(file[13 + tableBytes], 0x2C);
    EXPECT_EQ(file[13 + tableBytes + 10], c.minCodeSize);
  }
}

TEST(GifWriter, ColourTableHasEveryEntryWhateverTheColoursUsedField) {
  DibImage image = MixedPicture(9, 4, 8);
  WriteLe32(&image.info[dib_field::kColoursUsed], 16);
  const Bytes file = GifFileBytes(image, false, -1);
  EXPECT_EQ(file[10], 0xF7);
  EXPECT_EQ(Slice(file, 13, 13 + 768), GifTable(256));
}

TEST(GifWriter, LargestSidesAreWrittenAsSixteenBitNumbers) {
  const DibImage wide = test::MakeDib(kGifMaxSide, 1, 1, Bytes(DibRowStride(kGifMaxSide, 1), 0xFF));
  const Bytes file = GifFileBytes(wide, false, -1);
  EXPECT_EQ(Slice(file, 6, 10), Cat({Le16(65535), Le16(1)}));
  const size_t descriptor = 13 + 6;
  EXPECT_EQ(Slice(file, descriptor + 5, descriptor + 9), Cat({Le16(65535), Le16(1)}));
}

TEST(GifWriter, MoreThanEightBitsGiveFalseAndNoFile) {
  test::TempDir dir;
  for (uint16_t bitCount : {16, 24, 32}) {
    const DibImage image = test::MakeDib(3, 2, bitCount, Bytes(64, 0x11));
    const std::string path = dir.File("full.gif");
    EXPECT_FALSE(WriteGif(path, false, -1, image)) << bitCount;
    EXPECT_FALSE(test::FileExists(path)) << bitCount;
  }
  const std::string existing = dir.File("keep.gif");
  test::WriteBytes(existing, {1, 2, 3});
  EXPECT_FALSE(WriteGif(existing, true, 0, test::MakeDib(3, 2, 24, Bytes(64, 0x11))));
  EXPECT_EQ(test::ReadBytes(existing), (Bytes{1, 2, 3}));
  EXPECT_TRUE(dir.Names() == std::vector<std::string>{"keep.gif"});
}

TEST(GifWriter, PicturesAGifCannotHoldAreRefusedBeforeAnyFileIsTouched) {
  struct Case {
    const char* what;
    DibImage image;
    const char* message;
  };
  auto withHeight = [](int32_t height) {
    DibImage image = MixedPicture(4, 2, 8);
    image.SetHeight(height);
    return image;
  };
  DibImage compressed = MixedPicture(4, 2, 8);
  compressed.SetCompression(kBiRle8);
  DibImage shortBits = MixedPicture(5, 3, 8);
  shortBits.bits.resize(shortBits.bits.size() - 1);
  DibImage shortTable = MixedPicture(5, 3, 4);
  shortTable.info.resize(40 + 15 * 4);
  DibImage noHeader;
  noHeader.info.resize(39);
  const std::vector<Case> cases = [&] {
    std::vector<Case> c;
    c.push_back({"no columns", test::MakeDib(0, 3, 8, Bytes(12, 0)), "この大きさの画像はGIFで保存できません (0 x 3)"});
    c.push_back({"no rows", withHeight(0), "この大きさの画像はGIFで保存できません (4 x 0)"});
    c.push_back({"top-down rows", withHeight(-2), "この大きさの画像はGIFで保存できません (4 x -2)"});
    c.push_back({"too wide", test::MakeDib(65536, 1, 1, Bytes(8192, 0)),
                 "この大きさの画像はGIFで保存できません (65536 x 1)"});
    c.push_back({"too high", test::MakeDib(1, 65536, 1, Bytes(4 * 65536, 0)),
                 "この大きさの画像はGIFで保存できません (1 x 65536)"});
    c.push_back({"compressed", std::move(compressed), "圧縮されたﾋﾞｯﾄﾏｯﾌﾟはGIFで保存できません"});
    c.push_back({"2 bits", test::MakeDib(4, 2, 2, Bytes(8, 0)),
                 "この形式のﾋﾞｯﾄﾏｯﾌﾟは保存できません (2 ﾋﾞｯﾄ/ﾋﾟｸｾﾙ)"});
    c.push_back({"pixel block too short", std::move(shortBits), "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"});
    c.push_back({"colour table too short", std::move(shortTable), "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"});
    c.push_back({"no header", std::move(noHeader), "ﾋﾞｯﾄﾏｯﾌﾟのﾃﾞｰﾀが足りません"});
    return c;
  }();
  test::TempDir dir;
  const std::string existing = dir.File("old.gif");
  test::WriteBytes(existing, {7, 7, 7});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      WriteGif(dir.File("new.gif"), false, 0, c.image);
      ADD_FAILURE() << "written";
    } catch (const PictureError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_THROW(WriteGif(existing, true, -1, c.image), PictureError);
    EXPECT_EQ(test::ReadBytes(existing), (Bytes{7, 7, 7}));
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"old.gif"});
  }
}

TEST(GifWriter, FileThatCannotBeCreatedRaisesTheStreamErrorWithItsName) {
  test::TempDir dir;
  const std::string path = test::JoinPath(dir.File("missing"), "pic.gif");
  try {
    WriteGif(path, false, -1, MixedPicture(4, 2, 8));
    ADD_FAILURE() << "written";
  } catch (const StreamError& e) {
    EXPECT_EQ(std::string(e.what()), "ﾌｧｲﾙ " + path + " を作成できません");
  }
}

TEST(GifWriter, WrittenFileHoldsExactlyTheBytesAndReplacesAnOldOne) {
  test::TempDir dir;
  const std::string path = dir.File("pic.gif");
  test::WriteBytes(path, Bytes(5000, 0xEE));
  std::vector<Bytes> pixels;
  const DibImage image = MixedPicture(31, 17, 4, &pixels);
  int rows = 0;
  EXPECT_TRUE(WriteGif(path, true, 0, image, [&](uint32_t, uint32_t, uint32_t) { ++rows; }));
  EXPECT_EQ(rows, 17);
  EXPECT_EQ(test::ReadBytes(path), GifFileBytes(image, true, 0));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"pic.gif"});
  QELVA_SKIP_WITHOUT_PEER_DECODER();
  test::PeerPicture decoded;
  ASSERT_TRUE(test::PeerDecode(path, decoded));
  EXPECT_EQ(decoded.transparentIndex, 0);
  EXPECT_EQ(decoded.paletteRgb, GifTable(16));
  EXPECT_EQ(decoded.indices, test::Flatten(pixels));
}

#ifdef QELVA_HAVE_GIFLIB
// The image data giflib's encoder writes for rows of pixels, one EGifPutLine per row.
Bytes GiflibImageData(const std::vector<Bytes>& rows, int width, uint16_t bitCount) {
  Bytes file;
  int error = 0;
  GifFileType* gif = EGifOpen(&file, [](GifFileType* g, const GifByteType* bytes, int n) {
    auto* out = static_cast<Bytes*>(g->UserData);
    out->insert(out->end(), bytes, bytes + n);
    return n;
  }, &error);
  if (gif == nullptr) return {};
  ColorMapObject* colours = GifMakeMapObject(1 << bitCount, nullptr);
  EGifPutScreenDesc(gif, width, static_cast<int>(rows.size()), bitCount, 0, colours);
  EGifPutImageDesc(gif, 0, 0, width, static_cast<int>(rows.size()), false, nullptr);
  for (Bytes row : rows) EGifPutLine(gif, row.data(), width);
  EGifCloseFile(gif, &error);
  GifFreeMapObject(colours);
  // The data follow the image descriptor and the minimum code size; the trailer ends the file.
  const size_t descriptor = 13 + (3u << bitCount);
  if (file.size() < descriptor + 12 || file[descriptor] != 0x2C) return {};
  return Bytes(file.begin() + static_cast<ptrdiff_t>(descriptor + 11), file.end() - 1);
}
#endif

TEST(GifWriter, ImageDataAreGiflibsWhileTheCodeTableDoesNotFill) {
  // Two encoders that follow the format's rules write the same codes until the table fills
  // (giflib then clears one code earlier). This covers EndCode after a last code that fills
  // the current width, which about one picture in a hundred of these ends with.
  QELVA_SKIP_WITHOUT_GIFLIB();
#ifdef QELVA_HAVE_GIFLIB
  std::mt19937 random(2);
  for (int picture = 0; picture < 3000; ++picture) {
    const uint16_t bitCount = std::array<uint16_t, 3>{1, 4, 8}[picture % 3];
    const int width = 1 + static_cast<int>(random() % 40), height = 1 + static_cast<int>(random() % 12);
    const auto rows = test::MakeRows(width, height, [&](int, int) {
      return static_cast<uint8_t>(random() % 3 == 0 ? 0 : random() & ((1u << bitCount) - 1));
    });
    const DibImage image = test::MakeDib(width, height, bitCount, test::PackRows(rows, width, bitCount));
    const Bytes file = GifFileBytes(image, false, -1);
    const size_t data = 13 + (3u << bitCount) + 10 + 1;
    ASSERT_EQ(Bytes(file.begin() + static_cast<ptrdiff_t>(data), file.end() - 1),
              GiflibImageData(rows, width, bitCount))
        << width << " x " << height << " x " << bitCount;
  }
#endif
}

// Every type of file the converter and the viewer write, for each bit count, read back by two
// independent decoders.
struct PeerCase {
  uint16_t bitCount;
  bool interlaced;
  int16_t transparent;
  int width;
  int height;
};

std::string Name(const PeerCase& c) {
  return std::to_string(c.bitCount) + "Bit" + (c.interlaced ? "Interlaced" : "Plain") +
         (c.transparent >= 0 ? "Transparent" : "") + std::to_string(c.width) + "x" +
         std::to_string(c.height);
}

void PrintTo(const PeerCase& c, std::ostream* os) { *os << Name(c); }

class GifPeerCheck : public ::testing::TestWithParam<PeerCase> {};

void ExpectSamePicture(const test::PeerPicture& decoded, const PeerCase& c, const Bytes& pixels,
                       const char* decoder) {
  SCOPED_TRACE(decoder);
  EXPECT_EQ(decoded.width, c.width);
  EXPECT_EQ(decoded.height, c.height);
  EXPECT_EQ(decoded.paletteRgb, GifTable(1u << c.bitCount));
  EXPECT_EQ(decoded.transparentIndex, c.transparent);
  ASSERT_EQ(decoded.indices.size(), pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) {
    ASSERT_EQ(decoded.indices[i], pixels[i]) << "pixel " << i % static_cast<size_t>(c.width)
                                             << " of row " << i / static_cast<size_t>(c.width);
  }
}

TEST_P(GifPeerCheck, GiflibAndPilGiveBackEveryPixelColourAndTheTransparentIndex) {
  const PeerCase& c = GetParam();
  std::vector<Bytes> rows;
  const DibImage image = MixedPicture(c.width, c.height, c.bitCount, &rows);
  const Bytes pixels = test::Flatten(rows);
  test::TempDir dir;
  const std::string path = dir.File("peer.gif");
  ASSERT_TRUE(WriteGif(path, c.interlaced, c.transparent, image));
  const Bytes file = test::ReadBytes(path);
  EXPECT_EQ(Slice(file, 0, 6), (c.transparent >= 0 ? Bytes{'G', 'I', 'F', '8', '9', 'a'}
                                                   : Bytes{'G', 'I', 'F', '8', '7', 'a'}));
  {
    QELVA_SKIP_WITHOUT_GIFLIB();
    test::PeerPicture decoded;
    ASSERT_TRUE(test::GiflibDecode(file, decoded));
    ExpectSamePicture(decoded, c, pixels, "giflib");
  }
  QELVA_SKIP_WITHOUT_PEER_DECODER();
  test::PeerPicture decoded;
  ASSERT_TRUE(test::PeerDecode(path, decoded));
  ExpectSamePicture(decoded, c, pixels, "python3-pil");
}

std::vector<PeerCase> PeerCases() {
  std::vector<PeerCase> cases;
  for (uint16_t bitCount : {1, 4, 8}) {
    for (int type = 0; type < 4; ++type) {
      cases.push_back({bitCount, type % 2 == 1, static_cast<int16_t>(type >= 2 ? 0 : -1), 301, 37});
    }
  }
  // One pixel, one row, one column, and a picture that fills the code table several times.
  cases.push_back({8, true, 0, 1, 1});
  cases.push_back({4, true, -1, 250, 1});
  cases.push_back({1, true, 0, 1, 23});
  cases.push_back({8, false, -1, 640, 448});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Types, GifPeerCheck, ::testing::ValuesIn(PeerCases()),
                         [](const ::testing::TestParamInfo<PeerCase>& info) { return Name(info.param); });

}  // namespace
}  // namespace qelva
