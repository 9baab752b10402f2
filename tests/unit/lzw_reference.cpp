#include "lzw_reference.h"

namespace qelva::test {
namespace {

struct Entry {
  uint16_t suffix = 0;
  uint8_t hash = 0;
  int16_t prefix = -1;
  int16_t length = 0;
};

class SlowEncoder {
 public:
  SlowEncoder(int minCodeSize, size_t capacity)
      : clearCode_(1 << minCodeSize),
        minCodeSize_(minCodeSize),
        buckets_(256 * 4097),
        buffer_(capacity, 0) {
    ResetBuckets();
    nextCode_ = clearCode_ + 2;
    codeWidth_ = minCodeSize + 1;
    for (int i = 0; i < clearCode_; ++i) {
      table_[i] = Entry{static_cast<uint16_t>(i), static_cast<uint8_t>(i + 1), -1, 1};
    }
    table_[clearCode_].length = 0;
    table_[clearCode_ + 1].length = 0;
    PutCode(clearCode_);
  }

  void Pixel(int v) {
    if (current_ < 0) {
      current_ = v;
      return;
    }
    const int c = FindString(current_, v);
    if (c != -1) {
      current_ = c;
      return;
    }
    PutCode(current_);
    if (nextCode_ >= 4096) {
      ResetBuckets();
      PutCode(clearCode_);
      nextCode_ = clearCode_ + 2;
      codeWidth_ = minCodeSize_ + 1;
    } else {
      Entry& e = table_[nextCode_];
      e.suffix = static_cast<uint16_t>(v);
      e.hash = static_cast<uint8_t>(v + table_[current_].hash + 1);
      e.prefix = static_cast<int16_t>(current_);
      e.length = static_cast<int16_t>(table_[current_].length + 1);
      int16_t* list = &buckets_[e.hash * 4097];
      list[list[0]++] = static_cast<int16_t>(nextCode_);
      ++nextCode_;
      if (nextCode_ > (1 << codeWidth_)) ++codeWidth_;
    }
    current_ = v;
  }

  std::vector<uint8_t> Finish() {
    if (current_ >= 0) {
      PutCode(current_);
      // EndCode at the width a decoder reads it: it adds a string for the last code too.
      if (nextCode_ == (1 << codeWidth_) && codeWidth_ < 12) ++codeWidth_;
    }
    PutCode(clearCode_ + 1);
    if (bitPos_ > 0) ++codeLength_;
    if (codeLength_ % 256 == 1 && codeLength_ > 1) {
      // The data filled the last sub-block: the count byte reserved after it is the terminator.
      buffer_.at(codeLength_ - 1) = 0;
    } else {
      const size_t lastCount = (codeLength_ - 1) / 256 * 256;
      buffer_.at(lastCount) = static_cast<uint8_t>(codeLength_ - lastCount - 1);
      buffer_.at(codeLength_++) = 0;
    }
    buffer_.resize(codeLength_);
    return buffer_;
  }

 private:
  void ResetBuckets() {
    for (int h = 0; h < 256; ++h) buckets_[h * 4097] = 1;
  }

  int FindString(int prefix, int pixel) const {
    const int h = (pixel + table_[prefix].hash + 1) % 256;
    const int16_t* list = &buckets_[h * 4097];
    for (int slot = 1; slot < list[0]; ++slot) {
      const int c = list[slot];
      if (table_[c].suffix != pixel || table_[c].length != table_[prefix].length + 1) continue;
      int a = table_[c].prefix, b = prefix;
      bool same = true;
      while (a != -1) {
        if (table_[a].suffix != table_[b].suffix) {
          same = false;
          break;
        }
        a = table_[a].prefix;
        b = table_[b].prefix;
      }
      if (same) return c;
    }
    return -1;
  }

  void PutCode(int code) {
    int remaining = codeWidth_;
    while (remaining > 0) {
      buffer_.at(codeLength_) |= static_cast<uint8_t>(code << bitPos_);
      const int taken = 8 - bitPos_;
      bitPos_ += remaining;
      code >>= taken;
      remaining -= taken;
      if (bitPos_ >= 8) {
        ++codeLength_;
        if (codeLength_ % 256 == 0) {
          buffer_.at(codeLength_ - 256) = 255;
          ++codeLength_;
        }
        bitPos_ = 0;
      }
    }
  }

