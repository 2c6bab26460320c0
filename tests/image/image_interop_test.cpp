// What ImageMagick writes we read with the pixels ImageMagick reads, and what we write
// ImageMagick reads with our pixels.
#include <gtest/gtest.h>

#include <tiffio.h>
#include <algorithm>

#include "image/cbmp.h"
#include "image/image_io.h"
#include "image/pcx_format.h"
#include "image/png_glue.h"
#include "image/tiff_glue.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::ShellQuote;
using testing::TempDir;

struct Variant {
  Variant(std::string file, std::string arguments = {}, std::string prefix = {}, int tolerance = 0,
          int frame = 0)
      : file(std::move(file)),
        arguments(std::move(arguments)),
        prefix(std::move(prefix)),
        tolerance(tolerance),
        frame(frame) {}
  std::string file;       // name of the file ImageMagick writes (its extension picks our reader)
  std::string arguments;  // ImageMagick's input and options
  std::string prefix;     // an output format prefix ("GIF87:"), or empty
  int tolerance;          // largest channel difference allowed
  int frame;              // the page ImageMagick compares with
};

void ExpectSamePixels(const std::string& path, const Variant& v) {
  CBmp picture;
  ASSERT_TRUE(picture.Load(path)) << v.file;
  std::vector<uint8_t> expected;
  int width = 0, height = 0;
  // A PNG's alpha shows the screen background (light grey unless set): ImageMagick lays
  // the picture over it too (rounding may differ by one).
  std::string reference = path;
  int tolerance = v.tolerance;
  if (UpperExtension(path) == "PNG") {
    reference = path + ".flat.png";
    ASSERT_TRUE(testing::RunImageMagick(ShellQuote(path) +
                                        " -background 'rgb(192,192,192)' -flatten " +
                                        ShellQuote("PNG24:" + reference)));
    tolerance = std::max(tolerance, 1);
  }
  ASSERT_TRUE(testing::ImageMagickRgb(reference, expected, width, height, v.frame)) << v.file;
  int ourWidth = 0, ourHeight = 0;
  ASSERT_TRUE(picture.GetSize(ourWidth, ourHeight));
  EXPECT_EQ(ourWidth, width) << v.file;
  EXPECT_EQ(ourHeight, height) << v.file;
  EXPECT_LE(testing::MaxChannelDifference(testing::RgbOf(picture), expected), tolerance) << v.file;
}

void RunVariants(const std::vector<Variant>& variants) {
  TempDir dir;
  for (const Variant& v : variants) {
    std::string path = dir.File(v.file);
    ASSERT_TRUE(testing::RunImageMagick(v.arguments + " " + ShellQuote(v.prefix + path))) << v.file;
    ExpectSamePixels(path, v);
  }
}

// rose: is 70 x 46 (rows of 210 bytes, no multiple of 4); the alpha variant fades it.
const std::string kRose = "rose:";
const std::string kRoseAlpha = "rose: -alpha set -channel A -fx 'i/w' +channel";

TEST(ImageReadersInteropTest, Gif) {
  QUENDROLIX_REQUIRE_TOOL(convert, "convert");
  RunVariants({
      {"a87.gif", kRose + " -colors 16", "GIF87:"},
      {"two.gif", kRose + " -colors 2"},
      {"four.gif", kRose + " -colors 4"},
      {"thirty.gif", kRose + " -colors 30"},
      {"full.gif", kRose + " -colors 256"},
      {"interlaced.gif", kRose + " -colors 64 -interlace GIF"},
      {"transparent.gif", kRose + " -colors 32 -transparent '#8c2a2a' -fuzz 20%"},
      {"small.gif", "-size 3x5 gradient:red-blue -interlace GIF"},
  });
}

