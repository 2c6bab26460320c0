// The desktop's sound system. With PulseAudio's simple API (found by pkg-config at build
// time) recording and playback go to the default source and sink; without it every open
// says that the program was built without sound.
#include "platform/sound/sound_backend.h"

#ifdef QUENDROLIX_HAVE_PULSE
#include <pulse/error.h>
#include <pulse/simple.h>
#endif

namespace quendrolix {
namespace {

#ifdef QUENDROLIX_HAVE_PULSE

constexpr char kApplication[] = "Quendrolix Media Editor";

bool SampleSpecOf(const WAVEFORMATEX& f, pa_sample_spec& spec) {
  if (f.wFormatTag != WAVE_FORMAT_PCM || (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) ||
      f.nChannels == 0 || f.nChannels > 2)
    return false;
  spec.format = f.wBitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
  spec.channels = static_cast<uint8_t>(f.nChannels);
  spec.rate = f.nSamplesPerSec;
  return pa_sample_spec_valid(&spec) != 0;
}

// Fragments of about 50 ms keep a stop request waiting no longer than that.
pa_buffer_attr SmallBuffers(const WAVEFORMATEX& f) {
  const uint32_t fragment = f.nAvgBytesPerSec / 20 / f.nBlockAlign * f.nBlockAlign;
  pa_buffer_attr attr;
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = fragment * 4;
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = fragment;
  return attr;
}

class PulseCapture : public CaptureStream {
 public:
  explicit PulseCapture(pa_simple* s) : s_(s) {}
  ~PulseCapture() override { pa_simple_free(s_); }
  int64_t Read(void* buffer, size_t bytes) override {
    int error = 0;
    if (pa_simple_read(s_, buffer, bytes, &error) < 0) return -1;
    return static_cast<int64_t>(bytes);
  }

 private:
  pa_simple* s_;
};

class PulsePlayback : public PlaybackStream {
 public:
  explicit PulsePlayback(pa_simple* s) : s_(s) {}
  ~PulsePlayback() override { pa_simple_free(s_); }
  bool Write(const void* data, size_t bytes) override {
    int error = 0;
    return pa_simple_write(s_, data, bytes, &error) >= 0;
  }
  bool Drain() override {
    int error = 0;
    return pa_simple_drain(s_, &error) >= 0;
  }
  void Discard() override {
    int error = 0;
    pa_simple_flush(s_, &error);
  }
  double LatencySeconds() override {
    int error = 0;
    const pa_usec_t latency = pa_simple_get_latency(s_, &error);
    return latency == static_cast<pa_usec_t>(-1) ? 0 : latency / 1e6;
  }

 private:
  pa_simple* s_;
};

class PulseBackend : public SoundBackend {
 public:
  std::unique_ptr<CaptureStream> OpenCapture(const WAVEFORMATEX& format,
                                             std::string* error) override {
    pa_simple* s = Open(PA_STREAM_RECORD, "Sound recorder", format, error);
    return s ? std::make_unique<PulseCapture>(s) : nullptr;
  }
  std::unique_ptr<PlaybackStream> OpenPlayback(const WAVEFORMATEX& format,
                                               std::string* error) override {
    pa_simple* s = Open(PA_STREAM_PLAYBACK, "Recording playback", format, error);
    return s ? std::make_unique<PulsePlayback>(s) : nullptr;
  }

 private:
  static pa_simple* Open(pa_stream_direction_t direction, const char* what,
                         const WAVEFORMATEX& format, std::string* error) {
    pa_sample_spec spec{};
    if (!SampleSpecOf(format, spec)) {
      if (error) *error = "unsupported sound format";
      return nullptr;
    }
    pa_buffer_attr attr = SmallBuffers(format);
    int code = 0;
    pa_simple* s = pa_simple_new(nullptr, kApplication, direction, nullptr, what, &spec, nullptr,
                                 &attr, &code);
    if (!s && error)
      *error = std::string("the sound system is not available: ") + pa_strerror(code);
    return s;
  }
};

#endif  // QUENDROLIX_HAVE_PULSE

class NoSoundBackend : public SoundBackend {
 public:
  std::unique_ptr<CaptureStream> OpenCapture(const WAVEFORMATEX&, std::string* error) override {
    if (error) *error = kWhy;
    return nullptr;
  }
  std::unique_ptr<PlaybackStream> OpenPlayback(const WAVEFORMATEX&, std::string* error) override {
    if (error) *error = kWhy;
    return nullptr;
  }

 private:
  static constexpr char kWhy[] = "this program was built without a sound system";
};

}  // namespace

std::unique_ptr<SoundBackend> MakeSystemSoundBackend() {
#ifdef QUENDROLIX_HAVE_PULSE
  return std::make_unique<PulseBackend>();
#else
  return std::make_unique<NoSoundBackend>();
#endif
}

}  // namespace quendrolix
