// The player without a window: which picture shows when, play / pause / seek / end, the
// sound clock against the wall clock, silent playback without a device, and files that
// are not movies.
#include "tools/movie_player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::TempDir;
using testing::WriteText;

TEST(PlaybackTimelineTest, FrameAtFollowsEachPicturesStart) {
  PlaybackTimeline uniform = PlaybackTimeline::Uniform(4, 10);
  EXPECT_EQ(uniform.count(), 4);
  EXPECT_DOUBLE_EQ(uniform.duration(), 0.4);
  EXPECT_EQ(uniform.FrameAt(-1), 0);
  EXPECT_EQ(uniform.FrameAt(0), 0);
  EXPECT_EQ(uniform.FrameAt(0.0999), 0);
  EXPECT_EQ(uniform.FrameAt(0.1), 1);
  EXPECT_EQ(uniform.FrameAt(0.35), 3);
  EXPECT_EQ(uniform.FrameAt(99), 3);

  // GIF-like delays: 0.5 s, then 0.1 s, then 1 s.
  PlaybackTimeline varying({0, 0.5, 0.6}, 1.6);
  EXPECT_EQ(varying.FrameAt(0.49), 0);
  EXPECT_EQ(varying.FrameAt(0.55), 1);
  EXPECT_EQ(varying.FrameAt(1.5), 2);
  EXPECT_DOUBLE_EQ(varying.duration(), 1.6);

  EXPECT_EQ(PlaybackTimeline().FrameAt(0), -1);
  EXPECT_EQ(PlaybackTimeline::Uniform(3, 0).count(), 0);
}

// Pictures whose every pixel is their index.
class CountingSource : public MovieSource {
 public:
  CountingSource(int count, double fps) : timeline_(PlaybackTimeline::Uniform(count, fps)) {}
  int width() const override { return 2; }
  int height() const override { return 2; }
  const PlaybackTimeline& timeline() const override { return timeline_; }
  bool Picture(int index, PlayerPicture& out) override {
    out.width = out.height = 2;
    out.pixels.assign(4, static_cast<uint32_t>(index));
    return true;
  }

 private:
  PlaybackTimeline timeline_;
};

struct FakeClock {
  double now = 100;
  MoviePlayer::Clock clock() {
    return [this] { return now; };
  }
};

TEST(MoviePlayerTest, SilentPlaybackFollowsTheWallClock) {
  FakeClock wall;
  MoviePlayer player(std::make_unique<CountingSource>(10, 10), {}, nullptr, wall.clock());
  EXPECT_EQ(player.state(), MoviePlayer::State::kStopped);
  EXPECT_DOUBLE_EQ(player.duration(), 1.0);
  player.Play();
  EXPECT_EQ(player.CurrentFrame(), 0);
  wall.now += 0.35;
  EXPECT_NEAR(player.Position(), 0.35, 1e-9);
  EXPECT_EQ(player.CurrentFrame(), 3);

  // Paused, time passes and the picture stays.
  player.Pause();
  EXPECT_EQ(player.state(), MoviePlayer::State::kPaused);
  wall.now += 5;
  EXPECT_EQ(player.CurrentFrame(), 3);
  player.Play();
  wall.now += 0.2;
  EXPECT_EQ(player.CurrentFrame(), 5);

  // Seeking while playing plays on from there; past the end is the end.
  player.Seek(0.8);
  EXPECT_EQ(player.state(), MoviePlayer::State::kPlaying);
  EXPECT_EQ(player.CurrentFrame(), 8);
  wall.now += 0.5;
  EXPECT_EQ(player.state(), MoviePlayer::State::kEnded);
  EXPECT_DOUBLE_EQ(player.Position(), 1.0);
  EXPECT_EQ(player.CurrentFrame(), 9);

  // After the end: seeking shows a picture without playing; Play starts over.
  player.Seek(0.25);
  EXPECT_EQ(player.state(), MoviePlayer::State::kPaused);
  EXPECT_EQ(player.CurrentFrame(), 2);
  player.Seek(-3);
  EXPECT_DOUBLE_EQ(player.Position(), 0);
  player.Seek(9);
  EXPECT_DOUBLE_EQ(player.Position(), 1.0);
  player.Play();  // from the end: plays what is left, nothing, and ends
  EXPECT_EQ(player.state(), MoviePlayer::State::kEnded);
  player.Play();  // and from the start again
  EXPECT_EQ(player.state(), MoviePlayer::State::kPlaying);
  EXPECT_EQ(player.CurrentFrame(), 0);
}

