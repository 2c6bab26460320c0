// AVIs other programs write, made by ffmpeg in the test itself with each codec and sound
// format users meet, through every tool: extract, extract-sound (as stored and decoded),
// avi2mpg with its sound, join.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/gdi/dib.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

struct Foreign {
  const char* name;
  const char* video;  // ffmpeg's options for the video stream
  const char* sound;  // ... and the sound stream
  int soundRate;
  const char* soundCodec;  // what ffprobe calls the sound
  int width = 320, height = 240;
};

// Every codec the libraries give ffmpeg an encoder for, under the codes AVIs carry, with
// MP3, AC-3, ADPCM and PCM sound at 48 kHz among them.
const Foreign kForeign[] = {
    {"xvid_mp3", "-c:v mpeg4 -vtag XVID -q:v 4", "-c:a libmp3lame -b:a 128k", 44100, "mp3"},
    {"divx_ac3", "-c:v mpeg4 -vtag DIVX -bf 2 -q:v 4", "-c:a ac3 -b:a 192k", 48000, "ac3"},
    {"dx50_pcm48", "-c:v mpeg4 -vtag DX50 -q:v 6", "-c:a pcm_s16le", 48000, "pcm_s16le"},
    {"h264_mp3", "-c:v libx264 -preset veryfast", "-c:a libmp3lame -b:a 96k", 44100, "mp3"},
    {"h264_ac3", "-c:v libx264 -preset veryfast -bf 3", "-c:a ac3", 48000, "ac3"},
    {"hfyu_adpcm", "-c:v huffyuv", "-c:a adpcm_ms", 44100, "adpcm_ms"},
    {"ffv1_pcm48", "-c:v ffv1", "-c:a pcm_s16le", 48000, "pcm_s16le"},
    {"cvid_ima", "-c:v cinepak", "-c:a adpcm_ima_wav", 22050, "adpcm_ima_wav"},
    {"div3_mp3", "-c:v msmpeg4 -q:v 4", "-c:a libmp3lame", 32000, "mp3"},
    {"mp42_s24", "-c:v msmpeg4v2 -q:v 4", "-c:a pcm_s24le -ac 2", 48000, "pcm_s24le"},
    {"dv_pcm", "-c:v dvvideo -pix_fmt yuv420p", "-c:a pcm_s16le", 48000, "pcm_s16le", 720, 576},
};

class ForeignAviInteropTest : public ::testing::TestWithParam<Foreign> {
 protected:
  void SetUp() override {
    ffmpeg_ = FindTool("ffmpeg");
    ffprobe_ = FindTool("ffprobe");
    if (ffmpeg_.empty() || ffprobe_.empty()) GTEST_SKIP() << "ffmpeg is not installed";
    avi_ = dir_.File(std::string(GetParam().name) + ".avi");
    // Two seconds of a moving test picture at 25 frames/s and a tone.
    const CommandResult made = RunCommand(
        ShellQuote(ffmpeg_) + " -nostdin -v error -f lavfi -i testsrc2=size=" +
        std::to_string(GetParam().width) + "x" + std::to_string(GetParam().height) + ":rate=25 " +
        "-f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(GetParam().soundRate) +
        " -t 2 " + GetParam().video + " " + GetParam().sound + " " + ShellQuote(avi_));
    ASSERT_EQ(made.status, 0) << made.errors;
  }

  std::string Probe(const std::string& args, const std::string& file) {
    return RunCommand(ShellQuote(ffprobe_) + " -v error " + args + " -of csv=p=0 " +
                      ShellQuote(file))
        .output;
  }
  double Duration(const std::string& file, const std::string& stream) {
    return std::atof(
        Probe("-select_streams " + stream + " -show_entries stream=duration", file).c_str());
  }

