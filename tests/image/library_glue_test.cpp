// JPEG, PNG and TIFF through their libraries: the glue's refusals, statuses and messages.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <cstring>

#include "image/cbmp.h"
#include "image/image_io.h"
#include "image/jpeg_glue.h"
#include "image/png_glue.h"
#include "image/tiff_glue.h"
#include "platform/host/user_prompts.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::BuildTiff;
using testing::TempDir;
using testing::TiffTag;

TEST(JpegGlueTest, ExtensionsAreMatchedWithoutRegardToCase) {
  TempDir dir;
  CBmp picture;
  picture.Attach(testing::PatternBitmap(16, 8));
  for (const char* name : {"a.JPEG", "b.jpeg", "c.Jpg"}) {
    ASSERT_TRUE(picture.Save(dir.File(name))) << name;
    CBmp back;
    EXPECT_TRUE(back.Load(dir.File(name))) << name;
    EXPECT_GT(testing::Psnr(testing::RgbOf(back), testing::RgbOf(picture)), 30) << name;
  }
  std::filesystem::copy_file(dir.File("b.jpeg"), dir.File("d.jfif"));
  CBmp other;
  EXPECT_FALSE(other.Load(dir.File("d.jfif")));
  EXPECT_FALSE(picture.Save(dir.File("e.jfif")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("e.jfif")));
}

TEST(JpegGlueTest, GreyPictureLoadsWithEqualChannels) {
  TempDir dir;
  std::vector<uint8_t> rgb(24 * 9 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 13);
  ASSERT_TRUE(WriteJpeg(dir.File("g.jpg"), rgb.data(), 24, 9, 0, 90));
  HDIB dib = ReadJpeg(dir.File("g.jpg"));
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->header().biBitCount, 24);
  std::vector<uint8_t> back = testing::RgbOfDib(*dib);
  for (size_t i = 0; i < back.size(); i += 3) {
    ASSERT_EQ(back[i], back[i + 1]);
    ASSERT_EQ(back[i], back[i + 2]);
  }
}

TEST(JpegGlueTest, ReductionsKeepTheShapeAndAtLeastTheWantedSize) {
  EXPECT_EQ(JpegReduction(4032, 3024, 320, 240), 8);    // 504x378
  EXPECT_EQ(JpegReduction(2560, 1600, 1152, 720), 2);   // 1280x800
  EXPECT_EQ(JpegReduction(4000, 3000, 1440, 1080), 2);  // 2000x1500; a quarter is too small
  EXPECT_EQ(JpegReduction(6000, 4000, 1620, 1080), 2);  // 3000x2000
  EXPECT_EQ(JpegReduction(5640, 3172, 320, 180), 4);    // 3172 is not a multiple of 8
  EXPECT_EQ(JpegReduction(4001, 3000, 100, 100), 1);    // no exact fraction keeps the shape
  EXPECT_EQ(JpegReduction(1600, 1200, 1601, 100), 1);   // enlarged: nothing to save
  EXPECT_EQ(JpegReduction(64, 48, 0, 0), 8);
}

// A JPEG that says, in an EXIF segment, that it was taken turned (6: the camera's right side
// up).
std::vector<uint8_t> WithOrientation(std::vector<uint8_t> jpeg, uint8_t orientation) {
  const std::vector<uint8_t> tiff = {
      'M',  'M',  0, 42, 0, 0, 0, 8,                                     // header, first directory
      0,    1,                                                           // one entry
      0x01, 0x12, 0, 3,  0, 0, 0, 1, 0, orientation, 0, 0, 0, 0, 0, 0};  // no next directory
  std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, uint8_t(2 + 6 + tiff.size()), 'E', 'x', 'i',
                               'f',  0,    0};
  app1.insert(app1.end(), tiff.begin(), tiff.end());
  jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
  return jpeg;
}

