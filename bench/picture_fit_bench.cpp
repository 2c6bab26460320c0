// Timing of the fit stage: each photograph loaded (turned upright on the way) and fitted
// into one output frame by letterbox with the Lanczos filter, as every road does once per
// picture. Prints the seconds spent loading and fitting apart, so bench/picture_fit.sh can
// set the fitting beside ImageMagick's -resize of the same photographs.
//
//   picture_fit_bench WIDTH HEIGHT PHOTO...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/cbmp.h"
#include "image/picture_fit.h"

using namespace quendrolix;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: picture_fit_bench WIDTH HEIGHT PHOTO...\n");
    return 2;
  }
  const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
  using Clock = std::chrono::steady_clock;
  double loading = 0, fitting = 0;
  for (int i = 3; i < argc; ++i) {
    const auto start = Clock::now();
    CBmp picture;
    if (!picture.Load(argv[i])) {
      std::fprintf(stderr, "could not load %s\n", argv[i]);
      return 1;
    }
    const auto loaded = Clock::now();
    HBITMAP fitted = FitPicture(*picture.bitmap(), width, height, PictureFit::kLetterbox);
    if (!fitted) return 1;
    const auto done = Clock::now();
    loading += std::chrono::duration<double>(loaded - start).count();
    fitting += std::chrono::duration<double>(done - loaded).count();
  }
  std::printf("ours_load_s %.3f\nours_fit_s %.3f\n", loading, fitting);
  return 0;
}
