// Times the layer II encoder on music-like 44.1 kHz stereo sound (5 minutes by default):
// chords, a beat of noise bursts and a little hiss, written as a WAV and encoded at
// 128 kbit/s from the file, the way "WAV -> MP2" does it. bench/mpeg_audio.sh runs
// twolame on the same file in the same run.
//
// Usage: mpeg_audio_bench [--seconds N] [--runs N] [--wav PATH] [--bitrate K]
// A --wav file is kept, and reused when it is already there.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "mpeg/audio/layer2_encoder.h"
#include "mpeg/audio/mp2_engine.h"
#include "mpeg/audio/pcm_source.h"
#include "mpeg/audio/sound_stream.h"
#include "platform/vfw/wav_file.h"

namespace {

using namespace quendrolix;

bool WriteMusic(const std::string& path, int seconds) {
  WavWriter writer;
  if (!writer.Open(path, PcmFormat(44100, 2, 16))) return false;
  std::mt19937 random(42);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  const double pi = std::numbers::pi;
  const double chords[4][3] = {{261.63, 329.63, 392.0},
                               {220.0, 261.63, 329.63},
                               {174.61, 220.0, 261.63},
                               {196.0, 246.94, 293.66}};
  std::vector<int16_t> block;
  double burst = 0.0;
  const size_t total = static_cast<size_t>(seconds) * 44100;
  for (size_t n = 0; n < total; ++n) {
    const double t = n / 44100.0;
    const double* chord = chords[(n / 88200) % 4];  // a new chord every two seconds
    if (n % 11025 == 0) burst = 0.5;                // four beats a second
    burst *= 0.9995;
    for (int ch = 0; ch < 2; ++ch) {
      double v = burst * noise(random) + 0.01 * noise(random);
      for (int k = 0; k < 3; ++k) {
        const double f = chord[k] * (ch ? 1.002 : 1.0);
        v += 0.1 * std::sin(2 * pi * f * t) + 0.03 * std::sin(4 * pi * f * t + k);
      }
      block.push_back(static_cast<int16_t>(std::clamp(v, -1.0, 1.0) * 32767.0));
    }
    if (block.size() >= 65536 || n + 1 == total) {
      if (!writer.Write(block.data(), block.size() * 2)) return false;
      block.clear();
    }
  }
  return writer.Close();
}

double EncodeSeconds(const std::string& wav, const std::string& mp2, int bitRate) {
  const auto start = std::chrono::steady_clock::now();
  Mp2Engine().ResetParameters();
  Mp2Engine().parameters.bitRate = bitRate;
  std::unique_ptr<SoundStreamReader> stream = OpenSoundStream(wav);
  if (!stream || !CheckSoundFormat(*stream)) {
    std::fprintf(stderr, "cannot read %s\n", wav.c_str());
    std::exit(1);
  }
  PcmSource source(*stream);
  EncodeMp2File(mp2, source);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 300, runs = 3, bitRate = 128;
  std::string wav;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--seconds"))
      seconds = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--runs"))
      runs = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--wav"))
      wav = argv[i + 1];
    else if (!std::strcmp(argv[i], "--bitrate"))
      bitRate = std::atoi(argv[i + 1]);
  }
  const bool keep = !wav.empty();
  const std::string folder = std::filesystem::temp_directory_path().string();
  if (!keep) wav = folder + "/mpeg_audio_bench_" + std::to_string(::getpid()) + ".wav";
  const std::string mp2 = folder + "/mpeg_audio_bench_" + std::to_string(::getpid()) + ".mp2";
  if (!(keep && std::filesystem::exists(wav)) && !WriteMusic(wav, seconds)) {
    std::fprintf(stderr, "cannot write %s\n", wav.c_str());
    return 1;
  }
  EncodeSeconds(wav, mp2, bitRate);  // warm-up: tables, page cache
  double best = 1e30;
  for (int r = 0; r < std::max(1, runs); ++r)
    best = std::min(best, EncodeSeconds(wav, mp2, bitRate));
  std::printf(
      "ours: %d s of 44.1 kHz stereo at %d kbit/s in %.3f s (best of %d): %.1fx real time\n",
      seconds, bitRate, best, runs, seconds / best);
  std::filesystem::remove(mp2);
  if (!keep) std::filesystem::remove(wav);
  return 0;
}
