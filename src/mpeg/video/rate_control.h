#pragma once

#include <cstdint>

#include "mpeg/video/encoding_parameters.h"

namespace quendrolix {

// Test Model 5 rate control: target bits per picture, a virtual buffer per picture type
// steering the macroblock quantiser, and activity modulation. Floating point throughout
// except where the model divides integers.
class RateControl {
 public:
  void InitSequence(const EncodingParameters& p);
  void InitGop(int np, int nb);
  // At the start of a picture: the target and the buffer fullness for its type.
  void InitPicture(int pictureType, uint64_t bitCount);
  // The quantiser the picture (and its first slice) starts with; also prev_mquant.
  int StartQuantiser();
  // The quantiser of macroblock k.
  int MacroblockQuantiser(int k, double activity, uint64_t bitCount);
  void UpdatePicture(uint64_t bitCount);

  // The model's state, readable for the tests.
  int r = 0;
  double avgAct = 400.0;
  int64_t R = 0;
  int Np = 0, Nb = 0;
  int64_t Xi = 0, Xp = 0, Xb = 0;
  int64_t d0i = 0, d0p = 0, d0b = 0;
  int64_t T = 0, d = 0, S = 0, Q = 0;
  double actsum = 0;
  int prevMquant = 0;
  int pictureType = 1;

 private:
  double bitRate_ = 0;
  double frameRate_ = 0;
  int macroblocks_ = 1;
};

// The budget of a slideshow's I pictures. The decoder's buffer fills at the bit rate while
// the previous picture is on screen (the first picture waits for its own share), up to a
// cap; each I picture may take what the buffer holds, and what it leaves carries over.
class SlideshowRate {
 public:
  void Init(double bitRate, double frameRate, double capBits);
  // The bits the GOP of a picture held for `holdFrames` frames may use.
  double Budget(int holdFrames);
  void Spent(double bits, int holdFrames);

 private:
  double perFrame_ = 0;
  double cap_ = 0;
  double buffer_ = 0;
  int previousHold_ = -1;
};

}  // namespace quendrolix
