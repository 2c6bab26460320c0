#include "avi/avi_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/user_prompts.h"
#include "platform/vfw/codec.h"
#include "support/avi_fixtures.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"
#include "avi/merge_streams.h"
#include "tools/merge_avi.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::TempDir;

struct ReadBack {
  ScopedAviFile file;
  ScopedAviStream video;
  AVISTREAMINFO info{};
  std::vector<uint8_t> format;

  explicit ReadBack(const std::string& path) {
    if (AVIFileOpen(file.out(), path, OF_READ) != AVIERR_OK) return;
    if (AVIFileGetStream(file.get(), video.out(), streamtypeVIDEO, 0) != AVIERR_OK) return;
    AVIStreamInfo(video.get(), &info, sizeof(info));
    LONG size = 0;
    AVIStreamReadFormat(video.get(), 0, nullptr, &size);
    format.resize(size);
    AVIStreamReadFormat(video.get(), 0, format.data(), &size);
  }
  std::vector<uint8_t> Sample(LONG n) {
    LONG bytes = 0;
    AVIStreamRead(video.get(), n, 1, nullptr, 0, &bytes, nullptr);
    std::vector<uint8_t> data(bytes);
    AVIStreamRead(video.get(), n, 1, data.data(), bytes, nullptr, nullptr);
    return data;
  }
  const BITMAPINFOHEADER& header() const {
    return *reinterpret_cast<const BITMAPINFOHEADER*>(format.data());
  }
};

class AviBuilderTest : public ::testing::Test {
 protected:
  TempDir dir;
  RecordingPrompts prompts;
  ScopedPrompts scoped{prompts};
  AVICOMPRESSOPTIONS fullFrames = testing::OptionsFor(kHandlerFullFrames);
  std::string Image(const std::string& name, int seed, int w = 12, int h = 9) {
    return testing::WritePatternBmp(dir.File(name), w, h, seed);
  }
};

