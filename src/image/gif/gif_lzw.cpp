#include "image/gif/gif_lzw.h"

#include <algorithm>

namespace quendrolix {

GifLzwEncoder::GifLzwEncoder(int minCodeSize)
    : minCodeSize_(std::clamp(minCodeSize, 2, 8)),
      clearCode_(1u << minCodeSize_),
      endCode_(clearCode_ + 1),
      keys_(kHashSize),
      codes_(kHashSize) {}

void GifLzwEncoder::Reset() {
  std::fill(keys_.begin(), keys_.end(), 0u);
  nextCode_ = clearCode_ + 2;
  width_ = minCodeSize_ + 1;
}

void GifLzwEncoder::Put(unsigned code) {
  bitBuffer_ |= static_cast<uint32_t>(code) << bitCount_;
  bitCount_ += width_;
  while (bitCount_ >= 8) {
    out_.push_back(static_cast<uint8_t>(bitBuffer_));
    bitBuffer_ >>= 8;
    bitCount_ -= 8;
  }
}

static inline unsigned Slot(uint32_t key) {
  return (key * 2654435761u) >> 19;  // 13 bits: kHashSize slots
}

int GifLzwEncoder::Find(unsigned prefix, uint8_t next) const {
  uint32_t key = (prefix << 8 | next) + 1;
  for (unsigned slot = Slot(key);; slot = (slot + 1) & (kHashSize - 1)) {
    if (keys_[slot] == key) return codes_[slot];
    if (keys_[slot] == 0) return -1;
  }
}

void GifLzwEncoder::Insert(unsigned prefix, uint8_t next, unsigned code) {
  uint32_t key = (prefix << 8 | next) + 1;
  unsigned slot = Slot(key);
  while (keys_[slot] != 0) slot = (slot + 1) & (kHashSize - 1);
  keys_[slot] = key;
  codes_[slot] = static_cast<uint16_t>(code);
}

std::vector<uint8_t> GifLzwEncoder::Encode(const uint8_t* indices, size_t count) {
  out_.clear();
  out_.reserve(count / 2 + 16);
  bitBuffer_ = 0;
  bitCount_ = 0;
  Reset();
  Put(clearCode_);
  if (count > 0) {
    unsigned prefix = indices[0];
    for (size_t i = 1; i < count; ++i) {
      uint8_t next = indices[i];
      int code = Find(prefix, next);
      if (code >= 0) {
        prefix = static_cast<unsigned>(code);
        continue;
      }
      Put(prefix);
      // The decoder learns this entry one code later than we do, so a code is written
      // at a width that covers every code the decoder may already know plus the one it
      // adds on reading it: grow once nextCode_ passes the current power of two.
      if (nextCode_ < kMaxCodes) {
        Insert(prefix, next, nextCode_++);
        if (nextCode_ > (1u << width_) && width_ < 12) ++width_;
      } else {
        Put(clearCode_);
        Reset();
      }
      prefix = next;
    }
    Put(prefix);
    // The decoder adds an entry on reading that last code; the end code must be written
    // at the width that follows from it.
    if (nextCode_ < kMaxCodes && ++nextCode_ > (1u << width_) && width_ < 12) ++width_;
  }
  Put(endCode_);
  if (bitCount_ > 0) out_.push_back(static_cast<uint8_t>(bitBuffer_));
  bitBuffer_ = 0;
  bitCount_ = 0;
  return std::move(out_);
}

int GifMinCodeSize(unsigned colours) {
  int bits = 2;
  while (bits < 8 && (1u << bits) < colours) ++bits;
  return bits;
}

void AppendGifSubBlocks(std::vector<uint8_t>& out, const std::vector<uint8_t>& data) {
  size_t at = 0;
  while (at < data.size()) {
    size_t n = std::min<size_t>(255, data.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<long>(at),
               data.begin() + static_cast<long>(at + n));
    at += n;
  }
  out.push_back(0);
}

}  // namespace quendrolix
