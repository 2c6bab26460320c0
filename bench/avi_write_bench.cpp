// Writes 250 frames of 640 x 480 moving content through our AVI layer, as full frames and
// as MS Video 1 (the program's default options), and prints frames per second. With a
// folder argument it also leaves the same frames there as raw bgr24 ("frames.bgr") for
// bench/avi.sh to feed ffmpeg.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/vfw/codec.h"
#include "platform/vfw/vfw.h"

using namespace quendrolix;

namespace {

constexpr int kWidth = 640, kHeight = 480, kFrames = 250;

// A gradient background with a ball and a bar moving across it.
HDIB MakeFrame(int t) {
  HDIB dib = NewDib(kWidth, kHeight, 24, 0);
  const size_t stride = DibRowStride(kWidth, 24);
  const double bx = 320 + 250 * std::sin(t * 0.05), by = 240 + 180 * std::cos(t * 0.07);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = DibPixels(*dib) + static_cast<size_t>(kHeight - 1 - y) * stride;
    for (int x = 0; x < kWidth; ++x) {
      uint8_t b = static_cast<uint8_t>(x * 255 / kWidth),
              g = static_cast<uint8_t>(y * 255 / kHeight), r = static_cast<uint8_t>((x + y) / 5);
      const double dx = x - bx, dy = y - by;
      if (dx * dx + dy * dy < 60 * 60) r = 240, g = 60, b = 30;
      if (((x + 4 * t) % 160) < 12) r = g = b = 250;
      row[3 * x] = b;
      row[3 * x + 1] = g;
      row[3 * x + 2] = r;
    }
  }
  return dib;
}

double WriteAvi(const std::string& path, const std::vector<HDIB>& frames, FOURCC handler) {
  const auto start = std::chrono::steady_clock::now();
  ScopedAviFile file;
  if (AVIFileOpen(file.out(), path, OF_WRITE | OF_CREATE) != AVIERR_OK) return -1;
  AVISTREAMINFO info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 25;
  info.rcFrame = {0, 0, kWidth, kHeight};
  ScopedAviStream stream, compressed;
  AVICOMPRESSOPTIONS options;
  options.fccType = streamtypeVIDEO;
  options.fccHandler = handler;
  options.dwKeyFrameEvery = 20;
  options.dwQuality = 10000;
  options.dwFlags = AVICOMPRESSF_VALID | AVICOMPRESSF_KEYFRAMES;
  if (AVIFileCreateStream(file.get(), stream.out(), &info) != AVIERR_OK ||
      AVIMakeCompressedStream(compressed.out(), stream.get(), &options) != AVIERR_OK)
    return -1;
  const DibBlock& first = *frames.front();
  if (AVIStreamSetFormat(compressed.get(), 0, first.data(),
                         static_cast<LONG>(DibPixelOffset(first))) != AVIERR_OK)
    return -1;
  for (size_t i = 0; i < frames.size(); ++i) {
    const DibBlock& f = *frames[i];
    if (AVIStreamWrite(compressed.get(), static_cast<LONG>(i), 1, DibPixels(f),
                       static_cast<LONG>(f.size() - DibPixelOffset(f)), AVIIF_KEYFRAME, nullptr,
                       nullptr) != AVIERR_OK)
      return -1;
  }
  compressed.reset();
  stream.reset();
  file.reset();  // the file is complete once released
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return frames.size() / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  std::vector<HDIB> frames;
  for (int t = 0; t < kFrames; ++t) frames.push_back(MakeFrame(t));
  if (argc > 1) {
    std::FILE* raw = std::fopen((folder + "/frames.bgr").c_str(), "wb");
    if (!raw) return 1;
    const size_t stride = DibRowStride(kWidth, 24);
    for (const HDIB& f : frames)
      for (int y = kHeight - 1; y >= 0; --y)
        std::fwrite(DibPixels(*f) + static_cast<size_t>(y) * stride, 1, kWidth * 3, raw);
    std::fclose(raw);
  }
  // One warm-up round so that both codecs start with warm caches.
  std::vector<HDIB> warm;
  for (int t = 0; t < 10; ++t) warm.push_back(MakeFrame(t));
  WriteAvi(folder + "/ours_msvc.avi", warm, kHandlerVideo1);
  const double dib = WriteAvi(folder + "/ours_dib.avi", frames, kHandlerFullFrames);
  const double video1 = WriteAvi(folder + "/ours_msvc.avi", frames, kHandlerVideo1);
  if (dib < 0 || video1 < 0) {
    std::fprintf(stderr, "writing failed\n");
    return 1;
  }
  std::printf("ours_dib_fps %.1f\n", dib);
  std::printf("ours_msvc_fps %.1f\n", video1);
  return 0;
}
