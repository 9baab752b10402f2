#include "export/png.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

#include "common/dib_image.h"
#include "common/errors.h"
#include "common/output_file.h"
#include "export/picture_check.h"

namespace qelva {
namespace {

constexpr std::string_view kMsgCompressed = "圧縮されたﾋﾞｯﾄﾏｯﾌﾟはPNGで保存できません";
constexpr std::string_view kMsgBadSize = "この大きさの画像はPNGで保存できません (%s)";
constexpr std::string_view kMsgDeflateFailed = "PNGの圧縮に失敗しました (zlib %s)";

constexpr std::array<uint8_t, 8> kSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kColourTypeTruecolour = 2;
constexpr uint8_t kColourTypeIndexed = 3;
constexpr uint8_t kFilterNone = 0;
constexpr uint8_t kFilterSub = 1;

// zlib's level 7 with its default window and memory, and each picture's rows filtered None or
// Sub, whichever deflates smaller. Measured on the sample folder's 85 pictures (3.46 million
// pixels): IDAT data of 111,657 bytes at level 7, 102,630 at 8 and 99,504 at 9, against
// 115,311 in the files of ImageMagick's `convert x.bmp x.png` (which also drops the colours a
// picture does not use and renumbers the rest); with None alone level 7 gives 118,720, Sub alone
// 124,271, and a filter chosen per row by the smallest sum of differences 119,571 even at
// level 9. Levels 8 and 9 took 2.6 and 11 times as long as 7 for the whole folder.
// The choice is made on every 8th row of a picture (all rows of a short one): the files then come
// to 182,900 bytes against 182,802 when both filters deflate every row, and the folder converts
// in 40 ms instead of 60 (one job, load from other work on the machine). Level 6 would take 31 ms
// for 188,303 bytes, its pixel data larger than ImageMagick's.
constexpr int kDeflateLevel = 7;
constexpr int32_t kTrialRowStep = 8;
constexpr int kDeflateWindowBits = 15;
constexpr int kDeflateMemLevel = 8;
// zlib counts input in 32-bit numbers: rows are handed over in slices of at most this.
constexpr size_t kDeflateSliceMax = size_t{1} << 30;

bool IsPngBitCount(uint16_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24;
}

void AppendBe32(uint32_t v, std::vector<uint8_t>& out) {
  out.insert(out.end(), {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                         static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
}

// One chunk: its data length, the four-letter type, the data, and the CRC-32 of type and data.
void AppendChunk(const char (&type)[5], const uint8_t* data, size_t length,
                 std::vector<uint8_t>& out) {
  AppendBe32(static_cast<uint32_t>(length), out);
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (length > 0) out.insert(out.end(), data, data + length);
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, &out[typeAt], 4);
  if (length > 0) crc = crc32(crc, data, static_cast<uInt>(length));
  AppendBe32(static_cast<uint32_t>(crc), out);
}

// What a PNG is made from here: 1, 4, 8 or 24 bits per pixel, sides of 31 bits.
const WriterLimits kPngLimits{&IsPngBitCount, INT32_MAX, kMsgCompressed, kMsgBadSize};

void AppendHeader(const DibImage& image, std::vector<uint8_t>& out) {
  std::vector<uint8_t> header;
  AppendBe32(static_cast<uint32_t>(image.Width()), header);
  AppendBe32(static_cast<uint32_t>(image.Height()), header);
  const bool indexed = image.BitCount() <= 8;
  header.push_back(indexed ? static_cast<uint8_t>(image.BitCount()) : 8);
  header.push_back(indexed ? kColourTypeIndexed : kColourTypeTruecolour);
  header.insert(header.end(), {0, 0, 0});  // deflate, adaptive filtering, no interlace
  AppendChunk("IHDR", header.data(), header.size(), out);
}

// PLTE: the DIB's colour table of 2^bits entries as red, green, blue.
void AppendPalette(const DibImage& image, std::vector<uint8_t>& out) {
  std::vector<uint8_t> palette;
  const uint8_t* quad = image.ColourTable();
  for (unsigned i = 0; i < 1u << image.BitCount(); ++i, quad += 4) {
    palette.insert(palette.end(), {quad[2], quad[1], quad[0]});
  }
  AppendChunk("PLTE", palette.data(), palette.size(), out);
}

// tRNS with one alpha value: index 0 is fully transparent; indices past the chunk are opaque.
void AppendIndexZeroTransparent(std::vector<uint8_t>& out) {
  const uint8_t alpha = 0;
  AppendChunk("tRNS", &alpha, 1, out);
}

// Deflates the filtered rows with zlib and cuts the stream into IDAT chunks as it comes.
class IdatWriter {
 public:
  explicit IdatWriter(std::vector<uint8_t>& out) : out_(out), buffer_(kPngIdatChunkData) {
    const int result = deflateInit2(&stream_, kDeflateLevel, Z_DEFLATED, kDeflateWindowBits,
                                    kDeflateMemLevel, Z_DEFAULT_STRATEGY);
    if (result == Z_MEM_ERROR) throw OutOfMemoryError();
    if (result != Z_OK) throw Failure(result);
    ResetBuffer();
  }
  ~IdatWriter() { deflateEnd(&stream_); }
  IdatWriter(const IdatWriter&) = delete;
  IdatWriter& operator=(const IdatWriter&) = delete;

  void Write(const uint8_t* data, size_t n) {
    while (n > 0) {
      const size_t slice = std::min(n, kDeflateSliceMax);
      stream_.next_in = const_cast<Bytef*>(data);
      stream_.avail_in = static_cast<uInt>(slice);
      while (stream_.avail_in > 0) Deflate(Z_NO_FLUSH);
      data += slice;
      n -= slice;
    }
  }

  // Ends the stream and writes the last IDAT chunk.
  void Finish() {
    stream_.next_in = Z_NULL;
    stream_.avail_in = 0;
    while (Deflate(Z_FINISH) != Z_STREAM_END) {
    }
    if (stream_.avail_out < buffer_.size()) EmitChunk();
  }

 private:
  static PictureError Failure(int result) {
    return PictureError(FillMessage(kMsgDeflateFailed, std::to_string(result)));
  }

  int Deflate(int flush) {
    const int result = deflate(&stream_, flush);
    if (result == Z_MEM_ERROR) throw OutOfMemoryError();
    // Z_BUF_ERROR only says that no progress was possible; the full buffer is emptied below.
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) throw Failure(result);
    if (stream_.avail_out == 0) EmitChunk();
    return result;
  }

  void EmitChunk() {
    AppendChunk("IDAT", buffer_.data(), buffer_.size() - stream_.avail_out, out_);
    ResetBuffer();
  }

  void ResetBuffer() {
    stream_.next_out = buffer_.data();
    stream_.avail_out = static_cast<uInt>(buffer_.size());
  }

  std::vector<uint8_t>& out_;
  std::vector<uint8_t> buffer_;
  z_stream stream_{};
};

// One stored row as the PNG holds it before filtering: cut to the bytes the pixels fill (the
// DIB's padding to 4 bytes and the unused low bits of a last byte stay out of the file), and
// for 24 bits turned from the DIB's blue, green, red into red, green, blue.
class RowReader {
 public:
  explicit RowReader(const DibImage& image)
      : image_(image),
        bitCount_(image.BitCount()),
        stride_(static_cast<size_t>(DibRowStride(image.Width(), bitCount_))) {
    const uint64_t rowBits = static_cast<uint64_t>(image.Width()) * bitCount_;
    rowBytes_ = static_cast<size_t>((rowBits + 7) / 8);
    lastByteMask_ = static_cast<uint8_t>(0xFF << (rowBytes_ * 8 - rowBits));
  }

