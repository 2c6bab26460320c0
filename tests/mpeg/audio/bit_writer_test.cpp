#include "mpeg/audio/bit_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/host/conversion_log.h"
#include "support/test_support.h"

namespace quendrolix {
namespace {
using testing::ReadBytes;
using testing::TempDir;

TEST(BitWriterTest, RandomFieldsReadBackAcrossBufferRefills) {
  TempDir dir;
  const std::string path = dir.File("bits.bin");
  std::mt19937 random(7);
  std::vector<std::pair<uint32_t, int>> fields;
  BitWriter out;
  ASSERT_TRUE(out.Open(path, 3));  // a tiny buffer refills often
  uint64_t bits = 0;
  for (int i = 0; i < 5000; ++i) {
    const int n = 1 + static_cast<int>(random() % 32);
    const uint32_t value = static_cast<uint32_t>(random()) & (n == 32 ? ~0u : (1u << n) - 1);
    fields.emplace_back(value, n);
    if (n == 1)
      out.PutBit(value);
    else
      out.PutBits(value | (n < 32 ? 0xFFFFFFFFu << n : 0u), n);  // bits above n are ignored
    bits += static_cast<uint64_t>(n);
    ASSERT_EQ(out.BitCount(), bits);
  }
  ASSERT_TRUE(out.Close());

  const std::vector<uint8_t> bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), (bits + 7) / 8);
  uint64_t pos = 0;
  for (const auto& [value, n] : fields) {
    uint32_t got = 0;
    for (int i = 0; i < n; ++i, ++pos) got = (got << 1) | ((bytes[pos / 8] >> (7 - pos % 8)) & 1u);
    ASSERT_EQ(got, value);
  }
  for (; pos < bytes.size() * 8; ++pos) EXPECT_EQ((bytes[pos / 8] >> (7 - pos % 8)) & 1u, 0u);
}

TEST(BitWriterTest, NothingReplacesTheTargetUntilClose) {
  TempDir dir;
  const std::string path = dir.File("out.mp2");
  testing::WriteText(path, "good file");
  {
    BitWriter out;
    ASSERT_TRUE(out.Open(path, 4096));
    out.PutBits(0xABCD, 16);
    EXPECT_EQ(testing::ReadText(path), "good file");
  }  // destroyed without Close: abandoned
  EXPECT_EQ(testing::ReadText(path), "good file");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  BitWriter out;
  ASSERT_TRUE(out.Open(path, 4096));
  out.PutBits(0xABCD, 16);
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{0xAB, 0xCD}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  BitWriter nowhere;
  EXPECT_FALSE(nowhere.Open(dir.File("missing/folder/x.mp2"), 4096));
}

TEST(BitWriterTest, MoreThan32BitsAreRefusedWithALogLine) {
  TempDir dir;
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  BitWriter out;
  ASSERT_TRUE(out.Open(dir.File("x"), 16));
  out.PutBits(1, 33);
  EXPECT_EQ(out.BitCount(), 0u);
  EXPECT_TRUE(log.HasLine("Error: max read/write buffer is 32 bits"));
}

}  // namespace
}  // namespace quendrolix
