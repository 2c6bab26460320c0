#include "platform/vfw/avi_sound.h"

#include <algorithm>
#include <cstring>

#include "platform/vfw/avi_objects.h"
#include "platform/vfw/wav_file.h"

namespace quendrolix {
namespace {

// The chunks of a stream in stored order: one sample at a time for streams of varying
// sample size (each sample one chunk, a frame of MP3 or AC-3), about 64 KB of whole
// samples at a time for the others.
class StreamChunks : public av::AudioChunkSource {
 public:
  explicit StreamChunks(PAVISTREAM stream) : stream_(stream) {
    AVIStreamAddRef(stream);
    AVISTREAMINFO info{};
    AVIStreamInfo(stream, &info, sizeof info);
    sampleSize_ = info.dwSampleSize;
    next_ = AVIStreamStart(stream);
    end_ = static_cast<int64_t>(next_) + std::max<LONG>(AVIStreamLength(stream), 0);
  }

  bool Next(std::vector<uint8_t>& bytes) override {
    while (next_ < end_) {
      if (sampleSize_ == 0) {
        const LONG pos = static_cast<LONG>(next_++);
        if (stream_.get()->ReadSample(pos, bytes) != AVIERR_OK) continue;  // passed over
        if (!bytes.empty()) return true;
        continue;
      }
      const LONG want = static_cast<LONG>(
          std::min<int64_t>(end_ - next_, std::max<uint32_t>(1, 65536 / sampleSize_)));
      LONG size = 0, got = 0;
      if (AVIStreamRead(stream_.get(), static_cast<LONG>(next_), want, nullptr, 0, &size, &got) !=
              AVIERR_OK ||
          size <= 0)
        return false;
      bytes.resize(static_cast<size_t>(size));
      if (AVIStreamRead(stream_.get(), static_cast<LONG>(next_), want, bytes.data(), size, &size,
                        &got) != AVIERR_OK ||
          got <= 0)
        return false;
      bytes.resize(static_cast<size_t>(size));
      next_ += got;
      return true;
    }
    return false;
  }

 private:
  ScopedAviStream stream_;
  DWORD sampleSize_ = 0;
  int64_t next_ = 0, end_ = 0;
};

}  // namespace

std::unique_ptr<av::AudioDecoder> OpenStreamSoundDecoder(PAVISTREAM stream, std::string* error) {
  AVISTREAMINFO info{};
  if (!stream || AVIStreamInfo(stream, &info, sizeof info) != AVIERR_OK ||
      info.fccType != streamtypeAUDIO) {
    if (error) *error = "not a sound stream";
    return nullptr;
  }
  std::vector<uint8_t> format;
  if (stream->ReadFormat(format) != AVIERR_OK) {
    if (error) *error = "the sound format cannot be read";
    return nullptr;
  }
  const double seconds =
      info.dwRate ? double(std::max<LONG>(AVIStreamLength(stream), 0)) * info.dwScale / info.dwRate
                  : 0.0;
  return av::AudioDecoder::OpenStream(format, std::make_unique<StreamChunks>(stream), seconds,
                                      error);
}

bool SaveStreamAsPcmWav(PAVISTREAM stream, const std::string& wavPath, std::string* error) {
  std::unique_ptr<av::AudioDecoder> decoder = OpenStreamSoundDecoder(stream, error);
  if (!decoder) return false;
  const int channels = decoder->outputChannels();
  WavWriter writer;
  if (!writer.Open(wavPath, PcmFormat(static_cast<uint32_t>(decoder->outputRate()),
                                      static_cast<uint16_t>(channels), 16))) {
    if (error) *error = "cannot write " + wavPath;
    return false;
  }
  std::vector<int16_t> block(size_t{8192} * channels);
  uint64_t frames = 0;
  for (size_t got; (got = decoder->Read(block.data(), 8192)) > 0; frames += got) {
    if (!writer.Write(block.data(), got * channels * sizeof(int16_t))) {
      if (error) *error = "cannot write " + wavPath;
      return false;  // the writer removes its temporary file
    }
  }
  if (frames == 0) {
    if (error) *error = "nothing of the sound decodes";
    return false;
  }
  if (!writer.Close()) {
    if (error) *error = "cannot write " + wavPath;
    return false;
  }
  return true;
}

bool IsPlainPcm8Or16(const std::vector<uint8_t>& format) {
  if (format.size() < 16) return false;
  WAVEFORMATEX w{};
  std::memcpy(&w, format.data(), std::min(format.size(), sizeof w));
  return w.wFormatTag == WAVE_FORMAT_PCM && (w.wBitsPerSample == 8 || w.wBitsPerSample == 16) &&
         (w.nChannels == 1 || w.nChannels == 2) &&
         w.nBlockAlign == w.nChannels * w.wBitsPerSample / 8;
}

}  // namespace quendrolix
