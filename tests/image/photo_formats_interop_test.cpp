// Photographs as people have them today: turned by their EXIF tag, in CMYK, as WebP and
// HEIC, with alpha. Real photographs from the system's wallpaper package and copies the
// test makes of them; ImageMagick's reading (turned by -auto-orient) is the reference.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "image/cbmp.h"
#include "image/heif_glue.h"
#include "image/picture_limits.h"
#include "platform/host/user_prompts.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
namespace fs = std::filesystem;
using testing::ImageMagickRgb;
using testing::Psnr;
using testing::ReadBytes;
using testing::RgbOf;
using testing::RunImageMagick;
using testing::ShellQuote;
using testing::TempDir;
using testing::WriteBytes;

const char* const kPhoto = "/usr/share/backgrounds/mate/nature/LadyBird.jpg";  // 2560x1600
const char* const kLargePhoto = "/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg";

#define REQUIRE_PHOTOS()                                            \
  if (!fs::exists(kPhoto) || testing::ImageMagickConvert().empty()) \
  GTEST_SKIP() << "needs the wallpaper package (mate-backgrounds) and ImageMagick"

// A TIFF-structured EXIF block whose IFD0 holds only the orientation, big-endian as
// cameras write it.
std::vector<uint8_t> ExifWithOrientation(int orientation) {
  return {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, uint8_t(orientation),
          0,   0,   0, 0,  0, 0};
}

// A copy of a JPEG whose EXIF segments are replaced by one carrying the orientation.
std::vector<uint8_t> JpegWithOrientation(std::vector<uint8_t> jpeg, int orientation) {
  // Drop existing APP1 segments that follow the start of image.
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] >= 0xE0 &&
         jpeg[at + 1] <= 0xEF) {
    const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
    if (jpeg[at + 1] == 0xE1)
      jpeg.erase(jpeg.begin() + at, jpeg.begin() + at + 2 + length);
    else
      at += 2 + length;
  }
  std::vector<uint8_t> body = {'E', 'x', 'i', 'f', 0, 0};
  const std::vector<uint8_t> exif = ExifWithOrientation(orientation);
  body.insert(body.end(), exif.begin(), exif.end());
  std::vector<uint8_t> segment = {0xFF, 0xE1, uint8_t((body.size() + 2) >> 8),
                                  uint8_t(body.size() + 2)};
  segment.insert(segment.end(), body.begin(), body.end());
  jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  return jpeg;
}

// A smaller copy of the photograph, so each case stays quick under the sanitizers.
std::string PhotoCopy(const TempDir& dir, const std::string& name, const std::string& options) {
  const std::string path = dir.File(name);
  EXPECT_TRUE(
      RunImageMagick(ShellQuote(kPhoto) + " -resize 800x500 " + options + " " + ShellQuote(path)));
  return path;
}

// Our loading and ImageMagick's of the same file, compared in RGB.
double LoadedPsnr(const std::string& ours, const std::string& reference, int* width = nullptr,
                  int* height = nullptr) {
  CBmp picture;
  EXPECT_TRUE(picture.Load(ours)) << ours << ": " << picture.loadFailure();
  std::vector<uint8_t> expected;
  int w = 0, h = 0;
  EXPECT_TRUE(ImageMagickRgb(reference, expected, w, h)) << reference;
  int ow = 0, oh = 0;
  picture.GetSize(ow, oh);
  EXPECT_EQ(ow, w);
  EXPECT_EQ(oh, h);
  if (width) *width = ow;
  if (height) *height = oh;
  return Psnr(RgbOf(picture), expected);
}

TEST(PhotoFormats, ExifTurnedJpegsShowUprightEverywhereTheyAreLoaded) {
  REQUIRE_PHOTOS();
  TempDir dir;
  const std::vector<uint8_t> plain = ReadBytes(PhotoCopy(dir, "plain.jpg", "-quality 92"));
  for (int orientation = 2; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    const std::string path = dir.File("turned" + std::to_string(orientation) + ".JPG");
    WriteBytes(path, JpegWithOrientation(plain, orientation));
    int width = 0, height = 0;
    // The same decoder underneath: only the turn could differ, and a wrong one would
    // give noise-level PSNR.
    EXPECT_GT(LoadedPsnr(path, path, &width, &height), 45);
    EXPECT_EQ(width, orientation >= 5 ? 500 : 800);
  }
}

TEST(PhotoFormats, TheFullSizePhotographLoadsUprightFromItsExifTag) {
  REQUIRE_PHOTOS();
  if (!fs::exists(kLargePhoto)) GTEST_SKIP() << kLargePhoto << " missing";
  TempDir dir;
  const std::string path = dir.File("phone.jpg");
  WriteBytes(path, JpegWithOrientation(ReadBytes(kLargePhoto), 6));
  CBmp picture;
  ASSERT_TRUE(picture.Load(path));
  int width = 0, height = 0;
  picture.GetSize(width, height);
  EXPECT_EQ(width, 3172);
  EXPECT_EQ(height, 5640);
}

