// ffmpeg decodes what the wav2mp3 command writes, with the source's length, rate and
// channels.
#include <gtest/gtest.h>

#include <sstream>

#include "support/sound_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using namespace testing;

// ffmpeg's complaints about a file, less the note that an MP3 without a summary frame
// has its duration estimated (ours carry none: the library writes a plain stream).
std::string Complaints(const std::string& text) {
  std::istringstream in(text);
  std::string line, kept;
  while (std::getline(in, line))
    if (line.find("Estimating duration from bitrate") == std::string::npos) kept += line + "\n";
  return kept;
}

TEST(Mp3InteropTest, FfmpegDecodesOurMp3sAsTheSourceWas) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  TempDir dir;
  struct Case {
    const char* name;
    uint32_t rate;
    uint16_t channels;
    double seconds;
  };
  const Case cases[] = {{"stereo44.wav", 44100, 2, 2.5},
                        {"mono22.wav", 22050, 1, 1.7},
                        {"mono48.wav", 48000, 1, 1.0},
                        {"stereo16.wav", 16000, 2, 0.9}};
  std::vector<std::string> args = {"wav2mp3"};
  for (const Case& c : cases) {
    WriteToneWav(dir.File(c.name), c.rate, c.channels, c.seconds);
    args.push_back(dir.File(c.name));
  }
  CommandResult run = RunCli(args);
  ASSERT_EQ(run.status, 0) << run.output << run.errors;
  EXPECT_NE(run.output.find("Conversion completed"), std::string::npos);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string mp3 = dir.File(c.name);
    mp3.replace(mp3.size() - 3, 3, "mp3");
    CommandResult decode = RunCommand(ShellQuote(ffmpeg) + " -nostdin -v warning -i " +
                                      ShellQuote(mp3) + " -f s16le -");
    ASSERT_EQ(decode.status, 0);
    EXPECT_EQ(Complaints(decode.errors), "");
    // Every decoded sample counted: the source's length plus at most the encoder's delay
    // and the padding of the last frame.
    const double decodedFrames = double(decode.output.size()) / (2.0 * c.channels);
    const double sourceFrames = c.seconds * c.rate;
    EXPECT_GE(decodedFrames, sourceFrames);
    EXPECT_LE(decodedFrames, sourceFrames + 576 + 2 * 1152);

    CommandResult probe = RunCommand(
        ShellQuote(ffprobe) +
        " -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels"
        " -of default=noprint_wrappers=1 " +
        ShellQuote(mp3));
    ASSERT_EQ(probe.status, 0) << probe.errors;
    EXPECT_NE(probe.output.find("codec_name=mp3"), std::string::npos) << probe.output;
    EXPECT_NE(probe.output.find("sample_rate=" + std::to_string(c.rate)), std::string::npos)
        << probe.output;
    EXPECT_NE(probe.output.find("channels=" + std::to_string(c.channels)), std::string::npos)
        << probe.output;
  }
}

TEST(Mp3InteropTest, FfmpegDecodesARecordingSavedAsMp3) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  WriteToneWav(dir.File("mic.wav"), 44100, 2, 3.0);
  CommandResult run =
      RunCli({"record", dir.File("take.mp3"), "--seconds", "2", "--from", dir.File("mic.wav")});
  ASSERT_EQ(run.status, 0) << run.output << run.errors;
  CommandResult decode = RunCommand(ShellQuote(ffmpeg) + " -nostdin -v warning -i " +
                                    ShellQuote(dir.File("take.mp3")) + " -f s16le -ac 2 -");
  ASSERT_EQ(decode.status, 0);
  EXPECT_EQ(Complaints(decode.errors), "");
  const double frames = double(decode.output.size()) / 4;
  EXPECT_GE(frames, 2 * 44100.0);
  EXPECT_LE(frames, 2 * 44100.0 + 576 + 2 * 1152);
}

}  // namespace
}  // namespace quendrolix
