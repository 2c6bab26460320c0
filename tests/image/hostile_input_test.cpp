// Crafted and damaged pictures: every reader refuses a claim its file cannot hold before it
// allocates, keeps to the pixel budget, and reports a decode that breaks off as a failure.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>

#include "image/cbmp.h"
#include "image/gif_reader.h"
#include "image/image_io.h"
#include "image/picture_limits.h"
#include "image/png_glue.h"
#include "image/tga_reader.h"
#include "image/tiff_glue.h"
#include "tools/extract_frames.h"
#include "platform/host/user_prompts.h"
#include "support/bounded_run.h"
#include "support/image_fixtures.h"
#include "support/image_tools_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::BuildTiff;
using testing::ReadBytes;
using testing::RunBounded;
using testing::TempDir;
using testing::WriteBytes;

// Restores the default budget whatever a test set.
struct ScopedMegapixels {
  explicit ScopedMegapixels(int megapixels) { SetPictureMegapixels(megapixels); }
  ~ScopedMegapixels() { SetPictureMegapixels(kDefaultPictureMegapixels); }
};

void PutBe32(std::vector<uint8_t>& v, uint32_t x) {
  for (int s = 24; s >= 0; s -= 8) v.push_back(uint8_t(x >> s));
}

void AppendPngChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  PutBe32(png, uint32_t(data.size()));
  std::vector<uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  png.insert(png.end(), typed.begin(), typed.end());
  PutBe32(png, uint32_t(crc32(0, typed.data(), uInt(typed.size()))));
}

// A PNG that claims width x height grey pixels and holds a few compressed rows, checksums
// right: only the size of the claim is wrong.
std::vector<uint8_t> ClaimingPng(uint32_t width, uint32_t height, size_t padTo) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutBe32(ihdr, width);
  PutBe32(ihdr, height);
  ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
  AppendPngChunk(png, "IHDR", ihdr);
  std::vector<uint8_t> raw(2048, 0);
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  compress(packed.data(), &packedSize, raw.data(), uLong(raw.size()));
  packed.resize(packedSize);
  AppendPngChunk(png, "IDAT", packed);
  AppendPngChunk(png, "IEND", {});
  if (png.size() < padTo) {
    std::vector<uint8_t> text(padTo - png.size() - 12, 'x');
    std::memcpy(text.data(), "Comment\0", 8);
    std::vector<uint8_t> end(png.end() - 12, png.end());
    png.resize(png.size() - 12);
    AppendPngChunk(png, "tEXt", text);
    png.insert(png.end(), end.begin(), end.end());
  }
  return png;
}

std::vector<uint8_t> ClaimingGif(uint16_t width, uint16_t height) {
  // Header, screen without a table, an image descriptor, a 2-bit LZW start and one short
  // sub-block: 34 bytes.
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0};
  PutLe16(gif.data() + 6, width);
  PutLe16(gif.data() + 8, height);
  gif.resize(gif.size() + 4);
  PutLe16(gif.data() + 18, width);
  PutLe16(gif.data() + 20, height);
  gif.push_back(0);
  gif.insert(gif.end(), {2, 7, 0x44, 0x01, 0, 0, 0, 0, 0, 0x00, 0x3B});
  return gif;
}

std::vector<uint8_t> ClaimingPcx(uint16_t width, uint16_t height) {
  std::vector<uint8_t> pcx(128, 0);
  pcx[0] = 10;
  pcx[1] = 5;
  pcx[2] = 1;
  pcx[3] = 8;
  PutLe16(pcx.data() + 8, width - 1);
  PutLe16(pcx.data() + 10, height - 1);
  pcx[65] = 1;
  PutLe16(pcx.data() + 66, width + (width & 1));
  return pcx;
}

std::vector<uint8_t> ClaimingTga(uint16_t width, uint16_t height) {
  std::vector<uint8_t> tga(18, 0);
  tga[2] = 2;
  PutLe16(tga.data() + 12, width);
  PutLe16(tga.data() + 14, height);
  tga[16] = 24;
  return tga;
}

