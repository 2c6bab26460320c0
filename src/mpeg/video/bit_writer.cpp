#include "mpeg/video/bit_writer.h"

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
