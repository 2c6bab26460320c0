#include "platform/av/video_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>

#include "platform/av/av_internal.h"

namespace quendrolix::av {

// ---- Pictures to DIB rows -----------------------------------------------------------

namespace {

int MatrixOf(const AVFrame& frame) {
  switch (frame.colorspace) {
    case AVCOL_SPC_BT709:
      return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
      return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
      return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      return SWS_CS_BT2020;
    default:
      return SWS_CS_DEFAULT;  // BT.601, what untagged standard-definition video means
  }
}

bool FullRange(const AVFrame& frame) {
  switch (frame.format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
      return true;
    default:
      return frame.color_range == AVCOL_RANGE_JPEG;
  }
}

}  // namespace

bool PrepareBgrDib(DibBlock& dib, int width, int height) {
  const size_t stride = DibRowStride(width, 24);
  if (width <= 0 || height <= 0 ||
      dib.size() < sizeof(BITMAPINFOHEADER) + stride * static_cast<size_t>(height))
    return false;
  BITMAPINFOHEADER& h = dib.header();
  h = BITMAPINFOHEADER{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<uint32_t>(stride * static_cast<size_t>(height));
  return true;
}

bool BgrConverter::Convert(const AVFrame& frame, uint8_t* rows, int width, int height,
                           size_t stride) {
  if (frame.width <= 0 || frame.height <= 0 || frame.format < 0 || width <= 0 || height <= 0)
    return false;
  const int matrix = MatrixOf(frame);
  const int range = FullRange(frame) ? 1 : 0;
  if (!sws_ || frame.width != srcWidth_ || frame.height != srcHeight_ ||
      frame.format != srcFormat_ || width != dstWidth_ || height != dstHeight_ ||
      matrix != matrix_ || range != range_) {
    // Same-size conversions use the filter ffmpeg itself uses for them, so that frames
    // match its decodes; a picture of another size is fitted with a proper filter.
    const int flags = frame.width == width && frame.height == height ? SWS_BICUBIC : SWS_LANCZOS;
    sws_.reset(sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
                              width, height, AV_PIX_FMT_BGR24, flags, nullptr, nullptr, nullptr));
    if (!sws_) return false;
    const int* coefficients = sws_getCoefficients(matrix);
    sws_setColorspaceDetails(sws_.get(), coefficients, range, sws_getCoefficients(SWS_CS_DEFAULT),
                             1, 0, 1 << 16, 1 << 16);
    srcWidth_ = frame.width;
    srcHeight_ = frame.height;
    srcFormat_ = frame.format;
    dstWidth_ = width;
    dstHeight_ = height;
    matrix_ = matrix;
    range_ = range;
  }
  // The rows are made in a copy with room after it, then moved to their place.
  const size_t bytes = stride * static_cast<size_t>(height);
  uint8_t* made = padded_.Reserve(bytes);
  if (!made) return false;
  // Bottom-up rows: start at the top row (stored last) and step backwards.
  uint8_t* top = made + stride * static_cast<size_t>(height - 1);
  uint8_t* planes[4] = {top, nullptr, nullptr, nullptr};
  int lines[4] = {-static_cast<int>(stride), 0, 0, 0};
  if (sws_scale(sws_.get(), frame.data, frame.linesize, 0, frame.height, planes, lines) != height)
    return false;
  std::memcpy(rows, made, bytes);
  return true;
}

// ---- Samples of an AVI stream ---------------------------------------------------------

struct SampleVideoDecoder::State {
  CodecContext codec;
  Packet packet = NewPacket();
  Frame frame = NewFrame();
  std::deque<Frame> waiting;  // pictures taken out early while a sample waited to go in
  BgrConverter converter;
  int width = 0, height = 0;
  bool draining = false;
};

SampleVideoDecoder::SampleVideoDecoder(std::unique_ptr<State> state) : state_(std::move(state)) {}
SampleVideoDecoder::~SampleVideoDecoder() = default;

std::unique_ptr<SampleVideoDecoder> SampleVideoDecoder::Open(const std::vector<uint8_t>& format,
                                                             uint32_t handler, std::string* error) {
  QuietLibraryLog();
  if (format.size() < sizeof(BITMAPINFOHEADER)) {
    Fail(error, "the video format is too short");
    return nullptr;
  }
  BITMAPINFOHEADER h;
  std::memcpy(&h, format.data(), sizeof h);
  const int64_t height = h.biHeight < 0 ? -int64_t{h.biHeight} : int64_t{h.biHeight};
  if (h.biSize < sizeof h || h.biSize > format.size() || h.biWidth <= 0 || height <= 0 ||
      h.biWidth > kMaxImageDimension || height > kMaxImageDimension ||
      int64_t{h.biWidth} * height > DibPixelLimit()) {
    Fail(error, "the video format is damaged or too large");
    return nullptr;
  }
  const AVCodecID id = VideoCodecFor(h.biCompression, handler);
  const AVCodec* codec = DecoderFor(id, "video", error);
  if (!codec) return nullptr;
  auto state = std::make_unique<State>();
  if (!NewCodecContext(*state, codec, error)) return nullptr;
  AVCodecContext* c = state->codec.get();
  c->codec_tag = h.biCompression;
  c->width = h.biWidth;
  c->height = static_cast<int>(height);
  c->bits_per_coded_sample = h.biBitCount;
  // A damaged sample may claim any size; pictures far beyond the stream's are refused
  // before they are allocated.
  c->max_pixels = static_cast<int64_t>(std::min<int64_t>(
      DibPixelLimit(), std::max<int64_t>(4 * int64_t{h.biWidth} * height, 1920 * 1088)));
  // The codec's extra data follows the 40-byte header, whatever biSize says (writers
  // count it in biSize or not).
  const size_t extra = format.size() - sizeof h;
  if (extra > 0 && extra < (1u << 24)) {
    c->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!c->extradata) {
      Fail(error, "out of memory");
      return nullptr;
    }
    std::memcpy(c->extradata, format.data() + sizeof h, extra);
    c->extradata_size = static_cast<int>(extra);
  }
  c->thread_count = DecoderThreads();
  c->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  const int rc = avcodec_open2(c, codec, nullptr);
  if (rc < 0) {
    Fail(error, std::string("the ") + codec->name + " decoder did not start", rc);
    return nullptr;
  }
  state->width = h.biWidth;
  state->height = static_cast<int>(height);
  return std::unique_ptr<SampleVideoDecoder>(new SampleVideoDecoder(std::move(state)));
}

