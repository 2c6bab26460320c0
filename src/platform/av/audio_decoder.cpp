#include "platform/av/audio_decoder.h"

#include <algorithm>
#include <cstring>

#include "platform/av/av_internal.h"

namespace quendrolix::av {

struct AudioDecoder::State {
  // A file read by the library's demuxer...
  InputFormat input;
  int stream = -1;
  // ...or the chunks of an AVI stream, cut into packets by the codec's parser or by
  // whole blocks.
  std::unique_ptr<AudioChunkSource> chunks;
  Parser parser;
  std::vector<uint8_t> chunk;  // the current chunk, followed by zero padding
  size_t chunkSize = 0, chunkPos = 0;
  std::vector<uint8_t> carry;  // bytes waiting for a whole block
  int blockAlign = 0;
  bool pcm = false;
  bool parserFlushed = false;

  CodecContext codec;
  Packet packet = NewPacket();
  Frame frame = NewFrame();
  S16Resampler resampler;
  int outRate = 0, outChannels = 0;
  bool reading = false;  // the first Read happened: the output is fixed

  std::vector<int16_t> pcmOut;  // converted samples not yet delivered
  size_t pcmPos = 0;
  bool inputDone = false, drained = false, flushed = false;
  double duration = 0;
  uint64_t damaged = 0;
  std::string error;
};

AudioDecoder::AudioDecoder(std::unique_ptr<State> state) : state_(std::move(state)) {}
AudioDecoder::~AudioDecoder() = default;

std::unique_ptr<AudioDecoder> AudioDecoder::OpenFile(const std::string& path, std::string* error) {
  auto state = std::make_unique<State>();
  const AVCodec* codec = nullptr;
  const int found = OpenBestStream(path, AVMEDIA_TYPE_AUDIO, "sound", state->input, codec, error);
  if (found < 0) return nullptr;
  state->stream = found;
  AVStream* stream = state->input->streams[found];
  if (!NewCodecContext(*state, codec, error)) return nullptr;
  AVCodecContext* c = state->codec.get();
  int rc = avcodec_parameters_to_context(c, stream->codecpar);
  if (rc >= 0) rc = avcodec_open2(c, codec, nullptr);
  if (rc < 0) {
    Fail(error, std::string("the ") + codec->name + " decoder did not start", rc);
    return nullptr;
  }
  if (c->sample_rate <= 0 || c->ch_layout.nb_channels <= 0) {
    Fail(error, path + ": the sound format is damaged");
    return nullptr;
  }
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
    state->duration = stream->duration * av_q2d(stream->time_base);
  else if (state->input->duration != AV_NOPTS_VALUE && state->input->duration > 0)
    state->duration = static_cast<double>(state->input->duration) / AV_TIME_BASE;
  std::unique_ptr<AudioDecoder> decoder(new AudioDecoder(std::move(state)));
  decoder->SetOutput(std::clamp(c->sample_rate, 1000, 384000),
                     c->ch_layout.nb_channels == 1 ? 1 : 2);
  return decoder;
}

std::unique_ptr<AudioDecoder> AudioDecoder::OpenStream(const std::vector<uint8_t>& format,
                                                       std::unique_ptr<AudioChunkSource> chunks,
                                                       double durationSeconds, std::string* error) {
  QuietLibraryLog();
  if (!chunks || format.size() < 16) {
    Fail(error, "the sound format is too short");
    return nullptr;
  }
  auto u16 = [&](size_t at) { return static_cast<int>(format[at] | format[at + 1] << 8); };
  auto u32 = [&](size_t at) {
    return uint32_t{format[at]} | uint32_t{format[at + 1]} << 8 | uint32_t{format[at + 2]} << 16 |
           uint32_t{format[at + 3]} << 24;
  };
  const int tag = u16(0);
  const int channels = u16(2);
  const uint32_t rate = u32(4);
  const uint32_t bytesPerSecond = u32(8);
  const int blockAlign = u16(12);
  const int bits = u16(14);
  if (channels < 1 || channels > 64 || rate < 1 || rate > 768000) {
    Fail(error, "the sound format is damaged");
    return nullptr;
  }
  const AVCodecID id = AudioCodecFor(format.data(), format.size());
  const AVCodec* codec = DecoderFor(id, "sound", error);
  if (!codec) return nullptr;
  auto state = std::make_unique<State>();
  if (!NewCodecContext(*state, codec, error)) return nullptr;
  AVCodecContext* c = state->codec.get();
  c->codec_tag = static_cast<unsigned>(tag);
  c->sample_rate = static_cast<int>(rate);
  c->block_align = blockAlign;
  c->bit_rate = int64_t{bytesPerSecond} * 8;
  c->bits_per_coded_sample = bits;
  bool haveLayout = false;
  if (tag == 0xFFFE && format.size() >= 18 + 22) {
    const uint64_t mask = u32(18 + 2);
    if (mask && av_channel_layout_from_mask(&c->ch_layout, mask) == 0 &&
        c->ch_layout.nb_channels == channels)
      haveLayout = true;
    else
      av_channel_layout_uninit(&c->ch_layout);
  }
  if (!haveLayout) av_channel_layout_default(&c->ch_layout, channels);
  // The extra bytes of the record belong to the codec (ADPCM coefficients and the like),
  // except in an extensible record, where they describe the record itself.
  if (tag != 0xFFFE && format.size() > 18) {
    const size_t extra = std::min<size_t>(static_cast<size_t>(u16(16)), format.size() - 18);
    if (extra > 0) {
      c->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
      if (!c->extradata) {
        Fail(error, "out of memory");
        return nullptr;
      }
      std::memcpy(c->extradata, format.data() + 18, extra);
      c->extradata_size = static_cast<int>(extra);
    }
  }
  const int rc = avcodec_open2(c, codec, nullptr);
  if (rc < 0) {
    Fail(error, std::string("the ") + codec->name + " decoder did not start", rc);
    return nullptr;
  }
  state->chunks = std::move(chunks);
  state->parser.reset(av_parser_init(id));
  state->blockAlign = blockAlign;
  const AVCodecDescriptor* d = avcodec_descriptor_get(id);
  state->pcm = d && d->name && std::strncmp(d->name, "pcm_", 4) == 0;
  state->duration = durationSeconds > 0 ? durationSeconds : 0;
  std::unique_ptr<AudioDecoder> decoder(new AudioDecoder(std::move(state)));
  decoder->SetOutput(std::clamp(static_cast<int>(rate), 1000, 384000), channels == 1 ? 1 : 2);
  return decoder;
}

int AudioDecoder::sourceRate() const {
  return state_->codec->sample_rate;
}
int AudioDecoder::sourceChannels() const {
  return state_->codec->ch_layout.nb_channels;
}
double AudioDecoder::durationSeconds() const {
  return state_->duration;
}
std::string AudioDecoder::codecName() const {
  return state_->codec->codec ? state_->codec->codec->name : "";
}
int AudioDecoder::outputRate() const {
  return state_->outRate;
}
int AudioDecoder::outputChannels() const {
  return state_->outChannels;
}
uint64_t AudioDecoder::damagedPackets() const {
  return state_->damaged;
}
const std::string& AudioDecoder::error() const {
  return state_->error;
}

bool AudioDecoder::SetOutput(int rate, int channels) {
  State& s = *state_;
  if (s.reading || !s.resampler.Configure(rate, channels)) return false;
  s.outRate = rate;
  s.outChannels = channels;
  return true;
}

namespace {

// Sends one packet; damaged ones are counted and passed over.
void SendPacket(AVCodecContext* c, AVPacket* p, uint64_t& damaged) {
  const int rc = avcodec_send_packet(c, p);
  if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) ++damaged;
}

}  // namespace

