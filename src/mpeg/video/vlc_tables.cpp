// The variable-length code tables of the MPEG-1 video syntax (ISO/IEC 11172-2 Annex B),
// the default intra quantiser matrix and the zigzag scan.
#include "mpeg/video/vlc_tables.h"

namespace quendrolix {
namespace vlc {

#define V MakeVlc

// Table B.1: macroblock_address_increment.
const Vlc kAddressIncrement[34] = {
    {0, 0},
    V("1"),
    V("011"),
    V("010"),
    V("0011"),
    V("0010"),
    V("0001 1"),
    V("0001 0"),
    V("0000 111"),
    V("0000 110"),
    V("0000 1011"),
    V("0000 1010"),
    V("0000 1001"),
    V("0000 1000"),
    V("0000 0111"),
    V("0000 0110"),
    V("0000 0101 11"),
    V("0000 0101 10"),
    V("0000 0101 01"),
    V("0000 0101 00"),
    V("0000 0100 11"),
    V("0000 0100 10"),
    V("0000 0100 011"),
    V("0000 0100 010"),
    V("0000 0100 001"),
    V("0000 0100 000"),
    V("0000 0011 111"),
    V("0000 0011 110"),
    V("0000 0011 101"),
    V("0000 0011 100"),
    V("0000 0011 011"),
    V("0000 0011 010"),
    V("0000 0011 001"),
    V("0000 0011 000"),
};

// Table B.2: macroblock_type, indexed by quant 16 | forward 8 | backward 4 | pattern 2 | intra 1.
constexpr Vlc kNone{0, 0};
constexpr Vlc TypeTableI(int flags) {
  return flags == kMbIntra ? V("1") : flags == (kMbIntra | kMbQuant) ? V("01") : kNone;
}
constexpr Vlc TypeTableP(int flags) {
  switch (flags) {
    case kMbForward | kMbPattern:
      return V("1");
    case kMbPattern:
      return V("01");
    case kMbForward:
      return V("001");
    case kMbIntra:
      return V("0001 1");
    case kMbForward | kMbPattern | kMbQuant:
      return V("0001 0");
    case kMbPattern | kMbQuant:
      return V("0000 1");
    case kMbIntra | kMbQuant:
      return V("0000 01");
    default:
      return kNone;
  }
}
constexpr Vlc TypeTableB(int flags) {
  switch (flags) {
    case kMbForward | kMbBackward:
      return V("10");
    case kMbForward | kMbBackward | kMbPattern:
      return V("11");
    case kMbBackward:
      return V("010");
    case kMbBackward | kMbPattern:
      return V("011");
    case kMbForward:
      return V("0010");
    case kMbForward | kMbPattern:
      return V("0011");
    case kMbIntra:
      return V("0001 1");
    case kMbForward | kMbBackward | kMbPattern | kMbQuant:
      return V("0001 0");
    case kMbForward | kMbPattern | kMbQuant:
      return V("0000 11");
    case kMbBackward | kMbPattern | kMbQuant:
      return V("0000 10");
    case kMbIntra | kMbQuant:
      return V("0000 01");
    default:
      return kNone;
  }
}
#define TYPE_ROW(T)                                                                                \
  {                                                                                                \
    T(0), T(1), T(2), T(3), T(4), T(5), T(6), T(7), T(8), T(9), T(10), T(11), T(12), T(13), T(14), \
        T(15), T(16), T(17), T(18), T(19), T(20), T(21), T(22), T(23), T(24), T(25), T(26), T(27), \
        T(28), T(29), T(30), T(31)                                                                 \
  }
const Vlc kMacroblockTypeI[32] = TYPE_ROW(TypeTableI);
const Vlc kMacroblockTypeP[32] = TYPE_ROW(TypeTableP);
const Vlc kMacroblockTypeB[32] = TYPE_ROW(TypeTableB);
#undef TYPE_ROW

// Table B.3: coded_block_pattern.
const Vlc kCodedBlockPattern[64] = {
    kNone,        V("0101 1"),    V("0100 1"),    V("0011 01"),
    V("1101"),    V("0010 111"),  V("0010 011"),  V("0001 1111"),
    V("1100"),    V("0010 110"),  V("0010 010"),  V("0001 1110"),
    V("1001 1"),  V("0001 1011"), V("0001 0111"), V("0001 0011"),
    V("1011"),    V("0010 101"),  V("0010 001"),  V("0001 1101"),
    V("1000 1"),  V("0001 1001"), V("0001 0101"), V("0001 0001"),
    V("0011 11"), V("0000 1111"), V("0000 1101"), V("0000 0001 1"),
    V("0111 1"),  V("0000 1011"), V("0000 0111"), V("0000 0011 1"),
    V("1010"),    V("0010 100"),  V("0010 000"),  V("0001 1100"),
    V("0011 10"), V("0000 1110"), V("0000 1100"), V("0000 0001 0"),
    V("1000 0"),  V("0001 1000"), V("0001 0100"), V("0001 0000"),
    V("0111 0"),  V("0000 1010"), V("0000 0110"), V("0000 0011 0"),
    V("1001 0"),  V("0001 1010"), V("0001 0110"), V("0001 0010"),
    V("0110 1"),  V("0000 1001"), V("0000 0101"), V("0000 0010 1"),
    V("0110 0"),  V("0000 1000"), V("0000 0100"), V("0000 0010 0"),
    V("111"),     V("0101 0"),    V("0100 0"),    V("0011 00"),
};

// Table B.4: motion_code magnitudes (the sign bit follows every non-zero code).
const Vlc kMotionCode[17] = {
    V("1"),
    V("01"),
    V("001"),
    V("0001"),
    V("0000 11"),
    V("0000 101"),
    V("0000 100"),
    V("0000 011"),
    V("0000 0101 1"),
    V("0000 0101 0"),
    V("0000 0100 1"),
    V("0000 0100 01"),
    V("0000 0100 00"),
    V("0000 0011 11"),
    V("0000 0011 10"),
    V("0000 0011 01"),
    V("0000 0011 00"),
};

// Table B.5a/b: dct_dc_size_luminance and dct_dc_size_chrominance.
const Vlc kDcSizeLuminance[9] = {
    V("100"),  V("00"),     V("01"),      V("101"),      V("110"),
    V("1110"), V("1111 0"), V("1111 10"), V("1111 110"),
};
const Vlc kDcSizeChrominance[9] = {
    V("00"),     V("01"),      V("10"),       V("110"),       V("1110"),
    V("1111 0"), V("1111 10"), V("1111 110"), V("1111 1110"),
};

// Table B.5c: dct_coeff_next, without the sign bit. Run 0 and run 1 go far in level; the
// other runs stop at level 5 at most.
const Vlc kDctRun0[41] = {
    kNone,
    V("11"),
    V("0100"),
    V("0010 1"),
    V("0000 110"),
    V("0010 0110"),
    V("0010 0001"),
    V("0000 0010 10"),
    V("0000 0001 1101"),
    V("0000 0001 1000"),
    V("0000 0001 0011"),
    V("0000 0001 0000"),
    V("0000 0000 1101 0"),
    V("0000 0000 1100 1"),
    V("0000 0000 1100 0"),
    V("0000 0000 1011 1"),
    V("0000 0000 0111 11"),
    V("0000 0000 0111 10"),
    V("0000 0000 0111 01"),
    V("0000 0000 0111 00"),
    V("0000 0000 0110 11"),
    V("0000 0000 0110 10"),
    V("0000 0000 0110 01"),
    V("0000 0000 0110 00"),
    V("0000 0000 0101 11"),
    V("0000 0000 0101 10"),
    V("0000 0000 0101 01"),
    V("0000 0000 0101 00"),
    V("0000 0000 0100 11"),
    V("0000 0000 0100 10"),
    V("0000 0000 0100 01"),
    V("0000 0000 0100 00"),
    V("0000 0000 0011 000"),
    V("0000 0000 0010 111"),
    V("0000 0000 0010 110"),
    V("0000 0000 0010 101"),
    V("0000 0000 0010 100"),
    V("0000 0000 0010 011"),
    V("0000 0000 0010 010"),
    V("0000 0000 0010 001"),
    V("0000 0000 0010 000"),
};
const Vlc kDctRun1[19] = {
    kNone,
    V("011"),
    V("0001 10"),
    V("0010 0101"),
    V("0000 0011 00"),
    V("0000 0001 1011"),
    V("0000 0000 1011 0"),
    V("0000 0000 1010 1"),
    V("0000 0000 0011 111"),
    V("0000 0000 0011 110"),
    V("0000 0000 0011 101"),
    V("0000 0000 0011 100"),
    V("0000 0000 0011 011"),
    V("0000 0000 0011 010"),
    V("0000 0000 0011 001"),
    V("0000 0000 0001 0011"),
    V("0000 0000 0001 0010"),
    V("0000 0000 0001 0001"),
    V("0000 0000 0001 0000"),
};
const Vlc kDctRuns[32][6] = {
    {},
    {},
    /* run 2 */
    {kNone, V("0101"), V("0000 100"), V("0000 0010 11"), V("0000 0001 0100"),
     V("0000 0000 1010 0")},
    /* run 3 */ {kNone, V("0011 1"), V("0010 0100"), V("0000 0001 1100"), V("0000 0000 1001 1")},
    /* run 4 */ {kNone, V("0011 0"), V("0000 0011 11"), V("0000 0001 0010")},
    /* run 5 */ {kNone, V("0001 11"), V("0000 0010 01"), V("0000 0000 1001 0")},
    /* run 6 */ {kNone, V("0001 01"), V("0000 0001 1110"), V("0000 0000 0001 0100")},
    /* run 7 */ {kNone, V("0001 00"), V("0000 0001 0101")},
    /* run 8 */ {kNone, V("0000 111"), V("0000 0001 0001")},
    /* run 9 */ {kNone, V("0000 101"), V("0000 0000 1000 1")},
    /* run 10 */ {kNone, V("0010 0111"), V("0000 0000 1000 0")},
    /* run 11 */ {kNone, V("0010 0011"), V("0000 0000 0001 1010")},
    /* run 12 */ {kNone, V("0010 0010"), V("0000 0000 0001 1001")},
    /* run 13 */ {kNone, V("0010 0000"), V("0000 0000 0001 1000")},
    /* run 14 */ {kNone, V("0000 0011 10"), V("0000 0000 0001 0111")},
    /* run 15 */ {kNone, V("0000 0011 01"), V("0000 0000 0001 0110")},
    /* run 16 */ {kNone, V("0000 0010 00"), V("0000 0000 0001 0101")},
    /* run 17 */ {kNone, V("0000 0001 1111")},
    /* run 18 */ {kNone, V("0000 0001 1010")},
    /* run 19 */ {kNone, V("0000 0001 1001")},
    /* run 20 */ {kNone, V("0000 0001 0111")},
    /* run 21 */ {kNone, V("0000 0001 0110")},
    /* run 22 */ {kNone, V("0000 0000 1111 1")},
    /* run 23 */ {kNone, V("0000 0000 1111 0")},
    /* run 24 */ {kNone, V("0000 0000 1110 1")},
    /* run 25 */ {kNone, V("0000 0000 1110 0")},
    /* run 26 */ {kNone, V("0000 0000 1101 1")},
    /* run 27 */ {kNone, V("0000 0000 0001 1111")},
    /* run 28 */ {kNone, V("0000 0000 0001 1110")},
    /* run 29 */ {kNone, V("0000 0000 0001 1101")},
    /* run 30 */ {kNone, V("0000 0000 0001 1100")},
    /* run 31 */ {kNone, V("0000 0000 0001 1011")},
};

#undef V

Vlc DctCode(int run, int level) {
  if (level < 1) return kNone;
  if (run == 0) return level <= 40 ? kDctRun0[level] : kNone;
  if (run == 1) return level <= 18 ? kDctRun1[level] : kNone;
  if (run < 32 && level <= 5) return kDctRuns[run][level];
  return kNone;
}

}  // namespace vlc

const uint8_t kDefaultIntraMatrix[64] = {
    8,  16, 19, 22, 26, 27, 29, 34,  //
    16, 16, 22, 24, 27, 29, 34, 37,  //
    19, 22, 26, 27, 29, 34, 34, 38,  //
    22, 22, 26, 27, 29, 34, 37, 40,  //
    22, 26, 27, 29, 32, 35, 40, 48,  //
    26, 27, 29, 32, 35, 40, 48, 58,  //
    26, 27, 29, 34, 38, 46, 56, 69,  //
    27, 29, 35, 38, 46, 56, 69, 83,
};

const uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

}  // namespace quendrolix
