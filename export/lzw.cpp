#include "export/lzw.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/byte_order.h"
#include "common/dib_image.h"
#include "common/table_memory.h"

namespace qelva {
namespace {

constexpr int32_t kNotFound = -1;

// The dictionary of strings added since the last ClearCode. Every string is a known string
// (its prefix code) followed by one pixel, so it is named by the key pixel × 4096 + prefix.
// `codeOfKey` remembers, for each key, the code it was last given, and `keyOfCode` the key of
// each code; an answer from codeOfKey counts only when that code is in use now (below NextCode)
// and still carries the key. Stale answers from before a reset therefore fail the check by
// themselves, so a reset costs nothing, and a lookup is one read (the check does not hold up
// the next pixel) whatever the length of the strings. Since a string is added only after a
// lookup for it failed, no string is ever held twice, and the answer is the one a search of all
// strings would give.
//
// The view holds only pointers, so that the encoding loop keeps them in registers.
struct DictionaryView {
  uint16_t* codeOfKey;
  uint32_t* keyOfCode;
  uint16_t* const* rowOfPixel;

  static uint32_t Key(uint32_t prefix, uint32_t pixel) {
    return pixel << kLzwMaxCodeWidth | prefix;
  }

  // The code of the string prefix + pixel, or kNotFound. nextCode is the first unused code.
  int32_t FindString(uint32_t prefix, uint32_t pixel, uint32_t nextCode) const {
    // The row of the pixel is found while the prefix is still being looked up, so the next
    // lookup waits for nothing but this one's read.
    const uint16_t* codesEndingInPixel = rowOfPixel[pixel];
    const uint32_t code = codesEndingInPixel[prefix];
    // Both checks are made and joined into one branch: a string that ends here fails one or
    // the other unpredictably. The table only ever holds codes below 4096, so keyOfCode may be
    // read before the first check is known.
    const bool found = (code < nextCode) & (keyOfCode[code] == Key(prefix, pixel));
    return found ? static_cast<int32_t>(code) : kNotFound;
  }

  void Add(uint32_t code, uint32_t prefix, uint32_t pixel) const {
    const uint32_t key = Key(prefix, pixel);
    codeOfKey[key] = static_cast<uint16_t>(code);
    keyOfCode[code] = key;
  }
};

// The dictionary's storage, made once per thread and kept between encodes: zeroing 2 MiB for
// every picture would take longer than encoding a small one. What an earlier encode left in it
// never shows: codeOfKey's answers are checked as above, and keyOfCode is set for every code
// below NextCode before it is read. Only the codes that are no strings (the roots, ClearCode and
// EndCode) are marked again at the start of each encode, since a root in this encode may have
// been a string in the last one.
//
// codeOfKey is read at random before it is written; see TableMemory and
// PrepareLzwForManyPictures for when its pages are made present.
class Dictionary {
 public:
  explicit Dictionary(bool present)
      : codeOfKey_((size_t{kLzwCodeLimit} << 8) * sizeof(uint16_t), present) {
    auto* codes = static_cast<uint16_t*>(codeOfKey_.data());
    for (size_t pixel = 0; pixel < 256; ++pixel) {
      rowOfPixel_[pixel] = codes + (pixel << kLzwMaxCodeWidth);
    }
  }

  DictionaryView Start(uint32_t firstCode) {
    for (uint32_t code = 0; code < firstCode; ++code) keyOfCode_[code] = kNoKey;
    return DictionaryView{static_cast<uint16_t*>(codeOfKey_.data()), keyOfCode_, rowOfPixel_};
  }
  void MakePresent() { codeOfKey_.MakePresent(); }

 private:
  static constexpr uint32_t kNoKey = UINT32_MAX;

  // Room for every key of 8-bit pixels, which covers the smaller pixels too.
  TableMemory codeOfKey_;
  uint32_t keyOfCode_[kLzwCodeLimit] = {};
  uint16_t* rowOfPixel_[256];
};

// What an encode works in: the dictionary and the room for the packed code stream.
struct Workspace {
  explicit Workspace(bool present) : dictionary(present) {}