// A device that takes sound only as the test lets it, reports a fixed latency and keeps
// everything it was given.
class GatedBackend : public SoundBackend {
 public:
  struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    int64_t allowedBytes = 0;
    std::vector<uint8_t> played;
    int opens = 0;
    bool refuse = false;
    std::atomic<double> latency{0.1};
  };
  class Stream : public PlaybackStream {
   public:
    explicit Stream(Shared& s) : s_(s) {}
    bool Write(const void* data, size_t bytes) override {
      std::unique_lock<std::mutex> hold(s_.lock);
      // Waits a while for room; a test that stops the player releases it.
      if (!s_.changed.wait_for(hold, std::chrono::seconds(1), [&] {
            return static_cast<int64_t>(s_.played.size() + bytes) <= s_.allowedBytes;
          }))
        return false;
      auto* p = static_cast<const uint8_t*>(data);
      s_.played.insert(s_.played.end(), p, p + bytes);
      return true;
    }
    bool Drain() override { return true; }
    double LatencySeconds() override { return s_.latency; }

   private:
    Shared& s_;
  };
  std::unique_ptr<CaptureStream> OpenCapture(const WAVEFORMATEX&, std::string* error) override {
    *error = "no";
    return nullptr;
  }
  std::unique_ptr<PlaybackStream> OpenPlayback(const WAVEFORMATEX& format,
                                               std::string* error) override {
    std::lock_guard<std::mutex> hold(shared.lock);
    ++shared.opens;
    format_ = format;
    if (shared.refuse) {
      *error = "the sound system is not available: Connection refused";
      return nullptr;
    }
    return std::make_unique<Stream>(shared);
  }
  void Allow(int64_t bytes) {
    {
      std::lock_guard<std::mutex> hold(shared.lock);
      shared.allowedBytes = bytes;
    }
    shared.changed.notify_all();
  }
  size_t Played() {
    std::lock_guard<std::mutex> hold(shared.lock);
    return shared.played.size();
  }
  bool WaitForPlayed(size_t bytes) {
    for (int i = 0; i < 500 && Played() < bytes; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Played() >= bytes;
  }
  Shared shared;
  WAVEFORMATEX format_{};
};

// One second of stereo 8 kHz sound whose every sample frame holds its own number.
SoundTrack NumberedSound() {
  SoundTrack sound;
  sound.rate = 8000;
  sound.channels = 2;
  for (int i = 0; i < 8000; ++i) {
    sound.samples.push_back(static_cast<int16_t>(i));
    sound.samples.push_back(static_cast<int16_t>(-i));
  }
  return sound;
}

TEST(MoviePlayerTest, PicturesFollowTheSoundAsItIsHeard) {
  FakeClock wall;
  GatedBackend device;
  {
    MoviePlayer player(std::make_unique<CountingSource>(10, 10), NumberedSound(), &device,
                       wall.clock());
    player.Play();
    ASSERT_TRUE(player.audible());
    EXPECT_EQ(device.format_.nSamplesPerSec, 8000u);
    EXPECT_EQ(device.format_.nChannels, 2);
    EXPECT_EQ(device.format_.wBitsPerSample, 16);
    // Half a second written, 0.1 s of it still in the device: 0.4 s heard, whatever the
    // wall clock says.
    device.Allow(4000 * 4);
    ASSERT_TRUE(device.WaitForPlayed(4000 * 4));
    wall.now += 3;
    EXPECT_NEAR(player.Position(), 0.4, 1e-9);
    EXPECT_EQ(player.CurrentFrame(), 4);
    // A device that takes sound faster than it plays never hurries the pictures.
    wall.now -= 2.8;
    EXPECT_NEAR(player.Position(), 0.2, 1e-9);
    wall.now += 2.8;

    // Pause, then a seek: the sound goes on from the new place.
    player.Pause();
    EXPECT_NEAR(player.Position(), 0.4, 1e-9);
    player.Seek(0.75);
    device.Allow(device.Played() + 1000 * 4);
    player.Play();
    ASSERT_TRUE(device.WaitForPlayed(4000 * 4 + 160 * 4));  // a piece of 20 ms at least
    std::lock_guard<std::mutex> hold(device.shared.lock);
    const int16_t* resumed = reinterpret_cast<const int16_t*>(device.shared.played.data()) + 8000;
    EXPECT_EQ(resumed[0], 6000);
    EXPECT_EQ(resumed[1], -6000);
  }
  // The first half second went out sample for sample.
  const int16_t* first = reinterpret_cast<const int16_t*>(device.shared.played.data());
  for (int i = 0; i < 4000; ++i) ASSERT_EQ(first[2 * i], i);
  device.Allow(1 << 30);
}

