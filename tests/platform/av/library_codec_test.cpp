// The library compressors in the codec registry and the library decoders behind the frame
// getter, end to end through the AVI file services.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/av/video_decoder.h"
#include "platform/av/video_encoder.h"
#include "platform/vfw/codec.h"
#include "platform/vfw/vfw.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
using namespace testing;

constexpr FOURCC kXvid = MakeFourCC('X', 'V', 'I', 'D');
constexpr FOURCC kH264 = MakeFourCC('H', '2', '6', '4');
constexpr FOURCC kFfv1 = MakeFourCC('F', 'F', 'V', '1');
constexpr FOURCC kHfyu = MakeFourCC('H', 'F', 'Y', 'U');
constexpr FOURCC kCvid = MakeFourCC('c', 'v', 'i', 'd');

std::vector<HDIB> Frames(int w, int h, int bits, int count) {
  std::vector<HDIB> frames;
  for (int t = 0; t < count; ++t) frames.push_back(MakeTestFrame(w, h, bits, t));
  return frames;
}

// Pictures as cameras see them: smooth colour gradients and a moving square, without the
// one-pixel colour checker of the test frames that no 4:2:0 codec can keep.
std::vector<HDIB> SmoothFrames(int w, int h, int count) {
  std::vector<HDIB> frames;
  const size_t stride = DibRowStride(w, 24);
  for (int t = 0; t < count; ++t) {
    HDIB dib = NewDib(w, h, 24, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = DibPixels(*dib) + (h - 1 - y) * stride + 3 * x;
        const bool square = x >= 4 * t && x < 4 * t + w / 4 && y >= 2 * t && y < 2 * t + h / 4;
        p[0] = static_cast<uint8_t>(square ? 40 : (x * 200) / w + 20);
        p[1] = static_cast<uint8_t>(square ? 220 : (y * 200) / h + 30);
        p[2] = static_cast<uint8_t>(square ? 200 : ((x + y) * 100) / (w + h) + 60);
      }
    frames.push_back(std::move(dib));
  }
  return frames;
}

struct StreamFacts {
  FOURCC handler = 0;
  BITMAPINFOHEADER format{};
  std::vector<bool> keys;
};

StreamFacts Facts(const std::string& path) {
  StreamFacts facts;
  ScopedAviFile file;
  ScopedAviStream stream;
  if (AVIFileOpen(file.out(), path, OF_READ) != AVIERR_OK ||
      AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, 0) != AVIERR_OK)
    return facts;
  AVISTREAMINFO info{};
  AVIStreamInfo(stream.get(), &info, sizeof info);
  facts.handler = info.fccHandler;
  LONG size = sizeof facts.format;
  AVIStreamReadFormat(stream.get(), 0, &facts.format, &size);
  for (LONG i = 0; i < AVIStreamLength(stream.get()); ++i)
    facts.keys.push_back(AVIStreamIsKeyFrame(stream.get(), i));
  return facts;
}

TEST(LibraryCodecTest, EveryLibraryCompressorIsInTheRegistryAndComesBackThroughTheGetter) {
  TempDir dir;
  const std::vector<HDIB> frames = SmoothFrames(160, 120, 12);
  struct Case {
    FOURCC handler;
    double leastPsnr;  // against the pictures given, frame by frame
  };
  // The lossless ones give every pixel back; the others stay well above what anyone sees
  // as damage at the highest quality (Cinepak has no quality setting).
  for (const Case c :
       {Case{kFfv1, 99}, Case{kHfyu, 99}, Case{kXvid, 36}, Case{kH264, 38}, Case{kCvid, 26}}) {
    SCOPED_TRACE(FourCCText(c.handler));
    const CodecDescription* codec = FindCodec(c.handler);
    ASSERT_TRUE(codec);
    EXPECT_TRUE(codec->library);
    const std::string path = dir.File(FourCCText(c.handler) + ".avi");
    ASSERT_EQ(WriteTestAvi(path, frames, OptionsFor(c.handler, 10000, 5)), AVIERR_OK);
    const StreamFacts facts = Facts(path);
    EXPECT_EQ(facts.handler, c.handler);
    EXPECT_EQ(facts.format.biCompression, c.handler);
    EXPECT_EQ(facts.format.biWidth, 160);
    EXPECT_EQ(facts.format.biHeight, 120);
    ASSERT_EQ(facts.keys.size(), 12u);
    // Key frames at least where asked for; delta frames between them for the codecs that
    // make them.
    for (int k : {0, 5, 10}) EXPECT_TRUE(facts.keys[k]) << k;
    if (codec->temporal) EXPECT_FALSE(facts.keys[1] && facts.keys[2] && facts.keys[3]);
    const auto decoded = ReadFramesBgr(path);
    ASSERT_EQ(decoded.size(), 12u);
    for (size_t i = 0; i < frames.size(); ++i)
      EXPECT_GE(Psnr(decoded[i], DibToBgrTopDown(*frames[i])), c.leastPsnr) << "frame " << i;
  }
}

