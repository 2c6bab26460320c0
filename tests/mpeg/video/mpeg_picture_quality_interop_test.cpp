// What players show of our MPEG-1 video: pictures through Create and avi2mpg decoded by
// ffmpeg and compared in RGB with the source, the slideshow coding's repeats, the largest
// pictures the bitstream can carry, and the buffer and constrained fields of the header
// checked against the stream itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "mpeg/video/bitstream.h"
#include "mpeg/video/engine_services.h"
#include "mpeg/video/mpeg_converter.h"
#include "platform/host/conversion_log.h"
#include "support/gif_fixtures.h"
#include "support/mpeg_video_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::ShellQuote;
using testing::TempDir;

// A grey ramp above eight colour bars (white, yellow, cyan, green, magenta, red, blue,
// black), each bar 16 pixels wide so that no block straddles two colours. Top-down RGB.
std::vector<uint8_t> RampAndBars(int w, int h) {
  static const uint8_t kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                      {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      if (y < h / 2) {
        p[0] = p[1] = p[2] = static_cast<uint8_t>(x * 255 / (w - 1));
      } else {
        const uint8_t* c = kBars[(x / 16) % 8];
        p[0] = c[0], p[1] = c[1], p[2] = c[2];
      }
    }
  return rgb;
}

struct Decoded {
  std::vector<std::vector<uint8_t>> frames;
  std::string messages;
};

// Decodes to rgb24 as a player shows it; the messages must stay empty for a clean stream.
// Through a pipe: read from a file, ffmpeg notes that it estimates the duration of any
// elementary video stream from its bit rate, its own streams included.
Decoded DecodeRgb(const std::string& ffmpeg, const std::string& file, int w, int h,
                  const TempDir& dir) {
  const std::string raw = dir.File("decoded.rgb");
  testing::CommandResult r = testing::RunCommand(
      "cat " + ShellQuote(file) + " | " + ShellQuote(ffmpeg) +
      " -nostdin -v warning -i pipe:0 -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -y " +
      ShellQuote(raw));
  Decoded d;
  d.messages = r.output + r.errors;
  std::vector<uint8_t> bytes = testing::ReadBytes(raw);
  const size_t frame = static_cast<size_t>(w) * h * 3;
  for (size_t at = 0; at + frame <= bytes.size(); at += frame)
    d.frames.emplace_back(bytes.begin() + at, bytes.begin() + at + frame);
  return d;
}

int LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int most = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    most = std::max(most, std::abs(a[i] - b[i]));
  return most;
}

TEST(MpegPictureQualityInteropTest, RampAndBarsThroughCreateAreShownWithinTwoLevels) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  const int w = 128, h = 96;
  const std::vector<uint8_t> source = RampAndBars(w, h);
  testing::WriteBmp24(dir.File("bars.bmp"), w, h, source);
  std::vector<uint8_t> grey(source.size());
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint8_t>(source[i] / 2 + 60);
  testing::WriteBmp24(dir.File("grey.bmp"), w, h, grey);
  // 25 frames/s, each picture held 10 frames: the slideshow coding.
  testing::WriteText(dir.File("p.ini"),
                     "[General]\nFPS=25\n[MPEG]\nFPS=5\n[Images]\n0=" + dir.File("bars.bmp") +
                         ",10\n1=" + dir.File("grey.bmp") + ",10\n");
  const std::string out = dir.File("bars.mpg");
  testing::CommandResult r =
      testing::RunCli({"--home", dir.File("home"), "create", dir.File("p.ini"), out});
  ASSERT_EQ(r.status, 0) << r.output << r.errors;

  Decoded d = DecodeRgb(ffmpeg, out, w, h, dir);
  EXPECT_EQ(d.messages, "");
  ASSERT_EQ(d.frames.size(), 20u);
  EXPECT_LE(LargestDifference(d.frames[0], source), 2);
  EXPECT_LE(LargestDifference(d.frames[10], grey), 2);
  // The repeats decode to exactly their I picture.
  for (int f = 1; f < 10; ++f) EXPECT_EQ(d.frames[f], d.frames[0]) << f;
  for (int f = 11; f < 20; ++f) EXPECT_EQ(d.frames[f], d.frames[10]) << f;

  // Two closed GOPs, each an I picture and nine repeats of a few bytes.
  testing::ParsedStream s = testing::ParseVideoStream(testing::ReadBytes(out));
  ASSERT_EQ(s.error, "");
  ASSERT_EQ(s.gops.size(), 2u);
  EXPECT_TRUE(s.gops[0].closed && s.gops[1].closed);
  EXPECT_EQ(s.gops[1].firstPicture, 10);
  ASSERT_EQ(s.pictures.size(), 20u);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(s.pictures[i].type, i % 10 == 0 ? kPictureI : kPictureP) << i;
    EXPECT_EQ(s.pictures[i].temporalReference, i % 10) << i;
    EXPECT_EQ(s.pictures[i].vbvDelay, 0xFFFF) << i;  // variable rate by design
    if (i % 10) {
      EXPECT_LT(s.pictures[i].bytes, 32u) << i;
    }
  }
  EXPECT_EQ(s.bitRateField, 0x3FFFF);
  EXPECT_EQ(s.constrained, 0);
}

