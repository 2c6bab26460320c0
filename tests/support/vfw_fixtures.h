#pragma once

// Helpers for the tests of the AVI services: test pictures, AVIs written through our own
// layer, frames read back, hand-made RIFF files and picture comparisons.

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

#include "platform/gdi/dib.h"
#include "platform/vfw/vfw.h"

namespace quendrolix::testing {

// 256 colours: a 6x6x6 cube and a grey ramp.
std::vector<RGBQUAD> TestPalette();

// Frame `t` of a moving test picture (gradients, a moving square and fine detail) at
// `bits` (8 with TestPalette(), 16 as 5-5-5, 24, 32).
HDIB MakeTestFrame(int width, int height, int bits, int t);

// Header plus colour table of a DIB, as a stream format.
std::vector<uint8_t> DibFormat(const DibBlock& dib);
// The pixel rows of a DIB.
std::vector<uint8_t> DibPixelBytes(const DibBlock& dib);

// Writes `frames` as one video stream at `fps` frames per second through a compressed
// stream made from `options`; the frames are written as key-frame samples 0, 1, ...
HRESULT WriteTestAvi(const std::string& path, const std::vector<HDIB>& frames,
                     const AVICOMPRESSOPTIONS& options, int fps = 10);
AVICOMPRESSOPTIONS OptionsFor(FOURCC handler, int quality = 10000, int keyFrameEvery = 0);

// Every frame of the first video stream through the frame getter, as top-down rows of
// blue, green, red triples without padding (ffmpeg's bgr24). Empty on failure.
std::vector<std::vector<uint8_t>> ReadFramesBgr(const std::string& path);
// One DIB as top-down unpadded BGR triples.
std::vector<uint8_t> DibToBgrTopDown(const DibBlock& dib);

// Building RIFF files by hand.
using Bytes = std::vector<uint8_t>;
Bytes Chunk(const char* id, const Bytes& data, bool pad = true);
Bytes List(const char* kind, const char* type, const std::vector<Bytes>& parts);  // LIST or RIFF
Bytes U32(uint32_t v);
Bytes Concat(const std::vector<Bytes>& parts);
template <typename T>
Bytes AsBytes(const T& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  return Bytes(p, p + sizeof(T));
}

}  // namespace quendrolix::testing

namespace quendrolix::testing {

// One chunk of a RIFF file as the tests see it: its path ("RIFF:AVI /LIST:hdrl/avih"),
// the offset of its data and its size.
struct ChunkSeen {
  std::string path;
  uint64_t dataOffset;
  uint32_t size;
};
// Every chunk of every RIFF of `file`, descending into RIFF and LIST chunks.
std::vector<ChunkSeen> WalkRiff(const Bytes& file);
// The chunks whose path ends with `suffix`.
std::vector<ChunkSeen> Find(const std::vector<ChunkSeen>& chunks, const std::string& suffix);

}  // namespace quendrolix::testing