TEST(JpegGlueTest, APictureWantedSmallerIsDecodedSmallerTheRightWayUp) {
  TempDir dir;
  // 96 x 64 of smooth colour, so that a reduced decode is the picture made smaller.
  std::vector<uint8_t> rgb(96 * 64 * 3);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 96; ++x) {
      uint8_t* p = &rgb[(y * 96 + x) * 3];
      p[0] = uint8_t(x * 2), p[1] = uint8_t(y * 3), p[2] = 128;
    }
  ASSERT_TRUE(WriteJpeg(dir.File("plain.jpg"), rgb.data(), 96, 64, 1, 95));
  std::vector<int> sizes;
  auto want = [&](int w, int h) {
    return [&sizes, w, h](int& width, int& height) {
      sizes.insert(sizes.end(), {width, height});
      width = w, height = h;
    };
  };
  HDIB quarter = ReadJpeg(dir.File("plain.jpg"), nullptr, want(24, 16));
  ASSERT_TRUE(quarter);
  EXPECT_EQ(quarter->header().biWidth, 24);
  EXPECT_EQ(quarter->header().biHeight, 16);
  HDIB half = ReadJpeg(dir.File("plain.jpg"), nullptr, want(25, 16));
  ASSERT_TRUE(half);
  EXPECT_EQ(half->header().biWidth, 48);
  EXPECT_EQ(sizes, (std::vector<int>{96, 64, 96, 64}));
  // The reduced picture shows what the whole one shows, made smaller.
  HDIB whole = ReadJpeg(dir.File("plain.jpg"));
  ASSERT_TRUE(whole);
  const std::vector<uint8_t> wholeRgb = testing::RgbOfDib(*whole),
                             quarterRgb = testing::RgbOfDib(*quarter);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x)
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int dy = 0; dy < 4; ++dy)
          for (int dx = 0; dx < 4; ++dx) sum += wholeRgb[((4 * y + dy) * 96 + 4 * x + dx) * 3 + c];
        ASSERT_NEAR(quarterRgb[(y * 24 + x) * 3 + c], sum / 16, 6) << x << "," << y;
      }
  // Turned by its EXIF tag, the wanted size is of the upright picture (64 x 96).
  std::vector<uint8_t> bytes;
  {
    FileHandle f = OpenFile(dir.File("plain.jpg"), "rb");
    ASSERT_TRUE(f && ReadRest(f.get(), bytes, 1 << 20));
  }
  testing::WriteBytes(dir.File("turned.jpg"), WithOrientation(bytes, 6));
  sizes.clear();
  HDIB turned = ReadJpeg(dir.File("turned.jpg"), nullptr, want(16, 24));
  ASSERT_TRUE(turned);
  EXPECT_EQ(sizes, (std::vector<int>{64, 96}));
  EXPECT_EQ(turned->header().biWidth, 16);
  EXPECT_EQ(turned->header().biHeight, 24);
}

TEST(JpegGlueTest, FailuresShowTheirMessages) {
  TempDir dir;
  RecordingPrompts prompts;
  ScopedPrompts scope(prompts);
  EXPECT_FALSE(ReadJpeg(dir.File("none.jpg")));
  EXPECT_TRUE(prompts.HasMessage("JPEG :\nCan't open " + dir.File("none.jpg") + "\n"));
  testing::WriteBytes(dir.File("bad.jpg"), {0xFF, 0xD8, 0xFF, 0xC0, 0, 3, 1});
  EXPECT_FALSE(ReadJpeg(dir.File("bad.jpg")));
  ASSERT_FALSE(prompts.titles.empty());
  EXPECT_EQ(prompts.titles.back(), "JPG Fatal Error");
  uint8_t pixel[3] = {1, 2, 3};
  EXPECT_FALSE(WriteJpeg(dir.File("no/folder/x.jpg"), pixel, 1, 1, 1, 100));
  EXPECT_TRUE(prompts.HasMessage("Can't open " + dir.File("no/folder/x.jpg") + "\n"));
}

// A PNG written with libpng directly, for depths and layouts our writer does not make.
void WriteRawPng(const std::string& path, int width, int height, int depth, int colourType,
                 bool interlaced, const std::vector<uint8_t>& rows) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, width, height, depth, colourType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  int passes = interlaced ? png_set_interlace_handling(png) : 1;
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < height; ++y) png_write_row(png, rows.data() + y * rowBytes);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