TEST(MpegPictureQualityInteropTest, RampAndBarsThroughAvi2MpgAreShownWithinTwoLevels) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  const int w = 128, h = 96, frames = 12;
  const std::vector<uint8_t> source = RampAndBars(w, h);
  std::vector<uint8_t> raw;
  for (int f = 0; f < frames; ++f) raw.insert(raw.end(), source.begin(), source.end());
  testing::WriteBytes(dir.File("bars.rgb"), raw);
  testing::CommandResult made = testing::RunCommand(
      ShellQuote(ffmpeg) + " -nostdin -v error -f rawvideo -pix_fmt rgb24 -s 128x96 -r 25 -i " +
      ShellQuote(dir.File("bars.rgb")) + " -c:v rawvideo -pix_fmt bgr24 -y " +
      ShellQuote(dir.File("bars.avi")));
  ASSERT_EQ(made.status, 0) << made.errors;
  testing::CommandResult r = testing::RunCli({"--home", dir.File("home"), "avi2mpg", "--out-dir",
                                              dir.path().string(), dir.File("bars.avi")});
  ASSERT_EQ(r.status, 0) << r.output << r.errors;
  Decoded d = DecodeRgb(ffmpeg, dir.File("bars.mpg"), w, h, dir);
  EXPECT_EQ(d.messages, "");
  ASSERT_EQ(d.frames.size(), static_cast<size_t>(frames));
  for (int f = 0; f < frames; ++f) EXPECT_LE(LargestDifference(d.frames[f], source), 2) << f;
}

// The image list of one picture of w x h in memory, through the engine.
bool ConvertOne(int w, int h, const std::string& out, RecordingConversionLog& log) {
  testing::InMemoryImages images;
  images.Add("/p", testing::MovingPicture(w, h, 3));
  MpegEngineServices s;
  s.loadImage = images.Loader();
  ScopedMpegEngineServices scope(s);
  ScopedConversionLog logScope(log);
  return ConvertImageListToMpg({"/p"}, {2}, "", out, 0, 0, 0, 3, 0, 0);
}

TEST(MpegPictureQualityInteropTest, LargestPicturesDecodeAndLargerOnesAreRefused) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  // 2800 lines are 175 slices, the last start code 0xAF; 4080 columns the widest that
  // rounds up to a multiple of 16 below 4096 (and 64 lines, as ffmpeg's slice threads
  // want a row each).
  for (auto [w, h] : {std::pair{32, 2800}, std::pair{4080, 64}}) {
    RecordingConversionLog log;
    const std::string out = dir.File("big.m1v");
    ASSERT_TRUE(ConvertOne(w, h, out, log)) << w << "x" << h;
    testing::CommandResult r =
        testing::RunCommand("cat " + ShellQuote(out) + " | " + ShellQuote(ffmpeg) +
                            " -nostdin -v warning -i pipe:0 -f null -");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output + r.errors, "") << w << "x" << h;
    testing::ParsedStream s = testing::ParseVideoStream(testing::ReadBytes(out));
    EXPECT_EQ(s.error, "");
    EXPECT_EQ(s.horizontalSize, w);
    EXPECT_EQ(s.verticalSize, h);
  }
  for (auto [w, h] : {std::pair{32, 2801}, std::pair{32, 2816}, std::pair{4081, 32},
                      std::pair{4095, 32}, std::pair{32, 4095}}) {
    RecordingConversionLog log;
    const std::string out = dir.File("refused.m1v");
    EXPECT_FALSE(ConvertOne(w, h, out, log)) << w << "x" << h;
    EXPECT_FALSE(fs::exists(out)) << w << "x" << h;
    const std::string line =
        "Error: frame is too big (" + std::to_string(w) + "x" + std::to_string(h) + " pixels)";
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), line), log.lines.end())
        << w << "x" << h;
    EXPECT_EQ(std::find(log.lines.begin(), log.lines.end(), "Video completed"), log.lines.end());
  }
}

