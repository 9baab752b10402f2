// Edit > Copy hands the shown picture to other programs as one CF_DIB block, the 8-bit one as the
// decoders made it and a composed one as 24-bit rows. Edit > Paste takes a block from other
// programs and refuses, without a word and without harm, whatever it cannot lay as a picture.

#include <random>

#include "harness/clipboard.h"
#include "harness/viewer_test.h"

namespace qelva::e2e {
namespace {

std::wstring CaptionWithBits(const Decoded& picture, int bits) {
  return L"QelvaView " + Widen(picture.name) + L" (" + std::to_wstring(picture.image.Width()) +
         L"x" + std::to_wstring(picture.image.Height()) + L"x" + std::to_wstring(bits) + L")";
}

uint32_t Field32(const Bytes& block, size_t at) {
  return static_cast<uint32_t>(block[at]) | (static_cast<uint32_t>(block[at + 1]) << 8) |
         (static_cast<uint32_t>(block[at + 2]) << 16) | (static_cast<uint32_t>(block[at + 3]) << 24);
}

uint16_t Field16(const Bytes& block, size_t at) {
  return static_cast<uint16_t>(block[at] | (block[at + 1] << 8));
}

// Where two blocks first differ.
::testing::AssertionResult SameBytes(const Bytes& got, const Bytes& want, const char* what) {
  if (got == want) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  auto failure = ::testing::AssertionFailure();
  failure << what << ": " << got.size() << " bytes, expected " << want.size();
  if (i < got.size() && i < want.size()) {
    failure << "; first difference at byte " << i << ": " << int(got[i]) << ", expected "
            << int(want[i]);
  }
  return failure;
}

class Clipboard : public ViewerTest {};

TEST_F(Clipboard, CopyGivesTheEightBitPictureAndAfterAnOverlayItsTwentyFourBitComposition) {
  Decoded item;
  const Decoded laid = DecodeSample(L"ITEM02.BIN");
  ASSERT_FALSE(laid.image.Empty()) << laid.failure;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(item.image.Width(), 112);
  ASSERT_EQ(item.image.Height(), 112);
  ASSERT_EQ(item.image.info.size(), kDecoderInfoSize);

  // The 8-bit picture: the header as the decoder made it, the whole table, the rows.
  Bytes copied;
  ASSERT_TRUE(CopyWithMenu(main, copied));
  Bytes expected = item.image.info;
  expected.insert(expected.end(), item.image.bits.begin(), item.image.bits.end());
  EXPECT_EQ(copied.size(), kDibHeaderSize + 4 * 256 + DibRowStride(112, 8) * 112);
  EXPECT_TRUE(SameBytes(copied, expected, "the copied 8-bit block"));

  // Another item laid over the whole picture; a click beside the picture lays it.
  ASSERT_TRUE(AddOpenWithMenu(main, SamplePath(L"ITEM02.BIN")));
  ASSERT_TRUE(OverlayComesAt(main, {0, 0, 112, 112}));
  RECT client{};
  GetClientRect(main, &client);
  ASSERT_GT(client.right, 140) << "no room beside the picture to click";
  ASSERT_TRUE(ClickInClient(main, {(112 + client.right) / 2, 60}));
  ASSERT_TRUE(OverlayGoes(main));
  EXPECT_EQ(Narrow(WaitForCaption(main, CaptionWithBits(item, 24))),
            Narrow(CaptionWithBits(item, 24)));

  ColourPicture composed = ColoursOf(item.image);
  LayOver(composed, IndexedOf(laid.image), 0, 0);
  ASSERT_TRUE(CopyWithMenu(main, copied));
  const size_t rows = DibRowStride(112, 24) * 112;
  ASSERT_EQ(copied.size(), kDibHeaderSize + rows) << "a 24-bit block has no colour table";
  EXPECT_EQ(Field32(copied, dib_field::kSize), 40u);
  EXPECT_EQ(static_cast<int32_t>(Field32(copied, dib_field::kWidth)), 112);
  EXPECT_EQ(static_cast<int32_t>(Field32(copied, dib_field::kHeight)), 112);
  EXPECT_EQ(Field16(copied, dib_field::kPlanes), 1);
  EXPECT_EQ(Field16(copied, dib_field::kBitCount), 24);
  EXPECT_EQ(Field32(copied, dib_field::kCompression), kBiRgb);
  EXPECT_EQ(Field32(copied, dib_field::kImageSize), rows);
  // A reader looks for that many table entries before the rows.
  EXPECT_EQ(Field32(copied, dib_field::kColoursUsed), 0u);
  EXPECT_TRUE(SameBytes(Bytes(copied.begin() + kDibHeaderSize, copied.end()), PackedRows(composed),
                        "the copied 24-bit rows"));

  // A further picture laid composes onto the 24-bit one.
  const IndexedPicture pattern = DrawnPattern(38, 24, 16);
  ASSERT_TRUE(PutOnClipboard(CF_DIB, EightBitDib(pattern)));
  ASSERT_TRUE(PasteWithMenu(main));
  ASSERT_TRUE(OverlayComesAt(main, {0, 0, 38, 24}));
  const POINT corner = SnappedCorner({0, 0}, {5, 5}, {55, 75}, 1);
  ASSERT_TRUE(DragInClient(main, {5, 5}, {55, 75}));
  ASSERT_TRUE(OverlayComesAt(main, {corner.x, corner.y, corner.x + 38, corner.y + 24}));
  ASSERT_TRUE(ClickInClient(main, {(112 + client.right) / 2, 60}));
  ASSERT_TRUE(OverlayGoes(main));
  LayOver(composed, pattern, corner.x, corner.y);
  ASSERT_TRUE(CopyWithMenu(main, copied));
  ASSERT_EQ(copied.size(), kDibHeaderSize + rows);
  EXPECT_EQ(Field16(copied, dib_field::kBitCount), 24);
  EXPECT_TRUE(SameBytes(Bytes(copied.begin() + kDibHeaderSize, copied.end()), PackedRows(composed),
                        "the rows after a second picture was laid"));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(CaptionWithBits(item, 24)));
}

// ---- Blocks the paste must refuse ------------------------------------------------------------

struct Block {
  std::string label;
  Bytes bytes;
};

uint32_t Le32(const Bytes& b, size_t at) { return b.size() >= at + 4 ? Field32(b, at) : 0; }

// Whether the block could be taken as a picture to lay by the rules a reader of DIB blocks
// keeps: a block it may take is no hostile one, whatever the viewer makes of it.
bool MightBeTaken(const Bytes& b) {
  if (b.size() < 4) return false;
  const uint32_t headerSize = Le32(b, 0);
  if (headerSize != 40 && headerSize != 64) return false;
  if (b.size() < headerSize) return false;
  const int32_t width = static_cast<int32_t>(Le32(b, dib_field::kWidth));
  const int32_t height = static_cast<int32_t>(Le32(b, dib_field::kHeight));
  const uint16_t bits = Field16(b, dib_field::kBitCount);
  if (Le32(b, dib_field::kCompression) != kBiRgb) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
  if (width <= 0 || height < 0) return false;
  uint64_t colours = Le32(b, dib_field::kColoursUsed);
  if (colours == 0 && bits != 24) colours = uint64_t{1} << bits;
  if (colours > 256) return false;
  uint64_t pixels = DibRowStride(width, bits) * static_cast<uint64_t>(height);
  const uint32_t imageSize = Le32(b, dib_field::kImageSize);
  if (imageSize != 0 && imageSize < pixels) pixels = imageSize;  // the smaller need decides
  return b.size() >= headerSize + 4 * colours + pixels;
}

std::vector<uint32_t> Table(size_t n) {
  std::vector<uint32_t> table;
  for (size_t i = 0; i < n; ++i) table.push_back(static_cast<uint32_t>(i * 0x010203u) & 0xFFFFFF);
  return table;
}

// Each a proper block of its kind, with one thing about it this viewer cannot lay.
std::vector<Block> CraftedBlocks() {
  const IndexedPicture p = DrawnPattern(38, 24, 16);
  const Bytes rows8 = PackedRows(p, 8);
  const Bytes valid = EightBitDib(p);
  std::vector<Block> blocks;
  auto fields = [&] {
    DibFields f;
    f.width = p.width;
    f.height = p.height;
    f.coloursUsed = 16;
    return f;
  };
  auto add = [&](const std::string& label, Bytes bytes) {
    blocks.push_back({label, std::move(bytes)});
  };

  add("a 12-byte core header", BuildCoreDib(38, 24, 8, p.table, rows8));
  for (uint32_t size : {108u, 124u}) {
    DibFields f = fields();
    f.headerSize = size;
    add("a " + std::to_string(size) + "-byte header", BuildDib(f, p.table, rows8));
  }
  for (uint32_t size : {0u, 39u, 41u, 56u, 0xFFFFFFFFu}) {
    DibFields f = fields();
    f.headerSize = size;
    add("the header size " + std::to_string(size), BuildDib(f, p.table, rows8));
  }
  for (uint16_t bits : {32, 16}) {
    DibFields f = fields();
    f.bitCount = bits;
    f.coloursUsed = 0;
    add(std::to_string(bits) + " bits per pixel",
        BuildDib(f, {}, Bytes(DibRowStride(38, bits) * 24, 0x5A)));
  }
  for (uint16_t bits : {0, 2, 7, 9}) {
    DibFields f = fields();
    f.bitCount = bits;
    add("bit count " + std::to_string(bits), BuildDib(f, p.table, rows8));
  }
  {
    DibFields f = fields();
    const Bytes rle = Rle8Rows(p);
    f.compression = kBiRle8;
    f.imageSize = static_cast<uint32_t>(rle.size());
    add("RLE8 compression", BuildDib(f, p.table, rle));
    f.compression = kBiRle4;
    f.bitCount = 4;
    add("RLE4 compression", BuildDib(f, p.table, rle));
    f = fields();
    f.compression = 3;  // BI_BITFIELDS
    add("bit fields", BuildDib(f, p.table, rows8));
  }
  for (uint32_t used : {257u, 300u, 0x40000001u}) {
    DibFields f = fields();
    f.coloursUsed = used;
    add(std::to_string(used) + " colours used", BuildDib(f, Table(used > 300 ? 300 : used), rows8));
  }
  {
    DibFields f = fields();
    f.height = -24;
    add("top-down rows", BuildDib(f, p.table, rows8));
    f = fields();
    f.width = 0;
    add("zero width", BuildDib(f, p.table, rows8));
    f.width = -38;
    add("negative width", BuildDib(f, p.table, rows8));
  }
  add("no rows at all", Bytes(valid.begin(), valid.begin() + 40 + 64));
  add("the last row one byte short", Bytes(valid.begin(), valid.end() - 1));
  add("the colour table cut short", Bytes(valid.begin(), valid.begin() + 40 + 40));
  add("the header alone", Bytes(valid.begin(), valid.begin() + 40));
  add("the header cut short", Bytes(valid.begin(), valid.begin() + 20));
  {
    // Long enough had the table followed at byte 40, but it follows the whole 64-byte header.
    Bytes sixtyFour = EightBitDib(p, 64);
    sixtyFour.resize(sixtyFour.size() - 24);
    add("a 64-byte header whose rows end 24 bytes early", sixtyFour);
  }
  {
    DibFields f = fields();
    f.width = 65536;
    f.height = 65536;  // 2^32 pixels: nothing left in 32 bits
    add("65536 x 65536 pixels", BuildDib(f, p.table, rows8));
    f.width = 0x7FFFFFFF;
    f.height = 0x7FFFFFFF;
    add("the largest width and height", BuildDib(f, p.table, rows8));
    // Rows whose length only fits in 64 bits: 32-bit sums come to a few bytes.
    f.width = 0x40000001;
    f.height = 4;
    add("8-bit rows of 2^30 + 4 bytes", BuildDib(f, p.table, Bytes(64, 7)));
    f = fields();
    f.bitCount = 24;
    f.coloursUsed = 0;
    f.width = 0x55555556;
    f.height = 1;
    add("a 24-bit row of 2^32 + 4 bytes", BuildDib(f, {}, Bytes(64, 7)));
  }
  return blocks;
}

// Random bytes: every length from 0 to 64, most starting with a header size the viewer takes,
// then longer blocks with a plausible header of which one field is wrong.
std::vector<Block> RandomBlocks(int longer) {
  std::mt19937 random(20240611);
  auto byte = [&] { return static_cast<uint8_t>(random()); };
  std::vector<Block> blocks;
  for (size_t length = 0; length <= 64; ++length) {
    Bytes b(length);
    for (uint8_t& x : b) x = byte();
    if (length >= 4 && length % 3 != 0) {
      b[0] = length % 3 == 1 ? 40 : 64;
      b[1] = b[2] = b[3] = 0;
    }
    if (MightBeTaken(b)) b[dib_field::kCompression] |= 1;
    blocks.push_back({"random, " + std::to_string(length) + " bytes", std::move(b)});
  }
  const uint16_t kBits[] = {1, 4, 8, 24};
  for (int n = 0; n < longer; ++n) {
    DibFields f;
    f.headerSize = random() % 2 ? 40 : 64;
    f.width = static_cast<int32_t>(1 + random() % 64);
    f.height = static_cast<int32_t>(1 + random() % 64);
    f.bitCount = kBits[random() % 4];
    f.coloursUsed = f.bitCount == 24 ? 0 : static_cast<uint32_t>(random() % ((1u << f.bitCount) + 1));
    f.planes = static_cast<uint16_t>(random() % 3);
    f.headerFill = byte();
    const uint64_t colours = f.coloursUsed ? f.coloursUsed : (f.bitCount == 24 ? 0 : 1u << f.bitCount);
    const uint64_t pixels = DibRowStride(f.width, f.bitCount) * static_cast<uint64_t>(f.height);
    std::string wrong;
    size_t length = f.headerSize + 4 * colours + pixels;
    switch (random() % 6) {
      case 0: f.compression = 1 + random() % 6; wrong = "compression"; break;
      case 1: f.bitCount = static_cast<uint16_t>(random()); wrong = "bit count"; break;
      case 2: f.height = -f.height; wrong = "top-down"; break;
      case 3: f.width = -static_cast<int32_t>(random() % 100); wrong = "width"; break;
      case 4: f.coloursUsed = 257 + random() % 100000; wrong = "colours used"; break;
      default: length = f.headerSize + random() % (length - f.headerSize); wrong = "cut"; break;
    }
    Bytes b = BuildDib(f, {}, {});
    const size_t header = b.size();
    b.resize(length);
    for (size_t i = header; i < b.size(); ++i) b[i] = byte();
    if (MightBeTaken(b)) continue;  // a random choice that made a block the rules allow
    blocks.push_back({"random, " + wrong + ", " + std::to_string(length) + " bytes", std::move(b)});
  }
  return blocks;
}

// Hundreds of pastes in a row: the keys go out faster than a first menu choice needs.
constexpr int kQuickKeyDelayMs = 25;

TEST_F(Clipboard, PasteRefusesBlocksItCannotLayAndLaysNoPictureButAnEightBitOne) {
  Decoded item;
  HWND main = ShowSample(L"Item01.bin", item);
  ASSERT_NE(main, nullptr);
  const DWORD process = ProcessOf(main);
  const std::wstring caption = CaptionFor(item);

  std::vector<Block> blocks = CraftedBlocks();
  for (Block& b : RandomBlocks(120)) blocks.push_back(std::move(b));
  for (const Block& block : blocks) {
    ASSERT_FALSE(MightBeTaken(block.bytes)) << block.label << " is no hostile block";
    ASSERT_TRUE(PutOnClipboard(CF_DIB, block.bytes)) << block.label;
    ASSERT_TRUE(PasteWithMenu(main, kQuickKeyDelayMs)) << block.label;
    ASSERT_FALSE(PopupMenuOpen()) << block.label << ": the menu is still open, the paste item "
                                  << "was not enabled with a CF_DIB block on the clipboard";
    ASSERT_TRUE(TopLevelWindows(kDialogClass, process).empty()) << block.label << ": a box came up";
    ASSERT_FALSE(OverlayShown(main)) << block.label << " was taken as a picture to lay";
    ASSERT_TRUE(IsWindow(main)) << block.label << " ended the viewer";
    ASSERT_EQ(Narrow(TextOf(main)), Narrow(caption)) << block.label;
  }
  // Nothing is pending: a click on the picture leaves it as it was.
  ASSERT_TRUE(ClickInClient(main, {56, 56}));
  EXPECT_EQ(Narrow(TextOf(main)), Narrow(caption));

  // Pictures of 1, 4 and 24 bits are read and wait as a rectangle, but only an 8-bit one is
  // laid: the click takes the rectangle away and leaves the picture as it was.
  const IndexedPicture pattern = DrawnPattern(21, 13, 16);
  struct Kind {
    uint16_t bits;
    Bytes rows;
    uint32_t coloursUsed;  // 0: as many as the bits give
    size_t tableLength;
  };
  for (const Kind& kind : {Kind{1, PackedRows(pattern, 1), 2, 2},
                           Kind{4, PackedRows(pattern, 4), 0, 16},
                           Kind{24, PackedRows(ColoursOf(pattern)), 0, 0}}) {
    SCOPED_TRACE(std::to_string(kind.bits) + " bits per pixel");
    DibFields f;
    f.width = pattern.width;
    f.height = pattern.height;
    f.bitCount = kind.bits;
    f.coloursUsed = kind.coloursUsed;
    const std::vector<uint32_t> table(pattern.table.begin(),
                                      pattern.table.begin() + static_cast<ptrdiff_t>(kind.tableLength));
    ASSERT_TRUE(PutOnClipboard(CF_DIB, BuildDib(f, table, kind.rows)));
    ASSERT_TRUE(PasteWithMenu(main, kQuickKeyDelayMs));
    ASSERT_TRUE(OverlayComesAt(main, {0, 0, pattern.width, pattern.height}));
    ASSERT_TRUE(ClickInClient(main, {70, 70}));
    ASSERT_TRUE(OverlayGoes(main));
    EXPECT_EQ(Narrow(TextOf(main)), Narrow(caption));
    EXPECT_TRUE(TopLevelWindows(kDialogClass, process).empty()) << "a box came up";
  }
  EXPECT_TRUE(ShowsPictureAt(main, item.image, 1));
}

}  // namespace
}  // namespace qelva::e2e
