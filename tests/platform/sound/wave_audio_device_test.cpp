#include "platform/sound/wave_audio_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/vfw/wav_file.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using namespace std::chrono_literals;
using testing::TempDir;
using testing::WritePcmWav;

std::vector<uint8_t> DataOf(const std::string& path, WAVEFORMATEX* format = nullptr) {
  auto wav = WavFile::Open(path);
  if (!wav) return {};
  if (format) *format = wav->format();
  std::vector<uint8_t> data(wav->dataBytes());
  wav->Read(0, wav->lengthInBlocks(), data.data(), data.size());
  return data;
}

// A capture device that never runs dry: a counting pattern, a fragment every few ms.
class EndlessBackend : public SoundBackend {
 public:
  class Stream : public CaptureStream {
   public:
    explicit Stream(std::atomic<uint16_t>& next) : next_(next) {}
    int64_t Read(void* buffer, size_t bytes) override {
      std::this_thread::sleep_for(2ms);
      auto* s = static_cast<uint16_t*>(buffer);
      for (size_t i = 0; i < bytes / 2; ++i) s[i] = next_++;
      return static_cast<int64_t>(bytes);
    }
    std::atomic<uint16_t>& next_;
  };
  std::unique_ptr<CaptureStream> OpenCapture(const WAVEFORMATEX&, std::string*) override {
    return std::make_unique<Stream>(next);
  }
  std::unique_ptr<PlaybackStream> OpenPlayback(const WAVEFORMATEX&, std::string* error) override {
    *error = "no speakers";
    return nullptr;
  }
  std::atomic<uint16_t> next{0};
};

TEST(WaveAudioDeviceTest, RecordsPlaysAndSavesTheFileBackendsSoundExactly) {
  TempDir dir;
  auto source = WritePcmWav(dir.File("in.wav"), 44100, 2, 16, 30000);
  auto backend = MakeFileSoundBackend(dir.File("in.wav"), dir.File("speaker.wav"));
  WaveAudioDevice device(*backend);
  ASSERT_TRUE(device.Open());
  ASSERT_TRUE(device.SetFormat(16, 2, 44100));
  ASSERT_TRUE(device.Record());
  ASSERT_TRUE(device.WaitUntilIdle(10s));  // the file has ended
  device.Stop();
  EXPECT_EQ(device.recordedFrames(), 30000u);
  EXPECT_EQ(device.workerError(), "");

  device.SeekToStart();
  ASSERT_TRUE(device.Play());
  ASSERT_TRUE(device.WaitUntilIdle(10s));
  EXPECT_EQ(DataOf(dir.File("speaker.wav")), source);

  ASSERT_TRUE(device.Save(dir.File("saved.wav")));
  WAVEFORMATEX format{};
  EXPECT_EQ(DataOf(dir.File("saved.wav"), &format), source);
  EXPECT_EQ(format.nSamplesPerSec, 44100u);
  EXPECT_EQ(format.nChannels, 2);
  EXPECT_EQ(format.wBitsPerSample, 16);
}

TEST(WaveAudioDeviceTest, FrameLimitAndAppendingRecordings) {
  TempDir dir;
  auto source = WritePcmWav(dir.File("in.wav"), 44100, 2, 16, 5000);
  auto backend = MakeFileSoundBackend(dir.File("in.wav"), {});
  WaveAudioDevice device(*backend);
  ASSERT_TRUE(device.Open());
  ASSERT_TRUE(device.SetFormat(16, 2, 44100));
  ASSERT_TRUE(device.Record(1234));
  ASSERT_TRUE(device.WaitUntilIdle(10s));
  EXPECT_EQ(device.recordedFrames(), 1234u);
  EXPECT_FALSE(device.SetFormat(8, 1, 11025));  // sound is held already
  // Recording again goes on at the end of what is held.
  ASSERT_TRUE(device.Record(1300));
  ASSERT_TRUE(device.WaitUntilIdle(10s));
  ASSERT_TRUE(device.Save(dir.File("two.wav")));
  auto saved = DataOf(dir.File("two.wav"));
  ASSERT_EQ(saved.size(), 1300u * 4);
  EXPECT_TRUE(std::equal(saved.begin(), saved.begin() + 1234 * 4, source.begin()));
  EXPECT_TRUE(std::equal(saved.begin() + 1234 * 4, saved.end(), source.begin()));
  // Playing into nowhere is refused with a reason.
  EXPECT_FALSE(device.Play());
  EXPECT_FALSE(device.error().empty());
}

