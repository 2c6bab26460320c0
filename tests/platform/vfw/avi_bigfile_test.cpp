// A file past 1 GiB continues as OpenDML and plays to its last frame.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/vfw/codec.h"
#include "platform/vfw/vfw.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
using namespace testing;

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 200;  // 6 MiB a frame: 1.2 GiB

// Frame t: horizontal bands that move with t, so every frame differs everywhere.
void FillFrame(DibBlock& dib, int t) {
  const size_t stride = DibRowStride(kWidth, 24);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = DibPixels(dib) + static_cast<size_t>(y) * stride;
    const auto v = static_cast<uint8_t>(y + 3 * t);
    for (int x = 0; x < kWidth; ++x) {
      row[3 * x] = v;
      row[3 * x + 1] = static_cast<uint8_t>(t);
      row[3 * x + 2] = static_cast<uint8_t>(x >> 3);
    }
  }
}

TEST(AviBigFileTest, PlaysToTheLastFramePastOneGibibyte) {
  TempDir dir;
  std::error_code ec;
  const auto space = std::filesystem::space(dir.path(), ec);
  if (ec || space.available < (uint64_t{3} << 30))
    GTEST_SKIP() << "needs 3 GiB free in " << dir.path() << ", has "
                 << (ec ? 0 : space.available >> 20) << " MiB";
  const std::string path = dir.File("big.avi");
  HDIB frame = NewDib(kWidth, kHeight, 24, 0);
  ASSERT_TRUE(frame);
  {
    ScopedAviFile file;
    ASSERT_EQ(AVIFileOpen(file.out(), path, OF_WRITE | OF_CREATE), AVIERR_OK);
    AVISTREAMINFO info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = 25;
    info.rcFrame = {0, 0, kWidth, kHeight};
    ScopedAviStream stream, compressed;
    ASSERT_EQ(AVIFileCreateStream(file.get(), stream.out(), &info), AVIERR_OK);
    const AVICOMPRESSOPTIONS options = OptionsFor(kHandlerFullFrames);
    ASSERT_EQ(AVIMakeCompressedStream(compressed.out(), stream.get(), &options), AVIERR_OK);
    const auto format = DibFormat(*frame);
    ASSERT_EQ(
        AVIStreamSetFormat(compressed.get(), 0, format.data(), static_cast<LONG>(format.size())),
        AVIERR_OK);
    const LONG bytes = static_cast<LONG>(frame->size() - DibPixelOffset(*frame));
    for (int t = 0; t < kFrames; ++t) {
      FillFrame(*frame, t);
      ASSERT_EQ(AVIStreamWrite(compressed.get(), t, 1, DibPixels(*frame), bytes, AVIIF_KEYFRAME,
                               nullptr, nullptr),
                AVIERR_OK);
    }
  }
  ASSERT_GT(std::filesystem::file_size(path), uint64_t{1} << 30);

  // We read the last frame back through the OpenDML index.
  {
    ScopedAviFile file;
    ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ), AVIERR_OK);
    AVIFILEINFO fi{};
    AVIFileInfo(file.get(), &fi, sizeof fi);
    EXPECT_EQ(fi.dwLength, static_cast<DWORD>(kFrames));
    ScopedAviStream stream;
    ASSERT_EQ(AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, 0), AVIERR_OK);
    PGETFRAME getter = AVIStreamGetFrameOpen(stream.get(), nullptr);
    ASSERT_TRUE(getter);
    const DibBlock* last = AVIStreamGetFrame(getter, kFrames - 1);
    ASSERT_TRUE(last);
    FillFrame(*frame, kFrames - 1);
    EXPECT_EQ(0, std::memcmp(DibPixels(*last), DibPixels(*frame),
                             frame->size() - DibPixelOffset(*frame)));
    AVIStreamGetFrameClose(getter);
  }

  const std::string ffmpeg = FindTool("ffmpeg"), ffprobe = FindTool("ffprobe");
  if (ffmpeg.empty() || ffprobe.empty()) GTEST_SKIP() << "ffmpeg is not installed";
  const CommandResult count = RunCommand(
      ShellQuote(ffprobe) + " -v error -count_packets -select_streams v:0 -show_entries " +
      "stream=nb_read_packets -of csv=p=0 " + ShellQuote(path));
  EXPECT_EQ(count.status, 0) << count.errors;
  EXPECT_EQ(std::atoi(count.output.c_str()), kFrames) << count.output;
  // ffmpeg decodes every frame without a word and its last frame is ours.
  const std::string last = dir.File("last.raw");
  const CommandResult play =
      RunCommand(ShellQuote(ffmpeg) + " -nostdin -y -v warning -i " + ShellQuote(path) + " -vf " +
                 ShellQuote("select=eq(n\\," + std::to_string(kFrames - 1) + ")") +
                 " -fps_mode passthrough -f rawvideo " + "-pix_fmt bgr24 " + ShellQuote(last));
  EXPECT_EQ(play.status, 0);
  EXPECT_EQ(play.errors, "");
  FillFrame(*frame, kFrames - 1);
  EXPECT_EQ(ReadBytes(last), DibToBgrTopDown(*frame));
}

}  // namespace
}  // namespace quendrolix