  const int clearCode_;
  const int minCodeSize_;
  Entry table_[4096];
  std::vector<int16_t> buckets_;
  std::vector<uint8_t> buffer_;
  int nextCode_ = 0;
  int codeWidth_ = 0;
  int current_ = -1;
  size_t codeLength_ = 1;
  int bitPos_ = 0;
};

int PixelAt(const uint8_t* row, int bitCount, int x) {
  if (bitCount == 8) return row[x];
  if (bitCount == 4) return x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

}  // namespace

std::vector<uint8_t> ReferenceLzwEncode(const DibImage& image, int minCodeSize, bool interlaced) {
  const int width = image.Width(), height = image.Height(), bitCount = image.BitCount();
  const size_t stride = static_cast<size_t>(DibRowStride(width, bitCount));
  // Never more than two 12-bit codes per pixel, plus the first and last codes and the count bytes.
  const size_t capacity = 4 * static_cast<size_t>(width) * height + 64;
  SlowEncoder encoder(minCodeSize, capacity);
  static const int kFirst[5] = {0, 1, 2, 4, 0};
  static const int kStep[5] = {1, 2, 4, 8, 8};
  auto pass = [&](int p) {
    for (int y = kFirst[p]; y < height; y += kStep[p]) {
      const uint8_t* row = image.bits.data() + static_cast<size_t>(height - 1 - y) * stride;
      for (int x = 0; x < width; ++x) encoder.Pixel(PixelAt(row, bitCount, x));
    }
  };
  if (interlaced) {
    for (int p = 4; p >= 1; --p) pass(p);
  } else {
    pass(0);
  }
  return encoder.Finish();
}

DecodedLzw DecodeLzw(const std::vector<uint8_t>& data, size_t offset, int minCodeSize) {
  DecodedLzw result;
  // Gather the sub-blocks.
  std::vector<uint8_t> bytes;
  size_t at = offset;
  for (;;) {
    if (at >= data.size()) {
      result.error = "data end before the block terminator";
      return result;
    }
    const size_t n = data[at++];
    if (n == 0) break;
    if (at + n > data.size()) {
      result.error = "sub-block runs past the data";
      return result;
    }
    bytes.insert(bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                 data.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  }
  result.blockBytes = at - offset;

  const uint32_t clear = 1u << minCodeSize, end = clear + 1;
  std::vector<int32_t> prefix(4096, -1);
  std::vector<uint8_t> suffix(4096, 0);
  for (uint32_t i = 0; i < clear; ++i) suffix[i] = static_cast<uint8_t>(i);
  auto stringOf = [&](uint32_t code) {
    std::vector<uint8_t> s;
    for (int32_t c = static_cast<int32_t>(code); c != -1; c = prefix[c]) s.push_back(suffix[c]);
    return std::vector<uint8_t>(s.rbegin(), s.rend());
  };

  int width = minCodeSize + 1;
  uint32_t next = clear + 2;
  int32_t previous = -1;
  size_t bitPos = 0;
  for (;;) {
    if (bitPos + width > bytes.size() * 8) {
      result.error = "the codes end without EndCode";
      return result;
    }
    uint32_t code = 0;
    for (int i = 0; i < width; ++i, ++bitPos) {
      code |= static_cast<uint32_t>((bytes[bitPos / 8] >> (bitPos % 8)) & 1) << i;
    }
    result.codes.push_back({code, width});
    if (code == clear) {
      width = minCodeSize + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (code == end) break;
    std::vector<uint8_t> s;
    if (previous == -1) {
      if (code >= clear) {
        result.error = "first code after ClearCode is not a root: " + std::to_string(code);
        return result;
      }
      s = stringOf(code);
    } else {
      if (code < next) {
        s = stringOf(code);
      } else if (code == next && next < 4096) {
        s = stringOf(static_cast<uint32_t>(previous));
        s.push_back(s[0]);
      } else {
        result.error = "code " + std::to_string(code) + " past the table (" + std::to_string(next) + ")";
        return result;
      }
      if (next < 4096) {
        prefix[next] = previous;
        suffix[next] = s[0];
        ++next;
        if (next == (1u << width) && width < 12) ++width;
      }
    }
    result.pixels.insert(result.pixels.end(), s.begin(), s.end());
    previous = static_cast<int32_t>(code);
  }
  if ((bitPos + 7) / 8 != bytes.size()) {
    result.error = "data bytes follow EndCode";
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace qelva::test
