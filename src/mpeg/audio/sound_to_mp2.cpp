#include "mpeg/audio/sound_to_mp2.h"

#include <algorithm>
#include <climits>
#include <filesystem>

#include "mpeg/audio/layer2_encoder.h"
#include "mpeg/audio/mp2_engine.h"
#include "mpeg/audio/pcm_source.h"
#include "mpeg/audio/sound_stream.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"

namespace quendrolix {

bool ConvertSoundToMp2(const std::string& sourcePath, const std::string& mp2Path,
                       std::string* reason, bool* damaged) {
  if (damaged) *damaged = false;
  Mp2Engine().ResetParameters();
  // A sound file named like its own MP2 would be replaced by it.
  std::error_code ec;
  if (std::filesystem::equivalent(sourcePath, mp2Path, ec)) {
    if (reason) *reason = "the MP2 file would replace its own source";
    return false;
  }
  std::unique_ptr<SoundStreamReader> stream = OpenSoundStream(sourcePath, reason);
  if (!stream) return false;

  const WAVEFORMATEX format = stream->Format();
  ReportLine("Number of audio channels: %i", format.nChannels);
  ReportLine("Audio sampling rate: %6.3fKHz (%u bits per sample)", format.nSamplesPerSec / 1000.0,
             static_cast<unsigned>(format.wBitsPerSample));
  if (!CheckSoundFormat(*stream)) {
    if (reason) *reason = "the sound format is not supported";
    return false;
  }
  if (stream->SourceRate() != format.nSamplesPerSec)
    ReportLine("Warning: resampled from %u Hz to %u Hz", stream->SourceRate(),
               static_cast<unsigned>(format.nSamplesPerSec));
  if (stream->Damaged()) {
    ReportLine("Warning: %s is damaged; only the part that decodes is used", sourcePath.c_str());
    Mp2Engine().damagedSource = true;
    if (damaged) *damaged = true;
  }
  ReportLine("Audio bit-rate: %uKbits", static_cast<unsigned>(Mp2Engine().parameters.bitRate));
  PcmSource source(*stream);
  EncodeMp2File(mp2Path, source);
  // A sound shorter than its header says was padded with silence: say how much.
  if (Mp2Engine().zeroFilledFrames > 0)
    ReportLine("Warning: %d audio samples set to 0 length",
               static_cast<int>(std::min<uint64_t>(Mp2Engine().zeroFilledFrames, INT_MAX)));
  ReportLine("Audio stream closed");
  return true;
}

bool ConvertSoundToMp2Logged(const std::string& sourcePath, const std::string& mp2Path) {
  std::string reason;
  if (ConvertSoundToMp2(sourcePath, mp2Path, &reason)) return true;
  if (!reason.empty())
    ReportLine("Error: %s could not be converted to MP2 (%s)", sourcePath.c_str(), reason.c_str());
  return false;
}

Mp2FileConversion ConvertSoundFileToMp2(const std::string& sourcePath) {
  Mp2FileConversion result;
  result.mp2Path = std::filesystem::path(sourcePath).replace_extension("mp2").string();
  try {
    result.ok = ConvertSoundToMp2(sourcePath, result.mp2Path, &result.reason, &result.incomplete);
  } catch (const CFileException&) {
    result.abandoned = true;
    result.reason = "the conversion was abandoned";
  }
  return result;
}

}  // namespace quendrolix
