// Sound and pictures in step from the first picture to the last, an hour later: a project
// whose sound clicks at every picture change, built on each road, decoded by ffmpeg. Each
// click must sound within one frame of the picture change it marks.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/sound_timing_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

const char* const kPhoto = "/usr/share/backgrounds/mate/nature/Aqua.jpg";

// A mono 16-bit WAV of `seconds` of silence with a 4 ms click (a 1 kHz square wave) at
// each of `clicks` (seconds).
void WriteClickWav(const std::string& path, int rate, double seconds,
                   const std::vector<double>& clicks) {
  const uint32_t frames = static_cast<uint32_t>(seconds * rate);
  std::vector<int16_t> pcm(frames, 0);
  for (double t : clicks) {
    const size_t start = static_cast<size_t>(std::llround(t * rate));
    const size_t length = static_cast<size_t>(rate / 250);
    for (size_t i = 0; i < length && start + i < pcm.size(); ++i)
      pcm[start + i] = ((i * 2000 / rate) % 2) ? -20000 : 20000;
  }
  std::vector<uint8_t> bytes;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto put16 = [&](uint16_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
  };
  const uint32_t dataBytes = frames * 2;
  bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
  put32(36 + dataBytes);
  bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(16);
  put16(1);
  put16(1);
  put32(static_cast<uint32_t>(rate));
  put32(static_cast<uint32_t>(rate) * 2);
  put16(2);
  put16(16);
  bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
  put32(dataBytes);
  const auto* raw = reinterpret_cast<const uint8_t*>(pcm.data());
  bytes.insert(bytes.end(), raw, raw + dataBytes);
  WriteBytes(path, bytes);
}

// Onsets of clicks in decoded sound: the first loud sample after at least 0.2 s of quiet.
std::vector<double> ClickTimes(const DecodedMovie& m) {
  std::vector<double> times;
  const size_t quiet = static_cast<size_t>(m.pcmRate / 5);
  size_t lastLoud = 0;
  bool any = false;
  for (size_t i = 0; i < m.pcm.size(); ++i) {
    if (std::abs(m.pcm[i]) < 6000) continue;
    if (!any || i - lastLoud > quiet) times.push_back(m.audioStart + double(i) / m.pcmRate);
    lastLoud = i;
    any = true;
  }
  return times;
}

// Times at which the decoded picture changes (a large step in brightness).
std::vector<double> PictureChanges(const DecodedMovie& m) {
  std::vector<double> times;
  for (size_t i = 1; i < m.frameLuma.size(); ++i)
    if (std::abs(m.frameLuma[i] - m.frameLuma[i - 1]) > 60) times.push_back(m.frameTimes[i]);
  return times;
}

struct SyncCase {
  int fps;
  const char* mpgRate;  // the MPG Output Settings' frame rate
};

class SoundSync : public ::testing::TestWithParam<SyncCase> {};

TEST_P(SoundSync, ClicksSoundWithTheirPictureChangesAtTheStartAndAnHourLater) {
  if (FindTool("ffmpeg").empty() || FindTool("ffprobe").empty())
    GTEST_SKIP() << "ffmpeg is not installed";
  const std::string convert = ImageMagickConvert();
  if (convert.empty()) GTEST_SKIP() << "ImageMagick is not installed";
  if (!fs::exists(kPhoto)) GTEST_SKIP() << kPhoto << " is missing (mate-backgrounds)";
  TempDir dir;
  const std::string home = dir.File("home");
  const SyncCase& c = GetParam();
  // A bright and a dark print of a photograph take turns, so every change is a large step.
  const std::string bright = dir.File("a.bmp"), dark = dir.File("b.bmp");
  for (const auto& [out, look] : {std::pair{bright, "-fill white -colorize 70%"},
                                  std::pair{dark, "-evaluate multiply 0.25"}}) {
    ASSERT_EQ(RunCommand(ShellQuote(convert) + " " + ShellQuote(kPhoto) + " -resize 64x48! " +
                         look + " -type TrueColor BMP3:" + ShellQuote(out))
                  .status,
              0);
  }
  // Changes after 1 s, 2.5 s, then an hour in, then a second later; counts chosen so the
  // times are not whole output frames at every rate.
  const int f = c.fps;
  const std::vector<int> counts = {f, f * 3 / 2 + 1, f * 3600 - f * 5 / 2, f + 1, f};
  std::vector<double> changes;
  double frames = 0;
  for (size_t i = 0; i + 1 < counts.size(); ++i) changes.push_back((frames += counts[i]) / f);
  const double total = (frames + counts.back()) / f;
  const std::string click = dir.File("clicks.wav");
  WriteClickWav(click, 8000, total + 0.5, changes);

  std::vector<std::string> args = {
      "--home",          home,      "project", "new", dir.File("p.qdx"), "--fps",
      std::to_string(f), "--sound", click};
  for (size_t i = 0; i < counts.size(); ++i)
    args.push_back((i % 2 ? dark : bright) + "," + std::to_string(counts[i]));
  ASSERT_EQ(RunCli(args).status, 0);
  ASSERT_EQ(RunCli({"--home", home, "mpg-settings", std::string("FPS=") + c.mpgRate}).status, 0);

  const double frame = 1.0 / f;
  for (const char* extension : {".mpg", ".avi", ".mp4"}) {
    SCOPED_TRACE(extension);
    const std::string movie = dir.File(std::string("movie") + extension);
    const CommandResult built = RunCli({"--home", home, "create", dir.File("p.qdx"), movie});
    ASSERT_EQ(built.status, 0) << built.output << built.errors;
    const DecodedMovie m = DecodeMovie(movie, 8000, true);
    ASSERT_TRUE(m.ok) << m.why;
    const std::vector<double> pictures = PictureChanges(m);
    const std::vector<double> sounds = ClickTimes(m);
    ASSERT_EQ(pictures.size(), changes.size());
    ASSERT_EQ(sounds.size(), changes.size());
    for (size_t k = 0; k < changes.size(); ++k) {
      SCOPED_TRACE(::testing::Message() << "change at " << changes[k] << " s");
      EXPECT_NEAR(sounds[k], pictures[k], frame);
      // And where the project puts it, from the first picture on.
      EXPECT_NEAR(pictures[k] - m.frameTimes.front(), changes[k], frame);
    }
    fs::remove(movie);
  }
}

INSTANTIATE_TEST_SUITE_P(ProjectRates, SoundSync,
                         ::testing::Values(SyncCase{10, "project"}, SyncCase{24, "project"},
                                           SyncCase{25, "project"}, SyncCase{30, "29.97"}),
                         [](const ::testing::TestParamInfo<SyncCase>& info) {
                           return std::to_string(info.param.fps) + "fps";
                         });

}  // namespace
}  // namespace quendrolix