TEST(LibraryCodecTest, FramesOfEveryDepthAreCodedFromTheirColours) {
  TempDir dir;
  for (int bits : {8, 16, 32}) {
    SCOPED_TRACE(bits);
    const std::vector<HDIB> frames = Frames(64, 48, bits, 3);
    const std::string path = dir.File("ffv1.avi");
    ASSERT_EQ(WriteTestAvi(path, frames, OptionsFor(kFfv1)), AVIERR_OK);
    const auto decoded = ReadFramesBgr(path);
    ASSERT_EQ(decoded.size(), 3u);
    // Lossless: the 24-bit colours the frames stand for, palette and 5-5-5 included.
    for (size_t i = 0; i < frames.size(); ++i)
      EXPECT_EQ(decoded[i], DibToBgrTopDown(*frames[i])) << "frame " << i;
  }
}

TEST(LibraryCodecTest, FramesAskedForInAnyOrderAreTheFramesDecodedInOrder) {
  TempDir dir;
  const std::string path = dir.File("h264.avi");
  ASSERT_EQ(WriteTestAvi(path, Frames(96, 64, 24, 24), OptionsFor(kH264, 7500, 6)), AVIERR_OK);
  const auto sequential = ReadFramesBgr(path);
  ASSERT_EQ(sequential.size(), 24u);
  ScopedAviFile file;
  ScopedAviStream stream;
  ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ), AVIERR_OK);
  ASSERT_EQ(AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, 0), AVIERR_OK);
  PGETFRAME getter = AVIStreamGetFrameOpen(stream.get(), nullptr);
  ASSERT_TRUE(getter);
  for (LONG i : {17, 3, 4, 23, 0, 11, 12, 12, 5, 18}) {
    const DibBlock* dib = AVIStreamGetFrame(getter, i);
    ASSERT_TRUE(dib) << i;
    EXPECT_EQ(dib->header().biBitCount, 24);
    EXPECT_EQ(DibToBgrTopDown(*dib), sequential[i]) << "frame " << i;
  }
  EXPECT_FALSE(AVIStreamGetFrame(getter, 24));
  EXPECT_FALSE(AVIStreamGetFrame(getter, -1));
  // 32-bit frames on request, the same colours.
  BITMAPINFOHEADER wanted{};
  wanted.biSize = sizeof wanted;
  wanted.biBitCount = 32;
  PGETFRAME wide = AVIStreamGetFrameOpen(stream.get(), &wanted);
  ASSERT_TRUE(wide);
  const DibBlock* dib = AVIStreamGetFrame(wide, 9);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->header().biBitCount, 32);
  EXPECT_EQ(DibToBgrTopDown(*dib), sequential[9]);
  AVIStreamGetFrameClose(wide);
  AVIStreamGetFrameClose(getter);
}