// A planar RGB TIFF that claims width x height and has a few bytes of strips; padded with
// a tag-free tail to `size` bytes.
std::vector<uint8_t> ClaimingPlanarTiff(uint32_t width, uint32_t height, size_t size) {
  std::vector<uint8_t> tiff = BuildTiff({{256, 4, {width}},
                                         {257, 4, {height}},
                                         {258, 3, {8, 8, 8}},
                                         {259, 3, {1}},
                                         {262, 3, {2}},
                                         {273, 4, {300, 310, 320}},
                                         {277, 3, {3}},
                                         {278, 4, {height}},
                                         {279, 4, {10, 10, 10}},
                                         {284, 3, {2}}},
                                        {});
  tiff.resize(std::max(tiff.size(), size), 0);
  return tiff;
}

struct Crafted {
  const char* name;
  std::vector<uint8_t> bytes;
};

// The crafted headers: each claims a picture far beyond what its bytes can hold, and would
// once have been allocated (and, for most, shown as black) in full.
std::vector<Crafted> CraftedHeaders() {
  return {
      {"claim.gif", ClaimingGif(16384, 16384)},
      {"within-budget.gif", ClaimingGif(9000, 9000)},
      {"claim.pcx", ClaimingPcx(16384, 16384)},
      {"within-budget.pcx", ClaimingPcx(9000, 9000)},
      {"claim.png", ClaimingPng(16384, 16384, 128)},
      {"within-budget.png", ClaimingPng(9000, 9000, 128)},
      {"planar.tif", ClaimingPlanarTiff(16384, 16384, 440)},
      {"within-budget.tif", ClaimingPlanarTiff(9000, 9000, 440)},
      {"claim.tga", ClaimingTga(16384, 16384)},
      {"within-budget.tga", ClaimingTga(9000, 9000)},
  };
}

TEST(HostileInput, CraftedHeadersAreRefusedWithinTwoSecondsAndAHundredMegabytes) {
  TempDir dir;
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  for (const Crafted& c : CraftedHeaders()) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    WriteBytes(path, c.bytes);
    const testing::BoundedResult result = RunBounded([&] {
      CBmp picture;
      return picture.Load(path);
    });
    ASSERT_TRUE(result.finished) << "killed, or over its CPU time";
    EXPECT_FALSE(result.value);
    EXPECT_LT(result.peakGrowthKb, 100 * 1024);
  }
  // Their sizes as the issue measured them.
  EXPECT_EQ(ClaimingGif(16384, 16384).size(), 34u);
  EXPECT_EQ(ClaimingPcx(16384, 16384).size(), 128u);
  EXPECT_EQ(ClaimingPng(16384, 16384, 128).size(), 128u);
  EXPECT_EQ(ClaimingPlanarTiff(16384, 16384, 440).size(), 440u);
  EXPECT_EQ(ClaimingTga(16384, 16384).size(), 18u);
}

