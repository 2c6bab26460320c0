#pragma once

// The library compressors offered beside our own under their usual AVI FourCCs: "XVID"
// (MPEG-4 ASP), "H264", "FFV1", "HFYU" (HuffYUV) and "cvid" (Cinepak). Frames go in as
// bottom-up 24-bit BGR rows and come out one coded sample each, with no delay, so that
// every AVI sample holds its own frame.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quendrolix::av {

struct LibraryCompressor {
  uint32_t fourcc;          // stored as biCompression and the stream handler
  const char* encoder;      // the library's encoder
  const char* name;         // what lists show
  bool quality;             // the quality setting changes the result
  bool temporal;            // makes delta frames
  int sizeMultiple;         // width and height must be multiples of this
  const char* qualityNote;  // how Quality 0..10000 maps onto the codec's own scale
};

// Every library compressor whose encoder this build of the libraries has, in list order.
const std::vector<LibraryCompressor>& LibraryCompressors();
// The one named by `fourcc` (letter case ignored); null when none.
const LibraryCompressor* FindLibraryCompressor(uint32_t fourcc);

struct EncoderSettings {
  int quality = -1;        // 0..10000 (10000 best); -1 = 7500
  int keyFrameEvery = 0;   // a key frame every N frames; 0 = only the first
  int rateNumerator = 15;  // frames per second, as a fraction
  int rateDenominator = 1;
};

class VideoEncoder {
 public:
  static std::unique_ptr<VideoEncoder> Open(uint32_t fourcc, int width, int height,
                                            const EncoderSettings& settings, std::string* error);
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // What follows the BITMAPINFOHEADER in the stream format (the codec's extra data).
  const std::vector<uint8_t>& extraData() const;
  // The biBitCount the stream format gives.
  int bitCount() const;

  // Codes one picture: `rows` bottom-up 24-bit, `stride` bytes apart. `forceKey` asks for
  // a key frame; `key` says whether one came out.
  bool Encode(const uint8_t* rows, size_t stride, bool forceKey, std::vector<uint8_t>& out,
              bool& key, std::string* error);

 private:
  struct State;
  explicit VideoEncoder(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace quendrolix::av
