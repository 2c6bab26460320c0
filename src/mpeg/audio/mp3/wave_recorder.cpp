#include "mpeg/audio/mp3/wave_recorder.h"

namespace quendrolix {

WaveRecorder::WaveRecorder(SoundBackend& backend) : device_(backend) {}

WaveRecorder::~WaveRecorder() {
  CloseSound();
}

bool WaveRecorder::StartRecording(uint64_t maxFrames) {
  CloseSound();
  lastError_.clear();
  bool ok = device_.Open() && device_.SetFormat(kBitsPerSample, kChannels, kSamplesPerSec) &&
            device_.Record(maxFrames);
  if (!ok) {
    lastError_ = device_.error();
    device_.Close();
    return false;
  }
  recordingOpen_ = true;
  canPlay_ = true;
  return true;
}

void WaveRecorder::StopSound() {
  if (device_.isOpen()) device_.Stop();
}

bool WaveRecorder::PlayBack() {
  if (!canPlay_ || !device_.isOpen()) return false;
  device_.Stop();
  device_.SeekToStart();
  if (!device_.Play()) {
    lastError_ = device_.error();
    return false;
  }
  return true;
}

bool WaveRecorder::SaveRecording(const std::string& path) {
  if (!device_.isOpen()) {
    lastError_ = "nothing has been recorded";
    return false;
  }
  device_.Stop();
  if (!device_.Save(path)) {
    lastError_ = device_.error();
    return false;
  }
  return true;
}

void WaveRecorder::CloseSound() {
  device_.Stop();
  device_.Close();
  recordingOpen_ = false;
  canPlay_ = false;
}

}  // namespace quendrolix
