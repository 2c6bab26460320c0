// The desktop sound system, where this machine has one (skipped otherwise, as on CI).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/sound/sound_backend.h"
#include "platform/sound/wave_audio_device.h"
#include "platform/vfw/wav_file.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using namespace std::chrono_literals;

TEST(SystemSoundBackendTest, RecordsAndPlaysThroughTheDefaultDevices) {
  auto backend = MakeSystemSoundBackend();
  std::string why;
  if (!backend->OpenCapture(PcmFormat(44100, 2, 16), &why)) GTEST_SKIP() << why;

  WaveAudioDevice device(*backend);
  ASSERT_TRUE(device.Open());
  ASSERT_TRUE(device.SetFormat(16, 2, 44100));
  ASSERT_TRUE(device.Record(44100 / 4)) << device.error();
  ASSERT_TRUE(device.WaitUntilIdle(10s));
  EXPECT_EQ(device.recordedFrames(), 44100u / 4);
  EXPECT_EQ(device.workerError(), "");

  // Stopping an open-ended recording returns promptly and keeps whole frames.
  ASSERT_TRUE(device.Record());
  std::this_thread::sleep_for(300ms);
  const auto before = std::chrono::steady_clock::now();
  device.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
  EXPECT_GE(device.recordedFrames(), 44100u / 4);

  device.SeekToStart();
  ASSERT_TRUE(device.Play()) << device.error();
  EXPECT_TRUE(device.WaitUntilIdle(20s));
  EXPECT_EQ(device.workerError(), "");
}

}  // namespace
}  // namespace quendrolix
