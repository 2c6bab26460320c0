// What ffmpeg writes we read as ffmpeg decodes it; what we write ffmpeg decodes cleanly.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/vfw/codec.h"
#include "platform/vfw/pixel_convert.h"
#include "platform/vfw/vfw.h"
#include "platform/vfw/wav_file.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
using namespace testing;

// Writes frames of MakeTestFrame at `bits` as top-down raw rows for ffmpeg's rawvideo
// input: bgr24, or rgb555le for 16 bits.
std::string WriteRawFrames(const TempDir& dir, int w, int h, int bits, int count) {
  const std::string path = dir.File("source.raw");
  Bytes all;
  for (int t = 0; t < count; ++t) {
    HDIB dib = MakeTestFrame(w, h, bits, t);
    const size_t stride = DibRowStride(w, bits);
    const size_t row = static_cast<size_t>(w) * (bits / 8);
    for (int y = h - 1; y >= 0; --y) {
      const uint8_t* p = DibPixels(*dib) + static_cast<size_t>(y) * stride;
      all.insert(all.end(), p, p + row);
    }
  }
  WriteBytes(path, all);
  return path;
}

// ffmpeg's messages less two notices it gives for every file of the kind, ours or not:
// the deprecated full-range YUV format of Motion JPEG, and the channel layout it guesses
// for sound formats that do not carry one.
std::string Unexpected(const std::string& messages) {
  std::string kept, line;
  for (size_t at = 0; at < messages.size();) {
    const size_t end = messages.find('\n', at);
    line = messages.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? messages.size() : end + 1;
    if (line.find("deprecated pixel format used") != std::string::npos ||
        line.find("Guessed Channel Layout") != std::string::npos)
      continue;
    kept += line + "\n";
  }
  return kept;
}

// ffmpeg's decode of the video of `avi` as bgr24 frames.
std::vector<Bytes> FfmpegFrames(const std::string& ffmpeg, const TempDir& dir,
                                const std::string& avi, int w, int h, std::string* warnings) {
  const std::string out = dir.File("decoded.raw");
  const CommandResult r =
      RunCommand(ShellQuote(ffmpeg) + " -nostdin -y -v warning -i " + ShellQuote(avi) +
                 " -map 0:v -f rawvideo -pix_fmt bgr24 " + ShellQuote(out));
  if (warnings) *warnings = Unexpected(r.errors);
  std::vector<Bytes> frames;
  if (r.status != 0) return frames;
  const Bytes all = ReadBytes(out);
  const size_t size = static_cast<size_t>(w) * h * 3;
  for (size_t at = 0; at + size <= all.size(); at += size)
    frames.emplace_back(all.begin() + at, all.begin() + at + size);
  return frames;
}

Bytes FfmpegAudio(const std::string& ffmpeg, const TempDir& dir, const std::string& file) {
  const std::string out = dir.File("audio.raw");
  const CommandResult r = RunCommand(ShellQuote(ffmpeg) + " -nostdin -y -v error -i " +
                                     ShellQuote(file) + " -map 0:a -f s16le " + ShellQuote(out));
  return r.status == 0 ? ReadBytes(out) : Bytes{};
}

Bytes OurAudio(const std::string& file) {
  ScopedAviFile f;
  if (AVIFileOpen(f.out(), file, OF_READ) != AVIERR_OK) return {};
  ScopedAviStream s;
  if (AVIFileGetStream(f.get(), s.out(), streamtypeAUDIO, 0) != AVIERR_OK) return {};
  LONG bytes = 0, samples = 0;
  const LONG length = AVIStreamLength(s.get());
  AVIStreamRead(s.get(), 0, length, nullptr, 0, &bytes, &samples);
  Bytes out(static_cast<size_t>(bytes));
  if (AVIStreamRead(s.get(), 0, length, out.data(), bytes, &bytes, &samples) != AVIERR_OK)
    return {};
  return out;
}

struct FfmpegCase {
  const char* name;
  const char* encode;  // output options
  int w, h;
  bool exact;
  bool sound;
};

