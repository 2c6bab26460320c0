#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/host/atomic_file.h"

namespace quendrolix {

// Writes a bit stream to a file through a byte buffer, most significant bit first.
// The bytes go to a temporary file beside the target, which Close() renames into place;
// a writer destroyed without Close() (an aborted conversion) removes its temporary file,
// so a failed run never replaces a good file.
class BitWriter {
 public:
  BitWriter() = default;
  ~BitWriter();
  BitWriter(const BitWriter&) = delete;
  BitWriter& operator=(const BitWriter&) = delete;

  // False when the temporary file cannot be created.
  bool Open(const std::string& path, size_t bufferBytes);
  void PutBit(unsigned bit) { PutBits(bit & 1u, 1); }
  // The low `n` bits of `value`, n at most 32; more is refused with a log line.
  void PutBits(uint32_t value, int n);
  uint64_t BitCount() const { return bitCount_; }
  // Writes what is buffered (a last partial byte padded with zero bits), closes the file
  // and renames it into place. False on any write error, in which case nothing replaces
  // the target.
  bool Close();
  // Closes and removes the temporary file.
  void Abandon();

 private:
  void FlushBuffer();

  AtomicFile out_;
  std::FILE* file_ = nullptr;  // out_'s stream while open
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  uint64_t pending_ = 0;  // bits not yet in a whole byte, right-aligned
  int pendingBits_ = 0;
  uint64_t bitCount_ = 0;
  bool failed_ = false;
};

}  // namespace quendrolix