TEST(PngGlueTest, TallInterlacedPicturesAreRefused) {
  TempDir dir;
  std::vector<uint8_t> rows(10001, 0x80);
  WriteRawPng(dir.File("tall.png"), 1, 10001, 8, PNG_COLOR_TYPE_GRAY, true, rows);
  WriteRawPng(dir.File("flat.png"), 1, 10001, 8, PNG_COLOR_TYPE_GRAY, false, rows);
  std::string message;
  EXPECT_FALSE(ReadPng(dir.File("tall.png"), message));
  EXPECT_EQ(message, "Sorry!\nThis File is toooo big for me.");
  HDIB dib = ReadPng(dir.File("flat.png"), message);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->header().biHeight, 10001);
  EXPECT_FALSE(ReadPng(dir.File("none.png"), message));
  EXPECT_EQ(message, "Can't open file: " + dir.File("none.png"));
  testing::WriteBytes(dir.File("text.png"), {'n', 'o', 't', ' ', 'p', 'n', 'g', '!', '!'});
  EXPECT_FALSE(ReadPng(dir.File("text.png"), message));
  EXPECT_EQ(message, "This is not a valid PNG File!");
}

TEST(PngGlueTest, DepthsBecomeBlocksThatShowTheSameGreys) {
  TempDir dir;
  // One row of 4 pixels: grey levels 0 .. max at 1, 2, 4, 8 and 16 bits.
  struct Case {
    int depth;
    std::vector<uint8_t> row;
    int bitCount;
    std::vector<uint8_t> expected;
  } cases[] = {
      {1, {0x50}, 1, {0, 255, 0, 255}},
      {2, {0x1B}, 8, {0, 85, 170, 255}},
      {4, {0x0F, 0x8A}, 4, {0, 255, 136, 170}},
      {8, {0, 1, 128, 255}, 8, {0, 1, 128, 255}},
      {16, {0, 0, 0x80, 0x7F, 0xFF, 0xFF, 0x12, 0x34}, 8, {0, 128, 255, 18}},
  };
  for (const Case& c : cases) {
    std::string path = dir.File("g" + std::to_string(c.depth) + ".png");
    WriteRawPng(path, 4, 1, c.depth, PNG_COLOR_TYPE_GRAY, false, c.row);
    std::string message;
    HDIB dib = ReadPng(path, message);
    ASSERT_TRUE(dib) << c.depth << message;
    EXPECT_EQ(dib->header().biBitCount, c.bitCount) << c.depth;
    std::vector<uint8_t> rgb = testing::RgbOfDib(*dib);
    ASSERT_EQ(rgb.size(), 12u);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(rgb[3 * x + 1], c.expected[x]) << c.depth << " x " << x;
  }
  // Grey with alpha and RGBA are laid over the screen background (light grey by default).
  WriteRawPng(dir.File("ga.png"), 1, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, false, {77, 10});
  WriteRawPng(dir.File("rgba.png"), 1, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA, false,
              {10, 0, 20, 0, 30, 0, 0, 0});
  WriteRawPng(dir.File("opaque.png"), 1, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA, false,
              {10, 0, 20, 0, 30, 0, 255, 255});
  CBmp picture;
  ASSERT_TRUE(picture.Load(dir.File("ga.png")));
  EXPECT_EQ(testing::RgbOf(picture), (std::vector<uint8_t>{187, 187, 187}));
  ASSERT_TRUE(picture.Load(dir.File("rgba.png")));
  EXPECT_EQ(testing::RgbOf(picture), (std::vector<uint8_t>{192, 192, 192}));
  ASSERT_TRUE(picture.Load(dir.File("opaque.png")));
  EXPECT_EQ(testing::RgbOf(picture), (std::vector<uint8_t>{10, 20, 30}));
}

