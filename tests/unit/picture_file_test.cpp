// The writer each file type picks, and what each does with a full-colour picture.
#include "export/picture_file.h"

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "export/bmp.h"
#include "export/gif.h"
#include "export/png.h"
#include "export/rle.h"
#include "test_support.h"

namespace qelva {
namespace {

using test::Bytes;

DibImage EightBit() {
  Bytes bits(16 * 4);
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<uint8_t>(i / 5);
  return test::MakeDib(16, 4, 8, bits);
}

DibImage TwentyFourBit() {
  Bytes bits(12 * 2);
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<uint8_t>(i * 9);
  return test::MakeDib(4, 2, 24, bits);
}

TEST(PictureFile, EachTypeWritesWhatItsWriterWritesAlone) {
  const test::TempDir dir;
  for (int t = 0; t < kPictureFileTypeCount; ++t) {
    const auto type = static_cast<PictureFileType>(t);
    DibImage image = EightBit();
    const std::string path = dir.File("p" + std::to_string(t) + std::string(FileExtensionOf(type)));
    ASSERT_TRUE(WritePictureFile(path, type, image)) << t;

    Bytes expected;
    DibImage source = EightBit();
    if (const auto gif = GifArgumentsOf(type)) {
      expected = GifFileBytes(source, gif->interlaced, gif->transparentIndex);
    } else if (IsPngType(type)) {
      expected = PngFileBytes(source, type == PictureFileType::kPngTransparent);
    } else {
      DibImage encoded;
      const std::string reference = dir.File("reference.bmp");
      if (type == PictureFileType::kRle) {
        ASSERT_TRUE(EncodeRle8(source, encoded));
        WriteBitmapFile(reference, encoded);
      } else {
        WriteBitmapFile(reference, source);
      }
      expected = test::ReadBytes(reference);
    }
    EXPECT_EQ(test::ReadBytes(path), expected) << "type " << t + 1;
  }
}

TEST(PictureFile, AFullColourPictureIsABitmapUnderBothBitmapTypesAndNoGifAtAll) {
  const test::TempDir dir;
  DibImage plain = TwentyFourBit();
  WriteBitmapFile(dir.File("plain.bmp"), plain);
  DibImage image = TwentyFourBit();
  ASSERT_TRUE(WritePictureFile(dir.File("rle.bmp"), PictureFileType::kRle, image));
  const Bytes written = test::ReadBytes(dir.File("rle.bmp"));
  EXPECT_EQ(written, test::ReadBytes(dir.File("plain.bmp")));
  ASSERT_GE(written.size(), 54u);
  EXPECT_EQ(ReadLe16(&written[14 + dib_field::kBitCount]), 24);
  EXPECT_EQ(ReadLe32(&written[14 + dib_field::kCompression]), kBiRgb);

  // A GIF type refuses it before anything is created or replaced.
  test::WriteBytes(dir.File("old.gif"), {'o', 'l', 'd'});
  for (auto type : {PictureFileType::kGif, PictureFileType::kGifInterlaced,
                    PictureFileType::kGifTransparent, PictureFileType::kGifTransparentInterlaced}) {
    DibImage full = TwentyFourBit();
    EXPECT_FALSE(WritePictureFile(dir.File("old.gif"), type, full));
    EXPECT_FALSE(WritePictureFile(dir.File("new.gif"), type, full));
  }
  EXPECT_EQ(test::ReadBytes(dir.File("old.gif")), (Bytes{'o', 'l', 'd'}));
  EXPECT_FALSE(test::FileExists(dir.File("new.gif")));
  EXPECT_EQ(dir.Names().size(), 3u) << "no temporary file is left behind";
}

TEST(PictureFile, PngTypesComeAfterTheSaveDialogsSixAndWriteTruecolourForFullColour) {
  EXPECT_EQ(static_cast<int>(PictureFileType::kPng), kSaveDialogTypeCount);
  EXPECT_EQ(static_cast<int>(PictureFileType::kPngTransparent), kSaveDialogTypeCount + 1);
  EXPECT_EQ(kPictureFileTypeCount, kSaveDialogTypeCount + 2);
  for (int t = 0; t < kPictureFileTypeCount; ++t) {
    const auto type = static_cast<PictureFileType>(t);
    EXPECT_EQ(IsPngType(type), t >= kSaveDialogTypeCount) << t;
    if (IsPngType(type)) {
      EXPECT_EQ(FileExtensionOf(type), ".png");
      EXPECT_FALSE(GifArgumentsOf(type).has_value());
    }
  }

  const test::TempDir dir;
  for (auto type : {PictureFileType::kPng, PictureFileType::kPngTransparent}) {
    DibImage full = TwentyFourBit();
    const std::string path = dir.File("full" + std::to_string(static_cast<int>(type)) + ".png");
    ASSERT_TRUE(WritePictureFile(path, type, full));
    const Bytes written = test::ReadBytes(path);
    ASSERT_GT(written.size(), 33u);
    EXPECT_EQ(written[8 + 8 + 8], 8) << "bit depth";
    EXPECT_EQ(written[8 + 8 + 9], 2) << "colour type: truecolour";
    EXPECT_EQ(written, PngFileBytes(TwentyFourBit(), false));
  }
}

}  // namespace
}  // namespace qelva
