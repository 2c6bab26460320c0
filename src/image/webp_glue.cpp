#include "image/webp_glue.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>
#include <vector>

#include "image/image_io.h"
#include "image/orientation.h"
#include "image/picture_limits.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {

namespace {

constexpr const char* kNotWebp = "not a WebP picture that can be read";
// Lossless WebP repeats earlier pixels with back references of up to 4,096 pixels for a
// few bits, and lossy WebP skips whole macroblocks for less than a bit: this is above both.
constexpr uint64_t kWebpPixelsPerByte = 65536;
// No WebP file may be longer than the format's 32-bit chunk sizes allow.
constexpr size_t kMaxWebpBytes = size_t{1} << 32;

struct DemuxDeleter {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct AnimDecoderDeleter {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

int OrientationOf(const WebPData& data) {
  std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
  if (!demux) return 0;
  if (!(WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & EXIF_FLAG)) return 0;
  WebPChunkIterator chunk;
  int orientation = 0;
  if (WebPDemuxGetChunk(demux.get(), "EXIF", 1, &chunk)) {
    orientation = ExifOrientation(chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
  }
  return orientation;
}

// The first frame of an animation, laid on its canvas as the animation shows it.
HDIB FirstFrame(const WebPData& data, std::string& message) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return nullptr;
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  std::unique_ptr<WebPAnimDecoder, AnimDecoderDeleter> decoder(WebPAnimDecoderNew(&data, &options));
  WebPAnimInfo info;
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) {
    message = kNotWebp;
    return nullptr;
  }
  const int width = static_cast<int>(info.canvas_width);
  const int height = static_cast<int>(info.canvas_height);
  if (!PictureWithinBudget(width, height)) {
    message = StringPrintf("The picture (%dx%d) is larger than the %d megapixels allowed", width,
                           height, PictureMegapixels());
    return nullptr;
  }
  uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas) {
    message = "The WebP file is damaged or cut short";
    return nullptr;
  }
  HDIB dib = NewDib(width, height, 32, 0);
  if (!dib) {
    message = "out of memory";
    return nullptr;
  }
  const size_t stride = DibRowStride(width, 32);
  for (int y = 0; y < height; ++y)
    std::memcpy(DibPixels(*dib) + static_cast<size_t>(height - 1 - y) * stride,
                canvas + static_cast<size_t>(y) * width * 4, static_cast<size_t>(width) * 4);
  return dib;
}

}  // namespace

bool LooksLikeWebp(const uint8_t* data, size_t size) {
  return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

HDIB ReadWebpMemory(const uint8_t* data, size_t size, std::string& message) {
  message = kNotWebp;
  if (!data || !LooksLikeWebp(data, size)) return nullptr;
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return nullptr;
  const int width = features.width, height = features.height;
  if (!PictureWithinBudget(width, height)) {
    message = StringPrintf("The picture (%dx%d) is larger than the %d megapixels allowed", width,
                           height, PictureMegapixels());
    return nullptr;
  }
  if (!CodedBytesCanHold(size, uint64_t(width) * height, kWebpPixelsPerByte)) {
    message = StringPrintf("The file is too short for a %dx%d picture", width, height);
    return nullptr;
  }
  const WebPData whole = {data, size};
  HDIB dib;
  if (features.has_animation) {
    dib = FirstFrame(whole, message);
    if (!dib) return nullptr;
  } else {
    const bool alpha = features.has_alpha != 0;
    dib = NewDib(width, height, alpha ? 32 : 24, 0);
    if (!dib) {
      message = "out of memory";
      return nullptr;
    }
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return nullptr;
    config.options.flip = 1;  // rows bottom-up, as the block keeps them
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = DibPixels(*dib);
    config.output.u.RGBA.stride = static_cast<int>(DibRowStride(width, alpha ? 32 : 24));
    config.output.u.RGBA.size = static_cast<size_t>(config.output.u.RGBA.stride) * height;
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
      // A picture that breaks off is refused, not shown half empty.
      message = status == VP8_STATUS_NOT_ENOUGH_DATA ? "The WebP file is cut short"
                                                     : "The WebP file is damaged";
      return nullptr;
    }
  }
  const int orientation = OrientationOf(whole);
  if (orientation > 1) {
    dib = OrientDib(std::move(dib), orientation);
    if (!dib) message = "out of memory";
  }
  return dib;
}

HDIB ReadWebp(const std::string& path, std::string& message) {
  FileHandle f = OpenFile(path, "rb");
  if (!f) {
    message = "the file cannot be opened";
    return nullptr;
  }
  std::vector<uint8_t> bytes;
  if (!ReadRest(f.get(), bytes, kMaxWebpBytes)) {
    message = "the file cannot be read";
    return nullptr;
  }
  return ReadWebpMemory(bytes.data(), bytes.size(), message);
}

}  // namespace quendrolix
