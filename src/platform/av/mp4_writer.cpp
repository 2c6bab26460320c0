#include "platform/av/mp4_writer.h"

#include <cstring>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/av/av_internal.h"
#include "platform/host/atomic_file.h"
#include "platform/vfw/pixel_convert.h"

namespace quendrolix::av {

struct Mp4Writer::State {
  AtomicFile file;  // the temporary file the library writes; put in place by Finish
  AVFormatContext* output = nullptr;
  bool headerWritten = false, finished = false;
  // Video.
  CodecContext video;
  AVStream* videoStream = nullptr;
  Frame picture = NewFrame();
  FromBgrConverter converter;
  std::vector<uint8_t> bgr;  // a picture of another depth, as 24-bit rows
  int width = 0, height = 0;
  int64_t nextFrame = 0;
  std::map<int64_t, int64_t> durations;  // frames each coded picture lasts, by its pts
  // Sound.
  CodecContext audio;
  AVStream* audioStream = nullptr;
  Resampler toFloat;
  Frame sound = NewFrame();
  std::vector<int16_t> pending;  // interleaved samples not yet coded
  int channels = 0;
  int64_t nextSample = 0;
  Packet packet = NewPacket();
  std::string error;

  ~State() {
    if (output) {
      if (!(output->oformat->flags & AVFMT_NOFILE)) avio_closep(&output->pb);
      avformat_free_context(output);
    }
  }
};

Mp4Writer::Mp4Writer(std::unique_ptr<State> state) : state_(std::move(state)) {}
Mp4Writer::~Mp4Writer() = default;

namespace {

int RateFactorFor(int quality) {
  quality = std::clamp(quality, 0, 10000);
  return static_cast<int>(51.0 - 33.0 * quality / 10000.0 + 0.5);
}

}  // namespace

std::unique_ptr<Mp4Writer> Mp4Writer::Create(const std::string& path, const Mp4Settings& settings,
                                             std::string* error) {
  QuietLibraryLog();
  if (settings.width <= 0 || settings.height <= 0 || settings.width > 16384 ||
      settings.height > 16384 || int64_t{settings.width} * settings.height > DibPixelLimit() ||
      settings.rateNumerator <= 0 || settings.rateDenominator <= 0) {
    Fail(error, "impossible picture size or frame rate for an MP4");
    return nullptr;
  }
  if (settings.sound && (settings.channels < 1 || settings.channels > 2 ||
                         settings.sampleRate < 8000 || settings.sampleRate > 96000)) {
    Fail(error, "impossible sound layout for an MP4");
    return nullptr;
  }
  const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
  const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!h264 || (settings.sound && !aac)) {
    Fail(error, "the H.264 or AAC encoder is missing from the libraries");
    return nullptr;
  }
  auto s = std::make_unique<State>();
  if (!s->file.Open(path, AtomicFile::TempName::kPartSuffix)) {
    Fail(error, "cannot write " + path);
    return nullptr;
  }
  int rc = avformat_alloc_output_context2(&s->output, nullptr, "mp4", s->file.tempPath().c_str());
  if (rc < 0 || !s->output) {
    Fail(error, "the MP4 writer did not start", rc);
    return nullptr;
  }
  const bool globalHeader = (s->output->oformat->flags & AVFMT_GLOBALHEADER) != 0;

