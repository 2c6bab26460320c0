// The GIF reader on arbitrary bytes.
#include "image/gif_reader.h"
#include "image/image_io.h"
#include "image_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quendrolix;
  FileHandle f = OpenMemory(data, size);
  if (!f) return 0;
  GifImageInfo info;
  int status = 0;
  HDIB dib = ReadGifStream(f.get(), 0, &info, &status);
  if (dib) fuzzing::TouchDib(*dib);
  return 0;
}
