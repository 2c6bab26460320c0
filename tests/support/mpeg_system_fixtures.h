#pragma once

// Hand-built MPEG elementary streams and a reader of the system streams we write, shared
// by the tests of the stream analysis, the multiplexer and the merge.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quendrolix::testing {

// A picture: the picture header with its temporal reference and coding type, a slice start
// code when there is room, then filler up to `size` bytes (the start code included).
// Filler never forms a start code.
struct TestPicture {
  unsigned temporalReference = 0;
  unsigned type = 1;  // 1 I, 2 P, 3 B, 4 D
  size_t size = 1000;
  bool groupBefore = false;  // a group-of-pictures header just before it
};

struct TestVideoOptions {
  unsigned width = 176;
  unsigned height = 144;
  unsigned aspectRatioCode = 1;
  unsigned pictureRateCode = 3;  // 25 pictures/s
  unsigned bitRate = 2875;       // 400 bit/s units
  unsigned markerBit = 1;
  unsigned vbvBufferSize = 20;
  bool sequenceEnd = true;
};

std::vector<uint8_t> MakeVideoStream(const std::vector<TestPicture>& pictures,
                                     const TestVideoOptions& options = {});
// `count` pictures in the coded order I B B P B B P ... with their temporal references, a
// group of pictures every `groupSize` pictures, sizes from `sizeOf(index, type)`.
std::vector<TestPicture> IbbpPictures(unsigned count, unsigned groupSize,
                                      const std::function<size_t(unsigned, unsigned)>& sizeOf);

struct TestAudioOptions {
  unsigned id = 1;
  unsigned layerCode = 2;      // layer II
  unsigned bitrateIndex = 11;  // 224 kbit/s in layer II
  unsigned frequencyCode = 0;  // 44.1 kHz
  unsigned mode = 0;
};

// `frames` frames whose padding follows the usual running remainder, so the average rate is
// exact; filler after each header.
std::vector<uint8_t> MakeAudioStream(unsigned frames, const TestAudioOptions& options = {});

// One pack of a system stream as read back.
struct ParsedPack {
  uint64_t offset = 0;
  size_t size = 0;  // pack header to the end of its packet
  uint64_t scr = 0;
  unsigned muxRate = 0;
  std::vector<uint8_t> systemHeader;  // empty when the pack has none
  uint8_t streamId = 0;
  unsigned packetLength = 0;
  unsigned stuffing = 0;  // 0xFF bytes after the length field
  bool bufferFields = false;
  unsigned bufferScale = 0;
  unsigned bufferSize = 0;
  int stamps = 0;  // 0 none (0x0F), 1 PTS, 2 PTS and DTS
  uint64_t pts = 0;
  uint64_t dts = 0;
  std::vector<uint8_t> data;
};

struct ParsedSystemStream {
  std::vector<ParsedPack> packs;
  bool endCode = false;  // 00 00 01 B9 and nothing after it
  std::string error;     // the first thing that did not parse
  // The bytes of one stream's packets, in order.
  std::vector<uint8_t> Payload(uint8_t streamId) const;
};

ParsedSystemStream ParseSystemStream(const std::vector<uint8_t>& bytes);

// Where each picture start code (00 00 01 00) or audio frame starts in an elementary stream.
std::vector<size_t> PictureOffsets(const std::vector<uint8_t>& video);

// ffprobe's key=value lines (-of default=noprint_wrappers=1) for `args`, in order.
using ProbeValues = std::vector<std::pair<std::string, std::string>>;
ProbeValues Probe(const std::string& ffprobe, const std::string& args);
// The `index`-th value of `key`; empty when there is none.
std::string Value(const ProbeValues& values, const std::string& key, int index = 0);
// Frames ffprobe decodes from `stream` ("v:0", "a:0") of `path`.
long CountFrames(const std::string& ffprobe, const std::string& path, const std::string& stream);

}  // namespace quendrolix::testing
