#pragma once

#include <cstdint>
#include <string>

#include "mpeg/video/bit_writer.h"
#include "mpeg/video/encoding_parameters.h"

namespace quendrolix {

constexpr int kPictureI = 1;
constexpr int kPictureP = 2;
constexpr int kPictureB = 3;

// Start codes (the 32-bit values).
constexpr uint32_t kPictureStartCode = 0x00000100;
constexpr uint32_t kSliceStartCode = 0x00000101;  // + macroblock row
constexpr uint32_t kUserDataStartCode = 0x000001B2;
constexpr uint32_t kSequenceHeaderCode = 0x000001B3;
constexpr uint32_t kSequenceEndCode = 0x000001B7;
constexpr uint32_t kGroupStartCode = 0x000001B8;

// The headers of the video stream; each begins on a byte boundary.
void PutSequenceHeader(VideoBitWriter& out, const EncodingParameters& p);
void PutUserData(VideoBitWriter& out, const std::string& text);
// The 25-bit time code of frame n at `fps` pictures per second.
uint32_t TimeCode(int n, int fps);
void PutGopHeader(VideoBitWriter& out, const EncodingParameters& p, int frame, bool closed);
void PutPictureHeader(VideoBitWriter& out, int temporalReference, int pictureType, int vbvDelay,
                      int forwardFCode, int backwardFCode);
void PutSliceHeader(VideoBitWriter& out, int row, int quantiser);
void PutSequenceEnd(VideoBitWriter& out);

// The macroblock and block layers. Range errors in blocks are fatal; a motion vector out
// of range is reported and coded anyway.
void PutAddressIncrement(VideoBitWriter& out, int increment);
void PutMacroblockType(VideoBitWriter& out, int pictureType, int flags);
// Codes vector - predictor for one component and makes the vector the predictor.
void PutMotionComponent(VideoBitWriter& out, int vector, int& predictor, int fCode);
void PutCodedBlockPattern(VideoBitWriter& out, int cbp);
// An intra block (levels in raster order): DC difference against the component's
// predictor (0 luminance, 1 Cb, 2 Cr), then the AC pairs and end of block.
void PutIntraBlock(VideoBitWriter& out, const int16_t* levels, int component, int& dcPredictor);
void PutNonIntraBlock(VideoBitWriter& out, const int16_t* levels);
// One (run, level) pair through the table or the escape.
void PutAcPair(VideoBitWriter& out, int run, int level);

}  // namespace quendrolix