TEST(PngGlueTest, WrittenBlocksReadBack) {
  TempDir dir;
  for (int bitCount : {1, 4, 8, 16, 24, 32}) {
    uint32_t colours = bitCount <= 8 ? 1u << bitCount : 0;
    HDIB dib = NewDib(5, 3, bitCount, colours);
    for (uint32_t i = 0; i < colours; ++i)
      dib->colours()[i] = {uint8_t(i), uint8_t(i * 2), uint8_t(200 - i / 2), 0};
    for (uint32_t i = 0; i < dib->header().biSizeImage; ++i) DibPixels(*dib)[i] = uint8_t(i * 29);
    std::string path = dir.File("w" + std::to_string(bitCount) + ".png");
    ASSERT_TRUE(WritePng(path, *dib)) << bitCount;
    std::string message;
    HDIB back = ReadPng(path, message);
    ASSERT_TRUE(back) << bitCount;
    EXPECT_EQ(testing::RgbOfDib(*back), testing::RgbOfDib(*dib)) << bitCount;
  }
  EXPECT_FALSE(WritePng(dir.File("no/folder/a.png"), *NewDib(1, 1, 24, 0)));
}

std::vector<TiffTag> GreyTags(uint32_t width, uint32_t height) {
  return {{256, 4, {width}}, {257, 4, {height}}, {258, 3, {8}},
          {259, 3, {1}},     {262, 3, {1}},      {273, 4, {0}},
          {277, 3, {1}},     {278, 4, {height}}, {279, 4, {width * height}}};
}

void SetTag(std::vector<TiffTag>& tags, uint16_t tag, uint16_t type, std::vector<uint32_t> values) {
  for (auto& t : tags)
    if (t.tag == tag) {
      t.type = type;
      t.values = std::move(values);
      return;
    }
  tags.push_back({tag, type, std::move(values)});
}

int ReadStatus(const std::vector<TiffTag>& tags, const std::vector<uint8_t>& pixels,
               HDIB* out = nullptr) {
  TempDir dir;
  testing::WriteBytes(dir.File("t.tif"), BuildTiff(tags, pixels));
  int status = 0;
  HDIB dib = ReadTiff(dir.File("t.tif"), 0, &status);
  if (out) *out = std::move(dib);
  return status;
}

TEST(TiffGlueTest, ReadStatusesForWhatCannotBeRead) {
  const std::vector<uint8_t> pixels = {0, 64, 128, 255};
  HDIB dib;
  EXPECT_EQ(ReadStatus(GreyTags(2, 2), pixels, &dib), kTiffStatusStart);
  ASSERT_TRUE(dib);
  EXPECT_EQ(testing::RgbOfDib(*dib)[9], 255);

  auto with = [&](uint16_t tag, std::vector<uint32_t> values, uint16_t type = 3) {
    std::vector<TiffTag> tags = GreyTags(2, 2);
    SetTag(tags, tag, type, std::move(values));
    return tags;
  };
  EXPECT_EQ(ReadStatus(with(258, {0}), pixels), kTiffStatusNoBits);
  EXPECT_EQ(ReadStatus(with(259, {32946}), pixels), kTiffStatusDeflate);
  EXPECT_EQ(ReadStatus(with(259, {6}), pixels), kTiffStatusOldJpeg);
  EXPECT_EQ(ReadStatus(with(256, {1u << 20}, 4), pixels), kTiffStatusNoMemory);
  EXPECT_EQ(ReadStatus(with(273, {100000}, 4), pixels), kTiffStatusReadFailed);
  std::vector<TiffTag> cmyk = with(262, {5});
  SetTag(cmyk, 258, 3, {4, 4, 4, 4});
  SetTag(cmyk, 277, 3, {4});
  EXPECT_EQ(ReadStatus(cmyk, pixels), kTiffStatusCmykDepth);
}

TEST(TiffGlueTest, GreyTablesAndBilevelPicturesEitherWay) {
  HDIB dib;
  std::vector<TiffTag> white = GreyTags(2, 2);
  SetTag(white, 262, 3, {0});  // min-is-white: 0 shows white
  ASSERT_EQ(ReadStatus(white, {0, 255, 255, 0}, &dib), kTiffStatusStart);
  EXPECT_EQ(testing::RgbOfDib(*dib),
            (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 0, 0, 0, 255, 255, 255}));
  std::vector<TiffTag> bilevel = GreyTags(8, 1);
  SetTag(bilevel, 258, 3, {1});
  SetTag(bilevel, 262, 3, {0});
  SetTag(bilevel, 279, 4, {1});
  ASSERT_EQ(ReadStatus(bilevel, {0xF0}, &dib), kTiffStatusStart);
  // Normalised: entry 0 black, entry 1 white, the bits inverted.
  EXPECT_EQ(dib->colours()[0].rgbRed, 0);
  EXPECT_EQ(dib->colours()[1].rgbRed, 255);
  EXPECT_EQ(DibPixels(*dib)[0], 0x0F);
  // Orientation 4: the first row stored is the bottom one.
  std::vector<TiffTag> bottom = GreyTags(1, 2);
  SetTag(bottom, 274, 3, {4});
  ASSERT_EQ(ReadStatus(bottom, {10, 20}, &dib), kTiffStatusStart);
  EXPECT_EQ(testing::RgbOfDib(*dib)[0], 20);
}

