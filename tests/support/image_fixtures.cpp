#include "support/image_fixtures.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "support/test_support.h"

namespace quendrolix::testing {

HBITMAP PatternBitmap(int width, int height, int seed) {
  HBITMAP bitmap = Bitmap::Create(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t r = static_cast<uint8_t>(x * 7 + y * 3 + seed);
      uint8_t g = static_cast<uint8_t>(x * 2 + y * 11 + seed * 5);
      uint8_t b = static_cast<uint8_t>(x * y + 13 * seed + 40);
      bitmap->SetPixel(x, y, BgrxFromColour(RGB(r, g, b)));
    }
  return bitmap;
}

std::vector<uint8_t> RgbOf(const Bitmap& bitmap) {
  std::vector<uint8_t> rgb;
  rgb.reserve(size_t(bitmap.width()) * bitmap.height() * 3);
  for (int y = 0; y < bitmap.height(); ++y)
    for (int x = 0; x < bitmap.width(); ++x) {
      COLORREF c = ColourFromBgrx(bitmap.Pixel(x, y));
      rgb.push_back(GetRValue(c));
      rgb.push_back(GetGValue(c));
      rgb.push_back(GetBValue(c));
    }
  return rgb;
}

std::vector<uint8_t> RgbOf(const CBmp& picture) {
  return picture.bitmap() ? RgbOf(*picture.bitmap()) : std::vector<uint8_t>{};
}

std::vector<uint8_t> RgbOfDib(const DibBlock& dib) {
  CBmp picture;
  if (!picture.SetFromDib(dib)) return {};
  return RgbOf(picture);
}

bool RunImageMagick(const std::string& arguments) {
  std::string convert = ImageMagickConvert();
  if (convert.empty()) return false;
  return RunCommand(convert + " " + arguments).status == 0;
}

std::vector<std::string> PhotoBitmaps(const std::vector<std::string>& photos,
                                      const std::string& folder, int width, int height,
                                      std::string& missing) {
  missing.clear();
  if (ImageMagickConvert().empty()) {
    missing = "ImageMagick is not installed";
    return {};
  }
  std::vector<std::string> out;
  for (const std::string& photo : photos) {
    if (!std::filesystem::exists(photo)) {
      missing = photo + " is missing (mate-backgrounds)";
      return {};
    }
    const std::string bmp =
        (std::filesystem::path(folder) / (std::filesystem::path(photo).stem().string() + ".bmp"))
            .string();
    if (!RunImageMagick(ShellQuote(photo) + " -resize " + std::to_string(width) + "x" +
                        std::to_string(height) + "! -type TrueColor BMP3:" + ShellQuote(bmp))) {
      missing = "ImageMagick could not convert " + photo;
      return {};
    }
    out.push_back(bmp);
  }
  return out;
}

bool ImageMagickRgb(const std::string& path, std::vector<uint8_t>& rgb, int& width, int& height,
                    int frame) {
  const std::string which = path + "[" + std::to_string(frame) + "]";
  std::string convert = ImageMagickConvert();
  if (convert.empty()) return false;
  CommandResult size =
      RunCommand(convert + " " + ShellQuote(which) + " -auto-orient -format '%w %h' info:");
  if (size.status != 0 || std::sscanf(size.output.c_str(), "%d %d", &width, &height) != 2)
    return false;
  TempDir dir;
  std::string raw = dir.File("pixels.rgb");
  if (RunCommand(convert + " " + ShellQuote(which) +
                 " -auto-orient -alpha off -colorspace sRGB -depth 8 " + ShellQuote("rgb:" + raw))
          .status != 0)
    return false;
  rgb = ReadBytes(raw);
  return rgb.size() == size_t(width) * height * 3;
}

int MaxChannelDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  return worst;
}

