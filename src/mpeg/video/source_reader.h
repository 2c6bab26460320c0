#pragma once

#include <cstdint>

#include "mpeg/video/encoding_parameters.h"
#include "mpeg/video/frame_source.h"
#include "mpeg/video/frame_store.h"
#include "platform/gdi/dib.h"

namespace quendrolix {

class ThreadPool;

// Where a source picture lands in the coded frame: borders (black) when it is smaller,
// crops (equal on both sides, the odd pixel going right or down) when it is larger.
struct Placement {
  int leftBorder = 0, rightBorder = 0, topBorder = 0, bottomBorder = 0;
  int leftCrop = 0, topCrop = 0;
  int columns = 0, rows = 0;  // source pixels and rows taken
};
Placement PlaceSource(int width, int height, const EncodingParameters& p);

// The colour conversion of one pixel: BT.601 in video range (Y 16..235, Cb and Cr
// 16..240), the range MPEG-1 decoders show. Black borders are Y 16, Cb = Cr = 128.
struct YCbCr {
  int y, cb, cr;
};
YCbCr ConvertPixel(int blue, int green, int red);
constexpr uint8_t kBlackY = 16;

// The way back, for whatever reads our pictures again: what a player shows for a sample.
struct Bgr {
  uint8_t b, g, r;
};
Bgr ConvertToRgb(int y, int cb, int cr);

enum class DibConversion {
  kConverted,   // the frame store holds the picture
  kRefused,     // depth or compression refused (line written), frame store untouched
  kUnreadable,  // the block is shorter than its header promises; frame store untouched
};

// Converts one packed DIB into the frame store (coded size of p). `scratch` must hold
// ScratchBytes(p) bytes per worker of the pool (or one when pool is null).
size_t ConversionScratchBytes(const EncodingParameters& p);
DibConversion ConvertDibToFrame(const DibBlock& dib, const EncodingParameters& p, FrameStore& store,
                                uint8_t* scratch, ThreadPool* pool);

// Fetches source frames for the coding loop (display number -> source frame through the
// replication factor), substitutes missing AVI frames with the last good one, and
// converts them. Reads and updates the substitution fields of MpegEngineSettings().
class SourceFrameReader {
 public:
  void Setup(const EncodingParameters& p, MpegFrameSource* source, ThreadPool* pool);
  // Fills the store with display frame n. An image that cannot be loaded abandons the
  // conversion ("Error: loading of %s failed").
  void Read(int n, FrameStore& store);
  void Release();

 private:
  const EncodingParameters* params_ = nullptr;
  MpegFrameSource* source_ = nullptr;
  ThreadPool* pool_ = nullptr;
  uint8_t* scratch_ = nullptr;
};

}  // namespace quendrolix
