#pragma once

// What the library decoders take, asked by the codes AVI and WAV files store.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quendrolix::av {

// True when video stored under the FourCC `compression` (the format's biCompression) or
// the stream header's `handler` has a library decoder.
bool CanDecodeVideo(uint32_t compression, uint32_t handler);
// The library's short name of that decoder ("h264", "mpeg4"); empty when there is none.
std::string VideoDecoderName(uint32_t compression, uint32_t handler);
// True when the library decodes frames of that video independently of each other.
bool VideoIsIntraOnly(uint32_t compression, uint32_t handler);

// True when sound with this format record (WAVEFORMATEX plus extra bytes) has a library
// decoder.
bool CanDecodeAudio(const std::vector<uint8_t>& format);
// The decoder's short name ("mp3", "ac3", "adpcm_ms", "pcm_s24le"); empty when none.
std::string AudioDecoderName(const std::vector<uint8_t>& format);

}  // namespace quendrolix::av
