// Our animated GIFs read by ffmpeg and ImageMagick: frame count, delays, loop count and
// transparency as the settings say, the same pixels from both decoders, and the picture
// quality beside what ImageMagick and ffmpeg make of the same frames.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "image/gif/gif_writer.h"
#include "support/gif_fixtures.h"
#include "support/gif_synthetic_photo.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::MakeDib24;
using testing::Psnr;
using testing::ReadBytes;
using testing::RunCommand;
using testing::ShellQuote;
using testing::TempDir;

struct Clip {
  int width, height;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<unsigned> counts;
};

GifWriteResult WriteClip(const std::string& path, const Clip& clip,
                         const GifOutputSettings& settings) {
  return WriteAnimatedGif(
      path, clip.frames.size(),
      [&](size_t i, GifSourceFrame& frame, std::string&) {
        frame.dib = MakeDib24(clip.width, clip.height, clip.frames[i]);
        frame.frameCount = clip.counts[i];
        frame.name = "frame" + std::to_string(i);
        return GifFrameStatus::kFrame;
      },
      settings);
}

std::string Identify() {
  return ::access("/usr/bin/identify", X_OK) == 0 ? "/usr/bin/identify" : "";
}

// Every frame ffmpeg decodes, one per GIF image, as raw pixels.
std::vector<uint8_t> FfmpegDecode(const std::string& ffmpeg, const std::string& gif,
                                  const std::string& pixelFormat, const TempDir& dir) {
  std::string raw = dir.File("ffmpeg.raw");
  auto run = RunCommand(ShellQuote(ffmpeg) + " -nostdin -v error -y -i " + ShellQuote(gif) +
                        " -fps_mode passthrough -f rawvideo -pix_fmt " + pixelFormat + " " +
                        ShellQuote(raw));
  EXPECT_EQ(run.status, 0) << run.errors;
  return ReadBytes(raw);
}

std::vector<uint8_t> MagickDecode(const std::string& convert, const std::string& gif,
                                  const std::string& format, const TempDir& dir) {
  std::string raw = dir.File("magick.raw");
  auto run = RunCommand(ShellQuote(convert) + " " + ShellQuote(gif) + " -coalesce -depth 8 " +
                        format + ":" + ShellQuote(raw));
  EXPECT_EQ(run.status, 0) << run.errors;
  return ReadBytes(raw);
}

std::vector<int> Numbers(const std::string& text) {
  std::vector<int> out;
  std::stringstream in(text);
  for (std::string word; in >> word;) out.push_back(std::stoi(word));
  return out;
}

// Five photographic frames with a flat magenta backdrop on the left, shown 1, 2, 1, 3
// and 1 frames.
Clip BackdropClip() {
  Clip clip{64, 48, {}, {1, 2, 1, 3, 1}};
  testing::SyntheticPhotoScene scene(clip.width, clip.height, 5);
  for (int t = 0; t < 5; ++t) {
    auto rgb = scene.Frame(t * 2);
    for (int y = 0; y < clip.height; ++y)
      for (int x = 0; x < 14 + 2 * t; ++x) {
        uint8_t* p = &rgb[(static_cast<size_t>(y) * clip.width + x) * 3];
        p[0] = 255, p[1] = 0, p[2] = 255;
      }
    clip.frames.push_back(rgb);
  }
  return clip;
}

bool IsBackdrop(const std::vector<uint8_t>& rgb, size_t pixel) {
  return rgb[3 * pixel] == 255 && rgb[3 * pixel + 1] == 0 && rgb[3 * pixel + 2] == 255;
}

