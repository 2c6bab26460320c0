#pragma once

namespace quendrolix {

// The settings and counters of one MPEG conversion. There is one instance per process
// (MpegEngineSettings()); each entry operation resets it to the defaults and then
// takes the caller's non-zero arguments.
struct EngineSettings {
  int totalRateUnits = 150;         // total bit rate in units of 8192 bit/s
  int audioRate = 128;              // audio bit rate in kbit/s
  int audioLayer = 2;               // MPEG audio layer, 1 or 2
  unsigned frameRateSelection = 0;  // 0 = derive from the source, else frame_rate_code
  bool resizeRequested = false;
  int requestedWidth = 0;
  int requestedHeight = 0;
  bool noAudio = false;
  bool substituteMissingFrames = true;
  int lastGoodSourceFrame = 0;
  unsigned substitutedFrames = 0;
  int silentAudioSamples = 0;
  int vbvBufferSize = 512;    // units of 16384 bits
  int replicationFactor = 1;  // output frames per source frame
  unsigned videoTimedOut = 0;
  unsigned audioTimedOut = 0;
  bool sourceIsAvi = false;
  // The video's own bit rate in bit/s, or 0 to take what the total rate leaves (above).
  double videoRate = 0;
  // The video rate follows the picture size and frame rate (AutomaticVideoBitRate).
  bool automaticVideoRate = false;
  // Each picture change starts a closed GOP and repeats cost almost nothing: for lists
  // whose frames repeat (the source says which ones do).
  bool slideshow = false;

  void Reset() { *this = EngineSettings{}; }
};

EngineSettings& MpegEngineSettings();

}  // namespace quendrolix
