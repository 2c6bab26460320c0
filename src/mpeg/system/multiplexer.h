#pragma once

#include <cstdint>
#include <string>

#include "mpeg/system/stream_analysis.h"

namespace quendrolix {

// Which elementary streams a system stream carries.
enum StreamsPresent : unsigned { kVideoStream = 1, kAudioStream = 2, kVideoAndAudio = 3 };

// The multiplexer's counters, read by whoever started the run. Timing trouble never stops a
// run; it is counted here. The "ended too soon" pair is reset with the others and kept for
// the callers' report, but nothing raises it.
struct MultiplexCounters {
  unsigned videoTimedOut = 0;
  unsigned audioTimedOut = 0;
  unsigned videoEndedTooSoon = 0;
  unsigned audioEndedTooSoon = 0;
};

// The system-stream engine's process-wide state (one conversion at a time).
class SystemStreamEngine {
 public:
  MultiplexCounters counters;
  void ResetCounters() { counters = MultiplexCounters{}; }
};
SystemStreamEngine& TheSystemStreamEngine();

// Logs, in this order and each only when its counter is not 0, "Error: video timed-out",
// "Error: audio timed-out" and, with `endings`, "Error: video ended too soon", "Error: audio
// ended too soon".
void ReportMultiplexCounters(const MultiplexCounters& counters, bool endings = true);

// Sizes of the layout and the rates a run derives from its two streams.
constexpr unsigned kSectorSize = 2048;
constexpr unsigned kPackHeaderSize = 12;
constexpr unsigned kPacketOverhead = 21;
constexpr unsigned kVideoBufferSize = 46 * 1024;
constexpr unsigned kAudioBufferSize = 32 * 128;
constexpr double kSystemClock = 90000;

struct MultiplexRates {
  unsigned packetDataSize = 0;    // 1997 with both streams, 2000 with one
  unsigned systemHeaderSize = 0;  // 18 with both streams, 15 with one
  uint64_t videoRate = 0;         // bytes/s
  uint64_t audioRate = 0;         // bytes/s
  uint64_t pseudoMuxRate = 0;     // bytes/s, the rates grown by the packing overhead
  unsigned muxRate = 0;           // the field value, units of 50 bytes/s
  double timingRate = 0;          // muxRate x 50 bytes/s
  uint64_t startupDelay = 0;      // 90 kHz ticks
};

// Rates and start-up delay for the given streams and first access-unit lengths. A bit_rate
// field of 0x3FFFF means a variable rate and leaves the rate to the computed one.
MultiplexRates ComputeMultiplexRates(const VideoStreamInfo& video, const AudioStreamInfo& audio,
                                     unsigned streams, uint32_t firstVideoLength,
                                     uint32_t firstAudioLength);

// Writes the system stream from the elementary streams and their access-unit lists, then
// deletes the two lists (also when it fails). The output is written under a temporary name
// beside `outputPath` and renamed into place at the end, so a failed run leaves whatever
// was there before. Failures log an "Error: " line and throw CFileException.
void MultiplexStreams(const std::string& videoPath, const std::string& videoListPath,
                      const VideoStreamInfo& videoInfo, const std::string& audioPath,
                      const std::string& audioListPath, const AudioStreamInfo& audioInfo,
                      const std::string& outputPath, unsigned streams = kVideoAndAudio);

}  // namespace quendrolix