  // Video: H.264 with its usual tools; the container carries the times.
  s->width = settings.width;
  s->height = settings.height;
  s->video.reset(avcodec_alloc_context3(h264));
  if (!s->video || !s->picture || !s->sound || !s->packet) {
    Fail(error, "out of memory");
    return nullptr;
  }
  AVCodecContext* v = s->video.get();
  v->width = (settings.width + 1) & ~1;
  v->height = (settings.height + 1) & ~1;
  v->pix_fmt = AV_PIX_FMT_YUV420P;
  v->time_base = AVRational{settings.rateDenominator, settings.rateNumerator};
  v->framerate = AVRational{settings.rateNumerator, settings.rateDenominator};
  v->sample_aspect_ratio = AVRational{1, 1};
  v->color_primaries = AVCOL_PRI_SMPTE170M;
  v->color_trc = AVCOL_TRC_SMPTE170M;
  v->colorspace = AVCOL_SPC_SMPTE170M;
  v->color_range = AVCOL_RANGE_MPEG;
  v->gop_size = 250;
  if (globalHeader) v->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "preset", "medium", 0);
  av_dict_set_int(&options, "crf", RateFactorFor(settings.quality), 0);
  av_dict_set(&options, "profile", "high", 0);
  rc = avcodec_open2(v, h264, &options);
  av_dict_free(&options);
  if (rc < 0) {
    Fail(error, "the H.264 encoder did not start", rc);
    return nullptr;
  }
  s->videoStream = avformat_new_stream(s->output, nullptr);
  if (!s->videoStream || avcodec_parameters_from_context(s->videoStream->codecpar, v) < 0) {
    Fail(error, "out of memory");
    return nullptr;
  }
  s->videoStream->time_base = v->time_base;
  s->videoStream->avg_frame_rate = v->framerate;
  AVFrame* p = s->picture.get();
  p->format = v->pix_fmt;
  p->width = v->width;
  p->height = v->height;
  if (av_frame_get_buffer(p, 0) < 0) {
    Fail(error, "out of memory");
    return nullptr;
  }

  if (settings.sound) {
    s->audio.reset(avcodec_alloc_context3(aac));
    if (!s->audio) {
      Fail(error, "out of memory");
      return nullptr;
    }
    AVCodecContext* a = s->audio.get();
    a->sample_rate = settings.sampleRate;
    av_channel_layout_default(&a->ch_layout, settings.channels);
    a->sample_fmt = AV_SAMPLE_FMT_FLTP;
    a->bit_rate = settings.channels == 1 ? 96000 : 160000;
    a->time_base = AVRational{1, settings.sampleRate};
    if (globalHeader) a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    rc = avcodec_open2(a, aac, nullptr);
    if (rc < 0) {
      Fail(error, "the AAC encoder did not start", rc);
      return nullptr;
    }
    s->audioStream = avformat_new_stream(s->output, nullptr);
    if (!s->audioStream || avcodec_parameters_from_context(s->audioStream->codecpar, a) < 0) {
      Fail(error, "out of memory");
      return nullptr;
    }
    s->audioStream->time_base = a->time_base;
    SwrContext* raw = nullptr;
    rc = swr_alloc_set_opts2(&raw, &a->ch_layout, AV_SAMPLE_FMT_FLTP, a->sample_rate, &a->ch_layout,
                             AV_SAMPLE_FMT_S16, a->sample_rate, 0, nullptr);
    s->toFloat.reset(raw);
    if (rc < 0 || !raw || swr_init(raw) < 0) {
      Fail(error, "the sound converter did not start");
      return nullptr;
    }
    s->channels = settings.channels;
  }

  rc = avio_open(&s->output->pb, s->file.tempPath().c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) {
    Fail(error, "cannot write " + s->file.tempPath(), rc);
    return nullptr;
  }
  // The index goes first, so that browsers start playing before the whole file is there.
  av_dict_set(&options, "movflags", "+faststart", 0);
  rc = avformat_write_header(s->output, &options);
  av_dict_free(&options);
  if (rc < 0) {
    Fail(error, "the MP4 header could not be written", rc);
    return nullptr;
  }
  s->headerWritten = true;
  return std::unique_ptr<Mp4Writer>(new Mp4Writer(std::move(s)));
}

int64_t Mp4Writer::videoFrames() const {
  return state_->nextFrame;
}
const std::string& Mp4Writer::error() const {
  return state_->error;
}

