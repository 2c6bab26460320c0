// Any photo, any size, right side up: a folder of real photographs of mixed sizes (a large
// landscape, a portrait, one turned by its EXIF tag, a CMYK JPEG, a WebP, a HEIC and a PNG
// with a comma in its name) built into each kind of movie at 320x240. Every frame is decoded
// by ffmpeg and compared with ImageMagick's own fit of the same photo
// (-auto-orient -resize 320x240 -background black -gravity center -extent 320x240, the CMYK
// copy taken to sRGB first so that ImageMagick does not scale and pad it in CMYK).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/avi_fixtures.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using namespace testing;

constexpr int kWidth = 320, kHeight = 240;
constexpr size_t kFrameBytes = size_t{3} * kWidth * kHeight;
constexpr int kFramesEach = 2;
// The projects are at 10 fps, which MPEG-1 lacks: the MPG codes them at 30 fps, each
// project frame three times.
constexpr int kMpgRepeats = 3;
const char* const kNature = "/usr/share/backgrounds/mate/nature/";

struct Photo {
  std::string path;       // what the project holds
  std::string reference;  // what ImageMagick fits (the same picture in a format it reads)
};

// The photographs, made once for every case: each a real wallpaper or a copy the set-up
// makes of one.
class PhotoFolder {
 public:
  static PhotoFolder& Get() {
    static PhotoFolder folder;
    return folder;
  }
  std::string problem;  // why the photographs could not be made
  std::vector<Photo> photos;
  std::vector<std::vector<uint8_t>> expected;  // ImageMagick's fit of each, RGB
  TempDir dir;

 private:
  PhotoFolder() {
    if (ImageMagickConvert().empty()) {
      problem = "ImageMagick is not installed";
      return;
    }
    if (!fs::exists(std::string(kNature) + "Aqua.jpg")) {
      problem = "the wallpaper package (mate-backgrounds) is not installed";
      return;
    }
    auto make = [&](const std::string& from, const std::string& name, const std::string& options) {
      const std::string out = dir.File(name);
      if (!RunImageMagick(ShellQuote(kNature + from) + " " + options + " " + ShellQuote(out)))
        problem = "could not make " + name;
      return out;
    };
    photos.push_back({kNature + std::string("Aqua.jpg"), {}});  // 2560x1600 as it is
    photos.push_back({make("Garden.jpg", "portrait.jpg", "-crop 1000x1500+700+50 +repage"), {}});
    // Stored lying on its side (1200x750) with the EXIF tag that stands it up.
    photos.push_back({make("LadyBird.jpg", "turned.jpg", "-resize 1200x750 -orient RightTop"), {}});
    photos.push_back(
        {make("Storm.jpg", "cmyk.jpg", "-resize 1000x -colorspace CMYK -quality 95"), {}});
    photos.push_back({make("Blinds.jpg", "photo.webp", "-resize 900x -quality 92"), {}});
    const std::string heifEnc = FindTool("heif-enc");
    if (!heifEnc.empty()) {
      const std::string jpeg = make("GreenMeadow.jpg", "meadow.jpg", "-resize 640x -quality 95");
      const std::string heic = dir.File("meadow.heic");
      if (RunCommand(heifEnc + " -q 92 " + ShellQuote(jpeg) + " -o " + ShellQuote(heic) +
                     " >/dev/null 2>&1")
              .status == 0)
        photos.push_back({heic, jpeg});
    }
    photos.push_back({make("Dune.jpg", "Beach, Nice.png", "-resize 1400x"), {}});
    for (Photo& photo : photos) {
      if (photo.reference.empty()) photo.reference = photo.path;
      const std::string fitted = dir.File("fitted" + std::to_string(expected.size()) + ".png");
      std::vector<uint8_t> rgb;
      int w = 0, h = 0;
      if (!RunImageMagick(ShellQuote(photo.reference) +
                          " -auto-orient -colorspace sRGB -resize 320x240 -background black"
                          " -gravity center -extent 320x240 " +
                          ShellQuote(fitted)) ||
          !ImageMagickRgb(fitted, rgb, w, h) || w != kWidth || h != kHeight)
        problem = "ImageMagick could not fit " + photo.reference;
      expected.push_back(std::move(rgb));
    }
  }
};