// The units of a stream as the decoder's buffer sees them: where each picture's data
// begins (with the headers before it) and where its start code ends, in bits.
struct Unit {
  double start, startCodeEnd;
};
std::vector<Unit> Units(const std::vector<uint8_t>& bytes) {
  std::vector<Unit> units;
  double pending = 0;
  bool open = false;
  for (size_t i = 0; i + 3 < bytes.size(); ++i) {
    if (bytes[i] || bytes[i + 1] || bytes[i + 2] != 1) continue;
    const uint8_t code = bytes[i + 3];
    if ((code == 0xB3 || code == 0xB8) && !open) {
      pending = 8.0 * i;
      open = true;
    } else if (code == 0x00) {
      units.push_back({open ? pending : 8.0 * i, 8.0 * (i + 4)});
      open = false;
    }
  }
  return units;
}

TEST(MpegPictureQualityInteropTest, BufferFieldsAreTrueToTheStreamAndConstrainedOnlyWithinLimits) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  struct Case {
    int w, h, videoKbps;
    bool constrained;
  };
  for (const Case& c :
       {Case{352, 288, 1150, true}, Case{352, 288, 3000, false}, Case{720, 576, 1150, false}}) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " at " +
                 std::to_string(c.videoKbps));
    testing::InMemoryImages images;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
      paths.push_back("/m/" + std::to_string(i));
      images.Add(paths.back(), testing::MovingPicture(c.w, c.h, i));
    }
    MpegEngineServices s;
    s.loadImage = images.Loader();
    ScopedMpegEngineServices scope(s);
    RecordingConversionLog log;
    ScopedConversionLog logScope(log);
    const std::string out = dir.File("c.m1v");
    VideoCoding coding;
    coding.videoRateKbps = c.videoKbps;
    ASSERT_TRUE(ConvertImageListToMpg(paths, std::vector<int>(40, 1), "", out, 0, 0, 0, 3, 0, 0,
                                      kImageListRate, kImageListScale, coding));
    const std::vector<uint8_t> bytes = testing::ReadBytes(out);
    testing::ParsedStream p = testing::ParseVideoStream(bytes, false);
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.constrained, c.constrained ? 1 : 0);
    EXPECT_EQ(p.bitRateField, c.videoKbps * 1000 / 400);
    if (c.constrained) {
      EXPECT_LE(p.vbvBufferSize, 20);
    }

    // A constant-rate stream: feeding it at its rate, every picture has arrived by the time
    // its vbv_delay says it leaves, the times step by one frame period, and the buffer
    // never holds more than vbv_buffer_size says.
    const double rate = p.bitRateField * 400.0, period = 1.0 / 25;
    std::vector<Unit> units = Units(bytes);
    ASSERT_EQ(units.size(), p.pictures.size());
    ASSERT_NE(p.pictures[0].vbvDelay, 0xFFFF);
    const double t0 = units[0].startCodeEnd / rate + p.pictures[0].vbvDelay / 90000.0;
    for (size_t k = 0; k < units.size(); ++k) {
      const double leaves = units[k].startCodeEnd / rate + p.pictures[k].vbvDelay / 90000.0;
      EXPECT_NEAR(leaves, t0 + k * period, 1.5 / 90000) << k;
      const double end = k + 1 < units.size() ? units[k + 1].start : 8.0 * bytes.size();
      EXPECT_LE(end / rate, leaves + 1.5 / 90000) << k;
      const double held = std::min(rate * leaves, 8.0 * bytes.size()) - units[k].start;
      EXPECT_LE(held, p.vbvBufferSize * 16384.0) << k;
    }
  }
}

}  // namespace
}  // namespace quendrolix
