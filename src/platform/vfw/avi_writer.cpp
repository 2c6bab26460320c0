#include "platform/vfw/avi_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/dib.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {
namespace {

uint64_t riffLimit = AviWriter::kDefaultRiffLimit;

constexpr uint32_t kIndxReserve =
    sizeof(AVISUPERINDEXHEADER) + AviWriter::kSuperIndexEntries * sizeof(AVISUPERINDEXENTRY);
constexpr uint32_t kOdmlReserve = 4 + 8 + 248;  // 'odml' + 'dmlh' chunk of 248 bytes

// Zeros for every reserve and pad the layout writes (the largest is a stream's index room).
const uint8_t kZeros[std::max<uint32_t>({kIndxReserve, kOdmlReserve, sizeof(MainAVIHeader)})] = {};

}  // namespace

void AviWriter::SetRiffLimitForTesting(uint64_t bytes) {
  riffLimit = bytes ? bytes : kDefaultRiffLimit;
}

AviWriter::~AviWriter() {
  if (file_) std::fclose(file_);
}

bool AviWriter::Create(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  return true;
}

int AviWriter::AddStream(const AVIStreamHeader& header, const std::string& name) {
  if (laidOut_ || streams_.size() >= 100) return -1;
  Stream s;
  s.header = header;
  s.name = name.substr(0, 63);
  streams_.push_back(std::move(s));
  return static_cast<int>(streams_.size()) - 1;
}

bool AviWriter::SetFormat(int stream, const std::vector<uint8_t>& format) {
  if (stream < 0 || stream >= streamCount()) return false;
  Stream& s = streams_[stream];
  if (!laidOut_) {
    s.format = format;
    return true;
  }
  if (format.size() != s.format.size()) return false;
  s.format = format;
  return WriteAt(s.strfAt, format.data(), format.size());
}

bool AviWriter::Put(const void* data, size_t size) {
  if (failed_ || !file_) return false;
  if (size && std::fwrite(data, 1, size, file_) != size) {
    failed_ = true;
    return false;
  }
  position_ += size;
  return true;
}

bool AviWriter::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (failed_ || !file_) return false;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0 ||
      std::fwrite(data, 1, size, file_) != size ||
      fseeko(file_, static_cast<off_t>(position_), SEEK_SET) != 0) {
    failed_ = true;
    return false;
  }
  return true;
}

bool AviWriter::Layout() {
  laidOut_ = true;
  for (size_t i = 0; i < streams_.size(); ++i) {
    Stream& s = streams_[i];
    const int n = static_cast<int>(i);
    if (s.header.fccType == streamtypeVIDEO) {
      BITMAPINFOHEADER h{};
      if (s.format.size() >= sizeof h) std::memcpy(&h, s.format.data(), sizeof h);
      s.chunkId = StreamChunkId(n, 'd', h.biCompression == BI_RGB ? 'b' : 'c');
    } else if (s.header.fccType == streamtypeAUDIO) {
      s.chunkId = StreamChunkId(n, 'w', 'b');
    } else if (s.header.fccType == streamtypeTEXT) {
      s.chunkId = StreamChunkId(n, 't', 'x');
    } else {
      s.chunkId = StreamChunkId(n, 'd', 'c');
    }
  }
  riffAt_ = 0;
  PutFourCC(kFccRiff);
  PutU32(0);
  PutFourCC(kFccAvi);
  const uint64_t hdrlAt = Tell();
  PutFourCC(kFccList);
  PutU32(0);
  PutFourCC(kFccHdrl);
  PutFourCC(kFccAvih);
  PutU32(sizeof(MainAVIHeader));
  avihAt_ = Tell();
  Put(kZeros, sizeof(MainAVIHeader));
  for (Stream& s : streams_) {
    const uint64_t strlAt = Tell();
    PutFourCC(kFccList);
    PutU32(0);
    PutFourCC(kFccStrl);
    PutFourCC(kFccStrh);
    PutU32(sizeof(AVIStreamHeader));
    s.strhAt = Tell();
    Put(&s.header, sizeof s.header);
    PutFourCC(kFccStrf);
    PutU32(static_cast<uint32_t>(s.format.size()));
    s.strfAt = Tell();
    Put(s.format.data(), s.format.size());
    if (s.format.size() & 1) Put(kZeros, 1);
    if (!s.name.empty()) {
      const uint32_t size = static_cast<uint32_t>(s.name.size() + 1);
      PutFourCC(kFccStrn);
      PutU32(size);
      Put(s.name.c_str(), size);
      if (size & 1) Put(kZeros, 1);
    }
    // Room for the super index of an OpenDML file; stays JUNK otherwise.
    s.reserveAt = Tell();
    PutFourCC(kFccJunk);
    PutU32(kIndxReserve);
    Put(kZeros, kIndxReserve);
    const uint32_t strlSize = static_cast<uint32_t>(Tell() - strlAt - 8);
    WriteAt(strlAt + 4, &strlSize, 4);
  }
  odmlAt_ = Tell();
  PutFourCC(kFccJunk);
  PutU32(kOdmlReserve);
  Put(kZeros, kOdmlReserve);
  const uint32_t hdrlSize = static_cast<uint32_t>(Tell() - hdrlAt - 8);
  WriteAt(hdrlAt + 4, &hdrlSize, 4);
  moviAt_ = Tell();
  firstMoviCode_ = moviAt_ + 8;
  PutFourCC(kFccList);
  PutU32(0);
  PutFourCC(kFccMovi);
  riffCount_ = 1;
  return !failed_;
}

