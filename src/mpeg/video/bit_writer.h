#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace quendrolix {

// Writes bits most significant first. Whole bytes go to the file (when one is given)
// through an internal buffer, or stay in memory for the tests. The bit count is
// 8 x bytes written + bits pending in the last byte.
class VideoBitWriter {
 public:
  explicit VideoBitWriter(std::FILE* file = nullptr);
  ~VideoBitWriter();
  VideoBitWriter(const VideoBitWriter&) = delete;
  VideoBitWriter& operator=(const VideoBitWriter&) = delete;

  // The n (0..32) low bits of value.
  void PutBits(uint32_t value, int n) {
    if (n <= 0) return;
    uint64_t v = value & (n == 32 ? 0xFFFFFFFFull : ((1ull << n) - 1));
    if (n <= free_) {
      acc_ |= v << (free_ - n);
      free_ -= n;
      if (free_ <= 32) Drain();
      return;
    }
    PutSlow(v, n);
  }
  // Zero bits up to the next byte boundary.
  void AlignBits();
  uint64_t BitCount() const { return 8 * (flushed_ + buffer_.size()) + (64 - free_); }
  // Writes the pending whole bytes to the file; the partial byte stays.
  void Flush();
  bool WriteFailed() const { return failed_; }
  // Overwrites n (1..32) bits at a position already written (whole bytes only: the bits
  // must not reach the pending byte). Bytes already in the file are read back, so a file
  // must be open for update ("w+b"). Headers whose values are known only at the end of the
  // stream are settled this way.
  void Patch(uint64_t bitPosition, uint32_t value, int n);
  // Starts again from nothing (memory mode: trial codings that are only counted).
  void Reset() {
    buffer_.clear();
    flushed_ = 0;
    acc_ = 0;
    free_ = 64;
  }
  // Everything written so far (memory mode only), with the partial byte zero-padded.
  std::vector<uint8_t> Bytes() const;

 private:
  void Drain();
  void PutSlow(uint64_t value, int n);

  std::FILE* file_;
  std::vector<uint8_t> buffer_;
  uint64_t flushed_ = 0;  // bytes already handed to the file
  uint64_t acc_ = 0;      // pending bits, left-aligned
  int free_ = 64;         // free positions in acc_
  bool failed_ = false;
};

}  // namespace quendrolix