bool AudioDecoder::Refill() {
  State& s = *state_;
  AVCodecContext* c = s.codec.get();
  while (!s.flushed) {
    const int rc = avcodec_receive_frame(c, s.frame.get());
    if (rc >= 0) {
      AVFrame* f = s.frame.get();
      const size_t before = s.pcmOut.size();
      const int rate = f->sample_rate > 0 ? f->sample_rate : c->sample_rate;
      const AVChannelLayout& layout = f->ch_layout.nb_channels > 0 ? f->ch_layout : c->ch_layout;
      const bool ok = s.resampler.Convert(layout, static_cast<AVSampleFormat>(f->format), rate,
                                          f->extended_data, f->nb_samples, s.pcmOut);
      av_frame_unref(f);
      if (!ok) ++s.damaged;
      if (s.pcmOut.size() > before) return true;
      continue;
    }
    if (rc == AVERROR_EOF || (rc != AVERROR(EAGAIN) && s.drained)) {
      const size_t before = s.pcmOut.size();
      s.resampler.Flush(s.pcmOut);
      s.flushed = true;
      return s.pcmOut.size() > before;
    }
    if (rc != AVERROR(EAGAIN)) {
      ++s.damaged;  // a frame that failed to decode; the next packet goes on
    }
    if (s.drained) continue;
    AVPacket* p = s.packet.get();
    if (s.input) {
      const int read = av_read_frame(s.input.get(), p);
      if (read < 0) {
        if (read != AVERROR_EOF) s.error = "the sound cannot be read further: " + ErrorText(read);
        s.drained = true;
        avcodec_send_packet(c, nullptr);
        continue;
      }
      if (p->stream_index == s.stream) SendPacket(c, p, s.damaged);
      av_packet_unref(p);
      continue;
    }
    // AVI chunks.
    if (s.chunkPos >= s.chunkSize && !s.inputDone) {
      if (s.chunks->Next(s.chunk)) {
        s.chunkSize = s.chunk.size();
        s.chunk.resize(s.chunkSize + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        s.chunkPos = 0;
      } else {
        s.inputDone = true;
        s.chunkSize = s.chunkPos = 0;
      }
    }
    if (s.parser) {
      uint8_t* out = nullptr;
      int outSize = 0;
      const uint8_t* in = s.chunkPos < s.chunkSize ? s.chunk.data() + s.chunkPos : nullptr;
      const int left = static_cast<int>(s.chunkSize - s.chunkPos);
      if (!in && s.parserFlushed) {
        s.drained = true;
        avcodec_send_packet(c, nullptr);
        continue;
      }
      const int used = av_parser_parse2(s.parser.get(), c, &out, &outSize, in, in ? left : 0,
                                        AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (!in) s.parserFlushed = true;
      if (used > 0) s.chunkPos += static_cast<size_t>(std::min(used, left));
      if (outSize > 0) {
        av_packet_unref(p);
        if (av_new_packet(p, outSize) == 0) {
          std::memcpy(p->data, out, static_cast<size_t>(outSize));
          SendPacket(c, p, s.damaged);
          av_packet_unref(p);
        }
      } else if (used <= 0 && in) {
        s.chunkPos = s.chunkSize;  // the parser took nothing: give up on this chunk
      }
      continue;
    }
    // No parser: whole blocks (one per packet for block codecs, many for PCM).
    if (s.chunkPos < s.chunkSize) {
      s.carry.insert(s.carry.end(), s.chunk.begin() + static_cast<long>(s.chunkPos),
                     s.chunk.begin() + static_cast<long>(s.chunkSize));
      s.chunkPos = s.chunkSize;
    }
    const size_t block = s.blockAlign > 0 ? static_cast<size_t>(s.blockAlign) : 1;
    size_t take = 0;
    if (s.pcm || block == 1)
      take = std::min<size_t>(s.carry.size() / block * block, std::max<size_t>(block, 1 << 16));
    else if (s.carry.size() >= block)
      take = block;
    if (take == 0) {
      if (s.inputDone) {
        s.drained = true;
        avcodec_send_packet(c, nullptr);
      }
      continue;
    }
    av_packet_unref(p);
    if (av_new_packet(p, static_cast<int>(take)) == 0) {
      std::memcpy(p->data, s.carry.data(), take);
      SendPacket(c, p, s.damaged);
      av_packet_unref(p);
    }
    s.carry.erase(s.carry.begin(), s.carry.begin() + static_cast<long>(take));
  }
  return false;
}

size_t AudioDecoder::Read(int16_t* out, size_t frames) {
  State& s = *state_;
  s.reading = true;
  if (!out || s.outChannels == 0) return 0;
  const size_t channels = static_cast<size_t>(s.outChannels);
  size_t given = 0;
  while (given < frames) {
    const size_t available = (s.pcmOut.size() - s.pcmPos) / channels;
    if (available == 0) {
      s.pcmOut.clear();
      s.pcmPos = 0;
      if (!Refill()) break;
      continue;
    }
    const size_t n = std::min(available, frames - given);
    std::memcpy(out + given * channels, s.pcmOut.data() + s.pcmPos, n * channels * sizeof(int16_t));
    s.pcmPos += n * channels;
    given += n;
  }
  return given;
}

}  // namespace quendrolix::av
