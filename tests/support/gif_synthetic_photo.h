#pragma once

// A photographic-looking moving scene for the GIF tests and the GIF benchmark: a sky with
// soft clouds over textured hills, a shaded ball crossing it, the camera panning and a
// little film grain, so that colour reduction meets smooth gradients, fine texture and
// change in every frame. Header-only so the benchmark, which links no test code, can use
// it as well.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace quendrolix::testing {

class SyntheticPhotoScene {
 public:
  static constexpr int kPanPerFrame = 3;

  SyntheticPhotoScene(int width, int height, int frames, uint32_t seed = 1)
      : width_(width), height_(height), seed_(seed) {
    panoramaWidth_ = width + kPanPerFrame * std::max(frames, 1);
    panorama_.resize(static_cast<size_t>(panoramaWidth_) * height * 3);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < panoramaWidth_; ++x) Landscape(x, y, &panorama_[Index(x, y)]);
  }

  int width() const { return width_; }
  int height() const { return height_; }

  // Frame t as top-down rows of red, green, blue.
  std::vector<uint8_t> Frame(int t) const {
    std::vector<uint8_t> rgb(static_cast<size_t>(width_) * height_ * 3);
    int pan = std::min(t * kPanPerFrame, panoramaWidth_ - width_);
    double ballX = width_ * 0.15 + t * width_ * 0.006,
           ballY = height_ * (0.42 + 0.08 * std::sin(t * 0.2));
    double radius = height_ * 0.12;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        uint8_t* out = &rgb[(static_cast<size_t>(y) * width_ + x) * 3];
        const uint8_t* in = &panorama_[Index(x + pan, y)];
        double c[3] = {double(in[0]), double(in[1]), double(in[2])};
        double dx = (x - ballX) / radius, dy = (y - ballY) / radius, d2 = dx * dx + dy * dy;
        if (d2 < 1.0) {
          // Lit from the upper left: diffuse red with a soft highlight, edge blended.
          double nz = std::sqrt(1.0 - d2);
          double light = std::max(0.0, -0.5 * dx - 0.6 * dy + 0.62 * nz);
          double spec = std::pow(std::max(0.0, light), 24.0);
          double ball[3] = {40 + 190 * light + 200 * spec, 20 + 40 * light + 200 * spec,
                            25 + 30 * light + 200 * spec};
          double edge = std::clamp((1.0 - std::sqrt(d2)) * radius, 0.0, 1.0);
          for (int k = 0; k < 3; ++k) c[k] = c[k] * (1 - edge) + ball[k] * edge;
        }
        double grain = (Hash(x, y, static_cast<uint32_t>(t) + seed_ * 7919u) - 0.5) * 6.0;
        for (int k = 0; k < 3; ++k)
          out[k] = static_cast<uint8_t>(std::clamp(std::lround(c[k] + grain), 0L, 255L));
      }
    return rgb;
  }

 private:
  size_t Index(int x, int y) const { return (static_cast<size_t>(y) * panoramaWidth_ + x) * 3; }

  static double Hash(int x, int y, uint32_t salt) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 salt * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFFFF) / double(0xFFFFFF);
  }

  // Smoothly interpolated lattice noise, several octaves, in 0..1.
  double Noise(double x, double y, uint32_t salt) const {
    int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    double fx = x - x0, fy = y - y0;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    uint32_t s = salt + seed_ * 101u;
    double a = Hash(x0, y0, s), b = Hash(x0 + 1, y0, s), c = Hash(x0, y0 + 1, s),
           d = Hash(x0 + 1, y0 + 1, s);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
  }
  double Fractal(double x, double y, uint32_t salt, int octaves = 5) const {
    double sum = 0, amplitude = 0.5, total = 0;
    for (int i = 0; i < octaves; ++i) {
      sum += amplitude * Noise(x, y, salt + static_cast<uint32_t>(i) * 31u);
      total += amplitude;
      x *= 2.03;
      y *= 2.03;
      amplitude *= 0.5;
    }
    return sum / total;
  }

  void Landscape(int x, int y, uint8_t* out) const {
    double h = height_;
    double horizon = h * (0.58 + 0.1 * (Fractal(x / 220.0, 0.5, 11, 4) - 0.5));
    double c[3];
    if (y < horizon) {
      double t = y / horizon;  // 0 at the top, 1 at the horizon
      double sky[3] = {35 + 160 * t, 85 + 125 * t, 165 + 70 * t};
      double cloud = Fractal(x / 150.0, y / 55.0, 23);
      double cover = std::clamp((cloud - 0.45) / 0.25, 0.0, 1.0);
      double shade = 0.78 + 0.22 * Fractal(x / 40.0, y / 20.0, 37, 3);
      for (int k = 0; k < 3; ++k)
        c[k] = sky[k] * (1 - cover) + (250 - 10 * (2 - k)) * shade * cover;
      // A warm glow low on the sky.
      double gx = (x - panoramaWidth_ * 0.7) / (h * 0.5), gy = (y - horizon) / (h * 0.35);
      double glow = std::exp(-(gx * gx + gy * gy));
      c[0] += 60 * glow;
      c[1] += 35 * glow;
      c[2] -= 10 * glow;
    } else {
      double depth = (y - horizon) / (h - horizon + 1);  // 0 far, 1 near
      double scale = 0.3 + 2.5 * depth;
      double field = Fractal(x / (70.0 * scale), y / (25.0 * scale), 53);
      double texture = Fractal(x / (5.0 * scale), y / (2.5 * scale), 71, 3);
      double grass[3] = {55, 115, 35}, earth[3] = {130, 100, 62};
      double mix = std::clamp((field - 0.35) / 0.35, 0.0, 1.0);
      double light = 0.55 + 0.5 * depth * 0.6 + 0.35 * (texture - 0.5);
      for (int k = 0; k < 3; ++k) c[k] = (grass[k] * (1 - mix) + earth[k] * mix) * light;
      // Haze towards the horizon.
      double haze = std::exp(-depth * 6);
      double hazeColour[3] = {180, 195, 210};
      for (int k = 0; k < 3; ++k) c[k] = c[k] * (1 - 0.6 * haze) + hazeColour[k] * 0.6 * haze;
    }
    for (int k = 0; k < 3; ++k)
      out[k] = static_cast<uint8_t>(std::clamp(std::lround(c[k]), 0L, 255L));
  }

  int width_, height_;
  uint32_t seed_;
  int panoramaWidth_;
  std::vector<uint8_t> panorama_;
};

}  // namespace quendrolix::testing