TEST(WaveAudioDeviceTest, FileBackendWidensMonoEightBitToTheRecordingFormat) {
  TempDir dir;
  auto source = WritePcmWav(dir.File("in.wav"), 44100, 1, 8, 700);
  auto backend = MakeFileSoundBackend(dir.File("in.wav"), {});
  WaveAudioDevice device(*backend);
  ASSERT_TRUE(device.Open());
  ASSERT_TRUE(device.SetFormat(16, 2, 44100));
  ASSERT_TRUE(device.Record());
  ASSERT_TRUE(device.WaitUntilIdle(10s));
  ASSERT_TRUE(device.Save(dir.File("out.wav")));
  auto saved = DataOf(dir.File("out.wav"));
  ASSERT_EQ(saved.size(), 700u * 4);
  for (size_t i = 0; i < 700; ++i) {
    const int16_t want = static_cast<int16_t>((source[i] - 128) * 256);
    const int16_t left = static_cast<int16_t>(saved[i * 4] | saved[i * 4 + 1] << 8);
    const int16_t right = static_cast<int16_t>(saved[i * 4 + 2] | saved[i * 4 + 3] << 8);
    ASSERT_EQ(left, want) << i;
    ASSERT_EQ(right, want) << i;
  }
}

TEST(WaveAudioDeviceTest, FileBackendRefusesWhatItCannotDeliver) {
  TempDir dir;
  WritePcmWav(dir.File("22k.wav"), 22050, 2, 16, 100);
  auto backend = MakeFileSoundBackend(dir.File("22k.wav"), {});
  WaveAudioDevice d(*backend);
  ASSERT_TRUE(d.Open());
  ASSERT_TRUE(d.SetFormat(16, 2, 44100));
  EXPECT_FALSE(d.Record());
  EXPECT_NE(d.error().find("22050 Hz"), std::string::npos) << d.error();
  auto missing = MakeFileSoundBackend(dir.File("nothing.wav"), {});
  WaveAudioDevice m(*missing);
  ASSERT_TRUE(m.Open());
  EXPECT_FALSE(m.Record());
  EXPECT_FALSE(m.error().empty());
  WaveAudioDevice closed(*missing);
  EXPECT_FALSE(closed.Record());
  EXPECT_FALSE(closed.Save(dir.File("x.wav")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));
}

TEST(WaveAudioDeviceTest, RecordsUntilStoppedAndKeepsEverySampleInOrder) {
  TempDir dir;
  EndlessBackend backend;
  WaveAudioDevice device(backend);
  ASSERT_TRUE(device.Open());
  ASSERT_TRUE(device.SetFormat(16, 2, 44100));
  ASSERT_TRUE(device.Record());
  EXPECT_FALSE(device.WaitUntilIdle(60ms));  // still recording
  EXPECT_TRUE(device.busy());
  device.Stop();
  EXPECT_FALSE(device.busy());
  const uint64_t frames = device.recordedFrames();
  EXPECT_GT(frames, 0u);
  ASSERT_TRUE(device.Save(dir.File("endless.wav")));
  auto saved = DataOf(dir.File("endless.wav"));
  ASSERT_EQ(saved.size(), frames * 4);
  for (size_t i = 0; i < saved.size() / 2; ++i)
    ASSERT_EQ(static_cast<uint16_t>(saved[2 * i] | saved[2 * i + 1] << 8),
              static_cast<uint16_t>(i));
}

}  // namespace
}  // namespace quendrolix
