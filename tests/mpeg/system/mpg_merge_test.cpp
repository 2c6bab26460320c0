#include "mpeg/system/mpg_merge.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "mpeg/system/multiplexer.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"
#include "support/mpeg_system_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::TempDir;

std::vector<uint8_t> Video(bool sequenceEnd = true) {
  testing::TestVideoOptions options;
  options.sequenceEnd = sequenceEnd;
  return testing::MakeVideoStream(
      testing::IbbpPictures(50, 12,
                            [](unsigned, unsigned type) { return type == 1 ? 9000 : 2500; }),
      options);
}

std::vector<uint8_t> Audio() {
  return testing::MakeAudioStream(80);
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Points the system's temporary folder at a fresh folder, so a test sees every temporary
// file a run leaves behind.
class ScopedTemporaryFolder {
 public:
  ScopedTemporaryFolder() {
    const char* old = std::getenv("TMPDIR");
    if (old) previous_ = old;
    had_ = old != nullptr;
    ::setenv("TMPDIR", dir_.path().c_str(), 1);
  }
  ~ScopedTemporaryFolder() {
    if (had_)
      ::setenv("TMPDIR", previous_.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }
  // What runs left there, leaving out the tests' own folders.
  std::vector<std::string> Left() const {
    std::vector<std::string> left;
    for (const auto& name : Names(dir_.path()))
      if (name.rfind("quendrolix-test-", 0) != 0) left.push_back(name);
    return left;
  }

 private:
  TempDir dir_;
  std::string previous_;
  bool had_ = false;
};

class ScopedConverter {
 public:
  explicit ScopedConverter(SoundToMp2Converter converter) {
    SetSoundToMp2Converter(std::move(converter));
  }
  ~ScopedConverter() { SetSoundToMp2Converter({}); }
};

struct Recorded {
  RecordingConversionLog log;
  RecordingPrompts prompts;
};

class MergeTest : public ::testing::Test {
 protected:
  bool Merge(const std::string& mpg, const std::string& sound, const std::string& output) {
    ScopedConversionLog logScope(said.log);
    ScopedPrompts promptScope(said.prompts);
    return MergeMpgWithSound(mpg, sound, output);
  }

  TempDir dir;
  ScopedTemporaryFolder temporaries;
  Recorded said;
};

TEST_F(MergeTest, Mp2SoundIsMultiplexedAndNothingTemporaryRemains) {
  testing::WriteBytes(dir.File("anim.mpg"), Video());
  testing::WriteBytes(dir.File("Tune.MP2"), Audio());
  ASSERT_TRUE(Merge(dir.File("anim.mpg"), dir.File("Tune.MP2"), dir.File("out.mpg")));
  auto parsed = testing::ParseSystemStream(testing::ReadBytes(dir.File("out.mpg")));
  ASSERT_TRUE(parsed.error.empty()) << parsed.error;
  EXPECT_EQ(parsed.Payload(0xE0), Video());
  EXPECT_EQ(parsed.Payload(0xC0), Audio());
  EXPECT_TRUE(said.prompts.messages.empty());
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"Tune.MP2", "anim.mpg", "out.mpg"}));
  EXPECT_TRUE(temporaries.Left().empty());
}

TEST_F(MergeTest, WavSoundBecomesAnMp2BesideItThatIsDeletedAfterwards) {
  testing::WriteText(dir.File("tune.wav"), "RIFF....WAVE");
  std::vector<std::string> calls;
  bool mp2ExistedDuringMerge = false;
  ScopedConverter converter([&](const std::string& sound, const std::string& mp2) {
    calls.push_back(sound + " -> " + mp2);
    testing::WriteBytes(mp2, Audio());
    return true;
  });
  testing::WriteBytes(dir.File("anim.mpg"), Video());
  ASSERT_TRUE(Merge(dir.File("anim.mpg"), dir.File("tune.wav"), dir.File("out.mpg")));
  mp2ExistedDuringMerge =
      testing::ParseSystemStream(testing::ReadBytes(dir.File("out.mpg"))).Payload(0xC0) == Audio();
  EXPECT_TRUE(mp2ExistedDuringMerge);
  EXPECT_EQ(calls, std::vector<std::string>{dir.File("tune.wav") + " -> " + dir.File("tune.mp2")});
  EXPECT_FALSE(fs::exists(dir.File("tune.mp2")));
  EXPECT_TRUE(temporaries.Left().empty());
}