  Dictionary dictionary;
  std::unique_ptr<uint8_t[]> stream;
  size_t streamBytes = 0;

  // Room for at least `bytes` of code stream; what an earlier encode left there is overwritten.
  uint8_t* StreamRoom(size_t bytes) {
    if (bytes > streamBytes) {
      stream.reset();
      stream = std::make_unique_for_overwrite<uint8_t[]>(bytes);
      streamBytes = bytes;
    }
    return stream.get();
  }
};

// The workspace one encode uses: the calling thread's own, made at its first encode and kept
// until an LzwThreadTables of the thread gives it back, so that a thread converting many
// pictures allocates (and the system maps) its tables and buffers once; or, while another
// encode on the thread holds that one (a progress callback may start an encode), a new one for
// this encode alone. Raises std::bad_alloc when a workspace cannot be made.
class WorkspaceLease {
 public:
  WorkspaceLease() {
    Shared& shared = ThreadShared();
    if (shared.held) {
      own_ = std::make_unique<Workspace>(false);
      workspace_ = own_.get();
    } else {
      if (!shared.workspace) shared.workspace = new Workspace(false);
      workspace_ = shared.workspace;
      shared.held = true;
    }
  }
  ~WorkspaceLease() {
    if (!own_) ThreadShared().held = false;
  }
  WorkspaceLease(const WorkspaceLease&) = delete;
  WorkspaceLease& operator=(const WorkspaceLease&) = delete;

  Workspace& operator*() const { return *workspace_; }

  // Makes the thread's own workspace now, its dictionary's pages all present.
  static void PrepareThisThread() {
    Shared& shared = ThreadShared();
    if (!shared.workspace) {
      shared.workspace = new Workspace(true);
    } else {
      shared.workspace->dictionary.MakePresent();
    }
  }

  // Frees the thread's own workspace, unless an encode on the thread is using it.
  static void ReleaseThisThread() {
    Shared& shared = ThreadShared();
    if (shared.held) return;
    delete shared.workspace;
    shared.workspace = nullptr;
  }

 private:
  // Trivially destructible on purpose: nothing of it runs when the thread ends (see
  // LzwThreadTables).
  struct Shared {
    Workspace* workspace = nullptr;
    bool held = false;
  };
  static Shared& ThreadShared() {
    thread_local Shared shared;
    return shared;
  }

  std::unique_ptr<Workspace> own_;
  Workspace* workspace_;
};

// The packed code stream before it is cut into sub-blocks: codes appended least significant bit
// first, bits filling each byte from its least significant bit. Bits gather in a 64-bit word
// and leave it four bytes at a time.
class CodeStream {
 public:
  // Takes room for the longest stream that `pixels` pixels can give: ClearCode, one code for
  // each pixel that does not extend the string before it, a ClearCode each time the table
  // fills (at most once per 4096 - 258 such codes), the last string and EndCode, all 12 bits
  // wide at most. The room is the workspace's, kept for the next encode, up to kKeptRoom; a
  // larger stream gets room of its own, given back when it is done. Nothing is written to the
  // room here, so pages the stream never reaches are never touched. Raises std::bad_alloc when
  // the room cannot be had.
  CodeStream(uint64_t pixels, Workspace& workspace) {
    const uint64_t codes = 1 + pixels + pixels / (kLzwCodeLimit - 258) + 1 + 2;
    const uint64_t bytes = (codes * kLzwMaxCodeWidth + 7) / 8 + sizeof(uint32_t);
    if (bytes > SIZE_MAX) throw std::bad_alloc();
    if (bytes <= kKeptRoom) {
      bytes_ = workspace.StreamRoom(static_cast<size_t>(bytes));
    } else {
      own_ = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(bytes));
      bytes_ = own_.get();
    }
  }

  // The writing position, taken into local variables by the encoding loop and handed back.
  struct Cursor {
    uint8_t* out;
    uint64_t bits;  // pending bits, the oldest lowest
    int count;      // how many of them (0 to 31 between codes)

