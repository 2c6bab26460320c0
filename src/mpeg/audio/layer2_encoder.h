#pragma once

#include <string>

#include "mpeg/audio/pcm_source.h"

namespace quendrolix {

// Encodes `source` (opened and checked, see CheckSoundFormat) into `outputPath` as a bare
// sequence of MPEG-1 layer II frames at 44.1 kHz, with the layer and bit rate of
// Mp2Engine().parameters. Reports progress and messages to the conversion log. Returns
// when the source is exhausted and the file is complete and in place.
//
// Refusals and failures ("Error: ..." lines: a bit rate outside the layer's table, a
// layer other than II, an unsupported source, an output that cannot be written) raise
// CFileException; nothing is then left at `outputPath` in place of an earlier file.
void EncodeMp2File(const std::string& outputPath, PcmSource& source);

namespace mp2 {

// The allocation table for a per-channel bit rate (kbit/s) and sampling frequency in
// whole kHz (44 for 44.1): 0 = B.2a, 1 = B.2b, 2 = B.2c, -1 = refused.
int ChooseAllocTable(int bitRatePerChannel, int kHz);

// The bitrate_index of a layer II rate, or -1.
int Layer2BitRateIndex(int kbitPerSecond);

// Slot arithmetic of one conversion: 8-bit slots, 1152 samples per frame at 44.1 kHz.
class SlotCounter {
 public:
  explicit SlotCounter(int bitRate);
  int whole() const { return whole_; }
  double frac() const { return frac_; }
  // Whether the next frame carries the padding slot.
  bool NextFramePadded();

 private:
  int whole_;
  double frac_;
  double lag_;
};

// The scale factor selection information pattern for a pair of scale factor index
// differences; returns scfsi and adjusts the three indexes as the pattern says.
int SelectScfsi(int sf[3]);

}  // namespace mp2
}  // namespace quendrolix