TEST(TiffGlueTest, WrittenBlocksReadBackAtEveryCompression) {
  TempDir dir;
  for (int bitCount : {1, 4, 8, 24, 32}) {
    uint32_t colours = bitCount <= 8 ? 1u << bitCount : 0;
    HDIB dib = NewDib(9, 4, bitCount, colours);
    for (uint32_t i = 0; i < colours; ++i)
      dib->colours()[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
    if (bitCount == 1) dib->colours()[0] = {0, 0, 0, 0}, dib->colours()[1] = {255, 255, 255, 0};
    for (uint32_t i = 0; i < dib->header().biSizeImage; ++i)
      DibPixels(*dib)[i] = uint8_t(i * 41 + 3);
    for (int compression = 0; compression <= 5; ++compression) {
      std::string path = dir.File("w.tif");
      int status = 0;
      bool ok = WriteTiff(path, *dib, compression, &status);
      if (compression >= 3 && bitCount != 1) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(status, kTiffWriteStatusNotBilevel);
        continue;
      }
      ASSERT_TRUE(ok) << bitCount << " " << compression;
      HDIB back = ReadTiff(path, 0, &status);
      ASSERT_TRUE(back) << bitCount << " " << compression << " " << status;
      EXPECT_EQ(testing::RgbOfDib(*back), testing::RgbOfDib(*dib))
          << bitCount << " " << compression;
    }
  }
}

TEST(TiffGlueTest, PagesAreCountedAndLoadShowsTheSecond) {
  TempDir dir;
  std::string path = dir.File("pages.tif");
  {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    for (uint8_t page = 0; page < 3; ++page) {
      TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 1);
      TIFFSetField(t, TIFFTAG_IMAGELENGTH, 1);
      TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
      TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
      TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
      uint8_t value = uint8_t(50 + page * 50);
      TIFFWriteScanline(t, &value, 0, 0);
      TIFFWriteDirectory(t);
    }
    TIFFClose(t);
  }
  std::vector<uint32_t> offsets;
  EXPECT_EQ(CountTiffPages(path, offsets, 1000), 3);
  ASSERT_EQ(offsets.size(), 4u);
  EXPECT_EQ(offsets[3], 0u);
  for (int page = 0; page < 3; ++page) {
    int status = 0;
    HDIB dib = ReadTiff(path, offsets[page], &status);
    ASSERT_TRUE(dib);
    EXPECT_EQ(testing::RgbOfDib(*dib)[0], 50 + page * 50);
  }
  EXPECT_EQ(CountTiffPages(path, offsets, 3), 1);  // a walk that reaches the maximum
  EXPECT_EQ(offsets.size(), 3u);
  CBmp picture;
  ASSERT_TRUE(picture.Load(path));
  EXPECT_EQ(testing::RgbOf(picture)[0], 100);

  // A chain that points back to itself ends.
  std::vector<uint8_t> loop = BuildTiff(GreyTags(1, 1), {7});
  PutLe32(loop.data() + 8 + 2 + 12 * 9, 8);
  testing::WriteBytes(dir.File("loop.tif"), loop);
  EXPECT_EQ(CountTiffPages(dir.File("loop.tif"), offsets, 1000), 1);
  std::vector<uint8_t> none = {'I', 'I', 42, 0, 0, 0, 0, 0};
  testing::WriteBytes(dir.File("none.tif"), none);
  EXPECT_EQ(CountTiffPages(dir.File("none.tif"), offsets, 6), 0);
}

}  // namespace
}  // namespace quendrolix
