// Decodes every frame of the first video stream of an AVI through our frame getter (the
// way extract, avi2mpg and join read foreign AVIs) and prints the frames and the seconds
// it took, best of `runs` runs (default 3).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/vfw/vfw.h"

using namespace quendrolix;

namespace {

// Seconds for one pass over every frame; negative when a frame could not be had.
double DecodeAll(const std::string& path, long* frames) {
  const auto start = std::chrono::steady_clock::now();
  ScopedAviFile file;
  ScopedAviStream stream;
  if (AVIFileOpen(file.out(), path, OF_READ) != AVIERR_OK ||
      AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, 0) != AVIERR_OK)
    return -1;
  PGETFRAME getter = AVIStreamGetFrameOpen(stream.get(), nullptr);
  if (!getter) return -1;
  const LONG first = AVIStreamStart(stream.get()), length = AVIStreamLength(stream.get());
  unsigned checksum = 0;
  for (LONG i = first; i < first + length; ++i) {
    const DibBlock* dib = AVIStreamGetFrame(getter, i);
    if (!dib) {
      AVIStreamGetFrameClose(getter);
      return -1;
    }
    checksum += DibPixels(*dib)[i % 1000];  // the frame is really there
  }
  AVIStreamGetFrameClose(getter);
  *frames = length;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return checksum == 0xFFFFFFFF ? seconds + 1e-9 : seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: foreign_decode_bench FILE.avi [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  double best = -1;
  long frames = 0;
  for (int r = 0; r < runs; ++r) {
    const double s = DecodeAll(argv[1], &frames);
    if (s < 0) {
      std::fprintf(stderr, "foreign_decode_bench: %s could not be decoded\n", argv[1]);
      return 1;
    }
    if (best < 0 || s < best) best = s;
  }
  std::printf("frames %ld\nseconds %.4f\n", frames, best);
  return 0;
}