  TempDir dir_;
  std::string ffmpeg_, ffprobe_, avi_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// A written frame bitmap as top-down BGR triples.
Bytes BitmapBgr(const std::string& path, int* width, int* height) {
  const Bytes file = ReadBytes(path);
  if (file.size() < 54) return {};
  BITMAPINFOHEADER h;
  std::memcpy(&h, file.data() + 14, sizeof h);
  uint32_t offset;
  std::memcpy(&offset, file.data() + 10, 4);
  if (h.biBitCount != 24 || h.biHeight <= 0) return {};
  *width = h.biWidth;
  *height = h.biHeight;
  const size_t stride = DibRowStride(h.biWidth, 24), row = size_t(3) * h.biWidth;
  Bytes out;
  for (int y = h.biHeight - 1; y >= 0; --y) {
    const size_t at = offset + stride * y;
    if (at + row > file.size()) return {};
    out.insert(out.end(), file.begin() + at, file.begin() + at + row);
  }
  return out;
}

// Every frame, as ffmpeg decodes it, equals what extract writes: the samples stored empty
// (a frame dropped by the writer) show the frame before them, as AVI players do.
TEST_P(ForeignAviInteropTest, ExtractGivesEveryFrameAsFfmpegDecodesIt) {
  const std::string frames = dir_.File("frames");
  const CommandResult r = RunCli({"--home", dir_.File("home"), "extract", avi_, "--dir", frames});
  ASSERT_EQ(r.status, 0) << r.errors;
  // The stored samples that hold a picture, by number (dts is the sample number in an AVI).
  std::vector<int> stored;
  for (const std::string& line : Lines(Probe("-select_streams v -show_entries packet=dts", avi_)))
    stored.push_back(std::atoi(line.c_str()));
  ASSERT_FALSE(stored.empty());
  const int samples = stored.back() + 1;
  const std::string raw = dir_.File("ffmpeg.raw");
  const CommandResult decoded =
      RunCommand(ShellQuote(ffmpeg_) + " -nostdin -y -v error -i " + ShellQuote(avi_) +
                 " -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt bgr24 " + ShellQuote(raw));
  ASSERT_EQ(decoded.status, 0) << decoded.errors;
  const Bytes all = ReadBytes(raw);
  const size_t frameBytes = size_t{3} * GetParam().width * GetParam().height;
  ASSERT_EQ(all.size(), stored.size() * frameBytes);
  // Two multi-stream files name their frames Img02_0001.bmp and on.
  int written = 0;
  double worst = 99;
  size_t picture = 0;
  for (int i = 0; i < samples; ++i) {
    while (picture + 1 < stored.size() && stored[picture + 1] <= i) ++picture;
    char name[32];
    std::snprintf(name, sizeof name, "Img02_%04d.bmp", i + 1);
    int w = 0, h = 0;
    const Bytes ours = BitmapBgr((fs::path(frames) / name).string(), &w, &h);
    ASSERT_EQ(ours.size(), frameBytes) << name;
    const Bytes theirs(all.begin() + picture * frameBytes,
                       all.begin() + (picture + 1) * frameBytes);
    worst = std::min(worst, Psnr(ours, theirs));
    ++written;
  }
  EXPECT_EQ(written, samples);
  EXPECT_EQ(r.output, std::to_string(samples) + "\n");
  // The same decoder and the same colour conversion: identical in practice; 45 dB leaves
  // room for a library that rounds a colour differently.
  EXPECT_GE(worst, 45.0);
  RecordProperty("worst_psnr", std::to_string(worst));
}

// The sound as stored, in a WAV that ffprobe reads to the right duration; decoded, a
// 16-bit PCM WAV of the same duration at the sound's own rate.
TEST_P(ForeignAviInteropTest, ExtractSoundKeepsTheFormatOrDecodesIt) {
  const double source = Duration(avi_, "a:0");
  const std::string stored = dir_.File("stored.wav"), pcm = dir_.File("pcm.wav");
  CommandResult r = RunCli({"--home", dir_.File("home"), "extract-sound", avi_, stored});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(Probe("-show_entries stream=codec_name", stored),
            std::string(GetParam().soundCodec) + "\n");
  const std::string probeErrors =
      RunCommand(ShellQuote(ffmpeg_) + " -nostdin -v error -i " + ShellQuote(stored) + " -f null -")
          .errors;
  EXPECT_EQ(probeErrors, "");
  // ffprobe's figure for the AVI's stream where it gives one, else the two seconds made.
  EXPECT_NEAR(Duration(stored, "a:0"), source > 0 ? source : 2.0, 0.15);

  r = RunCli({"--home", dir_.File("home"), "extract-sound", avi_, pcm, "--pcm"});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(Probe("-show_entries stream=codec_name,sample_rate", pcm),
            "pcm_s16le," + std::to_string(GetParam().soundRate) + "\n");
  EXPECT_NEAR(Duration(pcm, "a:0"), 2.0, 0.15);
}

// The MPG carries both streams, ffmpeg decodes it without a word, and the sound lasts as
// long as the AVI's.
TEST_P(ForeignAviInteropTest, Avi2MpgMakesBothStreamsFromAnySound) {
  const std::string out = dir_.File("out");
  fs::create_directories(out);
  const CommandResult r = RunCli({"--home", dir_.File("home"), "avi2mpg", "--out-dir", out, avi_});
  ASSERT_EQ(r.status, 0) << r.errors << r.output;
  const std::string mpg = (fs::path(out) / (std::string(GetParam().name) + ".mpg")).string();
  EXPECT_EQ(r.output.find("Error"), std::string::npos) << r.output;
  EXPECT_EQ(Probe("-show_entries stream=codec_name", mpg), "mpeg1video\nmp2\n");
  const CommandResult decoded =
      RunCommand(ShellQuote(ffmpeg_) + " -nostdin -v warning -i " + ShellQuote(mpg) + " -f null -");
  EXPECT_EQ(decoded.status, 0);
  EXPECT_EQ(decoded.errors, "");
  // Layer II frames of 1152 samples at 44.1 kHz: about two seconds of them.
  const int frames = std::atoi(
      Probe("-select_streams a -count_frames -show_entries stream=nb_read_frames", mpg).c_str());
  EXPECT_NEAR(frames * 1152 / 44100.0, 2.0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Codecs, ForeignAviInteropTest, ::testing::ValuesIn(kForeign),
                         [](const ::testing::TestParamInfo<Foreign>& info) {
                           return std::string(info.param.name);
                         });

// Two foreign AVIs of different codecs joined: every frame of both, in order.
TEST(ForeignJoinInteropTest, TwoForeignAvisJoinIntoOne) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QUENDROLIX_REQUIRE_TOOL(ffprobe, "ffprobe");
  TempDir dir;
  const std::string a = dir.File("a.avi"), b = dir.File("b.avi"), out = dir.File("ab.avi");
  for (const auto& [path, codec] : {std::pair{a, std::string("-c:v libx264 -bf 2")},
                                    std::pair{b, std::string("-c:v mpeg4 -vtag XVID")}}) {
    const CommandResult made = RunCommand(
        ShellQuote(ffmpeg) + " -nostdin -v error -f lavfi -i testsrc2=size=160x120:rate=10 " +
        "-f lavfi -i sine -t 1.5 " + codec + " -c:a libmp3lame " + ShellQuote(path));
    ASSERT_EQ(made.status, 0) << made.errors;
  }
  const CommandResult r = RunCli({"--home", dir.File("home"), "join", a, b, out});
  ASSERT_EQ(r.status, 0) << r.errors << r.output;
  // Every stored sample of both, an empty one (a frame the writer dropped) included.
  auto samples = [&](const std::string& file) {
    const CommandResult dts =
        RunCommand(ShellQuote(ffprobe) + " -v error -select_streams v -show_entries packet=dts " +
                   "-of csv=p=0 " + ShellQuote(file));
    const size_t last = dts.output.rfind('\n', dts.output.size() - 2);
    return std::atoi(dts.output.c_str() + (last == std::string::npos ? 0 : last + 1)) + 1;
  };
  const int expected = samples(a) + samples(b);
  EXPECT_GE(expected, 30);
  const CommandResult frames =
      RunCommand(ShellQuote(ffprobe) + " -v error -count_frames -select_streams v -show_entries " +
                 "stream=nb_read_frames,width,height -of csv=p=0 " + ShellQuote(out));
  EXPECT_EQ(frames.output, "160,120," + std::to_string(expected) + "\n");
  const CommandResult decoded =
      RunCommand(ShellQuote(ffmpeg) + " -nostdin -v warning -i " + ShellQuote(out) + " -f null -");
  EXPECT_EQ(decoded.errors, "");
}

}  // namespace
}  // namespace quendrolix