  size_t RowBytes() const { return rowBytes_; }
  // Bytes per whole pixel, at least 1: how far left the Sub filter looks.
  size_t PixelBytes() const { return bitCount_ == 24 ? 3 : 1; }

  // Row y counted from the top into out[0, RowBytes()).
  void Read(int32_t y, uint8_t* out) const {
    const size_t storedRow = static_cast<size_t>(image_.Height() - 1 - y);
    const uint8_t* stored = image_.bits.data() + storedRow * stride_;
    if (bitCount_ == 24) {
      for (size_t x = 0; x < rowBytes_; x += 3) {
        out[x] = stored[x + 2];
        out[x + 1] = stored[x + 1];
        out[x + 2] = stored[x];
      }
    } else {
      uint8_t* end = std::copy(stored, stored + rowBytes_, out);
      if (end != out) end[-1] &= lastByteMask_;
    }
  }

 private:
  const DibImage& image_;
  uint16_t bitCount_;
  size_t stride_;
  size_t rowBytes_;
  uint8_t lastByteMask_;
};

// The IDAT chunks of the picture's rows y = 0, rowStep, 2 rowStep, ..., every row led by the
// same filter type: None, or Sub (each byte less the byte one pixel to its left).
std::vector<uint8_t> ImageDataChunks(const DibImage& image, uint8_t filter, int32_t rowStep = 1) {
  const RowReader reader(image);
  const size_t rowBytes = reader.RowBytes(), left = reader.PixelBytes();
  std::vector<uint8_t> chunks;
  IdatWriter idat(chunks);
  std::vector<uint8_t> raw(rowBytes), row(1 + rowBytes);
  row[0] = filter;
  for (int32_t y = 0; y < image.Height(); y += rowStep) {
    reader.Read(y, raw.data());
    if (filter == kFilterSub) {
      for (size_t i = 0; i < rowBytes; ++i) {
        row[1 + i] = static_cast<uint8_t>(raw[i] - (i >= left ? raw[i - left] : 0));
      }
    } else {
      std::copy(raw.begin(), raw.end(), row.begin() + 1);
    }
    idat.Write(row.data(), row.size());
  }
  idat.Finish();
  return chunks;
}

}  // namespace

std::vector<uint8_t> PngFileBytes(const DibImage& image, bool indexZeroTransparent) {
  CheckWritablePicture(image, kPngLimits);
  const bool indexed = image.BitCount() <= 8;
  std::vector<uint8_t> file(kSignature.begin(), kSignature.end());
  AppendHeader(image, file);
  if (indexed) {
    AppendPalette(image, file);
    if (indexZeroTransparent) AppendIndexZeroTransparent(file);
  }
  // Whichever filter makes the smaller stream of every kTrialRowStep-th row; None when they tie.
  const int32_t step = image.Height() > 4 * kTrialRowStep ? kTrialRowStep : 1;
  const uint8_t filter =
      ImageDataChunks(image, kFilterSub, step).size() < ImageDataChunks(image, kFilterNone, step).size()
          ? kFilterSub
          : kFilterNone;
  const std::vector<uint8_t> data = ImageDataChunks(image, filter);
  file.insert(file.end(), data.begin(), data.end());
  AppendChunk("IEND", nullptr, 0, file);
  return file;
}

void WritePng(const std::string& fileName, bool indexZeroTransparent, const DibImage& image) {
  const std::vector<uint8_t> bytes = PngFileBytes(image, indexZeroTransparent);
  OutputFile file(fileName);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

}  // namespace qelva