TEST(LibraryCodecTest, CompressorsRefuseDepthsAndSizesTheyCannotCode) {
  TempDir dir;
  // Cinepak and MS Video 1 code whole 4x4 blocks; XVID and H.264 need even sizes.
  EXPECT_EQ(WriteTestAvi(dir.File("a.avi"), Frames(162, 120, 24, 1), OptionsFor(kCvid)),
            AVIERR_BADFORMAT);
  EXPECT_EQ(WriteTestAvi(dir.File("b.avi"), Frames(161, 120, 24, 1), OptionsFor(kH264)),
            AVIERR_BADFORMAT);
  EXPECT_EQ(WriteTestAvi(dir.File("c.avi"), Frames(160, 121, 16, 1), OptionsFor(kHandlerVideo1)),
            AVIERR_BADFORMAT);
  for (const char* name : {"a.avi", "b.avi", "c.avi"})
    EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
  // The lossless ones take any size.
  EXPECT_EQ(WriteTestAvi(dir.File("d.avi"), Frames(161, 121, 24, 2), OptionsFor(kHfyu)), AVIERR_OK);

  EXPECT_EQ(CompressorRefusal(kHandlerRle, 24),
            "Run Length Encoding (RLE8) takes only 8-bit frames, not the project's 24-bit ones. "
            "Choose another compressor, or set the colour depth to 8 bits.");
  EXPECT_EQ(CompressorRefusal(kHandlerRle, 8), "");
  EXPECT_EQ(CompressorRefusal(kHandlerVideo1, 24, 321, 240),
            "MS Video 1 codes blocks of 4x4 pixels and players show only whole blocks: the "
            "picture size 321x240 is not a multiple of 4 in both directions. Choose another "
            "compressor, or pictures of a size such as 320x240.");
  EXPECT_EQ(CompressorRefusal(kHandlerVideo1, 16, 320, 240), "");
  EXPECT_EQ(CompressorRefusal(kXvid, 24, 320, 239),
            "MPEG-4 ASP (XVID) codes colour at half the resolution, so it needs an even width "
            "and height: the picture size 320x239 has an odd one. Choose another compressor, or "
            "pictures of a size such as 320x238.");
  EXPECT_EQ(CompressorRefusal(kFfv1, 8, 321, 239), "");
  EXPECT_NE(CompressorRefusal(MakeFourCC('n', 'o', 'n', 'e'), 24).find("'none'"),
            std::string::npos);
}

TEST(LibraryCodecTest, OtherCodesOfTheSameCodecsDecodeAsWell) {
  // AVIs of other programs name MPEG-4 ASP "DIVX", "DX50" or "FMP4"; the decoder is found
  // by any of them, and by the stream handler when the format's code names nothing.
  TempDir dir;
  const std::string path = dir.File("xvid.avi");
  ASSERT_EQ(WriteTestAvi(path, Frames(64, 48, 24, 4), OptionsFor(kXvid)), AVIERR_OK);
  const auto reference = ReadFramesBgr(path);
  ASSERT_EQ(reference.size(), 4u);
  Bytes bytes = ReadBytes(path);
  const auto chunks = WalkRiff(bytes);
  const auto strf = Find(chunks, "strl/strf");
  const auto strh = Find(chunks, "strl/strh");
  ASSERT_EQ(strf.size(), 1u);
  ASSERT_EQ(strh.size(), 1u);
  for (const char* code : {"DIVX", "DX50", "FMP4", "xvid"}) {
    Bytes copy = bytes;
    std::memcpy(copy.data() + strf[0].dataOffset + 16, code, 4);  // biCompression
    std::memcpy(copy.data() + strh[0].dataOffset + 4, code, 4);   // fccHandler
    WriteBytes(dir.File("copy.avi"), copy);
    EXPECT_EQ(ReadFramesBgr(dir.File("copy.avi")), reference) << code;
  }
  Bytes handlerOnly = bytes;
  std::memcpy(handlerOnly.data() + strf[0].dataOffset + 16, "????", 4);
  WriteBytes(dir.File("handler.avi"), handlerOnly);
  EXPECT_EQ(ReadFramesBgr(dir.File("handler.avi")), reference);
}

