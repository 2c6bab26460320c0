#include "mpeg/audio/mp2_engine.h"

namespace quendrolix {

void Mp2EngineState::ResetParameters() {
  parameters = Mp2EncoderParameters{};
  zeroFilledFrames = 0;
  damagedSource = false;
}

void Mp2EngineState::ResetAsAtProgramStart() {
  ResetParameters();
  filterBank.Reset();
  model.Reset();
  smoothing = SmoothingHistory{};
}

Mp2EngineState& Mp2Engine() {
  static Mp2EngineState* state = new Mp2EngineState();  // lives until the process ends
  return *state;
}

}  // namespace quendrolix
