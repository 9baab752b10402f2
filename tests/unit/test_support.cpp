#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "common/byte_order.h"
#include "common/utf8_path.h"
#ifdef _WIN32
#include "common/wide_text_win.h"
#endif

#ifdef QELVA_HAVE_GIFLIB
#include "peer/giflib_reader.h"
#endif

namespace qelva::test {
namespace {

namespace fs = std::filesystem;

}  // namespace

#ifdef _WIN32
// Long paths in their \\?\ form, as the program's own file layer opens them.
fs::path FsPath(const std::string& utf8) { return fs::path(WindowsFilePath(utf8)); }
std::string Utf8(const fs::path& path) { return Utf8FromWindowsFilePath(path.native()); }
#else
fs::path FsPath(const std::string& utf8) { return PathFromUtf8(utf8); }
std::string Utf8(const fs::path& path) { return Utf8FromPath(path); }
#endif

TempDir::TempDir() {
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const fs::path candidate = base / ("qelva-test-" + std::to_string(random()));
    std::error_code error;
    if (fs::create_directory(candidate, error)) path_ = Utf8(candidate);
  }
  if (path_.empty()) ADD_FAILURE() << "cannot create a temporary folder in " << Utf8(base);
}

TempDir::~TempDir() {
  std::error_code error;
  if (!path_.empty()) fs::remove_all(FsPath(path_), error);
}

std::string TempDir::File(std::string_view name) const { return JoinPath(path_, name); }

std::string JoinPath(const std::string& folder, std::string_view name) {
  return Utf8(FsPath(folder) / FsPath(std::string(name)));
}

void MakeFolder(const std::string& path) {
  std::error_code error;
  if (!fs::create_directory(FsPath(path), error)) ADD_FAILURE() << "cannot create folder " << path;
}

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(FsPath(path_))) {
    names.push_back(Utf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return {};
  }
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return fs::exists(FsPath(path), error);
}

Bytes Le16(uint16_t v) {
  Bytes b(2);
  WriteLe16(b.data(), v);
  return b;
}

Bytes Le32(uint32_t v) {
  Bytes b(4);
  WriteLe32(b.data(), v);
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes ItemPictureFile(uint8_t fill) {
  Bytes file(512 + 112 * 112, fill);
  for (unsigned i = 0; i < 256; ++i) {
    file[2 * i] = static_cast<uint8_t>(i >> 8);
    file[2 * i + 1] = static_cast<uint8_t>(i);
  }
  return file;
}

Bytes PackRows(const std::vector<Bytes>& rowsTopFirst, int32_t width, uint16_t bitCount) {
  const size_t stride = static_cast<size_t>(DibRowStride(width, bitCount));
  Bytes bits(stride * rowsTopFirst.size(), 0);
  for (size_t r = 0; r < rowsTopFirst.size(); ++r) {
    const Bytes& row = rowsTopFirst[r];
    EXPECT_EQ(row.size(), static_cast<size_t>(width)) << "row " << r;
    uint8_t* out = &bits[(rowsTopFirst.size() - 1 - r) * stride];
    for (size_t x = 0; x < row.size() && x < static_cast<size_t>(width); ++x) {
      const size_t bit = x * bitCount;
      const unsigned shift = 8 - bitCount - bit % 8;
      out[bit / 8] = static_cast<uint8_t>(out[bit / 8] | row[x] << shift);
    }
  }
  return bits;
}

std::vector<Bytes> MakeRows(int width, int height, const std::function<uint8_t(int, int)>& index) {
  std::vector<Bytes> rows(static_cast<size_t>(height), Bytes(static_cast<size_t>(width)));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = index(x, y);
  }
  return rows;
}

Bytes Flatten(const std::vector<Bytes>& rows) {
  Bytes out;
  for (const Bytes& row : rows) out.insert(out.end(), row.begin(), row.end());
  return out;
}

