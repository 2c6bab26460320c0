// The glue of the newer photograph formats, without other programs: the container walk
// that finds a HEIF rotation, pictures with alpha over the background, what is refused.

#include <gtest/gtest.h>

#include <cstring>

#include "image/cbmp.h"
#include "image/heif_glue.h"
#include "image/image_preview.h"
#include "image/picture_limits.h"
#include "image/png_glue.h"
#include "image/webp_glue.h"
#include "support/image_fixtures.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::TempDir;

std::vector<uint8_t> Box(const char* type, const std::vector<uint8_t>& body, bool full = false) {
  std::vector<uint8_t> b;
  const uint32_t size = uint32_t(8 + (full ? 4 : 0) + body.size());
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(size >> s));
  b.insert(b.end(), type, type + 4);
  if (full) b.insert(b.end(), {0, 0, 0, 0});
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ftyp, then meta > iprp > ipco holding the given properties.
std::vector<uint8_t> HeifSkeleton(std::initializer_list<std::vector<uint8_t>> properties) {
  return Cat({Box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1'}),
              Box("meta",
                  Cat({Box("hdlr", std::vector<uint8_t>(20, 0), true),
                       Box("iprp", Box("ipco", Cat(properties)))}),
                  true),
              Box("mdat", {1, 2, 3})});
}

TEST(HeifContainerTest, RotationsAndMirrorsAreFoundAmongTheItemProperties) {
  const std::vector<uint8_t> ispe = Box("ispe", std::vector<uint8_t>(8, 1), true);
  const auto plain = HeifSkeleton({ispe});
  const auto rotated = HeifSkeleton({ispe, Box("irot", {1})});
  const auto mirrored = HeifSkeleton({Box("imir", {0}), ispe});
  EXPECT_FALSE(HeifHasTransformations(plain.data(), plain.size()));
  EXPECT_TRUE(HeifHasTransformations(rotated.data(), rotated.size()));
  EXPECT_TRUE(HeifHasTransformations(mirrored.data(), mirrored.size()));
  // The words elsewhere (in the picture data) are not properties.
  const auto elsewhere = Cat({plain, Box("free", {'i', 'r', 'o', 't'})});
  EXPECT_FALSE(HeifHasTransformations(elsewhere.data(), elsewhere.size()));
  // Boxes that claim more than there is end the walk without a finding.
  const size_t metaEnd = rotated.size() - Box("mdat", {1, 2, 3}).size();
  for (size_t keep = 0; keep < metaEnd; keep += 7)
    EXPECT_FALSE(HeifHasTransformations(rotated.data(), keep)) << keep;
  EXPECT_FALSE(HeifHasTransformations(nullptr, 0));
}

std::vector<uint8_t> Be(uint64_t value, int bytes) {
  std::vector<uint8_t> out;
  for (int s = 8 * (bytes - 1); s >= 0; s -= 8) out.push_back(uint8_t(value >> s));
  return out;
}

std::vector<uint8_t> Infe(uint16_t id, const char* type) {
  return Box("infe", Cat({{2, 0, 0, 0}, Be(id, 2), Be(0, 2), {type, type + 4}}));
}

TEST(HeifContainerTest, TheCanvasOfTiledAndLayeredPicturesIsReadFromTheirOwnData) {
  // A grid of 30000x20000 in 'idat' (16-bit fields: flags 0) and an overlay of 70000x3 with
  // 32-bit fields at a file offset: item 2 is the grid, item 3 the overlay, item 1 a tile.
  const std::vector<uint8_t> gridData = Cat({{0, 0, 0, 0}, Be(30000, 2), Be(20000, 2)});
  const std::vector<uint8_t> overlayData =
      Cat({{0, 1}, std::vector<uint8_t>(8, 0), Be(70000, 4), Be(3, 4)});
  const auto iinf =
      Box("iinf", Cat({Be(3, 2), Infe(1, "hvc1"), Infe(2, "grid"), Infe(3, "iovl")}), true);
  auto build = [&](size_t overlayAt) {
    // iloc version 1: 4-byte offsets and lengths, no base offset; the grid in 'idat'
    // (construction method 1), the overlay in the file (method 0).
    const auto iloc = Box("iloc", Cat({{1, 0, 0, 0, 0x44, 0x00},
                                       Be(2, 2),  //
                                       Be(2, 2),
                                       Be(1, 2),
                                       Be(0, 2),
                                       Be(1, 2),
                                       Be(0, 4),
                                       Be(gridData.size(), 4),  //
                                       Be(3, 2),
                                       Be(0, 2),
                                       Be(0, 2),
                                       Be(1, 2),
                                       Be(overlayAt, 4),
                                       Be(overlayData.size(), 4)}));
    return Cat({Box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1'}),
                Box("meta",
                    Cat({Box("hdlr", std::vector<uint8_t>(20, 0), true), iinf, iloc,
                         Box("idat", gridData)}),
                    true)});
  };
  const size_t overlayAt = build(0).size() + 8;  // inside the 'mdat' that follows
  const auto file = Cat({build(overlayAt), Box("mdat", overlayData)});
  const std::vector<HeifCanvas> canvases = HeifDerivedCanvases(file.data(), file.size());
  ASSERT_EQ(canvases.size(), 2u);
  EXPECT_EQ(canvases[0].width, 30000u);
  EXPECT_EQ(canvases[0].height, 20000u);
  EXPECT_EQ(canvases[1].width, 70000u);
  EXPECT_EQ(canvases[1].height, 3u);
  // A last box that claims more than the file has hides nothing (the library reads on).
  std::vector<uint8_t> overlong = file;
  overlong[build(overlayAt).size() + 2] = 0x7F;
  EXPECT_EQ(HeifDerivedCanvases(overlong.data(), overlong.size()).size(), 2u);
  // Cut anywhere, the walk finds at most what is whole and never reads past the end.
  for (size_t keep = 0; keep < file.size(); ++keep)
    EXPECT_LE(HeifDerivedCanvases(file.data(), keep).size(), 2u);
  EXPECT_TRUE(HeifDerivedCanvases(nullptr, 0).empty());
}

