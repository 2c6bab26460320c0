#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "mpeg/video/bitstream.h"
#include "mpeg/video/engine_memory.h"
#include "mpeg/video/engine_services.h"
#include "mpeg/video/engine_settings.h"
#include "mpeg/video/mpeg_converter.h"
#include "mpeg/video/thread_pool.h"
#include "mpeg/video/vlc_tables.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"
#include "platform/host/user_prompts.h"
#include "support/mpeg_video_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::FakeAvi;
using testing::MakeDib;
using testing::ParsedMacroblock;
using testing::ParsedPicture;
using testing::ParsedStream;
using testing::ParseVideoStream;
using testing::PictureRecorder;
using testing::Rgb;
using testing::TempDir;

// An AVI of moving pictures that the tests hand to the conversion through the services.
std::unique_ptr<FakeAvi> MovingAvi(int w, int h, int frames, uint32_t rate, uint32_t scale,
                                   int bits = 24) {
  auto avi = std::make_unique<FakeAvi>();
  avi->info = AviFileSummary{static_cast<uint32_t>(w), static_cast<uint32_t>(h), rate, scale,
                             static_cast<uint32_t>(frames)};
  for (int i = 0; i < frames; ++i) {
    if (bits == 24) {
      avi->frames.push_back(testing::MovingPicture(w, h, i));
    } else {
      HDIB dib = NewDib(w, h, bits, bits <= 8 ? 16 : 0);
      avi->frames.push_back(std::move(dib));
    }
  }
  return avi;
}

// Services over one prepared AVI; audio and multiplexing record what they are given.
struct AviServices {
  std::unique_ptr<FakeAvi> avi;
  bool videoOpenAtEnd = true;
  std::string mp2Path, videoPath, outputPath;
  bool videoExistedAtMultiplex = false;
  MultiplexCounters counters;
  MpegEngineServices Make() {
    MpegEngineServices s;
    s.openAvi = [this](const std::string&) -> std::unique_ptr<AviConversionInput> {
      if (avi) avi->videoOpenAtEnd = &videoOpenAtEnd;
      return std::move(avi);
    };
    s.encodeAviAudio = [this](AviConversionInput&, const Mp2Request& r, int& silent) {
      mp2Path = r.mp2Path;
      testing::WriteText(r.mp2Path, "mp2");
      silent = 12;
      return true;
    };
    s.multiplex = [this](const std::string& v, const std::string& a, const std::string& o) {
      videoPath = v;
      outputPath = o;
      videoExistedAtMultiplex = fs::exists(v) && fs::exists(a);
      testing::WriteText(o, "system stream");
      return counters;
    };
    return s;
  }
};

ParsedStream ParseFile(const std::string& path) {
  return ParseVideoStream(testing::ReadBytes(path));
}

std::vector<int> Types(const ParsedStream& s) {
  std::vector<int> t;
  for (const auto& p : s.pictures) t.push_back(p.type);
  return t;
}
std::vector<int> TemporalReferences(const ParsedStream& s) {
  std::vector<int> t;
  for (const auto& p : s.pictures) t.push_back(p.temporalReference);
  return t;
}

// Image-list conversions of n frames of moving pictures.
struct ImageList {
  testing::InMemoryImages images;
  std::vector<std::string> paths;
  std::vector<int> counts;
  ImageList(int w, int h, int n, int hold = 1) {
    for (int i = 0; i < n; ++i) {
      std::string path = "/images/frame" + std::to_string(i) + ".bmp";
      images.Add(path, testing::MovingPicture(w, h, i));
      paths.push_back(path);
      counts.push_back(hold);
    }
  }
  bool Convert(const std::string& output, unsigned selection, int totalRate = 0) {
    MpegEngineServices s;
    s.loadImage = images.Loader();
    ScopedMpegEngineServices scope(s);
    return ConvertImageListToMpg(paths, counts, "", output, 0, totalRate, 0, selection, 0, 0);
  }
};

