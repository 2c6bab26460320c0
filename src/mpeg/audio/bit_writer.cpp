#include "mpeg/audio/bit_writer.h"

#include "platform/host/conversion_log.h"

namespace quendrolix {

BitWriter::~BitWriter() {
  Abandon();
}

bool BitWriter::Open(const std::string& path, size_t bufferBytes) {
  if (file_ || bufferBytes == 0) return false;
  if (!out_.Open(path) || !(file_ = out_.Stream())) {
    out_.Discard();
    return false;
  }
  buffer_.assign(bufferBytes, 0);
  used_ = 0;
  pending_ = 0;
  pendingBits_ = 0;
  bitCount_ = 0;
  failed_ = false;
  return true;
}

void BitWriter::PutBits(uint32_t value, int n) {
  if (n > 32) {
    ReportLine("Error: max read/write buffer is %d bits", 32);
    return;
  }
  if (n <= 0) return;
  const uint64_t mask = n == 32 ? 0xFFFFFFFFull : ((1ull << n) - 1);
  pending_ = (pending_ << n) | (value & mask);
  pendingBits_ += n;
  bitCount_ += static_cast<uint64_t>(n);
  while (pendingBits_ >= 8) {
    pendingBits_ -= 8;
    buffer_[used_++] = static_cast<uint8_t>(pending_ >> pendingBits_);
    if (used_ == buffer_.size()) FlushBuffer();
  }
  pending_ &= (1ull << pendingBits_) - 1;
}

void BitWriter::FlushBuffer() {
  if (file_ && used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) failed_ = true;
  used_ = 0;
}

bool BitWriter::Close() {
  if (!file_) return false;
  if (pendingBits_ > 0) PutBits(0, 8 - pendingBits_);
  FlushBuffer();
  file_ = nullptr;  // out_ closes its own stream
  if (!failed_) return out_.Commit();
  out_.Discard();
  return false;
}

void BitWriter::Abandon() {
  file_ = nullptr;
  out_.Discard();
}

}  // namespace quendrolix
