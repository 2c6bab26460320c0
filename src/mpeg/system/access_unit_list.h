#pragma once

#include <cstdint>
#include <cstdio>

namespace quendrolix {

// Picture coding types as the picture header carries them.
enum PictureType : uint32_t { kPictureI = 1, kPictureP = 2, kPictureB = 3, kPictureD = 4 };

// One picture of the video access-unit list: 24 bytes on disk, little-endian words
// length, type, DTS high, DTS low, PTS high, PTS low.
struct VideoAccessUnit {
  uint32_t length = 0;
  uint32_t type = 0;
  uint64_t dts = 0;  // 90 kHz ticks
  uint64_t pts = 0;
};

// One audio frame of the audio access-unit list: 12 bytes on disk, length, PTS high, PTS low.
struct AudioAccessUnit {
  uint32_t length = 0;
  uint64_t pts = 0;
};

constexpr size_t kVideoAccessUnitBytes = 24;
constexpr size_t kAudioAccessUnitBytes = 12;

// The 33-bit clock wraps after about 26.5 hours; stamps are kept unwrapped in memory so the
// buffer model never waits for a time that has wrapped, and masked where they are written.
constexpr uint64_t kTimeStampMask = (uint64_t{1} << 33) - 1;

// A time stamp from a tick count held as a double: its integer part (0 for negative values).
uint64_t TimeStampFromTicks(double ticks);

bool WriteVideoAccessUnit(std::FILE* list, const VideoAccessUnit& unit);
bool WriteAudioAccessUnit(std::FILE* list, const AudioAccessUnit& unit);
// False at the end of the list or on a short record.
bool ReadVideoAccessUnit(std::FILE* list, VideoAccessUnit& unit);
bool ReadAudioAccessUnit(std::FILE* list, AudioAccessUnit& unit);

}  // namespace quendrolix
