#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "mpeg/video/bit_writer.h"
#include "mpeg/video/bitstream.h"
#include "mpeg/video/engine_memory.h"
#include "mpeg/video/vlc_tables.h"
#include "platform/host/conversion_log.h"
#include "support/mpeg_video_fixtures.h"

namespace quendrolix {
namespace {

// The bits written so far as a string of '0' and '1'.
std::string Bits(const VideoBitWriter& out) {
  std::string s;
  std::vector<uint8_t> bytes = out.Bytes();
  uint64_t n = out.BitCount();
  for (uint64_t i = 0; i < n; ++i) s += ((bytes[i / 8] >> (7 - i % 8)) & 1) ? '1' : '0';
  return s;
}

std::string Pattern(const char* bits) {
  std::string s;
  for (const char* p = bits; *p; ++p)
    if (*p != ' ') s += *p;
  return s;
}

TEST(BitWriterTest, BitsComeOutMostSignificantFirstAndCountIsExact) {
  VideoBitWriter out;
  out.PutBits(0x5, 3);
  EXPECT_EQ(out.BitCount(), 3u);
  out.PutBits(0xFFFFFFFF, 32);
  out.PutBits(0, 0);
  out.PutBits(0x1234, 7);  // only the low 7 bits: 0110100
  EXPECT_EQ(out.BitCount(), 42u);
  EXPECT_EQ(Bits(out), "101" + std::string(32, '1') + "0110100");
  out.AlignBits();
  EXPECT_EQ(out.BitCount(), 48u);
  out.AlignBits();  // already aligned: nothing
  EXPECT_EQ(out.BitCount(), 48u);
}

TEST(BitWriterTest, FileModeWritesTheSameBytes) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  VideoBitWriter memory;
  {
    VideoBitWriter out(file);
    for (int i = 0; i < 100000; ++i) {
      out.PutBits(i, 1 + i % 32);
      memory.PutBits(i, 1 + i % 32);
    }
    out.AlignBits();
    memory.AlignBits();
    out.Flush();
    EXPECT_EQ(out.BitCount(), memory.BitCount());
  }
  std::vector<uint8_t> written(memory.Bytes().size());
  std::rewind(file);
  ASSERT_EQ(std::fread(written.data(), 1, written.size(), file), written.size());
  std::fclose(file);
  EXPECT_EQ(written, memory.Bytes());
}

// Every code table must be prefix-free, and the complete ones must fill the code space.
struct Code {
  uint32_t code;
  int length;
  Code(Vlc v) : code(v.code), length(v.length) {}
  Code(uint32_t c, int l) : code(c), length(l) {}
};
double KraftSum(const std::vector<Code>& codes) {
  double sum = 0;
  for (const Code& v : codes) sum += std::ldexp(1.0, -v.length);
  return sum;
}
bool PrefixFree(const std::vector<Code>& codes) {
  for (size_t i = 0; i < codes.size(); ++i)
    for (size_t j = 0; j < codes.size(); ++j) {
      if (i == j) continue;
      const Code &a = codes[i], &b = codes[j];
      if (a.length <= b.length && (b.code >> (b.length - a.length)) == a.code) return false;
    }
  return true;
}

TEST(VlcTablesTest, TablesArePrefixFreeAndFillTheirCodeSpace) {
  std::vector<Code> increments(vlc::kAddressIncrement + 1, vlc::kAddressIncrement + 34);
  increments.push_back(vlc::kMacroblockEscape);
  increments.push_back(MakeVlc("0000 0001 111"));  // stuffing
  EXPECT_TRUE(PrefixFree(increments));

  std::vector<Code> cbp(vlc::kCodedBlockPattern + 1, vlc::kCodedBlockPattern + 64);
  cbp.push_back(MakeVlc("0000 0000 1"));  // pattern 0, not used by these streams
  EXPECT_TRUE(PrefixFree(cbp));
  EXPECT_DOUBLE_EQ(KraftSum(cbp), 1.0 - 1.0 / 512);  // only the all-zero prefix is left

  for (const Vlc* table : {vlc::kMacroblockTypeI, vlc::kMacroblockTypeP, vlc::kMacroblockTypeB}) {
    std::vector<Code> types;
    for (int i = 0; i < 32; ++i)
      if (table[i].length) types.push_back(table[i]);
    EXPECT_TRUE(PrefixFree(types));
  }

  EXPECT_TRUE(PrefixFree(std::vector<Code>(vlc::kDcSizeLuminance, vlc::kDcSizeLuminance + 9)));
  EXPECT_TRUE(PrefixFree(std::vector<Code>(vlc::kDcSizeChrominance, vlc::kDcSizeChrominance + 9)));
  EXPECT_DOUBLE_EQ(KraftSum(std::vector<Code>(vlc::kDcSizeLuminance, vlc::kDcSizeLuminance + 9)),
                   1.0 - 1.0 / 128);

  // Motion codes with their sign bits.
  std::vector<Code> motion{vlc::kMotionCode[0]};
  for (int m = 1; m <= 16; ++m)
    for (uint32_t s = 0; s < 2; ++s) {
      Vlc v = vlc::kMotionCode[m];
      motion.push_back(Code((uint32_t{v.code} << 1) | s, v.length + 1));
    }
  EXPECT_TRUE(PrefixFree(motion));

  // DCT coefficients with sign bits, end of block and escape leave only the all-zero
  // twelve-bit prefix unused.
  std::vector<Code> dct{vlc::kEndOfBlock, vlc::kDctEscape};
  int count = 0;
  for (int run = 0; run < 64; ++run)
    for (int level = 1; level <= 40; ++level) {
      Vlc v = vlc::DctCode(run, level);
      if (!v.length) continue;
      ++count;
      dct.push_back(Code(uint32_t{v.code} << 1, v.length + 1));
      dct.push_back(Code((uint32_t{v.code} << 1) | 1, v.length + 1));
    }
  EXPECT_EQ(count, 111);
  EXPECT_TRUE(PrefixFree(dct));
  EXPECT_DOUBLE_EQ(KraftSum(dct), 1.0 - 1.0 / 4096);
}

TEST(HeaderTest, SequenceHeaderFields) {
  EncodingParameters p;
  p.horizontalSize = 352;
  p.verticalSize = 288;
  p.frameRateCode = 3;
  p.bitRate = 1064960;
  p.constrainedParameters = false;
  VideoBitWriter out;
  PutSequenceHeader(out, p);
  PutUserData(out, p.userData);
  PutSequenceEnd(out);
  testing::ParsedStream s = testing::ParseVideoStream(out.Bytes());
  EXPECT_EQ(s.horizontalSize, 352);
  EXPECT_EQ(s.verticalSize, 288);
  EXPECT_EQ(s.aspect, 1);
  EXPECT_EQ(s.frameRateCode, 3);
  EXPECT_EQ(s.bitRateField, 2663);
  EXPECT_EQ(s.marker, 1);
  EXPECT_EQ(s.vbvBufferSize, 512);
  EXPECT_EQ(s.constrained, 0);
  EXPECT_EQ(s.loadIntra, 0);
  EXPECT_EQ(s.loadNonIntra, 0);
  EXPECT_EQ(s.userData, "Encoded by ZQ Quendrolix ");
  EXPECT_TRUE(s.sequenceEnd);

  p.bitRate = 1228800;
  EXPECT_EQ(p.BitRateField(), 3072);
  p.bitRate = 1228801;
  EXPECT_EQ(p.BitRateField(), 3073);
}

TEST(HeaderTest, TimeCodes) {
  // drop_frame 0 | hours 5 | minutes 6 | marker | seconds 6 | pictures 6
  EXPECT_EQ(TimeCode(13, 30), (1u << 12) | 13u);
  EXPECT_EQ(TimeCode(0, 24), 1u << 12);
  EXPECT_EQ(TimeCode(30 * 61 + 7, 30), (1u << 13) | (1u << 12) | (1u << 6) | 7u);
  EXPECT_EQ(TimeCode(25 * 3600 * 25 + 25, 25), (1u << 19) | (1u << 12) | (1u << 6));  // 25 h wraps
  EncodingParameters p;
  p.frameRate = 30000.0 / 1001.0;
  EXPECT_EQ(p.TimeCodeRate(), 30);
  p.frameRate = 24000.0 / 1001.0;
  EXPECT_EQ(p.TimeCodeRate(), 24);
}

TEST(MacroblockLayerTest, AddressIncrementEscapes) {
  VideoBitWriter a;
  PutAddressIncrement(a, 34);
  EXPECT_EQ(Bits(a), Pattern("0000 0001 000  1"));
  VideoBitWriter b;
  PutAddressIncrement(b, 67);
  EXPECT_EQ(Bits(b), Pattern("0000 0001 000  0000 0001 000  1"));
  VideoBitWriter c;
  PutAddressIncrement(c, 33);
  EXPECT_EQ(Bits(c), Pattern("0000 0011 000"));
  VideoBitWriter d;
  PutAddressIncrement(d, 35);
  EXPECT_EQ(Bits(d), Pattern("0000 0001 000  011"));
}

TEST(MacroblockLayerTest, DctEscapesAndTableCodes) {
  auto pair = [](int run, int level) {
    VideoBitWriter out;
    PutAcPair(out, run, level);
    return Bits(out);
  };
  EXPECT_EQ(pair(0, 128), Pattern("000001 000000 00000000 10000000"));
  EXPECT_EQ(pair(0, -128), Pattern("000001 000000 10000000 10000000"));
  EXPECT_EQ(pair(0, 127), Pattern("000001 000000 01111111"));
  EXPECT_EQ(pair(0, -127), Pattern("000001 000000 10000001"));
  EXPECT_EQ(pair(0, 255), Pattern("000001 000000 00000000 11111111"));
  EXPECT_EQ(pair(0, 41), Pattern("000001 000000 00101001"));  // past the table's run 0
  EXPECT_EQ(pair(2, 6), Pattern("000001 000010 00000110"));   // past run 2's levels
  EXPECT_EQ(pair(32, 1), Pattern("000001 100000 00000001"));  // past the table's runs
  EXPECT_EQ(pair(0, 1), Pattern("11 0"));
  EXPECT_EQ(pair(0, -1), Pattern("11 1"));
  EXPECT_EQ(pair(1, 1), Pattern("011 0"));
  EXPECT_EQ(pair(0, 40), Pattern("0000 0000 0010 000 0"));
  EXPECT_EQ(pair(1, -18), Pattern("0000 0000 0001 0000 1"));
  EXPECT_EQ(pair(31, 1), Pattern("0000 0000 0001 1011 0"));
}

TEST(MacroblockLayerTest, OutOfRangeValuesAreFatal) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  VideoBitWriter out;
  EXPECT_THROW(PutAcPair(out, 0, 256), EngineAbort);
  EXPECT_THROW(PutAcPair(out, 64, 1), EngineAbort);
  int predictor = -128;
  int16_t block[64] = {127};
  EXPECT_NO_THROW(PutIntraBlock(out, block, 0, predictor));  // 255: still in range
  predictor = -129;
  EXPECT_THROW(PutIntraBlock(out, block, 0, predictor), EngineAbort);
  EXPECT_EQ(log.fatals, (std::vector<std::string>{"AC value out of range (run=0, signed_level=256)",
                                                  "AC value out of range (run=64, signed_level=1)",
                                                  "DC value out of range (256)"}));
}

