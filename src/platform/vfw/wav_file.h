#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/atomic_file.h"
#include "platform/vfw/mmreg.h"
#include "platform/vfw/wave_format.h"

namespace quendrolix {

// A RIFF WAVE file opened for reading. The format chunk is kept as stored (it may be
// longer than WAVEFORMATEX); `format()` gives its first 18 bytes, with a short PCM chunk
// (16 bytes) read as cbSize 0. A data chunk that claims more than the file holds is cut
// to what is there, so truncated recordings still play to their end.
class WavFile {
 public:
  // Null with a reason in `error` when the file cannot be opened or is not a usable WAVE.
  static std::unique_ptr<WavFile> Open(const std::string& path, std::string* error = nullptr);
  ~WavFile();
  WavFile(const WavFile&) = delete;
  WavFile& operator=(const WavFile&) = delete;

  const WAVEFORMATEX& format() const { return format_; }
  const std::vector<uint8_t>& formatBytes() const { return formatBytes_; }
  // PCM proper, or WAVE_FORMAT_EXTENSIBLE whose sub-format is PCM.
  bool IsPcm() const;
  uint64_t dataOffset() const { return dataOffset_; }
  uint64_t dataBytes() const { return dataBytes_; }
  // Whole sample frames (blocks) in the data chunk.
  uint64_t lengthInBlocks() const;
  // Whole sample frames the data chunk's header claims; what is there when the header
  // holds one of the placeholders that streaming writers leave (0, or near 4 GB); never
  // more than twice what is there (CutShortLength).
  uint64_t declaredLengthInBlocks() const;

  // Reads up to `count` blocks starting at block `start` into `buffer` (at most
  // `bufferBytes`). Returns the blocks read (0 at or past the end, -1 on a read error).
  int64_t Read(uint64_t start, uint64_t count, void* buffer, size_t bufferBytes);

 private:
  WavFile() = default;
  std::FILE* file_ = nullptr;
  WAVEFORMATEX format_{};
  std::vector<uint8_t> formatBytes_;
  uint64_t dataOffset_ = 0;
  uint64_t dataBytes_ = 0;
  uint64_t declaredDataBytes_ = 0;
};

// Writes a WAV file as it streams in and fixes the chunk sizes at Close(). The file is
// written under a temporary name beside the target and renamed into place on Close(), so
// an interrupted write never replaces a good file.
class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();  // an unclosed writer removes its temporary file
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // `formatBytes` is the whole format chunk (at least 16 bytes). Compressed sound gets a
  // 'fact' chunk too, holding the samples per channel given by SetFactSamples (readers
  // take the duration from it rather than guessing it from the byte rate).
  bool Open(const std::string& path, const std::vector<uint8_t>& formatBytes);
  void SetFactSamples(uint32_t samples) { factSamples_ = samples; }
  bool Open(const std::string& path, const WAVEFORMATEX& format);
  bool Write(const void* data, size_t bytes);
  bool Close();
  uint64_t dataBytes() const { return dataBytes_; }

 private:
  AtomicFile out_;
  std::FILE* file_ = nullptr;  // out_'s stream while the file is open
  uint64_t dataBytes_ = 0;
  long long factOffset_ = -1;  // of the 'fact' chunk's value, when there is one
  uint32_t factSamples_ = 0;
  bool failed_ = false;
};

}  // namespace quendrolix
