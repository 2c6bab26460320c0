// The AVI and image-list roads with the real services behind them: AVI files written
// through our AVI services become system streams with their sound, or video-only streams
// when the sound is refused, and nothing temporary is left behind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "mpeg/audio/sound_stream.h"
#include "mpeg/video/engine_memory.h"
#include "mpeg/video/engine_services.h"
#include "mpeg/video/engine_settings.h"
#include "mpeg/video/mpeg_converter.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"
#include "support/mpeg_audio_fixtures.h"
#include "support/mpeg_system_fixtures.h"
#include "support/mpeg_video_fixtures.h"
#include "support/mpeg_wire_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::AviSoundSpec;
using testing::AviSpec;
using testing::TempDir;

// Points the system's temporary folder at an empty folder of the test's own, and works in
// another empty folder, so that anything a run leaves behind is seen.
class Workplace {
 public:
  Workplace() : cwd_(fs::current_path()) {
    const char* old = std::getenv("TMPDIR");
    hadTmp_ = old != nullptr;
    if (old) oldTmp_ = old;
    fs::create_directory(tmp());
    fs::create_directory(work());
    setenv("TMPDIR", tmp().c_str(), 1);
    fs::current_path(work());
  }
  ~Workplace() {
    fs::current_path(cwd_);
    if (hadTmp_)
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  fs::path tmp() const { return dir_.path() / "tmp"; }
  fs::path work() const { return dir_.path() / "work"; }
  std::string File(const std::string& name) const { return dir_.File(name); }
  // Whatever is left in the temporary folder and the working folder.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> left;
    for (const fs::path& folder : {tmp(), work()})
      for (const auto& entry : fs::recursive_directory_iterator(folder))
        left.push_back(entry.path().string());
    return left;
  }

 private:
  TempDir dir_;
  fs::path cwd_;
  bool hadTmp_ = false;
  std::string oldTmp_;
};

AviSpec SmallAvi(uint32_t rate, AviSoundSpec sound) {
  AviSpec spec;
  spec.frames = 8;
  spec.rate = rate;
  spec.sound = sound;
  return spec;
}

AviSoundSpec Sound(uint32_t rate, uint16_t channels, uint16_t bits, double seconds = 0.4,
                   uint16_t tag = 1) {
  return AviSoundSpec{tag, rate, channels, bits, seconds};
}

struct AviRun {
  RecordingConversionLog log;
  RecordingPrompts prompts;
  bool ok = false;
  void Convert(const std::string& in, const std::string& out, int layer = 0, int audioRate = 0,
               unsigned selection = 0) {
    ScopedConversionLog logScope(log);
    ScopedPrompts promptScope(prompts);
    ScopedMpegEngineServices real{MpegEngineServices{}};
    ok = ConvertAviToMpg(in, out, layer, 0, audioRate, selection, 0, 0);
  }
};

// The packets of each stream in a system stream, or an error.
struct SystemStreamContent {
  testing::ParsedStream video;
  std::vector<testing::Mp2Frame> audio;
  std::string error;
};

SystemStreamContent ReadSystemStream(const std::string& path) {
  SystemStreamContent content;
  auto parsed = testing::ParseSystemStream(testing::ReadBytes(path));
  if (!parsed.error.empty() || !parsed.endCode) {
    content.error = "system stream: " + parsed.error;
    return content;
  }
  content.video = testing::ParseVideoStream(parsed.Payload(0xE0), false);
  if (!content.video.error.empty()) content.error = "video: " + content.video.error;
  std::string audioError;
  if (!testing::ParseMp2(parsed.Payload(0xC0), content.audio, &audioError))
    content.error += "audio: " + audioError;
  return content;
}

