#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/vfw/avi_format.h"
#include "platform/vfw/avi_writer.h"
#include "platform/vfw/codec.h"
#include "platform/vfw/vfw.h"
#include "platform/vfw/wav_file.h"
#include "support/test_support.h"
#include "support/vfw_fixtures.h"

namespace quendrolix {
namespace {
using namespace testing;

template <typename T>
T At(const Bytes& f, uint64_t offset) {
  T v;
  std::memcpy(&v, f.data() + offset, sizeof v);
  return v;
}

std::vector<HDIB> Frames(int w, int h, int bits, int count) {
  std::vector<HDIB> frames;
  for (int t = 0; t < count; ++t) frames.push_back(MakeTestFrame(w, h, bits, t));
  return frames;
}

TEST(AviWriteTest, SmallFileHasTheClassicLayout) {
  TempDir dir;
  const std::string path = dir.File("small.avi");
  ASSERT_EQ(WriteTestAvi(path, Frames(8, 6, 24, 3), OptionsFor(kHandlerFullFrames), 10), AVIERR_OK);
  const Bytes f = ReadBytes(path);
  ASSERT_GT(f.size(), 200u);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
  EXPECT_EQ(At<uint32_t>(f, 4), f.size() - 8);
  EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 12), "AVI ");
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));

  const auto chunks = WalkRiff(f);
  const auto avih = Find(chunks, "RIFF:AVI /LIST:hdrl/avih");
  ASSERT_EQ(avih.size(), 1u);
  ASSERT_EQ(avih[0].size, 56u);
  const auto main = At<MainAVIHeader>(f, avih[0].dataOffset);
  EXPECT_EQ(main.dwMicroSecPerFrame, 100000u);
  EXPECT_EQ(main.dwTotalFrames, 3u);
  EXPECT_EQ(main.dwStreams, 1u);
  EXPECT_EQ(main.dwWidth, 8u);
  EXPECT_EQ(main.dwHeight, 6u);
  EXPECT_TRUE(main.dwFlags & AVIF_HASINDEX);

  const auto strh = Find(chunks, "LIST:strl/strh");
  ASSERT_EQ(strh.size(), 1u);
  const auto sh = At<AVIStreamHeader>(f, strh[0].dataOffset);
  EXPECT_EQ(sh.fccType, streamtypeVIDEO);
  EXPECT_EQ(sh.fccHandler, kHandlerFullFrames);
  EXPECT_EQ(sh.dwScale, 1u);
  EXPECT_EQ(sh.dwRate, 10u);
  EXPECT_EQ(sh.dwLength, 3u);
  EXPECT_EQ(sh.dwSuggestedBufferSize, 144u);
  EXPECT_EQ(sh.rcFrame.right, 8);
  EXPECT_EQ(sh.rcFrame.bottom, 6);
  const auto strf = Find(chunks, "LIST:strl/strf");
  ASSERT_EQ(strf.size(), 1u);
  EXPECT_EQ(strf[0].size, 40u);
  const auto bih = At<BITMAPINFOHEADER>(f, strf[0].dataOffset);
  EXPECT_EQ(bih.biWidth, 8);
  EXPECT_EQ(bih.biHeight, 6);
  EXPECT_EQ(bih.biBitCount, 24);
  EXPECT_EQ(bih.biCompression, BI_RGB);
  // The OpenDML space stays JUNK in a small file.
  EXPECT_TRUE(Find(chunks, "indx").empty());
  EXPECT_EQ(Find(chunks, "LIST:strl/JUNK").size(), 1u);

  const auto movi = Find(chunks, "RIFF:AVI /LIST:movi");
  ASSERT_EQ(movi.size(), 1u);
  const auto frames = Find(chunks, "LIST:movi/00db");
  ASSERT_EQ(frames.size(), 3u);
  for (const auto& c : frames) EXPECT_EQ(c.size, 144u);  // rows of 24 bytes, 6 rows
  const auto idx1 = Find(chunks, "RIFF:AVI /idx1");
  ASSERT_EQ(idx1.size(), 1u);
  ASSERT_EQ(idx1[0].size, 3 * 16u);
  for (int i = 0; i < 3; ++i) {
    const auto e = At<AVIINDEXENTRY>(f, idx1[0].dataOffset + 16 * i);
    EXPECT_EQ(e.ckid, MakeFourCC('0', '0', 'd', 'b'));
    EXPECT_EQ(e.dwFlags, AVIIF_KEYFRAME);
    EXPECT_EQ(e.dwChunkLength, 144u);
    // From the 'movi' code to the chunk header.
    EXPECT_EQ(movi[0].dataOffset + e.dwChunkOffset + 8, frames[i].dataOffset);
  }
}

