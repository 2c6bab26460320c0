#include "mpeg/audio/mp3/wave_recorder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "mpeg/audio/mp3/mp3_commands.h"
#include "mpeg/audio/mp3/wave_recorder_dialog.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/wav_file.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace recorder_dialog;
using testing::TempDir;
using testing::WritePcmWav;

std::vector<uint8_t> DataOf(const std::string& path) {
  auto wav = WavFile::Open(path);
  if (!wav) return {};
  std::vector<uint8_t> data(wav->dataBytes());
  wav->Read(0, wav->lengthInBlocks(), data.data(), data.size());
  return data;
}

class FakeTimers : public RecorderTimers {
 public:
  void SetTimer(int id, unsigned ms) override { running[id] = ms; }
  void KillTimer(int id) override { running.erase(id); }
  std::map<int, unsigned> running;
};

// A recorder over the file backend, its dialog with scripted timers and clock, and a log.
class RecorderDialogTest : public ::testing::Test {
 protected:
  RecorderDialogTest()
      : source_(WritePcmWav(dir_.File("mic.wav"), 44100, 2, 16, 20000)),
        backend_(MakeFileSoundBackend(dir_.File("mic.wav"), dir_.File("speaker.wav"))),
        recorder_(*backend_),
        dialog_(recorder_, timers_, [this] { return now_; }),
        logScope_(log_),
        promptScope_(prompts_) {
    dialog_.onChanged = [this] { ++changes_; };
  }

  // Record click, then the start timer firing; waits until the file source has ended.
  void Record() {
    dialog_.OnRecord();
    ASSERT_EQ(timers_.running.count(kStartTimer), 1u);
    dialog_.OnTimer(kStartTimer);
    ASSERT_TRUE(recorder_.device().WaitUntilIdle(10s));
  }

  TempDir dir_;
  std::vector<uint8_t> source_;
  std::unique_ptr<SoundBackend> backend_;
  WaveRecorder recorder_;
  FakeTimers timers_;
  uint64_t now_ = 5000;
  WaveRecorderDialog dialog_;
  RecordingConversionLog log_;
  ScopedConversionLog logScope_;
  RecordingPrompts prompts_;
  ScopedPrompts promptScope_;
  int changes_ = 0;
};

TEST(RecorderElapsedTextTest, HoursMinutesSeconds) {
  EXPECT_EQ(RecorderElapsedText(0), "0 hrs 0 min 0 sec");
  EXPECT_EQ(RecorderElapsedText(3725000), "1 hrs 2 min 5 sec");
  EXPECT_EQ(RecorderElapsedText(3599999), "0 hrs 59 min 59 sec");
  EXPECT_EQ(RecorderElapsedText(90061000), "25 hrs 1 min 1 sec");
}

TEST_F(RecorderDialogTest, RecordingRunsTheClockAndEnablesPlayAndSave) {
  EXPECT_EQ(dialog_.elapsedText(), "0 hrs 0 min 0 sec");
  EXPECT_FALSE(dialog_.playEnabled());
  EXPECT_FALSE(dialog_.saveEnabled());
  dialog_.OnRecord();
  EXPECT_EQ(timers_.running, (std::map<int, unsigned>{{kStartTimer, 1}}));
  EXPECT_FALSE(recorder_.deviceOpen());  // not before the click has returned
  dialog_.OnTimer(kStartTimer);
  EXPECT_EQ(timers_.running, (std::map<int, unsigned>{{kElapsedTimer, 330}}));
  EXPECT_TRUE(dialog_.recording());
  EXPECT_TRUE(dialog_.playEnabled());
  EXPECT_TRUE(dialog_.saveEnabled());
  EXPECT_TRUE(recorder_.deviceOpen());

  const int before = changes_;
  now_ += 999;
  dialog_.OnTimer(kElapsedTimer);  // the first second shows nothing new
  EXPECT_EQ(dialog_.elapsedText(), "0 hrs 0 min 0 sec");
  EXPECT_EQ(changes_, before);
  now_ += 3725000 - 999;
  dialog_.OnTimer(kElapsedTimer);
  EXPECT_EQ(dialog_.elapsedText(), "1 hrs 2 min 5 sec");
  EXPECT_GT(changes_, before);

  dialog_.OnStop();
  EXPECT_FALSE(dialog_.recording());
  EXPECT_TRUE(timers_.running.empty());
  EXPECT_EQ(dialog_.elapsedText(), "1 hrs 2 min 5 sec");
  EXPECT_TRUE(dialog_.playEnabled());  // stopped with a recording: can play or save
  EXPECT_TRUE(recorder_.deviceOpen());

  // Record again from the stopped state: the clock starts over.
  dialog_.OnRecord();
  dialog_.OnTimer(kStartTimer);
  EXPECT_EQ(dialog_.elapsedText(), "0 hrs 0 min 0 sec");
  dialog_.OnClose();
  EXPECT_TRUE(timers_.running.empty());
  EXPECT_FALSE(recorder_.deviceOpen());
}

