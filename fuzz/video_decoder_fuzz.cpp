// The video decoders on arbitrary samples. The first bytes choose the decoder and a
// small frame size; the rest is split into two samples decoded in turn (a key frame and
// a delta frame), and every output pixel is read.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/vfw/codec.h"

using namespace quendrolix;

namespace {

volatile uint32_t sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  static const uint32_t kCompression[] = {
      BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS, kCompressionVideo1, kHandlerMjpeg};
  static const int kBits[] = {1, 4, 8, 16, 24, 32};
  const uint32_t compression = kCompression[data[0] % 6];
  const int bits = kBits[data[1] % 6];
  const int width = 1 + data[2] % 64;
  int height = 1 + data[3] % 64;
  if (data[4] & 1) height = -height;  // top-down frames
  const size_t split = 6 + (size - 6) * data[5] / 256;
  std::vector<RGBQUAD> palette;
  if (bits <= 8) palette.assign(size_t{1} << bits, RGBQUAD{10, 20, 30, 0});
  std::vector<uint8_t> format = MakeVideoFormat(width, height, bits, compression, 0, palette);
  if (compression == BI_BITFIELDS) {
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    format.insert(format.end(), reinterpret_cast<const uint8_t*>(masks),
                  reinterpret_cast<const uint8_t*>(masks) + 12);
  }
  auto decoder = OpenDecompressor(format, 0);
  if (!decoder) return 0;
  const std::vector<uint8_t>& out = decoder->OutputFormat();
  const BITMAPINFOHEADER h = FormatHeader(out);
  HDIB frame = DibBlock::Allocate(out.size() + DibRowStride(h.biWidth, h.biBitCount) * h.biHeight);
  if (!frame) return 0;
  std::memcpy(frame->data(), out.data(), out.size());
  decoder->Decode(data + 6, split - 6, *frame);
  decoder->Decode(data + split, size - split, *frame);
  uint32_t sum = 0;
  for (size_t i = 0; i < frame->size(); ++i) sum += frame->data()[i];
  sink = sum;
  return 0;
}
