// An MP4 of a project with sound, as a browser's video element meets it: ffprobe's
// streams and duration, then headless Chromium loading a small page whose script reports
// the duration, the picture size, what it decoded and that it played.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/avi_fixtures.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

const char kPage[] = R"(<!doctype html>
<html><body>
<video id="v" muted playsinline src="movie.mp4"></video>
<pre id="report">pending</pre>
<script>
const v = document.getElementById('v'), report = document.getElementById('report');
const seen = {played: false, error: null};
function show() {
  seen.duration = v.duration;
  seen.width = v.videoWidth;
  seen.height = v.videoHeight;
  seen.time = v.currentTime;
  seen.videoBytes = v.webkitVideoDecodedByteCount || 0;
  seen.audioBytes = v.webkitAudioDecodedByteCount || 0;
  report.textContent = JSON.stringify(seen);
}
['loadedmetadata', 'playing', 'timeupdate', 'ended'].forEach(t => v.addEventListener(t, () => {
  if (t === 'playing' || t === 'timeupdate') seen.played = true;
  show();
}));
v.addEventListener('error', () => { seen.error = v.error ? v.error.code : -1; show(); });
v.play().catch(e => { seen.error = String(e); show(); });
</script>
</body></html>
)";

// A number of the report ("duration":6.2 -> 6.2); NaN when missing.
double Field(const std::string& report, const std::string& name) {
  std::smatch m;
  if (!std::regex_search(report, m, std::regex("\"" + name + "\":(-?[0-9.eE+]+)")))
    return std::nan("");
  return std::stod(m[1]);
}

TEST(Mp4BrowserTest, AProjectWithSoundPlaysInAVideoElement) {
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  QUENDROLIX_REQUIRE_TOOL(chromium, "chromium");
  TempDir dir;
  // The project: four pictures held 5, 10, 5 and 11 frames at 10 frames/s (3.1 s), and a
  // sound of 3.1 s at 22.05 kHz, built by Create as a user builds it.
  const int counts[] = {5, 10, 5, 11};
  WriteToneWav(dir.File("tone.wav"), 22050, 1, 3.1);
  std::vector<std::string> args = {
      "--home", dir.File("home"), "project",           "new", dir.File("show.qdx"), "--fps",
      "10",     "--sound",        dir.File("tone.wav")};
  for (int i = 0; i < 4; ++i) {
    const std::string picture = dir.File("p" + std::to_string(i) + ".bmp");
    WritePatternBmp(picture, 320, 240, 9 * i);
    args.push_back(picture + "," + std::to_string(counts[i]));
  }
  ASSERT_EQ(RunCli(args).status, 0);
  const std::string movie = dir.File("movie.mp4");
  const CommandResult made =
      RunCli({"--home", dir.File("home"), "create", dir.File("show.qdx"), movie});
  ASSERT_EQ(made.status, 0) << made.errors;

  const CommandResult probe =
      RunCommand(ShellQuote(ffprobe) + " -v error -show_entries " +
                 "stream=codec_name,width,height,sample_rate,channels:format=duration " +
                 "-of csv=p=0 " + ShellQuote(movie));
  EXPECT_EQ(probe.errors, "");
  EXPECT_NE(probe.output.find("h264,320,240"), std::string::npos) << probe.output;
  EXPECT_NE(probe.output.find("aac,22050,1"), std::string::npos) << probe.output;
  const std::string lastLine =
      probe.output.substr(probe.output.rfind('\n', probe.output.size() - 2) + 1);
  EXPECT_NEAR(std::atof(lastLine.c_str()), 3.1, 0.05) << probe.output;

  WriteText(dir.File("page.html"), kPage);
  // The page runs on virtual time: the script's events come without waiting for real
  // playback, and the run ends when the budget is spent.
  const std::string profile = dir.File("profile");
  const CommandResult run = RunCommand(
      "timeout 90 " + ShellQuote(chromium) +
      " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
      " --disable-background-networking --disable-component-update --disable-sync"
      " --autoplay-policy=no-user-gesture-required --virtual-time-budget=8000"
      " --user-data-dir=" +
      ShellQuote(profile) + " --dump-dom " + ShellQuote("file://" + dir.File("page.html")));
  const size_t at = run.output.find("<pre id=\"report\">");
  ASSERT_NE(at, std::string::npos) << run.output << run.errors;
  const std::string report = run.output.substr(at, run.output.find("</pre>", at) - at);
  std::printf("browser report: %s\n", report.c_str());
  EXPECT_EQ(report.find("pending"), std::string::npos) << "the page saw no event: " << report;
  EXPECT_NE(report.find("\"error\":null"), std::string::npos) << report;
  EXPECT_NE(report.find("\"played\":true"), std::string::npos) << report;
  EXPECT_NEAR(Field(report, "duration"), 3.1, 0.05) << report;
  EXPECT_EQ(Field(report, "width"), 320) << report;
  EXPECT_EQ(Field(report, "height"), 240) << report;
  EXPECT_GT(Field(report, "time"), 0) << report;
  EXPECT_GT(Field(report, "videoBytes"), 0) << report;
  EXPECT_GT(Field(report, "audioBytes"), 0) << report;
}

}  // namespace
}  // namespace quendrolix
