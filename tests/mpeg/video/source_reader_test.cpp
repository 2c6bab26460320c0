#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mpeg/video/engine_memory.h"
#include "mpeg/video/engine_settings.h"
#include "mpeg/video/source_reader.h"
#include "platform/host/conversion_log.h"
#include "support/mpeg_video_fixtures.h"

namespace quendrolix {
namespace {
using testing::MakeDib;
using testing::Rgb;

EncodingParameters Coded(int hs, int vs) {
  EncodingParameters p;
  p.horizontalSize = hs;
  p.verticalSize = vs;
  p.mbWidth = (hs + 15) / 16;
  p.mbHeight = (vs + 15) / 16;
  p.codedWidth = 16 * p.mbWidth;
  p.codedHeight = 16 * p.mbHeight;
  p.chromaWidth = p.codedWidth / 2;
  p.chromaHeight = p.codedHeight / 2;
  return p;
}

// A frame store of its own plus the reader's scratch.
struct Frame {
  explicit Frame(const EncodingParameters& p)
      : y(p.codedWidth * p.codedHeight, 77),
        cb(p.chromaWidth * p.chromaHeight, 77),
        cr(p.chromaWidth * p.chromaHeight, 77),
        scratch(ConversionScratchBytes(p)),
        w(p.codedWidth) {
    store = FrameStore{y.data(), cb.data(), cr.data()};
  }
  int Y(int x, int row) const { return y[row * w + x]; }
  std::vector<uint8_t> y, cb, cr, scratch;
  int w;
  FrameStore store;
};

TEST(ColourConversionTest, VideoRangeBt601) {
  YCbCr white = ConvertPixel(255, 255, 255);
  EXPECT_EQ(white.y, 235);
  EXPECT_EQ(white.cb, 128);
  EXPECT_EQ(white.cr, 128);
  YCbCr black = ConvertPixel(0, 0, 0);
  EXPECT_EQ(black.y, 16);
  EXPECT_EQ(black.cb, 128);
  EXPECT_EQ(black.cr, 128);
  EXPECT_EQ(ConvertPixel(255, 0, 0).cb, 240);   // pure blue
  EXPECT_EQ(ConvertPixel(0, 255, 255).cb, 16);  // yellow
  EXPECT_EQ(ConvertPixel(0, 0, 255).cr, 240);   // pure red
  EXPECT_EQ(ConvertPixel(255, 255, 0).cr, 16);  // cyan
  // Every colour within half a level of the exact matrix, and every grey with neutral
  // chroma (a tint on greys is the first thing people notice).
  for (int b = 0; b < 256; b += 15)
    for (int g = 0; g < 256; g += 15)
      for (int r = 0; r < 256; r += 15) {
        YCbCr c = ConvertPixel(b, g, r);
        double y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255;
        double cb = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255;
        double cr = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255;
        ASSERT_NEAR(c.y, y, 0.5 + 1e-3) << b << " " << g << " " << r;
        ASSERT_NEAR(c.cb, cb, 0.5 + 1e-3) << b << " " << g << " " << r;
        ASSERT_NEAR(c.cr, cr, 0.5 + 1e-3) << b << " " << g << " " << r;
      }
  for (int v = 0; v < 256; ++v) {
    YCbCr grey = ConvertPixel(v, v, v);
    ASSERT_EQ(grey.cb, 128) << v;
    ASSERT_EQ(grey.cr, 128) << v;
  }
}

TEST(ColourConversionTest, WhatAPlayerShowsIsTheSourceWithinTwoLevels) {
  int worst = 0;
  for (int b = 0; b < 256; b += 5)
    for (int g = 0; g < 256; g += 5)
      for (int r = 0; r < 256; r += 5) {
        YCbCr c = ConvertPixel(b, g, r);
        Bgr back = ConvertToRgb(c.y, c.cb, c.cr);
        worst = std::max({worst, std::abs(back.b - b), std::abs(back.g - g), std::abs(back.r - r)});
      }
  EXPECT_LE(worst, 2);
  Bgr white = ConvertToRgb(235, 128, 128), black = ConvertToRgb(16, 128, 128);
  EXPECT_EQ(white.r + white.g + white.b, 3 * 255);
  EXPECT_EQ(black.r + black.g + black.b, 0);
}

TEST(ColourConversionTest, ChromaIsThatOfEachBlocksMeanColour) {
  // Red, green / blue, white in the top-left 2x2 block: its Cb and Cr are the exact
  // matrix on the mean colour, rounded once.
  EncodingParameters p = Coded(16, 16);
  Frame f(p);
  const Rgb block[2][2] = {{{255, 0, 0}, {0, 255, 0}}, {{0, 0, 255}, {255, 255, 255}}};
  HDIB dib = MakeDib(16, 16, 24, [&](int x, int y) {
    return x < 2 && y < 2 ? block[y][x] : Rgb{90, 90, 90};
  });
  ASSERT_EQ(ConvertDibToFrame(*dib, p, f.store, f.scratch.data(), nullptr),
            DibConversion::kConverted);
  double r = (255 + 0 + 0 + 255) / 4.0, g = (0 + 255 + 0 + 255) / 4.0,
         b = (0 + 0 + 255 + 255) / 4.0;
  double cb = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255;
  double cr = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255;
  EXPECT_EQ(f.cb[0], static_cast<int>(std::floor(cb + 0.5)));
  EXPECT_EQ(f.cr[0], static_cast<int>(std::floor(cr + 0.5)));
  EXPECT_EQ(f.cb[1], 128);  // grey
  EXPECT_EQ(f.cr[1], 128);
}

TEST(ColourConversionTest, SixteenBitPixelsSetTheLowBits) {
  EncodingParameters p = Coded(16, 16);
  Frame f(p);
  for (unsigned word : {0x7FFFu, 0x0000u, 0xFFFFu}) {
    HDIB dib = NewDib(16, 16, 16, 0);
    uint8_t* px = DibPixels(*dib);
    for (size_t i = 0; i < dib->header().biSizeImage; i += 2) {
      px[i] = static_cast<uint8_t>(word);
      px[i + 1] = static_cast<uint8_t>(word >> 8);
    }
    ASSERT_EQ(ConvertDibToFrame(*dib, p, f.store, f.scratch.data(), nullptr),
              DibConversion::kConverted);
    // 0x7FFF (and 0xFFFF, whose top bit is ignored) is white; 0x0000 is (7, 7, 7).
    int expected = word & 0x7FFF ? 235 : ConvertPixel(7, 7, 7).y;
    EXPECT_EQ(f.Y(5, 5), expected) << std::hex << word;
    EXPECT_EQ(f.cb[0], 128);
    EXPECT_EQ(f.cr[0], 128);
  }
  EXPECT_EQ(ConvertPixel(7, 7, 7).y, 22);  // 16 + 7 x 219 / 255
}

TEST(ColourConversionTest, EveryDepthGivesTheSamePicture) {
  EncodingParameters p = Coded(32, 16);
  std::vector<Rgb> palette;
  for (int i = 0; i < 256; ++i)
    palette.push_back(Rgb{static_cast<uint8_t>(i & 0xF8), static_cast<uint8_t>((i * 8) & 0xF8),
                          static_cast<uint8_t>((255 - i) & 0xF8)});
  auto colour = [&](int x, int y) { return palette[(x * 7 + y * 13) & 255]; };
  std::vector<std::vector<uint8_t>> planes;
  for (int bits : {8, 16, 24, 32}) {
    HDIB dib = bits == 8 ? MakeDib(
                               32, 16, 8,
                               [](int x, int y) {
                                 return Rgb{static_cast<uint8_t>((x * 7 + y * 13) & 255), 0, 0};
                               },
                               palette)
                         : MakeDib(32, 16, bits, colour);
    Frame f(p);
    ASSERT_EQ(ConvertDibToFrame(*dib, p, f.store, f.scratch.data(), nullptr),
              DibConversion::kConverted);
    if (bits == 16) {
      // 5-bit values come back as v x 8 + 7; compare with that.
      for (int x = 0; x < 32; ++x) {
        Rgb c = colour(x, 3);
        EXPECT_EQ(f.Y(x, 3), ConvertPixel(c.b | 7, c.g | 7, c.r | 7).y);
      }
      continue;
    }
    planes.push_back(f.y);
    planes.push_back(f.cb);
  }
  EXPECT_EQ(planes[0], planes[2]);
  EXPECT_EQ(planes[0], planes[4]);
  EXPECT_EQ(planes[1], planes[3]);
  EXPECT_EQ(planes[1], planes[5]);
}

TEST(PlacementTest, OddSizesAreCentredOnBlack) {
  // 321 x 241 without resize: coded 336 x 256, vertical_size 242.
  EncodingParameters p = Coded(336, 242);
  Placement pl = PlaceSource(321, 241, p);
  EXPECT_EQ(pl.leftBorder, 7);
  EXPECT_EQ(pl.rightBorder, 8);
  EXPECT_EQ(pl.topBorder, 0);
  EXPECT_EQ(pl.bottomBorder, 15);
  HDIB dib = MakeDib(321, 241, 24, [](int, int) { return Rgb{255, 255, 255}; });
  Frame f(p);
  ASSERT_EQ(ConvertDibToFrame(*dib, p, f.store, f.scratch.data(), nullptr),
            DibConversion::kConverted);
  EXPECT_EQ(f.Y(6, 0), 16);
  EXPECT_EQ(f.Y(7, 0), 235);
  EXPECT_EQ(f.Y(327, 240), 235);
  EXPECT_EQ(f.Y(328, 240), 16);
  EXPECT_EQ(f.Y(100, 241), 16);
  EXPECT_EQ(f.Y(100, 255), 16);
  EXPECT_EQ(f.cb[10], 128);

  // 320 x 240 into 352 x 240: 16 black columns each side.
  EncodingParameters q = Coded(352, 240);
  pl = PlaceSource(320, 240, q);
  EXPECT_EQ(pl.leftBorder, 16);
  EXPECT_EQ(pl.rightBorder, 16);
  EXPECT_EQ(pl.topBorder, 0);
}

TEST(PlacementTest, LargeSourcesAreCroppedEqually) {
  // 640 x 480 into 352 x 240: columns 144 to 495 and rows 120 to 359 from the top.
  EncodingParameters p = Coded(352, 240);
  HDIB dib = MakeDib(640, 480, 24, [](int x, int y) {
    return Rgb{static_cast<uint8_t>(x & 255), static_cast<uint8_t>(y & 255), 0};
  });
  Frame f(p);
  ASSERT_EQ(ConvertDibToFrame(*dib, p, f.store, f.scratch.data(), nullptr),
            DibConversion::kConverted);
  auto expectedY = [](int x, int y) { return ConvertPixel(0, y & 255, x & 255).y; };
  EXPECT_EQ(f.Y(0, 0), expectedY(144, 120));
  EXPECT_EQ(f.Y(351, 0), expectedY(495, 120));
  EXPECT_EQ(f.Y(0, 239), expectedY(144, 359));
  EXPECT_EQ(f.Y(200, 100), expectedY(344, 220));
  // A top-down block gives the same picture.
  HDIB flipped = NewDib(640, 480, 24, 0);
  size_t stride = DibRowStride(640, 24);
  for (int r = 0; r < 480; ++r)
    std::memcpy(DibPixels(*flipped) + r * stride, DibPixels(*dib) + (479 - r) * stride, stride);
  flipped->header().biHeight = -480;
  Frame g(p);
  ASSERT_EQ(ConvertDibToFrame(*flipped, p, g.store, g.scratch.data(), nullptr),
            DibConversion::kConverted);
  EXPECT_EQ(f.y, g.y);
}

TEST(SourceReaderTest, RefusedFramesKeepThePreviousPicture) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  EncodingParameters p = Coded(16, 16);
  Frame f(p);
  HDIB four = NewDib(16, 16, 4, 16);
  EXPECT_EQ(ConvertDibToFrame(*four, p, f.store, f.scratch.data(), nullptr),
            DibConversion::kRefused);
  HDIB rle = NewDib(16, 16, 8, 256);
  rle->header().biCompression = BI_RLE8;
  EXPECT_EQ(ConvertDibToFrame(*rle, p, f.store, f.scratch.data(), nullptr),
            DibConversion::kRefused);
  HDIB cut = MakeDib(16, 16, 24, [](int, int) { return Rgb{1, 2, 3}; });
  HDIB shortBlock = DibBlock::FromBytes(cut->data(), cut->size() - 10);
  EXPECT_EQ(ConvertDibToFrame(*shortBlock, p, f.store, f.scratch.data(), nullptr),
            DibConversion::kUnreadable);
  for (uint8_t v : f.y) EXPECT_EQ(v, 77);
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"Error: 4 BPP is unsupported (must be 8, 16, 24, or 32)",
                                      "Error: compression must be BI_RGB"}));
}

