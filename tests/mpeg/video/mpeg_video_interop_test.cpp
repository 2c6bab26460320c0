// Streams of the video encoder decoded by ffmpeg: no error or warning, the expected frame
// count, and pictures that match the encoder's own reconstruction. The two decoders'
// inverse transforms may differ by one in rare samples and the difference can build up
// along a chain of predicted pictures, so the tolerance is a few levels per sample and a
// small mean; a wrong code or a wrong prediction shows up as tens of levels at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

#include "mpeg/video/engine_services.h"
#include "mpeg/video/mpeg_converter.h"
#include "platform/host/conversion_log.h"
#include "support/mpeg_video_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::PictureRecorder;
using testing::TempDir;

constexpr int kMaxSampleDifference = 4;
constexpr double kMaxMeanDifference = 0.05;

struct Decoded {
  std::vector<std::vector<uint8_t>> frames;
  std::string messages;
  int status = -1;
};

// Decodes through a pipe, as ffmpeg warns about estimated durations of any file it can
// measure; the decoder's own messages still come through.
Decoded DecodeWithFfmpeg(const std::string& ffmpeg, const std::string& stream, int width,
                         int height, const std::string& work) {
  std::string yuv = work + "/decoded.yuv";
  testing::CommandResult r = testing::RunCommand(
      "cat " + testing::ShellQuote(stream) + " | " + testing::ShellQuote(ffmpeg) +
      " -nostdin -v warning -i pipe:0 -fps_mode passthrough -f rawvideo -pix_fmt yuv420p -y " +
      testing::ShellQuote(yuv));
  Decoded d;
  d.status = r.status;
  d.messages = r.output + r.errors;
  std::vector<uint8_t> bytes = testing::ReadBytes(yuv);
  size_t frame = static_cast<size_t>(width) * height * 3 / 2;
  for (size_t at = 0; at + frame <= bytes.size(); at += frame)
    d.frames.emplace_back(bytes.begin() + at, bytes.begin() + at + frame);
  return d;
}

struct Comparison {
  int maxDifference = 0;
  double meanDifference = 0;
  double psnrDecoded = 0;  // ffmpeg's pictures against the source
  double psnrOwn = 0;      // our reconstruction against the source
};

Comparison Compare(const PictureRecorder& recorder, const Decoded& decoded) {
  Comparison c;
  double sum = 0, psnrD = 0, psnrO = 0;
  size_t samples = 0;
  int n = 0;
  for (const auto& [display, recon] : recorder.reconstruction) {
    const std::vector<uint8_t>& dec = decoded.frames.at(display);
    for (size_t i = 0; i < recon.size(); ++i) {
      int d = std::abs(recon[i] - dec[i]);
      c.maxDifference = std::max(c.maxDifference, d);
      sum += d;
    }
    samples += recon.size();
    const std::vector<uint8_t>& src = recorder.source.at(display);
    psnrD += testing::LumaPsnr(src, dec, recorder.width, recorder.height);
    psnrO += testing::LumaPsnr(src, recon, recorder.width, recorder.height);
    ++n;
  }
  c.meanDifference = sum / std::max<size_t>(1, samples);
  c.psnrDecoded = psnrD / std::max(1, n);
  c.psnrOwn = psnrO / std::max(1, n);
  return c;
}

struct ListRun {
  testing::InMemoryImages images;
  std::vector<std::string> paths;
  std::vector<int> counts;
  bool Convert(const std::string& out, unsigned selection, int totalRate = 0) {
    MpegEngineServices s;
    s.loadImage = images.Loader();
    ScopedMpegEngineServices scope(s);
    RecordingConversionLog log;
    ScopedConversionLog logScope(log);
    return ConvertImageListToMpg(paths, counts, "", out, 0, totalRate, 0, selection, 0, 0);
  }
};

