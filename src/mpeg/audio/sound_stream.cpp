#include "mpeg/audio/sound_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/av/audio_decoder.h"
#include "platform/av/codec_tags.h"
#include "platform/vfw/avi_sound.h"
#include "platform/vfw/vfw.h"
#include "platform/vfw/wav_file.h"
#include "platform/vfw/wave_format.h"

namespace quendrolix {
namespace {

class WavSoundStream : public SoundStreamReader {
 public:
  explicit WavSoundStream(std::unique_ptr<WavFile> wav) : wav_(std::move(wav)) {}
  const std::vector<uint8_t>& FormatBytes() const override { return wav_->formatBytes(); }
  // What the header says: frames missing at the end are read as silence and counted.
  uint64_t Length() const override { return wav_->declaredLengthInBlocks(); }
  long Read(uint64_t start, uint64_t frames, void* buffer, size_t bufferBytes, size_t* bytesRead,
            uint64_t* framesRead) override {
    *bytesRead = 0;
    *framesRead = 0;
    const int64_t got = wav_->Read(start, frames, buffer, bufferBytes);
    if (got < 0) return -1;
    *framesRead = static_cast<uint64_t>(got);
    *bytesRead = static_cast<size_t>(got) * wav_->format().nBlockAlign;
    return 0;
  }

 private:
  std::unique_ptr<WavFile> wav_;
};

// The first audio stream of an AVI file, read through the AVI file services.
class AviSoundStream : public SoundStreamReader {
 public:
  // Takes a reference of its own to the file and the stream.
  AviSoundStream(PAVIFILE file, PAVISTREAM stream, std::vector<uint8_t> format)
      : file_(file), stream_(stream), format_(std::move(format)) {
    AVIFileAddRef(file);
    AVIStreamAddRef(stream);
    const LONG length = AVIStreamDeclaredLength(stream_.get());
    length_ = length > 0 ? static_cast<uint64_t>(length) : 0;
  }
  const std::vector<uint8_t>& FormatBytes() const override { return format_; }
  uint64_t Length() const override { return length_; }
  long Read(uint64_t start, uint64_t frames, void* buffer, size_t bufferBytes, size_t* bytesRead,
            uint64_t* framesRead) override {
    *bytesRead = 0;
    *framesRead = 0;
    if (start >= length_ || frames == 0) return 0;
    constexpr uint64_t kMaxLong = 0x7FFFFFFF;
    LONG bytes = 0, samples = 0;
    const HRESULT result = AVIStreamRead(
        stream_.get(), static_cast<LONG>(start), static_cast<LONG>(std::min(frames, kMaxLong)),
        buffer, static_cast<LONG>(std::min<uint64_t>(bufferBytes, kMaxLong)), &bytes, &samples);
    if (result != AVIERR_OK) return -1;
    *bytesRead = static_cast<size_t>(bytes);
    *framesRead = static_cast<uint64_t>(samples);
    return 0;
  }

 private:
  ScopedAviFile file_;
  ScopedAviStream stream_;
  std::vector<uint8_t> format_;
  uint64_t length_ = 0;
};

void SetError(std::string* error, const std::string& text);

// The rate the layer II encoder's input takes without raising: decoded sound is
// resampled to it, unless it already has one of the lower rates the encoder raises itself.
constexpr int kDecodedRate = 44100;
int DecodedRateFor(int sourceRate) {
  return sourceRate == 11025 || sourceRate == 22050 ? sourceRate : kDecodedRate;
}

// Sound decoded by a library decoder, presented as 16-bit PCM at 44.1 kHz. Its length is
// counted by decoding it once when opened, so that the encoder's total is exact; reads
// then decode it again from the start.
class DecodedSoundStream : public SoundStreamReader {
 public:
  using Opener = std::function<std::unique_ptr<av::AudioDecoder>(std::string* error)>;

  static std::unique_ptr<SoundStreamReader> Open(Opener opener, std::string* error) {
    std::unique_ptr<DecodedSoundStream> stream(new DecodedSoundStream(std::move(opener)));
    std::unique_ptr<av::AudioDecoder> counting = stream->Start(error);
    if (!counting) return nullptr;
    stream->channels_ = counting->outputChannels();
    stream->sourceRate_ = static_cast<uint32_t>(std::max(counting->sourceRate(), 0));
    const WAVEFORMATEX pcm = PcmFormat(static_cast<uint32_t>(counting->outputRate()),
                                       static_cast<uint16_t>(stream->channels_), 16);
    const auto* p = reinterpret_cast<const uint8_t*>(&pcm);
    stream->format_.assign(p, p + sizeof pcm);
    // Counted at the source's own rate, which spares resampling the whole sound twice; the
    // resampled length follows from it (the reads pad or stop at it should the resampler
    // give a sample more or less).
    const int outRate = counting->outputRate(), inRate = counting->sourceRate();
    const bool direct = inRate >= 1000 && counting->SetOutput(inRate, stream->channels_);
    std::vector<int16_t> scratch(8192 * 2);
    uint64_t counted = 0;
    for (size_t got; (got = counting->Read(scratch.data(), 8192)) > 0;) counted += got;
    stream->length_ =
        direct ? (counted * static_cast<uint64_t>(outRate) + static_cast<uint64_t>(inRate) / 2) /
                     static_cast<uint64_t>(inRate)
               : counted;
    stream->damaged_ = counting->damagedPackets() > 0 || !counting->error().empty();
    if (stream->length_ == 0) {
      SetError(error, "the sound holds nothing that decodes");
      return nullptr;
    }
    return stream;
  }

