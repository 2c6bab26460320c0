// Helpers of bench/mpeg_video.sh, which measures our MPEG-1 video as people see it.
//   mpeg_video_bench moving DIR W H FRAMES   writes DIR/moving.rgb: moving content, rgb24
//   mpeg_video_bench psnr W H HOLD DEC SRC   RGB PSNR of the rgb24 frames of DEC against
//                                            SRC, whose frame i stands for HOLD frames
//   mpeg_video_bench list OUT HOLD MODE PICTURE...
//                                            our engine on pictures held HOLD frames each at
//                                            25 frames/s and the automatic rate, MODE
//                                            "slideshow" or "fixed" (every frame coded with
//                                            the I/P/B pattern); prints "seconds frames"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "mpeg/video/engine_services.h"
#include "mpeg/video/mpeg_converter.h"
#include "platform/host/conversion_log.h"

using namespace quendrolix;

namespace {

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352d;
  x ^= x >> 15;
  x *= 0x846ca68b;
  x ^= x >> 16;
  return x;
}

// A panning landscape of smooth shapes and fine texture, two objects moving their own
// way, and a little sensor noise. Rows top to bottom, red, green, blue.
void Scene(int w, int h, int t, std::vector<uint8_t>& rgb) {
  rgb.resize(static_cast<size_t>(w) * h * 3);
  double panX = 1.5 * t, panY = 0.6 * t;
  double ax = w * (0.5 + 0.35 * std::sin(t * 0.045)), ay = h * (0.5 + 0.3 * std::cos(t * 0.06));
  double bx = w * (0.5 + 0.4 * std::cos(t * 0.03 + 1)), by = h * (0.45 + 0.35 * std::sin(t * 0.05));
  double ra = std::min(w, h) * 0.12, rb = std::min(w, h) * 0.08;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = rgb.data() + static_cast<size_t>(y) * w * 3;
    for (int x = 0; x < w; ++x) {
      double u = x + panX, v = y + panY;
      double base =
          110 + 60 * std::sin(u * 0.021) * std::cos(v * 0.017) + 25 * std::sin((u + v) * 0.11);
      int texture = ((static_cast<int>(u) / 12 + static_cast<int>(v) / 12) & 1) ? 14 : -14;
      int noise = static_cast<int>(Hash(x * 7919 + y * 104729 + t * 15485863) % 9) - 4;
      double r = base + texture + noise, g = base * 0.9 + 20 + noise, b = 200 - base * 0.6 + noise;
      double da = std::hypot(x - ax, y - ay), db = std::hypot(x - bx, y - by);
      if (da < ra) r = 230, g = 60 + 40 * std::sin(da * 0.5), b = 50;
      if (db < rb) r = 40 + ((x + y + t) & 31), g = 200, b = 230;
      row[3 * x] = static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
      row[3 * x + 1] = static_cast<uint8_t>(std::clamp(g, 0.0, 255.0));
      row[3 * x + 2] = static_cast<uint8_t>(std::clamp(b, 0.0, 255.0));
    }
  }
}

int Moving(const std::string& dir, int w, int h, int frames) {
  std::ofstream out(dir + "/moving.rgb", std::ios::binary);
  std::vector<uint8_t> rgb;
  for (int t = 0; t < frames; ++t) {
    Scene(w, h, t, rgb);
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
  }
  return out ? 0 : 1;
}

// Mean over the frames of each frame's PSNR over its three colour planes (99 dB for a
// frame without error), as players show the pictures.
int Psnr(int w, int h, int hold, const std::string& decoded, const std::string& source) {
  std::ifstream dec(decoded, std::ios::binary), src(source, std::ios::binary);
  const size_t frame = static_cast<size_t>(w) * h * 3;
  std::vector<char> a(frame), b(frame);
  double total = 0;
  int n = 0;
  while (dec.read(a.data(), static_cast<std::streamsize>(frame))) {
    if (n % hold == 0 && !src.read(b.data(), static_cast<std::streamsize>(frame))) break;
    double sum = 0;
    for (size_t i = 0; i < frame; ++i) {
      double d = static_cast<uint8_t>(a[i]) - static_cast<double>(static_cast<uint8_t>(b[i]));
      sum += d * d;
    }
    total += sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * frame / sum);
    ++n;
  }
  std::printf("%.2f %d\n", n ? total / n : 0.0, n);
  return n ? 0 : 1;
}

int List(const std::string& out, int hold, const std::string& mode,
         const std::vector<std::string>& pictures) {
  std::vector<int> counts(pictures.size(), hold);
  VideoCoding coding;
  coding.videoRateKbps = kAutomaticVideoRate;
  coding.slideshow = mode == "slideshow";
  auto start = std::chrono::steady_clock::now();
  if (!ConvertImageListToMpg(pictures, counts, "", out, 0, 0, 0, 0, 0, 0, 25, 1, coding)) return 1;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.4f %d\n", seconds, static_cast<int>(pictures.size()) * hold);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 5 && args[0] == "moving")
    return Moving(args[1], std::atoi(args[2].c_str()), std::atoi(args[3].c_str()),
                  std::atoi(args[4].c_str()));
  if (args.size() == 6 && args[0] == "psnr")
    return Psnr(std::atoi(args[1].c_str()), std::atoi(args[2].c_str()),
                std::max(1, std::atoi(args[3].c_str())), args[4], args[5]);
  if (args.size() >= 5 && args[0] == "list")
    return List(args[1], std::max(1, std::atoi(args[2].c_str())), args[3],
                std::vector<std::string>(args.begin() + 4, args.end()));
  std::fprintf(stderr,
               "usage: mpeg_video_bench moving DIR W H FRAMES | psnr W H HOLD DEC SRC |\n"
               "       list OUT HOLD slideshow|fixed PICTURE...\n");
  return 2;
}
