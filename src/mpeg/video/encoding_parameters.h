#pragma once

#include <cstdint>
#include <string>

#include "mpeg/video/engine_settings.h"

namespace quendrolix {

// One row of the motion table: f_codes and search ranges (full pels) for each direction.
struct MotionTableRow {
  int forwardHorizontalFCode, forwardVerticalFCode;
  int forwardSearchX, forwardSearchY;
  int backwardHorizontalFCode, backwardVerticalFCode;
  int backwardSearchX, backwardSearchY;
};

// Row 0: P pictures; row 1: first B of a pair; row 2: second B of a pair.
inline constexpr MotionTableRow kMotionTable[3] = {
    {2, 2, 11, 11, 0, 0, 0, 0},
    {1, 1, 3, 3, 1, 1, 7, 7},
    {1, 1, 7, 7, 1, 1, 3, 3},
};

// What the driver knows of its source: size, rate as a fraction and length in frames.
struct SourceDescription {
  uint32_t width = 0, height = 0;
  uint32_t rate = 0, scale = 0;  // frames per second = rate / scale
  uint32_t length = 0;
};

// Sequence-level parameters of one conversion, derived once by DeriveEncodingParameters.
struct EncodingParameters {
  int horizontalSize = 0;
  int verticalSize = 0;
  int aspectRatioCode = 1;
  int frameRateCode = 1;
  double frameRate = 0;  // pictures per second for the code
  double bitRate = 0;    // bit/s
  int vbvBufferSize = 512;
  bool constrainedParameters = true;  // settled from the stream once it is written
  int N = 12;                         // pictures per GOP
  int M = 3;                          // I/P distance
  int intraDcPrecision = 0;           // 8 bits
  std::string userData = "Encoded by ZQ Quendrolix ";
  int firstTimeCodeFrame = 0;

  int frames = 0;       // pictures to encode
  int replication = 1;  // output frames per source frame
  // Source frames per coded frame when the source's rate is none the engine codes (50,
  // 59.94, 5 ... frames/s): frames are dropped or repeated so the duration is kept. 0 when
  // `replication` says it.
  double sourceStep = 0;
  // The source frame coded as frame `n`.
  int SourceFrameOf(int n) const;
  // One closed GOP per picture of the source, repeats sent as empty pictures.
  bool slideshow = false;

  int mbWidth = 0, mbHeight = 0;
  int codedWidth = 0, codedHeight = 0;
  int chromaWidth = 0, chromaHeight = 0;

  // Rounded to the nearest integer, as the time codes count (24 for 23.976).
  int TimeCodeRate() const;
  // The bit_rate field of the sequence header (units of 400 bit/s, rounded up).
  int BitRateField() const;
};

// The largest picture an MPEG-1 stream can carry: sizes are 12-bit fields below 4096, and
// slice start codes stop at 0xAF, which is 175 macroblock rows. Without a requested size
// the width is rounded up to a multiple of 16, so sources up to 4080 pixels fit.
constexpr int kMaxHorizontalSize = 4095;
constexpr int kMaxVerticalSize = 2800;
constexpr int kMaxSourceWidth = 4080;
// True when a picture of that size can be coded; otherwise the lines "Error: frame is too
// big (%dx%d pixels)" and the limit are written.
bool CheckPictureSize(int width, int height, int maxWidth = kMaxHorizontalSize);

// The automatic video bit rate: 1,150 kbit/s for 352x288 at 25 frames/s (0.4538 bit per
// pixel), scaled with the pixels per second, at least 150 kbit/s and at most what the
// bit_rate field of MPEG-1 holds; a multiple of 400 bit/s.
double AutomaticVideoBitRate(int width, int height, double frameRate);
constexpr double kMaxBitRate = 0x3FFFE * 400.0;  // 0x3FFFF marks a variable rate

// The frame rate of a frame_rate_code (1 to 8), 0 for any other code.
double FrameRateOfCode(int code);
// For a source rate the engine's table does not take: the code (1..5) whose rate holds
// the source's frames in the most even pattern (50 -> 25, 59.94 -> 29.97, 5 -> 30), the
// nearest rate when none divides evenly. False for a rate of 0.
bool NearestCodedFrameRate(double fps, int& code);

// The frame rate of selection 0 from a source rate/scale: the code and how many output
// frames each source frame yields; false when the rate is outside every range.
bool FrameRateFromSource(uint32_t rate, uint32_t scale, int& code, int& replication);

// Derives every parameter from the settings and the source and writes the report lines.
// Returns false (after "Error: bit-rate too low (minimum:  81920)") when the bit rate left
// for the video is too low. Updates settings.frameRateSelection and replicationFactor.
// Range errors go to ReportFatal and abandon the conversion.
bool DeriveEncodingParameters(const SourceDescription& source, EngineSettings& settings,
                              EncodingParameters& out);

// The range checks (each failure is fatal).
void CheckEncodingParameters(const EncodingParameters& p);

}  // namespace quendrolix
