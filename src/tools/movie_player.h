#pragma once

// The player behind "View Animation..." and every finished build, without a window: the
// pictures of a movie by index (AVI through the frame getter, MPG and MP4 through the
// library decoder, GIF through our GIF reader), its sound as PCM, what picture shows at
// what time, and the play / pause / seek state timed by the sound as it is heard (or by
// a wall clock when there is no sound or no device to play it).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/sound_backend.h"

namespace quendrolix {

// A picture as the screen takes it: rows top-down, 0xFFRRGGBB words.
struct PlayerPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// When each picture starts and how long the whole lasts, in seconds.
class PlaybackTimeline {
 public:
  PlaybackTimeline() = default;
  // `starts` ascending, the first 0; `duration` at least the last start.
  PlaybackTimeline(std::vector<double> starts, double duration);
  // Pictures at a constant rate.
  static PlaybackTimeline Uniform(int count, double framesPerSecond);

  int count() const { return static_cast<int>(starts_.size()); }
  double duration() const { return duration_; }
  double StartOf(int index) const { return starts_[index]; }
  // The picture showing at `seconds` (the first before 0, the last from its start on);
  // -1 when there are no pictures.
  int FrameAt(double seconds) const;

 private:
  std::vector<double> starts_;
  double duration_ = 0;
};

// The pictures of one movie file.
class MovieSource {
 public:
  // Picks the reader by content and name: RIFF AVI through the frame getter, GIF through
  // our reader, anything else (MPG, MP4) through the library decoder. Null with a reason
  // when the file cannot be read or holds no pictures.
  static std::unique_ptr<MovieSource> Open(const std::string& path, std::string* error);
  virtual ~MovieSource() = default;

  virtual int width() const = 0;
  virtual int height() const = 0;
  virtual const PlaybackTimeline& timeline() const = 0;
  // Picture `index` into `out`. False when it cannot be decoded (the caller keeps the
  // picture it had).
  virtual bool Picture(int index, PlayerPicture& out) = 0;
};

// A movie's sound, decoded whole: 16-bit interleaved PCM, one or two channels.
struct SoundTrack {
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> samples;
  int64_t frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
  double seconds() const { return rate ? static_cast<double>(frames()) / rate : 0; }
};

// The first sound of `path`; an empty track (rate 0) when it has none. `note` receives
// why a sound that is there cannot be played (damaged, too long to hold).
SoundTrack LoadSoundTrack(const std::string& path, std::string* note);

// Play, pause and seek over one movie. The position comes from the sound device (what
// has been written less what it still holds) while sound plays, and from `wallClock`
// otherwise; with no device the movie plays silently. Calls come from one thread (the
// window's); the sound is written by a worker of its own.
class MoviePlayer {
 public:
  enum class State { kStopped, kPlaying, kPaused, kEnded };
  using Clock = std::function<double()>;  // seconds, any origin, never going back

  // `backend` may be null (silent); it must outlive the player. A null clock is the
  // system's steady clock.
  MoviePlayer(std::unique_ptr<MovieSource> source, SoundTrack sound, SoundBackend* backend,
              Clock wallClock = nullptr);
  ~MoviePlayer();
  MoviePlayer(const MoviePlayer&) = delete;
  MoviePlayer& operator=(const MoviePlayer&) = delete;

  void Play();  // from the start after the end
  void Pause();
  void TogglePlay();
  // Moves to `seconds` (clamped to the movie), playing on if it was playing.
  void Seek(double seconds);

  // Where playback is now; reaching the end turns the state to kEnded.
  double Position();
  State state();
  double duration() const { return duration_; }
  // The picture to show now.
  int CurrentFrame() { return source_->timeline().FrameAt(Position()); }
  MovieSource& source() { return *source_; }
  bool hasSound() const { return sound_.frames() > 0; }
  // True while sound reaches a device; false for a movie without sound or a silent one.
  bool audible() const { return stream_ != nullptr; }
  // Why the movie plays silently although it has sound ("" otherwise).
  const std::string& soundNote() const { return soundNote_; }

 private:
  void StartSound();
  void StopSound();
  void SoundLoop();
  double SoundPosition() const;

  std::unique_ptr<MovieSource> source_;
  SoundTrack sound_;
  SoundBackend* backend_;
  Clock clock_;
  double duration_ = 0;
  State state_ = State::kStopped;
  double base_ = 0;       // the position when playing last started, or where it stopped
  double wallStart_ = 0;  // the clock when playing last started (silent playback)
  std::string soundNote_;
  bool soundFailed_ = false;

  std::unique_ptr<PlaybackStream> stream_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::atomic<int64_t> written_{0};  // sample frames written since the sound started
  std::atomic<bool> soundDone_{false};
  std::atomic<bool> soundLost_{false};  // the device failed: the wall clock takes over
  std::atomic<double> latencySeconds_{0};
  double soundDoneWall_ = 0;
  int64_t startFrame_ = 0;  // the sound's frame where writing started
};

}  // namespace quendrolix
