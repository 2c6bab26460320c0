#pragma once

// What ffmpeg makes of a movie we wrote: when each decoded picture is shown and how bright
// it is, and the decoded sound with its start, on one clock (the file's own timestamps).

#include <cstdint>
#include <string>
#include <vector>

namespace quendrolix::testing {

struct DecodedMovie {
  bool ok = false;
  std::string why;
  std::vector<double> frameTimes;  // seconds, as stored
  std::vector<double> frameLuma;   // mean luma of each frame
  double videoEnd = 0;             // the last frame's end
  double audioStart = 0;
  double audioSeconds = 0;
  bool hasAudio = false;
  std::vector<int16_t> pcm;  // mono at pcmRate, when asked for
  int pcmRate = 0;
  double VideoSeconds() const { return frameTimes.empty() ? 0 : videoEnd - frameTimes.front(); }
};

// Seconds of sound ffmpeg decodes from a sound file; 0 when it decodes nothing.
double DecodedSoundSeconds(const std::string& path);

// Decodes `path` with ffmpeg; the sound is resampled to `pcmRate` mono (kept in `pcm`
// when `keepPcm`).
DecodedMovie DecodeMovie(const std::string& path, int pcmRate = 8000, bool keepPcm = false);

// Bytes of padding in an MPEG-1 system stream (padding packets) and in all, or -1 when
// the file is not a well-formed stream.
struct PaddingCount {
  int64_t padding = -1;
  int64_t total = 0;
};
PaddingCount MpgPadding(const std::string& path);
// Bytes of JUNK chunks among an AVI's frames (the header's fixed reservations left out),
// and the file's size.
PaddingCount AviPadding(const std::string& path);

}  // namespace quendrolix::testing