TEST(SourceReaderTest, MissingAviFramesAreSubstitutedAndCounted) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  EngineMemoryScope memory;
  EngineSettings& settings = MpegEngineSettings();
  settings.Reset();
  settings.sourceIsAvi = true;
  settings.replicationFactor = 1;
  EncodingParameters p = Coded(16, 16);
  testing::FakeAvi avi;
  for (int i = 0; i < 6; ++i)
    avi.frames.push_back(MakeDib(16, 16, 24, [i](int, int) {
      return Rgb{static_cast<uint8_t>(40 * i), static_cast<uint8_t>(40 * i),
                 static_cast<uint8_t>(40 * i)};
    }));
  avi.failing = {2, 3, 4};
  SourceFrameReader reader;
  reader.Setup(p, &avi, nullptr);
  Frame f(p);
  for (int n : {0, 1, 2, 3, 4, 5}) {
    reader.Read(n, f.store);
    int shown = n >= 2 && n <= 4 ? 1 : n;  // the last good frame stands in
    EXPECT_EQ(f.Y(0, 0), ConvertPixel(40 * shown, 40 * shown, 40 * shown).y) << n;
  }
  EXPECT_EQ(settings.substitutedFrames, 3u);
  EXPECT_EQ(settings.lastGoodSourceFrame, 5);
  EXPECT_EQ(avi.fetched, (std::vector<int>{0, 1, 2, 1, 3, 1, 4, 1, 5}));

  // With replication each source frame serves three display frames.
  p.replication = 3;
  avi.fetched.clear();
  reader.Read(7, f.store);
  reader.Read(17, f.store);
  EXPECT_EQ(avi.fetched, (std::vector<int>{2, 5, 5}));

  // A 50 frames/s source coded at 25: every other frame, the ones in the middle of each
  // coded frame's time; 5 frames/s coded at 30: each one six times.
  p.replication = 1;
  p.sourceStep = 2;
  EXPECT_EQ(p.SourceFrameOf(0), 1);
  EXPECT_EQ(p.SourceFrameOf(1), 3);
  p.sourceStep = 5.0 / 30;
  EXPECT_EQ(p.SourceFrameOf(5), 0);
  EXPECT_EQ(p.SourceFrameOf(6), 1);
  EXPECT_EQ(p.SourceFrameOf(59), 9);
  settings.Reset();
}

TEST(SourceReaderTest, ImageThatCannotBeLoadedEndsTheConversion) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  EngineMemoryScope memory;
  MpegEngineSettings().Reset();
  EncodingParameters p = Coded(16, 16);
  struct Missing : MpegFrameSource {
    const DibBlock* FetchFrame(int) override { return nullptr; }
    std::string FrameName(int) const override { return "/pictures/gone.bmp"; }
  } missing;
  SourceFrameReader reader;
  reader.Setup(p, &missing, nullptr);
  Frame f(p);
  EXPECT_THROW(reader.Read(0, f.store), EngineAbort);
  EXPECT_EQ(log.lines, std::vector<std::string>{"Error: loading of /pictures/gone.bmp failed"});
}

}  // namespace
}  // namespace quendrolix
