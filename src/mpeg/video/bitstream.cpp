#include "mpeg/video/bitstream.h"

#include <cstdlib>

#include "mpeg/video/engine_memory.h"
#include "mpeg/video/vlc_tables.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {

static inline void Put(VideoBitWriter& out, Vlc v) {
  out.PutBits(v.code, v.length);
}

void PutSequenceHeader(VideoBitWriter& out, const EncodingParameters& p) {
  out.AlignBits();
  out.PutBits(kSequenceHeaderCode, 32);
  out.PutBits(p.horizontalSize, 12);
  out.PutBits(p.verticalSize, 12);
  out.PutBits(p.aspectRatioCode, 4);
  out.PutBits(p.frameRateCode, 4);
  out.PutBits(p.BitRateField(), 18);
  out.PutBits(1, 1);  // marker
  out.PutBits(p.vbvBufferSize, 10);
  out.PutBits(p.constrainedParameters ? 1 : 0, 1);
  out.PutBits(0, 1);  // load_intra_quantiser_matrix
  out.PutBits(0, 1);  // load_non_intra_quantiser_matrix
}

void PutUserData(VideoBitWriter& out, const std::string& text) {
  out.AlignBits();
  out.PutBits(kUserDataStartCode, 32);
  for (unsigned char c : text) out.PutBits(c, 8);
}

uint32_t TimeCode(int n, int fps) {
  if (fps <= 0) fps = 1;
  uint32_t pictures = n % fps;
  uint32_t seconds = (n / fps) % 60;
  uint32_t minutes = (n / fps / 60) % 60;
  uint32_t hours = (n / fps / 3600) % 24;
  // drop_frame_flag 0, hours 5, minutes 6, marker 1, seconds 6, pictures 6.
  return (hours << 19) | (minutes << 13) | (1u << 12) | (seconds << 6) | pictures;
}

void PutGopHeader(VideoBitWriter& out, const EncodingParameters& p, int frame, bool closed) {
  out.AlignBits();
  out.PutBits(kGroupStartCode, 32);
  out.PutBits(TimeCode(frame + p.firstTimeCodeFrame, p.TimeCodeRate()), 25);
  out.PutBits(closed ? 1 : 0, 1);
  out.PutBits(0, 1);  // broken_link
}

void PutPictureHeader(VideoBitWriter& out, int temporalReference, int pictureType, int vbvDelay,
                      int forwardFCode, int backwardFCode) {
  out.AlignBits();
  out.PutBits(kPictureStartCode, 32);
  out.PutBits(temporalReference, 10);
  out.PutBits(pictureType, 3);
  out.PutBits(vbvDelay, 16);
  if (pictureType == kPictureP || pictureType == kPictureB) {
    out.PutBits(0, 1);  // full_pel_forward_vector
    out.PutBits(forwardFCode, 3);
  }
  if (pictureType == kPictureB) {
    out.PutBits(0, 1);  // full_pel_backward_vector
    out.PutBits(backwardFCode, 3);
  }
  out.PutBits(0, 1);  // extra_bit_picture
}

void PutSliceHeader(VideoBitWriter& out, int row, int quantiser) {
  // Slice start codes end at 0xAF; past that the codes mean other things.
  if (row < 0 || row > 174) FatalError("slice_vertical_position out of range");
  out.AlignBits();
  out.PutBits(kSliceStartCode + row, 32);
  out.PutBits(quantiser / 2, 5);
  out.PutBits(0, 1);  // extra_bit_slice
}

void PutSequenceEnd(VideoBitWriter& out) {
  out.AlignBits();
  out.PutBits(kSequenceEndCode, 32);
}

void PutAddressIncrement(VideoBitWriter& out, int increment) {
  while (increment > 33) {
    Put(out, vlc::kMacroblockEscape);
    increment -= 33;
  }
  Put(out, vlc::kAddressIncrement[increment]);
}

