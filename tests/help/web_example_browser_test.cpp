// The web-page tutorial's example page as a reader's browser meets it: headless Chromium
// loads the page the build made, with a reporting script added to a copy, and tells
// whether the GIF showed and each movie loaded and played.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <string>

#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

// Reports every picture and movie of the page as JSON in a <pre id="report">.
const char kReporter[] = R"(
<pre id="report">pending</pre>
<script>
const report = document.getElementById('report');
const seen = {images: {}, videos: {}};
function show() { report.textContent = JSON.stringify(seen); }
for (const img of document.images) {
  const note = () => {
    seen.images[img.getAttribute('src')] =
        {complete: img.complete, width: img.naturalWidth, height: img.naturalHeight};
    show();
  };
  img.addEventListener('load', note);
  img.addEventListener('error', note);
  if (img.complete) note();
}
for (const v of document.querySelectorAll('video')) {
  const name = v.getAttribute('src');
  const s = seen.videos[name] = {played: false, error: null};
  const note = () => {
    s.duration = v.duration; s.width = v.videoWidth; s.height = v.videoHeight;
    s.time = v.currentTime; s.videoBytes = v.webkitVideoDecodedByteCount || 0;
    s.audioBytes = v.webkitAudioDecodedByteCount || 0;
    show();
  };
  ['loadedmetadata', 'playing', 'timeupdate'].forEach(t => v.addEventListener(t, () => {
    if (t !== 'loadedmetadata') s.played = true;
    note();
  }));
  v.addEventListener('error', () => { s.error = v.error ? v.error.code : -1; show(); });
  v.muted = true;
  v.play().catch(e => { s.error = String(e); show(); });
}
show();
</script>
)";

// The object the report gives for `key` ("balls.mp4":{...}); empty when missing.
std::string Entry(const std::string& report, const std::string& key) {
  const size_t at = report.find("\"" + key + "\":{");
  if (at == std::string::npos) return {};
  return report.substr(at, report.find('}', at) - at + 1);
}

double Field(const std::string& entry, const std::string& name) {
  std::smatch m;
  if (!std::regex_search(entry, m, std::regex("\"" + name + "\":(-?[0-9.eE+]+)")))
    return std::nan("");
  return std::stod(m[1]);
}

TEST(WebExampleBrowserTest, TheGifShowsAndEachMovieLoadsAndPlays) {
  QUENDROLIX_REQUIRE_TOOL(chromium, "chromium");
  const fs::path made = BinaryDir() / "bin" / "VareZazu" / "Tutorials" / "web_example";
  ASSERT_TRUE(fs::exists(made / "example.htm")) << "the manual is built with quendrolix_help";
  TempDir dir;
  for (const auto& entry : fs::directory_iterator(made))
    fs::copy_file(entry.path(), dir.path() / entry.path().filename());
  std::string page = ReadText(made / "example.htm");
  const size_t end = page.rfind("</body>");
  ASSERT_NE(end, std::string::npos);
  page.insert(end, kReporter);
  WriteText(dir.File("example.htm"), page);

  const CommandResult run =
      RunCommand("timeout 90 " + ShellQuote(chromium) +
                 " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                 " --disable-background-networking --disable-component-update --disable-sync"
                 " --autoplay-policy=no-user-gesture-required --virtual-time-budget=8000"
                 " --user-data-dir=" +
                 ShellQuote(dir.File("profile")) + " --dump-dom " +
                 ShellQuote("file://" + dir.File("example.htm")));
  const size_t at = run.output.find("<pre id=\"report\">");
  ASSERT_NE(at, std::string::npos) << run.output << run.errors;
  const std::string report = run.output.substr(at, run.output.find("</pre>", at) - at);
  std::printf("browser report: %s\n", report.c_str());

  const std::string gif = Entry(report, "balls.gif");
  EXPECT_NE(gif.find("\"complete\":true"), std::string::npos) << report;
  EXPECT_EQ(Field(gif, "width"), 160) << report;
  EXPECT_EQ(Field(gif, "height"), 120) << report;
  for (const char* movie : {"balls.mp4", "balls-from-mpg.mp4"}) {
    SCOPED_TRACE(movie);
    const std::string v = Entry(report, movie);
    ASSERT_FALSE(v.empty()) << report;
    EXPECT_NE(v.find("\"error\":null"), std::string::npos) << v;
    EXPECT_NE(v.find("\"played\":true"), std::string::npos) << v;
    EXPECT_EQ(Field(v, "width"), 160) << v;
    EXPECT_EQ(Field(v, "height"), 120) << v;
    // The eight balls at two frames each, 10 frames a second; the 2 s chord ends with them.
    EXPECT_NEAR(Field(v, "duration"), 1.6, 0.1) << v;
    EXPECT_GT(Field(v, "time"), 0) << v;
    EXPECT_GT(Field(v, "videoBytes"), 0) << v;
    EXPECT_GT(Field(v, "audioBytes"), 0) << v;
  }
}

}  // namespace
}  // namespace quendrolix
