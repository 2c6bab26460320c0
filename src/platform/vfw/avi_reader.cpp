#include "platform/vfw/avi_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/vfw/codec.h"

namespace quendrolix {

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool ReadOnlyFile::Open(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

bool ReadOnlyFile::ReadAt(uint64_t offset, void* buffer, size_t bytes) const {
  if (fd_ < 0 || offset > size_ || bytes > size_ - offset) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  while (bytes > 0) {
    const ssize_t got = ::pread(fd_, out, bytes, static_cast<off_t>(offset));
    if (got <= 0) return false;
    out += got;
    offset += static_cast<uint64_t>(got);
    bytes -= static_cast<size_t>(got);
  }
  return true;
}

namespace {

uint32_t Le32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

struct StrlInfo {
  AviStreamData data;
  bool haveHeader = false;
  std::vector<uint8_t> indx;
};

class Parser {
 public:
  Parser(const ReadOnlyFile& file, AviFileData& out) : f_(file), out_(out) {}

  HRESULT Run() {
    uint8_t head[12];
    if (!f_.ReadAt(0, head, 12) || Le32(head) != kFccRiff || Le32(head + 8) != kFccAvi)
      return AVIERR_BADFORMAT;
    WalkTopLevel();
    if (!haveHdrl_ || strls_.empty()) return AVIERR_BADFORMAT;
    for (auto& s : strls_) {
      if (!s.haveHeader) return AVIERR_BADFORMAT;
      DecideSampleSize(s.data);
    }
    try {
      bool indexed = false;
      if (TryOpenDml()) {
        out_.indexSource = AviIndexSource::kOpenDml;
        indexed = true;
      } else if (TryIdx1()) {
        out_.indexSource = AviIndexSource::kIdx1;
        indexed = true;
      }
      if (!indexed) {
        ClearChunks();
        Scan();
        out_.indexSource = AviIndexSource::kScan;
      }
    } catch (const std::bad_alloc&) {
      return AVIERR_MEMORY;
    }
    for (auto& s : strls_) {
      AviStreamData& d = s.data;
      if (d.sampleSize) {
        d.byteStarts.resize(d.chunks.size());
        uint64_t at = 0;
        for (size_t i = 0; i < d.chunks.size(); ++i) {
          d.byteStarts[i] = at;
          at += d.chunks[i].size;
        }
        d.totalBytes = at;
      }
      out_.streams.push_back(std::move(d));
    }
    return AVIERR_OK;
  }

 private:
  bool ReadChunkHeader(uint64_t at, FOURCC& id, uint32_t& size) {
    uint8_t b[8];
    if (!f_.ReadAt(at, b, 8)) return false;
    id = Le32(b);
    size = Le32(b + 4);
    return true;
  }

  bool ReadBytes(uint64_t at, uint64_t size, std::vector<uint8_t>& bytes) {
    if (size > f_.size()) return false;
    bytes.resize(size);
    return f_.ReadAt(at, bytes.data(), size);
  }

  void WalkTopLevel() {
    const uint64_t fileSize = f_.size();
    uint64_t pos = 0;
    bool first = true;
    while (pos + 8 <= fileSize) {
      FOURCC id;
      uint32_t size;
      if (!ReadChunkHeader(pos, id, size)) break;
      uint64_t end = pos + 8 + uint64_t{size};
      if (id == kFccRiff) {
        FOURCC type = 0;
        if (pos + 12 > fileSize || !f_.ReadAt(pos + 8, &type, 4)) break;
        // Streamed or cut files carry a RIFF size of 0 or one past the end of the file.
        if (size < 4 || end > fileSize) end = fileSize;
        if (first ? type != kFccAvi : type != kFccAvix) break;
        WalkRiff(pos + 12, end, first);
        ++out_.riffCount;
        first = false;
      } else if (id == kFccIdx1 && !haveIdx1_) {
        // Some writers leave the index outside the RIFF they meant it for.
        idx1Offset_ = pos + 8;
        idx1Size_ = std::min<uint64_t>(size, fileSize - idx1Offset_);
        haveIdx1_ = true;
      } else if (id == kFccList) {
        FOURCC type = 0;
        if (f_.ReadAt(pos + 8, &type, 4) && type == kFccMovi)
          movi_.push_back({pos + 12, std::min(end, fileSize)});
      } else if (id != kFccJunk) {
        break;  // not a chunk: the rest is not ours to read
      }
      if (end >= fileSize) break;
      pos = end + (end & 1);
    }
  }

  // Calls visit(id, size, dataAt, chunkEnd) for each chunk between pos and end, chunkEnd
  // cut to end; stops when visit returns false, at a header that cannot be read and after a
  // chunk that reaches the end.
  template <class Visit>
  void ForEachChunk(uint64_t pos, uint64_t end, Visit visit) {
    while (pos + 8 <= end) {
      FOURCC id;
      uint32_t size;
      if (!ReadChunkHeader(pos, id, size)) return;
      const uint64_t dataAt = pos + 8;
      if (!visit(id, size, dataAt, std::min<uint64_t>(dataAt + size, end))) return;
      if (dataAt + uint64_t{size} >= end) return;
      pos = dataAt + size + (size & 1);
    }
  }

  void WalkRiff(uint64_t pos, uint64_t end, bool first) {
    ForEachChunk(pos, end, [&](FOURCC id, uint32_t size, uint64_t dataAt, uint64_t chunkEnd) {
      if (id == kFccList && size >= 4) {
        FOURCC type = 0;
        if (!f_.ReadAt(dataAt, &type, 4)) return false;
        if (type == kFccHdrl && first && !haveHdrl_) {
          haveHdrl_ = true;
          WalkHdrl(dataAt + 4, chunkEnd);
        } else if (type == kFccMovi) {
          if (first && !haveMovi_) {
            moviFourcc_ = dataAt;
            haveMovi_ = true;
          }
          movi_.push_back({dataAt + 4, chunkEnd});
        }
      } else if (id == kFccIdx1 && first && !haveIdx1_) {
        idx1Offset_ = dataAt;
        idx1Size_ = chunkEnd - dataAt;
        haveIdx1_ = true;
      }
      return true;
    });
  }

  void WalkHdrl(uint64_t pos, uint64_t end) {
    ForEachChunk(pos, end, [&](FOURCC id, uint32_t size, uint64_t dataAt, uint64_t chunkEnd) {
      if (id == kFccAvih) {
        f_.ReadAt(dataAt, &out_.mainHeader,
                  std::min<uint64_t>(sizeof(MainAVIHeader), chunkEnd - dataAt));
      } else if (id == kFccList && size >= 4) {
        FOURCC type = 0;
        if (f_.ReadAt(dataAt, &type, 4) && type == kFccStrl &&
            strls_.size() < static_cast<size_t>(kMaxAviStreams)) {
          strls_.emplace_back();
          WalkStrl(dataAt + 4, chunkEnd, strls_.back());
        }
      }
      return true;
    });
  }

  void WalkStrl(uint64_t pos, uint64_t end, StrlInfo& s) {
    ForEachChunk(pos, end, [&](FOURCC id, uint32_t, uint64_t dataAt, uint64_t chunkEnd) {
      const uint64_t avail = chunkEnd - dataAt;
      if (id == kFccStrh && avail >= 48) {
        // Old writers stop before the frame rectangle.
        f_.ReadAt(dataAt, &s.data.header, std::min<uint64_t>(avail, sizeof(AVIStreamHeader)));
        s.haveHeader = true;
      } else if (id == kFccStrf && avail <= kMaxFormatBytes) {
        ReadBytes(dataAt, avail, s.data.format);
      } else if (id == kFccStrn) {
        std::vector<uint8_t> name;
        if (ReadBytes(dataAt, std::min<uint64_t>(avail, 63), name))
          s.data.name.assign(name.begin(), std::find(name.begin(), name.end(), 0));
      } else if (id == kFccIndx && avail >= sizeof(AVISUPERINDEXHEADER) && avail <= (64u << 20)) {
        ReadBytes(dataAt, avail, s.indx);
      }
      return true;
    });
  }

  static void DecideSampleSize(AviStreamData& d) {
    d.sampleSize = 0;
    if (d.header.fccType == streamtypeVIDEO) return;
    if (d.header.fccType == streamtypeAUDIO && d.format.size() >= 16) {
      WAVEFORMATEX w{};
      std::memcpy(&w, d.format.data(), std::min(d.format.size(), sizeof w));
      const bool fixed =
          w.wFormatTag == WAVE_FORMAT_PCM || w.wFormatTag == WAVE_FORMAT_EXTENSIBLE ||
          w.wFormatTag == WAVE_FORMAT_IEEE_FLOAT || w.wFormatTag == 6 || w.wFormatTag == 7;
      // Uncompressed sound is a run of blocks whatever the header says.
      if (fixed && w.nBlockAlign > 0) {
        d.sampleSize = w.nBlockAlign;
        return;
      }
    }
    d.sampleSize = d.header.dwSampleSize;
  }

  void ClearChunks() {
    for (auto& s : strls_) s.data.chunks.clear();
    totalChunks_ = 0;
  }

  // Adds a chunk whose data lie inside the file; false when they do not.
  bool Add(AviStreamData& d, uint64_t offset, uint32_t size, bool key) {
    if (offset > f_.size() || size > f_.size() - offset) return false;
    if (++totalChunks_ > f_.size() / 8 + 1) return false;  // more chunks than can fit
    d.chunks.push_back({offset, size, key});
    return true;
  }

  bool ParseStdIndex(const uint8_t* bytes, size_t size, AviStreamData& d) {
    if (size < sizeof(AVISTDINDEXHEADER)) return false;
    AVISTDINDEXHEADER h;
    std::memcpy(&h, bytes, sizeof h);
    if (h.bIndexType != AVI_INDEX_OF_CHUNKS || (h.wLongsPerEntry != 2 && h.wLongsPerEntry != 3))
      return false;
    const size_t entryBytes = size_t{h.wLongsPerEntry} * 4;
    if (h.nEntriesInUse > (size - sizeof h) / entryBytes) return false;
    const uint8_t* e = bytes + sizeof h;
    for (uint32_t i = 0; i < h.nEntriesInUse; ++i, e += entryBytes) {
      const uint32_t off = Le32(e), sz = Le32(e + 4);
      // A chunk past the end of a cut file ends the index.
      if (!Add(d, h.qwBaseOffset + off, sz & 0x7FFFFFFF, (sz & 0x80000000u) == 0)) break;
    }
    return true;
  }

  bool TryOpenDml() {
    bool any = false;
    for (const auto& s : strls_) any = any || !s.indx.empty();
    if (!any) return false;
    for (auto& s : strls_) {
      if (s.indx.empty()) {
        ClearChunks();
        return false;
      }
      AVISUPERINDEXHEADER h;
      std::memcpy(&h, s.indx.data(), sizeof h);
      if (h.bIndexType == AVI_INDEX_OF_CHUNKS) {
        if (!ParseStdIndex(s.indx.data(), s.indx.size(), s.data)) {
          ClearChunks();
          return false;
        }
        continue;
      }
      if (h.bIndexType != AVI_INDEX_OF_INDEXES || h.wLongsPerEntry != 4 ||
          h.nEntriesInUse > (s.indx.size() - sizeof h) / sizeof(AVISUPERINDEXENTRY)) {
        ClearChunks();
        return false;
      }
      for (uint32_t i = 0; i < h.nEntriesInUse; ++i) {
        AVISUPERINDEXENTRY e;
        std::memcpy(&e, s.indx.data() + sizeof h + i * sizeof e, sizeof e);
        FOURCC id;
        uint32_t size;
        std::vector<uint8_t> bytes;
        if (!ReadChunkHeader(e.qwOffset, id, size)) break;  // cut file: keep what we have
        const uint64_t avail = std::min<uint64_t>(size, f_.size() - (e.qwOffset + 8));
        if (!ReadBytes(e.qwOffset + 8, avail, bytes) ||
            !ParseStdIndex(bytes.data(), bytes.size(), s.data)) {
          ClearChunks();
          return false;
        }
      }
    }
    return HasChunks();
  }

  bool HasChunks() const {
    for (const auto& s : strls_)
      if (!s.data.chunks.empty()) return true;
    return false;
  }

  bool TryIdx1() {
    if (!haveIdx1_ || idx1Size_ < sizeof(AVIINDEXENTRY)) return false;
    const uint64_t count = idx1Size_ / sizeof(AVIINDEXENTRY);
    std::vector<AVIINDEXENTRY> batch;
    bool baseKnown = false;
    uint64_t base = 0;
    for (uint64_t i = 0; i < count; i += batch.size()) {
      batch.resize(std::min<uint64_t>(count - i, 4096));
      if (!f_.ReadAt(idx1Offset_ + i * sizeof(AVIINDEXENTRY), batch.data(),
                     batch.size() * sizeof(AVIINDEXENTRY)))
        break;
      for (const AVIINDEXENTRY& e : batch) {
        const int stream = StreamOfChunkId(e.ckid);
        if (stream < 0 || stream >= static_cast<int>(strls_.size()) || (e.dwFlags & AVIIF_LIST) ||
            ChunkKind(e.ckid) == ChunkKindOf('p', 'c'))
          continue;
        if (!baseKnown) {
          // Offsets count from the 'movi' code as a rule, from the file start for some.
          const uint64_t candidates[2] = {moviFourcc_, 0};
          for (uint64_t c : candidates) {
            FOURCC id = 0;
            if (f_.ReadAt(c + e.dwChunkOffset, &id, 4) && id == e.ckid) {
              base = c;
              baseKnown = true;
              break;
            }
          }
          if (!baseKnown) {
            ClearChunks();
            return false;
          }
        }
        Add(strls_[stream].data, base + e.dwChunkOffset + 8, e.dwChunkLength,
            (e.dwFlags & AVIIF_KEYFRAME) != 0);
      }
    }
    return HasChunks();
  }

  void Scan() {
    std::vector<bool> intra(strls_.size());
    for (size_t i = 0; i < strls_.size(); ++i) {
      const auto& d = strls_[i].data;
      intra[i] =
          d.header.fccType != streamtypeVIDEO || FormatIsIntraOnly(d.format, d.header.fccHandler);
    }
    for (const auto& [start, end] : movi_) {
      uint64_t pos = start;
      while (pos + 8 <= end) {
        FOURCC id;
        uint32_t size;
        if (!ReadChunkHeader(pos, id, size)) return;
        if (id == kFccList) {
          FOURCC type = 0;
          if (!f_.ReadAt(pos + 8, &type, 4)) return;
          if (type == kFccRec) {  // grouped chunks: read what is inside
            pos += 12;
            continue;
          }
        } else {
          const int stream = StreamOfChunkId(id);
          if (stream >= 0 && stream < static_cast<int>(strls_.size()) &&
              ChunkKind(id) != ChunkKindOf('p', 'c')) {
            AviStreamData& d = strls_[stream].data;
            // Without an index, delta-coded video is only known to start afresh at its
            // first frame.
            if (!Add(d, pos + 8, size, intra[stream] || d.chunks.empty())) return;
          } else if (id == 0 && size == 0) {
            return;  // zero padding at the end of a cut recording
          }
        }
        const uint64_t next = pos + 8 + uint64_t{size} + (size & 1);
        if (next > end) return;
        pos = next;
      }
    }
  }

  const ReadOnlyFile& f_;
  AviFileData& out_;
  std::vector<StrlInfo> strls_;
  std::vector<std::pair<uint64_t, uint64_t>> movi_;
  bool haveHdrl_ = false;
  bool haveMovi_ = false;
  uint64_t moviFourcc_ = 0;
  bool haveIdx1_ = false;
  uint64_t idx1Offset_ = 0, idx1Size_ = 0;
  uint64_t totalChunks_ = 0;
};

}  // namespace

HRESULT ParseAviFile(const ReadOnlyFile& file, AviFileData& out) {
  out = AviFileData{};
  return Parser(file, out).Run();
}

}  // namespace quendrolix
