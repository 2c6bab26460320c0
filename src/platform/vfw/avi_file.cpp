// Files and streams behind the AVIFile* / AVIStream* entry points: AVI files for reading
// and writing, and compressed streams (WAV files are in wav_objects.cpp).

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

#include "platform/vfw/avi_objects.h"
#include "platform/vfw/avi_reader.h"
#include "platform/vfw/avi_writer.h"
#include "platform/vfw/codec.h"
#include "platform/vfw/wav_file.h"
#include "platform/vfw/wave_format.h"

namespace quendrolix {

void SetName(char (&dest)[64], const std::string& name) {
  std::memset(dest, 0, sizeof dest);
  std::memcpy(dest, name.data(), std::min<size_t>(name.size(), sizeof dest - 1));
}

bool EndsWithWav(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".wav";
}

HRESULT CopyFormat(const std::vector<uint8_t>& format, void* out, LONG* size) {
  if (!size) return AVIERR_BADPARAM;
  const LONG full = static_cast<LONG>(format.size());
  if (!out) {
    *size = full;
    return AVIERR_OK;
  }
  const LONG room = std::max<LONG>(*size, 0);
  const LONG n = std::min(room, full);
  if (n > 0) std::memcpy(out, format.data(), static_cast<size_t>(n));
  *size = full;
  return room < full ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

namespace {

// ---- Reading AVI files ----------------------------------------------------------------

class AviReadFile : public AviFile {
 public:
  ReadOnlyFile file;
  AviFileData data;

  HRESULT Info(AVIFILEINFO& info) override;
  HRESULT GetStream(PAVISTREAM* ppavi, FOURCC type, LONG index) override;
};

class AviReadStream : public AviStream {
 public:
  AviReadStream(AviReadFile* file, size_t index) : file_(file), index_(index) { file_->AddRef(); }
  ~AviReadStream() override { file_->Release(); }

  const AviStreamData& d() const { return file_->data.streams[index_]; }

  HRESULT Info(AVISTREAMINFO& info) override {
    const AviStreamData& s = d();
    info = AVISTREAMINFO{};
    info.fccType = s.header.fccType;
    info.fccHandler = s.header.fccHandler;
    info.dwFlags = s.header.dwFlags;
    info.wPriority = s.header.wPriority;
    info.wLanguage = s.header.wLanguage;
    info.dwScale = s.header.dwScale;
    info.dwRate = s.header.dwRate;
    info.dwStart = s.header.dwStart;
    info.dwLength = static_cast<DWORD>(Length());
    info.dwInitialFrames = s.header.dwInitialFrames;
    uint32_t largest = 0;
    for (const auto& c : s.chunks) largest = std::max(largest, c.size);
    info.dwSuggestedBufferSize = std::max(s.header.dwSuggestedBufferSize, largest);
    info.dwQuality = s.header.dwQuality;
    info.dwSampleSize = s.sampleSize;
    info.rcFrame = {s.header.rcFrame.left, s.header.rcFrame.top, s.header.rcFrame.right,
                    s.header.rcFrame.bottom};
    if (s.header.fccType == streamtypeVIDEO && info.rcFrame.right == 0 &&
        info.rcFrame.bottom == 0) {
      const BITMAPINFOHEADER h = FormatHeader(s.format);
      info.rcFrame.right = h.biWidth;
      info.rcFrame.bottom = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    }
    SetName(info.szName, s.name);
    return AVIERR_OK;
  }
  LONG Start() override {
    return static_cast<LONG>(std::min<uint32_t>(d().header.dwStart, INT32_MAX));
  }
  // Positions run from Start() to Start() + Length(): a stream that claims to start near
  // the end of the 32-bit range keeps only the positions that fit.
  LONG Length() override { return ClampLong(std::min(d().Length(), PositionsAfterStart())); }
  LONG DeclaredLength() override {
    // Sound whose chunks end before the header's length (a file cut short); video keeps
    // the frames it has.
    const AviStreamData& s = d();
    if (s.header.fccType != streamtypeAUDIO || !s.sampleSize || !s.header.dwSampleSize)
      return Length();
    // The header counts in its own sample size, which may be bytes rather than blocks.
    const uint64_t declared = uint64_t{s.header.dwLength} * s.header.dwSampleSize / s.sampleSize;
    return ClampLong(std::min(CutShortLength(declared, s.Length()), PositionsAfterStart()));
  }
  uint64_t PositionsAfterStart() { return uint64_t{INT32_MAX} - static_cast<uint64_t>(Start()); }
  HRESULT ReadFormat(std::vector<uint8_t>& format) override {
    format = d().header.fccType == streamtypeAUDIO ? PlainPcmFormat(d().format) : d().format;
    return AVIERR_OK;
  }
  bool IsKeyFrame(LONG pos) override {
    const AviStreamData& s = d();
    if (s.sampleSize) return true;
    const int64_t rel = int64_t{pos} - Start();
    return rel >= 0 && rel < static_cast<int64_t>(s.chunks.size()) && s.chunks[rel].key;
  }
  HRESULT ReadSample(LONG pos, std::vector<uint8_t>& bytes) override {
    const AviStreamData& s = d();
    const int64_t rel = int64_t{pos} - Start();
    if (s.sampleSize || rel < 0 || rel >= static_cast<int64_t>(s.chunks.size()))
      return AVIERR_BADPARAM;
    const AviChunkRef& c = s.chunks[rel];
    try {
      bytes.resize(c.size);
    } catch (const std::bad_alloc&) {
      return AVIERR_MEMORY;
    }
    return file_->file.ReadAt(c.offset, bytes.data(), c.size) ? AVIERR_OK : AVIERR_FILEREAD;
  }

  HRESULT Read(LONG start, LONG samples, void* buffer, LONG bufferBytes, LONG* bytes,
               LONG* samplesRead) override {
    SetOut(bytes, 0);
    SetOut(samplesRead, 0);
    const AviStreamData& s = d();
    const int64_t rel = int64_t{start} - Start();
    if (rel < 0 || bufferBytes < 0 || (samples < 0 && samples != AVISTREAMREAD_CONVENIENT))
      return AVIERR_BADPARAM;
    const int64_t length = Length();
    if (rel >= length) return AVIERR_OK;
    return s.sampleSize ? ReadFixed(rel, samples, buffer, bufferBytes, bytes, samplesRead)
                        : ReadChunks(rel, samples, buffer, bufferBytes, bytes, samplesRead);
  }

 private:
  HRESULT ReadFixed(int64_t rel, LONG samples, void* buffer, LONG bufferBytes, LONG* bytes,
                    LONG* samplesRead) {
    const AviStreamData& s = d();
    const uint64_t ss = s.sampleSize;
    const int64_t avail = Length() - rel;
    const uint64_t from = uint64_t(rel) * ss;
    // The chunk holding the first byte: a convenient read ends with it.
    auto it = std::upper_bound(s.byteStarts.begin(), s.byteStarts.end(), from);
    const size_t chunk = static_cast<size_t>(it - s.byteStarts.begin()) - 1;
    int64_t n;
    if (samples == AVISTREAMREAD_CONVENIENT) {
      const uint64_t chunkEnd = s.byteStarts[chunk] + s.chunks[chunk].size;
      n = buffer ? bufferBytes / static_cast<int64_t>(ss)
                 : static_cast<int64_t>(std::max<uint64_t>((chunkEnd - from) / ss, 1));
    } else {
      n = samples;
    }
    n = std::min(n, avail);
    if (!buffer) {
      SetOut(bytes, ClampLong(uint64_t(n) * ss));
      SetOut(samplesRead, static_cast<LONG>(n));
      return AVIERR_OK;
    }
    if (n <= 0) return AVIERR_OK;
    const int64_t fit = bufferBytes / static_cast<int64_t>(ss);
    if (fit == 0) return AVIERR_BUFFERTOOSMALL;
    n = std::min(n, fit);
    uint64_t pos = from;
    const uint64_t end = from + uint64_t(n) * ss;
    auto* out = static_cast<uint8_t*>(buffer);
    for (size_t c = chunk; pos < end && c < s.chunks.size(); ++c) {
      const uint64_t inChunk = pos - s.byteStarts[c];
      const uint64_t take = std::min<uint64_t>(s.chunks[c].size - inChunk, end - pos);
      if (take && !file_->file.ReadAt(s.chunks[c].offset + inChunk, out, take))
        return AVIERR_FILEREAD;
      out += take;
      pos += take;
    }
    SetOut(bytes, static_cast<LONG>(end - from));
    SetOut(samplesRead, static_cast<LONG>(n));
    return AVIERR_OK;
  }

  HRESULT ReadChunks(int64_t rel, LONG samples, void* buffer, LONG bufferBytes, LONG* bytes,
                     LONG* samplesRead) {
    const AviStreamData& s = d();
    int64_t n = samples == AVISTREAMREAD_CONVENIENT ? 1 : samples;
    n = std::min<int64_t>(n, static_cast<int64_t>(s.chunks.size()) - rel);
    if (!buffer) {
      uint64_t total = 0;
      for (int64_t i = 0; i < n; ++i) total += s.chunks[rel + i].size;
      SetOut(bytes, ClampLong(total));
      SetOut(samplesRead, static_cast<LONG>(std::max<int64_t>(n, 0)));
      return AVIERR_OK;
    }
    uint64_t used = 0;
    int64_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    for (; done < n; ++done) {
      const AviChunkRef& c = s.chunks[rel + done];
      if (used + c.size > uint64_t(bufferBytes)) break;
      if (c.size && !file_->file.ReadAt(c.offset, out + used, c.size)) return AVIERR_FILEREAD;
      used += c.size;
    }
    if (done == 0 && n > 0) return AVIERR_BUFFERTOOSMALL;
    SetOut(bytes, static_cast<LONG>(used));
    SetOut(samplesRead, static_cast<LONG>(done));
    return AVIERR_OK;
  }

  AviReadFile* file_;
  size_t index_;
};

HRESULT AviReadFile::Info(AVIFILEINFO& info) {
  info = AVIFILEINFO{};
  const MainAVIHeader& h = data.mainHeader;
  info.dwMaxBytesPerSec = h.dwMaxBytesPerSec;
  info.dwFlags = h.dwFlags;
  info.dwCaps = AVIFILECAPS_CANREAD;
  info.dwStreams = static_cast<DWORD>(data.streams.size());
  info.dwSuggestedBufferSize = h.dwSuggestedBufferSize;
  info.dwWidth = h.dwWidth;
  info.dwHeight = h.dwHeight;
  // Frame rate and length come from the first video stream: its own rate is exact, and
  // its index counts the frames of every RIFF of an OpenDML file.
  const AviStreamData* video = nullptr;
  for (const auto& s : data.streams)
    if (s.header.fccType == streamtypeVIDEO) {
      video = &s;
      break;
    }
  if (video && video->header.dwRate && video->header.dwScale) {
    info.dwScale = video->header.dwScale;
    info.dwRate = video->header.dwRate;
    info.dwLength = static_cast<DWORD>(std::min<uint64_t>(video->Length(), UINT32_MAX));
  } else {
    info.dwScale = h.dwMicroSecPerFrame;
    info.dwRate = 1000000;
    info.dwLength = h.dwTotalFrames;
  }
  if (video && (info.dwWidth == 0 || info.dwHeight == 0)) {
    const BITMAPINFOHEADER b = FormatHeader(video->format);
    info.dwWidth = static_cast<DWORD>(std::max(b.biWidth, 0));
    info.dwHeight = static_cast<DWORD>(b.biHeight < 0 ? -int64_t{b.biHeight} : b.biHeight);
  }
  SetName(info.szFileType, "AVI");
  return AVIERR_OK;
}

HRESULT AviReadFile::GetStream(PAVISTREAM* ppavi, FOURCC type, LONG index) {
  LONG seen = 0;
  for (size_t i = 0; i < data.streams.size(); ++i) {
    if (type != 0 && data.streams[i].header.fccType != type) continue;
    if (seen++ == index) {
      *ppavi = new (std::nothrow) AviReadStream(this, i);
      return *ppavi ? AVIERR_OK : AVIERR_MEMORY;
    }
  }
  return AVIERR_NODATA;
}

// ---- Writing AVI files ----------------------------------------------------------------

class AviWriteFile : public AviFile {
 public:
  AtomicFile out;
  AviWriter writer;
  std::vector<AVISTREAMINFO> infos;
  bool failed = false;

  ~AviWriteFile() override {
    // A stream left without a format means the caller gave up half-way.
    bool ok = !failed && writer.streamCount() > 0;
    for (int i = 0; ok && i < writer.streamCount(); ++i) ok = writer.HasFormat(i);
    ok = ok && writer.Finish();
    if (ok)
      out.Commit();
    else
      out.Discard();
  }
  HRESULT Info(AVIFILEINFO& info) override {
    info = AVIFILEINFO{};
    info.dwCaps = AVIFILECAPS_CANWRITE;
    info.dwStreams = static_cast<DWORD>(infos.size());
    SetName(info.szFileType, "AVI");
    return AVIERR_OK;
  }
  HRESULT GetStream(PAVISTREAM* ppavi, FOURCC type, LONG index) override;
  HRESULT CreateStream(PAVISTREAM* ppavi, const AVISTREAMINFO& info) override;
  void MarkFailed() override { failed = true; }

  HRESULT Fail(HRESULT code) {
    failed = true;
    return code;
  }
};

class AviWriteStream : public WriteOnlyStream {
 public:
  AviWriteStream(AviWriteFile* file, int index) : file_(file), index_(index) { file_->AddRef(); }
  ~AviWriteStream() override { file_->Release(); }

  HRESULT Info(AVISTREAMINFO& info) override {
    info = file_->infos[index_];
    info.dwLength = static_cast<DWORD>(Length());
    return AVIERR_OK;
  }
  LONG Start() override { return static_cast<LONG>(file_->infos[index_].dwStart); }
  LONG Length() override { return ClampLong(file_->writer.StreamLength(index_)); }
  HRESULT ReadFormat(std::vector<uint8_t>& format) override {
    format = format_;
    return AVIERR_OK;
  }
  AviFile* WritableFile() override { return file_; }
  void SetHandler(FOURCC handler) override {
    file_->infos[index_].fccHandler = handler;
    if (!file_->writer.laidOut()) file_->writer.Header(index_).fccHandler = handler;
  }

  HRESULT SetFormat(LONG, const void* format, LONG size) override {
    if (!format || size <= 0 || static_cast<uint32_t>(size) > kMaxFormatBytes)
      return file_->Fail(AVIERR_BADPARAM);
    const auto* p = static_cast<const uint8_t*>(format);
    std::vector<uint8_t> bytes(p, p + size);
    AVISTREAMINFO& info = file_->infos[index_];
    if (info.fccType == streamtypeVIDEO && size < static_cast<LONG>(sizeof(BITMAPINFOHEADER)))
      return file_->Fail(AVIERR_BADFORMAT);
    if (info.fccType == streamtypeAUDIO) {
      if (size < 16) return file_->Fail(AVIERR_BADFORMAT);
      WAVEFORMATEX w{};
      std::memcpy(&w, p, std::min<size_t>(size, sizeof w));
      if (w.nBlockAlign == 0) return file_->Fail(AVIERR_BADFORMAT);
      // Sound is written as whole blocks; a caller that left the sample size open gets
      // the block size.
      if (info.dwSampleSize == 0 && w.wFormatTag == WAVE_FORMAT_PCM) {
        info.dwSampleSize = w.nBlockAlign;
        if (!file_->writer.laidOut()) file_->writer.Header(index_).dwSampleSize = w.nBlockAlign;
      }
    }
    if (!file_->writer.SetFormat(index_, bytes)) return file_->Fail(AVIERR_UNSUPPORTED);
    format_ = std::move(bytes);
    return AVIERR_OK;
  }

  HRESULT Write(LONG start, LONG samples, const void* buffer, LONG bytes, DWORD flags,
                LONG* samplesWritten, LONG* bytesWritten) override {
    SetOut(samplesWritten, 0);
    SetOut(bytesWritten, 0);
    if (file_->failed) return AVIERR_FILEWRITE;
    if (bytes < 0 || (bytes > 0 && !buffer)) return file_->Fail(AVIERR_BADPARAM);
    const AVISTREAMINFO& info = file_->infos[index_];
    AviWriter& w = file_->writer;
    const int64_t next = int64_t{info.dwStart} + static_cast<int64_t>(w.StreamLength(index_));
    if (info.dwSampleSize > 0) {
      if (bytes % info.dwSampleSize != 0 || (start != next && start != -1))
        return file_->Fail(AVIERR_BADPARAM);
      const uint32_t n = static_cast<uint32_t>(bytes / info.dwSampleSize);
      if (n == 0) return AVIERR_OK;
      if (!w.WriteChunk(index_, buffer, static_cast<uint32_t>(bytes), true, n))
        return file_->Fail(AVIERR_FILEWRITE);
      SetOut(samplesWritten, static_cast<LONG>(n));
      SetOut(bytesWritten, bytes);
      return AVIERR_OK;
    }
    if (samples != 1 || start < next) return file_->Fail(AVIERR_BADPARAM);
    // Frames skipped over are stored empty: they show the frame before.
    for (int64_t gap = next; gap < start; ++gap)
      if (!w.WriteChunk(index_, nullptr, 0, false, 1)) return file_->Fail(AVIERR_FILEWRITE);
    if (!w.WriteChunk(index_, buffer, static_cast<uint32_t>(bytes), (flags & AVIIF_KEYFRAME) != 0,
                      1))
      return file_->Fail(AVIERR_FILEWRITE);
    SetOut(samplesWritten, 1);
    SetOut(bytesWritten, bytes);
    return AVIERR_OK;
  }

 private:
  AviWriteFile* file_;
  int index_;
  std::vector<uint8_t> format_;
};

HRESULT AviWriteFile::GetStream(PAVISTREAM* ppavi, FOURCC type, LONG index) {
  LONG seen = 0;
  for (size_t i = 0; i < infos.size(); ++i) {
    if (type != 0 && infos[i].fccType != type) continue;
    if (seen++ == index) {
      *ppavi = new (std::nothrow) AviWriteStream(this, static_cast<int>(i));
      return *ppavi ? AVIERR_OK : AVIERR_MEMORY;
    }
  }
  return AVIERR_NODATA;
}

int16_t Clamp16(LONG v) {
  return static_cast<int16_t>(std::clamp<LONG>(v, INT16_MIN, INT16_MAX));
}

HRESULT AviWriteFile::CreateStream(PAVISTREAM* ppavi, const AVISTREAMINFO& info) {
  if (writer.laidOut()) return AVIERR_UNSUPPORTED;
  if (info.fccType == 0 || info.dwRate == 0 || info.dwScale == 0) return AVIERR_BADPARAM;
  AVIStreamHeader h{};
  h.fccType = info.fccType;
  h.fccHandler = info.fccHandler;
  h.dwFlags = info.dwFlags;
  h.wPriority = info.wPriority;
  h.wLanguage = info.wLanguage;
  h.dwInitialFrames = info.dwInitialFrames;
  h.dwScale = info.dwScale;
  h.dwRate = info.dwRate;
  h.dwStart = info.dwStart;
  h.dwSuggestedBufferSize = info.dwSuggestedBufferSize;
  h.dwQuality = info.dwQuality;
  h.dwSampleSize = info.fccType == streamtypeVIDEO ? 0 : info.dwSampleSize;
  h.rcFrame = {Clamp16(info.rcFrame.left), Clamp16(info.rcFrame.top), Clamp16(info.rcFrame.right),
               Clamp16(info.rcFrame.bottom)};
  const std::string name(info.szName, strnlen(info.szName, sizeof info.szName));
  const int index = writer.AddStream(h, name);
  if (index < 0) return AVIERR_UNSUPPORTED;
  AVISTREAMINFO kept = info;
  kept.dwSampleSize = h.dwSampleSize;
  infos.push_back(kept);
  *ppavi = new (std::nothrow) AviWriteStream(this, index);
  return *ppavi ? AVIERR_OK : AVIERR_MEMORY;
}

// ---- Compressed streams ---------------------------------------------------------------

class CompressedStream : public WriteOnlyStream {
 public:
  CompressedStream(AviStream* target, const AVICOMPRESSOPTIONS& options, FOURCC handler)
      : target_(target), options_(options), handler_(handler) {
    target_->AddRef();
  }
  ~CompressedStream() override { target_->Release(); }

  HRESULT Info(AVISTREAMINFO& info) override {
    const HRESULT hr = target_->Info(info);
    info.fccHandler = handler_;
    return hr;
  }
  LONG Start() override { return target_->Start(); }
  LONG Length() override { return target_->Length(); }
  HRESULT ReadFormat(std::vector<uint8_t>& format) override { return target_->ReadFormat(format); }
  AviFile* WritableFile() override { return target_->WritableFile(); }

  HRESULT SetFormat(LONG pos, const void* format, LONG size) override {
    if (!format || size < static_cast<LONG>(sizeof(BITMAPINFOHEADER))) return Fail(AVIERR_BADPARAM);
    const auto* p = static_cast<const uint8_t*>(format);
    std::vector<uint8_t> input(p, p + size);
    AVISTREAMINFO info{};
    target_->Info(info);
    CompressorSettings settings;
    settings.quality = options_.dwQuality == 0xFFFFFFFF
                           ? -1
                           : static_cast<int>(std::min<DWORD>(options_.dwQuality, 10000));
    if (options_.dwFlags & AVICOMPRESSF_KEYFRAMES)
      settings.keyFrameEvery =
          static_cast<int>(std::min<DWORD>(options_.dwKeyFrameEvery, INT32_MAX));
    if (options_.dwFlags & AVICOMPRESSF_DATARATE)
      settings.bytesPerSecond = options_.dwBytesPerSecond;
    if (info.dwScale) settings.framesPerSecond = double(info.dwRate) / info.dwScale;
    const HRESULT hr = OpenCompressor(handler_, input, settings, compressor_);
    if (hr != AVIERR_OK) return Fail(hr);
    const std::vector<uint8_t>& out = compressor_->OutputFormat();
    target_->SetHandler(handler_);
    return target_->SetFormat(pos, out.data(), static_cast<LONG>(out.size()));
  }

  HRESULT Write(LONG start, LONG samples, const void* buffer, LONG bytes, DWORD,
                LONG* samplesWritten, LONG* bytesWritten) override {
    SetOut(samplesWritten, 0);
    SetOut(bytesWritten, 0);
    if (!compressor_) return Fail(AVIERR_BADFORMAT);
    if (samples != 1 || bytes < 0 || !buffer) return Fail(AVIERR_BADPARAM);
    bool key = false;
    if (!compressor_->Compress(static_cast<const uint8_t*>(buffer), static_cast<size_t>(bytes),
                               packed_, key))
      return Fail(AVIERR_CANTCOMPRESS);
    if (packed_.size() > INT32_MAX) return Fail(AVIERR_CANTCOMPRESS);
    LONG stored = 0;
    const HRESULT hr = target_->Write(start, 1, packed_.data(), static_cast<LONG>(packed_.size()),
                                      key ? AVIIF_KEYFRAME : 0, samplesWritten, &stored);
    if (hr == AVIERR_OK) SetOut(bytesWritten, bytes);
    return hr;
  }

 private:
  HRESULT Fail(HRESULT code) {
    if (AviFile* f = target_->WritableFile()) f->MarkFailed();
    return code;
  }

  AviStream* target_;
  AVICOMPRESSOPTIONS options_;
  FOURCC handler_;
  std::unique_ptr<VideoCompressor> compressor_;
  std::vector<uint8_t> packed_;
};

}  // namespace

// ---- Entry points ---------------------------------------------------------------------

void AVIFileInit() {}
void AVIFileExit() {}

DWORD VideoForWindowsVersion() {
  return kVideoForWindowsVersion;
}

HRESULT AVIFileOpen(PAVIFILE* ppfile, const std::string& path, UINT mode, const void* handler) {
  if (!ppfile) return AVIERR_BADPARAM;
  *ppfile = nullptr;
  if (handler) return AVIERR_BADPARAM;
  const bool write = (mode & (OF_WRITE | OF_READWRITE)) != 0;
  if (write) {
    if (!(mode & OF_CREATE)) return AVIERR_UNSUPPORTED;
    if (EndsWithWav(path)) {
      *ppfile = NewWavWriteFile(path);
      return *ppfile ? AVIERR_OK : AVIERR_MEMORY;
    }
    auto* f = new (std::nothrow) AviWriteFile();
    if (!f) return AVIERR_MEMORY;
    if (!f->out.Open(path, AtomicFile::TempName::kPartSuffix) ||
        !f->writer.Create(f->out.tempPath())) {
      f->failed = true;
      f->Release();
      return AVIERR_FILEOPEN;
    }
    *ppfile = f;
    return AVIERR_OK;
  }
  // Reading: told apart by content.
  std::unique_ptr<AviReadFile> avi(new (std::nothrow) AviReadFile());
  if (!avi) return AVIERR_MEMORY;
  if (!avi->file.Open(path)) return AVIERR_FILEOPEN;
  uint8_t head[12] = {};
  if (!avi->file.ReadAt(0, head, sizeof head)) return AVIERR_BADFORMAT;
  if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
    auto wav = WavFile::Open(path);
    if (!wav) return AVIERR_BADFORMAT;
    *ppfile = NewWavReadFile(std::move(wav));
    return *ppfile ? AVIERR_OK : AVIERR_MEMORY;
  }
  const HRESULT hr = ParseAviFile(avi->file, avi->data);
  if (hr != AVIERR_OK) return hr;
  *ppfile = avi.release();
  return AVIERR_OK;
}

ULONG AVIFileAddRef(PAVIFILE pfile) {
  return pfile ? pfile->AddRef() : 0;
}

ULONG AVIFileRelease(PAVIFILE pfile) {
  return pfile ? pfile->Release() : 0;
}

namespace {

// The file's or stream's information record, copied into the caller's `size` bytes (a
// caller built against a shorter record gets its leading part).
template <class Object, class Info>
HRESULT CopyInfo(Object* object, Info* info, LONG size) {
  if (!object) return AVIERR_BADHANDLE;
  if (!info || size < 0) return AVIERR_BADPARAM;
  Info full{};
  const HRESULT hr = object->Info(full);
  std::memcpy(info, &full, std::min<size_t>(static_cast<size_t>(size), sizeof full));
  return hr;
}

}  // namespace

HRESULT AVIFileInfo(PAVIFILE pfile, AVIFILEINFO* info, LONG size) {
  return CopyInfo(pfile, info, size);
}

HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, FOURCC fccType, LONG index) {
  if (!pfile) return AVIERR_BADHANDLE;
  if (!ppavi || index < 0) return AVIERR_BADPARAM;
  *ppavi = nullptr;
  return pfile->GetStream(ppavi, fccType, index);
}