TEST(AviWriteTest, LosslessCodecsReadBackExactly) {
  struct Case {
    FOURCC handler;
    int bits;
  } cases[] = {{kHandlerFullFrames, 8},
               {kHandlerFullFrames, 16},
               {kHandlerFullFrames, 24},
               {kHandlerFullFrames, 32},
               {kHandlerRle, 8}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(FourCCText(c.handler) + " " + std::to_string(c.bits));
    const auto frames = Frames(37, 21, c.bits, 4);  // odd sizes: padded rows, partial runs
    const std::string path = dir.File("lossless.avi");
    ASSERT_EQ(WriteTestAvi(path, frames, OptionsFor(c.handler)), AVIERR_OK);
    ScopedAviFile file;
    ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ), AVIERR_OK);
    ScopedAviStream stream;
    ASSERT_EQ(AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, 0), AVIERR_OK);
    PGETFRAME getter = AVIStreamGetFrameOpen(stream.get(), nullptr);
    ASSERT_TRUE(getter);
    for (int i = 3; i >= 0; --i) {  // backwards: every fetch stands on its own
      const DibBlock* dib = AVIStreamGetFrame(getter, i);
      ASSERT_TRUE(dib);
      EXPECT_EQ(dib->header().biBitCount, c.bits);
      EXPECT_EQ(DibPixelBytes(*dib), DibPixelBytes(*frames[i])) << "frame " << i;
      if (c.bits == 8) {
        EXPECT_EQ(DibFormat(*dib), DibFormat(*frames[i]));
      }
    }
    EXPECT_EQ(AVIStreamGetFrame(getter, 4), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(getter, -1), nullptr);
    AVIStreamGetFrameClose(getter);
  }
}

TEST(AviWriteTest, LossyCodecsStayCloseAndGiveTheirDepths) {
  struct Case {
    FOURCC handler;
    int bits, outBits, quality;
    double minPsnr;
  } cases[] = {{kHandlerVideo1, 24, 16, 10000, 30},
               {kHandlerVideo1, 16, 16, 7500, 26},
               {kHandlerVideo1, 8, 8, 10000, 24},
               {kHandlerMjpeg, 24, 24, 9000, 18},
               {kHandlerMjpeg, 8, 24, 9000, 18}};  // the fine blue checker suffers from 4:2:0
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(FourCCText(c.handler) + " " + std::to_string(c.bits));
    const auto frames = Frames(64, 48, c.bits, 5);
    const std::string path = dir.File("lossy.avi");
    ASSERT_EQ(WriteTestAvi(path, frames, OptionsFor(c.handler, c.quality, 3)), AVIERR_OK);
    const auto back = ReadFramesBgr(path);
    ASSERT_EQ(back.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
      EXPECT_GT(Psnr(back[i], DibToBgrTopDown(*frames[i])), c.minPsnr) << "frame " << i;
    ScopedAviFile file;
    ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ), AVIERR_OK);
    ScopedAviStream stream;
    ASSERT_EQ(AVIFileGetStream(file.get(), stream.out(), 0, 0), AVIERR_OK);
    PGETFRAME getter = AVIStreamGetFrameOpen(stream.get(), nullptr);
    ASSERT_TRUE(getter);
    EXPECT_EQ(AVIStreamGetFrame(getter, 0)->header().biBitCount, c.outBits);
    AVIStreamGetFrameClose(getter);
    // Asking for 32 bits converts.
    BITMAPINFOHEADER want{};
    want.biBitCount = 32;
    getter = AVIStreamGetFrameOpen(stream.get(), &want);
    ASSERT_TRUE(getter);
    EXPECT_EQ(AVIStreamGetFrame(getter, 2)->header().biBitCount, 32);
    AVIStreamGetFrameClose(getter);
  }
}

TEST(AviWriteTest, Video1DeltaFramesSkipWhatDidNotChange) {
  TempDir dir;
  const std::string path = dir.File("delta.avi");
  // A still picture held for 4 frames, then a change in one corner, then key frame 6.
  std::vector<HDIB> frames;
  for (int i = 0; i < 4; ++i) frames.push_back(MakeTestFrame(64, 48, 16, 0));
  frames.push_back(MakeTestFrame(64, 48, 16, 0));
  DibPixels(*frames.back())[0] ^= 0x1F;  // bottom-left pixel
  frames.push_back(MakeTestFrame(64, 48, 16, 0));
  frames.push_back(MakeTestFrame(64, 48, 16, 1));
  ASSERT_EQ(WriteTestAvi(path, frames, OptionsFor(kHandlerVideo1, 10000, 6)), AVIERR_OK);

  ScopedAviFile file;
  ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ), AVIERR_OK);
  ScopedAviStream stream;
  ASSERT_EQ(AVIFileGetStream(file.get(), stream.out(), streamtypeVIDEO, 0), AVIERR_OK);
  std::vector<LONG> sizes;
  for (LONG i = 0; i < 7; ++i) {
    LONG bytes = 0;
    ASSERT_EQ(AVIStreamRead(stream.get(), i, 1, nullptr, 0, &bytes, nullptr), AVIERR_OK);
    sizes.push_back(bytes);
    EXPECT_EQ(AVIStreamIsKeyFrame(stream.get(), i), i == 0 || i == 6) << i;
  }
  EXPECT_EQ(sizes[1], 2);  // 192 blocks skipped with one code
  EXPECT_EQ(sizes[2], 2);
  EXPECT_GT(sizes[4], 2);            // the changed block is coded
  EXPECT_LT(sizes[4], 2 + 18 + 2);   // ... and nothing else
  EXPECT_GT(sizes[6], 192 * 2 - 1);  // a key frame codes every block

  // Random access decodes from the key frame before; sequential access agrees.
  PGETFRAME random = AVIStreamGetFrameOpen(stream.get(), nullptr);
  PGETFRAME sequential = AVIStreamGetFrameOpen(stream.get(), nullptr);
  const DibBlock* five = AVIStreamGetFrame(random, 5);
  ASSERT_TRUE(five);
  const std::vector<uint8_t> fiveBytes = DibPixelBytes(*five);
  for (LONG i = 0; i <= 5; ++i) ASSERT_TRUE(AVIStreamGetFrame(sequential, i));
  EXPECT_EQ(DibPixelBytes(*AVIStreamGetFrame(sequential, 5)), fiveBytes);
  const DibBlock* four = AVIStreamGetFrame(random, 4);
  EXPECT_EQ(DibPixels(*four)[0] ^ DibPixels(*AVIStreamGetFrame(sequential, 5))[0], 0x1F);
  AVIStreamGetFrameClose(random);
  AVIStreamGetFrameClose(sequential);
}