TEST(CodingLoopTest, GopStructureAndCodingOrderForTwelvePictureGops) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  ImageList list(48, 32, 26);
  ASSERT_TRUE(list.Convert(dir.File("a.m1v"), 2));  // 24 frames/s: N = 12
  ParsedStream s = ParseFile(dir.File("a.m1v"));
  ASSERT_EQ(s.error, "");
  EXPECT_TRUE(s.sequenceEnd);
  EXPECT_EQ(s.userData, "Encoded by ZQ Quendrolix ");
  EXPECT_EQ(s.frameRateCode, 2);
  // Display numbers I0 P3 B1 B2 P6 B4 B5 P9 B7 B8 | I12 B10 B11 P15 B13 B14 P18 B16 B17 P21
  // B19 B20 | I24 B22 B23 P25.
  EXPECT_EQ(Types(s), (std::vector<int>{1, 2, 3, 3, 2, 3, 3, 2, 3, 3, 1, 3, 3,
                                        2, 3, 3, 2, 3, 3, 2, 3, 3, 1, 3, 3, 2}));
  EXPECT_EQ(TemporalReferences(s), (std::vector<int>{0, 3, 1, 2, 6, 4, 5,  9, 7,  8, 2, 0, 1,
                                                     5, 3, 4, 8, 6, 7, 11, 9, 10, 2, 0, 1, 3}));
  ASSERT_EQ(s.gops.size(), 3u);
  EXPECT_TRUE(s.gops[0].closed);
  EXPECT_EQ(s.gops[0].timeCode, TimeCode(0, 24));
  EXPECT_FALSE(s.gops[1].closed);
  EXPECT_EQ(s.gops[1].firstPicture, 10);
  EXPECT_EQ(s.gops[1].timeCode, TimeCode(10, 24));  // the GOP starts with B10
  EXPECT_EQ(s.gops[2].timeCode, TimeCode(22, 24));
  // 32x32 pictures use a sliver of 1228800 bit/s: fed at that rate the buffer would hold
  // more than a second, which vbv_delay cannot say, so the stream is of variable rate.
  EXPECT_EQ(s.pictures[0].vbvDelay, 65535);
  EXPECT_EQ(s.pictures[1].forwardFCode, 2);
  EXPECT_EQ(s.pictures[2].forwardFCode, 1);
  EXPECT_EQ(s.pictures[2].backwardFCode, 1);
  // The last P (display 25) was pulled in to the end of the sequence.
  EXPECT_EQ(s.pictures.back().temporalReference, 25 - 22);
}

TEST(CodingLoopTest, FifteenPictureGopsAndOnePictureSequences) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  ImageList list(32, 32, 20);
  ASSERT_TRUE(list.Convert(dir.File("b.m1v"), 5));  // 30 frames/s: N = 15
  ParsedStream s = ParseFile(dir.File("b.m1v"));
  ASSERT_EQ(s.error, "");
  ASSERT_GE(s.gops.size(), 2u);
  EXPECT_EQ(s.gops[1].firstPicture, 13);  // the second I picture has coding index 13
  EXPECT_EQ(s.pictures[13].type, kPictureI);
  EXPECT_EQ(s.pictures[13].temporalReference, 2);   // display 15
  EXPECT_EQ(s.gops[1].timeCode, (1u << 12) | 13u);  // 00:00:00 picture 13, marker set

  ImageList one(32, 32, 1);
  ASSERT_TRUE(one.Convert(dir.File("c.m1v"), 5));
  ParsedStream single = ParseFile(dir.File("c.m1v"));
  ASSERT_EQ(single.error, "");
  ASSERT_EQ(single.pictures.size(), 1u);
  EXPECT_EQ(single.pictures[0].type, kPictureI);
  ASSERT_EQ(single.gops.size(), 1u);
  EXPECT_TRUE(single.gops[0].closed);
  // One picture leaves the buffer as soon as it is in: its delay is the time the bits
  // after its start code take at 1228800 bit/s.
  std::vector<uint8_t> bytes = testing::ReadBytes(dir.File("c.m1v"));
  size_t at = 0;
  while (at + 4 <= bytes.size() &&
         !(bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1 && bytes[at + 3] == 0))
    ++at;
  double after = 8.0 * (bytes.size() - at - 4);
  EXPECT_NEAR(single.pictures[0].vbvDelay, after * 90000 / 1228800, 1.0);
}