DibImage MakeDib(int32_t width, int32_t height, uint16_t bitCount, Bytes bits) {
  const unsigned colours = bitCount <= 8 ? 1u << bitCount : 0;
  DibImage image;
  image.info =
      Cat({Le32(40), Le32(static_cast<uint32_t>(width)), Le32(static_cast<uint32_t>(height)),
           Le16(1), Le16(bitCount), Le32(0), Le32(0), Le32(0), Le32(0), Le32(0), Le32(0)});
  for (unsigned i = 0; i < colours; ++i) {
    image.info.insert(image.info.end(), {TableBlue(i), TableGreen(i), TableRed(i), 0});
  }
  image.bits = std::move(bits);
  return image;
}

bool PeerDecode(const std::string& path, PeerPicture& picture) {
#ifdef _WIN32
  ADD_FAILURE() << "the peer decoder is not run under Windows (" << path << ")";
  return false;
#else
  // python3-pil is a Debian package: prefer the system's python over one found first in PATH.
  std::string python = "python3";
  if (const char* chosen = std::getenv("QELVA_PYTHON")) {
    python = chosen;
  } else if (FileExists("/usr/bin/python3")) {
    python = "/usr/bin/python3";
  }
  const char* script = std::getenv("QELVA_PEER_DECODER");
  if (script == nullptr) script = QELVA_PEER_DECODER;
  auto quote = [](const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  };
  const std::string command = quote(python) + " " + quote(script) + " " + quote(path);
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return false;
  }
  Bytes out;
  uint8_t chunk[65536];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
    out.insert(out.end(), chunk, chunk + got);
  }
  const int status = ::pclose(pipe);
  if (status != 0) {
    ADD_FAILURE() << "peer decoder failed (status " << status << "): " << command;
    return false;
  }

  const auto newline = std::find(out.begin(), out.end(), uint8_t{'\n'});
  int width = 0, height = 0, colours = 0, transparent = -1;
  const std::string header(out.begin(), newline);
  if (newline == out.end() ||
      std::sscanf(header.c_str(), "%d %d %d %d", &width, &height, &colours, &transparent) != 4 ||
      width < 0 || height < 0 || colours < 0) {
    ADD_FAILURE() << "peer decoder gave no header line for " << path;
    return false;
  }
  const size_t start = static_cast<size_t>(newline - out.begin()) + 1;
  const size_t expected = start + static_cast<size_t>(colours) * 3 +
                          static_cast<size_t>(width) * static_cast<size_t>(height);
  if (out.size() != expected) {
    ADD_FAILURE() << "peer decoder gave " << out.size() << " bytes, expected " << expected;
    return false;
  }
  picture.width = width;
  picture.height = height;
  picture.transparentIndex = transparent;
  picture.paletteRgb.assign(out.begin() + static_cast<ptrdiff_t>(start),
                            out.begin() + static_cast<ptrdiff_t>(start) + colours * 3);
  picture.indices.assign(out.begin() + static_cast<ptrdiff_t>(start) + colours * 3, out.end());
  return true;
#endif
}

#ifndef _WIN32
namespace {

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs command through the shell and collects its standard output; the exit status is returned
// and the pipe is closed on every way out.
int CaptureOutput(const std::string& command, Bytes& out) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  uint8_t chunk[65536];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
    out.insert(out.end(), chunk, chunk + got);
  }
  return ::pclose(pipe);
}

// Debian's own program of the name when it is there, else whichever the PATH finds.
std::string SystemProgram(const std::string& name) {
  const std::string system = "/usr/bin/" + name;
  return FileExists(system) ? system : name;
}

}  // namespace
#endif