    void PutCode(uint32_t code, int codeWidth) {
      bits |= static_cast<uint64_t>(code) << count;
      count += codeWidth;
      if (count >= 32) {
        WriteLe32(out, static_cast<uint32_t>(bits));
        out += 4;
        bits >>= 32;
        count -= 32;
      }
    }
  };
  Cursor Begin() { return Cursor{bytes_ + used_, pending_, pendingCount_}; }
  void End(const Cursor& cursor) {
    used_ = static_cast<uint64_t>(cursor.out - bytes_);
    pending_ = cursor.bits;
    pendingCount_ = cursor.count;
  }

  // Writes out the last bits; a partly filled byte keeps its high bits 0.
  void Flush() {
    for (; pendingCount_ > 0; pendingCount_ -= 8) {
      bytes_[used_++] = static_cast<uint8_t>(pending_);
      pending_ >>= 8;
    }
    pendingCount_ = 0;
  }

  const uint8_t* data() const { return bytes_; }
  uint64_t size() const { return used_; }

  // The most room a thread keeps between encodes: the stream of a picture of 11 million pixels.
  static constexpr uint64_t kKeptRoom = uint64_t{16} << 20;

 private:
  std::unique_ptr<uint8_t[]> own_;  // room for this stream alone, when it is larger
  uint8_t* bytes_;
  uint64_t used_ = 0;
  uint64_t pending_ = 0;
  int pendingCount_ = 0;
};

// One encode, from ClearCode to EndCode.
class LzwEncoder {
 public:
  LzwEncoder(int minCodeSize, uint64_t pixels)
      : stream_(pixels, *lease_),
        clearCode_(1u << minCodeSize),
        firstCode_(clearCode_ + 2),
        firstWidth_(minCodeSize + 1),
        nextCode_(firstCode_),
        codeWidth_(firstWidth_),
        dictionary_((*lease_).dictionary.Start(firstCode_)) {
    PutCode(clearCode_);
  }

  // Encodes one row of pixel values (each below 2^minCodeSize).
  void EncodeRow(const uint8_t* pixels, size_t count) {
    if (count == 0) return;
    size_t x = 0;
    if (!started_) {
      current_ = pixels[x++];
      started_ = true;
    }
    // Everything the loop touches is local: stores of code bytes cannot change it.
    const DictionaryView dictionary = dictionary_;
    const uint32_t clearCode = clearCode_;
    CodeStream::Cursor cursor = stream_.Begin();
    uint32_t current = current_, nextCode = nextCode_;
    int codeWidth = codeWidth_;
    for (; x < count; ++x) {
      const uint32_t pixel = pixels[x];
      const int32_t found = dictionary.FindString(current, pixel, nextCode);
      if (found != kNotFound) {
        current = static_cast<uint32_t>(found);
        continue;
      }
      cursor.PutCode(current, codeWidth);
      if (nextCode >= static_cast<uint32_t>(kLzwCodeLimit)) {
        // The table is full: nothing is added; ClearCode goes out at the current width (12).
        cursor.PutCode(clearCode, codeWidth);
        nextCode = clearCode + 2;
        codeWidth = firstWidth_;
      } else {
        dictionary.Add(nextCode, current, pixel);
        ++nextCode;
        if (nextCode > (1u << codeWidth)) ++codeWidth;
      }
      current = pixel;
    }
    stream_.End(cursor);
    current_ = current;
    nextCode_ = nextCode;
    codeWidth_ = codeWidth;
  }

