#include "mpeg/system/bit_reader.h"

#include <cstring>

#include "platform/host/conversion_log.h"

namespace quendrolix {

bool BitReader::Refill() {
  if (endOfStream_) return false;
  length_ = source_.Read(buffer_, sizeof buffer_);
  bytePos_ = 0;
  bitPos_ = 0;
  if (length_ == 0) endOfStream_ = true;
  return length_ > 0;
}

uint32_t BitReader::Read(int bits) {
  if (bits > kMaxBits) {
    ReportLine("Error: max read/write buffer is %d bits", kMaxBits);
    return 0;
  }
  uint32_t value = 0;
  while (bits > 0) {
    if (bytePos_ >= length_ && !Refill()) return bits >= 32 ? 0 : value << bits;
    int available = 8 - bitPos_;
    int take = available < bits ? available : bits;
    uint32_t chunk = (buffer_[bytePos_] >> (available - take)) & ((1u << take) - 1);
    value = (value << take) | chunk;
    bits -= take;
    bitPos_ += take;
    consumed_ += take;
    if (bitPos_ == 8) {
      bitPos_ = 0;
      ++bytePos_;
    }
  }
  return value;
}

void BitReader::AlignToByte() {
  if (bitPos_ == 0) return;
  consumed_ += 8 - bitPos_;
  bitPos_ = 0;
  ++bytePos_;
}

bool BitReader::NextStartCode() {
  AlignToByte();
  // The last bytes read, newest lowest; starts as a value no prefix can match before three
  // bytes have come in.
  uint32_t window = 0xFFFFFF;
  for (;;) {
    if (bytePos_ >= length_ && !Refill()) return false;
    size_t i = bytePos_;
    // The first two bytes of a buffer complete a prefix that may have begun in the last one.
    while (i < length_ && i < bytePos_ + 2) {
      window = (window << 8) | buffer_[i++];
      if ((window & 0xFFFFFF) == 1) {
        Advance(i - bytePos_);
        return true;
      }
    }
    // Further on both zeros of a prefix lie in this buffer: look for its 01 byte directly.
    while (i < length_) {
      const void* hit = std::memchr(buffer_ + i, 0x01, length_ - i);
      if (!hit) {
        window = uint32_t{buffer_[length_ - 2]} << 8 | buffer_[length_ - 1];
        i = length_;
        break;
      }
      size_t k = static_cast<size_t>(static_cast<const uint8_t*>(hit) - buffer_);
      i = k + 1;
      if (buffer_[k - 1] == 0 && buffer_[k - 2] == 0) {
        Advance(i - bytePos_);
        return true;
      }
      window = uint32_t{buffer_[k - 1]} << 8 | 0x01;
    }
    Advance(i - bytePos_);
  }
}

uint64_t BitReader::SkipBytes(uint64_t count) {
  AlignToByte();
  uint64_t inBuffer = length_ > bytePos_ ? length_ - bytePos_ : 0;
  if (count <= inBuffer) {
    Advance(static_cast<size_t>(count));
    return count;
  }
  Advance(static_cast<size_t>(inBuffer));
  uint64_t skipped = inBuffer + source_.Skip(count - inBuffer);
  consumed_ += 8 * (skipped - inBuffer);
  length_ = bytePos_ = 0;
  if (skipped < count) endOfStream_ = true;
  return skipped;
}

}  // namespace quendrolix