TEST(CodingLoopTest, MacroblockLayerIsComplete) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  ImageList list(80, 48, 8);
  ASSERT_TRUE(list.Convert(dir.File("d.m1v"), 3));
  ParsedStream s = ParseFile(dir.File("d.m1v"));
  ASSERT_EQ(s.error, "");
  const int mbWidth = 5, mbHeight = 3;
  for (const auto& pic : s.pictures) {
    EXPECT_EQ(pic.sliceQuantisers.size(), static_cast<size_t>(mbHeight));
    std::vector<bool> seen(mbWidth * mbHeight);
    for (const auto& mb : pic.macroblocks) seen[mb.address] = true;
    for (int row = 0; row < mbHeight; ++row) {
      EXPECT_TRUE(seen[row * mbWidth]);  // the first and last of a row are never skipped
      EXPECT_TRUE(seen[row * mbWidth + mbWidth - 1]);
    }
    for (const auto& mb : pic.macroblocks) {
      if (pic.type == kPictureI) {
        EXPECT_TRUE(mb.flags & kMbIntra);
      }
      if (pic.type == kPictureP) {
        EXPECT_FALSE(mb.flags & kMbBackward);
      }
      if (mb.flags & kMbQuant) {
        EXPECT_GE(mb.quantiser, 1);
        EXPECT_LE(mb.quantiser, 31);
      }
    }
  }
  EXPECT_GE(s.pictures.size(), 8u);
}

TEST(CodingLoopTest, StillPicturesSkipMostMacroblocks) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  ImageList list(96, 64, 1, 10);  // one image held ten frames
  // Flat macroblocks code exactly in the I picture, so nothing is left to send afterwards.
  list.images.Add(
      list.paths[0], MakeDib(96, 64, 24, [](int x, int y) {
        return Rgb{static_cast<uint8_t>(40 * (x / 16)), static_cast<uint8_t>(60 * (y / 16)), 90};
      }));
  ASSERT_TRUE(list.Convert(dir.File("still.m1v"), 5));
  EXPECT_EQ(list.images.loads, 1);  // held frames reuse the loaded image
  ParsedStream s = ParseFile(dir.File("still.m1v"));
  ASSERT_EQ(s.error, "");
  ASSERT_EQ(s.pictures.size(), 10u);
  for (size_t i = 1; i < s.pictures.size(); ++i) {
    // Only the first and last macroblock of each row are sent in the predicted pictures.
    EXPECT_LE(s.pictures[i].macroblocks.size(), 2u * 4) << i;
  }
}

TEST(ConverterTest, AviAtTenFramesPerSecondIsTripled) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  AviServices services;
  services.avi = MovingAvi(64, 48, 5, 10, 1);
  ScopedMpegEngineServices scoped(services.Make());
  std::string out = dir.File("ten.mpg");
  EXPECT_TRUE(ConvertAviToMpg(dir.File("ten.avi"), out, 0, 0, 0, 0, 0, 0));
  EXPECT_TRUE(log.HasLine("Frame rate: 10 FPS"));
  EXPECT_TRUE(log.HasLine("Frame rate with replication: 30 FPS"));
  EXPECT_TRUE(log.HasLine("Total number of frames: 15"));
  ParsedStream s = ParseFile(out);  // no sound: the stream is the output
  ASSERT_EQ(s.error, "");
  EXPECT_EQ(s.pictures.size(), 15u);
  EXPECT_EQ(s.frameRateCode, 5);
  EXPECT_EQ(log.percents.back(), 14 * 100 / 15);
  EXPECT_EQ(log.frames.size(), 15u);
}