TEST_F(RecorderDialogTest, RecordStopPlaySaveGiveTheRecordedSamplesBack) {
  Record();
  dialog_.OnStop();
  dialog_.OnPlay();
  ASSERT_TRUE(recorder_.device().WaitUntilIdle(10s));
  EXPECT_EQ(DataOf(dir_.File("speaker.wav")), source_);
  EXPECT_EQ(dialog_.OnSave(dir_.File("take.wav")), RecorderSaveResult::kWavSaved);
  EXPECT_EQ(DataOf(dir_.File("take.wav")), source_);
  // Saving as WAV keeps the recording: it can be played and saved again.
  EXPECT_TRUE(dialog_.playEnabled());
  EXPECT_TRUE(recorder_.canPlay());
  EXPECT_EQ(dialog_.OnSave(dir_.File("again.WAV")), RecorderSaveResult::kWavSaved);
  EXPECT_EQ(DataOf(dir_.File("again.WAV")), source_);

  // Record from any state starts a new recording rather than adding to the old one.
  Record();
  EXPECT_EQ(dialog_.OnSave(dir_.File("fresh.wav")), RecorderSaveResult::kWavSaved);
  EXPECT_EQ(DataOf(dir_.File("fresh.wav")), source_);
  EXPECT_FALSE(dialog_.recording());  // saving ended the recording's clock
  EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(RecorderDialogTest, UnsupportedNameShowsString149AndSavesNothing) {
  Record();
  EXPECT_EQ(dialog_.OnSave(dir_.File("take.ogg")), RecorderSaveResult::kUnsupported);
  EXPECT_EQ(prompts_.messages, std::vector<std::string>{"The specified format it not supported."});
  EXPECT_FALSE(fs::exists(dir_.File("take.ogg")));
  EXPECT_TRUE(recorder_.deviceOpen());  // the recording is still there to save
  EXPECT_EQ(dialog_.OnSave(dir_.File("take")), RecorderSaveResult::kUnsupported);
  EXPECT_EQ(prompts_.messages.size(), 2u);
}

TEST_F(RecorderDialogTest, SavingAsCapitalMp3GoesThroughATemporaryWavAndReturnsToIdle) {
  Record();
  const std::string mp3 = dir_.File("Take.MP3");
  EXPECT_EQ(dialog_.OnSave(mp3), RecorderSaveResult::kMp3Saved);
  // The conversion read "Take.wav", which is gone again.
  EXPECT_EQ(log_.lines, (std::vector<std::string>{"Starting Mp3 engine...", "Take.wav",
                                                  "Save of " + mp3 + " completed"}));
  EXPECT_FALSE(fs::exists(dir_.File("Take.wav")));
  auto summary = testing::ScanMp3(testing::ReadBytes(mp3));
  EXPECT_TRUE(summary.valid);
  EXPECT_EQ(summary.channels, 2);
  EXPECT_GE(summary.samplesPerChannel, 20000u);
  // Only the microphone's file and the MP3 remain.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 2);
  // Idle: the recording was discarded, Play and Save are off.
  EXPECT_FALSE(recorder_.deviceOpen());
  EXPECT_FALSE(dialog_.playEnabled());
  EXPECT_FALSE(dialog_.saveEnabled());
  EXPECT_FALSE(recorder_.PlayBack());
}

TEST_F(RecorderDialogTest, Mp3SaveLeavesAUsersWavOfTheSameNameAlone) {
  testing::WriteText(dir_.File("song.wav"), "the user's own file");
  Record();
  EXPECT_EQ(dialog_.OnSave(dir_.File("song.mp3")), RecorderSaveResult::kMp3Saved);
  EXPECT_EQ(testing::ReadText(dir_.File("song.wav")), "the user's own file");
  EXPECT_TRUE(fs::exists(dir_.File("song.mp3")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 3);
}

TEST_F(RecorderDialogTest, Mp3SaveWithNothingRecordedFailsBecauseTheWavIsMissing) {
  EXPECT_EQ(dialog_.OnSave(dir_.File("empty.mp3")), RecorderSaveResult::kMp3Failed);
  EXPECT_EQ(log_.lines.back(), StringPrintf("Saving failed (%d)", ENOENT));
  EXPECT_FALSE(fs::exists(dir_.File("empty.mp3")));
  EXPECT_EQ(dialog_.OnSave(dir_.File("empty.wav")), RecorderSaveResult::kWavFailed);
  EXPECT_FALSE(fs::exists(dir_.File("empty.wav")));
  EXPECT_EQ(prompts_.messages.size(), 1u);
}

TEST_F(RecorderDialogTest, ADeviceThatCannotRecordIsReportedAndStaysIdle) {
  auto none = MakeFileSoundBackend({}, {});
  WaveRecorder recorder(*none);
  WaveRecorderDialog dialog(recorder, timers_, [this] { return now_; });
  dialog.OnRecord();
  dialog.OnTimer(kStartTimer);
  EXPECT_FALSE(recorder.deviceOpen());
  EXPECT_FALSE(dialog.recording());
  EXPECT_FALSE(dialog.playEnabled());
  EXPECT_TRUE(timers_.running.empty());
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].rfind("The recording could not be started: ", 0), 0u);
  EXPECT_FALSE(recorder.PlayBack());
}

TEST_F(RecorderDialogTest, PlayingWhileRecordingEndsTheRecording) {
  dialog_.OnRecord();
  dialog_.OnTimer(kStartTimer);
  dialog_.OnPlay();
  EXPECT_FALSE(dialog_.recording());
  EXPECT_EQ(timers_.running.count(kElapsedTimer), 0u);
  ASSERT_TRUE(recorder_.device().WaitUntilIdle(10s));
  EXPECT_EQ(DataOf(dir_.File("speaker.wav")).size() % 4, 0u);
}

}  // namespace
}  // namespace quendrolix
