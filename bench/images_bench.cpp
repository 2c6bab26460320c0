// Timing of the picture paths other areas lean on: loading a file through CBmp, and
// turning a screen bitmap into 8-bit rows against one fixed palette (every frame of an
// 8-bit AVI). bench/images.sh runs the same work through ImageMagick and prints ratios.
//
//   images_bench load IN REPEAT              load IN REPEAT times
//   images_bench remap IN PALETTE OUT REPEAT map IN to PALETTE's colours, write OUT (BMP)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/cbmp.h"
#include "image/dib_functions.h"

using namespace quendrolix;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: images_bench load IN REPEAT | remap IN PALETTE OUT REPEAT\n");
    return 2;
  }
  const std::string mode = argv[1];
  const auto start = std::chrono::steady_clock::now();
  int repeat = 0;
  if (mode == "load") {
    repeat = std::atoi(argv[3]);
    for (int i = 0; i < repeat; ++i) {
      CBmp picture;
      if (!picture.Load(argv[2])) return 1;
    }
  } else if (mode == "remap" && argc >= 6) {
    repeat = std::atoi(argv[5]);
    CBmp palettePicture;
    if (!palettePicture.Load(argv[3]) || !palettePicture.palette()) return 1;
    // One palette for the whole run: its lookup is built once, as for an AVI stream.
    HPALETTE palette = palettePicture.palette();
    for (int i = 0; i < repeat; ++i) {
      CBmp picture;
      if (!picture.Load(argv[2])) return 1;
      HDIB dib = DibFromBitmapAtDepth(*picture.bitmap(), 8, palette);
      if (!dib || !SaveDibFile(argv[4], *dib)) return 1;
    }
  } else {
    return 2;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %d in %.3f s (%.2f ms each)\n", mode.c_str(), repeat, seconds,
              1000 * seconds / repeat);
  return 0;
}
