// The image data of a GIF file: the colour indices of a 1-, 4- or 8-bit picture, taken in GIF
// row order (plain or interlaced), compressed with GIF's variable-length-code LZW and laid out
// as data sub-blocks closed by a block terminator.
//
// The code stream is fixed: it starts with ClearCode, codes grow one bit wider right after code
// 2^w is assigned (up to 12 bits), and when all 4096 codes are taken the next code that does not
// extend a known string is written at 12 bits and followed by ClearCode, after which the
// dictionary starts again. A string being matched runs on across row and pass ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qelva {

struct DibImage;

inline constexpr int kLzwMaxCodeWidth = 12;
inline constexpr int kLzwCodeLimit = 1 << kLzwMaxCodeWidth;  // codes are 0 to 4095
inline constexpr size_t kGifSubBlockData = 255;              // data bytes in a full sub-block

// Called after each row is encoded: rows encoded so far (1 to height, counted across passes),
// the picture's height, and 0.
using LzwProgress = std::function<void(uint32_t rowsDone, uint32_t height, uint32_t zero)>;

// The order in which rows are taken, as passes of (first row, row step) numbered 0 to 4. A
// plain encode runs pass 0 only; an interlaced one runs passes 4, 3, 2 and 1, in that order.
inline constexpr int16_t kInterlaceFirstRow[5] = {0, 1, 2, 4, 0};
inline constexpr int16_t kInterlaceRowStep[5] = {1, 2, 4, 8, 8};

// The LZW minimum code size for a picture's bit count: 2 for 1-bit pictures (GIF has no
// 1-bit codes), otherwise the bit count.
int MinCodeSizeFor(uint16_t bitCount);

// Encodes the pixels of image (1, 4 or 8 bits per pixel, uncompressed, bottom-up rows, blocks at
// least as long as the header says; the caller checks all of this) and appends the data
// sub-blocks and the block terminator to codeBuffer, which grows as far as the stream needs.
// Returns the number of bytes appended (CodeLength). A picture with no pixels gives the stream
// ClearCode, EndCode. Raises std::bad_alloc before anything is appended when the working tables
// cannot be allocated.
size_t LzwEncode(const DibImage& image, int minCodeSize, bool interlaced,
                 const LzwProgress& progress, std::vector<uint8_t>& codeBuffer);

// Each thread keeps its dictionary (2 MiB) from its first encode until it is given back (see
// LzwThreadTables), and takes the dictionary's memory from the system page by page as encodes
// touch it. A thread that is going to encode many pictures calls this first: the whole
// dictionary is then made at once (a single huge page where the system offers them), which costs
// less than the pages one by one once more than a picture or two are encoded, and spares the
// process's other threads the interruptions those pages' first writes would cause. Raises
// std::bad_alloc when it cannot be made.
void PrepareLzwForManyPictures();

// Gives the calling thread's encoder tables back to the system when it goes out of scope (the
// next encode on the thread would make them again). A thread that encodes and then ends holds
// one for as long as it encodes: what a thread keeps is held in storage of its own that runs no
// destructor when the thread ends, since with some C++ runtimes (mingw-w64's emulated thread
// storage) that storage may already be freed by then. Without one, the tables stay until the
// program ends: right for a thread that lives as long as the program.
class LzwThreadTables {
 public:
  LzwThreadTables() = default;
  ~LzwThreadTables();
  LzwThreadTables(const LzwThreadTables&) = delete;
  LzwThreadTables& operator=(const LzwThreadTables&) = delete;
};

}  // namespace qelva