TEST(ConverterTest, FullAviConversionReportsEveryStepInOrder) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  AviServices services;
  services.avi = MovingAvi(64, 48, 4, 25, 1);
  services.avi->hasSound = true;
  services.avi->sound = AviSoundFormat{1, 2, 44100, 16};
  services.counters = MultiplexCounters{1, 2};
  ScopedMpegEngineServices scoped(services.Make());
  // A user's own files named like the temporary streams must survive.
  std::string cwd = fs::current_path();
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  testing::WriteText(dir.File("clip.m1v"), "mine");
  testing::WriteText(dir.File("clip.mp2"), "mine too");
  bool ok = ConvertAviToMpg(dir.File("in/clip"), dir.File("clip"), 0, 0, 0, 0, 0, 0);
  ASSERT_EQ(::chdir(cwd.c_str()), 0);
  EXPECT_TRUE(ok);
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{
                "Converting " + dir.File("in/clip") + " to " + dir.File("clip") + "...",
                "Video size: 64x48 at 25.00 FPS", "BPP: 24", "Number of frames: 4 (0 seconds)",
                "Audio sampling rate: 44.100KHz (16 bits per sample)", "Compressing video...",
                "Bit-rate: 1064960", "Video completed", "Audio bit-rate: 131072", "Audio completed",
                "Warning: 12 audio samples set to 0 length", "Multiplexing...", "MPG completed!",
                "Error: video timed-out", "Error: audio timed-out"}));
  EXPECT_EQ(testing::ReadText(dir.File("clip.m1v")), "mine");
  EXPECT_EQ(testing::ReadText(dir.File("clip.mp2")), "mine too");
  EXPECT_EQ(services.outputPath, dir.File("clip.mpg"));
  EXPECT_TRUE(services.videoExistedAtMultiplex);
  EXPECT_NE(fs::path(services.videoPath).parent_path(), dir.path());
  EXPECT_FALSE(fs::exists(services.videoPath));  // the private folder is gone
  EXPECT_FALSE(fs::exists(services.mp2Path));
  EXPECT_EQ(fs::path(services.videoPath).filename(), "clip.m1v");
  EXPECT_FALSE(services.videoOpenAtEnd);
  EXPECT_EQ(EngineBlockCount(), 0u);
  EXPECT_EQ(MpegEngineSettings().videoTimedOut, 1u);
}

