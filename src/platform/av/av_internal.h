#pragma once

// FFmpeg's headers and small owners of its objects, for the sources of this folder only.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>
#include <vector>

#include "platform/av/av_error.h"
#include "platform/gdi/dib.h"

namespace quendrolix::av {

struct FormatInputCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecContextFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFreer {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct SwrFreer {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
struct ParserCloser {
  void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
};

using InputFormat = std::unique_ptr<AVFormatContext, FormatInputCloser>;
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Scaler = std::unique_ptr<SwsContext, SwsFreer>;
using Resampler = std::unique_ptr<SwrContext, SwrFreer>;
using Parser = std::unique_ptr<AVCodecParserContext, ParserCloser>;

// The scaler's vector code reads and writes past the end of a row: writing 24-bit rows one
// pixel wide it was measured 44 bytes beyond the last, and it reads past a 1x1 picture into
// the next page. Buffers of ours that it reads or writes get this much room after them
// (frames of the library's own have it already).
constexpr size_t kScalerSlack = 256;

// Room for `bytes` with the slack after them, kept between calls; null when out of memory.
class SlackBuffer {
 public:
  uint8_t* Reserve(size_t bytes);

 private:
  std::vector<uint8_t> bytes_;
};

inline Frame NewFrame() {
  return Frame(av_frame_alloc());
}
inline Packet NewPacket() {
  return Packet(av_packet_alloc());
}

// Stores "what: reason" in `error` (when given) and returns false.
bool Fail(std::string* error, const std::string& what, int code);
bool Fail(std::string* error, const std::string& text);

// The library's own messages stay quiet: ours say what went wrong in words of the
// program, and a damaged file must not flood the console.
void QuietLibraryLog();

// The number of decoding threads: the machine's cores, capped.
int DecoderThreads();

// The decoder for `id`; null with "no decoder for this NOUN" in `error` when there is none.
const AVCodec* DecoderFor(AVCodecID id, const char* noun, std::string* error);

// Gives state.codec a context for the codec; false (out of memory) when it, or the state's
// packet or frame, could not be allocated.
template <class State>
bool NewCodecContext(State& state, const AVCodec* codec, std::string* error) {
  state.codec.reset(avcodec_alloc_context3(codec));
  if (!state.codec || !state.packet || !state.frame) return Fail(error, "out of memory");
  return true;
}

// Opens the file and finds its best stream of `type` and that stream's decoder. The
// stream's index, or -1 with `error` set ("PATH has no NOUN that can be decoded" when the
// file holds none).
int OpenBestStream(const std::string& path, AVMediaType type, const char* noun, InputFormat& input,
                   const AVCodec*& codec, std::string* error);

}  // namespace quendrolix::av

namespace quendrolix::av {

// The decoder for video stored under the FourCC `compression` (biCompression), or, when
// that names none, under the stream header's `handler`. AV_CODEC_ID_NONE when neither.
AVCodecID VideoCodecFor(uint32_t compression, uint32_t handler);
// The decoder for a sound format record (WAVEFORMATEX and its extra bytes; an extensible
// record is read through its sub-format). AV_CODEC_ID_NONE when there is none.
AVCodecID AudioCodecFor(const uint8_t* format, size_t size);

}  // namespace quendrolix::av

namespace quendrolix::av {

// Turns decoded pictures of any size and pixel format into bottom-up 24-bit rows of a
// given size, with the picture's own colour matrix and range.
class BgrConverter {
 public:
  // `rows` points at the first stored row (the bottom one), `stride` bytes apart.
  bool Convert(const AVFrame& frame, uint8_t* rows, int width, int height, size_t stride);

 private:
  Scaler sws_;
  SlackBuffer padded_;
  int srcWidth_ = 0, srcHeight_ = 0, srcFormat_ = -1, dstWidth_ = 0, dstHeight_ = 0;
  int matrix_ = -1, range_ = -1;
};

// Writes the header of a 24-bit BI_RGB block of width x height into `dib`; false when the
// block is too short for its rows.
bool PrepareBgrDib(DibBlock& dib, int width, int height);

}  // namespace quendrolix::av

namespace quendrolix::av {

// Sound of any sample format and layout to 16-bit interleaved PCM at a given rate with one
// or two channels. Follows changes of the input's format on the way.
class S16Resampler {
 public:
  S16Resampler();
  ~S16Resampler();
  bool Configure(int outRate, int outChannels);
  // Converts `count` samples (per channel) of `in`, appending to `out`.
  bool Convert(const AVChannelLayout& layout, AVSampleFormat format, int rate,
               const uint8_t* const* in, int count, std::vector<int16_t>& out);
  // Appends what the filter still holds.
  bool Flush(std::vector<int16_t>& out);

 private:
  bool Reopen(const AVChannelLayout& layout, AVSampleFormat format, int rate);
  Resampler swr_;
  AVChannelLayout inLayout_{};
  int inFormat_ = -1, inRate_ = 0;
  int outRate_ = 0, outChannels_ = 0;
};

}  // namespace quendrolix::av

namespace quendrolix::av {

// Bottom-up 24-bit BGR rows into a frame of the encoder's pixel format and size (BT.601,
// studio range for YUV formats, as players assume for untagged video).
class FromBgrConverter {
 public:
  bool Convert(const uint8_t* rows, size_t stride, int width, int height, AVFrame& frame);

 private:
  Scaler sws_;
  SlackBuffer padded_;
  int width_ = 0, height_ = 0, format_ = -1, outWidth_ = 0, outHeight_ = 0;
};

}  // namespace quendrolix::av
