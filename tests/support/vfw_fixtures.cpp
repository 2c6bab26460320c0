#include "support/vfw_fixtures.h"

#include <cmath>
#include <cstring>

#include "platform/vfw/pixel_convert.h"

namespace quendrolix::testing {

std::vector<RGBQUAD> TestPalette() {
  std::vector<RGBQUAD> p;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        p.push_back(RGBQUAD{static_cast<uint8_t>(b * 51), static_cast<uint8_t>(g * 51),
                            static_cast<uint8_t>(r * 51), 0});
  while (p.size() < 256) {
    const auto v = static_cast<uint8_t>((p.size() - 216) * 255 / 39);
    p.push_back(RGBQUAD{v, v, v, 0});
  }
  return p;
}

namespace {

void TestColour(int width, int height, int x, int y, int t, uint8_t bgr[3]) {
  // A diagonal gradient, a square moving to the right and down, and a fine checker.
  int r = (x * 255) / std::max(width - 1, 1);
  int g = (y * 255) / std::max(height - 1, 1);
  int b = ((x + y + 8 * t) * 3) & 255;
  const int sx = (t * 5) % std::max(width, 1), sy = (t * 3) % std::max(height, 1);
  if (x >= sx && x < sx + width / 4 && y >= sy && y < sy + height / 4) r = g = 250 - 10 * (t % 5);
  if (x > width / 2 && y > height / 2 && ((x ^ y) & 1)) b = 255 - b;
  bgr[0] = static_cast<uint8_t>(b);
  bgr[1] = static_cast<uint8_t>(g);
  bgr[2] = static_cast<uint8_t>(r);
}

}  // namespace

HDIB MakeTestFrame(int width, int height, int bits, int t) {
  const std::vector<RGBQUAD> palette = TestPalette();
  HDIB dib = NewDib(width, height, bits, bits == 8 ? 256 : 0);
  if (bits == 8) std::memcpy(dib->colours(), palette.data(), 256 * 4);
  uint8_t* pixels = DibPixels(*dib);
  const size_t stride = DibRowStride(width, bits);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = pixels + static_cast<size_t>(height - 1 - y) * stride;  // bottom-up
    for (int x = 0; x < width; ++x) {
      uint8_t c[3];
      TestColour(width, height, x, y, t, c);
      switch (bits) {
        case 8:
          row[x] = static_cast<uint8_t>(((c[2] + 25) / 51) * 36 + ((c[1] + 25) / 51) * 6 +
                                        (c[0] + 25) / 51);
          break;
        case 16: {
          const uint16_t w = static_cast<uint16_t>(Reduce8To5(c[2]) << 10 | Reduce8To5(c[1]) << 5 |
                                                   Reduce8To5(c[0]));
          row[2 * x] = static_cast<uint8_t>(w);
          row[2 * x + 1] = static_cast<uint8_t>(w >> 8);
          break;
        }
        case 24:
          std::memcpy(row + 3 * x, c, 3);
          break;
        case 32:
          std::memcpy(row + 4 * x, c, 3);
          row[4 * x + 3] = 0;
          break;
      }
    }
  }
  return dib;
}

std::vector<uint8_t> DibFormat(const DibBlock& dib) {
  return std::vector<uint8_t>(dib.data(), dib.data() + DibPixelOffset(dib));
}

std::vector<uint8_t> DibPixelBytes(const DibBlock& dib) {
  return std::vector<uint8_t>(dib.data() + DibPixelOffset(dib), dib.data() + dib.size());
}

AVICOMPRESSOPTIONS OptionsFor(FOURCC handler, int quality, int keyFrameEvery) {
  AVICOMPRESSOPTIONS o;
  o.fccType = streamtypeVIDEO;
  o.fccHandler = handler;
  o.dwQuality = static_cast<DWORD>(quality);
  o.dwKeyFrameEvery = static_cast<DWORD>(keyFrameEvery);
  o.dwFlags = AVICOMPRESSF_VALID | (keyFrameEvery > 0 ? AVICOMPRESSF_KEYFRAMES : 0);
  return o;
}