bool AviWriter::WriteChunk(int stream, const void* data, uint32_t size, bool key,
                           uint32_t samples) {
  if (failed_ || stream < 0 || stream >= streamCount()) return false;
  if (!laidOut_ && !Layout()) return false;
  // Would this chunk, with the indexes that close the RIFF, carry it past the limit?
  uint64_t entriesInRiff = 1;
  for (const Stream& s : streams_) entriesInRiff += s.entries.size() - s.riffFirstEntry;
  const uint64_t indexBytes =
      (riffCount_ == 1 ? 8 + 16 * entriesInRiff : 0) + streams_.size() * 32 + 8 * entriesInRiff;
  const uint64_t riffBytes = Tell() - riffAt_ + 8 + size + (size & 1) + indexBytes;
  if (riffBytes > riffLimit && entriesInRiff > 1) {
    if (!CloseRiff(true) || !StartAvix()) {
      failed_ = true;
      return false;
    }
  }
  Stream& s = streams_[stream];
  PutFourCC(s.chunkId);
  PutU32(size);
  const uint64_t at = Tell();
  Put(data, size);
  if (size & 1) Put(kZeros, 1);
  if (failed_) return false;
  s.entries.push_back({at, size, key, samples});
  s.length += samples;
  s.bytes += size;
  s.maxChunk = std::max(s.maxChunk, size);
  return true;
}

bool AviWriter::CloseRiff(bool openDml) {
  if (openDml) {
    for (size_t i = 0; i < streams_.size(); ++i) {
      Stream& s = streams_[i];
      const size_t n = s.entries.size() - s.riffFirstEntry;
      if (n == 0) continue;
      if (s.superIndex.size() >= kSuperIndexEntries) {
        failed_ = true;
        return false;
      }
      const uint64_t ixAt = Tell();
      const uint32_t size = static_cast<uint32_t>(sizeof(AVISTDINDEXHEADER) + 8 * n);
      PutFourCC(StreamIndexId(static_cast<int>(i)));
      PutU32(size);
      AVISTDINDEXHEADER h{};
      h.wLongsPerEntry = 2;
      h.bIndexType = AVI_INDEX_OF_CHUNKS;
      h.nEntriesInUse = static_cast<uint32_t>(n);
      h.dwChunkId = s.chunkId;
      h.qwBaseOffset = moviAt_;
      Put(&h, sizeof h);
      uint64_t duration = 0;
      std::vector<AVISTDINDEXENTRY> entries(n);
      for (size_t k = 0; k < n; ++k) {
        const Entry& e = s.entries[s.riffFirstEntry + k];
        entries[k].dwOffset = static_cast<uint32_t>(e.offset - moviAt_);
        entries[k].dwSize = e.size | (e.key ? 0u : 0x80000000u);
        duration += e.samples;
      }
      Put(entries.data(), entries.size() * sizeof(AVISTDINDEXENTRY));
      s.superIndex.push_back({ixAt, size + 8, static_cast<uint32_t>(duration)});
    }
  }
  const uint32_t moviSize = static_cast<uint32_t>(Tell() - moviAt_ - 8);
  WriteAt(moviAt_ + 4, &moviSize, 4);
  if (riffCount_ == 1) {
    // The legacy index of the first RIFF, in file order.
    struct Ref {
      uint64_t offset;
      size_t stream, entry;
    };
    std::vector<Ref> refs;
    for (size_t i = 0; i < streams_.size(); ++i) {
      for (size_t k = 0; k < streams_[i].entries.size(); ++k)
        refs.push_back({streams_[i].entries[k].offset, i, k});
      if (streams_[i].header.fccType == streamtypeVIDEO && firstRiffVideoFrames_ == 0)
        firstRiffVideoFrames_ = streams_[i].entries.size();
    }
    std::sort(refs.begin(), refs.end(),
              [](const Ref& a, const Ref& b) { return a.offset < b.offset; });
    std::vector<AVIINDEXENTRY> idx(refs.size());
    for (size_t k = 0; k < refs.size(); ++k) {
      const Stream& s = streams_[refs[k].stream];
      const Entry& e = s.entries[refs[k].entry];
      idx[k].ckid = s.chunkId;
      idx[k].dwFlags = e.key ? AVIIF_KEYFRAME : 0;
      idx[k].dwChunkOffset = static_cast<uint32_t>(e.offset - 8 - firstMoviCode_);
      idx[k].dwChunkLength = e.size;
    }
    PutFourCC(kFccIdx1);
    PutU32(static_cast<uint32_t>(idx.size() * sizeof(AVIINDEXENTRY)));
    Put(idx.data(), idx.size() * sizeof(AVIINDEXENTRY));
  }
  const uint32_t riffSize = static_cast<uint32_t>(Tell() - riffAt_ - 8);
  WriteAt(riffAt_ + 4, &riffSize, 4);
  for (Stream& s : streams_) s.riffFirstEntry = s.entries.size();
  return !failed_;
}