TEST(ConverterTest, SourceProblemsEndTheConversionBeforeAnythingIsWritten) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  {
    AviServices services;
    services.avi = MovingAvi(64, 48, 3, 25, 1, 4);
    ScopedMpegEngineServices scoped(services.Make());
    EXPECT_FALSE(ConvertAviToMpg(dir.File("four.avi"), dir.File("four.mpg"), 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(log.lines.back(), "Error: 4 BPP is unsupported (must be 8, 16, 24 or 32)");
    EXPECT_TRUE(log.HasLine("BPP: 4"));
  }
  {
    log.lines.clear();
    AviServices services;
    services.avi = MovingAvi(64, 48, 3, 25, 1);
    services.avi->info.width = 4096;
    ScopedMpegEngineServices scoped(services.Make());
    EXPECT_FALSE(ConvertAviToMpg(dir.File("big.avi"), dir.File("big.mpg"), 0, 0, 0, 0, 0, 0));
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[log.lines.size() - 2], "Error: frame is too big (4096x48 pixels)");
    EXPECT_EQ(log.lines.back(), "MPEG-1 pictures are at most 4080 pixels wide and 2800 lines high");
  }
  {
    log.lines.clear();
    AviServices services;
    services.avi = MovingAvi(64, 48, 3, 25, 1);
    services.avi->hasSound = true;
    services.avi->sound = AviSoundFormat{1, 2, 44100, 16};
    ScopedMpegEngineServices scoped(services.Make());
    EXPECT_FALSE(ConvertAviToMpg(dir.File("low.avi"), dir.File("low.mpg"), 0, 200, 0, 0, 0, 0));
    EXPECT_EQ(log.lines.back(), "Error: bit-rate too low (minimum:  81920)");
    EXPECT_TRUE(services.mp2Path.empty());
  }
  {
    log.lines.clear();
    // No stand-in: the AVI file services look for the file.
    ScopedMpegEngineServices none{MpegEngineServices{}};
    EXPECT_FALSE(ConvertAviToMpg(dir.File("x.avi"), dir.File("x.mpg"), 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(log.lines.back(), "Error: " + dir.File("x.avi") + " is locked or unavailable");
  }
  {
    log.lines.clear();
    MpegEngineServices s;
    s.openAvi = [](const std::string&) { return std::unique_ptr<AviConversionInput>(); };
    ScopedMpegEngineServices scoped(s);
    EXPECT_FALSE(ConvertAviToMpg(dir.File("locked"), "", 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(log.lines.back(), "Error: " + dir.File("locked.avi") + " is locked or unavailable");
  }
  {
    log.lines.clear();
    EXPECT_FALSE(ConvertAviToMpg(dir.File("x.avi"), "", 2, 0, 144, 0, 0, 0));
    EXPECT_EQ(log.lines.back(), "Error: 144 audio bit-rate is unsupported");
  }
  for (const auto& entry : fs::directory_iterator(dir.path())) ADD_FAILURE() << entry.path();
  EXPECT_EQ(EngineBlockCount(), 0u);
}

TEST(ConverterTest, FrameRateChoiceGivesVideoOnlyAndOddSizesArePadded) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  AviServices services;
  services.avi = MovingAvi(321, 241, 2, 2450, 100);
  services.avi->hasSound = true;
  services.avi->sound = AviSoundFormat{1, 2, 44100, 16};
  ScopedMpegEngineServices scoped(services.Make());
  EXPECT_TRUE(ConvertAviToMpg(dir.File("odd.avi"), dir.File("odd.mpg"), 0, 0, 0, 4, 0, 0));
  EXPECT_TRUE(services.mp2Path.empty());  // the sound was not converted
  EXPECT_TRUE(log.HasLine("Output frame size: 336x242"));
  EXPECT_TRUE(log.HasLine("Frame rate: 29.97 FPS"));
  EXPECT_TRUE(log.HasLine("Bit-rate: 1228800"));  // no audio inside the engine
  ParsedStream s = ParseFile(dir.File("odd.mpg"));
  EXPECT_EQ(s.horizontalSize, 336);
  EXPECT_EQ(s.verticalSize, 242);
  EXPECT_EQ(s.frameRateCode, 4);
  EXPECT_EQ(s.bitRateField, 3072);

  // 24.50 frames/s without a choice is coded at the nearest rate, 25, a frame repeated
  // now and then so the duration is kept.
  log.lines.clear();
  AviServices again;
  again.avi = MovingAvi(64, 48, 2, 2450, 100);
  ScopedMpegEngineServices scoped2(again.Make());
  EXPECT_TRUE(ConvertAviToMpg(dir.File("r.avi"), dir.File("r.mpg"), 0, 0, 0, 0, 0, 0));
  EXPECT_TRUE(log.HasLine(
      "Frame rate 24.500 FPS coded at 25.000 FPS, frames repeated to keep the duration"))
      << log.Joined();
  EXPECT_EQ(ParseFile(dir.File("r.mpg")).frameRateCode, 3);
}

TEST(ConverterTest, ImageListResultsAndFailures) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  RecordingPrompts prompts;
  ScopedPrompts promptScope(prompts);
  TempDir dir;
  ImageList list(48, 32, 3, 2);
  std::string out = dir.File("list.mpg");
  ASSERT_TRUE(list.Convert(out, 3));
  EXPECT_EQ(log.lines, (std::vector<std::string>{"BPP: 24", "Number of images: 3",
                                                 "Compressing video...", "Bit-rate: 1228800",
                                                 "Frame rate: 25 FPS", "Video completed"}));
  EXPECT_EQ(ParseFile(out).pictures.size(), 6u);
  EXPECT_EQ(list.images.loads, 3);  // each image once, though coding order goes back and forth
  // The nominal 10 frames/s of a list are tripled when no rate is chosen.
  ASSERT_TRUE(list.Convert(out, 0));
  EXPECT_EQ(ParseFile(out).pictures.size(), 18u);
  EXPECT_EQ(ParseFile(out).frameRateCode, 5);

  // An image that cannot be loaded ends the conversion and leaves the old output alone.
  std::vector<uint8_t> before = testing::ReadBytes(out);
  log.lines.clear();
  list.paths[1] = "/images/missing.bmp";
  EXPECT_FALSE(list.Convert(out, 3));
  EXPECT_EQ(log.lines.back(), "Error: loading of /images/missing.bmp failed");
  EXPECT_EQ(testing::ReadBytes(out), before);
  EXPECT_EQ(EngineBlockCount(), 0u);

  // A requested size the bitstream cannot hold: one message, no output, memory freed.
  log.lines.clear();
  list.paths[1] = list.paths[0];
  MpegEngineServices s;
  s.loadImage = list.images.Loader();
  ScopedMpegEngineServices scoped(s);
  EXPECT_FALSE(ConvertImageListToMpg(list.paths, list.counts, "", dir.File("wide.mpg"), 0, 0, 0, 3,
                                     4200, 32));
  EXPECT_EQ(log.fatals, std::vector<std::string>{});
  EXPECT_TRUE(log.HasLine("Error: frame is too big (4200x32 pixels)"));
  EXPECT_FALSE(fs::exists(dir.File("wide.mpg")));
  EXPECT_EQ(EngineBlockCount(), 0u);
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename(), "list.mpg");

  log.lines.clear();
  std::string nowhere = dir.File("no/such/folder/x.mpg");
  EXPECT_FALSE(ConvertImageListToMpg(list.paths, list.counts, "", nowhere, 0, 0, 0, 3, 0, 0));
  EXPECT_EQ(log.lines.back(), "Error: couldn't open " + nowhere);

  log.lines.clear();
  // Without a stand-in the program's own loader reads the files, and these are not there.
  ScopedMpegEngineServices none{MpegEngineServices{}};
  EXPECT_FALSE(ConvertImageListToMpg(list.paths, list.counts, "", out, 0, 0, 0, 3, 0, 0));
  EXPECT_EQ(log.lines.back(), "Error: loading of " + list.paths[0] + " failed");
}

TEST(ConverterTest, FourBitFirstImageIsRefused) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  testing::InMemoryImages images;
  images.Add("/a.bmp", NewDib(16, 16, 4, 16));
  MpegEngineServices s;
  s.loadImage = images.Loader();
  ScopedMpegEngineServices scoped(s);
  EXPECT_FALSE(ConvertImageListToMpg({"/a.bmp"}, {3}, "", dir.File("a.mpg"), 0, 0, 0, 3, 0, 0));
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "BPP: 4", "Error: 4 BPP is unsupported (must be 8, 16, 24 or 32)"}));
  EXPECT_FALSE(fs::exists(dir.File("a.mpg")));
}

}  // namespace
}  // namespace quendrolix

