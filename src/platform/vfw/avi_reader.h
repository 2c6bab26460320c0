#pragma once

// Reading the structure of a RIFF AVI file: headers, stream formats and one sample index
// per stream, from the OpenDML indexes, the 'idx1' index, or, when neither is usable, a
// walk over the 'movi' lists. Every length is checked against the bytes the file has.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/vfw/avi_format.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {

// A file read with pread: no shared position, so several streams can read at once.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  bool Open(const std::string& path);
  uint64_t size() const { return size_; }
  // True when all `bytes` bytes at `offset` were read.
  bool ReadAt(uint64_t offset, void* buffer, size_t bytes) const;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

struct AviChunkRef {
  uint64_t offset;  // of the chunk data
  uint32_t size;
  bool key;
};

struct AviStreamData {
  AVIStreamHeader header{};
  std::vector<uint8_t> format;
  std::string name;
  std::vector<AviChunkRef> chunks;
  // Streams of fixed-size samples (PCM sound): bytes of one sample, and the position of
  // each chunk's first byte in the stream's data. 0 when every chunk is one sample.
  uint32_t sampleSize = 0;
  std::vector<uint64_t> byteStarts;
  uint64_t totalBytes = 0;
  // Samples: chunks, or whole samples of the data.
  uint64_t Length() const { return sampleSize ? totalBytes / sampleSize : chunks.size(); }
};

enum class AviIndexSource { kOpenDml, kIdx1, kScan };

struct AviFileData {
  MainAVIHeader mainHeader{};
  std::vector<AviStreamData> streams;
  AviIndexSource indexSource = AviIndexSource::kScan;
  int riffCount = 0;
};

// Limits that keep damaged files from asking for absurd amounts of memory.
constexpr int kMaxAviStreams = 100;
constexpr uint32_t kMaxFormatBytes = 1 << 20;

// Parses `file`. AVIERR_OK, or AVIERR_BADFORMAT for what is not a usable RIFF AVI,
// AVIERR_MEMORY when the index cannot be held.
HRESULT ParseAviFile(const ReadOnlyFile& file, AviFileData& out);

}  // namespace quendrolix