int SampleVideoDecoder::width() const {
  return state_->width;
}
int SampleVideoDecoder::height() const {
  return state_->height;
}
bool SampleVideoDecoder::Reorders() const {
  return state_->codec->has_b_frames > 0;
}
std::string SampleVideoDecoder::name() const {
  return state_->codec->codec ? state_->codec->codec->name : "";
}

bool SampleVideoDecoder::Send(const uint8_t* data, size_t size, int64_t index) {
  State& s = *state_;
  if (s.draining || !data || size == 0 || size > (1u << 30)) return false;
  AVPacket* p = s.packet.get();
  av_packet_unref(p);
  if (av_new_packet(p, static_cast<int>(size)) < 0) return false;
  std::memcpy(p->data, data, size);
  p->pts = index;
  p->dts = AV_NOPTS_VALUE;
  for (;;) {
    const int rc = avcodec_send_packet(s.codec.get(), p);
    if (rc != AVERROR(EAGAIN)) {
      av_packet_unref(p);
      return rc >= 0;
    }
    // The decoder wants pictures taken out first; they wait for Receive.
    Frame early = NewFrame();
    if (!early || avcodec_receive_frame(s.codec.get(), early.get()) < 0) {
      av_packet_unref(p);
      return false;
    }
    s.waiting.push_back(std::move(early));
  }
}

void SampleVideoDecoder::Drain() {
  if (state_->draining) return;
  state_->draining = true;
  avcodec_send_packet(state_->codec.get(), nullptr);
}

SampleVideoDecoder::Result SampleVideoDecoder::Receive(DibBlock& frame, int64_t* index) {
  State& s = *state_;
  AVFrame* picture = nullptr;
  if (!s.waiting.empty()) {
    picture = s.waiting.front().get();
  } else {
    for (;;) {
      const int rc = avcodec_receive_frame(s.codec.get(), s.frame.get());
      if (rc == AVERROR(EAGAIN)) return Result::kNeedSample;
      if (rc == AVERROR_EOF) return Result::kEnd;
      if (rc < 0) {
        if (s.draining) return Result::kEnd;
        return Result::kNeedSample;
      }
      picture = s.frame.get();
      break;
    }
  }
  if (index) *index = picture->pts;
  const bool ok =
      PrepareBgrDib(frame, s.width, s.height) &&
      s.converter.Convert(*picture, DibPixels(frame), s.width, s.height, DibRowStride(s.width, 24));
  if (!s.waiting.empty())
    s.waiting.pop_front();
  else
    av_frame_unref(s.frame.get());
  // A picture that cannot be converted is passed over like a damaged one.
  return ok ? Result::kPicture : Receive(frame, index);
}

void SampleVideoDecoder::Flush() {
  State& s = *state_;
  s.waiting.clear();
  avcodec_flush_buffers(s.codec.get());
  s.draining = false;
}

// ---- Files ----------------------------------------------------------------------------

struct FileVideoDecoder::State {
  InputFormat input;
  CodecContext codec;
  Packet packet = NewPacket();
  Frame frame = NewFrame();
  BgrConverter converter;
  int stream = -1;
  AVRational timeBase{0, 1};
  bool inputDone = false, drained = false;
  double lastTime = 0;
  std::string error;
};

FileVideoDecoder::FileVideoDecoder(std::unique_ptr<State> state) : state_(std::move(state)) {}
FileVideoDecoder::~FileVideoDecoder() = default;