#define REQUIRE_PHOTO_FOLDER()                                               \
  PhotoFolder& folder = PhotoFolder::Get();                                  \
  if (!folder.problem.empty()) GTEST_SKIP() << folder.problem;               \
  if (FindTool("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed"; \
  TempDir work;                                                              \
  const std::string home = work.File("home")

// A project of the photographs (with `extra` entries put in at `at`), 10 frames a second,
// 320x240, letterbox.
std::string MakeProject(const TempDir& work, const std::string& home,
                        const std::vector<std::string>& entries) {
  const std::string qdx = work.File("photos.qdx");
  std::vector<std::string> args = {"--home", home,     "project", "new",   qdx,        "--fps",
                                   "10",     "--size", "320x240", "--fit", "letterbox"};
  args.insert(args.end(), entries.begin(), entries.end());
  const CommandResult made = RunCli(args);
  EXPECT_EQ(made.status, 0) << made.errors;
  return qdx;
}

std::vector<std::string> Entries(const std::vector<Photo>& photos) {
  std::vector<std::string> entries;
  for (const Photo& photo : photos)
    entries.push_back(photo.path + "," + std::to_string(kFramesEach));
  return entries;
}

std::vector<uint8_t> FrameAt(const std::vector<uint8_t>& frames, size_t index) {
  return {frames.begin() + index * kFrameBytes, frames.begin() + (index + 1) * kFrameBytes};
}

// The photo each decoded frame looks most like, and how closely.
struct Match {
  size_t photo = 0;
  double psnr = 0;
};
Match BestMatch(const std::vector<uint8_t>& frame,
                const std::vector<std::vector<uint8_t>>& expected) {
  Match best;
  for (size_t i = 0; i < expected.size(); ++i) {
    const double psnr = Psnr(frame, expected[i]);
    if (psnr > best.psnr) best = {i, psnr};
  }
  return best;
}

// Every decoded frame, in order, shows the photos one after another: each photo in its turn,
// none skipped, none out of order, each at least `floor` dB from ImageMagick's fit.
void ExpectPhotosInOrder(const std::vector<uint8_t>& frames, const PhotoFolder& folder,
                         double floor, const std::string& road) {
  ASSERT_EQ(frames.size() % kFrameBytes, 0u) << road;
  const size_t count = frames.size() / kFrameBytes;
  ASSERT_GE(count, folder.photos.size()) << road;
  size_t next = 0;
  double lowest = 99;
  for (size_t f = 0; f < count; ++f) {
    const Match match = BestMatch(FrameAt(frames, f), folder.expected);
    lowest = std::min(lowest, match.psnr);
    if (next < folder.photos.size() && match.photo == next) ++next;
    ASSERT_EQ(match.photo + 1, next)
        << road << " frame " << f << " looks like " << folder.photos[match.photo].path;
    EXPECT_GE(match.psnr, floor) << road << " frame " << f << ": "
                                 << folder.photos[match.photo].path;
  }
  EXPECT_EQ(next, folder.photos.size()) << road;
  std::printf("%s: lowest PSNR against ImageMagick's fit %.1f dB\n", road.c_str(), lowest);
}

TEST(PictureFitRoads, FullFrameAviHoldsEachPhotoFittedForItsFrames) {
  REQUIRE_PHOTO_FOLDER();
  const std::string qdx = MakeProject(work, home, Entries(folder.photos));
  const std::string avi = work.File("photos.avi");
  const CommandResult built = RunCli({"--home", home, "create", qdx, avi, "--codec", "DIB"});
  ASSERT_EQ(built.status, 0) << built.errors;
  // A size the writer codes as it is: nothing rounded, only the movie's path printed.
  EXPECT_EQ(built.output, avi + "\n");
  const std::vector<uint8_t> frames = FfmpegFrames(avi, "rgb24");
  ASSERT_EQ(frames.size(), folder.photos.size() * kFramesEach * kFrameBytes);
  // One segment per photo, kFramesEach frames long; the lowest stated: 30 dB.
  double lowest = 99;
  for (size_t f = 0; f < frames.size() / kFrameBytes; ++f) {
    const size_t photo = f / kFramesEach;
    const double psnr = Psnr(FrameAt(frames, f), folder.expected[photo]);
    lowest = std::min(lowest, psnr);
    EXPECT_GE(psnr, 30.0) << "frame " << f << ": " << folder.photos[photo].path;
  }
  std::printf("full-frame AVI: lowest PSNR against ImageMagick's fit %.1f dB\n", lowest);
}

TEST(PictureFitRoads, MpgGifAndMp4ShowEveryPhotoFittedInItsTurn) {
  REQUIRE_PHOTO_FOLDER();
  const std::string qdx = MakeProject(work, home, Entries(folder.photos));
  // The floors: MPEG-1 at its automatic rate 26 dB, H.264 28 dB, 256 colours 28 dB.
  const struct {
    const char* name;
    double floor;
  } kRoads[] = {{"photos.mpg", 26.0}, {"photos.mp4", 28.0}, {"photos.gif", 28.0}};
  for (const auto& road : kRoads) {
    const std::string out = work.File(road.name);
    const CommandResult built = RunCli({"--home", home, "create", qdx, out});
    ASSERT_EQ(built.status, 0) << road.name << ": " << built.errors;
    const std::vector<uint8_t> frames = FfmpegFrames(out, "rgb24");
    ExpectPhotosInOrder(frames, folder, road.floor, road.name);
    if (std::string(road.name) == "photos.mpg")  // every project frame is coded pictures
      EXPECT_EQ(frames.size(), folder.photos.size() * kFramesEach * kMpgRepeats * kFrameBytes);
  }
}

TEST(PictureFitRoads, APictureThatCannotBeLoadedIsNamedAndTheOthersArePlaced) {
  REQUIRE_PHOTO_FOLDER();
  const std::string broken = work.File("broken.jpg");
  WriteText(broken, "not a picture at all");
  std::vector<std::string> entries = Entries(folder.photos);
  entries.insert(entries.begin() + 2, broken + "," + std::to_string(kFramesEach));
  const std::string qdx = MakeProject(work, home, entries);
  for (const char* name : {"holes.avi", "holes.mpg"}) {
    const std::string out = work.File(name);
    const CommandResult built = RunCli({"--home", home, "create", qdx, out});
    EXPECT_EQ(built.status, 3) << name << ": " << built.errors;
    EXPECT_NE(built.errors.find("without 1 picture"), std::string::npos) << built.errors;
    EXPECT_NE(built.errors.find(broken), std::string::npos) << built.errors;
    // The movie keeps its length: the photo before the broken one holds its frames.
    const std::vector<uint8_t> frames = FfmpegFrames(out, "rgb24");
    const size_t each = kFramesEach * (std::string(name) == "holes.mpg" ? kMpgRepeats : 1);
    ASSERT_EQ(frames.size(), entries.size() * each * kFrameBytes) << name;
    for (size_t f = 0; f < entries.size() * each; ++f) {
      size_t slot = f / each;
      const size_t photo = slot < 2 ? slot : slot == 2 ? 1 : slot - 1;
      EXPECT_EQ(BestMatch(FrameAt(frames, f), folder.expected).photo, photo)
          << name << " frame " << f;
    }
  }
}

TEST(PictureFitRoads, QuickCreateTakesTheFolderAtTheSizeAndRateAsked) {
  REQUIRE_PHOTO_FOLDER();
  // Three photos of the folder, named so that they sort in their order.
  const fs::path pictures = work.File("pictures");
  fs::create_directories(pictures);
  for (size_t i = 0; i < 3; ++i)
    fs::copy_file(folder.photos[i].path,
                  pictures / ("p" + std::to_string(i) +
                              fs::path(folder.photos[i].path).extension().string()));
  const std::string avi = work.File("quick.avi");
  // MS Video 1 codes sides in multiples of 4: 322x242 becomes 320x240, and the log says so.
  const CommandResult quick = RunCli({"--home", home, "quick-create", pictures.string(), avi,
                                      "--fps", "5", "--frames", "3", "--size", "322x242"});
  ASSERT_EQ(quick.status, 0) << quick.errors;
  const std::string probe =
      FfprobeStreams(avi, "width,height,r_frame_rate,codec_tag_string", "v:0", false);
  EXPECT_NE(probe.find("320"), std::string::npos) << probe;
  EXPECT_NE(probe.find("240"), std::string::npos) << probe;
  EXPECT_NE(probe.find("5/1"), std::string::npos) << probe;
  EXPECT_NE(quick.output.find("322x242 rounded to 320x240"), std::string::npos) << quick.output;
  const std::vector<uint8_t> frames = FfmpegFrames(avi, "rgb24");
  ASSERT_EQ(frames.size(), 9 * kFrameBytes);
  for (size_t f = 0; f < 9; ++f)
    EXPECT_GE(Psnr(FrameAt(frames, f), folder.expected[f / 3]), 24.0) << "frame " << f;
}

}  // namespace
}  // namespace quendrolix