TEST(HostileInput, EachReaderSaysWhyInItsOwnTerms) {
  TempDir dir;
  int status = 0;
  WriteBytes(dir.File("a.gif"), ClaimingGif(9000, 9000));
  EXPECT_FALSE(ReadGif(dir.File("a.gif"), 0, 0, nullptr, &status));
  EXPECT_EQ(status, kGifStatusShortData);
  WriteBytes(dir.File("b.gif"), ClaimingGif(16384, 16384));
  EXPECT_FALSE(ReadGif(dir.File("b.gif"), 0, 0, nullptr, &status));
  EXPECT_EQ(status, kGifStatusNoMemory);

  WriteBytes(dir.File("a.tga"), ClaimingTga(9000, 9000));
  EXPECT_FALSE(ReadTga(dir.File("a.tga"), &status));
  EXPECT_EQ(status, kTgaStatusReadFailed);
  WriteBytes(dir.File("b.tga"), ClaimingTga(16384, 16384));
  EXPECT_FALSE(ReadTga(dir.File("b.tga"), &status));
  EXPECT_EQ(status, kTgaStatusNoMemory);

  WriteBytes(dir.File("a.tif"), ClaimingPlanarTiff(9000, 9000, 440));
  EXPECT_FALSE(ReadTiff(dir.File("a.tif"), 0, &status));
  EXPECT_EQ(status, kTiffStatusReadFailed);
  WriteBytes(dir.File("b.tif"), ClaimingPlanarTiff(16384, 16384, 440));
  EXPECT_FALSE(ReadTiff(dir.File("b.tif"), 0, &status));
  EXPECT_EQ(status, kTiffStatusNoMemory);

  std::string message;
  WriteBytes(dir.File("a.png"), ClaimingPng(9000, 9000, 128));
  EXPECT_FALSE(ReadPng(dir.File("a.png"), message));
  EXPECT_EQ(message, "The PNG file is too short for a 9000x9000 picture");
  WriteBytes(dir.File("b.png"), ClaimingPng(16384, 16384, 128));
  EXPECT_FALSE(ReadPng(dir.File("b.png"), message));
  EXPECT_EQ(message, "Sorry!\nThis File is toooo big for me.");
}

TEST(HostileInput, ThePixelBudgetIsASetting) {
  TempDir dir;
  // 1200 x 1000 pixels: 1.2 megapixels, in a file that really holds them.
  CBmp source;
  source.Attach(testing::PatternBitmap(1200, 1000));
  ASSERT_TRUE(source.Save(dir.File("big.png")));
  ASSERT_TRUE(source.Save(dir.File("big.bmp")));
  ASSERT_TRUE(source.Save(dir.File("big.jpg")));
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  {
    ScopedMegapixels one(1);
    for (const char* name : {"big.png", "big.bmp", "big.jpg"}) {
      CBmp picture;
      EXPECT_FALSE(picture.Load(dir.File(name))) << name;
    }
    EXPECT_EQ(PicturePixelBudget(), 1000000);
  }
  EXPECT_EQ(PictureMegapixels(), kDefaultPictureMegapixels);
  {
    ScopedMegapixels two(2);
    for (const char* name : {"big.png", "big.bmp", "big.jpg"}) {
      CBmp picture;
      EXPECT_TRUE(picture.Load(dir.File(name))) << name;
    }
  }
}

// Writes a picture of noise by extension, then keeps only the first part of the file.
std::string CutShort(const TempDir& dir, const std::string& name, double keep) {
  CBmp source;
  source.Attach(testing::PatternBitmap(96, 80, 7));
  const std::string path = dir.File(name);
  EXPECT_TRUE(source.Save(path));
  std::vector<uint8_t> bytes = ReadBytes(path);
  bytes.resize(static_cast<size_t>(bytes.size() * keep));
  WriteBytes(path, bytes);
  return path;
}

