#include "mpeg/audio/sound_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/vfw/vfw.h"
#include "platform/vfw/wav_file.h"

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

std::unique_ptr<SoundStreamReader> OpenAviSoundStream(const std::string& path, std::string* error) {
  ScopedAviFile file;
  if (AVIFileOpen(file.out(), path, OF_READ) != AVIERR_OK) {
    SetError(error, "the AVI file cannot be read");
    return nullptr;
  }
  ScopedAviStream stream;
  if (AVIFileGetStream(file.get(), stream.out(), streamtypeAUDIO, 0) != AVIERR_OK) {
    SetError(error, "the AVI file has no sound");
    return nullptr;
  }
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

// The PCM sub-format GUID of WAVE_FORMAT_EXTENSIBLE.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

WAVEFORMATEX SoundStreamReader::Format() const {
  WAVEFORMATEX format{};
  const std::vector<uint8_t>& bytes = FormatBytes();
  std::memcpy(&format, bytes.data(), std::min(bytes.size(), sizeof format));
  if (bytes.size() < sizeof format) format.cbSize = 0;
  return format;
}

bool SoundStreamReader::IsPcm() const {
  const std::vector<uint8_t>& bytes = FormatBytes();
  const WAVEFORMATEX format = Format();
  if (format.wFormatTag == WAVE_FORMAT_PCM) return true;
  // Extensible: valid bits (2), channel mask (4), then the sub-format GUID (16).
  return format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && format.cbSize >= 22 &&
         bytes.size() >= sizeof(WAVEFORMATEX) + 22 &&
         std::memcmp(bytes.data() + sizeof(WAVEFORMATEX) + 6, kPcmSubFormat, 16) == 0;
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
  if (riff && std::memcmp(head + 8, "WAVE", 4) == 0) return OpenWavSoundStream(path, error);
  if (riff && std::memcmp(head + 8, "AVI ", 4) == 0) {
    const AviSoundOpener& opener = InstalledAviOpener();
    return opener ? opener(path, error) : OpenAviSoundStream(path, error);
  }
  SetError(error, "not a WAV or AVI file");
  return nullptr;
}

}  // namespace quendrolix
