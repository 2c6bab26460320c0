#pragma once

// Writes a RIFF AVI file chunk by chunk. The headers are laid out when the first chunk
// comes (every stream and format must be known by then) and completed by Finish().
// A RIFF that would grow past the limit (1 GiB) is closed and the file goes on in an
// 'AVIX' RIFF: each RIFF then carries 'ix##' standard indexes, the stream lists get
// 'indx' super indexes and the header list an 'odml' list, written into space reserved
// as JUNK up front. The first RIFF always ends with a legacy 'idx1'.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/vfw/avi_format.h"

namespace quendrolix {

class AviWriter {
 public:
  AviWriter() = default;
  ~AviWriter();  // an unfinished writer closes its file (the caller removes it)
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  bool Create(const std::string& path);
  // Adds a stream before the first chunk; its number, or -1.
  int AddStream(const AVIStreamHeader& header, const std::string& name);
  // Sets a stream's format: any size before the first chunk, the same size after it.
  bool SetFormat(int stream, const std::vector<uint8_t>& format);
  bool laidOut() const { return laidOut_; }
  bool HasFormat(int stream) const { return !streams_[stream].format.empty(); }
  int streamCount() const { return static_cast<int>(streams_.size()); }
  // Appends one chunk of `stream` holding `samples` samples.
  bool WriteChunk(int stream, const void* data, uint32_t size, bool key, uint32_t samples);
  uint64_t StreamLength(int stream) const { return streams_[stream].length; }
  // The stream header as it will be written (dwLength and the buffer size are filled in
  // by Finish); changes count until the first chunk.
  AVIStreamHeader& Header(int stream) { return streams_[stream].header; }
  // Completes the headers and indexes and closes the file.
  bool Finish();
  bool failed() const { return failed_; }
  int riffCount() const { return riffCount_; }

  // The RIFF size past which the file continues in a new RIFF; tests lower it to see
  // OpenDML files without writing gigabytes.
  static void SetRiffLimitForTesting(uint64_t bytes);
  static constexpr uint64_t kDefaultRiffLimit = uint64_t{1} << 30;
  // Stream lists reserve room for this many super-index entries (one per RIFF).
  static constexpr uint32_t kSuperIndexEntries = 256;

 private:
  struct Entry {
    uint64_t offset;  // of the chunk data
    uint32_t size;
    bool key;
    uint32_t samples;
  };
  struct Stream {
    AVIStreamHeader header{};
    std::string name;
    std::vector<uint8_t> format;
    FOURCC chunkId = 0;
    std::vector<Entry> entries;
    size_t riffFirstEntry = 0;  // first entry of the open RIFF
    uint64_t length = 0;
    uint32_t maxChunk = 0;
    uint64_t bytes = 0;
    uint64_t strhAt = 0, strfAt = 0, reserveAt = 0;
    std::vector<AVISUPERINDEXENTRY> superIndex;
  };

  bool Layout();
  bool CloseRiff(bool openDml);
  bool StartAvix();
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  bool Put(const void* data, size_t size);
  bool PutFourCC(FOURCC code) { return Put(&code, 4); }
  bool PutU32(uint32_t v) { return Put(&v, 4); }
  uint64_t Tell() const { return position_; }

  std::FILE* file_ = nullptr;
  uint64_t position_ = 0;
  bool failed_ = false;
  bool laidOut_ = false;
  std::vector<Stream> streams_;
  uint64_t avihAt_ = 0, odmlAt_ = 0;
  uint64_t riffAt_ = 0;         // header of the open RIFF
  uint64_t moviAt_ = 0;         // header of its 'movi' list
  uint64_t firstMoviCode_ = 0;  // the 'movi' code of the first RIFF, base of idx1
  int riffCount_ = 0;
  uint64_t firstRiffVideoFrames_ = 0;
};

}  // namespace quendrolix