TEST_F(AviBuilderTest, CountsBecomeIdenticalKeySamplesAtTheProjectRate) {
  const std::string a = Image("a.bmp", 1), b = Image("b.bmp", 2), c = Image("c.bmp", 3);
  for (int depth : {8, 16, 24}) {
    SCOPED_TRACE(depth);
    AviBuilder builder({}, &fullFrames);
    builder.SetRate(10);
    builder.SetDepth(depth);
    builder.Add(a, 1);
    builder.Add(b, 3);
    builder.Add(c, 0);  // written once
    const std::string out = dir.File("out" + std::to_string(depth) + ".avi");
    ASSERT_TRUE(builder.Write(out)) << builder.errorCode();
    EXPECT_EQ(builder.samplesWritten(), 5);

    ReadBack avi(out);
    ASSERT_FALSE(avi.format.empty());
    EXPECT_EQ(avi.info.dwRate, 10u);
    EXPECT_EQ(avi.info.dwScale, 1u);
    EXPECT_EQ(avi.info.dwLength, 5u);
    const size_t stride = DibRowStride(12, depth);
    EXPECT_EQ(avi.info.dwSuggestedBufferSize, stride * 9);
    EXPECT_EQ(avi.info.rcFrame.right, 12);
    EXPECT_EQ(avi.info.rcFrame.bottom, 9);
    EXPECT_EQ(avi.header().biBitCount, depth);
    EXPECT_EQ(avi.format.size(), depth == 8 ? 40u + 1024u : 40u);
    EXPECT_EQ(avi.header().biClrUsed, depth == 8 ? 256u : 0u);
    for (LONG n = 0; n < 5; ++n) EXPECT_TRUE(AVIStreamIsKeyFrame(avi.video.get(), n));
    // The second image is samples 1 to 3.
    EXPECT_NE(avi.Sample(0), avi.Sample(1));
    EXPECT_EQ(avi.Sample(1), avi.Sample(2));
    EXPECT_EQ(avi.Sample(1), avi.Sample(3));
    EXPECT_NE(avi.Sample(3), avi.Sample(4));
    EXPECT_EQ(avi.Sample(1).size(), stride * 9);
  }
  // The status names each image after the first.
  EXPECT_EQ(prompts.statuses.back(), "3 of 3: " + c);
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(AviBuilderTest, FailuresAndEarlyEnds) {
  const std::string a = Image("a.bmp", 1), b = Image("b.bmp", 2);
  const std::string out = dir.File("out.avi");
  {
    AviBuilder empty;
    EXPECT_FALSE(empty.Write(out));
    EXPECT_EQ(empty.errorCode(), kAviBuildNoImages);
  }
  {
    // First image missing: error 0, nothing written.
    AviBuilder builder({}, &fullFrames);
    builder.Add(dir.File("missing.bmp"), 1);
    builder.Add(a, 1);
    EXPECT_FALSE(builder.Write(out));
    EXPECT_EQ(builder.errorCode(), 0);
    EXPECT_EQ(prompts.messages.back(), "Could not load " + dir.File("missing.bmp"));
    EXPECT_FALSE(fs::exists(out));
  }
  {
    // A later image missing or of another size ends a shorter, good movie.
    const std::string big = Image("big.bmp", 3, 13, 9);
    AviBuilder builder({}, &fullFrames);
    builder.Add(a, 2);
    builder.Add(b, 1);
    builder.Add(big, 1);
    builder.Add(a, 1);
    EXPECT_TRUE(builder.Write(out));
    EXPECT_EQ(prompts.messages.back(),
              "The size of " + big + " (13x9) does not match the size of animation (12x9)");
    EXPECT_EQ(ReadBack(out).info.dwLength, 3u);

    AviBuilder gone({}, &fullFrames);
    gone.Add(a, 1);
    gone.Add(dir.File("text.txt"), 1);
    EXPECT_TRUE(gone.Write(out));
    EXPECT_EQ(prompts.messages.back(), "Could not load " + dir.File("text.txt"));
    EXPECT_EQ(ReadBack(out).info.dwLength, 1u);
  }
  {
    // A compressor that does not take the depth: its result is the error, the old file stays.
    const auto before = testing::ReadBytes(out);
    AVICOMPRESSOPTIONS rle = testing::OptionsFor(kHandlerRle);
    AviBuilder builder({}, &rle);
    builder.SetDepth(24);
    builder.Add(a, 1);
    EXPECT_FALSE(builder.Write(out));
    EXPECT_EQ(builder.errorCode(), AVIERR_BADFORMAT);
    EXPECT_EQ(testing::ReadBytes(out), before);
  }
  {
    AviBuilder builder({}, &fullFrames);
    builder.SetRate(0);  // a stream needs a rate
    EXPECT_EQ(builder.framesPerSecond(), 1);
    builder.Add(a, 1);
    EXPECT_FALSE(builder.Write(dir.File("no/such/folder/out.avi")));
    EXPECT_EQ(builder.errorCode(), AVIERR_FILEOPEN);
  }
}

TEST_F(AviBuilderTest, MergeJoinsEveryStreamAndReportsAFailedSave) {
  AviBuilder builder({}, &fullFrames);
  builder.Add(Image("a.bmp", 1), 4);
  const std::string video = dir.File("video.avi"), wav = dir.File("sound.wav");
  ASSERT_TRUE(builder.Write(video));
  const std::vector<uint8_t> samples = testing::WritePcmWav(wav, 22050, 1, 16, 8820);

  const std::string merged = dir.File("merged.avi");
  EXPECT_TRUE(MergeStreams(video, wav, merged));
  {
    ScopedAviFile file;
    ASSERT_EQ(AVIFileOpen(file.out(), merged, OF_READ), AVIERR_OK);
    AVIFILEINFO info{};
    AVIFileInfo(file.get(), &info, sizeof(info));
    EXPECT_EQ(info.dwStreams, 2u);
    ScopedAviStream audio;
    ASSERT_EQ(AVIFileGetStream(file.get(), audio.out(), streamtypeAUDIO, 0), AVIERR_OK);
    std::vector<uint8_t> read(samples.size());
    LONG bytes = 0;
    AVIStreamRead(audio.get(), 0, 8820, read.data(), static_cast<LONG>(read.size()), &bytes,
                  nullptr);
    EXPECT_EQ(read, samples);
  }
  EXPECT_EQ(ReadBack(merged).Sample(3), ReadBack(video).Sample(3));

  // An input that cannot be opened: false, nothing said, nothing written.
  prompts.messages.clear();
  EXPECT_FALSE(MergeStreams(video, dir.File("none.wav"), dir.File("m2.avi")));
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_FALSE(fs::exists(dir.File("m2.avi")));
  // A save that fails is a failure, with its message.
  EXPECT_FALSE(MergeStreams(video, wav, dir.File("no/such/folder/m.avi")));
  EXPECT_EQ(prompts.messages, std::vector<std::string>{"File open error: merging streams failed"});
}

TEST_F(AviBuilderTest, MergeCommandAppendsTheExtensionAndPlaysOnlyWhatItMade) {
  AviBuilder builder({}, &fullFrames);
  builder.Add(Image("a.bmp", 1), 2);
  const std::string video = dir.File("video.avi"), wav = dir.File("sound.wav");
  ASSERT_TRUE(builder.Write(video));
  testing::WriteToneWav(wav, 11025, 1, 0.2);

  struct Recorder : PlaybackRequest {
    std::vector<std::string> played;
    void Play(const std::string& path) override { played.push_back(path); }
  } playback;
  std::string made;
  EXPECT_TRUE(MergeAviCommand(video, wav, dir.File("joined"), &playback, &made));
  EXPECT_EQ(made, dir.File("joined.avi"));
  EXPECT_TRUE(fs::exists(made));
  EXPECT_EQ(playback.played, std::vector<std::string>{made});

  EXPECT_FALSE(MergeAviCommand(dir.File("none.avi"), wav, dir.File("x.avi"), &playback));
  EXPECT_EQ(prompts.messages.back(), "Codec error: please restart the program");
  EXPECT_FALSE(MergeAviCommand(video, wav, dir.File("no/dir/x.avi"), &playback));
  EXPECT_EQ(prompts.messages.back(), "File open error: merging streams failed");
  EXPECT_EQ(playback.played.size(), 1u);
}

}  // namespace
}  // namespace quendrolix
