// Times the multiplexing run (both stream scans and the multiplexer) on a video and an
// audio elementary stream: mpeg_system_bench VIDEO AUDIO OUTPUT [REPEATS]. Prints the best
// and median wall time, and the bytes moved per second (inputs read twice, output written).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "mpeg/system/mpg_merge.h"
#include "mpeg/system/multiplexer.h"
#include "platform/host/file_exception.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s VIDEO AUDIO OUTPUT [REPEATS]\n", argv[0]);
    return 2;
  }
  const int repeats = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  std::vector<double> seconds;
  try {
    for (int i = 0; i < repeats; ++i) {
      auto start = std::chrono::steady_clock::now();
      quendrolix::MultiplexFiles(argv[1], argv[2], argv[3]);
      seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  } catch (const quendrolix::CFileException& e) {
    std::fprintf(stderr, "multiplexing failed: %s\n", e.what());
    return 1;
  }
  std::sort(seconds.begin(), seconds.end());
  namespace fs = std::filesystem;
  const double in = static_cast<double>(fs::file_size(argv[1]) + fs::file_size(argv[2]));
  const double out = static_cast<double>(fs::file_size(argv[3]));
  const auto& counters = quendrolix::TheSystemStreamEngine().counters;
  std::printf("quendrolix multiplex: best %.3f s, median %.3f s over %d runs\n", seconds.front(),
              seconds[seconds.size() / 2], repeats);
  std::printf("  input %.1f MB, output %.1f MB, %.0f MB/s read twice and written\n", in / 1e6,
              out / 1e6, (2 * in + out) / 1e6 / seconds.front());
  std::printf("  video timed-out %u, audio timed-out %u\n", counters.videoTimedOut,
              counters.audioTimedOut);
  return 0;
}
