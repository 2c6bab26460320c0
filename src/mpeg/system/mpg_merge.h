#pragma once

#include <functional>
#include <string>

namespace quendrolix {

// Converts a WAV or AVI sound to an MP2 file; true on success. The layer II encoder
// (ConvertSoundToMp2) does it unless a caller stands in for it, as tests do.
using SoundToMp2Converter =
    std::function<bool(const std::string& soundPath, const std::string& mp2Path)>;
void SetSoundToMp2Converter(SoundToMp2Converter converter);  // empty restores the encoder

// The message box shown when a merge is abandoned by the multiplexer (string 138).
extern const char* const kMultiplexerExceptionMessage;

// The multiplexing run: checks that both files are there ("Error: %s not found"), scans the
// video and the audio into access-unit lists kept in a private temporary folder, then
// multiplexes them into `outputPath`. The counters of TheSystemStreamEngine() are reset
// first. Failures log their "Error: " line and throw CFileException; the lists are gone
// afterwards either way and a failed run leaves the previous output in place.
void MultiplexFiles(const std::string& videoPath, const std::string& audioPath,
                    const std::string& outputPath);

// Joins an MPEG-1 video elementary stream with a sound (MP2 as it is; WAV or AVI through the
// sound converter, the MP2 made beside the sound and deleted afterwards) into an MPG system
// stream. An abort by the multiplexer shows string 138 through Prompts(). True when the
// output was written.
bool MergeMpgWithSound(const std::string& mpgPath, const std::string& soundPath,
                       const std::string& outputPath);

// The merge command after its dialog: logs "Multiplexing...", appends ".mpg" to an output
// name without a ".", merges, reports the multiplexer's counters and logs "Mp2 engine
// closed". `finalOutput` receives the name written, for the recent-output slot;
// `incomplete` whether a damaged stretch of the sound was left out (a warning named it).
bool MergeMpgCommand(const std::string& mpgPath, const std::string& soundPath,
                     const std::string& outputPath, std::string* finalOutput = nullptr,
                     bool* incomplete = nullptr);

}  // namespace quendrolix
