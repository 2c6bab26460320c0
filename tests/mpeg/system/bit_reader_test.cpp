#include "mpeg/system/bit_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "platform/host/conversion_log.h"

namespace quendrolix {
namespace {

// A memory stream the readers take as a file.
class MemoryFile {
 public:
  explicit MemoryFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    file_ = fmemopen(bytes_.empty() ? nullptr : bytes_.data(), bytes_.size(), "rb");
  }
  explicit MemoryFile(const std::string& text)
      : MemoryFile(std::vector<uint8_t>(text.begin(), text.end())) {}
  ~MemoryFile() {
    if (file_) std::fclose(file_);
  }
  std::FILE* get() const { return file_; }

 private:
  std::vector<uint8_t> bytes_;
  std::FILE* file_ = nullptr;
};

std::vector<size_t> StartCodesByReader(const std::vector<uint8_t>& bytes) {
  MemoryFile file(bytes);
  StreamSource source(file.get());
  BitReader reader(source);
  std::vector<size_t> found;
  while (reader.NextStartCode()) found.push_back(reader.bytePosition() - 3);
  return found;
}

std::vector<size_t> StartCodesNaive(const std::vector<uint8_t>& bytes) {
  // Like the reader, a prefix is only looked for after the end of the last one.
  std::vector<size_t> found;
  for (size_t i = 0; i + 3 <= bytes.size();) {
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) {
      found.push_back(i);
      i += 3;
    } else {
      ++i;
    }
  }
  return found;
}

TEST(BitReaderTest, ReadsMostSignificantBitFirstAcrossBytes) {
  MemoryFile file(std::vector<uint8_t>{0xB3, 0x0F, 0xF0, 0x12, 0x34, 0x56, 0x78, 0x9A});
  StreamSource source(file.get());
  BitReader reader(source);
  EXPECT_EQ(reader.Read(4), 0xBu);
  EXPECT_EQ(reader.Read(12), 0x30Fu);
  EXPECT_EQ(reader.Read(1), 1u);
  EXPECT_EQ(reader.Read(32), 0xE02468ACu);  // the last 7 bits of F0, 12 34 56, one bit of 78
  EXPECT_EQ(reader.bitsConsumed(), 49u);
  EXPECT_FALSE(reader.endOfStream());
  EXPECT_EQ(reader.Read(15), 0x789Au);
  EXPECT_FALSE(reader.endOfStream());
  EXPECT_EQ(reader.Read(8), 0u);  // past the end: zeros, flagged, not counted
  EXPECT_TRUE(reader.endOfStream());
  EXPECT_EQ(reader.bitsConsumed(), 64u);
}

TEST(BitReaderTest, MoreThan32BitsIsRefusedWithTheLogLine) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  MemoryFile file(std::vector<uint8_t>(8, 0xFF));
  StreamSource source(file.get());
  BitReader reader(source);
  EXPECT_EQ(reader.Read(33), 0u);
  EXPECT_EQ(reader.bitsConsumed(), 0u);
  EXPECT_TRUE(log.HasLine("Error: max read/write buffer is 32 bits"));
}

TEST(BitReaderTest, HexTextReadsAsTheBytesItSpells) {
  const std::string text = "000001B3\r\n0B0090\n13FFFF\x1A";
  MemoryFile file(text);
  StreamSource source(file.get());
  EXPECT_TRUE(source.hexText());
  BitReader reader(source);
  EXPECT_EQ(reader.Read(32), 0x000001B3u);
  EXPECT_EQ(reader.Read(24), 0x0B0090u);
  EXPECT_EQ(reader.Read(24), 0x13FFFFu);
  reader.Read(1);
  EXPECT_TRUE(reader.endOfStream());

  // A lower-case digit, or any other byte, makes the whole file binary.
  MemoryFile lower(std::string("000001b3"));
  StreamSource binary(lower.get());
  EXPECT_FALSE(binary.hexText());
  BitReader raw(binary);
  EXPECT_EQ(raw.Read(32), 0x30303030u);
}

TEST(BitReaderTest, StartCodeSearchFindsEveryPrefixAcrossBufferEdges) {
  // Prefixes straddling the 4096-byte refills, back to back, and overlapping zeros.
  std::vector<uint8_t> bytes(3 * 4096 + 100, 0x55);
  for (size_t at : {0ul, 10ul, 4093ul, 4094ul, 4095ul + 4096, 8190ul, 8191ul + 3, 12287ul}) {
    bytes[at] = 0;
    bytes[at + 1] = 0;
    bytes[at + 2] = 1;
  }
  bytes[200] = bytes[201] = bytes[202] = 0;  // 00 00 00 01: the prefix starts one later
  bytes[203] = 1;
  EXPECT_EQ(StartCodesByReader(bytes), StartCodesNaive(bytes));

  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> noise(random() % 20000);
    // Mostly zeros and ones so prefixes and near misses are common.
    for (auto& b : noise) b = static_cast<uint8_t>(random() % 4 == 0 ? random() : random() % 2);
    ASSERT_EQ(StartCodesByReader(noise), StartCodesNaive(noise)) << "round " << round;
  }
}

TEST(BitReaderTest, StartCodeSearchAlignsFirstAndSkipBytesStopsAtTheEnd) {
  MemoryFile file(std::vector<uint8_t>{0xFF, 0x00, 0x00, 0x01, 0xB8, 0x55, 0x55});
  StreamSource source(file.get());
  BitReader reader(source);
  reader.Read(3);
  ASSERT_TRUE(reader.NextStartCode());
  EXPECT_EQ(reader.bytePosition(), 4u);
  EXPECT_EQ(reader.Read(8), 0xB8u);
  EXPECT_EQ(reader.SkipBytes(10), 2u);
  EXPECT_TRUE(reader.endOfStream());
  EXPECT_FALSE(reader.NextStartCode());
}

}  // namespace
}  // namespace quendrolix
