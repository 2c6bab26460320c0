#include "mpeg/system/stream_source.h"

#include <algorithm>

namespace quendrolix {
namespace {

bool IsHexTextByte(uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '\r' || c == '\n' || c == 0x1A;
}

int NibbleOf(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // line ends and Ctrl-Z carry nothing
}

}  // namespace

std::unique_ptr<StreamSource> StreamSource::Open(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return nullptr;
  auto source = std::make_unique<StreamSource>(file);
  source->ownsFile_ = true;
  return source;
}

StreamSource::StreamSource(std::FILE* file) : file_(file) {
  Detect();
}

StreamSource::~StreamSource() {
  if (ownsFile_ && file_) std::fclose(file_);
}

void StreamSource::Detect() {
  if (fseeko(file_, 0, SEEK_END) == 0) {
    off_t end = ftello(file_);
    fileSize_ = end > 0 ? static_cast<uint64_t>(end) : 0;
  }
  fseeko(file_, 0, SEEK_SET);
  // A binary stream fails on its first byte, so this costs nothing for real MPEG input.
  bool allHex = true;
  size_t got;
  while (allHex && (got = std::fread(raw_, 1, sizeof raw_, file_)) > 0) {
    for (size_t i = 0; i < got; ++i) {
      if (!IsHexTextByte(raw_[i])) {
        allHex = false;
        break;
      }
    }
  }
  hexText_ = allHex && fileSize_ > 0;
  fseeko(file_, 0, SEEK_SET);
  position_ = 0;
  rawLength_ = rawPosition_ = 0;
  pendingNibble_ = -1;
}

size_t StreamSource::Read(uint8_t* out, size_t count) {
  if (hexText_) return ReadHex(out, count);
  size_t got = std::fread(out, 1, count, file_);
  position_ += got;
  return got;
}

size_t StreamSource::ReadHex(uint8_t* out, size_t count) {
  size_t produced = 0;
  while (produced < count) {
    if (rawPosition_ >= rawLength_) {
      rawLength_ = std::fread(raw_, 1, sizeof raw_, file_);
      rawPosition_ = 0;
      if (rawLength_ == 0) break;
    }
    int nibble = NibbleOf(raw_[rawPosition_++]);
    if (nibble < 0) continue;
    if (pendingNibble_ < 0) {
      pendingNibble_ = nibble;
    } else {
      out[produced++] = static_cast<uint8_t>(pendingNibble_ << 4 | nibble);
      pendingNibble_ = -1;
    }
  }
  return produced;
}

uint64_t StreamSource::Skip(uint64_t count) {
  if (!hexText_) {
    uint64_t left = fileSize_ > position_ ? fileSize_ - position_ : 0;
    uint64_t step = std::min(count, left);
    if (step == 0) return 0;
    if (fseeko(file_, static_cast<off_t>(position_ + step), SEEK_SET) != 0) return 0;
    position_ += step;
    return step;
  }
  uint8_t scratch[1024];
  uint64_t skipped = 0;
  while (skipped < count) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof scratch, count - skipped));
    size_t got = ReadHex(scratch, want);
    skipped += got;
    if (got < want) break;
  }
  return skipped;
}

}  // namespace quendrolix
