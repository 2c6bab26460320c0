#include "mpeg/system/access_unit_list.h"

#include <cmath>

namespace quendrolix {
namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutListStamp(uint8_t* p, uint64_t stamp) {
  PutLe32(p, static_cast<uint32_t>(stamp >> 32));
  PutLe32(p + 4, static_cast<uint32_t>(stamp));
}

uint64_t Stamp(const uint8_t* p) {
  return uint64_t{Le32(p)} << 32 | Le32(p + 4);
}

}  // namespace

uint64_t TimeStampFromTicks(double ticks) {
  if (!(ticks > 0)) return 0;
  if (ticks >= 1.8e19) return UINT64_MAX;
  return static_cast<uint64_t>(std::floor(ticks));
}

bool WriteVideoAccessUnit(std::FILE* list, const VideoAccessUnit& unit) {
  uint8_t record[kVideoAccessUnitBytes];
  PutLe32(record, unit.length);
  PutLe32(record + 4, unit.type);
  PutListStamp(record + 8, unit.dts);
  PutListStamp(record + 16, unit.pts);
  return std::fwrite(record, 1, sizeof record, list) == sizeof record;
}

bool WriteAudioAccessUnit(std::FILE* list, const AudioAccessUnit& unit) {
  uint8_t record[kAudioAccessUnitBytes];
  PutLe32(record, unit.length);
  PutListStamp(record + 4, unit.pts);
  return std::fwrite(record, 1, sizeof record, list) == sizeof record;
}

bool ReadVideoAccessUnit(std::FILE* list, VideoAccessUnit& unit) {
  uint8_t record[kVideoAccessUnitBytes];
  if (std::fread(record, 1, sizeof record, list) != sizeof record) return false;
  unit.length = Le32(record);
  unit.type = Le32(record + 4);
  unit.dts = Stamp(record + 8);
  unit.pts = Stamp(record + 16);
  return true;
}

bool ReadAudioAccessUnit(std::FILE* list, AudioAccessUnit& unit) {
  uint8_t record[kAudioAccessUnitBytes];
  if (std::fread(record, 1, sizeof record, list) != sizeof record) return false;
  unit.length = Le32(record);
  unit.pts = Stamp(record + 4);
  return true;
}

}  // namespace quendrolix
