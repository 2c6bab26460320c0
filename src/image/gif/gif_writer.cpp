#include "image/gif/gif_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

#include "image/gif/gif_colour_map.h"
#include "image/gif/gif_lzw.h"
#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"

namespace quendrolix {
namespace {

constexpr int kMaxGifDimension = 65535;  // the fields of the logical screen are 16 bits
constexpr uint32_t kMaxImageDelay = 65535;

// A picture as the colour reduction wants it: top-down rows of red, green, blue.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

bool ReadPicture(const GifSourceFrame& frame, Picture& out, std::string& why) {
  const std::string& name = frame.name.empty() ? std::string("a picture") : frame.name;
  if (!frame.dib || frame.dib->size() < sizeof(BITMAPINFOHEADER) || !DibIsConsistent(*frame.dib)) {
    why = "Could not load " + name;
    return false;
  }
  const DibBlock& dib = *frame.dib;
  const BITMAPINFOHEADER& h = dib.header();
  int bits = h.biBitCount;
  if (h.biCompression != BI_RGB || (bits != 24 && bits != 32)) {
    why = StringPrintf("%s is not a true-colour picture (%d bits per pixel)", name.c_str(), bits);
    return false;
  }
  int64_t width = h.biWidth, height = h.biHeight < 0 ? -int64_t{h.biHeight} : h.biHeight;
  if (width <= 0 || height <= 0 || width > kMaxGifDimension || height > kMaxGifDimension ||
      width * height > kMaxImagePixels) {
    why = StringPrintf("The size of %s (%lldx%lld) cannot be written as GIF", name.c_str(),
                       static_cast<long long>(width), static_cast<long long>(height));
    return false;
  }
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.rgb.resize(static_cast<size_t>(width * height) * 3);
  const size_t stride = DibRowStride(width, bits);
  const size_t step = static_cast<size_t>(bits / 8);
  const uint8_t* pixels = DibPixels(dib);
  for (int64_t y = 0; y < height; ++y) {
    // Positive heights store the bottom row first.
    int64_t row = h.biHeight < 0 ? y : height - 1 - y;
    const uint8_t* src = pixels + static_cast<size_t>(row) * stride;
    uint8_t* dst = out.rgb.data() + static_cast<size_t>(y * width) * 3;
    for (int64_t x = 0; x < width; ++x, src += step, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
  }
  return true;
}

void PutWord(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

// The size field of a colour table and its entry count (a power of two, 2 to 256).
int TableBits(size_t entries) {
  int bits = 1;
  while (bits < 8 && (size_t{1} << bits) < entries) ++bits;
  return bits;
}

void PutColourTable(std::vector<uint8_t>& out, const std::vector<GifRgb>& palette) {
  size_t size = size_t{1} << TableBits(palette.size());
  for (size_t i = 0; i < size; ++i) {
    GifRgb c = i < palette.size() ? palette[i] : GifRgb{};
    out.insert(out.end(), {c.r, c.g, c.b});
  }
}

// The output under a temporary name beside the target until Commit puts it in place;
// it counts what was written.
class TemporaryOutput {
 public:
  bool Open(const std::string& target) { return file_.Open(target); }
  bool Write(const std::vector<uint8_t>& bytes) {
    written_ += bytes.size();
    return file_.Write(bytes.data(), bytes.size());
  }
  bool Commit() { return file_.Commit(); }
  void Abandon() { file_.Discard(); }
  uint64_t written() const { return written_; }

 private:
  AtomicFile file_;
  uint64_t written_ = 0;
};

// An image coded and waiting for its delay to be known (the next picture may repeat it).
struct CodedImage {
  std::vector<GifRgb> localPalette;  // empty when the global colour table is used
  std::vector<uint8_t> data;         // minimum code size, then the data sub-blocks
  uint64_t delay = 0;                // hundredths of a second
};

// The rows of an interlaced image in the order they are stored: every 8th row from 0,
// every 8th from 4, every 4th from 2, every 2nd from 1.
std::vector<uint8_t> Interlace(const std::vector<uint8_t>& indices, int width, int height) {
  std::vector<uint8_t> out;
  out.reserve(indices.size());
  static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) {
      auto row = indices.begin() + static_cast<long>(y) * width;
      out.insert(out.end(), row, row + width);
    }
  return out;
}

// Where the transparent entry goes: the key colour at entry `key` of a map of the other
// colours (padded with black when the map is shorter).
std::vector<GifRgb> WithKey(std::vector<GifRgb> palette, int key, GifRgb keyColour) {
  if (key < 0) return palette;
  if (static_cast<size_t>(key) <= palette.size())
    palette.insert(palette.begin() + key, keyColour);
  else {
    palette.resize(static_cast<size_t>(key));
    palette.push_back(keyColour);
  }
  return palette;
}

class AnimationWriter {
 public:
  AnimationWriter(const GifOutputSettings& settings, TemporaryOutput& out)
      : settings_(settings), out_(out) {
    int16_t t = settings.Transparency();
    key_ = t >= 0 && t <= 255 ? t : -1;  // anything else in the settings file means none
  }

  // Colours of every picture, for the global colour map (the first picture's when empty).
  void SetSample(std::vector<uint8_t> rgb) { sample_ = std::move(rgb); }

  bool Begin(const Picture& first) {
    width_ = first.width;
    height_ = first.height;
    if (key_ >= 0) keyColour_ = *MostFrequentGifColour(first.rgb.data(), Pixels());
    std::vector<uint8_t> head = {'G', 'I', 'F', '8', '9', 'a'};
    PutWord(head, static_cast<uint32_t>(width_));
    PutWord(head, static_cast<uint32_t>(height_));
    uint8_t packed = 7 << 4;  // 8 bits of colour resolution
    if (settings_.GlobalColormap()) {
      globalPalette_ = sample_.size() >= 3 ? MakePalette(sample_.data(), sample_.size() / 3)
                                           : MakePalette(first);
      globalMapper_ = std::make_unique<GifColourMapper>(globalPalette_, key_, keyColour_);
      packed |= 0x80 | static_cast<uint8_t>(TableBits(globalPalette_.size()) - 1);
    }
    head.push_back(packed);
    head.push_back(static_cast<uint8_t>(key_ >= 0 ? key_ : 0));  // background colour index
    head.push_back(0);                                           // square pixels
    if (settings_.GlobalColormap()) PutColourTable(head, globalPalette_);
    int loops = GifLoopCount(settings_.Play());
    if (loops >= 0) {
      head.insert(head.end(), {0x21, 0xFF, 11});
      for (char c : std::string("NETSCAPE2.0")) head.push_back(static_cast<uint8_t>(c));
      head.insert(head.end(), {3, 1});
      PutWord(head, static_cast<uint32_t>(loops));
      head.push_back(0);
    }
    return out_.Write(head);
  }

  CodedImage Code(const Picture& picture) {
    CodedImage image;
    std::vector<uint8_t>& indices = indices_;  // kept between images: no fresh pages each time
    indices.resize(Pixels());
    size_t tableEntries;
    if (globalMapper_) {
      globalMapper_->Map(picture.rgb.data(), width_, height_, indices.data());
      tableEntries = globalPalette_.size();
    } else {
      image.localPalette = MakePalette(picture);
      GifColourMapper mapper(image.localPalette, key_, keyColour_);
      mapper.Map(picture.rgb.data(), width_, height_, indices.data());
      tableEntries = image.localPalette.size();
    }
    std::vector<uint8_t> interlaced;
    if (settings_.Interlaced()) interlaced = Interlace(indices, width_, height_);
    const std::vector<uint8_t>& stored = settings_.Interlaced() ? interlaced : indices;
    int minCodeSize = GifMinCodeSize(size_t{1} << TableBits(tableEntries));
    image.data.push_back(static_cast<uint8_t>(minCodeSize));
    AppendGifSubBlocks(image.data, GifLzwEncoder(minCodeSize).Encode(stored.data(), stored.size()));
    return image;
  }

  // Writes the image, repeated when its delay is longer than one image can hold.
  bool Put(const CodedImage& image, size_t& imagesWritten) {
    uint64_t left = image.delay;
    do {
      uint32_t delay = static_cast<uint32_t>(std::min<uint64_t>(left, kMaxImageDelay));
      left -= delay;
      std::vector<uint8_t> bytes = {0x21, 0xF9, 4};
      // Disposal: with a transparent colour each image is cleared to the background
      // before the next is drawn, so its transparent pixels never show an older picture;
      // opaque full-size images are left in place.
      uint8_t disposal = key_ >= 0 ? 2 : 1;
      bytes.push_back(static_cast<uint8_t>(disposal << 2 | (key_ >= 0 ? 1 : 0)));
      PutWord(bytes, delay);
      bytes.push_back(static_cast<uint8_t>(key_ >= 0 ? key_ : 0));
      bytes.push_back(0);
      bytes.push_back(0x2C);
      PutWord(bytes, 0);
      PutWord(bytes, 0);
      PutWord(bytes, static_cast<uint32_t>(width_));
      PutWord(bytes, static_cast<uint32_t>(height_));
      uint8_t packed = settings_.Interlaced() ? 0x40 : 0;
      if (!image.localPalette.empty())
        packed |= 0x80 | static_cast<uint8_t>(TableBits(image.localPalette.size()) - 1);
      bytes.push_back(packed);
      if (!image.localPalette.empty()) PutColourTable(bytes, image.localPalette);
      if (!out_.Write(bytes) || !out_.Write(image.data)) return false;
      ++imagesWritten;
    } while (left > 0);
    return true;
  }

  bool End() { return out_.Write({0x3B}); }

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  size_t Pixels() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }

  std::vector<GifRgb> MakePalette(const Picture& picture) {
    return MakePalette(picture.rgb.data(), Pixels());
  }
  std::vector<GifRgb> MakePalette(const uint8_t* rgb, size_t pixels) {
    std::optional<GifRgb> skip;
    if (key_ >= 0) skip = keyColour_;
    auto palette = BuildGifColourMap(rgb, pixels, key_ >= 0 ? 255 : 256, skip);
    return WithKey(std::move(palette), key_, keyColour_);
  }

  const GifOutputSettings& settings_;
  TemporaryOutput& out_;
  int key_ = -1;
  GifRgb keyColour_;
  int width_ = 0, height_ = 0;
  std::vector<GifRgb> globalPalette_;
  std::unique_ptr<GifColourMapper> globalMapper_;
  std::vector<uint8_t> indices_;
  std::vector<uint8_t> sample_;
};

}  // namespace

void SampleGifColours(const DibBlock& dib, size_t samples, std::vector<uint8_t>& rgb) {
  if (!DibIsConsistent(dib)) return;
  const BITMAPINFOHEADER& h = dib.header();
  const int bytes = h.biBitCount / 8;
  if (h.biCompression != BI_RGB || (bytes != 3 && bytes != 4) || h.biWidth <= 0 || h.biHeight == 0)
    return;
  const int width = h.biWidth, height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  // Every step-th pixel of every step-th row; row order does not matter here.
  const double area = static_cast<double>(width) * height;
  const int step =
      std::max(1, static_cast<int>(std::ceil(std::sqrt(area / std::max<double>(samples, 1.0)))));
  const size_t stride = DibRowStride(width, h.biBitCount);
  const uint8_t* pixels = DibPixels(dib);
  for (int y = step / 2; y < height; y += step) {
    const uint8_t* row = pixels + stride * static_cast<size_t>(y);
    for (int x = step / 2; x < width; x += step) {
      const uint8_t* p = row + static_cast<size_t>(x) * bytes;
      rgb.insert(rgb.end(), {p[2], p[1], p[0]});
    }
  }
}

int GifLoopCount(uint8_t play) {
  // Players show an animation once without the looping extension, and with a loop count
  // n they show it once and then n more times (0: forever). "Repeat the animation n
  // times" means it is seen n times in all, so 1 writes no extension and n > 1 writes
  // n - 1.
  if (play == 0) return 0;
  if (play == 1) return -1;
  return play - 1;
}

GifWriteResult WriteAnimatedGif(const std::string& path, size_t pictureCount,
                                const GifFrameProvider& provider, const GifOutputSettings& settings,
                                const GifColourSampler& sampler) {
  GifWriteResult result;
  if (pictureCount == 0) {
    result.message = "No bitmaps specified";
    return result;
  }
  TemporaryOutput out;
  AnimationWriter writer(settings, out);
  auto fail = [&](const std::string& message) {
    out.Abandon();
    result.message = message;
    result.imagesWritten = 0;
    return result;
  };
  const std::string writeError = "Could not write " + path;

  Picture previous, current;
  std::optional<CodedImage> pending;
  for (size_t i = 0; i < pictureCount; ++i) {
    GifSourceFrame frame;
    std::string message;
    GifFrameStatus status = provider(i, frame, message);
    if (status == GifFrameStatus::kFailed)
      return fail(message.empty() ? "Could not load " + frame.name : message);
    if (status == GifFrameStatus::kEnd) {
      result.message = message;
      break;
    }
    std::string why;
    if (!ReadPicture(frame, current, why)) return fail(why);
    if (i == 0) {
      std::vector<uint8_t> sample;
      if (settings.GlobalColormap() && sampler && sampler(sample))
        writer.SetSample(std::move(sample));
      if (!out.Open(path)) return fail("Could not create " + path);
      if (!writer.Begin(current)) return fail(writeError);
    } else if (current.width != writer.width() || current.height != writer.height()) {
      result.message = StringPrintf(
          "The size of %s (%dx%d) does not match the size of animation (%dx%d)", frame.name.c_str(),
          current.width, current.height, writer.width(), writer.height());
      break;
    }
    Prompts().ShowStatus(StringPrintf("%zu of %zu: %s", i + 1, pictureCount, frame.name.c_str()));

    uint64_t delay = frame.centiseconds > 0
                         ? frame.centiseconds
                         : uint64_t{std::max(frame.frameCount, 1u)} * settings.GlobalDelay();
    if (pending && current.rgb == previous.rgb) {
      pending->delay += delay;  // the same picture again: one image, shown longer
    } else {
      if (pending && !writer.Put(*pending, result.imagesWritten)) return fail(writeError);
      pending = writer.Code(current);
      pending->delay = delay;
    }
    std::swap(previous, current);
    ++result.picturesRead;
    ReportPercent(static_cast<int>((i + 1) * 100 / pictureCount));
  }
  if (!pending) return fail(result.message.empty() ? "No bitmaps specified" : result.message);
  if (!writer.Put(*pending, result.imagesWritten) || !writer.End() || !out.Commit())
    return fail(writeError);
  result.ok = true;
  result.bytes = out.written();
  return result;
}

}  // namespace quendrolix
