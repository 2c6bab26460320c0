#include "image/edit/image_edit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace quendrolix::edit {
namespace {

inline int Channel(Bgrx p, int shift) {
  return static_cast<int>((p >> shift) & 0xFF);
}
inline Bgrx Pack(int r, int g, int b) {
  return (static_cast<Bgrx>(r) << 16) | (static_cast<Bgrx>(g) << 8) | static_cast<Bgrx>(b);
}

// Applies a per-channel table to every pixel.
HBITMAP MapChannels(const Bitmap& source, const std::array<uint8_t, 256>& table) {
  HBITMAP out = Bitmap::CreateForOverwrite(source.width(), source.height());
  if (!out) return nullptr;
  for (int y = 0; y < source.height(); ++y) {
    const Bgrx* in = source.Row(y);
    Bgrx* row = out->Row(y);
    for (int x = 0; x < source.width(); ++x)
      row[x] = Pack(table[Channel(in[x], 16)], table[Channel(in[x], 8)], table[Channel(in[x], 0)]);
  }
  return out;
}

// One axis of a resampling: for each output position the source positions it reads and
// their weights (fixed point, summing to 1 << 14).
struct Taps {
  std::vector<int> first;    // first source index per output index
  std::vector<int> count;    // number of taps per output index
  std::vector<int> weights;  // all taps, output index after output index
};
constexpr int kWeightBits = 14;

Taps MakeTaps(int sourceSize, int outSize) {
  Taps taps;
  taps.first.resize(outSize);
  taps.count.resize(outSize);
  const double scale = static_cast<double>(sourceSize) / outSize;
  std::vector<double> w;
  for (int o = 0; o < outSize; ++o) {
    w.clear();
    int first = 0;
    if (scale > 1.0) {
      // Shrinking: the source interval [o * scale, (o + 1) * scale) weighted by coverage.
      double begin = o * scale, end = (o + 1) * scale;
      first = static_cast<int>(std::floor(begin));
      int last = std::min(sourceSize - 1, static_cast<int>(std::ceil(end)) - 1);
      for (int s = first; s <= last; ++s)
        w.push_back(std::min<double>(end, s + 1) - std::max<double>(begin, s));
    } else {
      // Enlarging (or the same size): bilinear between the two nearest source centres.
      double centre = (o + 0.5) * scale - 0.5;
      centre = std::clamp(centre, 0.0, static_cast<double>(sourceSize - 1));
      first = static_cast<int>(std::floor(centre));
      double frac = centre - first;
      w.push_back(1.0 - frac);
      if (first + 1 < sourceSize && frac > 0) w.push_back(frac);
    }
    double sum = 0;
    for (double v : w) sum += v;
    // Rounded so that the weights add up to exactly one: flat areas stay flat.
    int total = 0;
    taps.first[o] = first;
    taps.count[o] = static_cast<int>(w.size());
    for (size_t i = 0; i < w.size(); ++i) {
      int fixed = static_cast<int>(std::lround(w[i] / sum * (1 << kWeightBits)));
      if (i + 1 == w.size()) fixed = (1 << kWeightBits) - total;
      total += fixed;
      taps.weights.push_back(fixed);
    }
  }
  return taps;
}

}  // namespace

HBITMAP Rotate(const Bitmap& source, int quarterTurns) {
  int turns = ((quarterTurns % 4) + 4) % 4;
  const int w = source.width(), h = source.height();
  HBITMAP out = turns % 2 ? Bitmap::CreateForOverwrite(h, w) : Bitmap::CreateForOverwrite(w, h);
  if (!out) return nullptr;
  for (int y = 0; y < h; ++y) {
    const Bgrx* in = source.Row(y);
    for (int x = 0; x < w; ++x) {
      switch (turns) {
        case 0:
          out->Row(y)[x] = in[x];
          break;
        case 1:  // clockwise: the left column becomes the top row
          out->Row(x)[h - 1 - y] = in[x];
          break;
        case 2:
          out->Row(h - 1 - y)[w - 1 - x] = in[x];
          break;
        default:
          out->Row(w - 1 - x)[y] = in[x];
          break;
      }
    }
  }
  return out;
}

HBITMAP Flip(const Bitmap& source, bool horizontal) {
  const int w = source.width(), h = source.height();
  HBITMAP out = Bitmap::CreateForOverwrite(w, h);
  if (!out) return nullptr;
  for (int y = 0; y < h; ++y) {
    const Bgrx* in = source.Row(horizontal ? y : h - 1 - y);
    Bgrx* row = out->Row(y);
    if (horizontal)
      std::reverse_copy(in, in + w, row);
    else
      std::copy(in, in + w, row);
  }
  return out;
}

EditRect ClipToPicture(const EditRect& area, int width, int height) {
  if (area.IsEmpty()) return {};
  // 64-bit so that huge rectangles from a caller cannot overflow.
  int64_t left = std::max<int64_t>(area.x, 0);
  int64_t top = std::max<int64_t>(area.y, 0);
  int64_t right = std::min<int64_t>(int64_t{area.x} + area.width, width);
  int64_t bottom = std::min<int64_t>(int64_t{area.y} + area.height, height);
  if (right <= left || bottom <= top) return {};
  return EditRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                  static_cast<int>(bottom - top)};
}

