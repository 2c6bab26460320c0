#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/vfw/mmreg.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {

// The audio stream of a WAV or AVI file as the sound input reads it: a format record,
// a length in sample frames and reads of whole sample frames, as AVIStreamRead gives
// them. WAV files are read with the WAV reader, AVI files through the AVI file services.
class SoundStreamReader {
 public:
  virtual ~SoundStreamReader() = default;

  // The whole format record as stored (WAVEFORMATEX, perhaps with extra bytes; a 16-byte
  // PCM record is allowed).
  virtual const std::vector<uint8_t>& FormatBytes() const = 0;
  // The stream's length in sample frames (dwLength).
  virtual uint64_t Length() const = 0;
  // Reads at most `frames` sample frames from frame `start` into `buffer`, never more than
  // `bufferBytes`. Stores the bytes and frames read (0 at or past the end) and returns 0,
  // or returns a negative value on a read error with both counts 0.
  virtual long Read(uint64_t start, uint64_t frames, void* buffer, size_t bufferBytes,
                    size_t* bytesRead, uint64_t* framesRead) = 0;

  // The rate of the sound as its file holds it (the delivered rate, unless it is decoded
  // and resampled on the way).
  virtual uint32_t SourceRate() const { return Format().nSamplesPerSec; }
  // Whether the decoder dropped damaged stretches on the way (known after reading).
  virtual bool Damaged() const { return false; }

  // The first 18 bytes of the format record (cbSize 0 when the record is shorter).
  WAVEFORMATEX Format() const;
  // Plain PCM, or WAVE_FORMAT_EXTENSIBLE whose sub-format is PCM.
  bool IsPcm() const;
};

// Opens the first audio stream of an AVI file. Null with a reason when it cannot.
using AviSoundOpener =
    std::function<std::unique_ptr<SoundStreamReader>(const std::string& path, std::string* error)>;

// Replaces the AVI file services as the opener of AVI sound (tests stand in with it).
// An empty function restores the AVI file services.
void SetAviSoundOpener(AviSoundOpener opener);

// Opens the sound of a WAV file, or the first audio stream of an AVI file. Which
// it is comes from the file's RIFF form type, not its name. Sound that the program's own
// readers take as it is stored (plain PCM of 8 or 16 bits, one or two channels, at 11.025,
// 22.05 or 44.1 kHz) is read as it is; any other sound that a library decoder takes (MP3,
// AC-3, ADPCM, other rates and depths, float, more channels; and sound files that are
// not RIFF at all: MP3, Ogg, FLAC, M4A) is delivered decoded, as 16-bit PCM at 44.1 kHz
// (at 22.05 or 11.025 kHz when the source has that rate), mono or stereo. Null with a reason in
// `error` when the file cannot be read or has no sound.
std::unique_ptr<SoundStreamReader> OpenSoundStream(const std::string& path,
                                                   std::string* error = nullptr);
// The format OpenSoundStream delivers for the audio stream `stream` of an AVI file: its
// own record when it is read as it is, 16-bit PCM at 44.1 kHz (mono or stereo) when it is
// decoded, and its own record again when no decoder takes it or nothing of it decodes
// (the format checks then say why it is refused).
WAVEFORMATEX DeliveredSoundFormat(PAVISTREAM stream);

// The WAV reader alone.
std::unique_ptr<SoundStreamReader> OpenWavSoundStream(const std::string& path,
                                                      std::string* error = nullptr);

}  // namespace quendrolix
