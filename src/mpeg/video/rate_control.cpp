#include "mpeg/video/rate_control.h"

#include <algorithm>
#include <cmath>

#include "mpeg/video/bitstream.h"

namespace quendrolix {

static inline int64_t Round(double v) {
  return static_cast<int64_t>(std::floor(v + 0.5));
}

void RateControl::InitSequence(const EncodingParameters& p) {
  bitRate_ = p.bitRate;
  frameRate_ = p.frameRate;
  macroblocks_ = p.mbWidth * p.mbHeight;
  r = static_cast<int>(Round(2 * bitRate_ / frameRate_));
  avgAct = 400.0;
  R = 0;
  Xi = Round(bitRate_ * 160 / 115);
  Xp = Round(bitRate_ * 60 / 115);
  Xb = Round(bitRate_ * 42 / 115);
  d0i = d0p = Round(r * 10 / 31.0);
  d0b = Round(r * 14 / 31.0);
}

void RateControl::InitGop(int np, int nb) {
  R += Round((1 + np + nb) * bitRate_ / frameRate_);
  Np = np;
  Nb = nb;
}

void RateControl::InitPicture(int type, uint64_t bitCount) {
  pictureType = type;
  double Rd = static_cast<double>(R);
  switch (type) {
    case kPictureI:
      T = Round(
          Rd / (1 + static_cast<double>(Np * Xp) / Xi + static_cast<double>(Nb * Xb) / (Xi * 1.4)));
      d = d0i;
      break;
    case kPictureP:
      T = Round(Rd / (Np + static_cast<double>(Nb * Xb) / (1.4 * Xp)));
      d = d0p;
      break;
    default:
      T = Round(Rd / (Nb + Np * 1.4 * Xp / Xb));
      d = d0b;
      break;
  }
  int64_t Tmin = Round(bitRate_ / (8 * frameRate_));
  if (T < Tmin) T = Tmin;
  S = static_cast<int64_t>(bitCount);
  Q = 0;
  actsum = 0;
}

static inline int LimitQuantiser(double doubled) {
  // mquant = 2 x floor(...); values <= 0 become 2, above 60 become 62.
  if (doubled <= 0) return 2;
  if (doubled > 60) return 62;
  return static_cast<int>(doubled);
}

int RateControl::StartQuantiser() {
  int mquant = LimitQuantiser(2 * std::floor(d * 31.0 / r + 0.5));
  prevMquant = mquant;
  return mquant;
}

int RateControl::MacroblockQuantiser(int k, double activity, uint64_t bitCount) {
  int64_t dj = d + (static_cast<int64_t>(bitCount) - S) - k * (T / macroblocks_);
  double Qj = dj * 31.0 / r;
  actsum += activity;
  double nAct = (2 * activity + avgAct) / (activity + 2 * avgAct);
  int mquant = LimitQuantiser(2 * std::floor(Qj * nAct + 0.5));
  // Small changes are not worth the bits of a new quantiser, from 8 up.
  if (mquant >= 8 && mquant - prevMquant >= -4 && mquant - prevMquant <= 4) mquant = prevMquant;
  prevMquant = mquant;
  Q += mquant;
  return mquant;
}

void RateControl::UpdatePicture(uint64_t bitCount) {
  S = static_cast<int64_t>(bitCount) - S;
  R -= S;
  int64_t X = Round(S * 0.5 * Q / macroblocks_);
  d += S - T;
  avgAct = actsum / macroblocks_;
  switch (pictureType) {
    case kPictureI:
      Xi = X;
      d0i = d;
      break;
    case kPictureP:
      Xp = X;
      d0p = d;
      --Np;
      break;
    default:
      Xb = X;
      d0b = d;
      --Nb;
      break;
  }
}

void SlideshowRate::Init(double bitRate, double frameRate, double capBits) {
  perFrame_ = bitRate / frameRate;
  cap_ = capBits;
  buffer_ = 0;
  previousHold_ = -1;
}

double SlideshowRate::Budget(int holdFrames) {
  const int arrived = previousHold_ < 0 ? holdFrames : previousHold_;
  buffer_ = std::min(cap_, buffer_ + arrived * perFrame_);
  return buffer_;
}

void SlideshowRate::Spent(double bits, int holdFrames) {
  buffer_ = std::max(0.0, buffer_ - bits);
  previousHold_ = holdFrames;
}

}  // namespace quendrolix