  // Writes the string being matched and EndCode, and appends the stream to codeBuffer as data
  // sub-blocks: a count byte before every 255 data bytes or fewer, then the block terminator.
  size_t Finish(std::vector<uint8_t>& codeBuffer) {
    if (started_) {
      PutCode(current_);
      // A decoder adds a string for this last code as for every code before it; when that
      // string takes the last code of the current width, it reads EndCode one bit wider.
      if (nextCode_ == 1u << codeWidth_ && codeWidth_ < kLzwMaxCodeWidth) ++codeWidth_;
    }
    PutCode(clearCode_ + 1);
    stream_.Flush();

    // The stream is never empty (it holds at least two codes), so no sub-block is.
    const uint64_t dataBytes = stream_.size();
    const uint64_t blocks = (dataBytes + kGifSubBlockData - 1) / kGifSubBlockData;
    const uint64_t length = dataBytes + blocks + 1;
    if (codeBuffer.size() + length > codeBuffer.max_size()) throw std::bad_alloc();
    const size_t start = codeBuffer.size();
    // One byte more, so that a GIF's trailer after the data does not move the whole buffer.
    codeBuffer.reserve(start + static_cast<size_t>(length) + 1);
    codeBuffer.resize(start + static_cast<size_t>(length));
    uint8_t* out = codeBuffer.data() + start;
    const uint8_t* data = stream_.data();
    for (uint64_t left = dataBytes; left > 0;) {
      const size_t n = static_cast<size_t>(left < kGifSubBlockData ? left : kGifSubBlockData);
      *out++ = static_cast<uint8_t>(n);
      std::memcpy(out, data, n);
      out += n;
      data += n;
      left -= n;
    }
    *out = 0;
    return static_cast<size_t>(length);
  }

 private:
  void PutCode(uint32_t code) {
    CodeStream::Cursor cursor = stream_.Begin();
    cursor.PutCode(code, codeWidth_);
    stream_.End(cursor);
  }

  const WorkspaceLease lease_;  // first: the members below work in it
  CodeStream stream_;
  const uint32_t clearCode_;
  const uint32_t firstCode_;
  const int firstWidth_;
  uint32_t nextCode_;
  int codeWidth_;
  const DictionaryView dictionary_;
  uint32_t current_ = 0;
  bool started_ = false;  // false until the first pixel: there is no string yet
};

// Spreads a packed row of 1 or 4 bits per pixel into one byte per pixel, leftmost pixel in the
// most significant bits.
void UnpackRow(const uint8_t* row, uint16_t bitCount, size_t width, uint8_t* pixels) {
  if (bitCount == 4) {
    for (size_t x = 0; x < width; ++x) {
      pixels[x] = static_cast<uint8_t>(x & 1 ? row[x / 2] & 0x0F : row[x / 2] >> 4);
    }
  } else {
    for (size_t x = 0; x < width; ++x) pixels[x] = (row[x / 8] >> (7 - x % 8)) & 1;
  }
}

}  // namespace

int MinCodeSizeFor(uint16_t bitCount) { return bitCount == 1 ? 2 : bitCount; }

void PrepareLzwForManyPictures() { WorkspaceLease::PrepareThisThread(); }

LzwThreadTables::~LzwThreadTables() { WorkspaceLease::ReleaseThisThread(); }

size_t LzwEncode(const DibImage& image, int minCodeSize, bool interlaced,
                 const LzwProgress& progress, std::vector<uint8_t>& codeBuffer) {
  const uint16_t bitCount = image.BitCount();
  const size_t width = image.Width() > 0 ? static_cast<size_t>(image.Width()) : 0;
  const uint32_t height = image.Height() > 0 ? static_cast<uint32_t>(image.Height()) : 0;
  const size_t stride = static_cast<size_t>(DibRowStride(static_cast<int64_t>(width), bitCount));

  LzwEncoder encoder(minCodeSize, static_cast<uint64_t>(width) * height);
  std::vector<uint8_t> unpacked(bitCount == 8 ? 0 : width);
  uint32_t rowsDone = 0;
  auto encodePass = [&](int pass) {
    for (uint32_t y = kInterlaceFirstRow[pass]; y < height; y += kInterlaceRowStep[pass]) {
      // Row y from the top is stored (height - 1 - y) rows from the start of the block.
      const uint8_t* row = image.bits.data() + static_cast<size_t>(height - 1 - y) * stride;
      if (bitCount == 8) {
        encoder.EncodeRow(row, width);
      } else {
        UnpackRow(row, bitCount, width, unpacked.data());
        encoder.EncodeRow(unpacked.data(), width);
      }
      ++rowsDone;
      if (progress) progress(rowsDone, height, 0);
    }
  };
  if (interlaced) {
    for (int pass = 4; pass >= 1; --pass) encodePass(pass);
  } else {
    encodePass(0);
  }
  return encoder.Finish(codeBuffer);
}

}  // namespace qelva
