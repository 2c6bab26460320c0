#pragma once

#include <cstdint>
#include <vector>

namespace quendrolix {

// Where one coded picture lies in the stream, in bits from its first byte: its data begins
// at `start` (with the sequence or GOP header before it, which the decoder takes with it)
// and its picture start code ends at `startCodeEnd`.
struct CodedPictureBits {
  uint64_t start = 0;
  uint64_t startCodeEnd = 0;
  uint64_t vbvDelayAt = 0;  // the position of its 16-bit vbv_delay field
  int type = 0;
};

// What the stream needs of a decoder's buffer once it is written. A decoder fed at the
// bit rate from the first byte takes one picture per frame period in coded order.
struct VbvOutcome {
  // Constant rate: every picture has arrived by its decoding time, and each vbv_delay
  // fits its 16 bits. Otherwise the stream is of variable rate (vbv_delay 0xFFFF): the
  // decoder's input stops while its buffer is full.
  bool constantRate = false;
  std::vector<int> vbvDelays;  // per picture, 90 kHz ticks (0xFFFF when variable)
  uint64_t bufferBits = 0;     // the most the buffer holds before a picture leaves
  int bufferSize = 1;          // vbv_buffer_size: units of 16384 bits, 1 to 1023
  double startupSeconds = 0;   // from the first byte to the first picture's decoding
};

constexpr int kMaxVbvBufferSize = 1023;
constexpr int kVariableVbvDelay = 0xFFFF;

// `endBits` is where the stream ends (after the sequence end code). With `variableOnly`
// the constant-rate reading is not tried (streams whose rate is variable by design).
VbvOutcome AnalyseVbv(const std::vector<CodedPictureBits>& pictures, uint64_t endBits,
                      double bitRate, double frameRate, bool variableOnly = false);

}  // namespace quendrolix
