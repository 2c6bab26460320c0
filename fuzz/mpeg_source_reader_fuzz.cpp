// Random DIB blocks through the MPEG video source reader: any size, depth, colour table,
// compression and length, into coded frames of any size. Layout of an input: two bytes of
// coded width, two of coded height (each taken modulo 256, made even, at least 2), one
// byte of flags (bit 0: through the AVI frame reader with substitution), then the block.
#include <cstdint>
#include <cstring>
#include <vector>

#include "mpeg/video/encoding_parameters.h"
#include "mpeg/video/engine_memory.h"
#include "mpeg/video/engine_settings.h"
#include "mpeg/video/source_reader.h"
#include "platform/gdi/dib.h"

using namespace quendrolix;

namespace {

EncodingParameters Coded(int hs, int vs) {
  EncodingParameters p;
  p.horizontalSize = hs;
  p.verticalSize = vs;
  p.mbWidth = (hs + 15) / 16;
  p.mbHeight = (vs + 15) / 16;
  p.codedWidth = 16 * p.mbWidth;
  p.codedHeight = 16 * p.mbHeight;
  p.chromaWidth = p.codedWidth / 2;
  p.chromaHeight = p.codedHeight / 2;
  return p;
}

// One block for every index: the frame the fuzzer gave, or nothing every third fetch.
class OneBlock : public MpegFrameSource {
 public:
  explicit OneBlock(const DibBlock* dib) : dib_(dib) {}
  const DibBlock* FetchFrame(int index) override { return index % 3 == 2 ? nullptr : dib_; }

 private:
  const DibBlock* dib_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  int hs = std::max(2, (data[0] | (data[1] << 8)) % 256 & ~1);
  int vs = std::max(2, (data[2] | (data[3] << 8)) % 256 & ~1);
  bool throughReader = data[4] & 1;
  HDIB dib = DibBlock::FromBytes(data + 5, size - 5);
  if (!dib) return 0;
  EncodingParameters p = Coded(hs, vs);
  std::vector<uint8_t> y(p.codedWidth * p.codedHeight, 1), cb(p.chromaWidth * p.chromaHeight, 2),
      cr(p.chromaWidth * p.chromaHeight, 3), scratch(ConversionScratchBytes(p));
  FrameStore store{y.data(), cb.data(), cr.data()};
  if (throughReader) {
    EngineMemoryScope memory;
    EngineSettings& settings = MpegEngineSettings();
    settings.Reset();
    settings.sourceIsAvi = true;
    OneBlock source(dib.get());
    SourceFrameReader reader;
    reader.Setup(p, &source, nullptr);
    for (int n = 0; n < 4; ++n) reader.Read(n, store);
  } else {
    ConvertDibToFrame(*dib, p, store, scratch.data(), nullptr);
  }
  // Every sample is read back, so a write past a plane or a wild value shows up here.
  unsigned sum = 0;
  for (uint8_t v : y) sum += v;
  for (uint8_t v : cb) sum += v;
  for (uint8_t v : cr) sum += v;
  volatile unsigned sink = sum;
  (void)sink;
  return 0;
}