std::vector<uint8_t> GifWithLocalTable(int width, int height, int localBits,
                                       const std::vector<uint8_t>& localRgb,
                                       const std::vector<int>& pixels) {
  std::vector<uint8_t> out = {'G',
                              'I',
                              'F',
                              '8',
                              '9',
                              'a',
                              uint8_t(width),
                              uint8_t(width >> 8),
                              uint8_t(height),
                              uint8_t(height >> 8),
                              0x80,
                              0,
                              0,
                              9,
                              9,
                              9,
                              250,
                              250,
                              250};
  const uint8_t descriptor[10] = {0x2C,
                                  0,
                                  0,
                                  0,
                                  0,
                                  uint8_t(width),
                                  uint8_t(width >> 8),
                                  uint8_t(height),
                                  uint8_t(height >> 8),
                                  uint8_t(0x80 | (localBits - 1))};
  for (uint8_t b : descriptor) out.push_back(b);
  std::vector<uint8_t> table = localRgb;
  table.resize(size_t(3) << localBits);
  out.insert(out.end(), table.begin(), table.end());
  // Roots only, with a clear before the codes would widen.
  const int m = std::max(2, localBits), clear = 1 << m;
  const size_t chunk = std::max(1, (1 << m) - 3);
  std::vector<int> codes;
  for (size_t i = 0; i < pixels.size(); i += chunk) {
    codes.push_back(clear);
    for (size_t k = i; k < std::min(pixels.size(), i + chunk); ++k) codes.push_back(pixels[k]);
  }
  codes.push_back(clear + 1);
  std::vector<uint8_t> bytes;
  uint32_t bits = 0;
  int count = 0;
  for (int code : codes) {
    bits |= uint32_t(code) << count;
    count += m + 1;
    for (; count >= 8; count -= 8, bits >>= 8) bytes.push_back(uint8_t(bits));
  }
  if (count) bytes.push_back(uint8_t(bits));
  out.push_back(uint8_t(m));
  for (size_t i = 0; i < bytes.size(); i += 255) {
    size_t n = std::min<size_t>(255, bytes.size() - i);
    out.push_back(uint8_t(n));
    out.insert(out.end(), bytes.begin() + i, bytes.begin() + i + n);
  }
  out.push_back(0);
  out.push_back(0x3B);
  return out;
}

std::vector<uint8_t> BuildTiff(std::vector<TiffTag> tags, const std::vector<uint8_t>& pixels) {
  std::sort(tags.begin(), tags.end(),
            [](const TiffTag& a, const TiffTag& b) { return a.tag < b.tag; });
  std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
  auto put16 = [&](std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
  };
  auto put32 = [&](std::vector<uint8_t>& v, size_t at, uint32_t x) {
    put16(v, at, x);
    put16(v, at + 2, x >> 16);
  };
  const size_t directory = 8;
  const size_t entries = tags.size();
  size_t extra = directory + 2 + 12 * entries + 4;  // where values that do not fit go
  out.resize(extra);
  put16(out, directory, uint32_t(entries));
  size_t pixelOffsetSlot = 0;
  for (size_t i = 0; i < entries; ++i) {
    const TiffTag& t = tags[i];
    size_t e = directory + 2 + 12 * i;
    put16(out, e, t.tag);
    put16(out, e + 2, t.type);
    size_t count = t.type == 5 ? t.values.size() / 2 : t.values.size();
    put32(out, e + 4, uint32_t(count));
    size_t unit = t.type == 3 ? 2 : t.type == 4 ? 4 : 8;
    if (t.tag == 273 && t.values == std::vector<uint32_t>{0})
      pixelOffsetSlot = e + 8;  // 0: filled in below
    if (unit * count <= 4) {
      for (size_t k = 0; k < t.values.size(); ++k)
        t.type == 3 ? put16(out, e + 8 + 2 * k, t.values[k]) : put32(out, e + 8, t.values[k]);
    } else {
      put32(out, e + 8, uint32_t(out.size()));
      size_t at = out.size();
      out.resize(at + (t.type == 3 ? 2 : 4) * t.values.size());
      for (size_t k = 0; k < t.values.size(); ++k)
        t.type == 3 ? put16(out, at + 2 * k, t.values[k]) : put32(out, at + 4 * k, t.values[k]);
    }
  }
  if (pixelOffsetSlot) put32(out, pixelOffsetSlot, uint32_t(out.size()));
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

}  // namespace quendrolix::testing
