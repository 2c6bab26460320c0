// The audio stream analysis on arbitrary bytes, then the multiplexer on what it found.
#include "mpeg_system_fuzz_common.h"

using namespace quendrolix;
using namespace quendrolix::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  AudioStreamInfo info;
  std::vector<uint8_t> list;
  const double startup = size ? data[0] * 100.0 : 0;
  {
    MemoryStreams streams(data, size);
    if (!streams.input || !streams.list) return 0;
    try {
      AnalyseAudioStream(streams.input, streams.list, startup, info);
    } catch (const CFileException&) {
      return 0;
    }
    list = streams.ListBytes();
  }
  const std::vector<uint8_t> bytes = StreamBytes(data, size);
  FUZZ_CHECK(list.size() == info.frames * kAudioAccessUnitBytes);
  FUZZ_CHECK(info.frames == info.framesWithPadding + info.framesWithoutPadding);
  FUZZ_CHECK(info.streamLength <= bytes.size());
  // Every recorded frame starts with a sync word in the input and is as long as its own
  // header says (the bit rate, layer and frequency may change from frame to frame).
  uint64_t at = 0;
  for (size_t i = 0; i < list.size(); i += kAudioAccessUnitBytes) {
    FUZZ_CHECK(at + 4 <= bytes.size());
    const uint8_t* header = bytes.data() + at;
    FUZZ_CHECK(header[0] == 0xFF && (header[1] & 0xF0) == 0xF0);
    uint32_t length;
    std::memcpy(&length, list.data() + i, 4);
    FUZZ_CHECK(length == AudioFrameLength((header[1] >> 1) & 3, header[2] >> 4,
                                          (header[2] >> 2) & 3, (header[2] >> 1) & 1));
    at += length;
  }
  FUZZ_CHECK(at == info.streamLength);

  const PrivateTempFolder& scratch = Scratch();
  if (!scratch.ok()) return 0;
  WriteFile(scratch.File("audio"), std::vector<uint8_t>(data, data + size));
  WriteFile(scratch.File("video"), SmallVideo());
  WriteFile(scratch.File("audio.list"), list);
  VideoStreamInfo videoInfo;
  double videoStartup = kNoStartupTime;
  AnalyseVideoStream(scratch.File("video").string(), scratch.File("video.list").string(), videoInfo,
                     videoStartup);
  MultiplexStreams(scratch.File("video"), scratch.File("video.list"), videoInfo,
                   scratch.File("audio"), scratch.File("audio.list"), info,
                   scratch.File("out.mpg"));
  std::vector<uint8_t> videoPayload, audioPayload;
  const std::vector<uint8_t> out = ReadFile(scratch.File("out.mpg"));
  FUZZ_CHECK(SystemPayload(out, 0xE0, videoPayload));
  FUZZ_CHECK(SystemPayload(out, 0xC0, audioPayload));
  FUZZ_CHECK(videoPayload == SmallVideo());
  FUZZ_CHECK(audioPayload ==
             std::vector<uint8_t>(bytes.begin(), bytes.begin() + info.streamLength));
  return 0;
}