// An AVI with a PCM stream written in chunks of uneven length.
std::string WriteSoundAvi(const TempDir& dir, std::vector<uint8_t>& pcm) {
  const std::string path = dir.File("sound.avi");
  PAVIFILE file = nullptr;
  EXPECT_EQ(AVIFileOpen(&file, path, OF_WRITE | OF_CREATE), AVIERR_OK);
  const WAVEFORMATEX wf = PcmFormat(22050, 2, 16);
  AVISTREAMINFO info{};
  info.fccType = streamtypeAUDIO;
  info.dwScale = 4;
  info.dwRate = 22050 * 4;
  info.dwSampleSize = 4;
  PAVISTREAM stream = nullptr;
  EXPECT_EQ(AVIFileCreateStream(file, &stream, &info), AVIERR_OK);
  EXPECT_EQ(AVIStreamSetFormat(stream, 0, &wf, sizeof wf), AVIERR_OK);
  pcm.resize(4 * (100 + 37 + 250));
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 31 + 7);
  LONG at = 0;
  for (LONG n : {100, 37, 250}) {
    LONG written = 0;
    EXPECT_EQ(AVIStreamWrite(stream, at, n, pcm.data() + 4 * at, 4 * n, 0, &written, nullptr),
              AVIERR_OK);
    EXPECT_EQ(written, n);
    at += n;
  }
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  return path;
}