HBITMAP Crop(const Bitmap& source, const EditRect& area) {
  EditRect clip = ClipToPicture(area, source.width(), source.height());
  if (clip.IsEmpty()) return nullptr;
  HBITMAP out = Bitmap::CreateForOverwrite(clip.width, clip.height);
  if (!out) return nullptr;
  for (int y = 0; y < clip.height; ++y) {
    const Bgrx* in = source.Row(clip.y + y) + clip.x;
    std::copy(in, in + clip.width, out->Row(y));
  }
  return out;
}

HBITMAP Resize(const Bitmap& source, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
  HBITMAP out = Bitmap::CreateForOverwrite(width, height);
  if (!out) return nullptr;
  Taps across = MakeTaps(source.width(), width);
  Taps down = MakeTaps(source.height(), height);
  std::vector<size_t> acrossStart(width);
  for (size_t x = 0, tap = 0; x < static_cast<size_t>(width); tap += across.count[x], ++x)
    acrossStart[x] = tap;

  // Output row by output row: each source row it covers is resampled across and added in
  // with its weight. Memory stays at two rows whatever the two sizes are.
  std::vector<int64_t> sum(static_cast<size_t>(width) * 3);
  constexpr int64_t kRound = int64_t{1} << (2 * kWeightBits - 1);
  size_t tap = 0;
  for (int y = 0; y < height; ++y) {
    std::fill(sum.begin(), sum.end(), 0);
    for (int k = 0; k < down.count[y]; ++k, ++tap) {
      const Bgrx* in = source.Row(down.first[y] + k);
      const int64_t rowWeight = down.weights[tap];
      for (int x = 0; x < width; ++x) {
        int32_t r = 0, g = 0, b = 0;
        const int* weights = across.weights.data() + acrossStart[x];
        const Bgrx* from = in + across.first[x];
        for (int j = 0; j < across.count[x]; ++j) {
          r += Channel(from[j], 16) * weights[j];
          g += Channel(from[j], 8) * weights[j];
          b += Channel(from[j], 0) * weights[j];
        }
        sum[x * 3] += r * rowWeight;
        sum[x * 3 + 1] += g * rowWeight;
        sum[x * 3 + 2] += b * rowWeight;
      }
    }
    Bgrx* row = out->Row(y);
    for (int x = 0; x < width; ++x) {
      int v[3];
      for (int ch = 0; ch < 3; ++ch)
        v[ch] = static_cast<int>(
            std::clamp<int64_t>((sum[x * 3 + ch] + kRound) >> (2 * kWeightBits), 0, 255));
      row[x] = Pack(v[0], v[1], v[2]);
    }
  }
  return out;
}

void FitSize(int width, int height, int boxWidth, int boxHeight, int& outWidth, int& outHeight) {
  if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) {
    outWidth = std::max(boxWidth, 1);
    outHeight = std::max(boxHeight, 1);
    return;
  }
  // Compare the two aspect ratios in 64 bits: the side that limits decides the scale.
  if (int64_t{width} * boxHeight >= int64_t{height} * boxWidth) {
    outWidth = boxWidth;
    outHeight = static_cast<int>((int64_t{height} * boxWidth + width / 2) / width);
  } else {
    outHeight = boxHeight;
    outWidth = static_cast<int>((int64_t{width} * boxHeight + height / 2) / height);
  }
  outWidth = std::max(outWidth, 1);
  outHeight = std::max(outHeight, 1);
}

HBITMAP PlaceOnFrame(const Bitmap& source, int width, int height, int x, int y) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
  HBITMAP out = Bitmap::Create(width, height);  // black
  if (!out) return nullptr;
  EditRect inside = ClipToPicture({x, y, source.width(), source.height()}, width, height);
  for (int row = 0; row < inside.height; ++row) {
    const Bgrx* in = source.Row(inside.y - y + row) + (inside.x - x);
    std::copy(in, in + inside.width, out->Row(inside.y + row) + inside.x);
  }
  return out;
}

HBITMAP Greyscale(const Bitmap& source) {
  HBITMAP out = Bitmap::CreateForOverwrite(source.width(), source.height());
  if (!out) return nullptr;
  for (int y = 0; y < source.height(); ++y) {
    const Bgrx* in = source.Row(y);
    Bgrx* row = out->Row(y);
    for (int x = 0; x < source.width(); ++x) {
      int grey =
          (299 * Channel(in[x], 16) + 587 * Channel(in[x], 8) + 114 * Channel(in[x], 0) + 500) /
          1000;
      row[x] = Pack(grey, grey, grey);
    }
  }
  return out;
}

HBITMAP BrightnessContrast(const Bitmap& source, int brightness, int contrast) {
  brightness = std::clamp(brightness, kMinAdjust, kMaxAdjust);
  contrast = std::clamp(contrast, kMinAdjust, kMaxAdjust);
  std::array<uint8_t, 256> table{};
  for (int v = 0; v < 256; ++v) {
    // In hundredths, rounded half away from zero, so that 0/0 maps every value to itself.
    int scaled = (v - 128) * (100 + contrast) + 128 * 100 + brightness * 255;
    int rounded = scaled >= 0 ? (scaled + 50) / 100 : -((-scaled + 50) / 100);
    table[v] = static_cast<uint8_t>(std::clamp(rounded, 0, 255));
  }
  return MapChannels(source, table);
}

}  // namespace quendrolix::edit