TEST(AviInteropTest, ReadsWhatFfmpegWritesFrameForFrame) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  const FfmpegCase cases[] = {
      {"pal8", "-c:v rawvideo -pix_fmt pal8", 30, 18, true, false},
      {"rgb555", "-c:v rawvideo -pix_fmt rgb555le", 30, 18, true, false},
      {"bgr24 with sound", "-c:v rawvideo -pix_fmt bgr24", 30, 18, true, true},
      {"bgra", "-c:v rawvideo -pix_fmt bgra", 30, 18, true, false},
      {"msvideo1", "-c:v msvideo1 -g 4", 64, 48, true, false},
      {"mjpeg", "-c:v mjpeg -pix_fmt yuvj420p -q:v 2", 64, 48, false, true},
  };
  for (const FfmpegCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string raw = WriteRawFrames(dir, c.w, c.h, 24, 8);
    const std::string avi = dir.File("ffmpeg.avi");
    std::string cmd = ShellQuote(ffmpeg) + " -nostdin -y -v error -f rawvideo -pix_fmt bgr24 -s " +
                      std::to_string(c.w) + "x" + std::to_string(c.h) + " -r 10 -i " +
                      ShellQuote(raw);
    if (c.sound)
      cmd += " -f lavfi -i sine=frequency=440:sample_rate=22050:duration=0.8 -c:a pcm_s16le";
    cmd += " " + std::string(c.encode) + " " + ShellQuote(avi);
    const CommandResult made = RunCommand(cmd);
    ASSERT_EQ(made.status, 0) << made.errors;

    const auto theirs = FfmpegFrames(ffmpeg, dir, avi, c.w, c.h, nullptr);
    const auto ours = ReadFramesBgr(avi);
    ASSERT_EQ(theirs.size(), 8u);
    ASSERT_EQ(ours.size(), theirs.size());
    for (size_t i = 0; i < ours.size(); ++i) {
      if (c.exact)
        EXPECT_EQ(ours[i], theirs[i]) << "frame " << i;
      else
        EXPECT_GT(Psnr(ours[i], theirs[i]), 29) << "frame " << i;  // other upsampling
    }
    if (c.sound) {
      const Bytes a = OurAudio(avi), b = FfmpegAudio(ffmpeg, dir, avi);
      EXPECT_EQ(a.size(), 2u * 17640);
      EXPECT_EQ(a, b);
    }
  }
}

struct OurCase {
  FOURCC handler;
  int bits;
  int quality;
};

TEST(AviInteropTest, FfmpegDecodesEveryCodecWeWrite) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  const OurCase cases[] = {
      {kHandlerFullFrames, 8, 0},  {kHandlerFullFrames, 16, 0}, {kHandlerFullFrames, 24, 0},
      {kHandlerFullFrames, 32, 0}, {kHandlerVideo1, 8, 10000},  {kHandlerVideo1, 16, 7000},
      {kHandlerVideo1, 24, 10000}, {kHandlerRle, 8, 0},         {kHandlerMjpeg, 24, 9000}};
  for (const OurCase& c : cases) {
    SCOPED_TRACE(FourCCText(c.handler) + " " + std::to_string(c.bits));
    TempDir dir;
    const int w = 64, h = 48, count = 12;
    std::vector<HDIB> frames;
    for (int t = 0; t < count; ++t) frames.push_back(MakeTestFrame(w, h, c.bits, t / 2));
    const std::string avi = dir.File("ours.avi");
    ASSERT_EQ(WriteTestAvi(avi, frames, OptionsFor(c.handler, c.quality, 5), 10), AVIERR_OK);

    std::string warnings;
    const auto theirs = FfmpegFrames(ffmpeg, dir, avi, w, h, &warnings);
    EXPECT_EQ(warnings, "");
    ASSERT_EQ(theirs.size(), static_cast<size_t>(count));
    const CommandResult probe =
        RunCommand(ShellQuote(ffprobe) + " -v error -show_entries format=duration -of csv=p=0 " +
                   ShellQuote(avi));
    EXPECT_NEAR(std::atof(probe.output.c_str()), 1.2, 0.001) << probe.output;

    const auto ours = ReadFramesBgr(avi);
    ASSERT_EQ(ours.size(), theirs.size());
    for (int i = 0; i < count; ++i) {
      const Bytes source = DibToBgrTopDown(*frames[i]);
      if (c.handler == kHandlerMjpeg) {
        EXPECT_GT(Psnr(ours[i], theirs[i]), 29) << "frame " << i;
        EXPECT_GT(Psnr(theirs[i], source), 18) << "frame " << i;
      } else {
        // Same bits decoded by two decoders: the same picture.
        EXPECT_EQ(ours[i], theirs[i]) << "frame " << i;
      }
      if (c.handler == kHandlerFullFrames || c.handler == kHandlerRle) {
        EXPECT_EQ(theirs[i], source) << "frame " << i;
      }
    }
  }
}

// Players decode MS Video 1 in whole 4x4 blocks only (ffmpeg's encoder refuses other
// sizes outright), so a picture whose width or height is not a multiple of 4 is refused
// rather than written with edges no player shows; the next size down is taken and
// decodes as ffmpeg decodes it.
TEST(AviInteropTest, Video1RefusesSizesThatAreNotMultiplesOfFour) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  for (const auto& [w, h] : {std::pair{62, 48}, std::pair{64, 46}, std::pair{61, 45}}) {
    const std::string avi = dir.File("odd.avi");
    std::vector<HDIB> one;
    one.push_back(MakeTestFrame(w, h, 24, 0));
    EXPECT_EQ(WriteTestAvi(avi, one, OptionsFor(kHandlerVideo1)), AVIERR_BADFORMAT)
        << w << "x" << h;
    EXPECT_FALSE(std::filesystem::exists(avi));
  }
  const int w = 60, h = 44;
  std::vector<HDIB> frames;
  for (int t = 0; t < 4; ++t) frames.push_back(MakeTestFrame(w, h, 24, t));
  const std::string avi = dir.File("even.avi");
  ASSERT_EQ(WriteTestAvi(avi, frames, OptionsFor(kHandlerVideo1, 10000, 2), 10), AVIERR_OK);
  std::string warnings;
  const auto theirs = FfmpegFrames(ffmpeg, dir, avi, w, h, &warnings);
  EXPECT_EQ(warnings, "");
  const auto ours = ReadFramesBgr(avi);
  ASSERT_EQ(theirs.size(), 4u);
  ASSERT_EQ(ours.size(), 4u);
  for (size_t i = 0; i < ours.size(); ++i) {
    EXPECT_EQ(ours[i], theirs[i]) << "frame " << i;
    EXPECT_GT(Psnr(ours[i], DibToBgrTopDown(*frames[i])), 30) << "frame " << i;
  }
}