TEST(MpegVideoInteropTest, MovingSourceAtTheDefaultRate) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  const int w = 352, h = 288, frames = 300;
  ListRun run;
  for (int i = 0; i < frames; ++i) {
    run.paths.push_back("/m/" + std::to_string(i));
    run.counts.push_back(1);
    run.images.Add(run.paths.back(), testing::MovingPicture(w, h, i));
  }
  PictureRecorder recorder;
  std::string out = dir.File("moving.m1v");
  ASSERT_TRUE(run.Convert(out, 5));  // 30 frames/s, 1228800 bit/s without sound
  Decoded d = DecodeWithFfmpeg(ffmpeg, out, w, h, dir.path().string());
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.messages, "");
  ASSERT_EQ(d.frames.size(), static_cast<size_t>(frames));
  Comparison c = Compare(recorder, d);
  EXPECT_LE(c.maxDifference, kMaxSampleDifference);
  EXPECT_LE(c.meanDifference, kMaxMeanDifference);
  double seconds = frames / 30.0;
  double bitRate = fs::file_size(out) * 8.0 / seconds;
  std::printf(
      "moving 352x288, 300 frames: %.0f bit/s (target 1228800), luma PSNR %.2f dB "
      "(own reconstruction %.2f dB), largest difference to ffmpeg %d, mean %.4f\n",
      bitRate, c.psnrDecoded, c.psnrOwn, c.maxDifference, c.meanDifference);
  RecordProperty("bit_rate", std::to_string(bitRate));
  RecordProperty("psnr", std::to_string(c.psnrDecoded));
  EXPECT_NEAR(bitRate, 1228800.0, 0.05 * 1228800.0);
  EXPECT_GT(c.psnrDecoded, 25.0);
}

TEST(MpegVideoInteropTest, ReplicatedListAndOddSizes) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  ListRun run;
  for (int i = 0; i < 4; ++i) {
    run.paths.push_back("/o/" + std::to_string(i));
    run.counts.push_back(2);
    run.images.Add(run.paths.back(), testing::MovingPicture(321, 241, 5 * i));
  }
  PictureRecorder recorder;
  std::string out = dir.File("odd.m1v");
  ASSERT_TRUE(run.Convert(out, 0));  // 10 frames/s nominal: each frame three times at 30
  Decoded d = DecodeWithFfmpeg(ffmpeg, out, 336, 242, dir.path().string());
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.messages, "");
  ASSERT_EQ(d.frames.size(), 24u);
  Comparison c = Compare(recorder, d);
  EXPECT_LE(c.maxDifference, kMaxSampleDifference);
  EXPECT_LE(c.meanDifference, kMaxMeanDifference);
  std::printf("321x241 list, 24 frames: luma PSNR %.2f dB, largest difference %d\n", c.psnrDecoded,
              c.maxDifference);
}

TEST(MpegVideoInteropTest, NoiseAtAHighRateUsesEscapesAndRareCodes) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  ListRun run;
  std::mt19937 random(5);
  for (int i = 0; i < 20; ++i) {
    run.paths.push_back("/n/" + std::to_string(i));
    run.counts.push_back(1);
    HDIB base = testing::MovingPicture(128, 96, i);
    uint8_t* px = DibPixels(*base);
    for (size_t k = 0; k < base->header().biSizeImage; ++k)
      px[k] = static_cast<uint8_t>(
          std::clamp<int>(px[k] + static_cast<int>(random() % 161) - 80, 0, 255));
    run.images.Add(run.paths.back(), std::move(base));
  }
  PictureRecorder recorder;
  std::string out = dir.File("noise.m1v");
  ASSERT_TRUE(run.Convert(out, 3, 40000));
  Decoded d = DecodeWithFfmpeg(ffmpeg, out, 128, 96, dir.path().string());
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.messages, "");
  ASSERT_EQ(d.frames.size(), 20u);
  Comparison c = Compare(recorder, d);
  EXPECT_LE(c.maxDifference, kMaxSampleDifference);
  EXPECT_LE(c.meanDifference, kMaxMeanDifference);
  // Nearly lossless: the quantiser sits at its finest.
  EXPECT_GT(c.psnrDecoded, 40.0);
  std::printf("noise 128x96 at 40 Mbit/s: luma PSNR %.2f dB, largest difference %d\n",
              c.psnrDecoded, c.maxDifference);
}

}  // namespace
}  // namespace quendrolix
