#include "mpeg/video/bit_writer.h"

#include <sys/types.h>

#include <algorithm>
#include <cstdio>

namespace quendrolix {

constexpr size_t kBufferBytes = 1 << 16;

VideoBitWriter::VideoBitWriter(std::FILE* file) : file_(file) {
  buffer_.reserve(file ? kBufferBytes + 16 : kBufferBytes);
}

VideoBitWriter::~VideoBitWriter() = default;

void VideoBitWriter::Drain() {
  // Move every complete byte of the accumulator into the buffer.
  while (free_ <= 56) {
    buffer_.push_back(static_cast<uint8_t>(acc_ >> 56));
    acc_ <<= 8;
    free_ += 8;
  }
  if (file_ && buffer_.size() >= kBufferBytes) Flush();
}

void VideoBitWriter::PutSlow(uint64_t value, int n) {
  Drain();
  acc_ |= value << (free_ - n);
  free_ -= n;
  Drain();
}

void VideoBitWriter::AlignBits() {
  int pending = (64 - free_) & 7;
  if (pending) PutBits(0, 8 - pending);
  Drain();
}

void VideoBitWriter::Flush() {
  // Bits of an incomplete byte stay in the accumulator until it fills or is aligned.
  while (free_ <= 56) {
    buffer_.push_back(static_cast<uint8_t>(acc_ >> 56));
    acc_ <<= 8;
    free_ += 8;
  }
  if (!file_ || buffer_.empty()) return;
  if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) failed_ = true;
  flushed_ += buffer_.size();
  buffer_.clear();
}

void VideoBitWriter::Patch(uint64_t bitPosition, uint32_t value, int n) {
  const uint64_t written = 8 * (flushed_ + buffer_.size());
  if (n <= 0 || n > 32 || bitPosition + n > written) {
    failed_ = true;
    return;
  }
  for (uint64_t bit = bitPosition; bit < bitPosition + n;) {
    const uint64_t index = bit / 8;
    const int offset = static_cast<int>(bit % 8);
    const int take = std::min<int>(8 - offset, static_cast<int>(bitPosition + n - bit));
    const int shift = 8 - offset - take;
    const uint8_t mask = static_cast<uint8_t>(((1u << take) - 1) << shift);
    const uint8_t bits = static_cast<uint8_t>(
        ((value >> (bitPosition + n - bit - take)) & ((1u << take) - 1)) << shift);
    if (index >= flushed_) {
      uint8_t& b = buffer_[index - flushed_];
      b = static_cast<uint8_t>((b & ~mask) | bits);
    } else {
      // In the file already: read, change, write back, and return to the end.
      int c = EOF;
      if (fseeko(file_, static_cast<off_t>(index), SEEK_SET) == 0) c = std::fgetc(file_);
      if (c == EOF || fseeko(file_, static_cast<off_t>(index), SEEK_SET) != 0 ||
          std::fputc((c & ~mask) | bits, file_) == EOF) {
        failed_ = true;
      }
      fseeko(file_, 0, SEEK_END);
    }
    bit += take;
  }
}

std::vector<uint8_t> VideoBitWriter::Bytes() const {
  std::vector<uint8_t> out(buffer_);
  uint64_t acc = acc_;
  for (int bits = 64 - free_; bits > 0; bits -= 8) {
    out.push_back(static_cast<uint8_t>(acc >> 56));
    acc <<= 8;
  }
  return out;
}

}  // namespace quendrolix
