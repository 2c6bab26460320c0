#include "platform/vfw/wav_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::TempDir;

std::vector<uint8_t> Samples(size_t count) {
  std::vector<uint8_t> bytes(count * 4);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  return bytes;
}

TEST(WavFileTest, WrittenFileReadsBackBlockForBlock) {
  TempDir dir;
  std::string path = dir.File("a.wav");
  std::vector<uint8_t> data = Samples(1000);
  WavWriter writer;
  ASSERT_TRUE(writer.Open(path, PcmFormat(44100, 2, 16)));
  ASSERT_TRUE(writer.Write(data.data(), 1000));
  ASSERT_TRUE(writer.Write(data.data() + 1000, data.size() - 1000));
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(std::filesystem::file_size(path), 44 + data.size());

  auto wav = WavFile::Open(path);
  ASSERT_TRUE(wav);
  EXPECT_TRUE(wav->IsPcm());
  EXPECT_EQ(wav->format().nSamplesPerSec, 44100u);
  EXPECT_EQ(wav->format().nBlockAlign, 4);
  EXPECT_EQ(wav->lengthInBlocks(), 1000u);
  std::vector<uint8_t> back(400 * 4);
  EXPECT_EQ(wav->Read(600, 1000, back.data(), back.size()), 400);
  EXPECT_EQ(std::memcmp(back.data(), data.data() + 600 * 4, back.size()), 0);
  EXPECT_EQ(wav->Read(1000, 10, back.data(), back.size()), 0);
}

TEST(WavFileTest, TruncatedDataChunkIsCutToTheBytesPresent) {
  TempDir dir;
  std::string path = dir.File("cut.wav");
  WavWriter writer;
  ASSERT_TRUE(writer.Open(path, PcmFormat(22050, 1, 16)));
  std::vector<uint8_t> data = Samples(100);
  ASSERT_TRUE(writer.Write(data.data(), data.size()));
  ASSERT_TRUE(writer.Close());
  std::filesystem::resize_file(path, 44 + 101);  // half a block left over
  auto wav = WavFile::Open(path);
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->dataBytes(), 101u);
  EXPECT_EQ(wav->lengthInBlocks(), 50u);
}

TEST(WavFileTest, RefusesWhatIsNotAWave) {
  TempDir dir;
  std::string error;
  testing::WriteText(dir.File("x.wav"), "RIFF\x04\0\0\0AVI ");
  EXPECT_FALSE(WavFile::Open(dir.File("x.wav"), &error));
  EXPECT_EQ(error, "not a RIFF WAVE file");
  EXPECT_FALSE(WavFile::Open(dir.File("missing.wav"), &error));
  // A format chunk that claims more bytes than the file has.
  std::vector<uint8_t> bad = {'R', 'I', 'F', 'F', 0,   0,    0, 0, 'W', 'A', 'V',
                              'E', 'f', 'm', 't', ' ', 0xFF, 0, 0, 0,   1,   0};
  testing::WriteBytes(dir.File("bad.wav"), bad);
  EXPECT_FALSE(WavFile::Open(dir.File("bad.wav"), &error));
}

TEST(WavFileTest, ExtensibleHoldingPcmCountsAsPcm) {
  TempDir dir;
  std::vector<uint8_t> fmt(40, 0);
  WAVEFORMATEX f = PcmFormat(48000, 2, 16);
  f.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  f.cbSize = 22;
  std::memcpy(fmt.data(), &f, 18);
  const uint8_t guid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  std::memcpy(fmt.data() + 24, guid, 16);
  WavWriter writer;
  ASSERT_TRUE(writer.Open(dir.File("ext.wav"), fmt));
  ASSERT_TRUE(writer.Close());
  auto wav = WavFile::Open(dir.File("ext.wav"));
  ASSERT_TRUE(wav);
  EXPECT_TRUE(wav->IsPcm());
  fmt[24] = 3;  // IEEE float sub-format
  WavWriter other;
  ASSERT_TRUE(other.Open(dir.File("float.wav"), fmt));
  ASSERT_TRUE(other.Close());
  EXPECT_FALSE(WavFile::Open(dir.File("float.wav"))->IsPcm());
}

TEST(WavFileTest, AbandonedWriterLeavesTheOldFileInPlace) {
  TempDir dir;
  std::string path = dir.File("keep.wav");
  testing::WriteText(path, "old contents");
  {
    WavWriter writer;
    ASSERT_TRUE(writer.Open(path, PcmFormat(8000, 1, 8)));
    writer.Write("abc", 3);
  }
  EXPECT_EQ(testing::ReadText(path), "old contents");
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

}  // namespace
}  // namespace quendrolix