namespace quendrolix {
namespace {

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

// Pictures held on screen: the slideshow coding of the project's MPG road.
struct Slideshow {
  testing::InMemoryImages images;
  std::vector<std::string> paths;
  std::vector<int> counts;
  Slideshow(int w, int h, const std::vector<int>& holds) {
    for (size_t i = 0; i < holds.size(); ++i) {
      paths.push_back("/slides/" + std::to_string(i) + ".bmp");
      images.Add(paths.back(), testing::MovingPicture(w, h, 40 * static_cast<int>(i)));
      counts.push_back(holds[i]);
    }
  }
  bool Convert(const std::string& output, int videoKbps = kAutomaticVideoRate) {
    MpegEngineServices s;
    s.loadImage = images.Loader();
    ScopedMpegEngineServices scope(s);
    VideoCoding coding;
    coding.videoRateKbps = videoKbps;
    coding.slideshow = true;
    return ConvertImageListToMpg(paths, counts, "", output, 0, 0, 0, 3, 0, 0, kImageListRate,
                                 kImageListScale, coding);
  }
};

TEST(SlideshowTest, EachPictureIsOneClosedGopOfAnIPictureAndEmptyRepeats) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  Slideshow show(80, 48, {3, 1, 5});
  PictureRecorder recorder;
  ASSERT_TRUE(show.Convert(dir.File("s.m1v")));
  ParsedStream s = ParseFile(dir.File("s.m1v"));
  ASSERT_EQ(s.error, "");
  EXPECT_EQ(Types(s), (std::vector<int>{1, 2, 2, 1, 1, 2, 2, 2, 2}));
  EXPECT_EQ(TemporalReferences(s), (std::vector<int>{0, 1, 2, 0, 0, 1, 2, 3, 4}));
  ASSERT_EQ(s.gops.size(), 3u);
  const int firsts[] = {0, 3, 4};
  for (int g = 0; g < 3; ++g) {
    EXPECT_TRUE(s.gops[g].closed);
    EXPECT_EQ(s.gops[g].firstPicture, firsts[g]);
    EXPECT_EQ(s.gops[g].timeCode, TimeCode(firsts[g], 25));
  }
  EXPECT_EQ(s.bitRateField, 0x3FFFF);  // the rate is variable by design
  // A repeat is one slice: its first and last macroblocks sent with a zero vector and no
  // coefficients, the 13 between skipped.
  for (int i : {1, 2, 5, 8}) {
    const ParsedPicture& p = s.pictures[i];
    EXPECT_EQ(p.sliceQuantisers.size(), 1u) << i;
    ASSERT_EQ(p.macroblocks.size(), 2u) << i;
    EXPECT_EQ(p.macroblocks[0].address, 0);
    EXPECT_EQ(p.macroblocks[1].address, 14);
    for (const ParsedMacroblock& mb : p.macroblocks) {
      EXPECT_EQ(mb.flags, kMbForward);
      EXPECT_EQ(mb.motion[0][0], 0);
      EXPECT_EQ(mb.motion[0][1], 0);
    }
  }
  // What a decoder shows for a repeat is its I picture.
  ASSERT_EQ(recorder.reconstruction.size(), 9u);
  for (int f : {1, 2}) EXPECT_EQ(recorder.reconstruction[f], recorder.reconstruction[0]);
  for (int f : {5, 6, 7, 8}) EXPECT_EQ(recorder.reconstruction[f], recorder.reconstruction[4]);
  EXPECT_NE(recorder.reconstruction[3], recorder.reconstruction[0]);
}

TEST(SlideshowTest, APictureSpendsWhatItsTimeOnScreenEarned) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  // At 200 kbit/s (8000 bits a frame) a picture shown for 2 frames gets a coarse
  // quantiser; shown for 40 frames the same picture is sent far finer.
  Slideshow brief(176, 144, {2, 40, 40});
  brief.paths[2] = brief.paths[0];  // the first picture again, after another one
  ASSERT_TRUE(brief.Convert(dir.File("b.m1v"), 200));
  ParsedStream s = ParseFile(dir.File("b.m1v"));
  ASSERT_EQ(s.error, "");
  ASSERT_EQ(s.gops.size(), 3u);
  const ParsedPicture& shortHold = s.pictures[s.gops[0].firstPicture];
  const ParsedPicture& longHold = s.pictures[s.gops[2].firstPicture];
  EXPECT_GT(shortHold.sliceQuantisers[0], longHold.sliceQuantisers[0]);
  EXPECT_GT(longHold.bytes, 2 * shortHold.bytes);
  // Each picture stays within what arrived for it (its own share for the first).
  EXPECT_LE(8.0 * shortHold.bytes, 2 * 8000.0);
  EXPECT_LE(8.0 * longHold.bytes, 40 * 8000.0);
  // The whole stream keeps to the rate on average.
  EXPECT_LE(8.0 * testing::ReadBytes(dir.File("b.m1v")).size(), 82 * 8000.0 * 1.02);
}

