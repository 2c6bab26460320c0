#include "image/gif/gif_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image/gif/gif_colour_map.h"
#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"
#include "support/gif_fixtures.h"
#include "support/gif_synthetic_photo.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::MakeDib24;
using testing::ParsedGif;
using testing::ParseGif;
using testing::Psnr;
using testing::ReadBytes;
using testing::Solid;
using testing::TempDir;

struct Source {
  int width, height;
  std::vector<uint8_t> rgb;
  unsigned count = 1;
};

// Writes the sources through a provider that builds each DIB only when asked.
GifWriteResult Write(const std::string& path, const std::vector<Source>& sources,
                     const GifOutputSettings& settings, std::vector<size_t>* asked = nullptr) {
  return WriteAnimatedGif(
      path, sources.size(),
      [&](size_t i, GifSourceFrame& frame, std::string&) {
        if (asked) asked->push_back(i);
        frame.dib = MakeDib24(sources[i].width, sources[i].height, sources[i].rgb);
        frame.frameCount = sources[i].count;
        frame.name = "pic" + std::to_string(i) + ".bmp";
        return GifFrameStatus::kFrame;
      },
      settings);
}

// The decoded image as RGB through its colour table.
std::vector<uint8_t> Decoded(const ParsedGif& gif, size_t image) {
  const auto& im = gif.images.at(image);
  std::vector<uint8_t> rgb(im.indices.size() * 3);
  for (size_t i = 0; i < im.indices.size(); ++i) gif.Colour(im, i, &rgb[3 * i]);
  return rgb;
}

// A picture of few colours: stripes and a block.
std::vector<uint8_t> Pattern(int w, int h, int shift) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      int band = ((x + shift) / 4 + y / 3) % 5;
      p[0] = static_cast<uint8_t>(band * 50);
      p[1] = static_cast<uint8_t>(255 - band * 40);
      p[2] = static_cast<uint8_t>((x > w / 2 && y > h / 2) ? 200 : 10);
    }
  return rgb;
}

// A gradient of one hue: reds for the first picture, greens for the second.
std::vector<uint8_t> Ramp(int w, int h, int channel) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      rgb[(static_cast<size_t>(y) * w + x) * 3 + channel] = static_cast<uint8_t>(x * 255 / (w - 1));
  return rgb;
}

TEST(GifWriter, TheGlobalColourMapServesEveryPictureWhenSampledFromAll) {
  TempDir dir;
  GifOutputSettings s;  // global colour map
  const std::vector<Source> src = {{64, 8, Ramp(64, 8, 0), 1}, {64, 8, Ramp(64, 8, 1), 1}};
  const std::string path = dir.File("ramps.gif");
  const GifWriteResult r = WriteAnimatedGif(
      path, src.size(),
      [&](size_t i, GifSourceFrame& frame, std::string&) {
        frame.dib = MakeDib24(src[i].width, src[i].height, src[i].rgb);
        frame.name = "ramp" + std::to_string(i);
        return GifFrameStatus::kFrame;
      },
      s,
      [&](std::vector<uint8_t>& rgb) {
        for (const Source& source : src)
          SampleGifColours(*MakeDib24(source.width, source.height, source.rgb), 256, rgb);
        return true;
      });
  ASSERT_TRUE(r.ok) << r.message;
  ParsedGif gif = ParseGif(ReadBytes(path));
  ASSERT_EQ(gif.images.size(), 2u);
  // The greens of the second picture are in the one map: close, not turned to red or grey.
  EXPECT_GT(Psnr(Decoded(gif, 1), src[1].rgb), 30);
  EXPECT_GT(Psnr(Decoded(gif, 0), src[0].rgb), 30);
  // Made from the first picture alone, the map has no green at all.
  const std::string first = dir.File("first.gif");
  ASSERT_TRUE(Write(first, src, s).ok);
  EXPECT_LT(Psnr(Decoded(ParseGif(ReadBytes(first)), 1), src[1].rgb), 15);
}