TEST(AviStreamReadTest, SoundReadsFollowTheSampleRules) {
  TempDir dir;
  std::vector<uint8_t> pcm;
  const std::string path = WriteSoundAvi(dir, pcm);
  ScopedAviFile file;
  ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ | OF_SHARE_EXCLUSIVE), AVIERR_OK);
  ScopedAviStream audio;
  ASSERT_EQ(AVIFileGetStream(file.get(), audio.out(), streamtypeAUDIO, 0), AVIERR_OK);
  AVISTREAMINFO info{};
  ASSERT_EQ(AVIStreamInfo(audio.get(), &info, sizeof info), AVIERR_OK);
  EXPECT_EQ(info.dwLength, 387u);
  EXPECT_EQ(info.dwSampleSize, 4u);
  EXPECT_EQ(info.dwRate / info.dwScale, 22050u);
  LONG size = 0;
  ASSERT_EQ(AVIStreamReadFormat(audio.get(), 0, nullptr, &size), AVIERR_OK);
  ASSERT_GE(size, 16);

  LONG bytes = -1, samples = -1;
  // A null buffer asks for the size.
  EXPECT_EQ(AVIStreamRead(audio.get(), 90, 30, nullptr, 0, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(bytes, 120);
  EXPECT_EQ(samples, 30);
  // Across the chunk boundaries (100 | 37 | 250).
  std::vector<uint8_t> buf(4 * 200, 0xEE);
  EXPECT_EQ(AVIStreamRead(audio.get(), 90, 200, buf.data(), static_cast<LONG>(buf.size()), &bytes,
                          &samples),
            AVIERR_OK);
  EXPECT_EQ(samples, 200);
  EXPECT_EQ(bytes, 800);
  EXPECT_EQ(0, std::memcmp(buf.data(), pcm.data() + 4 * 90, 800));
  // Whole samples only: a buffer of 10 bytes takes 2 samples; of 3 bytes none.
  EXPECT_EQ(AVIStreamRead(audio.get(), 0, 50, buf.data(), 10, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(samples, 2);
  EXPECT_EQ(bytes, 8);
  EXPECT_EQ(AVIStreamRead(audio.get(), 0, 50, buf.data(), 3, &bytes, &samples),
            AVIERR_BUFFERTOOSMALL);
  EXPECT_EQ(samples, 0);
  // The end of the stream gives what there is, then nothing.
  EXPECT_EQ(AVIStreamRead(audio.get(), 380, 50, buf.data(), 800, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(samples, 7);
  EXPECT_EQ(0, std::memcmp(buf.data(), pcm.data() + 4 * 380, 28));
  EXPECT_EQ(AVIStreamRead(audio.get(), 387, 50, buf.data(), 800, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(samples, 0);
  EXPECT_EQ(bytes, 0);
  // A convenient read fills the buffer.
  EXPECT_EQ(
      AVIStreamRead(audio.get(), 0, AVISTREAMREAD_CONVENIENT, buf.data(), 400, &bytes, &samples),
      AVIERR_OK);
  EXPECT_EQ(samples, 100);
  EXPECT_EQ(AVIStreamRead(audio.get(), -1, 5, buf.data(), 400, &bytes, &samples), AVIERR_BADPARAM);
  EXPECT_EQ(AVIStreamRead(nullptr, 0, 5, buf.data(), 400, &bytes, &samples), AVIERR_BADHANDLE);
}

TEST(AviStreamReadTest, VideoSamplesAreWholeFrames) {
  TempDir dir;
  const std::string path = dir.File("v.avi");
  ASSERT_EQ(WriteTestAvi(path, Frames(10, 10, 24, 2), OptionsFor(kHandlerFullFrames)), AVIERR_OK);
  ScopedAviFile file;
  ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ), AVIERR_OK);
  ScopedAviStream video;
  ASSERT_EQ(AVIFileGetStream(file.get(), video.out(), streamtypeVIDEO, 0), AVIERR_OK);
  LONG bytes = 0, samples = 0;
  EXPECT_EQ(AVIStreamRead(video.get(), 0, 2, nullptr, 0, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(bytes, 2 * 320);
  std::vector<uint8_t> buf(500);
  EXPECT_EQ(AVIStreamRead(video.get(), 0, 2, buf.data(), 500, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(samples, 1);  // the second frame does not fit
  EXPECT_EQ(AVIStreamRead(video.get(), 0, 1, buf.data(), 100, &bytes, &samples),
            AVIERR_BUFFERTOOSMALL);
  PAVISTREAM none = nullptr;
  EXPECT_EQ(AVIFileGetStream(file.get(), &none, streamtypeAUDIO, 0), AVIERR_NODATA);
  EXPECT_EQ(AVIFileGetStream(file.get(), &none, streamtypeVIDEO, 1), AVIERR_NODATA);
}

// A hand-made AVI: 2 frames of 2x2 at 8 bits, a 3-byte sound chunk (odd, padded), JUNK
// between chunks, chunks grouped in 'rec ' lists, and an index that may be left out.
Bytes HandMadeAvi(bool withIndex, bool brokenIndex) {
  MainAVIHeader avih{};
  avih.dwMicroSecPerFrame = 40000;
  avih.dwStreams = 2;
  avih.dwWidth = 2;
  avih.dwHeight = 2;
  AVIStreamHeader vh{};
  vh.fccType = streamtypeVIDEO;
  vh.dwScale = 1;
  vh.dwRate = 25;
  vh.dwLength = 2;
  BITMAPINFOHEADER bih{};
  bih.biSize = 40;
  bih.biWidth = 2;
  bih.biHeight = 2;
  bih.biPlanes = 1;
  bih.biBitCount = 8;
  bih.biClrUsed = 2;
  Bytes vfmt = Concat({AsBytes(bih), {0, 0, 0, 0}, {255, 255, 255, 0}});
  AVIStreamHeader ah{};
  ah.fccType = streamtypeAUDIO;
  ah.dwScale = 1;
  ah.dwRate = 8000;
  ah.dwSampleSize = 1;
  const WAVEFORMATEX wf = PcmFormat(8000, 1, 8);
  const Bytes frame0 = {1, 0, 0, 0, 0, 1, 0, 0};  // rows of 2 pixels padded to 4
  const Bytes frame1 = {0, 1, 0, 0, 1, 0, 0, 0};
  const Bytes sound = {10, 20, 30};
  Bytes hdrl =
      List("LIST", "hdrl",
           {Chunk("avih", AsBytes(avih)),
            List("LIST", "strl", {Chunk("strh", AsBytes(vh)), Chunk("strf", vfmt)}),
            List("LIST", "strl", {Chunk("strh", AsBytes(ah)), Chunk("strf", AsBytes(wf))})});
  Bytes movi = List("LIST", "movi",
                    {Chunk("JUNK", Bytes(5, 0)),
                     List("LIST", "rec ", {Chunk("00db", frame0), Chunk("01wb", sound)}),
                     List("LIST", "rec ", {Chunk("00db", frame1)})});
  Bytes head = Concat({Bytes{'A', 'V', 'I', ' '}, hdrl});
  const size_t moviAt = 12 + hdrl.size();  // 'LIST' of movi in the file
  Bytes body = Concat({head, movi});
  if (withIndex) {
    // Offsets from the 'movi' code: JUNK (8+5+1 pad) then LIST rec.
    const uint32_t base = 4;  // after 'movi'
    const uint32_t rec1 = base + 14, f0 = rec1 + 12, s0 = f0 + 16, rec2 = s0 + 12, f1 = rec2 + 12;
    auto entry = [&](const char* id, uint32_t flags, uint32_t off, uint32_t len) {
      AVIINDEXENTRY e{MakeFourCC(id[0], id[1], id[2], id[3]), flags, off, len};
      if (brokenIndex) e.dwChunkOffset += 1000;
      return AsBytes(e);
    };
    body = Concat({body, Chunk("idx1", Concat({entry("rec ", AVIIF_LIST, rec1, 32),
                                               entry("00db", AVIIF_KEYFRAME, f0, 8),
                                               entry("01wb", AVIIF_KEYFRAME, s0, 3),
                                               entry("00db", AVIIF_KEYFRAME, f1, 8)}))});
  }
  (void)moviAt;
  return Chunk("RIFF", body);
}

TEST(AviReadTest, ToleratesJunkOddChunksRecListsAndMissingOrBrokenIndexes) {
  TempDir dir;
  for (int variant = 0; variant < 3; ++variant) {
    SCOPED_TRACE(variant);
    const std::string path = dir.File("hand.avi");
    WriteBytes(path, HandMadeAvi(variant != 1, variant == 2));
    ScopedAviFile file;
    ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ), AVIERR_OK);
    AVIFILEINFO fi{};
    ASSERT_EQ(AVIFileInfo(file.get(), &fi, sizeof fi), AVIERR_OK);
    EXPECT_EQ(fi.dwStreams, 2u);
    EXPECT_EQ(fi.dwLength, 2u);
    EXPECT_EQ(fi.dwRate, 25u);
    EXPECT_EQ(fi.dwScale, 1u);
    EXPECT_EQ(fi.dwWidth, 2u);
    ScopedAviStream video, audio;
    ASSERT_EQ(AVIFileGetStream(file.get(), video.out(), streamtypeVIDEO, 0), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(file.get(), audio.out(), streamtypeAUDIO, 0), AVIERR_OK);
    EXPECT_EQ(AVIStreamLength(video.get()), 2);
    EXPECT_EQ(AVIStreamLength(audio.get()), 3);
    uint8_t s[8] = {};
    LONG bytes = 0, samples = 0;
    ASSERT_EQ(AVIStreamRead(audio.get(), 0, 8, s, 8, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 3);
    EXPECT_EQ(s[0], 10);
    EXPECT_EQ(s[2], 30);
    PGETFRAME getter = AVIStreamGetFrameOpen(video.get(), nullptr);
    ASSERT_TRUE(getter);
    const DibBlock* f1 = AVIStreamGetFrame(getter, 1);
    ASSERT_TRUE(f1);
    EXPECT_EQ(f1->header().biBitCount, 8);
    EXPECT_EQ(DibColourCount(*f1), 2u);
    EXPECT_EQ(DibPixels(*f1)[1], 1);
    EXPECT_EQ(DibPixels(*f1)[4], 1);
    AVIStreamGetFrameClose(getter);
  }
}

TEST(AviReadTest, CutFilesKeepTheirWholeFramesAndNonsenseIsRefused) {
  TempDir dir;
  const std::string path = dir.File("cut.avi");
  ASSERT_EQ(WriteTestAvi(path, Frames(16, 16, 24, 5), OptionsFor(kHandlerFullFrames)), AVIERR_OK);
  Bytes f = ReadBytes(path);
  // Cut in the middle of the fourth frame: the index is gone with the tail.
  const auto frames = Find(WalkRiff(f), "00db");
  ASSERT_EQ(frames.size(), 5u);
  f.resize(frames[3].dataOffset + 100);
  WriteBytes(path, f);
  EXPECT_EQ(ReadFramesBgr(path).size(), 3u);

  WriteText(dir.File("text.avi"), "this is not a movie at all");
  PAVIFILE file = nullptr;
  EXPECT_EQ(AVIFileOpen(&file, dir.File("text.avi"), OF_READ), AVIERR_BADFORMAT);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(AVIFileOpen(&file, dir.File("missing.avi"), OF_READ), AVIERR_FILEOPEN);
  // A RIFF AVI without stream headers.
  WriteBytes(dir.File("empty.avi"),
             Chunk("RIFF", Concat({{'A', 'V', 'I', ' '}, List("LIST", "hdrl", {})})));
  EXPECT_EQ(AVIFileOpen(&file, dir.File("empty.avi"), OF_READ), AVIERR_BADFORMAT);
}

TEST(AviWriteTest, GrowingFilesContinueAsOpenDml) {
  TempDir dir;
  const std::string path = dir.File("odml.avi");
  AviWriter::SetRiffLimitForTesting(64 * 1024);
  const auto frames = Frames(32, 32, 24, 40);  // 3 KiB a frame: several RIFFs
  const HRESULT hr = WriteTestAvi(path, frames, OptionsFor(kHandlerFullFrames), 25);
  AviWriter::SetRiffLimitForTesting(0);
  ASSERT_EQ(hr, AVIERR_OK);

  const Bytes f = ReadBytes(path);
  const auto chunks = WalkRiff(f);
  const auto avix = Find(chunks, "RIFF:AVIX");
  ASSERT_GE(avix.size(), 1u);
  const size_t riffs = avix.size() + 1;
  for (const auto& r : Find(chunks, "RIFF:AVI ")) EXPECT_LE(r.size, 64u * 1024);
  // The super index names one standard index per RIFF.
  const auto indx = Find(chunks, "LIST:strl/indx");
  ASSERT_EQ(indx.size(), 1u);
  const auto sh = At<AVISUPERINDEXHEADER>(f, indx[0].dataOffset);
  EXPECT_EQ(sh.wLongsPerEntry, 4);
  EXPECT_EQ(sh.bIndexType, AVI_INDEX_OF_INDEXES);
  EXPECT_EQ(sh.nEntriesInUse, riffs);
  EXPECT_EQ(sh.dwChunkId, MakeFourCC('0', '0', 'd', 'b'));
  uint32_t covered = 0;
  for (uint32_t i = 0; i < sh.nEntriesInUse; ++i) {
    const auto e = At<AVISUPERINDEXENTRY>(f, indx[0].dataOffset + 24 + 16 * i);
    EXPECT_EQ(std::string(f.begin() + e.qwOffset, f.begin() + e.qwOffset + 4), "ix00");
    const auto ix = At<AVISTDINDEXHEADER>(f, e.qwOffset + 8);
    EXPECT_EQ(ix.bIndexType, AVI_INDEX_OF_CHUNKS);
    EXPECT_EQ(ix.nEntriesInUse, e.dwDuration);
    EXPECT_EQ(e.dwSize, 8 + 24 + 8 * ix.nEntriesInUse);
    // Each entry points at the data of a '00db' chunk of 3072 bytes.
    const auto first = At<AVISTDINDEXENTRY>(f, e.qwOffset + 8 + 24);
    const uint64_t data = ix.qwBaseOffset + first.dwOffset;
    EXPECT_EQ(std::string(f.begin() + data - 8, f.begin() + data - 4), "00db");
    EXPECT_EQ(first.dwSize, 3072u);
    covered += e.dwDuration;
  }
  EXPECT_EQ(covered, 40u);
  // The legacy index covers the first RIFF only; the header counts all frames.
  const auto idx1 = Find(chunks, "RIFF:AVI /idx1");
  ASSERT_EQ(idx1.size(), 1u);
  EXPECT_LT(idx1[0].size / 16, 40u);
  const auto dmlh = Find(chunks, "LIST:odml/dmlh");
  ASSERT_EQ(dmlh.size(), 1u);
  EXPECT_EQ(At<uint32_t>(f, dmlh[0].dataOffset), 40u);
  const auto main = At<MainAVIHeader>(f, Find(chunks, "avih")[0].dataOffset);
  EXPECT_EQ(main.dwTotalFrames, idx1[0].size / 16);

  const auto back = ReadFramesBgr(path);
  ASSERT_EQ(back.size(), 40u);
  EXPECT_EQ(back[39], DibToBgrTopDown(*frames[39]));
  ScopedAviFile file;
  ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ), AVIERR_OK);
  AVIFILEINFO fi{};
  AVIFileInfo(file.get(), &fi, sizeof fi);
  EXPECT_EQ(fi.dwLength, 40u);
}

TEST(AviWriteTest, AFailedWriteLeavesTheOldFile) {
  TempDir dir;
  const std::string path = dir.File("keep.avi");
  WriteText(path, "a good old file");
  // RLE takes 8-bit frames only: setting a 24-bit format fails and spoils the write.
  EXPECT_EQ(WriteTestAvi(path, Frames(8, 8, 24, 2), OptionsFor(kHandlerRle)), AVIERR_BADFORMAT);
  EXPECT_EQ(ReadText(path), "a good old file");
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  // A file closed without any stream writes nothing either.
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpen(&file, path, OF_WRITE | OF_CREATE), AVIERR_OK);
  AVIFileRelease(file);
  EXPECT_EQ(ReadText(path), "a good old file");
  EXPECT_EQ(AVIFileOpen(&file, dir.File("no/such/folder.avi"), OF_WRITE | OF_CREATE),
            AVIERR_FILEOPEN);
  EXPECT_EQ(AVIFileOpen(&file, path, OF_WRITE), AVIERR_UNSUPPORTED);
  AVICOMPRESSOPTIONS unknown = OptionsFor(MakeFourCC('x', 'y', 'z', 'w'));
  EXPECT_EQ(WriteTestAvi(path, Frames(8, 8, 24, 1), unknown), AVIERR_NOCOMPRESSOR);
  EXPECT_EQ(ReadText(path), "a good old file");
}

TEST(AviWriteTest, SkippedFramesAreStoredEmptyAndShowTheFrameBefore) {
  TempDir dir;
  const auto frames = Frames(8, 8, 24, 2);
  const auto p0 = DibPixelBytes(*frames[0]), p1 = DibPixelBytes(*frames[1]);
  for (const bool writeBehind : {false, true}) {
    const std::string path = dir.File(writeBehind ? "spoilt.avi" : "gap.avi");
    {
      ScopedAviFile file;
      ASSERT_EQ(AVIFileOpen(file.out(), path, OF_WRITE | OF_CREATE), AVIERR_OK);
      AVISTREAMINFO info{};
      info.fccType = streamtypeVIDEO;
      info.dwScale = 1;
      info.dwRate = 5;
      ScopedAviStream s;
      ASSERT_EQ(AVIFileCreateStream(file.get(), s.out(), &info), AVIERR_OK);
      const auto fmt = DibFormat(*frames[0]);
      ASSERT_EQ(AVIStreamSetFormat(s.get(), 0, fmt.data(), static_cast<LONG>(fmt.size())),
                AVIERR_OK);
      ASSERT_EQ(AVIStreamWrite(s.get(), 0, 1, p0.data(), static_cast<LONG>(p0.size()),
                               AVIIF_KEYFRAME, nullptr, nullptr),
                AVIERR_OK);
      ASSERT_EQ(AVIStreamWrite(s.get(), 3, 1, p1.data(), static_cast<LONG>(p1.size()),
                               AVIIF_KEYFRAME, nullptr, nullptr),
                AVIERR_OK);
      EXPECT_EQ(AVIStreamLength(s.get()), 4);
      if (writeBehind) {
        EXPECT_EQ(AVIStreamWrite(s.get(), 1, 1, p1.data(), static_cast<LONG>(p1.size()), 0, nullptr,
                                 nullptr),
                  AVIERR_BADPARAM);
      }
    }
    if (writeBehind) {
      EXPECT_FALSE(std::filesystem::exists(path));  // a refused write spoils the file
      continue;
    }
    const auto back = ReadFramesBgr(path);
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[1], DibToBgrTopDown(*frames[0]));
    EXPECT_EQ(back[2], DibToBgrTopDown(*frames[0]));
    EXPECT_EQ(back[3], DibToBgrTopDown(*frames[1]));
  }
}

TEST(WavAsAviTest, AWaveFileIsAFileWithOneSoundStream) {
  TempDir dir;
  const std::string path = dir.File("tone.wav");
  std::vector<uint8_t> fmt(40, 0);
  WAVEFORMATEX wf = PcmFormat(11025, 1, 16);
  wf.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  wf.cbSize = 22;
  std::memcpy(fmt.data(), &wf, 18);
  const uint8_t guid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  std::memcpy(fmt.data() + 24, guid, 16);
  std::vector<uint8_t> pcm(2 * 1000);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i);
  WavWriter writer;
  ASSERT_TRUE(writer.Open(path, fmt));
  ASSERT_TRUE(writer.Write(pcm.data(), pcm.size()));
  ASSERT_TRUE(writer.Close());

  ScopedAviFile file;
  ASSERT_EQ(AVIFileOpen(file.out(), path, OF_READ | OF_SHARE_EXCLUSIVE), AVIERR_OK);
  AVIFILEINFO fi{};
  ASSERT_EQ(AVIFileInfo(file.get(), &fi, sizeof fi), AVIERR_OK);
  EXPECT_EQ(fi.dwStreams, 1u);
  PAVISTREAM none = nullptr;
  EXPECT_EQ(AVIFileGetStream(file.get(), &none, streamtypeVIDEO, 0), AVIERR_NODATA);
  ScopedAviStream audio;
  ASSERT_EQ(AVIFileGetStream(file.get(), audio.out(), streamtypeAUDIO, 0), AVIERR_OK);
  AVISTREAMINFO info{};
  ASSERT_EQ(AVIStreamInfo(audio.get(), &info, sizeof info), AVIERR_OK);
  EXPECT_EQ(info.dwLength, 1000u);
  EXPECT_EQ(info.dwRate / info.dwScale, 11025u);
  LONG size = 0;
  ASSERT_EQ(AVIStreamReadFormat(audio.get(), 0, nullptr, &size), AVIERR_OK);
  std::vector<uint8_t> format(size);
  ASSERT_EQ(AVIStreamReadFormat(audio.get(), 0, format.data(), &size), AVIERR_OK);
  WAVEFORMATEX got{};
  std::memcpy(&got, format.data(), std::min<size_t>(format.size(), sizeof got));
  EXPECT_EQ(got.wFormatTag, WAVE_FORMAT_PCM);  // extensible PCM counts as PCM
  EXPECT_EQ(got.wBitsPerSample, 16);
  LONG small = 4;
  EXPECT_EQ(AVIStreamReadFormat(audio.get(), 0, format.data(), &small), AVIERR_BUFFERTOOSMALL);
  std::vector<uint8_t> buf(4608);
  LONG bytes = 0, samples = 0;
  ASSERT_EQ(AVIStreamRead(audio.get(), 900, 2304, buf.data(), 4608, &bytes, &samples), AVIERR_OK);
  EXPECT_EQ(samples, 100);
  EXPECT_EQ(bytes, 200);
  EXPECT_EQ(0, std::memcmp(buf.data(), pcm.data() + 1800, 200));
}

TEST(AviSaveTest, MergesStreamsInterleavedAndWritesWaveTargets) {
  TempDir dir;
  const std::string video = dir.File("video.avi");
  const auto frames = Frames(16, 16, 8, 6);
  ASSERT_EQ(WriteTestAvi(video, frames, OptionsFor(kHandlerRle), 5), AVIERR_OK);
  const std::string wav = dir.File("sound.wav");
  std::vector<uint8_t> pcm(8000 * 2);  // one second of 8 kHz 16-bit mono
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 13);
  WavWriter writer;
  ASSERT_TRUE(writer.Open(wav, PcmFormat(8000, 1, 16)));
  ASSERT_TRUE(writer.Write(pcm.data(), pcm.size()));
  ASSERT_TRUE(writer.Close());

  ScopedAviFile vf, sf;
  ASSERT_EQ(AVIFileOpen(vf.out(), video, OF_READ), AVIERR_OK);
  ASSERT_EQ(AVIFileOpen(sf.out(), wav, OF_READ), AVIERR_OK);
  ScopedAviStream vs, ss;
  ASSERT_EQ(AVIFileGetStream(vf.get(), vs.out(), 0, 0), AVIERR_OK);
  ASSERT_EQ(AVIFileGetStream(sf.get(), ss.out(), 0, 0), AVIERR_OK);
  vf.reset();  // the streams keep their files open
  sf.reset();
  AVICOMPRESSOPTIONS vo;
  vo.fccType = streamtypeVIDEO;
  vo.dwKeyFrameEvery = 0xFFFFFFFF;
  vo.dwQuality = 0xFFFFFFFF;
  vo.dwFlags = 14;
  vo.dwInterleaveEvery = 1;
  AVICOMPRESSOPTIONS ao;
  ao.fccType = streamtypeAUDIO;
  ao.dwFlags = AVICOMPRESSF_VALID;
  ao.dwInterleaveEvery = 1;
  LONG fsize = 0;
  AVIStreamReadFormat(ss.get(), 0, nullptr, &fsize);
  ao.format.resize(fsize);
  AVIStreamReadFormat(ss.get(), 0, ao.format.data(), &fsize);
  const PAVISTREAM streams[2] = {vs.get(), ss.get()};
  const AVICOMPRESSOPTIONS* options[2] = {&vo, &ao};
  std::vector<int> percents;
  const std::string merged = dir.File("merged.avi");
  ASSERT_EQ(AVISaveV(
                merged, nullptr,
                [&](int p) {
                  percents.push_back(p);
                  return false;
                },
                2, streams, options),
            AVIERR_OK);
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);

  const Bytes f = ReadBytes(merged);
  const auto chunks = WalkRiff(f);
  std::string order;
  for (const auto& c : Find(chunks, "idx1")) {
    for (uint32_t i = 0; i < c.size / 16; ++i) {
      const auto e = At<AVIINDEXENTRY>(f, c.dataOffset + 16 * i);
      order += e.ckid == MakeFourCC('0', '0', 'd', 'c') ? 'v' : 'a';
    }
  }
  // One chunk of sound (0.2 s) after each frame; the sound ends before the last frame.
  EXPECT_EQ(order, "vavavavavav");
  EXPECT_EQ(ReadFramesBgr(merged).size(), 6u);
  {
    ScopedAviFile m;
    ASSERT_EQ(AVIFileOpen(m.out(), merged, OF_READ), AVIERR_OK);
    ScopedAviStream a;
    ASSERT_EQ(AVIFileGetStream(m.get(), a.out(), streamtypeAUDIO, 0), AVIERR_OK);
    std::vector<uint8_t> back(pcm.size());
    LONG bytes = 0, samples = 0;
    ASSERT_EQ(AVIStreamRead(a.get(), 0, 8000, back.data(), static_cast<LONG>(back.size()), &bytes,
                            &samples),
              AVIERR_OK);
    EXPECT_EQ(samples, 8000);
    EXPECT_EQ(back, pcm);
  }

  // The sound alone into a WAV file.
  const std::string out = dir.File("out.wav");
  const PAVISTREAM one[1] = {ss.get()};
  const AVICOMPRESSOPTIONS* oneOpt[1] = {&ao};
  ASSERT_EQ(AVISaveV(out, nullptr, nullptr, 1, one, oneOpt), AVIERR_OK);
  auto back = WavFile::Open(out);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->lengthInBlocks(), 8000u);
  EXPECT_TRUE(back->IsPcm());

  // A sound format that would need converting is refused and the target stays as it was.
  WriteText(merged, "old");
  AVICOMPRESSOPTIONS other = ao;
  other.format[4] ^= 1;  // another sample rate
  const AVICOMPRESSOPTIONS* bad[2] = {&vo, &other};
  EXPECT_EQ(AVISaveV(merged, nullptr, nullptr, 2, streams, bad), AVIERR_UNSUPPORTED);
  EXPECT_EQ(ReadText(merged), "old");
  // An abort from the callback leaves it too.
  EXPECT_EQ(AVISaveV(
                merged, nullptr, [](int) { return true; }, 2, streams, options),
            AVIERR_USERABORT);
  EXPECT_EQ(ReadText(merged), "old");
}