TEST(AviInteropTest, MergedSoundPlaysInFfmpeg) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  std::vector<HDIB> frames;
  for (int t = 0; t < 10; ++t) frames.push_back(MakeTestFrame(32, 32, 24, t));
  const std::string video = dir.File("video.avi");
  ASSERT_EQ(WriteTestAvi(video, frames, OptionsFor(kHandlerVideo1), 10), AVIERR_OK);
  const std::string wav = dir.File("sound.wav");
  Bytes pcm(22050 * 4);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>((i * 7) ^ (i >> 5));
  WavWriter writer;
  ASSERT_TRUE(writer.Open(wav, PcmFormat(22050, 2, 16)));
  ASSERT_TRUE(writer.Write(pcm.data(), pcm.size()));
  ASSERT_TRUE(writer.Close());
  ScopedAviFile vf, sf;
  ASSERT_EQ(AVIFileOpen(vf.out(), video, OF_READ), AVIERR_OK);
  ASSERT_EQ(AVIFileOpen(sf.out(), wav, OF_READ), AVIERR_OK);
  ScopedAviStream vs, ss;
  ASSERT_EQ(AVIFileGetStream(vf.get(), vs.out(), 0, 0), AVIERR_OK);
  ASSERT_EQ(AVIFileGetStream(sf.get(), ss.out(), 0, 0), AVIERR_OK);
  const PAVISTREAM streams[2] = {vs.get(), ss.get()};
  const std::string merged = dir.File("merged.avi");
  ASSERT_EQ(AVISaveV(merged, nullptr, nullptr, 2, streams, nullptr), AVIERR_OK);
  std::string warnings;
  EXPECT_EQ(FfmpegFrames(ffmpeg, dir, merged, 32, 32, &warnings).size(), 10u);
  EXPECT_EQ(warnings, "");
  EXPECT_EQ(FfmpegAudio(ffmpeg, dir, merged), pcm);
}

TEST(AviInteropTest, Video1AgainstFfmpegsEncoder) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  const int w = 160, h = 120, count = 30;
  std::vector<HDIB> frames;
  for (int t = 0; t < count; ++t) frames.push_back(MakeTestFrame(w, h, 16, t));
  auto measure = [&](const std::string& avi, double& psnr) {
    const auto decoded = FfmpegFrames(ffmpeg, dir, avi, w, h, nullptr);
    psnr = 0;
    if (decoded.size() != static_cast<size_t>(count)) return false;
    for (int i = 0; i < count; ++i) psnr += Psnr(decoded[i], DibToBgrTopDown(*frames[i])) / count;
    return true;
  };
  const std::string raw = WriteRawFrames(dir, w, h, 16, count);
  const std::string theirs = dir.File("theirs.avi");
  const CommandResult made = RunCommand(
      ShellQuote(ffmpeg) + " -nostdin -y -v error -f rawvideo -pix_fmt rgb555le -s 160x120 " +
      "-r 10 -i " + ShellQuote(raw) + " -c:v msvideo1 -g 20 " + ShellQuote(theirs));
  ASSERT_EQ(made.status, 0) << made.errors;
  double psnrTheirs = 0;
  ASSERT_TRUE(measure(theirs, psnrTheirs));
  std::printf("MS Video 1, %d frames of %dx%d, a key frame every 20:\n", count, w, h);
  std::printf("  ffmpeg's encoder        %6.2f dB %8ju bytes\n", psnrTheirs,
              static_cast<uintmax_t>(std::filesystem::file_size(theirs)));
  double psnrBest = 0;
  for (int quality : {10000, 8500, 7500, 5000}) {
    const std::string ours = dir.File("ours.avi");
    ASSERT_EQ(WriteTestAvi(ours, frames, OptionsFor(kHandlerVideo1, quality, 20), 10), AVIERR_OK);
    double psnr = 0;
    ASSERT_TRUE(measure(ours, psnr));
    if (quality == 10000) psnrBest = psnr;
    std::printf("  ours at quality %5d   %6.2f dB %8ju bytes\n", quality, psnr,
                static_cast<uintmax_t>(std::filesystem::file_size(ours)));
  }
  // At the best quality (the program's default) ours must not look worse.
  EXPECT_GE(psnrBest, psnrTheirs - 0.5);
}

}  // namespace
}  // namespace quendrolix
