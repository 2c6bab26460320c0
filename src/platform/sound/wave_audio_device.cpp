#include "platform/sound/wave_audio_device.h"

#include <sys/types.h>

#include <vector>

#include "platform/vfw/wav_file.h"

namespace quendrolix {
namespace {

// A RIFF file cannot describe more sound than this; recording stops there.
constexpr uint64_t kMaxWavData = 0xFFFFFFF0ull;
constexpr uint64_t kFragmentMs = 50;

}  // namespace

WaveAudioDevice::WaveAudioDevice(SoundBackend& backend)
    : backend_(backend), format_(PcmFormat(11025, 1, 8)) {}

WaveAudioDevice::~WaveAudioDevice() {
  Close();
}

bool WaveAudioDevice::Fail(const std::string& why) {
  error_ = why;
  return false;
}

bool WaveAudioDevice::Open() {
  Close();
  error_.clear();
  spool_ = std::tmpfile();
  if (!spool_) return Fail("cannot make a temporary file for the recording");
  format_ = PcmFormat(11025, 1, 8);
  recordedBytes_ = 0;
  playPosition_ = 0;
  return true;
}

bool WaveAudioDevice::SetFormat(uint16_t bitsPerSample, uint16_t channels, uint32_t samplesPerSec) {
  if (!spool_) return Fail("the device is not open");
  if (busy_ || recordedBytes_ != 0) return Fail("the recording already holds sound");
  if ((bitsPerSample != 8 && bitsPerSample != 16) || channels < 1 || channels > 2 ||
      samplesPerSec < 1000 || samplesPerSec > 192000)
    return Fail("unsupported recording format");
  format_ = PcmFormat(samplesPerSec, channels, bitsPerSample);
  return true;
}

bool WaveAudioDevice::Record(uint64_t maxFrames) {
  if (!spool_) return Fail("the device is not open");
  Stop();
  std::string why;
  std::unique_ptr<CaptureStream> stream = backend_.OpenCapture(format_, &why);
  if (!stream) return Fail(why);
  const uint64_t limit = kMaxWavData / format_.nBlockAlign * format_.nBlockAlign;
  const uint64_t maxBytes =
      maxFrames >= limit / format_.nBlockAlign ? limit : maxFrames * format_.nBlockAlign;
  {
    std::lock_guard<std::mutex> guard(lock_);
    workerError_.clear();
  }
  stop_ = false;
  busy_ = true;
  worker_ = std::thread(&WaveAudioDevice::RecordLoop, this, std::move(stream), maxBytes);
  return true;
}

void WaveAudioDevice::RecordLoop(std::unique_ptr<CaptureStream> stream, uint64_t maxBytes) {
  const size_t fragment =
      std::max<size_t>(1, format_.nSamplesPerSec * kFragmentMs / 1000) * format_.nBlockAlign;
  std::vector<uint8_t> buffer(fragment);
  std::string error;
  while (!stop_) {
    const uint64_t held = recordedBytes_;
    if (held >= maxBytes) break;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(fragment, maxBytes - held));
    const int64_t got = stream->Read(buffer.data(), want);
    if (got < 0) {
      error = "the sound device stopped delivering sound";
      break;
    }
    if (got == 0) break;  // a finite source has ended
    if (fseeko(spool_, static_cast<off_t>(held), SEEK_SET) != 0 ||
        std::fwrite(buffer.data(), 1, static_cast<size_t>(got), spool_) !=
            static_cast<size_t>(got)) {
      error = "cannot keep the recording (disk full?)";
      break;
    }
    recordedBytes_ = held + static_cast<uint64_t>(got);
  }
  stream.reset();
  Finish(error);
}

bool WaveAudioDevice::Play() {
  if (!spool_) return Fail("the device is not open");
  Stop();
  std::string why;
  std::unique_ptr<PlaybackStream> stream = backend_.OpenPlayback(format_, &why);
  if (!stream) return Fail(why);
  {
    std::lock_guard<std::mutex> guard(lock_);
    workerError_.clear();
  }
  stop_ = false;
  busy_ = true;
  worker_ = std::thread(&WaveAudioDevice::PlayLoop, this, std::move(stream));
  return true;
}

void WaveAudioDevice::PlayLoop(std::unique_ptr<PlaybackStream> stream) {
  const size_t fragment =
      std::max<size_t>(1, format_.nSamplesPerSec * kFragmentMs / 1000) * format_.nBlockAlign;
  std::vector<uint8_t> buffer(fragment);
  std::string error;
  const uint64_t end = recordedBytes_;
  while (!stop_ && playPosition_ < end) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(fragment, end - playPosition_));
    if (fseeko(spool_, static_cast<off_t>(playPosition_), SEEK_SET) != 0 ||
        std::fread(buffer.data(), 1, want, spool_) != want) {
      error = "cannot read the recording back";
      break;
    }
    if (!stream->Write(buffer.data(), want)) {
      error = "the sound device stopped taking sound";
      break;
    }
    playPosition_ += want;
  }
  if (stop_)
    stream->Discard();
  else if (error.empty() && !stream->Drain())
    error = "the sound device stopped taking sound";
  stream.reset();
  Finish(error);
}

void WaveAudioDevice::Finish(const std::string& error) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!error.empty()) workerError_ = error;
  busy_ = false;
  idle_.notify_all();
}

std::string WaveAudioDevice::workerError() const {
  std::lock_guard<std::mutex> guard(lock_);
  return workerError_;
}

bool WaveAudioDevice::WaitUntilIdle(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock_);
  return idle_.wait_for(guard, timeout, [this] { return !busy_; });
}

void WaveAudioDevice::Stop() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  stop_ = false;
}

void WaveAudioDevice::SeekToStart() {
  Stop();
  playPosition_ = 0;
}

bool WaveAudioDevice::Save(const std::string& path) {
  if (!spool_) return Fail("the device is not open");
  Stop();
  WavWriter writer;
  if (!writer.Open(path, format_)) return Fail("cannot create " + path);
  std::vector<uint8_t> buffer(1 << 20);
  const uint64_t total = recordedBytes_;
  for (uint64_t at = 0; at < total;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), total - at));
    if (fseeko(spool_, static_cast<off_t>(at), SEEK_SET) != 0 ||
        std::fread(buffer.data(), 1, n, spool_) != n)
      return Fail("cannot read the recording back");
    if (!writer.Write(buffer.data(), n)) return Fail("cannot write " + path);
    at += n;
  }
  if (!writer.Close()) return Fail("cannot write " + path);
  return true;
}

void WaveAudioDevice::Close() {
  Stop();
  if (spool_) std::fclose(spool_);
  spool_ = nullptr;
  recordedBytes_ = 0;
  playPosition_ = 0;
}

}  // namespace quendrolix