TEST(LibraryCodecTest, DamagedSamplesGiveTheFramesThatDecode) {
  TempDir dir;
  const std::string path = dir.File("xvid.avi");
  ASSERT_EQ(WriteTestAvi(path, Frames(96, 64, 24, 10), OptionsFor(kXvid, 10000, 1)), AVIERR_OK);
  const auto reference = ReadFramesBgr(path);
  ASSERT_EQ(reference.size(), 10u);
  // Every frame a key frame; frame 4's sample overwritten with noise.
  Bytes bytes = ReadBytes(path);
  const auto frames = Find(WalkRiff(bytes), "movi/00dc");
  ASSERT_EQ(frames.size(), 10u);
  for (uint32_t i = 0; i < frames[4].size; ++i)
    bytes[frames[4].dataOffset + i] = static_cast<uint8_t>(i * 37 + 11);
  WriteBytes(dir.File("damaged.avi"), bytes);
  ScopedAviFile file;
  ScopedAviStream stream;
  ASSERT_EQ(AVIFileOpen(file.out(), dir.File("damaged.avi"), OF_READ), AVIERR_OK);
  ASSERT_EQ(AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, 0), AVIERR_OK);
  PGETFRAME getter = AVIStreamGetFrameOpen(stream.get(), nullptr);
  ASSERT_TRUE(getter);
  int good = 0;
  for (LONG i = 0; i < 10; ++i) {
    const DibBlock* dib = AVIStreamGetFrame(getter, i);
    if (i != 4) {
      ASSERT_TRUE(dib) << i;
      EXPECT_EQ(DibToBgrTopDown(*dib), reference[i]) << i;
      ++good;
    }
  }
  EXPECT_EQ(good, 9);
  AVIStreamGetFrameClose(getter);
}

TEST(LibraryCodecTest, ExtractWritesTheFramesThatDecodeAndNamesTheOthers) {
  TempDir dir;
  const std::string path = dir.File("xvid.avi");
  ASSERT_EQ(WriteTestAvi(path, Frames(96, 64, 24, 10), OptionsFor(kXvid, 10000, 1)), AVIERR_OK);
  Bytes bytes = ReadBytes(path);
  const auto frames = Find(WalkRiff(bytes), "movi/00dc");
  ASSERT_EQ(frames.size(), 10u);
  for (int damaged : {4, 7})
    for (uint32_t i = 0; i < frames[damaged].size; ++i)
      bytes[frames[damaged].dataOffset + i] = static_cast<uint8_t>(i * 37 + 11);
  WriteBytes(path, bytes);
  const CommandResult r =
      RunCli({"--home", dir.File("home"), "extract", path, "--dir", dir.File("frames")});
  EXPECT_EQ(r.status, 3) << "made, but incomplete";
  EXPECT_EQ(r.output, "10\n");
  EXPECT_NE(
      r.errors.find("2 of 10 frames could not be read from " + path + ": Img0005.bmp, Img0008.bmp"),
      std::string::npos)
      << r.errors;
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("frames")))
    files += entry.path().extension() == ".bmp";
  EXPECT_EQ(files, 8);
}

TEST(SampleVideoDecoderTest, NoiseNeverCrashesAndFormatsOutOfReachAreRefused) {
  std::vector<uint8_t> format(40);
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = 64;
  h.biHeight = 48;
  h.biBitCount = 24;
  h.biCompression = kH264;
  std::memcpy(format.data(), &h, 40);
  std::string error;
  auto decoder = av::SampleVideoDecoder::Open(format, 0, &error);
  ASSERT_TRUE(decoder) << error;
  HDIB frame = NewDib(64, 48, 24, 0);
  uint32_t seed = 7;
  for (int i = 0; i < 50; ++i) {
    std::vector<uint8_t> noise(200 + i * 13);
    for (uint8_t& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    decoder->Send(noise.data(), noise.size(), i);
    int64_t index;
    while (decoder->Receive(*frame, &index) == av::SampleVideoDecoder::Result::kPicture) {
      EXPECT_EQ(frame->header().biWidth, 64);
      EXPECT_EQ(frame->header().biHeight, 48);
    }
  }
  decoder->Drain();
  int64_t index;
  while (decoder->Receive(*frame, &index) == av::SampleVideoDecoder::Result::kPicture) {
  }

  h.biWidth = 40000;  // beyond every picture limit
  std::memcpy(format.data(), &h, 40);
  EXPECT_FALSE(av::SampleVideoDecoder::Open(format, 0, &error));
  h.biWidth = 64;
  h.biCompression = MakeFourCC('Q', 'Q', 'Q', 'Q');
  std::memcpy(format.data(), &h, 40);
  EXPECT_FALSE(av::SampleVideoDecoder::Open(format, 0, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(av::SampleVideoDecoder::Open(std::vector<uint8_t>(12), 0, &error));
}

}  // namespace
}  // namespace quendrolix