TEST(GifWriter, LaysOutHeaderScreenTableLoopControlImagesAndTrailer) {
  TempDir dir;
  std::string path = dir.File("a.gif");
  GifOutputSettings s;  // global colour map, play 1, delay 100
  s.SetPlay(0);
  s.SetGlobalDelay(7);
  std::vector<Source> src = {{21, 13, Pattern(21, 13, 0), 1},
                             {21, 13, Pattern(21, 13, 3), 3},
                             {21, 13, Pattern(21, 13, 5), 0}};
  GifWriteResult r = Write(path, src, s);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.picturesRead, 3u);
  EXPECT_EQ(r.imagesWritten, 3u);
  auto bytes = ReadBytes(path);
  EXPECT_EQ(r.bytes, bytes.size());
  ParsedGif gif = ParseGif(bytes);

  EXPECT_EQ(gif.signature, "GIF89a");
  EXPECT_EQ(gif.width, 21);
  EXPECT_EQ(gif.height, 13);
  EXPECT_TRUE(gif.hasGlobalTable);
  EXPECT_EQ(gif.colourResolution, 8);
  EXPECT_EQ(gif.globalTable.size(), 3u * 16);  // 5 x 2 colours, rounded up to 16 entries
  EXPECT_EQ(gif.loopCount, 0);                 // forever
  EXPECT_EQ(gif.blockOrder, (std::vector<std::string>{"ext:FF", "ext:F9", "image", "ext:F9",
                                                      "image", "ext:F9", "image", "trailer"}));
  std::vector<int> delays;
  for (size_t i = 0; i < gif.images.size(); ++i) {
    const auto& im = gif.images[i];
    EXPECT_TRUE(im.hasControl);
    EXPECT_FALSE(im.transparentFlag);
    EXPECT_EQ(im.disposal, 1);
    EXPECT_EQ(im.left, 0);
    EXPECT_EQ(im.top, 0);
    EXPECT_EQ(im.width, 21);
    EXPECT_EQ(im.height, 13);
    EXPECT_FALSE(im.interlaced);
    EXPECT_TRUE(im.localTable.empty());
    EXPECT_EQ(im.minCodeSize, 4);
    // Ten colours fit the map: every picture comes back exactly.
    EXPECT_EQ(Decoded(gif, i), src[i].rgb) << i;
    delays.push_back(im.delay);
  }
  EXPECT_EQ(delays, (std::vector<int>{7, 21, 7}));  // frame count x delay, 0 counted as 1
}

TEST(GifWriter, PlayCountMapsOntoTheLoopingExtension) {
  // Players show an animation once more than the extension's loop count, and once when
  // it has none.
  EXPECT_EQ(GifLoopCount(0), 0);
  EXPECT_EQ(GifLoopCount(1), -1);
  EXPECT_EQ(GifLoopCount(2), 1);
  EXPECT_EQ(GifLoopCount(255), 254);

  TempDir dir;
  std::vector<Source> src = {{8, 8, Pattern(8, 8, 0)}, {8, 8, Pattern(8, 8, 2)}};
  for (int play : {1, 2, 200}) {
    GifOutputSettings s;
    s.SetPlay(static_cast<uint8_t>(play));
    ASSERT_TRUE(Write(dir.File("p.gif"), src, s).ok);
    ParsedGif gif = ParseGif(ReadBytes(dir.File("p.gif")));
    if (play == 1) {
      EXPECT_FALSE(gif.loopCount.has_value());
    } else {
      EXPECT_EQ(gif.loopCount, play - 1);
      EXPECT_EQ(gif.loopExtensionPosition, 0u);  // before any image
    }
  }
}

TEST(GifWriter, LocalColourMapsAndInterlacing) {
  TempDir dir;
  GifOutputSettings s;
  s.SetGlobalColormap(false);
  s.SetInterlaced(true);
  // Two pictures of entirely different colours, 19 rows so every interlace pass is uneven.
  std::vector<Source> src = {{10, 19, Pattern(10, 19, 0)}, {10, 19, Solid(10, 19, 1, 2, 3)}};
  for (size_t i = 0; i < src[1].rgb.size(); i += 30) src[1].rgb[i] = 250;  // two colours
  ASSERT_TRUE(Write(dir.File("l.gif"), src, s).ok);
  ParsedGif gif = ParseGif(ReadBytes(dir.File("l.gif")));
  EXPECT_FALSE(gif.hasGlobalTable);
  ASSERT_EQ(gif.images.size(), 2u);
  EXPECT_EQ(gif.images[0].localTable.size(), 3u * 16);
  EXPECT_EQ(gif.images[1].localTable.size(), 3u * 2);
  EXPECT_EQ(gif.images[1].minCodeSize, 2);  // GIF's smallest
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(gif.images[i].interlaced);
    EXPECT_EQ(Decoded(gif, i), src[i].rgb) << i;  // rows come back in place
  }

  // With one map for all, the second picture is drawn in the first one's colours.
  s.SetGlobalColormap(true);
  ASSERT_TRUE(Write(dir.File("g.gif"), src, s).ok);
  gif = ParseGif(ReadBytes(dir.File("g.gif")));
  EXPECT_TRUE(gif.images[1].localTable.empty());
  EXPECT_NE(Decoded(gif, 1), src[1].rgb);
}