TEST(GifInterop, PeersReadFramesDelaysLoopCountAndTransparency) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  const std::string convert = testing::ImageMagickConvert(), identify = Identify();
  if (convert.empty() || identify.empty()) GTEST_SKIP() << "ImageMagick is not installed";
  TempDir dir;
  Clip clip = BackdropClip();
  const size_t pixels = static_cast<size_t>(clip.width) * clip.height;

  for (bool global : {true, false})
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(std::string(global ? "global" : "local") + (interlaced ? " interlaced" : ""));
      GifOutputSettings s;
      s.SetGlobalColormap(global);
      s.SetInterlaced(interlaced);
      s.SetTransparency(5);
      s.SetPlay(3);
      s.SetGlobalDelay(4);
      std::string gif = dir.File("clip.gif");
      ASSERT_TRUE(WriteClip(gif, clip, s).ok);

      // Delays in hundredths: frame count x 4.
      const std::vector<int> delays = {4, 8, 4, 12, 4};
      auto probe = RunCommand(ShellQuote(ffprobe) +
                              " -v error -select_streams v -show_entries packet=duration "
                              "-of csv=p=0 " +
                              ShellQuote(gif));
      EXPECT_EQ(Numbers(probe.output), delays) << probe.errors;
      auto im = RunCommand(ShellQuote(identify) + " -format '%T\\n' " + ShellQuote(gif));
      EXPECT_EQ(Numbers(im.output), delays) << im.errors;

      // Shown three times: ImageMagick counts the plays, ffmpeg reports the loop count.
      auto verbose = RunCommand(ShellQuote(identify) + " -verbose " + ShellQuote(gif) +
                                " | grep -m1 Iterations");
      EXPECT_NE(verbose.output.find("Iterations: 3"), std::string::npos) << verbose.output;
      auto loops = RunCommand(ShellQuote(ffmpeg) + " -nostdin -loglevel debug -i " +
                              ShellQuote(gif) + " -f null - 2>&1 | grep -m1 'Loop count'");
      EXPECT_NE(loops.output.find("Loop count is 2"), std::string::npos) << loops.output;

      // The backdrop, and nothing else, is transparent in every frame for both.
      auto ffRgba = FfmpegDecode(ffmpeg, gif, "rgba", dir);
      auto imRgba = MagickDecode(convert, gif, "rgba", dir);
      ASSERT_EQ(ffRgba.size(), 5 * pixels * 4);
      ASSERT_EQ(imRgba.size(), 5 * pixels * 4);
      for (size_t f = 0; f < 5; ++f) {
        std::vector<uint8_t> opaqueSource, opaqueFf, opaqueIm;
        for (size_t p = 0; p < pixels; ++p) {
          const uint8_t* a = &ffRgba[(f * pixels + p) * 4];
          const uint8_t* b = &imRgba[(f * pixels + p) * 4];
          bool backdrop = IsBackdrop(clip.frames[f], p);
          ASSERT_EQ(a[3], backdrop ? 0 : 255) << "ffmpeg frame " << f << " pixel " << p;
          ASSERT_EQ(b[3], backdrop ? 0 : 255) << "ImageMagick frame " << f << " pixel " << p;
          if (backdrop) continue;
          opaqueSource.insert(opaqueSource.end(), &clip.frames[f][3 * p],
                              &clip.frames[f][3 * p] + 3);
          opaqueFf.insert(opaqueFf.end(), a, a + 3);
          opaqueIm.insert(opaqueIm.end(), b, b + 3);
        }
        EXPECT_EQ(opaqueFf, opaqueIm) << "frame " << f;  // decoding is exact
        EXPECT_GT(Psnr(opaqueFf, opaqueSource), 33.0) << "frame " << f;
      }
    }

  // Play 1 writes no looping extension: shown once.
  GifOutputSettings once;
  std::string gif = dir.File("once.gif");
  ASSERT_TRUE(WriteClip(gif, clip, once).ok);
  auto count = RunCommand(ShellQuote(ffprobe) +
                          " -v error -ignore_loop 0 -count_frames -show_entries "
                          "stream=nb_read_frames -of csv=p=0 " +
                          ShellQuote(gif));
  EXPECT_EQ(Numbers(count.output), std::vector<int>{5}) << count.errors;
}

TEST(GifInterop, PictureQualityBesideImageMagickAndFfmpeg) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  const std::string convert = testing::ImageMagickConvert();
  if (convert.empty()) GTEST_SKIP() << "ImageMagick is not installed";
  TempDir dir;
  const int w = 320, h = 240, n = 12;
  testing::SyntheticPhotoScene scene(w, h, n);
  Clip clip{w, h, {}, std::vector<unsigned>(n, 1)};
  std::vector<uint8_t> all;
  for (int t = 0; t < n; ++t) {
    clip.frames.push_back(scene.Frame(t));
    all.insert(all.end(), clip.frames.back().begin(), clip.frames.back().end());
    char name[32];
    std::snprintf(name, sizeof name, "f%03d.bmp", t);
    testing::WriteBmp24(dir.File(name), w, h, clip.frames.back());
  }
  GifOutputSettings s;
  s.SetGlobalDelay(10);
  s.SetPlay(0);
  ASSERT_TRUE(WriteClip(dir.File("ours.gif"), clip, s).ok);
  s.SetGlobalColormap(false);
  ASSERT_TRUE(WriteClip(dir.File("ours_local.gif"), clip, s).ok);

  std::string frames = ShellQuote(dir.File("f%03d.bmp"));
  auto im =
      RunCommand(ShellQuote(convert) + " -delay 10 -loop 0 " + ShellQuote(dir.path().string()) +
                 "/f*.bmp " + ShellQuote(dir.File("magick.gif")));
  ASSERT_EQ(im.status, 0) << im.errors;
  auto ff = RunCommand(ShellQuote(ffmpeg) + " -nostdin -v error -y -framerate 10 -i " + frames +
                       " " + ShellQuote(dir.File("ffmpeg.gif")));
  ASSERT_EQ(ff.status, 0) << ff.errors;
  auto ffPalette = RunCommand(ShellQuote(ffmpeg) + " -nostdin -v error -y -framerate 10 -i " +
                              frames + " -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse' " +
                              ShellQuote(dir.File("ffmpeg_palette.gif")));
  ASSERT_EQ(ffPalette.status, 0) << ffPalette.errors;

  std::printf("PSNR over %d frames of %dx%d, decoded by ffmpeg (size in bytes):\n", n, w, h);
  double ours = 0, magick = 0;
  for (const char* name : {"ours", "ours_local", "magick", "ffmpeg", "ffmpeg_palette"}) {
    std::string gif = dir.File(std::string(name) + ".gif");
    auto decoded = FfmpegDecode(ffmpeg, gif, "rgb24", dir);
    ASSERT_EQ(decoded.size(), all.size()) << name;
    double psnr = Psnr(decoded, all);
    std::printf("  %-15s %6.2f dB  %8zu\n", name, psnr, ReadBytes(gif).size());
    if (std::string(name) == "ours") ours = psnr;
    if (std::string(name) == "magick") magick = psnr;
  }
  EXPECT_GT(ours, magick - 0.5);
  EXPECT_GT(ours, 36.0);
}

}  // namespace
}  // namespace quendrolix