  const std::vector<uint8_t>& FormatBytes() const override { return format_; }
  uint64_t Length() const override { return length_; }
  uint32_t SourceRate() const override { return sourceRate_; }
  bool Damaged() const override { return damaged_; }
  long Read(uint64_t start, uint64_t frames, void* buffer, size_t bufferBytes, size_t* bytesRead,
            uint64_t* framesRead) override {
    *bytesRead = 0;
    *framesRead = 0;
    if (start >= length_ || frames == 0) return 0;
    const size_t blockAlign = 2 * static_cast<size_t>(channels_);
    frames = std::min<uint64_t>({frames, length_ - start, bufferBytes / blockAlign});
    if (!decoder_ || start < position_) {
      decoder_ = Start(nullptr);
      position_ = 0;
      if (!decoder_) return -1;
    }
    auto* out = static_cast<int16_t*>(buffer);
    while (position_ < start) {  // a jump forward: decode and drop
      const uint64_t skip = std::min<uint64_t>(start - position_, frames ? frames : 1);
      const size_t got = decoder_->Read(out, static_cast<size_t>(skip));
      if (got == 0) break;
      position_ += got;
    }
    size_t got = position_ == start ? decoder_->Read(out, static_cast<size_t>(frames)) : 0;
    position_ += got;
    // The second decoding gives what the first counted; should it give less, the rest is
    // silence rather than a shorter stream.
    if (got < frames) {
      std::memset(out + got * channels_, 0, (frames - got) * blockAlign);
      position_ += frames - got;
      got = static_cast<size_t>(frames);
    }
    *framesRead = got;
    *bytesRead = got * blockAlign;
    return 0;
  }

 private:
  explicit DecodedSoundStream(Opener opener) : opener_(std::move(opener)) {}

  std::unique_ptr<av::AudioDecoder> Start(std::string* error) {
    std::unique_ptr<av::AudioDecoder> decoder = opener_(error);
    if (!decoder) return nullptr;
    const int channels = decoder->sourceChannels() == 1 ? 1 : 2;
    if (!decoder->SetOutput(DecodedRateFor(decoder->sourceRate()), channels)) {
      SetError(error, "the sound cannot be resampled");
      return nullptr;
    }
    return decoder;
  }

