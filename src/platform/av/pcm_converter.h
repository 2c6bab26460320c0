#pragma once

// Resampling and channel mixing of 16-bit interleaved PCM.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quendrolix::av {

class PcmConverter {
 public:
  // From `inRate` Hz with `inChannels` channels (1..8, the usual speaker order) to
  // `outRate` Hz with `outChannels` (1 or 2). Null with a reason for impossible values.
  static std::unique_ptr<PcmConverter> Open(int inRate, int inChannels, int outRate,
                                            int outChannels, std::string* error);
  ~PcmConverter();
  PcmConverter(const PcmConverter&) = delete;
  PcmConverter& operator=(const PcmConverter&) = delete;

  // Converts `frames` sample frames of `in` and appends what comes out to `out`.
  bool Convert(const int16_t* in, size_t frames, std::vector<int16_t>& out);
  // Appends what the filter still holds, at the end of the sound.
  bool Flush(std::vector<int16_t>& out);

 private:
  struct State;
  explicit PcmConverter(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace quendrolix::av
