// The player's pictures and sound beside ffmpeg's decoding of the same files: AVIs of
// every codec we write (MS Video 1, full frames at 8, 16 and 24 bits, Motion JPEG, RLE),
// MPG, MP4 and GIF made from photographs, and the sound of a movie built with one.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "avi/avi_builder.h"
#include "avi/codec_options.h"
#include "platform/host/user_prompts.h"
#include "platform/vfw/codec.h"
#include "support/avi_fixtures.h"
#include "support/image_fixtures.h"
#include "support/sound_fixtures.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"
#include "tools/movie_player.h"
#include "tools/movie_to_mp4.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

const char* const kPhotos[] = {"/usr/share/backgrounds/mate/nature/LadyBird.jpg",
                               "/usr/share/backgrounds/mate/abstract/Elephants.jpg",
                               "/usr/share/backgrounds/mate/abstract/Flow.png"};

// Every picture of the player's source as top-down RGB triples (or 5-5-5 words).
std::vector<uint8_t> PlayerFrames(MovieSource& source, bool as555 = false) {
  std::vector<uint8_t> all;
  for (int i = 0; i < source.timeline().count(); ++i) {
    PlayerPicture picture;
    EXPECT_TRUE(source.Picture(i, picture)) << i;
    for (uint32_t p : picture.pixels) {
      const uint8_t r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
      if (as555) {
        const uint16_t w = static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        all.push_back(w & 0xFF);
        all.push_back(w >> 8);
      } else {
        all.insert(all.end(), {r, g, b});
      }
    }
  }
  return all;
}

class MoviePlayerInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (FindTool("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is missing";
    std::string missing;
    // 64 x 40: MS Video 1 codes whole 4x4 blocks, MPEG whole macroblocks.
    images = PhotoBitmaps({std::begin(kPhotos), std::end(kPhotos)}, dir.path().string(), 64, 40,
                          missing);
    if (images.empty()) GTEST_SKIP() << missing;
  }
  std::string BuildAvi(const std::string& name, int depth, FOURCC handler) {
    AVICOMPRESSOPTIONS options = OptionsFor(handler, 8000, 4);
    FrameComposer plain;
    AviBuilder builder(plain, &options);
    builder.SetRate(10);
    builder.SetDepth(depth);
    for (size_t i = 0; i < images.size(); ++i) builder.Add(images[i], counts[i]);
    const std::string out = dir.File(name);
    EXPECT_TRUE(builder.Write(out)) << builder.errorCode();
    return out;
  }
  // A project of the photographs (and a sound) built by the command-line program.
  std::string BuildWithCli(const std::string& name, const std::string& sound = "") {
    std::vector<std::string> args = {
        "--home", dir.path().string(), "project", "new", dir.File("p.qdx"), "--fps", "10"};
    if (!sound.empty()) args.insert(args.end(), {"--sound", sound});
    for (size_t i = 0; i < images.size(); ++i)
      args.push_back(images[i] + "," + std::to_string(counts[i]));
    CommandResult made = RunCli(args);
    EXPECT_EQ(made.status, 0) << made.errors;
    if (name.ends_with(".gif")) {
      CommandResult set = RunCli(
          {"--home", dir.path().string(), "gif-settings", "ShowDlg=0", "Play=0", "GlobalDelay=10"});
      EXPECT_EQ(set.status, 0) << set.errors;
    }
    CommandResult built =
        RunCli({"--home", dir.path().string(), "create", dir.File("p.qdx"), dir.File(name)});
    EXPECT_EQ(built.status, 0) << built.output << built.errors;
    return dir.File(name);
  }

  TempDir dir;
  RecordingPrompts prompts;
  ScopedPrompts scoped{prompts};
  std::vector<std::string> images;
  std::vector<unsigned> counts = {2, 1, 3};
};