TEST_F(MergeTest, AnMp2TheUserAlreadyHasBesideTheSoundIsLeftAlone) {
  testing::WriteText(dir.File("tune.wav"), "RIFF....WAVE");
  testing::WriteText(dir.File("tune.mp2"), "the user's own file");
  std::string usedPath;
  ScopedConverter converter([&](const std::string&, const std::string& mp2) {
    usedPath = mp2;
    testing::WriteBytes(mp2, Audio());
    return true;
  });
  testing::WriteBytes(dir.File("anim.mpg"), Video());
  ASSERT_TRUE(Merge(dir.File("anim.mpg"), dir.File("tune.wav"), dir.File("out.mpg")));
  EXPECT_NE(usedPath, dir.File("tune.mp2"));
  EXPECT_EQ(fs::path(usedPath).filename(), "tune.mp2");
  EXPECT_EQ(testing::ReadText(dir.File("tune.mp2")), "the user's own file");
  EXPECT_FALSE(fs::exists(usedPath));
  EXPECT_TRUE(temporaries.Left().empty());
}

TEST_F(MergeTest, AWavTheEncoderCannotReadOrAFailingConverterWritesNothing) {
  testing::WriteText(dir.File("tune.wav"), "RIFF....WAVE");
  testing::WriteBytes(dir.File("anim.mpg"), Video());
  EXPECT_FALSE(Merge(dir.File("anim.mpg"), dir.File("tune.wav"), dir.File("out.mpg")));
  ASSERT_EQ(said.log.lines.size(), 1u);
  EXPECT_NE(said.log.lines[0].find("could not be converted to MP2"), std::string::npos);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"anim.mpg", "tune.wav"}));

  ScopedConverter converter([&](const std::string&, const std::string& mp2) {
    testing::WriteText(mp2, "half an MP2");
    return false;
  });
  EXPECT_FALSE(Merge(dir.File("anim.mpg"), dir.File("tune.wav"), dir.File("out.mpg")));
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"anim.mpg", "tune.wav"}));
  EXPECT_TRUE(said.prompts.messages.empty());
}

// Every refused run: its line in the log, string 138 in a message box, the previous output
// untouched and no temporary file anywhere.
struct Refusal {
  std::string name;
  std::vector<uint8_t> video;
  std::vector<uint8_t> audio;
  std::string line;  // with %s for the folder
};

