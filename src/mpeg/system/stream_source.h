#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace quendrolix {

// The bytes of an elementary stream as the analysis and the multiplexer see them. A file
// made only of the characters "0"-"9", "A"-"F", carriage return, line feed and Ctrl-Z is
// hexadecimal text, two characters per byte (streams pasted from dumps); anything else is
// read as it is. Both readers go through this, so a hex-text stream is multiplexed from
// the same bytes that were analysed.
class StreamSource {
 public:
  // Null when the file cannot be opened.
  static std::unique_ptr<StreamSource> Open(const std::string& path);
  // Reads from an open file (a memory stream in the fuzz targets); the file stays the
  // caller's. The file must be seekable.
  explicit StreamSource(std::FILE* file);
  ~StreamSource();
  StreamSource(const StreamSource&) = delete;
  StreamSource& operator=(const StreamSource&) = delete;

  bool hexText() const { return hexText_; }
  // Up to `count` stream bytes into `out`; fewer only at the end of the stream or on a
  // read error.
  size_t Read(uint8_t* out, size_t count);
  // Skips up to `count` stream bytes; returns how many were there.
  uint64_t Skip(uint64_t count);

 private:
  void Detect();
  size_t ReadHex(uint8_t* out, size_t count);

  std::FILE* file_ = nullptr;
  bool ownsFile_ = false;
  bool hexText_ = false;
  uint64_t fileSize_ = 0;  // binary: bytes in the file
  uint64_t position_ = 0;  // binary: bytes read or skipped so far
  // Hex text: raw characters not yet decoded.
  uint8_t raw_[4096];
  size_t rawLength_ = 0;
  size_t rawPosition_ = 0;
  int pendingNibble_ = -1;
};

}  // namespace quendrolix