TEST_F(MoviePlayerInteropTest, AviPicturesOfEveryCodecAreFfmpegsPictures) {
  struct Case {
    FOURCC handler;
    int depth;
    // Motion JPEG: two decoders upsample the chroma differently (34 dB apart on these
    // small photographs; a garbled picture is near 10).
    bool lossy;
  };
  for (const Case& c : {Case{kHandlerFullFrames, 24, false}, Case{kHandlerFullFrames, 16, false},
                        Case{kHandlerFullFrames, 8, false}, Case{kHandlerVideo1, 16, false},
                        Case{kHandlerVideo1, 8, false}, Case{kHandlerRle, 8, false},
                        Case{kHandlerMjpeg, 24, true}}) {
    SCOPED_TRACE(FourCCText(c.handler) + " " + std::to_string(c.depth));
    const std::string avi =
        BuildAvi(FourCCText(c.handler) + std::to_string(c.depth) + ".avi", c.depth, c.handler);
    std::string why;
    auto source = MovieSource::Open(avi, &why);
    ASSERT_NE(source, nullptr) << why;
    EXPECT_EQ(source->width(), 64);
    EXPECT_EQ(source->height(), 40);
    EXPECT_EQ(source->timeline().count(), 6);
    EXPECT_NEAR(source->timeline().duration(), 0.6, 1e-9);
    const bool as555 = c.depth == 16;
    const std::vector<uint8_t> ours = PlayerFrames(*source, as555);
    std::vector<uint8_t> theirs = FfmpegFrames(avi, as555 ? "rgb555le" : "rgb24");
    // ffmpeg's MS Video 1 decoder leaves the codec's flag bit in the unused top bit.
    if (as555)
      for (size_t i = 1; i < theirs.size(); i += 2) theirs[i] &= 0x7F;
    ASSERT_EQ(ours.size(), theirs.size());
    if (c.lossy)
      EXPECT_GT(Psnr(ours, theirs), 30);
    else
      EXPECT_EQ(MaxChannelDifference(ours, theirs), 0);
    // Backwards too: a delta frame is decoded from its key frame.
    PlayerPicture last, first;
    ASSERT_TRUE(source->Picture(5, last));
    ASSERT_TRUE(source->Picture(0, first));
    EXPECT_NE(first.pixels, last.pixels);
  }
  // Full frames at 24 bits are the photographs themselves.
  auto full = MovieSource::Open(dir.File(FourCCText(kHandlerFullFrames) + "24.avi"), nullptr);
  ASSERT_NE(full, nullptr);
  std::vector<uint8_t> photo;
  int width = 0, height = 0;
  ASSERT_TRUE(ImageMagickRgb(images[1], photo, width, height));
  PlayerPicture third;
  ASSERT_TRUE(full->Picture(2, third));  // the second photograph's only frame
  std::vector<uint8_t> shown;
  for (uint32_t p : third.pixels)
    shown.insert(shown.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
  EXPECT_EQ(shown, photo);
}

TEST_F(MoviePlayerInteropTest, MpgMp4AndGifPicturesAreFfmpegsPictures) {
  for (const char* name : {"movie.mpg", "movie.mp4", "movie.gif"}) {
    SCOPED_TRACE(name);
    const std::string path = BuildWithCli(name);
    std::string why;
    auto source = MovieSource::Open(path, &why);
    ASSERT_NE(source, nullptr) << why;
    const std::vector<uint8_t> theirs = FfmpegFrames(path, "rgb24");
    const size_t frameBytes = size_t{64} * 40 * 3;
    ASSERT_EQ(source->width(), 64);
    ASSERT_EQ(source->height(), 40);
    ASSERT_FALSE(theirs.empty());
    const int count = static_cast<int>(theirs.size() / frameBytes);
    EXPECT_EQ(source->timeline().count(), count);
    if (std::string(name).ends_with(".mpg")) {
      // The MPG keeps its own frame rate (the MPG options'), not the project's; its time
      // stamps may leave a frame's gap.
      const std::string rate = FfprobeStreams(path, "r_frame_rate", "v:0");
      const double fps = std::stod(rate) / std::stod(rate.substr(rate.find('/') + 1));
      EXPECT_NEAR(source->timeline().duration(), count / fps, 1.01 / fps);
    } else {
      // A picture held for several frames is one picture of that length: 2, 1 and 3
      // tenths.
      EXPECT_NEAR(source->timeline().duration(), 0.6, 1e-6);
      ASSERT_EQ(count, 3);
      EXPECT_NEAR(source->timeline().StartOf(1), 0.2, 1e-6);
      EXPECT_NEAR(source->timeline().StartOf(2), 0.3, 1e-6);
    }
    const std::vector<uint8_t> ours = PlayerFrames(*source);
    const size_t compared = std::min(ours.size(), theirs.size());
    const std::vector<uint8_t> a(ours.begin(), ours.begin() + compared);
    const std::vector<uint8_t> b(theirs.begin(), theirs.begin() + compared);
    if (std::string(name).ends_with(".gif"))
      EXPECT_EQ(a, b);  // palette colours, exactly
    else
      EXPECT_GT(Psnr(a, b), 40);  // the same decoder; only the colour conversion may round
  }
}

TEST_F(MoviePlayerInteropTest, SoundIsFfmpegsSound) {
  const std::string wav = dir.File("tone.wav");
  ASSERT_EQ(RunCommand("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.6 -ac 2 "
                       "-ar 22050 -c:a pcm_s16le " +
                       ShellQuote(wav))
                .status,
            0);
  for (const char* name : {"sound.avi", "sound.mpg"}) {
    SCOPED_TRACE(name);
    const std::string path = BuildWithCli(name, wav);
    std::string note;
    SoundTrack track = LoadSoundTrack(path, &note);
    EXPECT_EQ(note, "");
    ASSERT_GT(track.frames(), 0);
    EXPECT_EQ(track.channels, 2);
    const std::vector<uint8_t> theirs = FfmpegAudioS16(path);
    ASSERT_EQ(theirs.size(), track.samples.size() * 2);
    EXPECT_EQ(std::memcmp(theirs.data(), track.samples.data(), theirs.size()), 0);
  }
  EXPECT_EQ(LoadSoundTrack(BuildWithCli("quiet.avi"), nullptr).frames(), 0);
}

TEST_F(MoviePlayerInteropTest, GifImagesAreLaidOnTheScreenAsFfmpegLaysThem) {
  // Another program's GIF: images smaller than the screen, at offsets, with small colour
  // tables (1 and 2 bits) and a transparent colour that lets the image before show.
  const std::string gif = dir.File("laid.gif");
  ASSERT_TRUE(RunImageMagick(
      "-dispose none -delay 10 -size 48x32 xc:yellow -dispose none -delay 20 -page +8+4 "
      "-size 16x16 xc:blue -dispose none -delay 10 -page +20+10 \\( -size 12x12 xc:none -fill "
      "green -draw \"circle 6,6 6,1\" \\) -loop 0 " +
      ShellQuote(gif)));
  std::string why;
  auto source = MovieSource::Open(gif, &why);
  ASSERT_NE(source, nullptr) << why;
  EXPECT_EQ(source->width(), 48);
  EXPECT_EQ(source->height(), 32);
  ASSERT_EQ(source->timeline().count(), 3);
  EXPECT_NEAR(source->timeline().duration(), 0.4, 1e-9);
  EXPECT_EQ(PlayerFrames(*source), FfmpegFrames(gif, "rgb24"));
}

TEST_F(MoviePlayerInteropTest, PicturesInAnyOrderAreThePicturesInOrder) {
  // A foreign MP4 with key frames every 10 pictures and pictures coded out of order, and
  // an MPEG-1 system stream.
  const std::string mp4 = dir.File("foreign.mp4"), mpg = dir.File("foreign.mpg");
  ASSERT_EQ(RunCommand("ffmpeg -v error -y -f lavfi -i testsrc=size=96x64:rate=25:duration=3 "
                       "-c:v libx264 -g 10 -bf 2 -pix_fmt yuv420p " +
                       ShellQuote(mp4))
                .status,
            0);
  ASSERT_EQ(RunCommand("ffmpeg -v error -y -f lavfi -i testsrc=size=96x64:rate=25:duration=3 "
                       "-c:v mpeg1video -g 10 -bf 2 -f mpeg " +
                       ShellQuote(mpg))
                .status,
            0);
  for (const std::string& path : {mp4, mpg}) {
    SCOPED_TRACE(path);
    std::string why;
    auto inOrder = MovieSource::Open(path, &why);
    auto jumping = MovieSource::Open(path, &why);
    ASSERT_NE(inOrder, nullptr) << why;
    ASSERT_EQ(inOrder->timeline().count(), 75);
    EXPECT_NEAR(inOrder->timeline().duration(), 3.0, 0.05);
    std::vector<PlayerPicture> pictures(75);
    for (int i = 0; i < 75; ++i) ASSERT_TRUE(inOrder->Picture(i, pictures[i])) << i;
    for (int i : {70, 3, 74, 0, 41, 40, 39, 12, 55, 56, 1}) {
      PlayerPicture picture;
      ASSERT_TRUE(jumping->Picture(i, picture)) << i;
      EXPECT_EQ(picture.pixels, pictures[i].pixels) << i;
    }
  }
}

TEST_F(MoviePlayerInteropTest, AnMpgConvertedToMp4KeepsItsPicturesTimesAndSound) {
  const std::string wav = dir.File("tone.wav");
  ASSERT_EQ(RunCommand("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.6 -ac 1 "
                       "-ar 44100 -c:a pcm_s16le " +
                       ShellQuote(wav))
                .status,
            0);
  const std::string mpg = BuildWithCli("movie.mpg", wav);
  const std::string mp4 = dir.File("converted.mp4");
  std::string why;
  ASSERT_TRUE(ConvertMovieToMp4(mpg, mp4, 25, &why)) << why;
  auto before = MovieSource::Open(mpg, &why);
  auto after = MovieSource::Open(mp4, &why);
  ASSERT_NE(before, nullptr);
  ASSERT_NE(after, nullptr) << why;
  EXPECT_EQ(FfprobeStreams(mp4, "codec_name"), "h264\naac\n");
  EXPECT_NEAR(after->timeline().duration(), before->timeline().duration(), 0.05);
  // The picture at each moment is the MPG's, up to H.264's loss on these small photographs
  // (near 27 dB), and far from the MPG's picture of another photograph.
  auto rgb = [](MovieSource& source, double t) {
    PlayerPicture picture;
    EXPECT_TRUE(source.Picture(source.timeline().FrameAt(t), picture));
    std::vector<uint8_t> out;
    for (uint32_t p : picture.pixels)
      out.insert(out.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    return out;
  };
  // The middle of each picture (2, 1 and 3 frames at 10 fps).
  for (double t : {0.1, 0.25, 0.45}) {
    const double same = Psnr(rgb(*before, t), rgb(*after, t));
    EXPECT_GT(same, 24) << t;
    EXPECT_GT(same, Psnr(rgb(*before, t < 0.2 ? 0.45 : 0.1), rgb(*after, t)) + 6) << t;
  }
  EXPECT_NEAR(LoadSoundTrack(mp4, nullptr).seconds(), LoadSoundTrack(mpg, nullptr).seconds(), 0.1);
  // What cannot be read leaves nothing behind.
  EXPECT_FALSE(ConvertMovieToMp4(dir.File("p.qdx"), dir.File("bad.mp4"), 25, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(fs::exists(dir.File("bad.mp4")));
}

}  // namespace
}  // namespace quendrolix
