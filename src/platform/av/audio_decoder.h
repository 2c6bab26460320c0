#pragma once

// Sound decoding through the library decoders: any sound file the library reads (WAV of
// any rate, depth, float or channel count, MP3, Ogg Vorbis, Opus, FLAC, AAC/M4A), or the
// stored chunks of an AVI audio stream with its WAVEFORMATEX. What comes out is 16-bit
// interleaved PCM at a requested rate with one or two channels; the source's own rate,
// channels and duration can be asked.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quendrolix::av {

// The stored bytes of an AVI audio stream, chunk after chunk. Chunks need not hold whole
// frames: the decoder finds the frames in the bytes.
class AudioChunkSource {
 public:
  virtual ~AudioChunkSource() = default;
  // The next chunk into `bytes`; false at the end (or when nothing more can be read).
  virtual bool Next(std::vector<uint8_t>& bytes) = 0;
};

class AudioDecoder {
 public:
  // The first audio stream of a file.
  static std::unique_ptr<AudioDecoder> OpenFile(const std::string& path, std::string* error);
  // An AVI audio stream: its format record (WAVEFORMATEX and its extra bytes) and its
  // chunks. `durationSeconds` is what the stream header says (0 when unknown).
  static std::unique_ptr<AudioDecoder> OpenStream(const std::vector<uint8_t>& format,
                                                  std::unique_ptr<AudioChunkSource> chunks,
                                                  double durationSeconds, std::string* error);
  ~AudioDecoder();
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  int sourceRate() const;
  int sourceChannels() const;
  // Seconds of sound the source says it holds (0 when it does not say).
  double durationSeconds() const;
  // The library's name of the decoder ("mp3").
  std::string codecName() const;

  // What Read delivers: `rate` samples per second (1000..384000), one or two channels.
  // Until set: the source's rate, and mono for mono sources, stereo otherwise (more
  // channels are mixed down). Only before the first Read.
  bool SetOutput(int rate, int channels);
  int outputRate() const;
  int outputChannels() const;

  // Up to `frames` sample frames of 16-bit interleaved PCM into `out`; the frames given.
  // 0 at the end of the sound. Damaged stretches are skipped (the sound simply goes on
  // with what decodes next); error() says when reading stopped early.
  size_t Read(int16_t* out, size_t frames);
  // Samples (frames) the decoder could not decode and dropped so far: packets refused.
  uint64_t damagedPackets() const;
  const std::string& error() const;

 private:
  struct State;
  explicit AudioDecoder(std::unique_ptr<State> state);
  bool Refill();
  std::unique_ptr<State> state_;
};

}  // namespace quendrolix::av