TEST(MoviePlayerTest, AfterTheSoundThePicturesGoOnByTheWallClock) {
  FakeClock wall;
  GatedBackend device;
  device.Allow(1 << 30);
  // Two seconds of pictures, one of sound.
  MoviePlayer player(std::make_unique<CountingSource>(20, 10), NumberedSound(), &device,
                     wall.clock());
  EXPECT_DOUBLE_EQ(player.duration(), 2.0);
  player.Play();
  ASSERT_TRUE(device.WaitForPlayed(8000 * 4));
  // All written, a tenth of a second still in the device; then it plays out.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  wall.now += 5;
  EXPECT_NEAR(player.Position(), 0.9, 1e-9);
  wall.now -= 5;
  device.shared.latency = 0;
  for (int i = 0; i < 500 && player.Position() < 1.0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  // The moment the end of the sound was noticed is where the wall clock takes over.
  const double at = player.Position();
  EXPECT_DOUBLE_EQ(at, 1.0);
  wall.now += 0.5;
  EXPECT_NEAR(player.Position(), at + 0.5, 1e-9);
  wall.now += 1;
  EXPECT_EQ(player.state(), MoviePlayer::State::kEnded);
}

TEST(MoviePlayerTest, WithoutADeviceTheMoviePlaysSilently) {
  FakeClock wall;
  GatedBackend device;
  device.shared.refuse = true;
  MoviePlayer player(std::make_unique<CountingSource>(10, 10), NumberedSound(), &device,
                     wall.clock());
  player.Play();
  EXPECT_FALSE(player.audible());
  EXPECT_TRUE(player.hasSound());
  EXPECT_NE(player.soundNote().find("not available"), std::string::npos);
  wall.now += 0.55;
  EXPECT_EQ(player.CurrentFrame(), 5);
  // The device is not asked again on every play.
  player.Pause();
  player.Play();
  EXPECT_EQ(device.shared.opens, 1);

  // The program's own system backend with no server to reach: silent, never a crash.
  std::unique_ptr<SoundBackend> system = MakeSystemSoundBackend();
  MoviePlayer quiet(std::make_unique<CountingSource>(10, 10), NumberedSound(), system.get(),
                    wall.clock());
  quiet.Play();
  wall.now += 0.2;
  EXPECT_EQ(quiet.state(), MoviePlayer::State::kPlaying);
  EXPECT_GE(quiet.Position(), 0.0);
}

TEST(MovieSourceTest, WhatIsNotAMovieIsRefusedWithAReason) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty.avi", ""},
      {"text.mpg", "this is not a movie at all, only some words"},
      {"cut.avi", std::string("RIFF\x40\0\0\0AVI LIST", 16)},
      {"cut.gif", "GIF89a\x10\0\x10\0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteText(dir.File(c.name), c.bytes);
    std::string why;
    EXPECT_EQ(MovieSource::Open(dir.File(c.name), &why), nullptr);
    EXPECT_FALSE(why.empty());
    std::string note;
    EXPECT_EQ(LoadSoundTrack(dir.File(c.name), &note).frames(), 0);
  }
  std::string why;
  EXPECT_EQ(MovieSource::Open(dir.File("missing.avi"), &why), nullptr);
  EXPECT_EQ(why, "cannot open the file");
}

}  // namespace
}  // namespace quendrolix