TEST(AviToMpgWireTest, AviWithSoundBecomesASystemStreamReportingEveryStep) {
  Workplace place;
  const std::string in = place.File("clip.avi"), out = place.File("clip.mpg");
  // 8 frames at 10 frames/s (tripled to 30), 0.8 s of 8-bit mono sound at 11.025 kHz.
  ASSERT_EQ(WriteAviWithSound(in, SmallAvi(10, Sound(11025, 1, 8, 0.8))), AVIERR_OK);
  AviRun run;
  run.Convert(in, out);
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(
      run.log.lines,
      (std::vector<std::string>{
          "Converting " + in + " to " + out + "...", "Video size: 64x48 at 10.00 FPS", "BPP: 24",
          "Number of frames: 8 (0 seconds)", "Audio sampling rate: 11.025KHz (8 bits per sample)",
          "Compressing video...", "Bit-rate: 1064960", "Frame rate: 10 FPS",
          "Frame rate with replication: 30 FPS", "Total number of frames: 24", "Video completed",
          "Audio bit-rate: 131072", "Audio completed", "Multiplexing...", "MPG completed!"}));
  SystemStreamContent content = ReadSystemStream(out);
  ASSERT_EQ(content.error, "");
  EXPECT_EQ(content.video.pictures.size(), 24u);
  EXPECT_EQ(content.video.frameRateCode, 5);
  // 0.8 s raised to 44.1 kHz is 35280 samples: 30 full frames and one padded.
  ASSERT_EQ(content.audio.size(), 31u);
  EXPECT_EQ(content.audio[0].mode, 3);          // single channel
  EXPECT_EQ(content.audio[0].bitrateIndex, 8);  // 128 kbit/s
  EXPECT_EQ(place.Leftovers(), std::vector<std::string>{});
  EXPECT_EQ(EngineBlockCount(), 0u);
  EXPECT_EQ(MpegEngineSettings().videoTimedOut + MpegEngineSettings().audioTimedOut, 0u);
}

