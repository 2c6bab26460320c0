#pragma once

#include <string>

namespace quendrolix {

// The whole sound-to-MP2 step: opens the sound of a WAV file (or of an AVI file, through
// the opener the AVI services install), checks that the encoder can take it, and encodes
// it into `mp2Path` at layer II, 128 kbit/s. Used by the "WAV -> MP2" command, the
// project-to-MPG conversion and the MPG-and-sound merge.
//
// It resets Mp2Engine().parameters and its counters first, so the caller's layer and bit
// rate do not reach the encoder; Mp2Engine().zeroFilledFrames tells afterwards how many
// sample frames the stream failed to deliver (encoded as silence).
//
// Log lines: "Number of audio channels: %i", "Audio sampling rate: %6.3fKHz (%u bits per
// sample)", then either an "Error: ..." line for a format the encoder refuses, or
// "Audio bit-rate: %uKbits", the encoder's progress and "Audio stream closed".
//
// Returns true when the MP2 file is complete and in place. Returns false with no log line
// when the file cannot be opened or has no readable sound (`reason`, when given, says
// why), and false after the "Error: ..." line for a refused format. An encoder abort
// (for example an output that cannot be written) raises CFileException. Nothing is ever
// left at `mp2Path` in place of an earlier file unless the conversion succeeded.
// `damaged`, when given, tells whether a damaged stretch of the sound was left out.
bool ConvertSoundToMp2(const std::string& sourcePath, const std::string& mp2Path,
                       std::string* reason = nullptr, bool* damaged = nullptr);

// ConvertSoundToMp2 for the conversions that run inside another one (the MPG merge, the
// image-list road): a failure without a log line of its own is logged as
// "Error: %s could not be converted to MP2 (reason)".
bool ConvertSoundToMp2Logged(const std::string& sourcePath, const std::string& mp2Path);

// One file of the "WAV -> MP2" command: the MP2 goes beside the source, named as it is
// with the extension "mp2". `abandoned` tells an encoder abort (already logged by the
// encoder) from a refusal that only `reason` explains.
struct Mp2FileConversion {
  std::string mp2Path;
  bool ok = false;
  bool abandoned = false;
  bool incomplete = false;  // made, but a damaged stretch of the sound was left out
  std::string reason;
};
Mp2FileConversion ConvertSoundFileToMp2(const std::string& sourcePath);

}  // namespace quendrolix
