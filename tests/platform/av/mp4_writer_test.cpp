// MP4 files from pictures that last a number of frames each, with sound, read back
// through the library decoders.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "platform/av/audio_decoder.h"
#include "platform/av/mp4_writer.h"
#include "platform/av/video_decoder.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
using namespace testing;

std::vector<int16_t> Tone(int rate, int channels, double seconds) {
  std::vector<int16_t> pcm;
  const int frames = static_cast<int>(seconds * rate);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      pcm.push_back(
          static_cast<int16_t>(std::lround(12000 * std::sin(2 * 3.14159265 * 440 * i / rate))));
  return pcm;
}

TEST(Mp4WriterTest, PicturesKeepTheirDurationsAndTheSoundComesAlong) {
  TempDir dir;
  const std::string path = dir.File("show.mp4");
  av::Mp4Settings s;
  s.width = 160;
  s.height = 120;
  s.rateNumerator = 10;
  s.rateDenominator = 1;
  s.sound = true;
  s.sampleRate = 44100;
  s.channels = 2;
  std::string error;
  auto writer = av::Mp4Writer::Create(path, s, &error);
  ASSERT_TRUE(writer) << error;
  EXPECT_TRUE(std::filesystem::exists(path + ".part"));
  EXPECT_FALSE(std::filesystem::exists(path));
  // Three pictures lasting 1, 3 and 2 frames at 10 frames/s: 0.6 s.
  const int counts[] = {1, 3, 2};
  std::vector<HDIB> pictures;
  for (int i = 0; i < 3; ++i) {
    // Smooth pictures (the test frames' one-pixel colour checker does not survive 4:2:0),
    // the second one as an 8-bit block.
    HDIB smooth = NewDib(160, 120, 24, 0);
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x) {
        uint8_t* p = DibPixels(*smooth) + y * DibRowStride(160, 24) + 3 * x;
        p[0] = static_cast<uint8_t>(x + 40 * i);
        p[1] = static_cast<uint8_t>(2 * y);
        p[2] = static_cast<uint8_t>(200 - x - 30 * i);
      }
    pictures.push_back(std::move(smooth));
    if (i == 1) pictures.back() = MakeTestFrame(160, 120, 8, 0);
    ASSERT_TRUE(writer->AddPicture(*pictures.back(), counts[i])) << writer->error();
  }
  const std::vector<int16_t> sound = Tone(44100, 2, 0.6);
  ASSERT_TRUE(writer->AddSound(sound.data(), sound.size() / 2)) << writer->error();
  EXPECT_EQ(writer->videoFrames(), 6);
  ASSERT_TRUE(writer->Finish()) << writer->error();
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));

  auto video = av::FileVideoDecoder::Open(path, &error);
  ASSERT_TRUE(video) << error;
  EXPECT_EQ(video->width(), 160);
  EXPECT_EQ(video->height(), 120);
  EXPECT_NEAR(video->durationSeconds(), 0.6, 0.02);
  const double starts[] = {0.0, 0.1, 0.4};
  for (int i = 0; i < 3; ++i) {
    HDIB dib = video->Next();
    ASSERT_TRUE(dib) << i << " " << video->error();
    EXPECT_NEAR(video->lastTime(), starts[i], 0.001) << i;
    // The 8-bit test frame keeps its fine detail only in part.
    EXPECT_GE(Psnr(DibToBgrTopDown(*dib), DibToBgrTopDown(*pictures[i])), i == 1 ? 20 : 30) << i;
  }
  EXPECT_FALSE(video->Next()) << "each picture is coded once";

  auto audio = av::AudioDecoder::OpenFile(path, &error);
  ASSERT_TRUE(audio) << error;
  EXPECT_EQ(audio->sourceRate(), 44100);
  EXPECT_EQ(audio->sourceChannels(), 2);
  EXPECT_EQ(audio->codecName(), "aac");
  std::vector<int16_t> block(4096 * 2);
  size_t frames = 0;
  for (size_t got; (got = audio->Read(block.data(), 4096)) > 0;) frames += got;
  EXPECT_NEAR(static_cast<double>(frames) / 44100, 0.6, 0.03);
}

TEST(Mp4WriterTest, OddSizesAreCodedOneLargerAndUnfinishedFilesLeaveNothing) {
  TempDir dir;
  const std::string path = dir.File("odd.mp4");
  av::Mp4Settings s;
  s.width = 65;
  s.height = 47;
  std::string error;
  {
    auto writer = av::Mp4Writer::Create(path, s, &error);
    ASSERT_TRUE(writer) << error;
    HDIB picture = MakeTestFrame(65, 47, 24, 0);
    ASSERT_TRUE(writer->AddPicture(*picture, 2));
    EXPECT_FALSE(writer->AddSound(nullptr, 10)) << "made without sound";
    HDIB wrong = MakeTestFrame(64, 47, 24, 0);
    EXPECT_FALSE(writer->AddPicture(*wrong, 1));
  }  // dropped unfinished
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));

  auto writer = av::Mp4Writer::Create(path, s, &error);
  ASSERT_TRUE(writer);
  HDIB picture = MakeTestFrame(65, 47, 24, 0);
  ASSERT_TRUE(writer->AddPicture(*picture, 2));
  ASSERT_TRUE(writer->Finish()) << writer->error();
  auto video = av::FileVideoDecoder::Open(path, &error);
  ASSERT_TRUE(video) << error;
  EXPECT_EQ(video->width(), 66);
  EXPECT_EQ(video->height(), 48);

  EXPECT_FALSE(av::Mp4Writer::Create(dir.File("none.mp4"), av::Mp4Settings{}, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quendrolix