TEST(GifWriter, TheMostCommonColourOfTheFirstPictureIsTheTransparentEntry) {
  TempDir dir;
  GifOutputSettings s;
  s.SetTransparency(3);
  const int w = 48, h = 40;
  auto scene = testing::SyntheticPhotoScene(w, h, 2);
  std::vector<Source> src;
  for (int t = 0; t < 2; ++t) {
    // A photographic picture on a flat backdrop: more than 256 colours, so dithered.
    auto rgb = scene.Frame(t);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (x < 12 + t || y < 8) {
          uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
          p[0] = 255, p[1] = 0, p[2] = 255;
        }
    src.push_back({w, h, rgb});
  }
  for (bool global : {true, false}) {
    SCOPED_TRACE(global);
    s.SetGlobalColormap(global);
    ASSERT_TRUE(Write(dir.File("t.gif"), src, s).ok);
    ParsedGif gif = ParseGif(ReadBytes(dir.File("t.gif")));
    EXPECT_EQ(gif.backgroundIndex, 3);
    for (size_t i = 0; i < gif.images.size(); ++i) {
      const auto& im = gif.images[i];
      EXPECT_TRUE(im.transparentFlag);
      EXPECT_EQ(im.transparentIndex, 3);
      EXPECT_EQ(im.disposal, 2);  // cleared before the next: the page shows through
      const auto& table = im.localTable.empty() ? gif.globalTable : im.localTable;
      EXPECT_EQ(table[9], 255);
      EXPECT_EQ(table[10], 0);
      EXPECT_EQ(table[11], 255);
      for (size_t p = 0; p < im.indices.size(); ++p) {
        bool backdrop =
            src[i].rgb[3 * p] == 255 && src[i].rgb[3 * p + 1] == 0 && src[i].rgb[3 * p + 2] == 255;
        ASSERT_EQ(im.indices[p] == 3, backdrop) << "pixel " << p << " of image " << i;
      }
    }
  }

  // Entries past the picture's colours: the map is padded up to the entry.
  s.SetTransparency(200);
  s.SetGlobalColormap(true);
  std::vector<Source> two = {{4, 4, Solid(4, 4, 9, 9, 9)}};
  two[0].rgb[0] = 1;
  ASSERT_TRUE(Write(dir.File("k.gif"), two, s).ok);
  ParsedGif gif = ParseGif(ReadBytes(dir.File("k.gif")));
  ASSERT_EQ(gif.globalTable.size(), 3u * 256);
  EXPECT_EQ(gif.globalTable[600], 9);
  EXPECT_EQ(gif.images[0].indices[0], 0);
  EXPECT_EQ(gif.images[0].indices[1], 200);

  // A value outside 0 to 255 that came from the settings file means no transparency.
  s.SetTransparency(300);
  ASSERT_TRUE(Write(dir.File("n.gif"), two, s).ok);
  EXPECT_FALSE(ParseGif(ReadBytes(dir.File("n.gif"))).images[0].transparentFlag);
}

TEST(GifWriter, MergesIdenticalNeighboursAndSplitsDelaysTooLongForOneImage) {
  TempDir dir;
  GifOutputSettings s;
  s.SetGlobalDelay(50);
  auto a = Pattern(16, 9, 0), b = Pattern(16, 9, 1);
  std::vector<Source> src = {{16, 9, a, 2}, {16, 9, a, 3}, {16, 9, b, 1}, {16, 9, a, 1}};
  GifWriteResult r = Write(dir.File("m.gif"), src, s);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.picturesRead, 4u);
  EXPECT_EQ(r.imagesWritten, 3u);
  ParsedGif gif = ParseGif(ReadBytes(dir.File("m.gif")));
  ASSERT_EQ(gif.images.size(), 3u);
  EXPECT_EQ(gif.images[0].delay, 250);
  EXPECT_EQ(gif.images[1].delay, 50);
  EXPECT_EQ(gif.images[2].delay, 50);

  // 1000 frames of 150 hundredths: 150000, written as 65535 + 65535 + 18930.
  s.SetGlobalDelay(150);
  src = {{16, 9, a, 1000}, {16, 9, b, 1}};
  r = Write(dir.File("long.gif"), src, s);
  ASSERT_TRUE(r.ok);
  gif = ParseGif(ReadBytes(dir.File("long.gif")));
  std::vector<int> delays;
  for (const auto& im : gif.images) delays.push_back(im.delay);
  EXPECT_EQ(delays, (std::vector<int>{65535, 65535, 18930, 150}));
  EXPECT_EQ(Decoded(gif, 2), a);
}