TEST(AviToMpgWireTest, RefusedSoundGivesAVideoOnlyMpgWithItsErrorLine) {
  struct Case {
    AviSoundSpec sound;
    std::string line;
  };
  // Sound no decoder makes anything of (other rates, depths and layouts are decoded,
  // see below).
  const Case cases[] = {
      {Sound(22050, 1, 16, 0.4, 2), "Error: compressed audio is unsupported"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Workplace place;
    const std::string in = place.File("clip.avi"), out = place.File("clip.mpg");
    ASSERT_EQ(WriteAviWithSound(in, SmallAvi(25, c.sound)), AVIERR_OK);
    AviRun run;
    run.Convert(in, out);
    EXPECT_TRUE(run.ok);
    EXPECT_TRUE(run.log.HasLine(c.line)) << run.log.Joined();
    EXPECT_TRUE(run.log.HasLine("Bit-rate: 1228800"));  // all of it for the video
    EXPECT_EQ(run.log.lines.back(), "Video completed");
    testing::ParsedStream video = testing::ParseVideoStream(testing::ReadBytes(out), false);
    EXPECT_EQ(video.error, "");
    EXPECT_EQ(video.pictures.size(), 8u);
    EXPECT_EQ(place.Leftovers(), std::vector<std::string>{});
  }
}

// Sound the encoder does not take as stored reaches it decoded: resampled to 44.1 kHz, or
// at 22.05 kHz when it has that rate (the encoder raises it itself).
TEST(AviToMpgWireTest, OtherRatesDepthsAndLayoutsAreDecodedIntoTheMpg) {
  for (const AviSoundSpec& sound :
       {Sound(48000, 2, 16), Sound(44100, 2, 24), Sound(22050, 3, 16)}) {
    SCOPED_TRACE(std::to_string(sound.samplesPerSec) + " Hz, " +
                 std::to_string(sound.bitsPerSample) + " bits, " + std::to_string(sound.channels) +
                 " channels");
    Workplace place;
    const std::string in = place.File("clip.avi"), out = place.File("clip.mpg");
    ASSERT_EQ(WriteAviWithSound(in, SmallAvi(25, sound)), AVIERR_OK);
    AviRun run;
    run.Convert(in, out);
    EXPECT_TRUE(run.ok);
    EXPECT_TRUE(run.log.HasLine(sound.samplesPerSec == 22050
                                    ? "Audio sampling rate: 22.050KHz (16 bits per sample)"
                                    : "Audio sampling rate: 44.100KHz (16 bits per sample)"))
        << run.log.Joined();
    EXPECT_EQ(run.log.lines.back(), "MPG completed!");
    SystemStreamContent content = ReadSystemStream(out);
    ASSERT_EQ(content.error, "");
    EXPECT_EQ(content.video.pictures.size(), 8u);
    EXPECT_FALSE(content.audio.empty());
    EXPECT_EQ(content.audio[0].mode, sound.channels == 1 ? 3 : 0);
    EXPECT_EQ(place.Leftovers(), std::vector<std::string>{});
  }
}

TEST(AviToMpgWireTest, FrameRateChoiceLeavesTheSoundOut) {
  Workplace place;
  const std::string in = place.File("clip.avi"), out = place.File("clip.mpg");
  // 8-bit frames with a colour table, as the frame getter hands them over.
  AviSpec spec = SmallAvi(25, Sound(44100, 2, 16));
  spec.bits = 8;
  ASSERT_EQ(WriteAviWithSound(in, spec), AVIERR_OK);
  AviRun run;
  run.Convert(in, out, 0, 0, 3);
  EXPECT_TRUE(run.ok);
  EXPECT_TRUE(run.log.HasLine("BPP: 8"));
  for (const std::string& line : run.log.lines)
    EXPECT_EQ(line.find("Audio"), std::string::npos) << line;
  testing::ParsedStream video = testing::ParseVideoStream(testing::ReadBytes(out), false);
  EXPECT_EQ(video.error, "");
  EXPECT_EQ(video.frameRateCode, 3);
  EXPECT_EQ(place.Leftovers(), std::vector<std::string>{});
}

TEST(AviToMpgWireTest, SoundShorterThanDeclaredIsPaddedAndCounted) {
  Workplace place;
  const std::string in = place.File("clip.avi"), out = place.File("clip.mpg");
  ASSERT_EQ(WriteAviWithSound(in, SmallAvi(25, Sound(22050, 1, 16))), AVIERR_OK);
  // The stream claims 1000 sample frames more than it delivers.
  const AviSoundSpec spec = Sound(22050, 1, 16);
  std::vector<uint8_t> bytes = testing::SoundBytes(spec);
  const uint64_t declared = bytes.size() / 2 + 1000;
  SetAviSoundOpener([&](const std::string&, std::string*) -> std::unique_ptr<SoundStreamReader> {
    return std::make_unique<testing::MemorySoundStream>(testing::SoundFormatBytes(spec), bytes,
                                                        declared);
  });
  AviRun run;
  run.Convert(in, out);
  SetAviSoundOpener({});
  EXPECT_TRUE(run.ok);
  auto at = std::find(run.log.lines.begin(), run.log.lines.end(), "Audio completed");
  ASSERT_NE(at, run.log.lines.end());
  ASSERT_NE(at + 1, run.log.lines.end());
  EXPECT_EQ(*(at + 1), "Warning: 1000 audio samples set to 0 length");
  EXPECT_EQ(MpegEngineSettings().silentAudioSamples, 1000);
  EXPECT_EQ(ReadSystemStream(out).error, "");
}

TEST(AviToMpgWireTest, FailuresLeaveNoTemporaryFilesAndNeverTheSourceReplaced) {
  {
    // The system stream cannot be written: the run fails after both streams were made.
    Workplace place;
    const std::string in = place.File("clip.avi");
    ASSERT_EQ(WriteAviWithSound(in, SmallAvi(25, Sound(44100, 1, 16))), AVIERR_OK);
    AviRun run;
    run.Convert(in, place.File("missing/clip.mpg"));
    EXPECT_FALSE(run.ok);
    EXPECT_TRUE(run.log.HasLine("Multiplexing..."));
    EXPECT_FALSE(run.log.HasLine("MPG completed!"));
    EXPECT_EQ(place.Leftovers(), std::vector<std::string>{});
    EXPECT_EQ(EngineBlockCount(), 0u);
  }
  {
    // The encoder refuses layer I after the video was made: the video is kept on its own.
    Workplace place;
    const std::string in = place.File("clip.avi"), out = place.File("clip.mpg");
    ASSERT_EQ(WriteAviWithSound(in, SmallAvi(25, Sound(44100, 1, 16))), AVIERR_OK);
    AviRun run;
    run.Convert(in, out, 1, 128);
    EXPECT_TRUE(run.ok);
    EXPECT_TRUE(run.log.HasLine("Error: layer 1 is unsupported"));
    EXPECT_EQ(run.log.lines.back(),
              "Warning: the sound could not be encoded: the MPG has no sound");
    EXPECT_EQ(testing::ParseVideoStream(testing::ReadBytes(out), false).error, "");
    EXPECT_EQ(place.Leftovers(), std::vector<std::string>{});
  }
  {
    // An AVI named like its own output is not overwritten.
    Workplace place;
    const std::string in = place.File("clip.mpg");
    ASSERT_EQ(WriteAviWithSound(in, SmallAvi(25, Sound(44100, 1, 16))), AVIERR_OK);
    const auto before = testing::ReadBytes(in);
    AviRun run;
    run.Convert(in, in);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.log.lines.back(), "Error: " + in + " would replace its own source");
    EXPECT_EQ(testing::ReadBytes(in), before);
  }
  {
    // Not an AVI at all.
    Workplace place;
    testing::WriteText(place.File("text.avi"), "not a RIFF file");
    AviRun run;
    run.Convert(place.File("text.avi"), place.File("text.mpg"));
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.log.lines.back(),
              "Error: " + place.File("text.avi") + " is locked or unavailable");
    EXPECT_FALSE(fs::exists(place.File("text.mpg")));
  }
}

