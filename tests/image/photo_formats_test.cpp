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

// An HEVC sequence parameter set as far as the picture size, with one sub-layer (so that its
// profile and level are passed over) and the start-code emulation prevention an encoder adds.
std::vector<uint8_t> SequenceParameters(uint32_t width, uint32_t height) {
  std::vector<bool> bits;
  auto put = [&](uint64_t value, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back(i < 64 && ((value >> i) & 1));
  };
  auto golomb = [&](uint32_t value) {
    const uint64_t v = uint64_t{value} + 1;
    int n = 0;
    while ((v >> n) > 1) ++n;
    put(0, n);
    put(v, n + 1);
  };
  put(0, 4);             // video parameter set
  put(1, 3);             // one sub-layer beyond the first
  put(1, 1);             // temporal nesting
  put(0, 96);            // general profile, tier and level: all zero bits
  put(1, 1), put(1, 1);  // the sub-layer has a profile and a level
  put(0, 2 * 7);         // alignment up to eight sub-layers
  put(0, 88), put(0, 8);
  golomb(0);  // its id
  golomb(1);  // 4:2:0
  golomb(width);
  golomb(height);
  put(1, 1);  // trailing bits
  while (bits.size() % 8) bits.push_back(false);
  std::vector<uint8_t> rbsp;
  for (size_t i = 0; i < bits.size(); i += 8) {
    uint8_t byte = 0;
    for (int b = 0; b < 8; ++b) byte = uint8_t(byte << 1 | bits[i + b]);
    rbsp.push_back(byte);
  }
  std::vector<uint8_t> nal = {0x42, 0x01};  // NAL unit type 33
  int zeros = 0;
  for (uint8_t byte : rbsp) {
    if (zeros >= 2 && byte <= 3) {
      nal.push_back(3);
      zeros = 0;
    }
    nal.push_back(byte);
    zeros = byte == 0 ? zeros + 1 : 0;
  }
  return nal;
}

std::vector<uint8_t> HvcC(const std::vector<uint8_t>& sps) {
  std::vector<uint8_t> body(22, 0);
  body[0] = 1;
  body.push_back(2);                                        // two arrays
  body.insert(body.end(), {0x20, 0, 1, 0, 2, 0x40, 0x01});  // a (cut) video parameter set
  body.insert(body.end(), {0x21, 0, 1, uint8_t(sps.size() >> 8), uint8_t(sps.size())});
  body.insert(body.end(), sps.begin(), sps.end());
  return Box("hvcC", body);
}

TEST(HeifContainerTest, TheCodedPictureSizeIsReadFromTheParameterSets) {
  const auto small = HeifSkeleton({HvcC(SequenceParameters(648, 408))});
  std::vector<HeifCanvas> sizes = HeifCodedSizes(small.data(), small.size());
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].width, 648u);
  EXPECT_EQ(sizes[0].height, 408u);
  // 65536 x 256 codes runs of zero bytes that need emulation prevention.
  const auto huge = HeifSkeleton(
      {Box("ispe", std::vector<uint8_t>(8, 1), true), HvcC(SequenceParameters(65536, 256))});
  sizes = HeifCodedSizes(huge.data(), huge.size());
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].width, 65536u);
  EXPECT_EQ(sizes[0].height, 256u);
  // Cut anywhere, nothing is read past the end.
  for (size_t keep = 0; keep < huge.size(); ++keep)
    EXPECT_LE(HeifCodedSizes(huge.data(), keep).size(), 1u);
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
