// WAV files behind the AVIFile* / AVIStream* entry points: a WAV file read as a file of one
// audio stream, and one written from a single audio stream.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/vfw/avi_objects.h"
#include "platform/vfw/avi_reader.h"
#include "platform/vfw/wav_file.h"
#include "platform/vfw/wave_format.h"

namespace quendrolix {

namespace {

// ---- Reading WAV files ----------------------------------------------------------------

class WavReadFile : public AviFile {
 public:
  std::unique_ptr<WavFile> wav;
  HRESULT Info(AVIFILEINFO& info) override {
    info = AVIFILEINFO{};
    info.dwCaps = AVIFILECAPS_CANREAD;
    info.dwStreams = 1;
    info.dwMaxBytesPerSec = wav->format().nAvgBytesPerSec;
    info.dwSuggestedBufferSize = wav->format().nAvgBytesPerSec;
    info.dwScale = 1;
    info.dwRate = wav->format().nSamplesPerSec;
    info.dwLength = static_cast<DWORD>(std::min<uint64_t>(wav->lengthInBlocks(), UINT32_MAX));
    SetName(info.szFileType, "WAVE");
    return AVIERR_OK;
  }
  HRESULT GetStream(PAVISTREAM* ppavi, FOURCC type, LONG index) override;
};

class WavReadStream : public AviStream {
 public:
  explicit WavReadStream(WavReadFile* file) : file_(file) { file_->AddRef(); }
  ~WavReadStream() override { file_->Release(); }

  HRESULT Info(AVISTREAMINFO& info) override {
    const WAVEFORMATEX& f = file_->wav->format();
    info = AVISTREAMINFO{};
    info.fccType = streamtypeAUDIO;
    info.dwScale = f.nBlockAlign;
    // A block of PCM is one sample frame, whatever the header's byte rate claims.
    info.dwRate = file_->wav->IsPcm() ? f.nSamplesPerSec * f.nBlockAlign : f.nAvgBytesPerSec;
    info.dwLength = static_cast<DWORD>(Length());
    info.dwSuggestedBufferSize = f.nAvgBytesPerSec;
    info.dwQuality = 0xFFFFFFFF;
    info.dwSampleSize = f.nBlockAlign;
    return AVIERR_OK;
  }
  LONG Start() override { return 0; }
  LONG Length() override { return ClampLong(file_->wav->lengthInBlocks()); }
  HRESULT ReadFormat(std::vector<uint8_t>& format) override {
    format = PlainPcmFormat(file_->wav->formatBytes());
    if (format.size() == 16) {  // the short PCM chunk: present a whole WAVEFORMATEX
      format.resize(sizeof(WAVEFORMATEX), 0);
    }
    return AVIERR_OK;
  }
  HRESULT Read(LONG start, LONG samples, void* buffer, LONG bufferBytes, LONG* bytes,
               LONG* samplesRead) override {
    SetOut(bytes, 0);
    SetOut(samplesRead, 0);
    if (start < 0 || bufferBytes < 0 || (samples < 0 && samples != AVISTREAMREAD_CONVENIENT))
      return AVIERR_BADPARAM;
    const int64_t ss = file_->wav->format().nBlockAlign;
    const int64_t avail = std::max<int64_t>(Length() - int64_t{start}, 0);
    int64_t n = samples == AVISTREAMREAD_CONVENIENT
                    ? (buffer ? bufferBytes / ss : std::min<int64_t>(avail, 65536))
                    : samples;
    n = std::min(n, avail);
    if (!buffer) {
      SetOut(bytes, ClampLong(uint64_t(n * ss)));
      SetOut(samplesRead, static_cast<LONG>(n));
      return AVIERR_OK;
    }
    if (n <= 0) return AVIERR_OK;
    if (bufferBytes / ss == 0) return AVIERR_BUFFERTOOSMALL;
    const int64_t got = file_->wav->Read(static_cast<uint64_t>(start), static_cast<uint64_t>(n),
                                         buffer, static_cast<size_t>(bufferBytes));
    if (got < 0) return AVIERR_FILEREAD;
    SetOut(bytes, static_cast<LONG>(got * ss));
    SetOut(samplesRead, static_cast<LONG>(got));
    return AVIERR_OK;
  }

 private:
  WavReadFile* file_;
};

HRESULT WavReadFile::GetStream(PAVISTREAM* ppavi, FOURCC type, LONG index) {
  if ((type != 0 && type != streamtypeAUDIO) || index != 0) return AVIERR_NODATA;
  *ppavi = new (std::nothrow) WavReadStream(this);
  return *ppavi ? AVIERR_OK : AVIERR_MEMORY;
}

// ---- Writing WAV files ----------------------------------------------------------------

class WavWriteFile : public AviFile {
 public:
  std::string path;
  WavWriter writer;
  bool haveStream = false, opened = false, failed = false;
  bool wholeBlocks = true;  // PCM: only whole sample frames are written
  AVISTREAMINFO info{};
  std::vector<uint8_t> format;
  uint64_t length = 0;