std::unique_ptr<FileVideoDecoder> FileVideoDecoder::Open(const std::string& path,
                                                         std::string* error) {
  auto state = std::make_unique<State>();
  const AVCodec* codec = nullptr;
  const int found = OpenBestStream(path, AVMEDIA_TYPE_VIDEO, "video", state->input, codec, error);
  if (found < 0) return nullptr;
  state->stream = found;
  AVStream* stream = state->input->streams[found];
  state->timeBase = stream->time_base;
  if (!NewCodecContext(*state, codec, error)) return nullptr;
  AVCodecContext* c = state->codec.get();
  int rc = avcodec_parameters_to_context(c, stream->codecpar);
  if (rc < 0 || c->width <= 0 || c->height <= 0 || c->width > kMaxImageDimension ||
      c->height > kMaxImageDimension || int64_t{c->width} * c->height > DibPixelLimit()) {
    Fail(error, path + ": the video size is damaged or too large");
    return nullptr;
  }
  c->thread_count = DecoderThreads();
  c->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  rc = avcodec_open2(c, codec, nullptr);
  if (rc < 0) {
    Fail(error, std::string("the ") + codec->name + " decoder did not start", rc);
    return nullptr;
  }
  return std::unique_ptr<FileVideoDecoder>(new FileVideoDecoder(std::move(state)));
}

bool FileVideoDecoder::PictureTimes(const std::string& path, std::vector<double>* times,
                                    double* first) {
  QuietLibraryLog();
  times->clear();
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return false;
  InputFormat input(raw);
  if (avformat_find_stream_info(raw, nullptr) < 0) return false;
  const int stream = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (stream < 0) return false;
  const AVRational base = raw->streams[stream]->time_base;
  Packet packet = NewPacket();
  if (!packet) return false;
  std::vector<int64_t> stamps;
  while (av_read_frame(raw, packet.get()) >= 0) {
    const bool ours = packet->stream_index == stream;
    const int64_t pts = packet->pts;
    av_packet_unref(packet.get());
    if (!ours) continue;
    if (pts == AV_NOPTS_VALUE) return false;
    stamps.push_back(pts);
  }
  if (stamps.empty()) return false;
  std::sort(stamps.begin(), stamps.end());
  for (int64_t stamp : stamps) times->push_back((stamp - stamps.front()) * av_q2d(base));
  *first = stamps.front() * av_q2d(base);
  return true;
}

bool FileVideoDecoder::SeekBefore(double seconds) {
  State& s = *state_;
  const int64_t stamp = static_cast<int64_t>(std::floor(seconds / av_q2d(s.timeBase)));
  if (av_seek_frame(s.input.get(), s.stream, stamp, AVSEEK_FLAG_BACKWARD) < 0) return false;
  avcodec_flush_buffers(s.codec.get());
  s.inputDone = false;
  s.drained = false;
  return true;
}

int FileVideoDecoder::width() const {
  return state_->codec->width;
}
int FileVideoDecoder::height() const {
  return state_->codec->height;
}
int FileVideoDecoder::rateNumerator() const {
  const AVRational r = state_->input->streams[state_->stream]->avg_frame_rate;
  return r.den ? r.num : 0;
}
int FileVideoDecoder::rateDenominator() const {
  const AVRational r = state_->input->streams[state_->stream]->avg_frame_rate;
  return r.den && r.num ? r.den : 1;
}
double FileVideoDecoder::durationSeconds() const {
  const AVStream* s = state_->input->streams[state_->stream];
  if (s->duration != AV_NOPTS_VALUE) return s->duration * av_q2d(s->time_base);
  if (state_->input->duration != AV_NOPTS_VALUE)
    return static_cast<double>(state_->input->duration) / AV_TIME_BASE;
  return 0;
}
double FileVideoDecoder::lastTime() const {
  return state_->lastTime;
}
const std::string& FileVideoDecoder::error() const {
  return state_->error;
}

HDIB FileVideoDecoder::Next() {
  State& s = *state_;
  AVCodecContext* c = s.codec.get();
  for (;;) {
    const int rc = avcodec_receive_frame(c, s.frame.get());
    if (rc >= 0) {
      const int w = c->width, h = c->height;
      HDIB dib = NewDib(w, h, 24, 0);
      bool ok = dib && s.converter.Convert(*s.frame, DibPixels(*dib), w, h, DibRowStride(w, 24));
      const int64_t t = s.frame->best_effort_timestamp;
      if (t != AV_NOPTS_VALUE) s.lastTime = t * av_q2d(s.timeBase);
      av_frame_unref(s.frame.get());
      if (ok) return dib;
      continue;
    }
    if (rc == AVERROR_EOF) return nullptr;
    if (rc != AVERROR(EAGAIN) && s.inputDone) return nullptr;
    if (s.inputDone) return nullptr;
    const int read = av_read_frame(s.input.get(), s.packet.get());
    if (read < 0) {
      if (read != AVERROR_EOF) s.error = "the file cannot be read further: " + ErrorText(read);
      s.inputDone = true;
      avcodec_send_packet(c, nullptr);
      continue;
    }
    if (s.packet->stream_index == s.stream) avcodec_send_packet(c, s.packet.get());
    av_packet_unref(s.packet.get());
  }
}

}  // namespace quendrolix::av