// ImageMagick gives the first image of a file the global table; a local one is made here.
TEST(ImageReadersInteropTest, GifWithLocalTables) {
  QUENDROLIX_REQUIRE_TOOL(convert, "convert");
  TempDir dir;
  for (int bits : {1, 3, 4, 8}) {
    const int w = 23, h = 9;
    std::vector<uint8_t> colours;
    for (int i = 0; i < (1 << bits); ++i)
      colours.insert(colours.end(), {uint8_t(i * 31), uint8_t(200 - i), uint8_t(i * 7 + 1)});
    std::vector<int> pixels;
    for (int i = 0; i < w * h; ++i) pixels.push_back((i * 5 + i / w) % (1 << bits));
    std::string path = dir.File("local" + std::to_string(bits) + ".gif");
    testing::WriteBytes(path, testing::GifWithLocalTable(w, h, bits, colours, pixels));
    ExpectSamePixels(path, {"local.gif"});
  }
}

TEST(ImageReadersInteropTest, Jpeg) {
  QUENDROLIX_REQUIRE_TOOL(convert, "convert");
  RunVariants({
      {"colour.jpg", kRose + " -quality 85", "", 2},
      {"grey.jpeg", kRose + " -colorspace Gray", "", 2},
      {"progressive.jpg", kRose + " -interlace JPEG", "", 2},
      {"subsampled.jpg", kRose + " -sampling-factor 2x2 -quality 60", "", 2},
  });
}

TEST(ImageReadersInteropTest, Png) {
  QUENDROLIX_REQUIRE_TOOL(convert, "convert");
  RunVariants({
      {"grey1.png", kRose + " -colorspace Gray -depth 1"},
      {"grey2.png", kRose + " -colorspace Gray -depth 2"},
      {"grey4.png", kRose + " -colorspace Gray -depth 4"},
      {"grey8.png", kRose + " -colorspace Gray -depth 8"},
      {"grey16.png", kRose + " -colorspace Gray -depth 16", "", 1},
      {"palette2.png", kRose + " -colors 2"},
      {"palette4.png", kRose + " -colors 4"},
      {"palette8.png", kRose + " -colors 200", "PNG8:"},
      {"rgb.png", kRose, "PNG24:"},
      {"rgb16.png", kRose + " -depth 16", "PNG48:", 1},
      {"rgba.png", kRoseAlpha, "PNG32:"},
      {"rgba16.png", kRoseAlpha + " -depth 16", "PNG64:", 1},
      {"greyalpha.png", kRoseAlpha + " -colorspace Gray"},
      {"interlaced.png", kRose + " -interlace PNG", "PNG24:"},
  });
}

TEST(ImageReadersInteropTest, Tiff) {
  QUENDROLIX_REQUIRE_TOOL(convert, "convert");
  RunVariants({
      {"none.tif", kRose + " -compress None"},
      {"lzw.tif", kRose + " -compress LZW"},
      {"packbits.tiff", kRose + " -compress RLE"},
      {"zip.tif", kRose + " -compress Zip"},
      {"palette.tif", kRose + " -type Palette"},
      {"palette4.tif", kRose + " -colors 16"},
      {"grey.tif", kRose + " -colorspace Gray"},
      {"bilevel.tif", kRose + " -monochrome -compress None"},
      {"fax.tif", kRose + " -monochrome -compress Group4"},
      {"rgba.tif", kRoseAlpha},
      {"separate.tif", kRose + " -interlace Plane"},
      {"tiled.tif", kRose + " -define tiff:tile-geometry=16x16"},
      {"tiledgrey.tif", kRose + " -colorspace Gray -define tiff:tile-geometry=32x16"},
      {"photo.cri", kRose + " -compress LZW", "TIFF:"},
      // Three pages: the loader shows the second one.
      {"pages.tif", kRose + " \\( rose: -negate \\) \\( rose: -flip \\)", "", 0, 1},
  });
}