HRESULT AVIFileCreateStream(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFO* info) {
  if (!pfile) return AVIERR_BADHANDLE;
  if (!ppavi || !info) return AVIERR_BADPARAM;
  *ppavi = nullptr;
  return pfile->CreateStream(ppavi, *info);
}

ULONG AVIStreamAddRef(PAVISTREAM pavi) {
  return pavi ? pavi->AddRef() : 0;
}

ULONG AVIStreamRelease(PAVISTREAM pavi) {
  return pavi ? pavi->Release() : 0;
}

HRESULT AVIStreamInfo(PAVISTREAM pavi, AVISTREAMINFO* info, LONG size) {
  return CopyInfo(pavi, info, size);
}

LONG AVIStreamStart(PAVISTREAM pavi) {
  return pavi ? pavi->Start() : -1;
}

LONG AVIStreamLength(PAVISTREAM pavi) {
  return pavi ? pavi->Length() : -1;
}

LONG AVIStreamDeclaredLength(PAVISTREAM pavi) {
  return pavi ? pavi->DeclaredLength() : -1;
}

HRESULT AVIStreamReadFormat(PAVISTREAM pavi, LONG, void* format, LONG* size) {
  if (!pavi) return AVIERR_BADHANDLE;
  std::vector<uint8_t> bytes;
  const HRESULT hr = pavi->ReadFormat(bytes);
  if (hr != AVIERR_OK) return hr;
  return CopyFormat(bytes, format, size);
}

