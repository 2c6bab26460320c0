#pragma once

// MP4 files: H.264 video (x264) and AAC sound, as browsers, ffmpeg, VLC and mpv play them.
// Each picture is given with how many frames it lasts at the movie's frame rate, so a
// slideshow codes every picture once and keeps its exact timing. The file is written
// under a temporary name beside the target and renamed into place by Finish(); a writer
// that is dropped unfinished leaves nothing behind.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/dib.h"

namespace quendrolix::av {

struct Mp4Settings {
  int width = 0;           // picture size; an odd width or height is coded one larger, the last
  int height = 0;          // column or row repeated (4:2:0 needs even sizes)
  int rateNumerator = 15;  // frame rate as a fraction
  int rateDenominator = 1;
  int quality = 7500;  // 0..10000: rate factor 51 down to 18, as the "H264" compressor
  bool sound = false;
  int sampleRate = 44100;  // of the PCM given to AddSound
  int channels = 2;        // 1 or 2
};

class Mp4Writer {
 public:
  static std::unique_ptr<Mp4Writer> Create(const std::string& path, const Mp4Settings& settings,
                                           std::string* error);
  ~Mp4Writer();
  Mp4Writer(const Mp4Writer&) = delete;
  Mp4Writer& operator=(const Mp4Writer&) = delete;

  // The next picture (an uncompressed block of any depth, of the movie's size), shown for
  // `frames` frames (at least 1).
  bool AddPicture(const DibBlock& picture, int64_t frames);
  // 16-bit interleaved PCM at the settings' rate and channels.
  bool AddSound(const int16_t* samples, size_t frames);
  // Codes what is held back, completes the file and renames it into place.
  bool Finish();

  // Frames of video given so far.
  int64_t videoFrames() const;
  // Why the last call failed.
  const std::string& error() const;

 private:
  struct State;
  explicit Mp4Writer(std::unique_ptr<State> state);
  bool WriteVideoPackets(bool flush);
  bool WriteAudioPackets(bool flush);
  bool EncodeAudio(bool last);
  std::unique_ptr<State> state_;
};

}  // namespace quendrolix::av