TEST_F(MergeTest, RefusedInputsLeaveThePreviousOutputAndNoTemporaryFiles) {
  testing::TestVideoOptions noMarker;
  noMarker.markerBit = 0;
  std::vector<uint8_t> badAudio = Audio();
  badAudio[1] = 0x00;  // no sync word
  std::vector<uint8_t> systemStream = {0x00, 0x00, 0x01, 0xBA, 0x21, 0x00, 0x01, 0x00, 0x01};
  const std::vector<uint8_t> audio = Audio();
  const std::vector<uint8_t> partFrame(audio.begin(), audio.begin() + 500);
  const std::vector<Refusal> cases = {
      {"missing video", {}, Audio(), "Error: %s/anim.mpg not found"},
      {"missing sound", Video(), {}, "Error: %s/tune.mp2 not found"},
      {"broken audio header", Video(), badAudio, "Error: invalid audio header"},
      {"zero marker bit", testing::MakeVideoStream({{0, 1, 500, true}}, noMarker), Audio(),
       "Error: MPEG stream at 82l: marker bit not found"},
      {"system stream", systemStream, Audio(), "Error: invalid MPG header"},
      {"no complete audio frame", Video(), partFrame,
       "Error: the audio stream holds no complete frame"},
      {"no picture", testing::MakeVideoStream({}), Audio(),
       "Error: the video stream holds no complete picture"},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir work;
    if (!c.video.empty()) testing::WriteBytes(work.File("anim.mpg"), c.video);
    if (!c.audio.empty()) testing::WriteBytes(work.File("tune.mp2"), c.audio);
    testing::WriteText(work.File("out.mpg"), "a good older file");
    said = Recorded{};
    EXPECT_FALSE(Merge(work.File("anim.mpg"), work.File("tune.mp2"), work.File("out.mpg")));
    std::string expected = c.line;
    if (auto at = expected.find("%s"); at != std::string::npos)
      expected.replace(at, 2, work.path().string());
    EXPECT_EQ(said.log.lines, std::vector<std::string>{expected});
    EXPECT_EQ(said.prompts.messages, std::vector<std::string>{kMultiplexerExceptionMessage});
    EXPECT_EQ(testing::ReadText(work.File("out.mpg")), "a good older file");
    for (const auto& name : Names(work.path()))
      EXPECT_TRUE(name == "anim.mpg" || name == "tune.mp2" || name == "out.mpg") << name;
    EXPECT_TRUE(temporaries.Left().empty());
  }
}

TEST_F(MergeTest, EveryPictureAndFrameIsMultiplexedWithOrWithoutEndCodeAndWhateverTheBitRate) {
  // A lone picture without an end code, and sound whose bit rate halves after 40 frames.
  testing::TestVideoOptions noEnd;
  noEnd.sequenceEnd = false;
  const std::vector<uint8_t> video = testing::MakeVideoStream({{0, 1, 5000, true}}, noEnd);
  testing::TestAudioOptions high, low;
  high.bitrateIndex = 12;
  low.bitrateIndex = 8;
  std::vector<uint8_t> audio = testing::MakeAudioStream(40, high);
  const std::vector<uint8_t> rest = testing::MakeAudioStream(40, low);
  audio.insert(audio.end(), rest.begin(), rest.end());
  testing::WriteBytes(dir.File("one.m1v"), video);
  testing::WriteBytes(dir.File("tune.mp2"), audio);
  ASSERT_TRUE(Merge(dir.File("one.m1v"), dir.File("tune.mp2"), dir.File("out.mpg")))
      << said.log.Joined();
  auto parsed = testing::ParseSystemStream(testing::ReadBytes(dir.File("out.mpg")));
  ASSERT_TRUE(parsed.error.empty()) << parsed.error;
  EXPECT_EQ(parsed.Payload(0xE0), video);
  EXPECT_EQ(parsed.Payload(0xC0), audio);
}

TEST(MergeCliTest, MergeMpgWritesTheSystemStreamAndFailsWithStatus1) {
  TempDir dir;
  testing::WriteBytes(dir.File("anim.m1v"), Video());
  testing::WriteBytes(dir.File("tune.mp2"), Audio());
  auto ok = testing::RunCli(
      {"merge-mpg", dir.File("anim.m1v"), dir.File("tune.mp2"), dir.File("out.mpg")});
  EXPECT_EQ(ok.status, 0) << ok.errors;
  EXPECT_EQ(ok.output, "Multiplexing...\nMp2 engine closed\n");
  EXPECT_TRUE(testing::ParseSystemStream(testing::ReadBytes(dir.File("out.mpg"))).endCode);

  auto missing = testing::RunCli(
      {"merge-mpg", dir.File("none.m1v"), dir.File("tune.mp2"), dir.File("again.mpg")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("Error: " + dir.File("none.m1v") + " not found\n"),
            std::string::npos);
  EXPECT_NE(missing.errors.find("Aaaaargh!!!"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("again.mpg")));

  EXPECT_EQ(testing::RunCli({"merge-mpg", dir.File("anim.m1v")}).status, 2);
}

}  // namespace
}  // namespace quendrolix
