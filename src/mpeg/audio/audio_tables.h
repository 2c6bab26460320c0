#pragma once

// Constant tables of the layer II encoder and its psychoacoustic model. The standard's
// own tables (allocation B.2a-c, analysis window C.1, model 2's absolute threshold) are
// generated from the published data by make_tables.py; the rest are derived here or
// are the program's own.

#include <array>
#include <cstdint>

namespace quendrolix::mp2 {

// One row of an allocation table as published.
struct AllocRow {
  uint16_t subband, index, steps, bits, group, quant;
};

extern const int kSblimitB2a, kSblimitB2b, kSblimitB2c;
extern const AllocRow kAllocRowsB2a[288];
extern const AllocRow kAllocRowsB2b[300];
extern const AllocRow kAllocRowsB2c[80];
extern const double kAnalysisWindow[512];
extern const double kAbsoluteThreshold44100[513];

// The held form of an allocation table: 32 subbands of 16 rows of (steps, bits, group,
// quant). Row 0 of a subband carries its allocation-field width (nbal) in `bits`.
struct AllocEntry {
  unsigned steps = 0, bits = 0, group = 0, quant = 0;
};
struct AllocTable {
  int number = -1;  // 0 = B.2a, 1 = B.2b, 2 = B.2c
  int sblimit = 0;
  AllocEntry rows[32][16] = {};
};
enum AllocTableNumber { kTableB2a = 0, kTableB2b = 1, kTableB2c = 2 };
const AllocTable& HeldAllocTable(AllocTableNumber number);

// Layer II bit rates in kbit/s by bitrate_index; index 0 (free format) holds 0.
inline constexpr std::array<int, 15> kLayer2BitRates = {0,   32,  48,  56,  64,  80,  96, 112,
                                                        128, 160, 192, 224, 256, 320, 384};
// Layer I bit rates, which the callers' rate check also accepts.
inline constexpr std::array<int, 15> kLayer1BitRates = {0,   32,  64,  96,  128, 160, 192, 224,
                                                        256, 288, 320, 352, 384, 416, 448};

// Signal-to-noise ratio in dB by quantisation class + 1; entry 0 is "no allocation".
inline constexpr std::array<double, 18> kSnrTable = {0.00,  7.00,  11.00, 16.00, 20.84, 25.28,
                                                     31.59, 37.75, 43.84, 49.89, 55.93, 61.96,
                                                     67.98, 74.01, 80.03, 86.05, 92.01, 98.01};

// Scale factors sent for each scfsi value.
inline constexpr std::array<int, 4> kScaleFactorsSent = {3, 2, 1, 2};

// Table B.1: 2^(1 - j/3) for j = 0..62, and 1e-20 for the index of uncoded subbands.
const std::array<double, 64>& ScaleFactorValues();

// Layer II quantisation by class: steps, the code-word magnitude bits n (2^n codes
// hold one sign half), A = steps / 2^(n+1) and B = A - 1.
struct QuantClass {
  unsigned steps;
  int n;
  double a, b;
};
inline constexpr int kQuantClasses = 17;
const std::array<QuantClass, kQuantClasses>& QuantClasses();

}  // namespace quendrolix::mp2