TEST(HostileInput, PicturesCutShortAreFailuresNotBlackOrGrey) {
  TempDir dir;
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  for (const char* name : {"cut.png", "cut.jpg", "cut.pcx", "cut.tif", "cut.bmp"}) {
    SCOPED_TRACE(name);
    const std::string path = CutShort(dir, name, 0.6);
    CBmp picture;
    EXPECT_FALSE(picture.Load(path));
    EXPECT_FALSE(picture.loadFailure().empty());
  }
  // The library's own words reach the user for JPEG.
  ASSERT_FALSE(prompts.messages.empty());
  EXPECT_NE(prompts.messages.back().find("Premature end of JPEG file"), std::string::npos);

  std::string message;
  EXPECT_FALSE(ReadPng(CutShort(dir, "again.png", 0.6), message));
  EXPECT_NE(message.find("cut short"), std::string::npos);

  // A GIF whose pixel data ends after a few codes.
  std::vector<uint8_t> gif = testing::GifWithLocalTable(
      40, 40, 2, {0, 0, 0, 255, 255, 255, 9, 9, 9, 7, 7, 7}, std::vector<int>(1600, 1));
  gif.resize(gif.size() / 2);
  int status = 0;
  FileHandle f = OpenMemory(gif.data(), gif.size());
  EXPECT_FALSE(ReadGifStream(f.get(), 0, nullptr, &status));
  EXPECT_EQ(status, kGifStatusShortData);

  // Whole files still load.
  for (const char* name : {"whole.png", "whole.jpg", "whole.pcx", "whole.tif", "whole.bmp"}) {
    CBmp picture;
    EXPECT_TRUE(picture.Load(CutShort(dir, name, 1.0))) << name;
  }

  // A strip whose bytes end before its rows do (the directory itself is whole).
  std::vector<uint8_t> tiff = BuildTiff({{256, 4, {4}},
                                         {257, 4, {4}},
                                         {258, 3, {8}},
                                         {259, 3, {1}},
                                         {262, 3, {1}},
                                         {273, 4, {0}},
                                         {277, 3, {1}},
                                         {278, 4, {4}},
                                         {279, 4, {16}}},
                                        std::vector<uint8_t>(8, 77));
  WriteBytes(dir.File("short-strip.tif"), tiff);
  EXPECT_FALSE(ReadTiff(dir.File("short-strip.tif"), 0, &status));
  EXPECT_EQ(status, kTiffStatusReadFailed);
  tiff.resize(tiff.size() + 8, 77);
  WriteBytes(dir.File("full-strip.tif"), tiff);
  EXPECT_TRUE(ReadTiff(dir.File("full-strip.tif"), 0, &status));
}

TEST(HostileInput, TiffResolutionsBeyondTheBlocksFieldsBecomeZero) {
  TempDir dir;
  // 4.29e9 pixels per unit, as a fuzzer found, and a fair 300.
  std::vector<uint8_t> tiff = BuildTiff({{256, 4, {2}},
                                         {257, 4, {1}},
                                         {258, 3, {8}},
                                         {259, 3, {1}},
                                         {262, 3, {1}},
                                         {273, 4, {0}},
                                         {277, 3, {1}},
                                         {278, 4, {1}},
                                         {279, 4, {2}},
                                         {282, 5, {4294967295u, 1}},
                                         {283, 5, {300, 1}}},
                                        {10, 20});
  WriteBytes(dir.File("res.tif"), tiff);
  int status = 0;
  HDIB dib = ReadTiff(dir.File("res.tif"), 0, &status);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->header().biXPelsPerMeter, 0);
  EXPECT_EQ(dib->header().biYPelsPerMeter, 300);
}

TEST(HostileInput, EveryPageOfALongTiffIsTakenAndABudgetIsSaid) {
  TempDir dir;
  const std::string path = dir.File("long.tif");
  testing::WriteMultiPageTiff(path, 1200, 2, 2);
  TiffPageList all = ListTiffPages(path);
  EXPECT_EQ(all.offsets.size(), 1200u);
  EXPECT_FALSE(all.budgetReached);
  TiffPageList some = ListTiffPages(path, 1000);
  EXPECT_EQ(some.offsets.size(), 1000u);
  EXPECT_TRUE(some.budgetReached);
  EXPECT_EQ(std::vector<uint32_t>(all.offsets.begin(), all.offsets.begin() + 1000), some.offsets);
  // Exactly as many pages as the budget is not over it.
  TiffPageList exact = ListTiffPages(path, 1200);
  EXPECT_FALSE(exact.budgetReached);

  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  std::vector<std::string> names;
  std::filesystem::create_directory(dir.path() / "pages");
  EXPECT_EQ(ExtractTiffPages(path, dir.File("pages"), 1, &names), 1200);
  ASSERT_EQ(names.size(), 1200u);
  EXPECT_EQ(names.back(), dir.File("pages") + "/Img1200.bmp");
  CBmp last;
  EXPECT_TRUE(last.Load(names.back()));
}

}  // namespace
}  // namespace quendrolix