TEST(GifWriter, PhotographsKeepTheirDetail) {
  TempDir dir;
  const int w = 160, h = 120;
  testing::SyntheticPhotoScene scene(w, h, 4);
  std::vector<Source> src;
  for (int t = 0; t < 4; ++t) src.push_back({w, h, scene.Frame(t * 3)});
  for (bool global : {true, false}) {
    GifOutputSettings s;
    s.SetGlobalColormap(global);
    ASSERT_TRUE(Write(dir.File("photo.gif"), src, s).ok);
    ParsedGif gif = ParseGif(ReadBytes(dir.File("photo.gif")));
    ASSERT_EQ(gif.images.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
      double psnr = Psnr(Decoded(gif, i), src[i].rgb);
      // About 42 dB; a fixed 3-3-2 colour cube with the same dithering gives 20 dB.
      EXPECT_GT(psnr, 39.0) << "image " << i << (global ? " global" : " local");
    }
  }
}

TEST(GifWriter, ColourMapMeetsItsLimitsAndMapperFindsTheNearestEntry) {
  testing::SyntheticPhotoScene scene(64, 48, 1);
  auto rgb = scene.Frame(0);
  for (int limit : {1, 2, 16, 255, 256}) {
    auto map = BuildGifColourMap(rgb.data(), rgb.size() / 3, limit);
    EXPECT_LE(map.size(), static_cast<size_t>(limit));
    EXPECT_GE(map.size(), std::min<size_t>(limit, 2));
  }
  // The cell lists never lose the true nearest entry.
  auto map = BuildGifColourMap(rgb.data(), rgb.size() / 3, 64);
  GifColourMapper mapper(map);
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 7)
      for (int b = 0; b < 256; b += 3) {
        int best = 0, bestDistance = 1 << 30;
        for (size_t k = 0; k < map.size(); ++k) {
          int dr = map[k].r - r, dg = map[k].g - g, db = map[k].b - b;
          int d = kGifWeightRed * dr * dr + kGifWeightGreen * dg * dg + kGifWeightBlue * db * db;
          if (d < bestDistance) bestDistance = d, best = static_cast<int>(k);
        }
        const GifRgb& got = map[mapper.Nearest(r, g, b)];
        int dr = got.r - r, dg = got.g - g, db = got.b - b;
        ASSERT_EQ(kGifWeightRed * dr * dr + kGifWeightGreen * dg * dg + kGifWeightBlue * db * db,
                  bestDistance)
            << r << "," << g << "," << b << " best " << best;
      }
}

TEST(GifWriter, PullsPicturesOneAtATimeAndReportsProgress) {
  TempDir dir;
  RecordingConversionLog log;
  ScopedConversionLog scopedLog(log);
  RecordingPrompts prompts;
  ScopedPrompts scopedPrompts(prompts);
  std::vector<Source> src = {{6, 6, Pattern(6, 6, 0)},
                             {6, 6, Pattern(6, 6, 1)},
                             {6, 6, Pattern(6, 6, 2)},
                             {6, 6, Pattern(6, 6, 3)}};
  std::vector<size_t> asked;
  ASSERT_TRUE(Write(dir.File("p.gif"), src, GifOutputSettings{}, &asked).ok);
  EXPECT_EQ(asked, (std::vector<size_t>{0, 1, 2, 3}));
  EXPECT_EQ(log.percents, (std::vector<int>{25, 50, 75, 100}));
  EXPECT_EQ(prompts.statuses.front(), "1 of 4: pic0.bmp");
  EXPECT_EQ(prompts.statuses.back(), "4 of 4: pic3.bmp");
}

