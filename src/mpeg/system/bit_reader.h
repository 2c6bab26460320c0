#pragma once

#include <cstdint>

#include "mpeg/system/stream_source.h"

namespace quendrolix {

// Reads an elementary stream most significant bit first through a 4096-byte buffer. Past
// the end it delivers zero bits and raises the end-of-stream flag; the bits it could not
// deliver are not counted as consumed.
class BitReader {
 public:
  static constexpr int kMaxBits = 32;

  explicit BitReader(StreamSource& source) : source_(source) {}

  // Up to 32 bits; asking for more logs "Error: max read/write buffer is 32 bits" and
  // reads nothing.
  uint32_t Read(int bits);
  // Moves to the next byte boundary (nothing when already on one).
  void AlignToByte();
  // Aligns, then reads byte after byte until the last three read are 00 00 01. False when
  // the stream ends first.
  bool NextStartCode();
  // Skips whole bytes from a byte boundary; returns how many were there.
  uint64_t SkipBytes(uint64_t count);

  uint64_t bitsConsumed() const { return consumed_; }
  uint64_t bytePosition() const { return consumed_ / 8; }
  bool endOfStream() const { return endOfStream_; }

 private:
  bool Refill();
  void Advance(size_t bytes) {
    bytePos_ += bytes;
    consumed_ += 8 * static_cast<uint64_t>(bytes);
  }

  StreamSource& source_;
  uint8_t buffer_[4096];
  size_t length_ = 0;   // bytes in the buffer
  size_t bytePos_ = 0;  // current byte in the buffer
  int bitPos_ = 0;      // bits of the current byte already read
  uint64_t consumed_ = 0;
  bool endOfStream_ = false;
};

}  // namespace quendrolix
