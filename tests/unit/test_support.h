// Small helpers shared by the unit tests: a private temporary folder, files written from and
// read back as bytes, stored DibImages built from readable rows, and the independent peer
// decoder that checks every bitmap the project writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/dib_image.h"

namespace qelva::test {

using Bytes = std::vector<uint8_t>;

// A new, empty folder under the system's temporary folder, removed with everything in it when
// the object goes. Paths are UTF-8, as everywhere in the program.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() joined with name by the platform's separator.
  std::string File(std::string_view name) const;
  // The names of the entries in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

// A UTF-8 path as std::filesystem takes it (on Windows a long one in its \\?\ form), and back.
std::filesystem::path FsPath(const std::string& utf8);
std::string Utf8(const std::filesystem::path& path);

// folder joined with name by the platform's separator (UTF-8).
std::string JoinPath(const std::string& folder, std::string_view name);
// Creates a folder (its parent must exist); fails the calling test when it cannot.
void MakeFolder(const std::string& path);

// Whole-file helpers; they fail the calling test (and return empty) when the file cannot be used.
void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

// The bytes of a little-endian number, for writing expected file contents readably.
Bytes Le16(uint16_t v);
Bytes Le32(uint32_t v);
// Concatenates byte runs: Cat({Le16(1), {0, 0}, ...}).
Bytes Cat(std::initializer_list<Bytes> parts);

// A whole item picture file: a stored palette whose word i is i (so entry i is some colour),
// then 112 x 112 pixels of `fill`.
Bytes ItemPictureFile(uint8_t fill);

// Packs rows of colour indices, top row first, into a stored pixel block: bottom row first,
// 1, 4 or 8 bits per pixel (high bits first), each row padded with zeros to 4 bytes.
Bytes PackRows(const std::vector<Bytes>& rowsTopFirst, int32_t width, uint16_t bitCount);

// Rows of colour indices, top row first, each pixel given by index(x, y).
std::vector<Bytes> MakeRows(int width, int height, const std::function<uint8_t(int, int)>& index);
// The rows laid end to end, as a decoder gives the pixels back.
Bytes Flatten(const std::vector<Bytes>& rows);

// The colour of entry i in MakeDib's table (blue, green, red): all entries differ.
inline uint8_t TableBlue(unsigned i) { return static_cast<uint8_t>(i); }
inline uint8_t TableGreen(unsigned i) { return static_cast<uint8_t>(i * 7 + 3); }
inline uint8_t TableRed(unsigned i) { return static_cast<uint8_t>(255 - i); }

// A DibImage: 40-byte header (width, height, planes 1, bitCount, BI_RGB, image size 0), a
// colour table of 2^bitCount entries (none above 8 bits) coloured as above, and bits as stored.
DibImage MakeDib(int32_t width, int32_t height, uint16_t bitCount, Bytes bits);

// What a peer decoder (python3-pil, giflib) made of a picture file.
struct PeerPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> paletteRgb;  // red, green, blue per entry
  std::vector<uint8_t> indices;     // width x height colour indices, top row first
  int transparentIndex = -1;        // the colour index a GIF names as transparent, or -1
};

// Decodes path with the independent peer decoder. Fails the calling test and returns false when
// the decoder cannot be run or rejects the file.
bool PeerDecode(const std::string& path, PeerPicture& picture);

// A picture as red, green, blue and alpha per pixel, top row first, as a peer decoder gave it.
struct PeerRgba {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
};

// Decodes path to RGBA pixels with python3-pil (peer_decode.py --rgba), or with ImageMagick's
// convert, which reads PNG files through libpng. Each fails the calling test and returns false
// when its decoder cannot be run or rejects the file.
bool PilDecodeRgba(const std::string& path, PeerRgba& picture);
bool MagickDecodeRgba(const std::string& path, PeerRgba& picture);

// Runs pngcheck on a PNG file (chunk order and lengths, CRCs, the zlib stream). Fails the
// calling test and returns false when pngcheck cannot be run or reports an error.
bool PngCheck(const std::string& path);

// Decodes a GIF file's bytes with giflib (linked into the native test program only), rows put
// back in top-down order when the image is interlaced. Fails the calling test and returns false
// when giflib rejects the file or the file holds other than one image.
bool GiflibDecode(const Bytes& gif, PeerPicture& picture);

}  // namespace qelva::test

// The peer decoder runs python through popen, which does not work in the Windows build under
// Wine; there the peer checks are skipped. Natively a missing decoder is a failure.
#ifdef _WIN32
#define QELVA_SKIP_WITHOUT_PEER_DECODER() GTEST_SKIP() << "peer decoder is not run under Windows"
#else
#define QELVA_SKIP_WITHOUT_PEER_DECODER() static_cast<void>(0)
#endif
// giflib is linked into the native test program only (no Windows build of it is packaged).
#ifdef QELVA_HAVE_GIFLIB
#define QELVA_SKIP_WITHOUT_GIFLIB() static_cast<void>(0)
#else
#define QELVA_SKIP_WITHOUT_GIFLIB() GTEST_SKIP() << "giflib is not linked into this build"
#endif