bool AviWriter::StartAvix() {
  riffAt_ = Tell();
  PutFourCC(kFccRiff);
  PutU32(0);
  PutFourCC(kFccAvix);
  moviAt_ = Tell();
  PutFourCC(kFccList);
  PutU32(0);
  PutFourCC(kFccMovi);
  ++riffCount_;
  return !failed_;
}

bool AviWriter::Finish() {
  if (!file_) return false;
  if (!laidOut_) Layout();
  const bool openDml = riffCount_ > 1;
  CloseRiff(openDml);

  MainAVIHeader h{};
  const Stream* video = nullptr;
  for (const Stream& s : streams_)
    if (s.header.fccType == streamtypeVIDEO) {
      video = &s;
      break;
    }
  double maxBytesPerSec = 0;
  uint32_t maxChunk = 0;
  for (const Stream& s : streams_) {
    maxChunk = std::max(maxChunk, s.maxChunk);
    if (s.header.dwRate && s.length) {
      const double seconds = double(s.length) * s.header.dwScale / s.header.dwRate;
      if (seconds > 0) maxBytesPerSec += double(s.bytes) / seconds;
    }
  }
  if (video && video->header.dwRate)
    h.dwMicroSecPerFrame = static_cast<uint32_t>(
        std::llround(1e6 * video->header.dwScale / double(video->header.dwRate)));
  h.dwMaxBytesPerSec = static_cast<uint32_t>(std::min(maxBytesPerSec, 4e9));
  h.dwFlags = AVIF_HASINDEX | AVIF_TRUSTCKTYPE | (streams_.size() > 1 ? AVIF_ISINTERLEAVED : 0);
  h.dwTotalFrames =
      video ? static_cast<uint32_t>(openDml ? firstRiffVideoFrames_ : video->length) : 0;
  h.dwStreams = static_cast<uint32_t>(streams_.size());
  h.dwSuggestedBufferSize = maxChunk ? maxChunk + 8 : 0;
  if (video && video->format.size() >= sizeof(BITMAPINFOHEADER)) {
    BITMAPINFOHEADER b;
    std::memcpy(&b, video->format.data(), sizeof b);
    h.dwWidth = static_cast<uint32_t>(b.biWidth);
    h.dwHeight = static_cast<uint32_t>(b.biHeight < 0 ? -int64_t{b.biHeight} : b.biHeight);
  }
  WriteAt(avihAt_, &h, sizeof h);

  for (Stream& s : streams_) {
    s.header.dwLength = static_cast<uint32_t>(s.length);
    s.header.dwSuggestedBufferSize = std::max(s.header.dwSuggestedBufferSize, s.maxChunk);
    WriteAt(s.strhAt, &s.header, sizeof s.header);
    if (!openDml) continue;
    std::vector<uint8_t> indx(8 + kIndxReserve, 0);
    const FOURCC id = kFccIndx;
    const uint32_t size = kIndxReserve;
    std::memcpy(indx.data(), &id, 4);
    std::memcpy(indx.data() + 4, &size, 4);
    AVISUPERINDEXHEADER sh{};
    sh.wLongsPerEntry = 4;
    sh.bIndexType = AVI_INDEX_OF_INDEXES;
    sh.nEntriesInUse = static_cast<uint32_t>(s.superIndex.size());
    sh.dwChunkId = s.chunkId;
    std::memcpy(indx.data() + 8, &sh, sizeof sh);
    std::memcpy(indx.data() + 8 + sizeof sh, s.superIndex.data(),
                s.superIndex.size() * sizeof(AVISUPERINDEXENTRY));
    WriteAt(s.reserveAt, indx.data(), indx.size());
  }
  if (openDml) {
    std::vector<uint8_t> odml(8 + kOdmlReserve, 0);
    const uint32_t words[5] = {kFccList, kOdmlReserve, kFccOdml, kFccDmlh, 248};
    std::memcpy(odml.data(), words, sizeof words);
    const uint32_t totalFrames = video ? static_cast<uint32_t>(video->length) : 0;
    std::memcpy(odml.data() + sizeof words, &totalFrames, 4);
    WriteAt(odmlAt_, odml.data(), odml.size());
  }
  bool ok = !failed_;
  ok = std::fflush(file_) == 0 && ok;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  failed_ = !ok;
  return ok;
}

}  // namespace quendrolix