HRESULT AVIStreamRead(PAVISTREAM pavi, LONG start, LONG samples, void* buffer, LONG bufferBytes,
                      LONG* bytes, LONG* samplesRead) {
  if (!pavi) return AVIERR_BADHANDLE;
  return pavi->Read(start, samples, buffer, bufferBytes, bytes, samplesRead);
}

bool AVIStreamIsKeyFrame(PAVISTREAM pavi, LONG pos) {
  return pavi && pavi->IsKeyFrame(pos);
}

HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG pos, const void* format, LONG size) {
  if (!pavi) return AVIERR_BADHANDLE;
  return pavi->SetFormat(pos, format, size);
}

HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG start, LONG samples, const void* buffer, LONG bytes,
                       DWORD flags, LONG* samplesWritten, LONG* bytesWritten) {
  if (!pavi) return AVIERR_BADHANDLE;
  return pavi->Write(start, samples, buffer, bytes, flags, samplesWritten, bytesWritten);
}

HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM source,
                                const AVICOMPRESSOPTIONS* options, const void* clsid) {
  if (!ppsCompressed) return AVIERR_BADPARAM;
  *ppsCompressed = nullptr;
  if (!source) return AVIERR_BADHANDLE;
  if (!options || clsid) return AVIERR_BADPARAM;
  // A write that cannot go on as asked must not leave a file behind.
  auto fail = [&](HRESULT code) {
    if (AviFile* f = source->WritableFile()) f->MarkFailed();
    return code;
  };
  const CodecDescription* codec = FindCodec(options->fccHandler);
  if (!codec) return fail(AVIERR_NOCOMPRESSOR);
  AVISTREAMINFO info{};
  source->Info(info);
  if (!source->Writable() || info.fccType != streamtypeVIDEO) return fail(AVIERR_UNSUPPORTED);
  *ppsCompressed = new (std::nothrow) CompressedStream(source, *options, codec->handler);
  return *ppsCompressed ? AVIERR_OK : AVIERR_MEMORY;
}

}  // namespace quendrolix