TEST(PhotoFormats, TiffPagesAreTurnedByTheirOrientationTag) {
  REQUIRE_PHOTOS();
  TempDir dir;
  for (const char* orient : {"RightTop", "BottomRight", "LeftBottom"}) {
    SCOPED_TRACE(orient);
    const std::string path =
        PhotoCopy(dir, std::string(orient) + ".tif", std::string("-orient ") + orient);
    EXPECT_GT(LoadedPsnr(path, path), 60);  // lossless both ways
  }
}

TEST(PhotoFormats, CmykAndYcckJpegsAreMixedDownToColour) {
  REQUIRE_PHOTOS();
  TempDir dir;
  const std::string rgb = PhotoCopy(dir, "rgb.jpg", "-quality 95");
  const std::string cmyk = PhotoCopy(dir, "cmyk.jpg", "-colorspace CMYK -quality 95");
  // ImageMagick writes Adobe's inverted inks; both readings mix them the same simple way.
  EXPECT_GT(LoadedPsnr(cmyk, cmyk), 40);
  // And the picture is the photograph, not its negative.
  CBmp a, b;
  ASSERT_TRUE(a.Load(rgb));
  ASSERT_TRUE(b.Load(cmyk));
  EXPECT_GT(Psnr(RgbOf(a), RgbOf(b)), 28);
}

TEST(PhotoFormats, WebpPhotosAndTheFirstFrameOfAnimations) {
  REQUIRE_PHOTOS();
  TempDir dir;
  const std::string lossy = PhotoCopy(dir, "photo.webp", "-quality 85");
  EXPECT_GT(LoadedPsnr(lossy, lossy), 45);
  const std::string lossless = PhotoCopy(dir, "exact.webp", "-define webp:lossless=true");
  EXPECT_GT(LoadedPsnr(lossless, lossless), 60);

  // Three frames of different colour: the first one is what loads.
  const std::string anim = dir.File("anim.webp");
  ASSERT_TRUE(
      RunImageMagick("-delay 10 -size 64x48 xc:'rgb(200,30,30)' xc:'rgb(30,200,30)' "
                     "xc:'rgb(30,30,200)' -loop 0 " +
                     ShellQuote(anim)));
  CBmp picture;
  ASSERT_TRUE(picture.Load(anim)) << picture.loadFailure();
  const std::vector<uint8_t> rgb = RgbOf(picture);
  ASSERT_EQ(rgb.size(), 64u * 48 * 3);
  EXPECT_NEAR(rgb[0], 200, 6);
  EXPECT_NEAR(rgb[1], 30, 6);
  EXPECT_NEAR(rgb[rgb.size() - 1], 30, 6);
}