TEST(AviSaveTest, RecompressesVideoWithAnotherHandler) {
  TempDir dir;
  const std::string source = dir.File("source.avi");
  const auto frames = Frames(32, 16, 24, 4);
  ASSERT_EQ(WriteTestAvi(source, frames, OptionsFor(kHandlerFullFrames)), AVIERR_OK);
  ScopedAviFile file;
  ASSERT_EQ(AVIFileOpen(file.out(), source, OF_READ), AVIERR_OK);
  ScopedAviStream s;
  ASSERT_EQ(AVIFileGetStream(file.get(), s.out(), streamtypeVIDEO, 0), AVIERR_OK);
  const AVICOMPRESSOPTIONS opt = OptionsFor(kHandlerMjpeg, 9500, 0);
  const PAVISTREAM streams[1] = {s.get()};
  const AVICOMPRESSOPTIONS* options[1] = {&opt};
  const std::string out = dir.File("mjpeg.avi");
  ASSERT_EQ(AVISaveV(out, nullptr, nullptr, 1, streams, options), AVIERR_OK);
  ScopedAviFile o;
  ASSERT_EQ(AVIFileOpen(o.out(), out, OF_READ), AVIERR_OK);
  ScopedAviStream os;
  ASSERT_EQ(AVIFileGetStream(o.get(), os.out(), streamtypeVIDEO, 0), AVIERR_OK);
  AVISTREAMINFO info{};
  AVIStreamInfo(os.get(), &info, sizeof info);
  EXPECT_EQ(info.fccHandler, kHandlerMjpeg);
  const auto back = ReadFramesBgr(out);
  ASSERT_EQ(back.size(), 4u);
  EXPECT_GT(Psnr(back[3], DibToBgrTopDown(*frames[3])), 20);
}

TEST(AviVersionTest, IsAboveTheLeastTheBuilderAccepts) {
  EXPECT_GT(VideoForWindowsVersion(), 0x0109FFFFu);
}

}  // namespace
}  // namespace quendrolix
