#include "platform/av/video_encoder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "platform/av/av_internal.h"

namespace quendrolix::av {
namespace {

constexpr uint32_t Code(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

uint32_t Lower(uint32_t code) {
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i)
    out |= static_cast<uint32_t>(std::tolower(static_cast<int>((code >> (8 * i)) & 0xFF)))
           << (8 * i);
  return out;
}

const LibraryCompressor kAll[] = {
    {Code("XVID"), "mpeg4", "MPEG-4 ASP (XVID)", true, true, 2,
     "Quality 0..10000 sets the quantiser from 31 down to 2 (10000 = 2, 7500 = 9)."},
    {Code("H264"), "libx264", "H.264 (x264)", true, true, 2,
     "Quality 0..10000 sets the constant rate factor from 51 down to 18 (10000 = 18, "
     "7500 = 26)."},
    {Code("FFV1"), "ffv1", "FFV1 (lossless)", false, true, 1, "Lossless: Quality is not used."},
    {Code("HFYU"), "huffyuv", "HuffYUV (lossless)", false, false, 1,
     "Lossless: Quality is not used."},
    {Code("cvid"), "cinepak", "Cinepak", false, true, 4,
     "Quality is not used: the coder picks its own codebooks."},
};

// The quantiser of "XVID" and the rate factor of "H264" for a quality.
int Quantiser(int quality) {
  return static_cast<int>(std::lround(31.0 - 29.0 * quality / 10000.0));
}
int RateFactor(int quality) {
  return static_cast<int>(std::lround(51.0 - 33.0 * quality / 10000.0));
}

}  // namespace

const std::vector<LibraryCompressor>& LibraryCompressors() {
  static const std::vector<LibraryCompressor> present = [] {
    QuietLibraryLog();
    std::vector<LibraryCompressor> list;
    for (const LibraryCompressor& c : kAll)
      if (avcodec_find_encoder_by_name(c.encoder)) list.push_back(c);
    return list;
  }();
  return present;
}

const LibraryCompressor* FindLibraryCompressor(uint32_t fourcc) {
  for (const LibraryCompressor& c : LibraryCompressors())
    if (Lower(c.fourcc) == Lower(fourcc)) return &c;
  return nullptr;
}

bool FromBgrConverter::Convert(const uint8_t* rows, size_t stride, int width, int height,
                               AVFrame& frame) {
  if (!rows || width <= 0 || height <= 0 || width > frame.width || height > frame.height)
    return false;
  if (!sws_ || width != width_ || height != height_ || frame.format != format_) {
    sws_.reset(sws_getContext(
        width, height, AV_PIX_FMT_BGR24, width, height, static_cast<AVPixelFormat>(frame.format),
        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr));
    if (!sws_) return false;
    const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(sws_.get(), bt601, 1, bt601, 0, 0, 1 << 16, 1 << 16);
    width_ = width;
    height_ = height;
    format_ = frame.format;
  }
  if (av_frame_make_writable(&frame) < 0) return false;
  // The scaler reads a copy of the rows with room after it.
  const size_t bytes = stride * static_cast<size_t>(height);
  uint8_t* copy = padded_.Reserve(bytes);
  if (!copy) return false;
  std::memcpy(copy, rows, bytes);
  // Bottom-up rows read from the top one backwards.
  const uint8_t* top = copy + stride * static_cast<size_t>(height - 1);
  const uint8_t* in[4] = {top, nullptr, nullptr, nullptr};
  int lines[4] = {-static_cast<int>(stride), 0, 0, 0};
  if (sws_scale(sws_.get(), in, lines, 0, height, frame.data, frame.linesize) != height)
    return false;
  // A frame made larger than the picture (even sizes for 4:2:0) repeats the picture's
  // last column and row, so the edge codes cheaply and shows nothing new; the chroma
  // planes of an odd size already cover the extra pixel.
  if (frame.width > width || frame.height > height) {
    uint8_t* luma = frame.data[0];
    const int line = frame.linesize[0];
    for (int y = 0; y < height; ++y)
      for (int x = width; x < frame.width; ++x) luma[y * line + x] = luma[y * line + width - 1];
    for (int y = height; y < frame.height; ++y)
      std::memcpy(luma + y * line, luma + (height - 1) * line, static_cast<size_t>(frame.width));
  }
  return true;
}

struct VideoEncoder::State {
  CodecContext codec;
  Frame frame = NewFrame();
  Packet packet = NewPacket();
  FromBgrConverter converter;
  std::vector<uint8_t> extra;
  int width = 0, height = 0, bits = 24;
  int64_t next = 0;
};

VideoEncoder::VideoEncoder(std::unique_ptr<State> state) : state_(std::move(state)) {}
VideoEncoder::~VideoEncoder() = default;

std::unique_ptr<VideoEncoder> VideoEncoder::Open(uint32_t fourcc, int width, int height,
                                                 const EncoderSettings& settings,
                                                 std::string* error) {
  QuietLibraryLog();
  const LibraryCompressor* info = FindLibraryCompressor(fourcc);
  const AVCodec* codec = info ? avcodec_find_encoder_by_name(info->encoder) : nullptr;
  if (!codec) {
    Fail(error, "no such library compressor");
    return nullptr;
  }
  if (width <= 0 || height <= 0 || width % info->sizeMultiple || height % info->sizeMultiple ||
      int64_t{width} * height > DibPixelLimit()) {
    Fail(error, std::string(info->name) + " cannot code a picture of " + std::to_string(width) +
                    "x" + std::to_string(height));
    return nullptr;
  }
  auto state = std::make_unique<State>();
  if (!NewCodecContext(*state, codec, error)) return nullptr;
  AVCodecContext* c = state->codec.get();
  const int quality = settings.quality < 0 ? 7500 : std::min(settings.quality, 10000);
  const int num = settings.rateNumerator > 0 ? settings.rateNumerator : 15;
  const int den = settings.rateDenominator > 0 ? settings.rateDenominator : 1;
  c->width = width;
  c->height = height;
  c->time_base = AVRational{den, num};
  c->framerate = AVRational{num, den};
  c->codec_tag = info->fourcc;
  // Every AVI sample holds its own frame: no frames held back, none reordered.
  c->max_b_frames = 0;
  c->thread_type = FF_THREAD_SLICE;
  c->thread_count = DecoderThreads();
  c->gop_size = settings.keyFrameEvery > 0 ? settings.keyFrameEvery : 100000;
  AVDictionary* options = nullptr;
  const std::string name = info->encoder;
  if (name == "mpeg4") {
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * Quantiser(quality);
    av_dict_set(&options, "mbd", "rd", 0);
  } else if (name == "libx264") {
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    // Said in the stream, so that players take BT.601 at any picture size (untagged HD
    // video is shown as BT.709).
    c->color_primaries = AVCOL_PRI_SMPTE170M;
    c->color_trc = AVCOL_TRC_SMPTE170M;
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_range = AVCOL_RANGE_MPEG;
    av_dict_set(&options, "preset", "medium", 0);
    av_dict_set(&options, "tune", "zerolatency", 0);
    av_dict_set_int(&options, "crf", RateFactor(quality), 0);
    c->keyint_min = 1;
  } else if (name == "ffv1") {
    c->pix_fmt = AV_PIX_FMT_0RGB32;
    av_dict_set(&options, "level", "3", 0);
    av_dict_set(&options, "slicecrc", "1", 0);
    // Version 3 keeps key frames apart itself; a shorter interval costs little.
    if (settings.keyFrameEvery <= 0) c->gop_size = 300;
  } else if (name == "huffyuv") {
    c->pix_fmt = AV_PIX_FMT_RGB24;
    c->thread_count = 1;
    av_dict_set(&options, "pred", "left", 0);
  } else if (name == "cinepak") {
    c->pix_fmt = AV_PIX_FMT_RGB24;
    c->thread_count = 1;
    // This coder takes its key-frame interval from keyint_min.
    c->keyint_min = c->gop_size;
  }
  int rc = avcodec_open2(c, codec, &options);
  av_dict_free(&options);
  if (rc < 0) {
    Fail(error, std::string("the ") + info->name + " compressor did not start", rc);
    return nullptr;
  }
  AVFrame* f = state->frame.get();
  f->format = c->pix_fmt;
  f->width = width;
  f->height = height;
  rc = av_frame_get_buffer(f, 0);
  if (rc < 0) {
    Fail(error, "out of memory", rc);
    return nullptr;
  }
  if (c->extradata && c->extradata_size > 0)
    state->extra.assign(c->extradata, c->extradata + c->extradata_size);
  state->width = width;
  state->height = height;
  state->bits = c->bits_per_coded_sample > 0 ? c->bits_per_coded_sample : 24;
  if (name != "huffyuv" && name != "ffv1") state->bits = 24;
  return std::unique_ptr<VideoEncoder>(new VideoEncoder(std::move(state)));
}

const std::vector<uint8_t>& VideoEncoder::extraData() const {
  return state_->extra;
}
int VideoEncoder::bitCount() const {
  return state_->bits;
}

bool VideoEncoder::Encode(const uint8_t* rows, size_t stride, bool forceKey,
                          std::vector<uint8_t>& out, bool& key, std::string* error) {
  State& s = *state_;
  out.clear();
  key = false;
  AVFrame* f = s.frame.get();
  if (!s.converter.Convert(rows, stride, s.width, s.height, *f))
    return Fail(error, "the picture could not be converted for the compressor");
  f->pts = s.next++;
  f->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  f->key_frame = forceKey ? 1 : 0;
  int rc = avcodec_send_frame(s.codec.get(), f);
  if (rc < 0) return Fail(error, "the compressor refused a frame", rc);
  rc = avcodec_receive_packet(s.codec.get(), s.packet.get());
  if (rc < 0) return Fail(error, "the compressor gave no frame", rc);
  out.assign(s.packet->data, s.packet->data + s.packet->size);
  key = (s.packet->flags & AV_PKT_FLAG_KEY) != 0;
  av_packet_unref(s.packet.get());
  return true;
}

}  // namespace quendrolix::av
