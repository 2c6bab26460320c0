// The video stream analysis on arbitrary bytes, then the multiplexer on what it found.
#include "mpeg_system_fuzz_common.h"

using namespace quendrolix;
using namespace quendrolix::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  VideoStreamInfo info;
  double startup = kNoStartupTime;
  std::vector<uint8_t> list;
  {
    MemoryStreams streams(data, size);
    if (!streams.input || !streams.list) return 0;
    try {
      AnalyseVideoStream(streams.input, streams.list, info, startup);
    } catch (const CFileException&) {
      return 0;
    }
    list = streams.ListBytes();
  }
  const std::vector<uint8_t> bytes = StreamBytes(data, size);
  FUZZ_CHECK(list.size() == info.recordedPictures * kVideoAccessUnitBytes);
  FUZZ_CHECK(info.recordedPictures <= info.pictures);
  FUZZ_CHECK(info.streamLength <= bytes.size());
  uint64_t total = 0, previousDts = 0;
  for (size_t i = 0; i < list.size(); i += kVideoAccessUnitBytes) {
    uint32_t length;
    std::memcpy(&length, list.data() + i, 4);
    FUZZ_CHECK(length >= 4);
    total += length;
    uint32_t high, low;
    std::memcpy(&high, list.data() + i + 8, 4);
    std::memcpy(&low, list.data() + i + 12, 4);
    uint64_t dts = uint64_t{high} << 32 | low;
    FUZZ_CHECK(i == 0 || dts > previousDts);
    previousDts = dts;
  }
  FUZZ_CHECK(total == info.streamLength);
  if (info.pictures > 0) FUZZ_CHECK(startup < kNoStartupTime);

  // Multiplex unless a lying bit_rate field would make the padding run to gigabytes.
  const double seconds = info.pictures * info.secondsPerPicture + 1;
  const unsigned rate = info.bitRate == 0x3FFFF ? 0 : info.bitRate;
  if (seconds * 50.0 * std::max(rate, info.computedBitRate) > 5e5) return 0;
  const PrivateTempFolder& scratch = Scratch();
  if (!scratch.ok()) return 0;
  WriteFile(scratch.File("video"), std::vector<uint8_t>(data, data + size));
  WriteFile(scratch.File("audio"), SmallAudio());
  WriteFile(scratch.File("video.list"), list);
  AudioStreamInfo audioInfo;
  AnalyseAudioStream(scratch.File("audio").string(), scratch.File("audio.list").string(),
                     info.pictures ? startup : 0, audioInfo);
  MultiplexStreams(scratch.File("video"), scratch.File("video.list"), info, scratch.File("audio"),
                   scratch.File("audio.list"), audioInfo, scratch.File("out.mpg"));
  std::vector<uint8_t> videoPayload, audioPayload;
  const std::vector<uint8_t> out = ReadFile(scratch.File("out.mpg"));
  FUZZ_CHECK(SystemPayload(out, 0xE0, videoPayload));
  FUZZ_CHECK(SystemPayload(out, 0xC0, audioPayload));
  FUZZ_CHECK(videoPayload ==
             std::vector<uint8_t>(bytes.begin(), bytes.begin() + info.streamLength));
  FUZZ_CHECK(audioPayload == SmallAudio());
  return 0;
}