bool PilDecodeRgba(const std::string& path, PeerRgba& picture) {
#ifdef _WIN32
  ADD_FAILURE() << "the peer decoder is not run under Windows (" << path << ")";
  return false;
#else
  const char* chosen = std::getenv("QELVA_PYTHON");
  const std::string python = chosen != nullptr ? chosen : SystemProgram("python3");
  const char* script = std::getenv("QELVA_PEER_DECODER");
  if (script == nullptr) script = QELVA_PEER_DECODER;
  const std::string command =
      ShellQuote(python) + " " + ShellQuote(script) + " --rgba " + ShellQuote(path);
  Bytes out;
  const int status = CaptureOutput(command, out);
  const auto newline = std::find(out.begin(), out.end(), uint8_t{'\n'});
  const std::string header(out.begin(), newline);
  int width = -1, height = -1;
  if (status != 0 || newline == out.end() ||
      std::sscanf(header.c_str(), "%d %d", &width, &height) != 2 || width < 0 || height < 0) {
    ADD_FAILURE() << "PIL cannot decode (status " << status << "): " << command;
    return false;
  }
  picture.width = width;
  picture.height = height;
  picture.rgba.assign(newline + 1, out.end());
  if (picture.rgba.size() != 4 * static_cast<size_t>(width) * static_cast<size_t>(height)) {
    ADD_FAILURE() << "PIL gave " << picture.rgba.size() << " bytes for " << width << " x "
                  << height << " pixels: " << command;
    return false;
  }
  return true;
#endif
}

bool MagickDecodeRgba(const std::string& path, PeerRgba& picture) {
#ifdef _WIN32
  ADD_FAILURE() << "ImageMagick is not run under Windows (" << path << ")";
  return false;
#else
  const std::string size =
      ShellQuote(SystemProgram("identify")) + " -format '%w %h' " + ShellQuote(path);
  Bytes sizeText;
  int status = CaptureOutput(size, sizeText);
  sizeText.push_back(0);
  int width = -1, height = -1;
  if (status != 0 ||
      std::sscanf(reinterpret_cast<const char*>(sizeText.data()), "%d %d", &width, &height) != 2) {
    ADD_FAILURE() << "ImageMagick cannot read (status " << status << "): " << size;
    return false;
  }
  const std::string pixels =
      ShellQuote(SystemProgram("convert")) + " " + ShellQuote(path) + " -depth 8 rgba:-";
  picture.rgba.clear();
  status = CaptureOutput(pixels, picture.rgba);
  if (status != 0) {
    ADD_FAILURE() << "ImageMagick cannot decode (status " << status << "): " << pixels;
    return false;
  }
  picture.width = width;
  picture.height = height;
  if (picture.rgba.size() != 4 * static_cast<size_t>(width) * static_cast<size_t>(height)) {
    ADD_FAILURE() << "ImageMagick gave " << picture.rgba.size() << " bytes for " << width
                  << " x " << height << " pixels: " << pixels;
    return false;
  }
  return true;
#endif
}

bool PngCheck(const std::string& path) {
#ifdef _WIN32
  ADD_FAILURE() << "pngcheck is not run under Windows (" << path << ")";
  return false;
#else
  const std::string command = ShellQuote(SystemProgram("pngcheck")) + " -v " + ShellQuote(path);
  Bytes out;
  const int status = CaptureOutput(command, out);
  if (status != 0) {
    ADD_FAILURE() << "pngcheck reports (status " << status << "): "
                  << std::string(out.begin(), out.end());
    return false;
  }
  return true;
#endif
}

#ifdef QELVA_HAVE_GIFLIB
bool GiflibDecode(const Bytes& bytes, PeerPicture& picture) {
  peer::GiflibPicture read;
  std::string error;
  if (!peer::ReadGifWithGiflib(bytes, read, error)) {
    ADD_FAILURE() << error;
    return false;
  }
  picture.width = read.width;
  picture.height = read.height;
  picture.paletteRgb = std::move(read.paletteRgb);
  picture.indices = std::move(read.indices);
  picture.transparentIndex = read.transparentIndex;
  return true;
}
#else
bool GiflibDecode(const Bytes&, PeerPicture&) {
  ADD_FAILURE() << "giflib is not linked into this build";
  return false;
}
#endif

}  // namespace qelva::test