TEST(ImageReadersInteropTest, TiledAndMinIsWhiteTiffFromTheLibrary) {
  QUENDROLIX_REQUIRE_TOOL(convert, "convert");
  // ImageMagick does not write these everywhere; libtiff makes them, ImageMagick judges.
  TempDir dir;
  const int w = 37, h = 21;
  {
    TIFF* t = TIFFOpen(dir.File("tiled.tif").c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
    std::vector<uint8_t> tile(16 * 16 * 3);
    for (int ty = 0; ty < h; ty += 16)
      for (int tx = 0; tx < w; tx += 16) {
        for (size_t i = 0; i < tile.size(); ++i) tile[i] = uint8_t(i * 7 + tx * 3 + ty);
        TIFFWriteTile(t, tile.data(), tx, ty, 0, 0);
      }
    TIFFClose(t);
  }
  {
    TIFF* t = TIFFOpen(dir.File("white.tif").c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    std::vector<uint8_t> row(w);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) row[x] = uint8_t(x * 6 + y);
      TIFFWriteScanline(t, row.data(), y, 0);
    }
    TIFFClose(t);
  }
  // 255 / 255 steps of the grey table are exact only for full-range ramps: allow 0.
  ExpectSamePixels(dir.File("tiled.tif"), {"tiled.tif"});
  ExpectSamePixels(dir.File("white.tif"), {"white.tif"});
}

TEST(ImageReadersInteropTest, PcxTgaAndBmp) {
  QUENDROLIX_REQUIRE_TOOL(convert, "convert");
  RunVariants({
      {"p8.pcx", kRose + " -colors 200"},
      {"p2.pcx", kRose + " -colors 2"},
      {"p24.pcx", kRose},
      {"t1.tga", kRose + " -type Palette"},
      {"t2.tga", kRose},
      {"t2top.tga", kRose + " -orient TopLeft"},
      {"t2_16.tga", kRose + " -depth 5", "", 7},  // 5-bit channels widen by 8 here
      {"t2_32.tga", kRoseAlpha},
      {"t3.tga", kRose + " -colorspace Gray"},
      {"t9.tga", kRose + " -type Palette -compress RLE"},
      {"t10.tga", kRose + " -compress RLE"},
      {"t10top.tga", kRoseAlpha + " -compress RLE -orient TopLeft"},
      {"t11.tga", kRose + " -colorspace Gray -compress RLE"},
      {"b1.bmp", kRose + " -monochrome"},
      {"b4.bmp", kRose + " -colors 16"},
      {"b8.bmp", kRose + " -colors 200"},
      {"b8v3.bmp", kRose + " -colors 100", "BMP3:"},
      {"b16.bmp", kRose + " -define bmp:subtype=RGB565"},
      {"b555.bmp", kRose + " -define bmp:subtype=RGB555"},
      {"b24.bmp", kRose, "BMP3:"},
      {"b24v5.bmp", kRose + " -type TrueColor"},
      {"b32.bmp", kRoseAlpha},
      {"b32.dib", kRoseAlpha, "BMP:"},
  });
}

// Blocks at the depths ImageMagick cannot be asked for (1- and 4-bit PCX, 1- and 4-bit
// PNG palettes, TIFF at every depth and compression): written by us, judged by it.
HDIB SampleBlock(int bitCount) {
  uint32_t colours = bitCount <= 8 ? 1u << bitCount : 0;
  HDIB dib = NewDib(29, 13, bitCount, colours);
  for (uint32_t i = 0; i < colours; ++i)
    dib->colours()[i] = {uint8_t(i * 9 + 3), uint8_t(255 - i), uint8_t(i * 5), 0};
  if (bitCount == 1) dib->colours()[0] = {0, 0, 0, 0}, dib->colours()[1] = {255, 255, 255, 0};
  for (uint32_t i = 0; i < dib->header().biSizeImage; ++i)
    DibPixels(*dib)[i] = uint8_t(i * 37 + i / 29);
  if (bitCount == 32)  // opaque, so every reader shows the stored colours
    for (uint32_t i = 3; i < dib->header().biSizeImage; i += 4) DibPixels(*dib)[i] = 255;
  return dib;
}

void ExpectImageMagickSees(const std::string& path, const std::vector<uint8_t>& ours) {
  std::vector<uint8_t> theirs;
  int width = 0, height = 0;
  ASSERT_TRUE(testing::ImageMagickRgb(path, theirs, width, height)) << path;
  EXPECT_EQ(testing::MaxChannelDifference(theirs, ours), 0) << path;
}