TEST(GifWriter, TopDownAndThirtyTwoBitPictures) {
  TempDir dir;
  auto rgb = Pattern(5, 4, 0);
  HDIB dib = NewDib(5, 4, 32, 0);
  dib->header().biHeight = -4;  // top-down rows
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      uint8_t* d = DibPixels(*dib) + static_cast<size_t>(y) * 20 + 4 * x;
      const uint8_t* s = &rgb[(static_cast<size_t>(y) * 5 + x) * 3];
      d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = 0x77;
    }
  GifWriteResult r = WriteAnimatedGif(
      dir.File("d.gif"), 1,
      [&](size_t, GifSourceFrame& frame, std::string&) {
        frame.dib = std::move(dib);
        return GifFrameStatus::kFrame;
      },
      GifOutputSettings{});
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(Decoded(ParseGif(ReadBytes(dir.File("d.gif"))), 0), rgb);
}

// What is left in a folder besides the given file: the temporary file must be gone.
std::vector<std::string> Leftovers(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(GifWriter, FailuresLeaveTheOldFileAndNoTemporaryFile) {
  TempDir dir;
  std::string path = dir.File("keep.gif");
  testing::WriteText(path, "old contents");
  auto good = Pattern(8, 8, 0);

  auto run = [&](std::function<GifFrameStatus(size_t, GifSourceFrame&, std::string&)> provider,
                 size_t count = 3) {
    return WriteAnimatedGif(path, count, provider, GifOutputSettings{});
  };
  // The provider fails on the third picture.
  GifWriteResult r = run([&](size_t i, GifSourceFrame& f, std::string& message) {
    if (i == 2) {
      message = "Could not load c.bmp";
      return GifFrameStatus::kFailed;
    }
    f.dib = MakeDib24(8, 8, good);
    return GifFrameStatus::kFrame;
  });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "Could not load c.bmp");
  EXPECT_EQ(testing::ReadText(path), "old contents");
  EXPECT_EQ(Leftovers(dir), std::vector<std::string>{"keep.gif"});

  // Pictures that are not true colour, or not a picture at all.
  r = run([&](size_t, GifSourceFrame& f, std::string&) {
    f.dib = NewDib(8, 8, 8, 256);
    f.name = "eight.bmp";
    return GifFrameStatus::kFrame;
  });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "eight.bmp is not a true-colour picture (8 bits per pixel)");
  r = run([&](size_t, GifSourceFrame& f, std::string&) {
    f.dib = DibBlock::Allocate(60);
    f.dib->header().biSize = 40;
    f.dib->header().biWidth = 100000;
    f.dib->header().biHeight = 100000;
    f.dib->header().biBitCount = 24;
    f.name = "huge.bmp";
    return GifFrameStatus::kFrame;
  });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "Could not load huge.bmp");
  r = run([&](size_t, GifSourceFrame&, std::string&) { return GifFrameStatus::kEnd; });
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "No bitmaps specified");
  EXPECT_FALSE(run({}, 0).ok);
  EXPECT_EQ(testing::ReadText(path), "old contents");
  EXPECT_EQ(Leftovers(dir), std::vector<std::string>{"keep.gif"});

  // A folder that does not exist.
  std::vector<Source> src = {{8, 8, good}};
  r = Write(dir.File("missing/x.gif"), src, GifOutputSettings{});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "Could not create " + dir.File("missing/x.gif"));
}

TEST(GifWriter, AnotherSizeOrTheProvidersEndShortensTheAnimation) {
  TempDir dir;
  std::vector<Source> src = {{8, 8, Pattern(8, 8, 0)},
                             {8, 8, Pattern(8, 8, 1)},
                             {9, 8, Pattern(9, 8, 0)},
                             {8, 8, Pattern(8, 8, 2)}};
  GifWriteResult r = Write(dir.File("s.gif"), src, GifOutputSettings{});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.message, "The size of pic2.bmp (9x8) does not match the size of animation (8x8)");
  EXPECT_EQ(r.picturesRead, 2u);
  EXPECT_EQ(ParseGif(ReadBytes(dir.File("s.gif"))).images.size(), 2u);

  r = WriteAnimatedGif(
      dir.File("e.gif"), 5,
      [&](size_t i, GifSourceFrame& f, std::string& message) {
        if (i == 1) {
          message = "Could not load b.bmp";
          return GifFrameStatus::kEnd;
        }
        f.dib = MakeDib24(8, 8, src[0].rgb);
        return GifFrameStatus::kFrame;
      },
      GifOutputSettings{});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.message, "Could not load b.bmp");
  EXPECT_EQ(ParseGif(ReadBytes(dir.File("e.gif"))).images.size(), 1u);
}

}  // namespace
}  // namespace quendrolix