void PutMacroblockType(VideoBitWriter& out, int pictureType, int flags) {
  const Vlc* table = pictureType == kPictureI   ? vlc::kMacroblockTypeI
                     : pictureType == kPictureP ? vlc::kMacroblockTypeP
                                                : vlc::kMacroblockTypeB;
  Put(out, table[flags & 31]);
}

void PutMotionComponent(VideoBitWriter& out, int vector, int& predictor, int fCode) {
  int rSize = fCode - 1;
  int f = 1 << rSize;
  int d = vector - predictor;
  predictor = vector;
  if (d > 16 * f - 1)
    d -= 32 * f;
  else if (d < -16 * f)
    d += 32 * f;
  if (d > 16 * f - 1 || d < -16 * f) ReportLine("Error: motion vector out of range");
  int t = std::abs(d) + f - 1;
  int motionCode = t >> rSize;
  int residual = t & (f - 1);
  if (motionCode > 16) motionCode = 16;  // only reachable after the error above
  Put(out, vlc::kMotionCode[motionCode]);
  if (motionCode != 0) out.PutBits(d < 0 ? 1 : 0, 1);
  if (rSize > 0 && motionCode != 0) out.PutBits(residual, rSize);
}

void PutCodedBlockPattern(VideoBitWriter& out, int cbp) {
  Put(out, vlc::kCodedBlockPattern[cbp & 63]);
}

void PutAcPair(VideoBitWriter& out, int run, int level) {
  int magnitude = std::abs(level);
  if (run < 0 || run > 63 || level == 0 || magnitude > 255)
    FatalError(StringPrintf("AC value out of range (run=%d, signed_level=%d)", run, level));
  if ((run < 2 && magnitude <= 40) || (run < 32 && magnitude <= 5)) {
    Vlc code = vlc::DctCode(run, magnitude);
    if (code.length) {
      out.PutBits((static_cast<uint32_t>(code.code) << 1) | (level < 0 ? 1 : 0), code.length + 1);
      return;
    }
  }
  Put(out, vlc::kDctEscape);
  out.PutBits(run, 6);
  if (level > 127) out.PutBits(0x00, 8);
  if (level < -127) out.PutBits(0x80, 8);
  out.PutBits(static_cast<uint32_t>(level) & 0xFF, 8);
}

static void PutAcCoefficients(VideoBitWriter& out, const int16_t* levels, int first) {
  int run = 0;
  for (int i = first; i < 64; ++i) {
    int level = levels[kZigzag[i]];
    if (level == 0) {
      ++run;
      continue;
    }
    PutAcPair(out, run, level);
    run = 0;
  }
  Put(out, vlc::kEndOfBlock);
}

void PutIntraBlock(VideoBitWriter& out, const int16_t* levels, int component, int& dcPredictor) {
  int dc = levels[0];
  int diff = dc - dcPredictor;
  dcPredictor = dc;
  int magnitude = std::abs(diff);
  if (magnitude >= 256) FatalError(StringPrintf("DC value out of range (%d)", diff));
  int size = 0;
  while ((magnitude >> size) != 0) ++size;
  Put(out, component == 0 ? vlc::kDcSizeLuminance[size] : vlc::kDcSizeChrominance[size]);
  if (size > 0) out.PutBits(diff > 0 ? diff : diff + (1 << size) - 1, size);
  PutAcCoefficients(out, levels, 1);
}

void PutNonIntraBlock(VideoBitWriter& out, const int16_t* levels) {
  int i = 0;
  int run = 0;
  while (i < 64 && levels[kZigzag[i]] == 0) {
    ++run;
    ++i;
  }
  if (i < 64) {
    int level = levels[kZigzag[i]];
    if (run == 0 && (level == 1 || level == -1)) {
      out.PutBits(level < 0 ? 3 : 2, 2);  // "1s": the first-coefficient code for (0, +-1)
    } else {
      PutAcPair(out, run, level);
    }
    ++i;
  }
  PutAcCoefficients(out, levels, i);
}

}  // namespace quendrolix
