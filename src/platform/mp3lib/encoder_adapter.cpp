// The MP3 encoder library ("Dll/libbladeenc.so"): the five entry points of
// mp3_encoder_abi.h over libmp3lame. Built as its own shared object and loaded by the
// program at run time; it links nothing of the core library.
#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/mp3lib/mp3_encoder_abi.h"

#define QUENDROLIX_EXPORT extern "C" __attribute__((visibility("default")))

namespace quendrolix {
namespace {

constexpr uint32_t kFrameSamplesPerChannel = 1152;

struct EncoderStream {
  lame_global_flags* lame = nullptr;
  int channels = 2;
  uint32_t samplesPerChunk = 0;
  uint32_t outputBytes = 0;
  // A stereo caller may hand over an odd number of samples; the unpaired left sample
  // waits here for its right partner in the next chunk.
  bool haveCarry = false;
  int16_t carry = 0;
  std::vector<int16_t> scratch;
};

std::mutex& StreamsLock() {
  static std::mutex lock;
  return lock;
}
std::set<EncoderStream*>& LiveStreams() {
  static std::set<EncoderStream*> streams;
  return streams;
}

EncoderStream* FindStream(BeStreamHandle handle) {
  auto* stream = reinterpret_cast<EncoderStream*>(static_cast<uintptr_t>(handle));
  std::lock_guard<std::mutex> guard(StreamsLock());
  return LiveStreams().count(stream) ? stream : nullptr;
}

bool IsMp3Rate(uint32_t rate) {
  static constexpr uint32_t kRates[] = {8000,  11025, 12000, 16000, 22050,
                                        24000, 32000, 44100, 48000};
  return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
}

void Quiet(const char*, va_list) {}

}  // namespace

QUENDROLIX_EXPORT void beVersion(BeVersionInfo* info) {
  if (!info) return;
  std::memset(info, 0, sizeof *info);
  info->libraryMajor = 4;
  info->libraryMinor = 0;
  lame_version_t engine{};
  get_lame_version_numerical(&engine);
  info->engineMajor = static_cast<uint8_t>(engine.major);
  info->engineMinor = static_cast<uint8_t>(engine.minor);
  std::strncpy(info->engineName, "libmp3lame ", sizeof info->engineName - 1);
  std::strncat(info->engineName, get_lame_version(),
               sizeof info->engineName - 1 - std::strlen(info->engineName));
}

QUENDROLIX_EXPORT BeResult beInitStream(const BeConfig* config, uint32_t* samplesPerChunk,
                                        uint32_t* outputBufferBytes, BeStreamHandle* stream) {
  if (!config || !samplesPerChunk || !outputBufferBytes || !stream) return kBeErrInvalidParameters;
  BeConfig c;
  std::memcpy(&c, config, sizeof c);  // the record is packed: copy before reading fields
  if (c.configKind != kBeConfigMp3) return kBeErrInvalidFormat;
  if (c.sampleRate < 1000 || c.sampleRate > 768000 || c.mode > kBeModeMono || c.bitRate == 0 ||
      c.bitRate > 320)
    return kBeErrInvalidParameters;

  auto s = std::make_unique<EncoderStream>();
  s->lame = lame_init();
  if (!s->lame) return kBeErrNoMoreHandles;
  s->channels = c.mode == kBeModeMono ? 1 : 2;
  lame_set_errorf(s->lame, Quiet);
  lame_set_debugf(s->lame, Quiet);
  lame_set_msgf(s->lame, Quiet);
  lame_set_in_samplerate(s->lame, static_cast<int>(c.sampleRate));
  // Keep the caller's rate where MP3 has it; otherwise the encoder picks the nearest.
  if (IsMp3Rate(c.sampleRate)) lame_set_out_samplerate(s->lame, static_cast<int>(c.sampleRate));
  lame_set_num_channels(s->lame, s->channels);
  static constexpr MPEG_mode kModes[] = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
  lame_set_mode(s->lame, kModes[c.mode]);
  lame_set_VBR(s->lame, vbr_off);
  lame_set_brate(s->lame, c.bitRate);
  lame_set_extension(s->lame, c.privateFlag ? 1 : 0);
  lame_set_error_protection(s->lame, c.crcFlag ? 1 : 0);
  lame_set_copyright(s->lame, c.copyrightFlag ? 1 : 0);
  lame_set_original(s->lame, c.originalFlag ? 1 : 0);
  // The caller only ever sees a stream of bytes and cannot go back to fill in a summary
  // frame, so none is reserved (a blank one would play as a frame of silence).
  lame_set_bWriteVbrTag(s->lame, 0);
  if (lame_init_params(s->lame) < 0) {
    lame_close(s->lame);
    return kBeErrInvalidParameters;
  }
  s->samplesPerChunk = kFrameSamplesPerChannel * static_cast<uint32_t>(s->channels);
  // The encoder's own worst case for one call, and the least its flush accepts.
  s->outputBytes = s->samplesPerChunk * 5 / 4 + 7200;
  s->scratch.resize(s->samplesPerChunk + 2);

  *samplesPerChunk = s->samplesPerChunk;
  *outputBufferBytes = s->outputBytes;
  EncoderStream* raw = s.release();
  {
    std::lock_guard<std::mutex> guard(StreamsLock());
    LiveStreams().insert(raw);
  }
  *stream = static_cast<BeStreamHandle>(reinterpret_cast<uintptr_t>(raw));
  return kBeOk;
}

QUENDROLIX_EXPORT BeResult beEncodeChunk(BeStreamHandle handle, uint32_t sampleCount,
                                         const int16_t* samples, uint8_t* output,
                                         uint32_t* bytesProduced) {
  EncoderStream* s = FindStream(handle);
  if (!s) return kBeErrInvalidHandle;
  if (!output || !bytesProduced || (sampleCount && !samples) || sampleCount > s->samplesPerChunk)
    return kBeErrInvalidParameters;
  *bytesProduced = 0;

  int16_t* pcm = s->scratch.data();
  uint32_t count = 0;
  if (s->haveCarry) pcm[count++] = s->carry;
  std::memcpy(pcm + count, samples, size_t{sampleCount} * sizeof(int16_t));
  count += sampleCount;
  s->haveCarry = false;
  if (s->channels == 2 && (count & 1)) {
    s->carry = pcm[--count];
    s->haveCarry = true;
  }
  const int frames = static_cast<int>(count / static_cast<uint32_t>(s->channels));
  if (frames == 0) return kBeOk;
  int made = s->channels == 2 ? lame_encode_buffer_interleaved(s->lame, pcm, frames, output,
                                                               static_cast<int>(s->outputBytes))
                              : lame_encode_buffer(s->lame, pcm, pcm, frames, output,
                                                   static_cast<int>(s->outputBytes));
  if (made == -1) return kBeErrBufferTooSmall;
  if (made < 0) return kBeErrEncodingFailed;
  *bytesProduced = static_cast<uint32_t>(made);
  return kBeOk;
}

QUENDROLIX_EXPORT BeResult beDeinitStream(BeStreamHandle handle, uint8_t* output,
                                          uint32_t* bytesProduced) {
  EncoderStream* s = FindStream(handle);
  if (!s) return kBeErrInvalidHandle;
  if (!output || !bytesProduced) return kBeErrInvalidParameters;
  *bytesProduced = 0;
  // A last lone sample of a stereo stream is completed with silence rather than lost.
  if (s->haveCarry) {
    int16_t pair[2] = {s->carry, 0};
    s->haveCarry = false;
    int made =
        lame_encode_buffer_interleaved(s->lame, pair, 1, output, static_cast<int>(s->outputBytes));
    if (made < 0) return made == -1 ? kBeErrBufferTooSmall : kBeErrEncodingFailed;
    *bytesProduced = static_cast<uint32_t>(made);
  }
  int made = lame_encode_flush(s->lame, output + *bytesProduced,
                               static_cast<int>(s->outputBytes - *bytesProduced));
  if (made == -1) return kBeErrBufferTooSmall;
  if (made < 0) return kBeErrEncodingFailed;
  *bytesProduced += static_cast<uint32_t>(made);
  return kBeOk;
}

QUENDROLIX_EXPORT BeResult beCloseStream(BeStreamHandle handle) {
  auto* stream = reinterpret_cast<EncoderStream*>(static_cast<uintptr_t>(handle));
  {
    std::lock_guard<std::mutex> guard(StreamsLock());
    if (!LiveStreams().erase(stream)) return kBeErrInvalidHandle;
  }
  lame_close(stream->lame);
  delete stream;
  return kBeOk;
}

}  // namespace quendrolix
