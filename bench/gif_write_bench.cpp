// The animated GIF writer on photographic moving content. bench/gif.sh runs it beside
// ImageMagick and ffmpeg on the same frames.
//
//   gif_write_bench make DIR [FRAMES [WIDTH HEIGHT]]  writes DIR/f000.bmp... and DIR/source.rgb
//   gif_write_bench write DIR OUT.gif [local] [RUNS]  times our writer in-process on DIR's frames
//   gif_write_bench psnr A.rgb B.rgb                  PSNR of two raw RGB files
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../tests/support/gif_synthetic_photo.h"
#include "image/gif/gif_writer.h"

using namespace quendrolix;

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A 24-bit bottom-up BMP file of top-down RGB rows.
std::vector<uint8_t> Bmp(int w, int h, const std::vector<uint8_t>& rgb) {
  size_t stride = DibRowStride(w, 24);
  std::vector<uint8_t> out = {'B', 'M'};
  Put32(out, static_cast<uint32_t>(54 + stride * h));
  Put32(out, 0);
  Put32(out, 54);
  BITMAPINFOHEADER header{40,   w,    h, 1, 24, BI_RGB, static_cast<uint32_t>(stride * h),
                          2835, 2835, 0, 0};
  const uint8_t* hb = reinterpret_cast<const uint8_t*>(&header);
  out.insert(out.end(), hb, hb + sizeof header);
  for (int y = h - 1; y >= 0; --y) {
    size_t start = out.size();
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      out.insert(out.end(), {p[2], p[1], p[0]});
    }
    out.resize(start + stride, 0);
  }
  return out;
}

int Make(const std::string& dir, int frames, int w, int h) {
  testing::SyntheticPhotoScene scene(w, h, frames);
  std::ofstream raw(dir + "/source.rgb", std::ios::binary);
  for (int t = 0; t < frames; ++t) {
    auto rgb = scene.Frame(t);
    raw.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    char name[32];
    std::snprintf(name, sizeof name, "/f%03d.bmp", t);
    auto bmp = Bmp(w, h, rgb);
    std::ofstream(dir + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  }
  return raw ? 0 : 1;
}

// Frames from the BMP files the make step wrote, held in memory so that only the writer
// is timed.
int Write(const std::string& dir, const std::string& out, bool local, int runs) {
  std::vector<HDIB> dibs;
  for (int t = 0;; ++t) {
    char name[32];
    std::snprintf(name, sizeof name, "/f%03d.bmp", t);
    auto bytes = ReadFile(dir + name);
    if (bytes.size() < 54) break;
    dibs.push_back(DibBlock::FromBytes(bytes.data() + 14, bytes.size() - 14));
  }
  if (dibs.empty()) {
    std::fprintf(stderr, "no frames in %s\n", dir.c_str());
    return 1;
  }
  GifOutputSettings settings;
  settings.SetGlobalColormap(!local);
  settings.SetGlobalDelay(10);
  settings.SetPlay(0);
  double best = 1e9;
  GifWriteResult result;
  for (int run = 0; run < runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    result = WriteAnimatedGif(
        out, dibs.size(),
        [&](size_t i, GifSourceFrame& frame, std::string&) {
          frame.dib = DibBlock::FromBytes(dibs[i]->data(), dibs[i]->size());
          return GifFrameStatus::kFrame;
        },
        settings);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result.ok) {
      std::fprintf(stderr, "%s\n", result.message.c_str());
      return 1;
    }
    best = std::min(best, seconds);
  }
  std::printf("%.3f\n", best);
  return 0;
}

int Psnr(const std::string& a, const std::string& b) {
  auto x = ReadFile(a), y = ReadFile(b);
  if (x.empty() || x.size() != y.size()) {
    std::printf("n/a\n");
    return 1;
  }
  double sum = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    double d = double(x[i]) - double(y[i]);
    sum += d * d;
  }
  std::printf("%.2f\n", sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * x.size() / sum));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 2 && args[0] == "make")
    return Make(args[1], args.size() > 2 ? std::atoi(args[2].c_str()) : 100,
                args.size() > 4 ? std::atoi(args[3].c_str()) : 640,
                args.size() > 4 ? std::atoi(args[4].c_str()) : 480);
  if (args.size() >= 3 && args[0] == "write") {
    bool local = args.size() > 3 && args[3] == "local";
    int runs = args.size() > 4 ? std::atoi(args[4].c_str()) : 3;
    return Write(args[1], args[2], local, std::max(runs, 1));
  }
  if (args.size() == 3 && args[0] == "psnr") return Psnr(args[1], args[2]);
  std::fprintf(stderr,
               "usage: gif_write_bench make DIR [FRAMES [W H]] | write DIR OUT.gif [local] [RUNS]"
               " | psnr A.rgb B.rgb\n");
  return 2;
}
