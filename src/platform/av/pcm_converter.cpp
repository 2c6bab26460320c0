#include "platform/av/pcm_converter.h"

#include "platform/av/av_internal.h"

namespace quendrolix::av {

S16Resampler::S16Resampler() = default;
S16Resampler::~S16Resampler() {
  av_channel_layout_uninit(&inLayout_);
}

bool S16Resampler::Configure(int outRate, int outChannels) {
  if (outRate < 1000 || outRate > 384000 || outChannels < 1 || outChannels > 2) return false;
  outRate_ = outRate;
  outChannels_ = outChannels;
  swr_.reset();
  return true;
}

bool S16Resampler::Reopen(const AVChannelLayout& layout, AVSampleFormat format, int rate) {
  AVChannelLayout out{};
  av_channel_layout_default(&out, outChannels_);
  SwrContext* raw = nullptr;
  int rc = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_S16, outRate_,
                               const_cast<AVChannelLayout*>(&layout), format, rate, 0, nullptr);
  av_channel_layout_uninit(&out);
  if (rc < 0 || !raw) return false;
  swr_.reset(raw);
  // Mono spread over two channels keeps its level on each (the library's own rule would
  // lower it by 3 dB, as for a centre speaker).
  if (layout.nb_channels == 1 && outChannels_ == 2) {
    const double both[2] = {1.0, 1.0};
    if (swr_set_matrix(raw, both, 1) < 0) return false;
  }
  if (swr_init(raw) < 0) {
    swr_.reset();
    return false;
  }
  av_channel_layout_uninit(&inLayout_);
  if (av_channel_layout_copy(&inLayout_, &layout) < 0) return false;
  inFormat_ = format;
  inRate_ = rate;
  return true;
}

bool S16Resampler::Convert(const AVChannelLayout& layout, AVSampleFormat format, int rate,
                           const uint8_t* const* in, int count, std::vector<int16_t>& out) {
  if (outRate_ == 0 || rate <= 0 || layout.nb_channels <= 0 || count < 0) return false;
  if (!swr_ || format != inFormat_ || rate != inRate_ ||
      av_channel_layout_compare(&layout, &inLayout_) != 0) {
    // A change in the middle of a stream: what the old filter holds goes out first.
    if (swr_ && !Flush(out)) return false;
    if (!Reopen(layout, format, rate)) return false;
  }
  const int room = swr_get_out_samples(swr_.get(), count);
  if (room < 0) return false;
  const size_t before = out.size();
  out.resize(before + static_cast<size_t>(room) * outChannels_);
  uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(out.data() + before)};
  const int got = swr_convert(swr_.get(), dst, room, const_cast<const uint8_t**>(in), count);
  if (got < 0) {
    out.resize(before);
    return false;
  }
  out.resize(before + static_cast<size_t>(got) * outChannels_);
  return true;
}

bool S16Resampler::Flush(std::vector<int16_t>& out) {
  if (!swr_) return true;
  const int room = swr_get_out_samples(swr_.get(), 0);
  if (room <= 0) return room == 0;
  const size_t before = out.size();
  out.resize(before + static_cast<size_t>(room) * outChannels_);
  uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(out.data() + before)};
  const int got = swr_convert(swr_.get(), dst, room, nullptr, 0);
  out.resize(before + static_cast<size_t>(got > 0 ? got : 0) * outChannels_);
  return got >= 0;
}

struct PcmConverter::State {
  S16Resampler resampler;
  AVChannelLayout layout{};
  int inRate = 0;
  ~State() { av_channel_layout_uninit(&layout); }
};

PcmConverter::PcmConverter(std::unique_ptr<State> state) : state_(std::move(state)) {}
PcmConverter::~PcmConverter() = default;

std::unique_ptr<PcmConverter> PcmConverter::Open(int inRate, int inChannels, int outRate,
                                                 int outChannels, std::string* error) {
  if (inRate < 1000 || inRate > 384000 || inChannels < 1 || inChannels > 8) {
    Fail(error, "impossible source layout");
    return nullptr;
  }
  auto state = std::make_unique<State>();
  if (!state->resampler.Configure(outRate, outChannels)) {
    Fail(error, "impossible output layout");
    return nullptr;
  }
  av_channel_layout_default(&state->layout, inChannels);
  state->inRate = inRate;
  return std::unique_ptr<PcmConverter>(new PcmConverter(std::move(state)));
}

bool PcmConverter::Convert(const int16_t* in, size_t frames, std::vector<int16_t>& out) {
  if (frames == 0) return true;
  if (!in || frames > (1u << 28)) return false;
  const uint8_t* planes[1] = {reinterpret_cast<const uint8_t*>(in)};
  return state_->resampler.Convert(state_->layout, AV_SAMPLE_FMT_S16, state_->inRate, planes,
                                   static_cast<int>(frames), out);
}

bool PcmConverter::Flush(std::vector<int16_t>& out) {
  return state_->resampler.Flush(out);
}

}  // namespace quendrolix::av