// A WebP rewritten in the extended layout with an EXIF chunk holding the orientation.
std::vector<uint8_t> WebpWithOrientation(const std::vector<uint8_t>& webp, int width, int height,
                                         int orientation) {
  auto le32 = [](std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
  };
  std::vector<uint8_t> chunks = {'V', 'P', '8', 'X'};
  le32(chunks, 10);
  chunks.insert(chunks.end(), {0x08, 0, 0, 0});  // the EXIF flag
  for (int v : {width - 1, height - 1})
    chunks.insert(chunks.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
  // The picture's own chunks; any extended header and metadata the writer added go.
  for (size_t at = 12; at + 8 <= webp.size();) {
    const size_t size = webp[at + 4] | webp[at + 5] << 8 | webp[at + 6] << 16 | webp[at + 7] << 24;
    const size_t end = std::min(webp.size(), at + 8 + size + (size & 1));
    const std::string type(webp.begin() + at, webp.begin() + at + 4);
    if (type == "VP8 " || type == "VP8L" || type == "ALPH")
      chunks.insert(chunks.end(), webp.begin() + at, webp.begin() + end);
    at = end;
  }
  const std::vector<uint8_t> exif = ExifWithOrientation(orientation);
  chunks.insert(chunks.end(), {'E', 'X', 'I', 'F'});
  le32(chunks, uint32_t(exif.size()));
  chunks.insert(chunks.end(), exif.begin(), exif.end());
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
  le32(out, uint32_t(chunks.size() + 4));
  out.insert(out.end(), {'W', 'E', 'B', 'P'});
  out.insert(out.end(), chunks.begin(), chunks.end());
  return out;
}

TEST(PhotoFormats, WebpAndHeicCopiesOfATurnedPhotoShowUpright) {
  REQUIRE_PHOTOS();
  TempDir dir;
  const std::string plainJpeg = PhotoCopy(dir, "plain.jpg", "-quality 95");
  const std::string turnedJpeg = dir.File("turned.jpg");
  WriteBytes(turnedJpeg, JpegWithOrientation(ReadBytes(plainJpeg), 6));
  std::vector<uint8_t> reference;
  int w = 0, h = 0;
  ASSERT_TRUE(ImageMagickRgb(turnedJpeg, reference, w, h));
  ASSERT_EQ(w, 500);

  const std::string webp = PhotoCopy(dir, "plain.webp", "-quality 90");
  const std::string turnedWebp = dir.File("turned.webp");
  WriteBytes(turnedWebp, WebpWithOrientation(ReadBytes(webp), 800, 500, 6));
  CBmp fromWebp;
  ASSERT_TRUE(fromWebp.Load(turnedWebp)) << fromWebp.loadFailure();
  EXPECT_GT(Psnr(RgbOf(fromWebp), reference), 30);

  const std::string heifEnc = testing::FindTool("heif-enc");
  if (heifEnc.empty()) GTEST_SKIP() << "heif-enc (libheif-examples) is not installed";
  // heif-enc copies the JPEG's EXIF as it is and puts no rotation in the container.
  const std::string heic = dir.File("turned.heic");
  ASSERT_EQ(testing::RunCommand(heifEnc + " -q 90 " + ShellQuote(turnedJpeg) + " -o " +
                                ShellQuote(heic) + " >/dev/null 2>&1")
                .status,
            0);
  EXPECT_FALSE(HeifHasTransformations(ReadBytes(heic).data(), ReadBytes(heic).size()));
  CBmp fromHeic;
  ASSERT_TRUE(fromHeic.Load(heic)) << fromHeic.loadFailure();
  EXPECT_GT(Psnr(RgbOf(fromHeic), reference), 30);
  const std::string upper = dir.File("COPY.HEIF");
  fs::copy_file(heic, upper);
  CBmp again;
  EXPECT_TRUE(again.Load(upper));
}

TEST(PhotoFormats, AHeicPanoramaLongerThanASquareOfTheBudgetLoads) {
  REQUIRE_PHOTOS();
  const std::string heifEnc = testing::FindTool("heif-enc");
  if (heifEnc.empty()) GTEST_SKIP() << "heif-enc (libheif-examples) is not installed";
  TempDir dir;
  // 12000 x 600 is 7.2 megapixels, but longer than the side of a square of the budget
  // (10000), the library's first limit.
  const std::string jpeg = dir.File("pano.jpg");
  ASSERT_TRUE(RunImageMagick(ShellQuote(kPhoto) + " -resize 12000x600! " + ShellQuote(jpeg)));
  const std::string heic = dir.File("pano.heic");
  ASSERT_EQ(testing::RunCommand(heifEnc + " -q 60 " + ShellQuote(jpeg) + " -o " + ShellQuote(heic) +
                                " >/dev/null 2>&1")
                .status,
            0);
  CBmp panorama;
  ASSERT_TRUE(panorama.Load(heic)) << panorama.loadFailure();
  int w = 0, h = 0;
  ASSERT_TRUE(panorama.GetSize(w, h));
  EXPECT_EQ(w, 12000);
  EXPECT_EQ(h, 600);
  // Under a 5-megapixel budget it is refused with its size, before it is decoded.
  SetPictureMegapixels(5);
  CBmp refused;
  EXPECT_FALSE(refused.Load(heic));
  EXPECT_EQ(refused.loadFailure(),
            "The picture (12000x600) is larger than the 5 megapixels allowed");
  SetPictureMegapixels(kDefaultPictureMegapixels);
}

TEST(PhotoFormats, PngWithAlphaShowsTheScreenBackgroundThrough) {
  REQUIRE_PHOTOS();
  TempDir dir;
  // The photograph, fading from clear at the left to opaque at the right.
  const std::string png = dir.File("fade.png");
  ASSERT_TRUE(RunImageMagick(ShellQuote(kPhoto) +
                             " -resize 200x100! -alpha set \\( -size 100x200 "
                             "gradient:white-black -rotate 90 \\) -compose CopyOpacity "
                             "-composite " +
                             ShellQuote(png)));
  int w = 0, h = 0;
  SetPictureBackground(RGB(0, 0, 255));
  const std::string flat = dir.File("flat.png");
  ASSERT_TRUE(RunImageMagick(ShellQuote(png) + " -background blue -flatten " + ShellQuote(flat)));
  CBmp picture;
  ASSERT_TRUE(picture.Load(png));
  std::vector<uint8_t> expected;
  ASSERT_TRUE(ImageMagickRgb(flat, expected, w, h));
  EXPECT_GT(Psnr(RgbOf(picture), expected), 45);
  const std::vector<uint8_t> rgb = RgbOf(picture);
  // The clear edge (the gradient's black end, turned to the left) is the background.
  EXPECT_LT(rgb[(200 * 50) * 3], 8);
  EXPECT_GT(rgb[(200 * 50) * 3 + 2], 240);
  SetPictureBackground(RGB(192, 192, 192));
}

}  // namespace
}  // namespace quendrolix