HRESULT WriteTestAvi(const std::string& path, const std::vector<HDIB>& frames,
                     const AVICOMPRESSOPTIONS& options, int fps) {
  ScopedAviFile file;
  HRESULT hr = AVIFileOpen(file.out(), path, OF_WRITE | OF_CREATE);
  if (hr != AVIERR_OK) return hr;
  const BITMAPINFOHEADER& h = frames.front()->header();
  AVISTREAMINFO info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = static_cast<DWORD>(fps);
  info.dwSuggestedBufferSize = h.biSizeImage;
  info.rcFrame = {0, 0, h.biWidth, h.biHeight};
  ScopedAviStream stream, compressed;
  hr = AVIFileCreateStream(file.get(), stream.out(), &info);
  if (hr != AVIERR_OK) return hr;
  hr = AVIMakeCompressedStream(compressed.out(), stream.get(), &options);
  if (hr != AVIERR_OK) return hr;
  const std::vector<uint8_t> format = DibFormat(*frames.front());
  hr = AVIStreamSetFormat(compressed.get(), 0, format.data(), static_cast<LONG>(format.size()));
  if (hr != AVIERR_OK) return hr;
  for (size_t i = 0; i < frames.size(); ++i) {
    const DibBlock& f = *frames[i];
    hr = AVIStreamWrite(compressed.get(), static_cast<LONG>(i), 1, DibPixels(f),
                        static_cast<LONG>(f.size() - DibPixelOffset(f)), AVIIF_KEYFRAME, nullptr,
                        nullptr);
    if (hr != AVIERR_OK) return hr;
  }
  return AVIERR_OK;
}

std::vector<uint8_t> DibToBgrTopDown(const DibBlock& dib) {
  const BITMAPINFOHEADER& h = dib.header();
  const int w = h.biWidth, rows = h.biHeight;
  std::vector<uint8_t> out(static_cast<size_t>(w) * rows * 3);
  const size_t stride = DibRowStride(w, h.biBitCount);
  for (int y = 0; y < rows; ++y)
    RowToBgr(DibPixels(dib) + static_cast<size_t>(rows - 1 - y) * stride, h.biBitCount,
             dib.colours(), DibColourCount(dib), w, out.data() + static_cast<size_t>(y) * w * 3);
  return out;
}

std::vector<std::vector<uint8_t>> ReadFramesBgr(const std::string& path) {
  std::vector<std::vector<uint8_t>> frames;
  ScopedAviFile file;
  if (AVIFileOpen(file.out(), path, OF_READ) != AVIERR_OK) return frames;
  ScopedAviStream stream;
  if (AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, 0) != AVIERR_OK) return frames;
  PGETFRAME getter = AVIStreamGetFrameOpen(stream.get(), nullptr);
  if (!getter) return frames;
  const LONG start = AVIStreamStart(stream.get()), length = AVIStreamLength(stream.get());
  for (LONG i = start; i < start + length; ++i) {
    const DibBlock* dib = AVIStreamGetFrame(getter, i);
    if (!dib) {
      frames.clear();
      break;
    }
    frames.push_back(DibToBgrTopDown(*dib));
  }
  AVIStreamGetFrameClose(getter);
  return frames;
}

Bytes U32(uint32_t v) {
  return AsBytes(v);
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Chunk(const char* id, const Bytes& data, bool pad) {
  Bytes out(id, id + 4);
  const Bytes size = U32(static_cast<uint32_t>(data.size()));
  out.insert(out.end(), size.begin(), size.end());
  out.insert(out.end(), data.begin(), data.end());
  if (pad && (data.size() & 1)) out.push_back(0);
  return out;
}

Bytes List(const char* kind, const char* type, const std::vector<Bytes>& parts) {
  Bytes body(type, type + 4);
  const Bytes rest = Concat(parts);
  body.insert(body.end(), rest.begin(), rest.end());
  return Chunk(kind, body);
}

}  // namespace quendrolix::testing

namespace quendrolix::testing {
namespace {

void Walk(const Bytes& f, uint64_t pos, uint64_t end, const std::string& prefix,
          std::vector<ChunkSeen>& out) {
  while (pos + 8 <= end) {
    const std::string id(f.begin() + pos, f.begin() + pos + 4);
    uint32_t size;
    std::memcpy(&size, f.data() + pos + 4, 4);
    const uint64_t data = pos + 8;
    if ((id == "RIFF" || id == "LIST") && size >= 4 && data + 4 <= f.size()) {
      const std::string type(f.begin() + data, f.begin() + data + 4);
      const std::string path = prefix + id + ":" + type;
      out.push_back({path, data, size});
      Walk(f, data + 4, std::min<uint64_t>(data + size, f.size()), path + "/", out);
    } else {
      out.push_back({prefix + id, data, size});
    }
    pos = data + size + (size & 1);
  }
}

}  // namespace

std::vector<ChunkSeen> WalkRiff(const Bytes& file) {
  std::vector<ChunkSeen> out;
  Walk(file, 0, file.size(), "", out);
  return out;
}

std::vector<ChunkSeen> Find(const std::vector<ChunkSeen>& chunks, const std::string& suffix) {
  std::vector<ChunkSeen> out;
  for (const auto& c : chunks)
    if (c.path.size() >= suffix.size() &&
        c.path.compare(c.path.size() - suffix.size(), suffix.size(), suffix) == 0)
      out.push_back(c);
  return out;
}

}  // namespace quendrolix::testing