  ~WavWriteFile() override {
    if (opened && !failed) {
      // The samples per channel of compressed sound, from the stream's own timing.
      if (info.dwRate && info.dwScale) {
        WAVEFORMATEX w{};
        std::memcpy(&w, format.data(), std::min(format.size(), sizeof w));
        const double seconds = double(length) * info.dwScale / info.dwRate;
        writer.SetFactSamples(
            static_cast<uint32_t>(std::min(seconds * w.nSamplesPerSec + 0.5, 4294967295.0)));
      }
      writer.Close();  // an unclosed writer removes its temporary
    }
  }
  HRESULT Info(AVIFILEINFO& out) override {
    out = AVIFILEINFO{};
    out.dwCaps = AVIFILECAPS_CANWRITE;
    out.dwStreams = haveStream ? 1 : 0;
    SetName(out.szFileType, "WAVE");
    return AVIERR_OK;
  }
  HRESULT GetStream(PAVISTREAM* ppavi, FOURCC type, LONG index) override;
  HRESULT CreateStream(PAVISTREAM* ppavi, const AVISTREAMINFO& in) override;
  void MarkFailed() override { failed = true; }
};

class WavWriteStream : public WriteOnlyStream {
 public:
  explicit WavWriteStream(WavWriteFile* file) : file_(file) { file_->AddRef(); }
  ~WavWriteStream() override { file_->Release(); }
  HRESULT Info(AVISTREAMINFO& info) override {
    info = file_->info;
    info.dwLength = static_cast<DWORD>(Length());
    return AVIERR_OK;
  }
  LONG Start() override { return 0; }
  LONG Length() override { return ClampLong(file_->length); }
  HRESULT ReadFormat(std::vector<uint8_t>& format) override {
    format = file_->format;
    return AVIERR_OK;
  }
  AviFile* WritableFile() override { return file_; }
  HRESULT SetFormat(LONG, const void* format, LONG size) override {
    if (file_->opened) return AVIERR_UNSUPPORTED;
    if (!format || size < 16 || static_cast<uint32_t>(size) > kMaxFormatBytes) {
      file_->failed = true;
      return AVIERR_BADFORMAT;
    }
    const auto* p = static_cast<const uint8_t*>(format);
    file_->format.assign(p, p + size);
    WAVEFORMATEX w{};
    std::memcpy(&w, p, std::min<size_t>(size, sizeof w));
    if (w.nBlockAlign == 0 || !file_->writer.Open(file_->path, file_->format)) {
      file_->failed = true;
      return w.nBlockAlign == 0 ? AVIERR_BADFORMAT : AVIERR_FILEOPEN;
    }
    file_->info.dwSampleSize = w.nBlockAlign;
    // Compressed sound (MP3, AC-3...) is a stream of bytes in the data chunk: frames of
    // any size follow each other, whatever block size the record names.
    file_->wholeBlocks = w.wFormatTag == WAVE_FORMAT_PCM ||
                         w.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ||
                         w.wFormatTag == WAVE_FORMAT_EXTENSIBLE;
    file_->opened = true;
    return AVIERR_OK;
  }
  HRESULT Write(LONG, LONG samples, const void* buffer, LONG bytes, DWORD, LONG* samplesWritten,
                LONG* bytesWritten) override {
    SetOut(samplesWritten, 0);
    SetOut(bytesWritten, 0);
    const uint32_t ss = file_->info.dwSampleSize;
    if (!file_->opened || file_->failed || bytes < 0 || (bytes > 0 && !buffer) || ss == 0 ||
        (file_->wholeBlocks && bytes % ss != 0)) {
      file_->failed = true;
      return AVIERR_FILEWRITE;
    }
    if (!file_->writer.Write(buffer, static_cast<size_t>(bytes))) {
      file_->failed = true;
      return AVIERR_FILEWRITE;
    }
    const LONG written =
        file_->wholeBlocks ? bytes / static_cast<LONG>(ss) : std::max<LONG>(samples, 0);
    file_->length += static_cast<uint64_t>(written);
    SetOut(samplesWritten, written);
    SetOut(bytesWritten, bytes);
    return AVIERR_OK;
  }

 private:
  WavWriteFile* file_;
};

HRESULT WavWriteFile::GetStream(PAVISTREAM* ppavi, FOURCC type, LONG index) {
  if (!haveStream || (type != 0 && type != streamtypeAUDIO) || index != 0) return AVIERR_NODATA;
  *ppavi = new (std::nothrow) WavWriteStream(this);
  return *ppavi ? AVIERR_OK : AVIERR_MEMORY;
}

HRESULT WavWriteFile::CreateStream(PAVISTREAM* ppavi, const AVISTREAMINFO& in) {
  if (haveStream || in.fccType != streamtypeAUDIO) return AVIERR_UNSUPPORTED;
  haveStream = true;
  info = in;
  *ppavi = new (std::nothrow) WavWriteStream(this);
  return *ppavi ? AVIERR_OK : AVIERR_MEMORY;
}

}  // namespace

AviFile* NewWavReadFile(std::unique_ptr<WavFile> wav) {
  auto* f = new (std::nothrow) WavReadFile();
  if (f) f->wav = std::move(wav);
  return f;
}

AviFile* NewWavWriteFile(const std::string& path) {
  auto* f = new (std::nothrow) WavWriteFile();
  if (f) f->path = path;
  return f;
}

}  // namespace quendrolix
