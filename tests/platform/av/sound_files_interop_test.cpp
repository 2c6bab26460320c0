// Sound files of every kind users have, made by ffmpeg in the test: the library decoders
// give what ffmpeg's own decoding gives, and the layer II encoder takes them all.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/av/audio_decoder.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

struct SoundFile {
  const char* name;  // with its extension
  const char* codec;
  int rate;
  int channels;
};

const SoundFile kFiles[] = {
    {"tone.mp3", "-c:a libmp3lame -b:a 128k", 44100, 2},
    {"tone.ogg", "-c:a libvorbis -q:a 4", 48000, 2},
    {"tone.opus", "-c:a libopus -b:a 96k", 48000, 2},
    {"tone.flac", "-c:a flac", 96000, 1},
    {"tone.m4a", "-c:a aac -b:a 128k", 32000, 2},
    {"float.wav", "-c:a pcm_f32le", 22050, 2},
    {"surround.wav", "-c:a pcm_s24le", 48000, 6},
};

class SoundFilesInteropTest : public ::testing::TestWithParam<SoundFile> {};

TEST_P(SoundFilesInteropTest, DecodesAsFfmpegDoesAndReachesTheLayerIIEncoder) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  const SoundFile& f = GetParam();
  TempDir dir;
  const std::string path = dir.File(f.name);
  // Two tones a fifth apart, 1.5 seconds.
  CommandResult r = RunCommand(ShellQuote(ffmpeg) +
                               " -nostdin -v error -f lavfi -i \"aevalsrc=0.3*sin(2*PI*440*t)+" +
                               "0.2*sin(2*PI*660*t):s=" + std::to_string(f.rate) + ":c=" +
                               (f.channels == 6   ? "5.1"
                                : f.channels == 2 ? "stereo"
                                                  : "mono") +
                               ":d=1.5\" " + f.codec + " " + ShellQuote(path));
  if (r.status != 0 && r.errors.find("Unknown encoder") != std::string::npos)
    GTEST_SKIP() << "this ffmpeg has no encoder for " << f.name;
  ASSERT_EQ(r.status, 0) << r.errors;

  std::string error;
  auto decoder = av::AudioDecoder::OpenFile(path, &error);
  ASSERT_TRUE(decoder) << error;
  EXPECT_EQ(decoder->sourceRate(), f.rate);
  EXPECT_EQ(decoder->sourceChannels(), f.channels);
  EXPECT_NEAR(decoder->durationSeconds(), 1.5, 0.1);
  const int channels = f.channels == 1 ? 1 : 2;
  EXPECT_EQ(decoder->outputChannels(), channels);
  std::vector<int16_t> ours, block(4096 * 2);
  for (size_t got; (got = decoder->Read(block.data(), 4096)) > 0;)
    ours.insert(ours.end(), block.begin(), block.begin() + static_cast<long>(got * channels));

  // ffmpeg's decoding at the same rate and layout.
  const std::string raw = dir.File("ffmpeg.raw");
  r = RunCommand(ShellQuote(ffmpeg) + " -nostdin -y -v error -i " + ShellQuote(path) +
                 " -f s16le -ac " + std::to_string(channels) + " " + ShellQuote(raw));
  ASSERT_EQ(r.status, 0) << r.errors;
  const std::vector<uint8_t> bytes = ReadBytes(raw);
  std::vector<int16_t> theirs(bytes.size() / 2);
  std::memcpy(theirs.data(), bytes.data(), theirs.size() * 2);
  // The same samples; a mix of six channels into two may round differently by a step.
  ASSERT_NEAR(static_cast<double>(ours.size()), static_cast<double>(theirs.size()), 4.0 * channels);
  int worst = 0;
  for (size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i)
    worst = std::max(worst, std::abs(ours[i] - theirs[i]));
  EXPECT_LE(worst, f.channels == 6 ? 64 : 1);

  // The MP2 of the WAV -> MP2 command: 1.5 s at 44.1 kHz is 57.4 frames of 1152 samples.
  r = RunCli({"--home", dir.File("home"), "wav2mp2", path});
  ASSERT_EQ(r.status, 0) << r.errors << r.output;
  const std::string mp2 = fs::path(path).replace_extension("mp2").string();
  const auto size = fs::file_size(mp2);
  EXPECT_GE(size, 58u * 417);
  EXPECT_LE(size, 58u * 418);
}

INSTANTIATE_TEST_SUITE_P(Formats, SoundFilesInteropTest, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<SoundFile>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

}  // namespace
}  // namespace quendrolix
