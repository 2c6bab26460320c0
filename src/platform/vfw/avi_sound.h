#pragma once

// Sound streams decoded to PCM by the library decoders: what our own readers do not take
// as it is stored (MP3, AC-3, ADPCM, PCM at other depths, float, many channels) comes
// out as 16-bit PCM at a requested rate and layout.

#include <memory>
#include <string>
#include <vector>

#include "platform/av/audio_decoder.h"
#include "platform/vfw/vfw.h"

namespace quendrolix {

// The stored sound of `stream` (an audio stream of an AVI or WAV file) through a library
// decoder. The stream gets a reference of its own. Null with a reason when the stream is
// not sound or no decoder takes its format.
std::unique_ptr<av::AudioDecoder> OpenStreamSoundDecoder(PAVISTREAM stream, std::string* error);

// Writes the sound of `stream` decoded, as a 16-bit PCM WAV file at the stream's own rate,
// mono or stereo (more channels are mixed down to two). The file is written under a
// temporary name and renamed into place only when complete. False with a reason when the
// sound cannot be decoded or the file written.
bool SaveStreamAsPcmWav(PAVISTREAM stream, const std::string& wavPath, std::string* error);

// True when the format record is plain PCM of 8 or 16 bits, mono or stereo, whole
// sample frames: sound that the program's own readers take as it is stored.
bool IsPlainPcm8Or16(const std::vector<uint8_t>& format);

}  // namespace quendrolix