TEST(SlideshowTest, ListsOfSingleFramesKeepTheFixedPattern) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  // One frame a picture on average is an animation: I/P/B coding predicts it far better.
  Slideshow animation(48, 32, {1, 1, 1, 2, 1, 1});
  ASSERT_TRUE(animation.Convert(dir.File("a.m1v")));
  ParsedStream s = ParseFile(dir.File("a.m1v"));
  ASSERT_EQ(s.error, "");
  EXPECT_EQ(Types(s), (std::vector<int>{1, 2, 3, 3, 2, 3, 3}));
  EXPECT_NE(s.bitRateField, 0x3FFFF);
}

TEST(CodingLoopTest, ThreadCountNeverChangesTheStream) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  ImageList list(176, 144, 14);
  std::vector<uint64_t> hashes;
  for (int threads : {1, 2, 3}) {
    SetMpegVideoThreads(threads);
    std::string out = dir.File("t" + std::to_string(threads) + ".m1v");
    ASSERT_TRUE(list.Convert(out, 5));
    hashes.push_back(Fnv1a(testing::ReadBytes(out)));
  }
  SetMpegVideoThreads(0);
  EXPECT_EQ(hashes[0], hashes[1]);
  EXPECT_EQ(hashes[0], hashes[2]);
}

constexpr size_t kRecordSize = 31227;
constexpr uint64_t kRecordHash = 1239123603896664815ull;