  Opener opener_;
  std::unique_ptr<av::AudioDecoder> decoder_;
  std::vector<uint8_t> format_;
  int channels_ = 2;
  uint32_t sourceRate_ = 0;
  bool damaged_ = false;
  uint64_t length_ = 0;
  uint64_t position_ = 0;
};

// Sound that the program's own readers take as it is stored.
bool ReadAsStored(const std::vector<uint8_t>& format) {
  if (!IsPlainPcm8Or16(format)) return false;
  WAVEFORMATEX w{};
  std::memcpy(&w, format.data(), std::min(format.size(), sizeof w));
  return w.nSamplesPerSec == 11025 || w.nSamplesPerSec == 22050 || w.nSamplesPerSec == 44100;
}

// The first audio stream of a RIFF file through the AVI services; `noun` names the file
// in the reason.
bool OpenFirstSound(const std::string& path, const char* noun, ScopedAviFile& file,
                    ScopedAviStream& stream, std::string* error) {
  if (AVIFileOpen(file.out(), path, OF_READ) != AVIERR_OK) {
    SetError(error, std::string("the ") + noun + " cannot be read");
    return false;
  }
  if (AVIFileGetStream(file.get(), stream.out(), streamtypeAUDIO, 0) != AVIERR_OK) {
    SetError(error, std::string("the ") + noun + " has no sound");
    return false;
  }
  return true;
}

// The decoded route for the first audio stream of a RIFF file (AVI or WAV).
std::unique_ptr<SoundStreamReader> OpenDecodedRiffSound(const std::string& path,
                                                        std::string* error) {
  return DecodedSoundStream::Open(
      [path](std::string* why) -> std::unique_ptr<av::AudioDecoder> {
        ScopedAviFile file;
        ScopedAviStream stream;
        if (!OpenFirstSound(path, "file", file, stream, why)) return nullptr;
        return OpenStreamSoundDecoder(stream.get(), why);
      },
      error);
}

std::unique_ptr<SoundStreamReader> OpenAviSoundStream(const std::string& path, std::string* error) {
  ScopedAviFile file;
  ScopedAviStream stream;
  if (!OpenFirstSound(path, "AVI file", file, stream, error)) return nullptr;
  LONG size = 0;
  if (AVIStreamReadFormat(stream.get(), 0, nullptr, &size) != AVIERR_OK || size < 16 ||
      size > 65536) {
    SetError(error, "the AVI file's sound has no usable format");
    return nullptr;
  }
  std::vector<uint8_t> format(static_cast<size_t>(size));
  if (AVIStreamReadFormat(stream.get(), 0, format.data(), &size) != AVIERR_OK) {
    SetError(error, "the AVI file's sound has no usable format");
    return nullptr;
  }
  return std::make_unique<AviSoundStream>(file.get(), stream.get(), std::move(format));
}

AviSoundOpener& InstalledAviOpener() {
  static AviSoundOpener opener;
  return opener;
}

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

}  // namespace

WAVEFORMATEX SoundStreamReader::Format() const {
  WAVEFORMATEX format{};
  const std::vector<uint8_t>& bytes = FormatBytes();
  std::memcpy(&format, bytes.data(), std::min(bytes.size(), sizeof format));
  if (bytes.size() < sizeof format) format.cbSize = 0;
  return format;
}

bool SoundStreamReader::IsPcm() const {
  return IsPcmFormat(FormatBytes());
}

void SetAviSoundOpener(AviSoundOpener opener) {
  InstalledAviOpener() = std::move(opener);
}

std::unique_ptr<SoundStreamReader> OpenWavSoundStream(const std::string& path, std::string* error) {
  std::unique_ptr<WavFile> wav = WavFile::Open(path, error);
  if (!wav) return nullptr;
  return std::make_unique<WavSoundStream>(std::move(wav));
}

std::unique_ptr<SoundStreamReader> OpenSoundStream(const std::string& path, std::string* error) {
  uint8_t head[12] = {};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    SetError(error, "cannot open the file");
    return nullptr;
  }
  const size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  const bool riff = got == sizeof head && std::memcmp(head, "RIFF", 4) == 0;
  std::unique_ptr<SoundStreamReader> stored;
  bool standIn = false;  // a test's AVI sound: taken as it is
  if (riff && std::memcmp(head + 8, "WAVE", 4) == 0) {
    stored = OpenWavSoundStream(path, error);
  } else if (riff && std::memcmp(head + 8, "AVI ", 4) == 0) {
    const AviSoundOpener& opener = InstalledAviOpener();
    standIn = static_cast<bool>(opener);
    stored = opener ? opener(path, error) : OpenAviSoundStream(path, error);
  } else {
    // Not RIFF: any sound file the libraries read (MP3, Ogg, FLAC, M4A...).
    std::unique_ptr<SoundStreamReader> decoded = DecodedSoundStream::Open(
        [path](std::string* why) { return av::AudioDecoder::OpenFile(path, why); }, nullptr);
    if (!decoded) SetError(error, "not a sound file that can be read");
    return decoded;
  }
  if (!stored || standIn || ReadAsStored(stored->FormatBytes())) return stored;
  // Stored sound our readers do not take goes through a library decoder when one takes
  // it; otherwise the stored stream stays, and the format checks say why it is refused.
  if (!av::CanDecodeAudio(stored->FormatBytes())) return stored;
  std::string why;
  std::unique_ptr<SoundStreamReader> decoded = OpenDecodedRiffSound(path, &why);
  return decoded ? std::move(decoded) : std::move(stored);
}

WAVEFORMATEX DeliveredSoundFormat(PAVISTREAM stream) {
  WAVEFORMATEX w{};
  LONG size = 0;
  if (AVIStreamReadFormat(stream, 0, nullptr, &size) != AVIERR_OK || size < 16 || size > 65536)
    return w;
  std::vector<uint8_t> stored(static_cast<size_t>(size));
  if (AVIStreamReadFormat(stream, 0, stored.data(), &size) != AVIERR_OK) return w;
  std::memcpy(&w, stored.data(), std::min(stored.size(), sizeof w));
  if (stored.size() < sizeof w) w.cbSize = 0;
  if (ReadAsStored(stored) || !av::CanDecodeAudio(stored)) return w;
  // Decoded only when something of it does decode, as OpenSoundStream finds.
  std::unique_ptr<av::AudioDecoder> decoder = OpenStreamSoundDecoder(stream, nullptr);
  int16_t probe[2 * 64];
  if (!decoder || decoder->Read(probe, 64) == 0) return w;
  return PcmFormat(static_cast<uint32_t>(DecodedRateFor(static_cast<int>(w.nSamplesPerSec))),
                   w.nChannels == 1 ? 1 : 2, 16);
}

}  // namespace quendrolix
