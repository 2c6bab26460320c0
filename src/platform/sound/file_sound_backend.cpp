#include <algorithm>
#include <vector>

#include "platform/host/conversion_log.h"
#include "platform/sound/sound_backend.h"
#include "platform/vfw/wav_file.h"
#include "platform/vfw/wave_format.h"

namespace quendrolix {
namespace {

class WavCapture : public CaptureStream {
 public:
  WavCapture(std::unique_ptr<WavFile> wav, const WAVEFORMATEX& want)
      : wav_(std::move(wav)), want_(want) {}

  int64_t Read(void* buffer, size_t bytes) override {
    const WAVEFORMATEX& have = wav_->format();
    const uint64_t frames = bytes / want_.nBlockAlign;
    if (frames == 0) return 0;
    raw_.resize(static_cast<size_t>(frames * have.nBlockAlign));
    const int64_t got = wav_->Read(position_, frames, raw_.data(), raw_.size());
    if (got <= 0) return got;
    position_ += static_cast<uint64_t>(got);
    auto* out = static_cast<uint8_t*>(buffer);
    const unsigned haveBytes = have.wBitsPerSample / 8, wantBytes = want_.wBitsPerSample / 8;
    for (int64_t f = 0; f < got; ++f) {
      for (unsigned c = 0; c < want_.nChannels; ++c) {
        // A mono file feeds every channel; extra channels of the file are dropped.
        const unsigned from = std::min<unsigned>(c, have.nChannels - 1u);
        const uint8_t* in = raw_.data() + f * have.nBlockAlign + from * haveBytes;
        int value = haveBytes == 1 ? WidenPcm8(in[0]) : static_cast<int16_t>(in[0] | in[1] << 8);
        uint8_t* o = out + f * want_.nBlockAlign + c * wantBytes;
        if (wantBytes == 1) {
          o[0] = static_cast<uint8_t>((value >> 8) + 128);
        } else {
          o[0] = static_cast<uint8_t>(value & 0xFF);
          o[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
        }
      }
    }
    return got * want_.nBlockAlign;
  }

 private:
  std::unique_ptr<WavFile> wav_;
  WAVEFORMATEX want_;
  uint64_t position_ = 0;
  std::vector<uint8_t> raw_;
};

class WavPlayback : public PlaybackStream {
 public:
  bool Open(const std::string& path, const WAVEFORMATEX& format) {
    return writer_.Open(path, format);
  }
  bool Write(const void* data, size_t bytes) override { return writer_.Write(data, bytes); }
  bool Drain() override { return closed_ || (closed_ = writer_.Close()); }
  void Discard() override { Drain(); }  // what was played so far stays in the file
  ~WavPlayback() override { Drain(); }

 private:
  WavWriter writer_;
  bool closed_ = false;
};

// 8 or 16-bit samples, one or two channels, blocks that match.
bool SimpleLayout(const WAVEFORMATEX& f) {
  return (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
         f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

class FileSoundBackend : public SoundBackend {
 public:
  FileSoundBackend(std::string capture, std::string playback)
      : capture_(std::move(capture)), playback_(std::move(playback)) {}

  std::unique_ptr<CaptureStream> OpenCapture(const WAVEFORMATEX& format,
                                             std::string* error) override {
    if (capture_.empty()) return Refuse(error, "no sound file to record from");
    if (format.wFormatTag != WAVE_FORMAT_PCM || !SimpleLayout(format))
      return Refuse(error, "unsupported recording format");
    std::string why;
    auto wav = WavFile::Open(capture_, &why);
    if (!wav) return Refuse(error, capture_ + ": " + why);
    if (!wav->IsPcm() || !SimpleLayout(wav->format()))
      return Refuse(error, capture_ + ": only 8 or 16-bit PCM mono or stereo can be recorded");
    if (wav->format().nSamplesPerSec != format.nSamplesPerSec)
      return Refuse(error, StringPrintf("%s: the sound is at %u Hz, the recording needs %u Hz",
                                        capture_.c_str(), wav->format().nSamplesPerSec,
                                        format.nSamplesPerSec));
    return std::make_unique<WavCapture>(std::move(wav), format);
  }

  std::unique_ptr<PlaybackStream> OpenPlayback(const WAVEFORMATEX& format,
                                               std::string* error) override {
    if (playback_.empty()) return Refuse<PlaybackStream>(error, "no sound file to play into");
    auto stream = std::make_unique<WavPlayback>();
    if (!stream->Open(playback_, format))
      return Refuse<PlaybackStream>(error, "cannot write " + playback_);
    return stream;
  }

 private:
  template <typename T = CaptureStream>
  static std::unique_ptr<T> Refuse(std::string* error, const std::string& why) {
    if (error) *error = why;
    return nullptr;
  }
  std::string capture_;
  std::string playback_;
};

}  // namespace

std::unique_ptr<SoundBackend> MakeFileSoundBackend(const std::string& captureWav,
                                                   const std::string& playbackWav) {
  return std::make_unique<FileSoundBackend>(captureWav, playbackWav);
}

}  // namespace quendrolix