// A reference record of one small sequence: any change to the bits the encoder writes
// (rounding, decisions, tables) changes it. When a change is intended, check the new
// stream with the interop tests and record its size and checksum here.
TEST(CodingLoopTest, ReferenceRecord) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  TempDir dir;
  ImageList list(96, 64, 20);
  ASSERT_TRUE(list.Convert(dir.File("record.m1v"), 3));
  std::vector<uint8_t> bytes = testing::ReadBytes(dir.File("record.m1v"));
  EXPECT_EQ(bytes.size(), kRecordSize);
  EXPECT_EQ(Fnv1a(bytes), kRecordHash);
}

}  // namespace
}  // namespace quendrolix

namespace quendrolix {
namespace {

TEST(ConverterTest, ImageListWithSoundGoesThroughTheMultiplexer) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  RecordingPrompts prompts;
  ScopedPrompts promptScope(prompts);
  TempDir dir;
  ImageList list(48, 32, 4);
  testing::WriteText(dir.File("tune.wav"), "RIFF");
  std::string convertedFrom, mp2, video, output;
  bool throwInMultiplex = false;
  MpegEngineServices s;
  s.loadImage = list.images.Loader();
  s.convertSoundToMp2 = [&](const std::string& sound, const std::string& to) {
    convertedFrom = sound;
    mp2 = to;
    testing::WriteText(to, "mp2");
    return true;
  };
  s.multiplex = [&](const std::string& v, const std::string& a, const std::string& o) {
    if (throwInMultiplex) throw CFileException("bad stream");
    video = v;
    EXPECT_EQ(a, mp2);
    EXPECT_EQ(ParseFile(v).pictures.size(), 4u);
    output = o;
    testing::WriteText(o, "system stream");
    return MultiplexCounters{0, 1};
  };
  ScopedMpegEngineServices scoped(s);
  std::string out = dir.File("with sound.mpg");
  EXPECT_TRUE(
      ConvertImageListToMpg(list.paths, list.counts, dir.File("tune.wav"), out, 0, 0, 0, 3, 0, 0));
  EXPECT_EQ(convertedFrom, dir.File("tune.wav"));
  EXPECT_EQ(fs::path(mp2).filename(), "Temp.Mp2");
  EXPECT_EQ(fs::path(video).filename(), "TempMpg.mpg");
  EXPECT_NE(fs::path(video).parent_path(), dir.path());
  EXPECT_FALSE(fs::exists(video));  // the private folder went with the conversion
  EXPECT_EQ(output, out);
  EXPECT_TRUE(log.HasLine("Bit-rate: 1064960"));  // room left for 128 kbit/s of sound
  EXPECT_EQ(log.lines.back(), "Error: audio timed-out");

  throwInMultiplex = true;
  EXPECT_FALSE(
      ConvertImageListToMpg(list.paths, list.counts, dir.File("tune.wav"), out, 0, 0, 0, 3, 0, 0));
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].substr(0, 14), "Aaaaargh!!! Th");

  log.lines.clear();
  EXPECT_TRUE(ConvertImageListToMpg(list.paths, list.counts, dir.File("missing.wav"),
                                    dir.File("silent.mpg"), 0, 0, 0, 3, 0, 0));
  EXPECT_EQ(log.lines.front(),
            "Warning: " + dir.File("missing.wav") + " not found: the MPG has no sound");
  EXPECT_EQ(ParseFile(dir.File("silent.mpg")).pictures.size(), 4u);
}

}  // namespace
}  // namespace quendrolix
