#pragma once

#include <array>
#include <cstdint>

#include "mpeg/audio/analysis_filter.h"
#include "mpeg/audio/psycho_model2.h"

namespace quendrolix {

// The encoder's parameters, reset to these defaults at the start of every conversion.
struct Mp2EncoderParameters {
  int layer = 2;
  int bitRate = 128;         // kbit/s for both channels together
  bool jointStereo = false;  // carried, never set: two channels are coded as plain stereo
};

// History of the four smoothing passes that follow rate raising: the last eight input
// values each pass saw (four sample frames of stereo), carried from block to block.
struct SmoothingHistory {
  std::array<std::array<int16_t, 8>, 4> passes{};
};

// What the MP2 encoding engine keeps for the whole program run, in one place: the
// parameters and counters of the current conversion, the analysis filter bank's window
// stores, the psychoacoustic model's data and history, and the sound input's smoothing
// history. Only the parameters and counters are reset per conversion, so a second
// conversion in the same run starts from what the first one left behind.
class Mp2EngineState {
 public:
  Mp2EncoderParameters parameters;
  // Sample frames that the source failed to deliver and that were encoded as silence.
  uint64_t zeroFilledFrames = 0;
  // The source was damaged: only the part that decodes was encoded.
  bool damagedSource = false;

  mp2::AnalysisFilterBank filterBank;
  mp2::PsychoModel2 model;
  SmoothingHistory smoothing;

  // Start of a conversion: default parameters, counters at 0.
  void ResetParameters();
  // Everything as when the program starts (tests and fuzzing use this for a clean run).
  void ResetAsAtProgramStart();
};

// The process-wide engine state.
Mp2EngineState& Mp2Engine();

}  // namespace quendrolix