TEST(PhotoGlueTest, GarbageAndTheWrongFormatAreRefusedWithAReason) {
  std::string message;
  const std::vector<uint8_t> riff = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P', 0, 0};
  EXPECT_FALSE(ReadWebpMemory(riff.data(), riff.size(), message));
  EXPECT_EQ(message, "not a WebP picture that can be read");
  const auto skeleton = HeifSkeleton({});
  EXPECT_FALSE(ReadHeifMemory(skeleton.data(), skeleton.size(), message));
  EXPECT_FALSE(message.empty());
  EXPECT_FALSE(ReadHeifMemory(riff.data(), riff.size(), message));
  EXPECT_FALSE(LooksLikeWebp(skeleton.data(), skeleton.size()));
  EXPECT_TRUE(LooksLikeWebp(riff.data(), riff.size()));
}

TEST(PhotoGlueTest, NewExtensionsArePreviewedAndLoadedByName) {
  for (const char* name : {"a.webp", "b.HEIC", "c.heif", "d.WebP"})
    EXPECT_TRUE(IsPreviewableFile(name));
  TempDir dir;
  testing::WriteText(dir.File("fake.heic"), "not a picture");
  CBmp picture;
  EXPECT_FALSE(picture.Load(dir.File("fake.heic")));
  EXPECT_EQ(picture.loadFailure(), "not a HEIF picture that can be read");
}

TEST(PhotoGlueTest, AlphaIsLaidOverTheScreenBackground) {
  TempDir dir;
  // Four pixels: opaque red, clear red, half green, opaque black.
  HDIB dib = NewDib(4, 1, 32, 0);
  const uint8_t pixels[16] = {0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 0, 128, 0, 0, 0, 255};
  std::memcpy(DibPixels(*dib), pixels, sizeof pixels);
  ASSERT_TRUE(WritePng(dir.File("alpha.png"), *dib));
  SetPictureBackground(RGB(0, 0, 200));
  CBmp picture;
  ASSERT_TRUE(picture.Load(dir.File("alpha.png")));
  SetPictureBackground(RGB(192, 192, 192));
  EXPECT_EQ(testing::RgbOf(picture),
            (std::vector<uint8_t>{255, 0, 0, 0, 0, 200, 0, 128, 100, 0, 0, 0}));

  // A palette picture with a transparent entry: that entry shows the background.
  std::string message;
  HDIB opaque = NewDib(2, 1, 8, 2);
  opaque->colours()[0] = {0, 0, 255, 0};
  opaque->colours()[1] = {255, 0, 0, 0};
  DibPixels(*opaque)[1] = 1;
  ASSERT_TRUE(WritePng(dir.File("pal.png"), *opaque));
  // Adds a tRNS chunk making entry 1 clear, before IDAT (checksum right).
  std::vector<uint8_t> png = testing::ReadBytes(dir.File("pal.png"));
  size_t idat = 8;
  while (idat + 8 < png.size() && std::memcmp(png.data() + idat + 4, "IDAT", 4) != 0)
    idat += 12 + (size_t(png[idat]) << 24 | size_t(png[idat + 1]) << 16 |
                  size_t(png[idat + 2]) << 8 | png[idat + 3]);
  const std::vector<uint8_t> trns = {0,   0,   0, 2,    't',  'R',  'N',
                                     'S', 255, 0, 0xE5, 0xB7, 0x30, 0x4A};
  png.insert(png.begin() + static_cast<long>(idat), trns.begin(), trns.end());
  testing::WriteBytes(dir.File("trns.png"), png);
  HDIB read = ReadPng(dir.File("trns.png"), message);
  ASSERT_TRUE(read) << message;
  EXPECT_EQ(read->header().biBitCount, 32);
  CBmp transparent;
  ASSERT_TRUE(transparent.Load(dir.File("trns.png")));
  EXPECT_EQ(testing::RgbOf(transparent), (std::vector<uint8_t>{255, 0, 0, 192, 192, 192}));
}

}  // namespace
}  // namespace quendrolix
