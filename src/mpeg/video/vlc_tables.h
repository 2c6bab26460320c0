#pragma once

#include <cstdint>

namespace quendrolix {

// A variable-length code: `length` bits of `code`, most significant first. Length 0 marks
// a combination that has no code.
struct Vlc {
  uint16_t code;
  uint8_t length;
};

// Builds a code from its bit pattern ("0000 0101 11"); blanks are for reading only.
constexpr Vlc MakeVlc(const char* bits) {
  Vlc v{0, 0};
  for (const char* p = bits; *p; ++p) {
    if (*p == ' ') continue;
    v.code = static_cast<uint16_t>((v.code << 1) | (*p == '1' ? 1 : 0));
    ++v.length;
  }
  return v;
}

// Macroblock type flags, as the picture coder keeps them.
constexpr int kMbIntra = 1;
constexpr int kMbPattern = 2;
constexpr int kMbBackward = 4;
constexpr int kMbForward = 8;
constexpr int kMbQuant = 16;

namespace vlc {
extern const Vlc kAddressIncrement[34];  // index 1..33
inline constexpr Vlc kMacroblockEscape = MakeVlc("0000 0001 000");
extern const Vlc kMacroblockTypeI[32];  // indexed by the flags above
extern const Vlc kMacroblockTypeP[32];
extern const Vlc kMacroblockTypeB[32];
extern const Vlc kCodedBlockPattern[64];  // index 1..63 (0 has no code in these streams)
extern const Vlc kMotionCode[17];         // magnitude 0..16; a sign bit follows when not 0
extern const Vlc kDcSizeLuminance[9];
extern const Vlc kDcSizeChrominance[9];
// DCT coefficients (run, level) without their sign bit.
extern const Vlc kDctRun0[41];                            // level 1..40
extern const Vlc kDctRun1[19];                            // level 1..18
extern const Vlc kDctRuns[32][6];                         // run 2..31, level 1..5
inline constexpr Vlc kDctFirstRun0Level1 = MakeVlc("1");  // first coefficient of a non-intra block
inline constexpr Vlc kEndOfBlock = MakeVlc("10");
inline constexpr Vlc kDctEscape = MakeVlc("0000 01");

// The code for (run, |level|), or length 0 when there is none.
Vlc DctCode(int run, int level);
}  // namespace vlc

// The default intra quantiser matrix in natural (raster) order, and the zigzag scan:
// kZigzag[i] is the raster position of scan position i.
extern const uint8_t kDefaultIntraMatrix[64];
extern const uint8_t kZigzag[64];

}  // namespace quendrolix
