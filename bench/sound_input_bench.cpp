// Reads a sound file the way the layer II encoder takes it: opened by OpenSoundStream
// (decoded and resampled to 44.1 kHz when it is not stored so) and delivered in blocks of
// 1152 samples by PcmSource. Prints the seconds of sound and the seconds it took, best of
// `runs` runs (default 3).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "mpeg/audio/pcm_source.h"
#include "mpeg/audio/sound_stream.h"

using namespace quendrolix;

namespace {

// Seconds for one pass; negative when the sound could not be read.
double ReadAll(const std::string& path, double* soundSeconds) {
  const auto start = std::chrono::steady_clock::now();
  std::string why;
  std::unique_ptr<SoundStreamReader> stream = OpenSoundStream(path, &why);
  if (!stream) {
    std::fprintf(stderr, "sound_input_bench: %s: %s\n", path.c_str(), why.c_str());
    return -1;
  }
  PcmSource source(*stream);
  int16_t left[PcmSource::kBlock], right[PcmSource::kBlock];
  uint64_t samples = 0;
  long checksum = 0;
  for (size_t got; (got = source.ReadBlock(left, right)) > 0;) {
    samples += got;
    checksum += left[samples % PcmSource::kBlock];  // the samples are really there
  }
  *soundSeconds = static_cast<double>(samples) / source.channels() / 44100.0;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return checksum == 0x7FFFFFFF ? seconds + 1e-9 : seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sound_input_bench FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  double best = -1, sound = 0;
  for (int r = 0; r < runs; ++r) {
    const double s = ReadAll(argv[1], &sound);
    if (s < 0) return 1;
    if (best < 0 || s < best) best = s;
  }
  std::printf("sound %.2f\nseconds %.4f\n", sound, best);
  return 0;
}