TEST(AviToMpgWireTest, EmptySeamsMeanTheRealServicesAndStandInsStillWork) {
  {
    ScopedMpegEngineServices none{MpegEngineServices{}};
    const MpegEngineServices& s = GetMpegEngineServices();
    EXPECT_TRUE(s.openAvi && s.encodeAviAudio && s.convertSoundToMp2 && s.multiplex);
  }
  // A stand-in for the multiplexer alone: the AVI and its sound are still read for real, and
  // the counters it returns reach the engine settings and the log.
  Workplace place;
  const std::string in = place.File("clip.avi"), out = place.File("clip.mpg");
  ASSERT_EQ(WriteAviWithSound(in, SmallAvi(15, Sound(22050, 2, 8))), AVIERR_OK);
  std::vector<uint8_t> mp2;
  MpegEngineServices s;
  s.multiplex = [&](const std::string&, const std::string& audio, const std::string& output) {
    mp2 = testing::ReadBytes(audio);
    testing::WriteText(output, "system stream");
    return MultiplexCounters{2, 0};
  };
  ScopedMpegEngineServices scope(s);
  RecordingConversionLog log;
  ScopedConversionLog logScope(log);
  EXPECT_TRUE(ConvertAviToMpg(in, out, 0, 0, 0, 0, 0, 0));
  std::vector<testing::Mp2Frame> frames;
  std::string error;
  EXPECT_TRUE(testing::ParseMp2(mp2, frames, &error)) << error;
  EXPECT_EQ(frames.at(0).mode, 0);  // stereo
  EXPECT_EQ(log.lines.back(), "Error: video timed-out");
  EXPECT_EQ(MpegEngineSettings().videoTimedOut, 2u);
}

TEST(AviToMpgWireTest, ImageListSoundIsEncodedAndMultiplexed) {
  Workplace place;
  testing::InMemoryImages images;
  std::vector<std::string> paths;
  for (int i = 0; i < 3; ++i) {
    paths.push_back("/images/" + std::to_string(i) + ".bmp");
    images.Add(paths.back(), testing::MovingPicture(48, 32, i));
  }
  const std::string wav = place.File("tune.wav"), out = place.File("list.mpg");
  testing::WritePcm16Wav(wav, 22050, 2,
                         testing::MakeSignal(testing::Signal::kTone, 22050, 2, 11025));
  MpegEngineServices s;
  s.loadImage = images.Loader();
  ScopedMpegEngineServices scope(s);
  RecordingConversionLog log;
  ScopedConversionLog logScope(log);
  EXPECT_TRUE(ConvertImageListToMpg(paths, {2, 2, 2}, wav, out, 0, 0, 0, 3, 0, 0));
  SystemStreamContent content = ReadSystemStream(out);
  ASSERT_EQ(content.error, "");
  EXPECT_EQ(content.video.pictures.size(), 6u);
  EXPECT_EQ(content.audio.size(), 20u);  // 0.5 s raised to 44.1 kHz: 19 frames and a padded one
  EXPECT_TRUE(log.HasLine("Audio stream closed"));
  EXPECT_EQ(place.Leftovers(), std::vector<std::string>{});
}

}  // namespace
}  // namespace quendrolix