TEST(ImageWritersInteropTest, WhatWeSaveImageMagickReads) {
  QUENDROLIX_REQUIRE_TOOL(convert, "convert");
  TempDir dir;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(37, 23, 5));
  const std::vector<uint8_t> pixels = testing::RgbOf(picture);
  for (const char* name : {"s.bmp", "s.png", "s.tif", "s.tiff", "s.pcx"}) {
    ASSERT_TRUE(picture.Save(dir.File(name))) << name;
    ExpectImageMagickSees(dir.File(name), pixels);
  }
  // JPEG at quality 100 of a smooth picture (the noise-like pattern loses its colour
  // detail to the chroma subsampling): ImageMagick's decoding of our file is at least 40 dB
  // from the picture, and is the decoding we make ourselves.
  CBmp smooth;
  smooth.Attach(Bitmap::Create(64, 48));
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      smooth.bitmap()->SetPixel(x, y, BgrxFromColour(RGB(x * 4, y * 5, 128 + (x - y))));
  ASSERT_TRUE(smooth.Save(dir.File("s.jpg")));
  std::vector<uint8_t> theirs;
  int width = 0, height = 0;
  ASSERT_TRUE(testing::ImageMagickRgb(dir.File("s.jpg"), theirs, width, height));
  const double psnr = testing::Psnr(theirs, testing::RgbOf(smooth));
  RecordProperty("jpeg_psnr_db", std::to_string(psnr));
  EXPECT_GE(psnr, 40.0);
  CBmp back;
  ASSERT_TRUE(back.Load(dir.File("s.jpg")));
  EXPECT_LE(testing::MaxChannelDifference(testing::RgbOf(back), theirs), 2);

  for (int bitCount : {4, 8, 24}) {
    HDIB dib = SampleBlock(bitCount);
    std::string path = dir.File("w" + std::to_string(bitCount) + ".pcx");
    ASSERT_TRUE(WritePcx(path, *dib));
    ExpectImageMagickSees(path, testing::RgbOfDib(*dib));
  }
  for (int bitCount : {1, 4, 8, 16, 24, 32}) {
    HDIB dib = SampleBlock(bitCount);
    std::string path = dir.File("w" + std::to_string(bitCount) + ".png");
    ASSERT_TRUE(WritePng(path, *dib));
    ExpectImageMagickSees(path, testing::RgbOfDib(*dib));
    for (int compression : {kTiffNone, kTiffLzw, kTiffPackBits, kTiffCcittGroup4}) {
      if (compression == kTiffCcittGroup4 && bitCount != 1) continue;
      path = dir.File("w" + std::to_string(bitCount) + "_" + std::to_string(compression) + ".tif");
      int status = 0;
      ASSERT_TRUE(WriteTiff(path, *dib, compression, &status)) << path;
      ExpectImageMagickSees(path, testing::RgbOfDib(*dib));
    }
  }
}

// ImageMagick shows a set bit of a 1-bit PCX as black whatever the header's palette says,
// unlike ffmpeg and the format's own default (and ours); ffmpeg judges that depth.
TEST(ImageWritersInteropTest, OneBitPcxAsFfmpegReadsIt) {
  QUENDROLIX_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  TempDir dir;
  HDIB dib = SampleBlock(1);
  ASSERT_TRUE(WritePcx(dir.File("w1.pcx"), *dib));
  ASSERT_EQ(
      testing::RunCommand(ffmpeg + " -loglevel error -y -i " + ShellQuote(dir.File("w1.pcx")) +
                          " -f rawvideo -pix_fmt rgb24 " + ShellQuote(dir.File("w1.rgb")))
          .status,
      0);
  EXPECT_EQ(testing::ReadBytes(dir.File("w1.rgb")), testing::RgbOfDib(*dib));
}

}  // namespace
}  // namespace quendrolix
