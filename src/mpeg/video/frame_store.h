#pragma once

#include <cstdint>

namespace quendrolix {

// One picture in 4:2:0: a Y plane of coded width x coded height bytes and Cb, Cr planes of
// half that in each direction, rows top to bottom without gaps.
struct FrameStore {
  uint8_t* y = nullptr;
  uint8_t* cb = nullptr;
  uint8_t* cr = nullptr;
};

}  // namespace quendrolix
