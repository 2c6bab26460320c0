#include "platform/vfw/codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
using namespace testing;

// Decodes `samples` in turn into one frame of the decoder's output format.
HDIB DecodeAll(const std::vector<uint8_t>& format, const std::vector<Bytes>& samples,
               FOURCC handler = 0, bool* ok = nullptr) {
  auto decoder = OpenDecompressor(format, handler);
  if (!decoder) return nullptr;
  const auto& out = decoder->OutputFormat();
  const BITMAPINFOHEADER h = FormatHeader(out);
  HDIB frame = DibBlock::Allocate(out.size() + DibRowStride(h.biWidth, h.biBitCount) * h.biHeight);
  std::memcpy(frame->data(), out.data(), out.size());
  bool all = true;
  for (const Bytes& s : samples) all = decoder->Decode(s.data(), s.size(), *frame) && all;
  if (ok) *ok = all;
  return frame;
}

uint16_t Pixel16(const DibBlock& dib, int x, int yFromBottom) {
  const uint8_t* p = DibPixels(dib) + yFromBottom * DibRowStride(dib.header().biWidth, 16) + 2 * x;
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

TEST(Video1DecoderTest, DecodesEachBlockKindAndSkips) {
  const auto format = MakeVideoFormat(8, 4, 16, kCompressionVideo1, 64, {});
  // Block 0: one colour (red, 0x7C00 with the top bit set). Block 1: two colours, mask
  // bit 0 (bottom-left pixel) picks the first (blue), the rest the second (green).
  const Bytes key = {0x00, 0xFC, 0x01, 0x00, 0x1F, 0x00, 0xE0, 0x03};
  bool ok = false;
  HDIB f = DecodeAll(format, {key}, 0, &ok);
  ASSERT_TRUE(f && ok);
  EXPECT_EQ(Pixel16(*f, 0, 0), 0x7C00);
  EXPECT_EQ(Pixel16(*f, 3, 3), 0x7C00);
  EXPECT_EQ(Pixel16(*f, 4, 0), 0x001F);
  EXPECT_EQ(Pixel16(*f, 5, 0), 0x03E0);
  EXPECT_EQ(Pixel16(*f, 4, 1), 0x03E0);
  // A delta frame: skip one block, then white.
  const Bytes delta = {0x01, 0x84, 0xFF, 0xFF};
  f = DecodeAll(format, {key, delta}, 0, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(Pixel16(*f, 0, 0), 0x7C00);
  EXPECT_EQ(Pixel16(*f, 7, 3), 0x7FFF);
  // Quadrant colours: the first colour carries the top bit; mask 0 takes each
  // quadrant's second colour.
  const Bytes quads = {0x00, 0x00, 0x01, 0x80, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00,
                       0x05, 0x00, 0x06, 0x00, 0x07, 0x00, 0x08, 0x00, 0x00, 0x80};
  f = DecodeAll(format, {quads}, 0, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(Pixel16(*f, 0, 0), 0x0002);  // bottom-left quadrant
  EXPECT_EQ(Pixel16(*f, 3, 1), 0x0004);  // bottom-right
  EXPECT_EQ(Pixel16(*f, 1, 2), 0x0006);  // top-left
  EXPECT_EQ(Pixel16(*f, 2, 3), 0x0008);  // top-right
  // Data that ends early is damage, not a crash.
  f = DecodeAll(format, {Bytes{0x01, 0x00, 0x1F}}, 0, &ok);
  EXPECT_FALSE(ok);
}

TEST(Video1DecoderTest, EightBitBlocksAndTheGridAtTheTop) {
  std::vector<RGBQUAD> palette(256, RGBQUAD{0, 0, 0, 0});
  // 4x6: one row of blocks covering the top four rows; the bottom two are not coded.
  const auto format = MakeVideoFormat(4, 6, 8, kCompressionVideo1, 24, palette);
  bool ok = false;
  HDIB f = DecodeAll(format, {Bytes{0x07, 0x80}}, 0, &ok);
  ASSERT_TRUE(f && ok);
  EXPECT_EQ(f->header().biBitCount, 8);
  const uint8_t* p = DibPixels(*f);
  for (int y = 0; y < 6; ++y) EXPECT_EQ(p[y * 4 + 1], y < 2 ? 0 : 7) << y;
  // Eight colours: the high byte 0x90 or more.
  const Bytes eight = {0x00, 0x90, 1, 2, 3, 4, 5, 6, 7, 8};
  f = DecodeAll(format, {eight}, 0, &ok);
  ASSERT_TRUE(ok);
  p = DibPixels(*f);
  EXPECT_EQ(p[2 * 4 + 0], 2);  // bottom-left of the block, bit 0 clear: second colour
  EXPECT_EQ(p[5 * 4 + 0], 5);  // top-left quadrant, bit 12 set: first colour
}

TEST(RleDecoderTest, RunsLiteralsMovesAndLineEnds) {
  std::vector<RGBQUAD> palette(256, RGBQUAD{0, 0, 0, 0});
  const auto format = MakeVideoFormat(6, 3, 8, BI_RLE8, 0, palette);
  // Row 0: run of 3 x 9, literal 1 2 3 (padded). Row 1: move 2 right, 1 up -> row 2,
  // run of 2 x 5 at column 2. End of bitmap.
  const Bytes rle = {3, 9, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 2, 5, 0, 1};
  bool ok = false;
  HDIB f = DecodeAll(format, {rle}, 0, &ok);
  ASSERT_TRUE(f && ok);
  const uint8_t* p = DibPixels(*f);
  const uint8_t row0[6] = {9, 9, 9, 1, 2, 3};
  EXPECT_EQ(0, std::memcmp(p, row0, 6));
  EXPECT_EQ(p[8 + 0], 0);  // row 1 untouched
  EXPECT_EQ(p[16 + 2], 5);
  EXPECT_EQ(p[16 + 3], 5);
  EXPECT_EQ(p[16 + 4], 0);

  const auto format4 = MakeVideoFormat(6, 1, 4, BI_RLE4, 0, std::vector<RGBQUAD>(16));
  // A run of 3 alternating 1,2 then a literal of three pixels 7,8,9 (two bytes).
  f = DecodeAll(format4, {Bytes{3, 0x12, 0, 3, 0x78, 0x90, 0, 1}}, 0, &ok);
  ASSERT_TRUE(f && ok);
  EXPECT_EQ(f->header().biBitCount, 4);
  p = DibPixels(*f);
  EXPECT_EQ(p[0], 0x12);
  EXPECT_EQ(p[1], 0x17);
  EXPECT_EQ(p[2], 0x89);
  // Runs that leave the picture are cut, not written outside it.
  f = DecodeAll(format, {Bytes{255, 1, 255, 1, 0, 2, 250, 250, 9, 9}}, 0, &ok);
  EXPECT_TRUE(f);
}

TEST(RawDecoderTest, TopDownPackedAndBitFieldFrames) {
  // 3x2 at 24 bits stored top-down with rows packed tight (9 bytes, no padding).
  auto format = MakeVideoFormat(3, -2, 24, BI_RGB, 0, {});
  Bytes top = {1, 1, 1, 2, 2, 2, 3, 3, 3}, bottom = {4, 4, 4, 5, 5, 5, 6, 6, 6};
  bool ok = false;
  HDIB f = DecodeAll(format, {Concat({top, bottom})}, 0, &ok);
  ASSERT_TRUE(f && ok);
  EXPECT_EQ(f->header().biHeight, 2);
  EXPECT_EQ(DibPixels(*f)[0], 4);   // the bottom row comes first in a DIB
  EXPECT_EQ(DibPixels(*f)[12], 1);  // the top row after 12 padded bytes
  EXPECT_FALSE(DecodeAll(format, {Bytes(10, 0)}, 0, &ok) && ok);  // too short

  // 5-6-5 bit fields come out as 24 bits; the green top value widens to 255.
  format = MakeVideoFormat(2, 1, 16, BI_BITFIELDS, 4, {});
  const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  format.insert(format.end(), reinterpret_cast<const uint8_t*>(masks),
                reinterpret_cast<const uint8_t*>(masks) + 12);
  f = DecodeAll(format, {Bytes{0xE0, 0x07, 0x1F, 0xF8}}, 0, &ok);
  ASSERT_TRUE(f && ok);
  EXPECT_EQ(f->header().biBitCount, 24);
  const uint8_t* p = DibPixels(*f);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 255);
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(p[3], 255);  // blue 31
  EXPECT_EQ(p[5], 255);  // red 31
  EXPECT_EQ(p[4], 0);
}

// A JPEG of a test picture, from libjpeg directly.
Bytes EncodeJpeg(int w, int h) {
  HDIB dib = MakeTestFrame(w, h, 24, 0);
  const Bytes bgr = DibToBgrTopDown(*dib);
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = w;
  c.image_height = h;
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(bgr.data() + c.next_scanline * w * 3);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes out(buf, buf + size);
  std::free(buf);
  return out;
}

TEST(MjpegDecoderTest, FramesWithoutHuffmanTablesUseTheStandardOnes) {
  const Bytes jpeg = EncodeJpeg(32, 16);
  // Capture cards leave out the DHT segments: the standard tables are what they used.
  Bytes stripped;
  for (size_t i = 0; i < jpeg.size();) {
    if (jpeg[i] == 0xFF && i + 3 < jpeg.size() && jpeg[i + 1] == 0xC4) {
      i += 2 + (jpeg[i + 2] << 8 | jpeg[i + 3]);
      continue;
    }
    if (jpeg[i] == 0xFF && i + 1 < jpeg.size() && jpeg[i + 1] == 0xDA) {
      stripped.insert(stripped.end(), jpeg.begin() + i, jpeg.end());
      break;
    }
    stripped.push_back(jpeg[i++]);
  }
  ASSERT_LT(stripped.size(), jpeg.size());
  const auto format = MakeVideoFormat(32, 16, 24, kHandlerMjpeg, 32 * 16 * 3, {});
  bool ok = false;
  HDIB a = DecodeAll(format, {jpeg}, 0, &ok);
  ASSERT_TRUE(a && ok);
  HDIB b = DecodeAll(format, {stripped}, 0, &ok);
  ASSERT_TRUE(b && ok);
  EXPECT_EQ(DibPixelBytes(*a), DibPixelBytes(*b));
  EXPECT_GT(Psnr(DibToBgrTopDown(*a), DibToBgrTopDown(*MakeTestFrame(32, 16, 24, 0))), 20);
  // Not a JPEG at all.
  DecodeAll(format, {Bytes{0xFF, 0xD8, 0x00, 0x00, 0x12}}, 0, &ok);
  EXPECT_FALSE(ok);
}

TEST(CodecRegistryTest, NamesAliasesAndWhatEachCompressorTakes) {
  EXPECT_EQ(FindCodec(MakeFourCC('C', 'R', 'A', 'M'))->handler, kHandlerVideo1);
  EXPECT_EQ(FindCodec(MakeFourCC('M', 'S', 'V', 'C'))->handler, kHandlerVideo1);
  EXPECT_EQ(FindCodec(0)->handler, kHandlerFullFrames);
  EXPECT_EQ(FindCodec(MakeFourCC('m', 'j', 'p', 'g'))->handler, kHandlerMjpeg);
  // The library compressors answer to their codes and to the other codes of the codec.
  EXPECT_EQ(FindCodec(MakeFourCC('x', 'v', 'i', 'd'))->handler, MakeFourCC('X', 'V', 'I', 'D'));
  EXPECT_EQ(FindCodec(MakeFourCC('D', 'X', '5', '0'))->handler, MakeFourCC('X', 'V', 'I', 'D'));
  EXPECT_EQ(FindCodec(MakeFourCC('a', 'v', 'c', '1'))->handler, MakeFourCC('H', '2', '6', '4'));
  EXPECT_EQ(FindCodec(MakeFourCC('C', 'V', 'I', 'D'))->handler, MakeFourCC('c', 'v', 'i', 'd'));
  EXPECT_EQ(FindCodec(MakeFourCC('I', 'V', '5', '0')), nullptr);  // decoded, never written
  FOURCC code = 0;
  ASSERT_TRUE(ParseFourCC("DIB", code));
  EXPECT_EQ(code, kHandlerFullFrames);
  EXPECT_FALSE(ParseFourCC("", code));
  EXPECT_FALSE(ParseFourCC("MJPEG", code));

  std::unique_ptr<VideoCompressor> c;
  const auto rgb24 = MakeVideoFormat(16, 16, 24, BI_RGB, 768, {});
  EXPECT_EQ(OpenCompressor(kHandlerRle, rgb24, {}, c), AVIERR_BADFORMAT);
  EXPECT_EQ(OpenCompressor(MakeFourCC('I', 'V', '5', '0'), rgb24, {}, c), AVIERR_NOCOMPRESSOR);
  ASSERT_EQ(OpenCompressor(MakeFourCC('x', 'v', 'i', 'd'), rgb24, {}, c), AVIERR_OK);
  EXPECT_EQ(FormatHeader(c->OutputFormat()).biCompression, MakeFourCC('X', 'V', 'I', 'D'));
  EXPECT_EQ(OpenCompressor(kHandlerVideo1, MakeVideoFormat(2, 2, 24, BI_RGB, 12, {}), {}, c),
            AVIERR_BADFORMAT);  // smaller than one block
  EXPECT_EQ(OpenCompressor(kHandlerVideo1, MakeVideoFormat(16, 16, 24, BI_RLE8, 0, {}), {}, c),
            AVIERR_BADFORMAT);  // compressed input
  EXPECT_EQ(
      OpenCompressor(kHandlerFullFrames, MakeVideoFormat(100000, 1, 24, BI_RGB, 0, {}), {}, c),
      AVIERR_BADFORMAT);  // beyond the size limit
  ASSERT_EQ(OpenCompressor(kHandlerVideo1, rgb24, {}, c), AVIERR_OK);
  EXPECT_EQ(FormatHeader(c->OutputFormat()).biCompression, kCompressionVideo1);
  EXPECT_EQ(FormatHeader(c->OutputFormat()).biBitCount, 16);
}

TEST(Video1EncoderTest, KeyFramesDataRateAndQuality) {
  const auto input = MakeVideoFormat(64, 48, 24, BI_RGB, 64 * 48 * 3, {});
  auto compress = [&](CompressorSettings settings, std::vector<size_t>& sizes,
                      std::vector<bool>& keys) {
    std::unique_ptr<VideoCompressor> c;
    ASSERT_EQ(OpenCompressor(kHandlerVideo1, input, settings, c), AVIERR_OK);
    for (int t = 0; t < 12; ++t) {
      HDIB frame = MakeTestFrame(64, 48, 24, t);
      std::vector<uint8_t> out;
      bool key = false;
      ASSERT_TRUE(c->Compress(DibPixels(*frame), frame->size() - DibPixelOffset(*frame), out, key));
      sizes.push_back(out.size());
      keys.push_back(key);
    }
  };
  std::vector<size_t> free, limited, coarse;
  std::vector<bool> keys, keys2, keys3;
  CompressorSettings s;
  s.quality = 10000;
  s.keyFrameEvery = 4;
  compress(s, free, keys);
  EXPECT_EQ(keys, (std::vector<bool>{true, false, false, false, true, false, false, false, true,
                                     false, false, false}));
  s.bytesPerSecond = 10 * 1500;  // 1500 bytes a frame at 10 frames per second
  s.framesPerSecond = 10;
  compress(s, limited, keys2);
  size_t a = 0, b = 0;
  for (int i = 6; i < 12; ++i) {
    a += free[i];
    b += limited[i];
  }
  EXPECT_LT(b, a * 3 / 4);  // the limit pulled the quality down
  s = CompressorSettings{};
  s.quality = 2000;
  compress(s, coarse, keys3);
  EXPECT_LT(coarse[0], free[0] / 2);
  EXPECT_EQ(keys3[5], false);  // no interval: only the first frame is a key frame
}

}  // namespace
}  // namespace quendrolix