bool Mp4Writer::WriteVideoPackets(bool flush) {
  State& s = *state_;
  AVCodecContext* v = s.video.get();
  if (flush) avcodec_send_frame(v, nullptr);
  for (;;) {
    const int rc = avcodec_receive_packet(v, s.packet.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return Fail(&s.error, "the H.264 encoder failed", rc);
    AVPacket* p = s.packet.get();
    const auto it = s.durations.find(p->pts);
    if (it != s.durations.end()) {
      p->duration = it->second;
      s.durations.erase(it);
    }
    p->stream_index = s.videoStream->index;
    av_packet_rescale_ts(p, v->time_base, s.videoStream->time_base);
    const int wrote = av_interleaved_write_frame(s.output, p);
    if (wrote < 0) return Fail(&s.error, "the MP4 could not be written", wrote);
  }
}

bool Mp4Writer::AddPicture(const DibBlock& picture, int64_t frames) {
  State& s = *state_;
  if (s.finished) return Fail(&s.error, "the MP4 is already complete");
  if (!DibIsConsistent(picture)) return Fail(&s.error, "a damaged picture");
  const BITMAPINFOHEADER& h = picture.header();
  const int rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  if (h.biWidth != s.width || rows != s.height || h.biCompression != BI_RGB)
    return Fail(&s.error, "a picture of another size than the movie's");
  const uint8_t* data = DibPixels(picture);
  size_t stride = DibRowStride(s.width, h.biBitCount);
  if (h.biBitCount != 24 || h.biHeight < 0) {
    // Other depths, and top-down blocks, become bottom-up 24-bit rows first.
    const size_t out = DibRowStride(s.width, 24);
    s.bgr.assign(out * static_cast<size_t>(s.height), 0);
    for (int y = 0; y < s.height; ++y) {
      const int from = h.biHeight < 0 ? s.height - 1 - y : y;
      RowToBgr(data + stride * static_cast<size_t>(from), h.biBitCount, picture.colours(),
               DibColourCount(picture), s.width, s.bgr.data() + out * static_cast<size_t>(y));
    }
    data = s.bgr.data();
    stride = out;
  }
  AVFrame* f = s.picture.get();
  if (!s.converter.Convert(data, stride, s.width, s.height, *f))
    return Fail(&s.error, "the picture could not be converted");
  frames = std::max<int64_t>(frames, 1);
  f->pts = s.nextFrame;
  s.durations[f->pts] = frames;
  s.nextFrame += frames;
  const int rc = avcodec_send_frame(s.video.get(), f);
  if (rc < 0) return Fail(&s.error, "the H.264 encoder refused a picture", rc);
  return WriteVideoPackets(false);
}

bool Mp4Writer::WriteAudioPackets(bool flush) {
  State& s = *state_;
  AVCodecContext* a = s.audio.get();
  if (flush) avcodec_send_frame(a, nullptr);
  for (;;) {
    const int rc = avcodec_receive_packet(a, s.packet.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return Fail(&s.error, "the AAC encoder failed", rc);
    AVPacket* p = s.packet.get();
    p->stream_index = s.audioStream->index;
    av_packet_rescale_ts(p, a->time_base, s.audioStream->time_base);
    const int wrote = av_interleaved_write_frame(s.output, p);
    if (wrote < 0) return Fail(&s.error, "the MP4 could not be written", wrote);
  }
}

bool Mp4Writer::EncodeAudio(bool last) {
  State& s = *state_;
  AVCodecContext* a = s.audio.get();
  const size_t frameSize = a->frame_size > 0 ? static_cast<size_t>(a->frame_size) : 1024;
  const size_t channels = static_cast<size_t>(s.channels);
  size_t used = 0;
  while (s.pending.size() - used >= frameSize * channels || (last && s.pending.size() > used)) {
    const size_t n = std::min(frameSize, (s.pending.size() - used) / channels);
    AVFrame* f = s.sound.get();
    av_frame_unref(f);
    f->format = AV_SAMPLE_FMT_FLTP;
    f->sample_rate = a->sample_rate;
    f->nb_samples = static_cast<int>(n);
    if (av_channel_layout_copy(&f->ch_layout, &a->ch_layout) < 0 || av_frame_get_buffer(f, 0) < 0)
      return Fail(&s.error, "out of memory");
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(s.pending.data() + used)};
    if (swr_convert(s.toFloat.get(), f->extended_data, static_cast<int>(n), in,
                    static_cast<int>(n)) != static_cast<int>(n))
      return Fail(&s.error, "the sound could not be converted");
    f->pts = s.nextSample;
    s.nextSample += static_cast<int64_t>(n);
    used += n * channels;
    const int rc = avcodec_send_frame(a, f);
    if (rc < 0) return Fail(&s.error, "the AAC encoder refused the sound", rc);
    if (!WriteAudioPackets(false)) return false;
  }
  s.pending.erase(s.pending.begin(), s.pending.begin() + static_cast<long>(used));
  return true;
}

bool Mp4Writer::AddSound(const int16_t* samples, size_t frames) {
  State& s = *state_;
  if (s.finished || !s.audio) return Fail(&s.error, "this MP4 takes no sound");
  if (frames == 0) return true;
  if (!samples) return Fail(&s.error, "no samples");
  s.pending.insert(s.pending.end(), samples, samples + frames * static_cast<size_t>(s.channels));
  return EncodeAudio(false);
}

bool Mp4Writer::Finish() {
  State& s = *state_;
  if (s.finished) return Fail(&s.error, "the MP4 is already complete");
  if (s.nextFrame == 0) return Fail(&s.error, "an MP4 needs at least one picture");
  bool ok = WriteVideoPackets(true);
  if (ok && s.audio) ok = EncodeAudio(true) && WriteAudioPackets(true);
  if (ok) {
    const int rc = av_write_trailer(s.output);
    if (rc < 0) ok = Fail(&s.error, "the MP4 could not be completed", rc);
  }
  if (s.output && !(s.output->oformat->flags & AVFMT_NOFILE)) {
    if (avio_closep(&s.output->pb) < 0) ok = ok && Fail(&s.error, "the MP4 could not be closed");
  }
  if (ok && !s.file.Commit())
    ok = Fail(&s.error, "cannot write " + s.file.path() + ": " + std::strerror(s.file.error()));
  if (!ok) s.file.Discard();
  s.finished = true;
  return ok;
}

}  // namespace quendrolix::av
