// Build-time helper of the manual: writes a movie again as an MP4, as the web-page
// tutorial's example page shows an MPG converted for browsers.
// Usage: quendrolix-web-example SOURCE TARGET.mp4 FPS
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/movie_to_mp4.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SOURCE TARGET.mp4 FPS\n", argv[0]);
    return 2;
  }
  std::string error;
  if (!quendrolix::ConvertMovieToMp4(argv[1], argv[2], std::atoi(argv[3]), &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