TEST(MacroblockLayerTest, MotionVectorsFoldIntoTheFCodeRange) {
  RecordingConversionLog log;
  ScopedConversionLog scope(log);
  // f_code 2: a difference of 40 half pels folds to -24: motion_code -12, residual 1.
  VideoBitWriter out;
  int predictor = 0;
  PutMotionComponent(out, 40, predictor, 2);
  EXPECT_EQ(predictor, 40);
  EXPECT_EQ(Bits(out), Pattern("0000 0100 00 1  1"));
  // Back from 40 to 0 is -40, which folds to +24: code 12, residual 1.
  VideoBitWriter back;
  PutMotionComponent(back, 0, predictor, 2);
  EXPECT_EQ(Bits(back), Pattern("0000 0100 00 0  1"));
  // f_code 1: no residual bits; zero is one bit.
  VideoBitWriter small;
  predictor = 3;
  PutMotionComponent(small, 3, predictor, 1);
  PutMotionComponent(small, 2, predictor, 1);
  EXPECT_EQ(Bits(small), Pattern("1  011"));
  EXPECT_TRUE(log.lines.empty());
  VideoBitWriter far;
  predictor = 0;
  PutMotionComponent(far, 100, predictor, 1);  // beyond what any folding can reach
  EXPECT_EQ(log.lines, std::vector<std::string>{"Error: motion vector out of range"});
}

TEST(MacroblockLayerTest, BlocksReadBackAsWritten) {
  int16_t levels[64] = {};
  levels[kZigzag[0]] = -1;
  levels[kZigzag[5]] = 3;
  levels[kZigzag[63]] = -200;
  VideoBitWriter out;
  PutNonIntraBlock(out, levels);
  EXPECT_EQ(Bits(out).substr(0, 2), "11");  // first coefficient (0, -1): "1s"

  int16_t intra[64] = {};
  intra[0] = -5;
  intra[kZigzag[1]] = 2;
  VideoBitWriter in;
  int predictor = 3;  // difference -8: size 4, bits of -8 + 15 = 0111
  PutIntraBlock(in, intra, 0, predictor);
  EXPECT_EQ(predictor, -5);
  EXPECT_EQ(Bits(in), Pattern("110 0111  0100 0  10"));
}

}  // namespace
}  // namespace quendrolix
