#include "mpeg/audio/bit_writer.h"

#include <filesystem>

#include "platform/host/conversion_log.h"
#include "platform/host/temp_names.h"

namespace quendrolix {
namespace fs = std::filesystem;

BitWriter::~BitWriter() {
  Abandon();
}

bool BitWriter::Open(const std::string& path, size_t bufferBytes) {
  if (file_ || bufferBytes == 0) return false;
  fs::path target(path);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // A hidden name in the target's own folder, so the final rename stays on one file system.
  fs::path temp = UniqueFileIn(folder, "." + target.filename().string(), ".part");
  if (temp.empty()) return false;
  file_ = std::fopen(temp.c_str(), "wb");
  if (!file_) {
    std::error_code ec;
    fs::remove(temp, ec);
    return false;
  }
  path_ = path;
  tempPath_ = temp.string();
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
  bool ok = !failed_;
  ok = std::fflush(file_) == 0 && ok;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  std::error_code ec;
  if (ok) {
    fs::rename(tempPath_, path_, ec);
    ok = !ec;
  }
  if (!ok) fs::remove(tempPath_, ec);
  tempPath_.clear();
  return ok;
}

void BitWriter::Abandon() {
  if (!file_) return;
  std::fclose(file_);
  file_ = nullptr;
  std::error_code ec;
  fs::remove(tempPath_, ec);
  tempPath_.clear();
}

}  // namespace quendrolix
