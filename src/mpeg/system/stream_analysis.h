#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quendrolix {

// What the video scan learns; sizes and rates from the first sequence header.
struct VideoStreamInfo {
  uint64_t streamLength = 0;  // bytes, up to the end of the last recorded picture
  unsigned sequenceHeaders = 0;
  unsigned sequenceEndCodes = 0;
  unsigned groupsOfPictures = 0;
  unsigned pictures = 0;             // every picture start code, recorded or not
  unsigned recordedPictures = 0;     // pictures written to the access-unit list
  unsigned picturesPerType[4] = {};  // I, P, B, D
  uint64_t totalSizePerType[4] = {};
  unsigned averageSizePerType[4] = {};
  unsigned horizontalSize = 0;
  unsigned verticalSize = 0;
  unsigned aspectRatioCode = 0;
  unsigned pictureRateCode = 0;
  unsigned bitRate = 0;  // the header's field, 400 bit/s units (0x3FFFF: variable)
  unsigned vbvBufferSize = 0;
  unsigned constrainedParametersFlag = 0;
  unsigned computedBitRate = 0;  // 400 bit/s units, a multiple of 25
  double secondsPerPicture = 0.04;
};

// What the audio scan learns; the header fields are the first frame's.
struct AudioStreamInfo {
  uint64_t streamLength = 0;  // bytes, up to the end of the last complete frame
  unsigned frames = 0, framesWithoutPadding = 0, framesWithPadding = 0;
  unsigned frameLength = 0;  // bytes without padding
  unsigned paddedFrameLength = 0;
  unsigned layerCode = 0;  // 3 = layer I, 2 = layer II, 1 = layer III
  unsigned protectionBit = 0;
  unsigned bitrateIndex = 0;
  unsigned samplingFrequencyCode = 0;
  unsigned mode = 0, modeExtension = 0;
  unsigned copyright = 0, originalOrCopy = 0, emphasis = 0;
};

// The start-up time before any video has been scanned: 2^33 - 1 ticks.
constexpr double kNoStartupTime = 8589934591.0;

// Scans an MPEG-1 video elementary stream, writes one 24-byte record per picture to the
// list and lowers `startupTime` to the smallest PTS of the pictures recorded. The last
// picture is recorded with or without a sequence end code after it, when it has coded
// data. A malformed stream, or one without a single complete picture, logs its error line
// and throws CFileException. The list file is written, not opened or closed.
void AnalyseVideoStream(std::FILE* video, std::FILE* list, VideoStreamInfo& info,
                        double& startupTime);
// The same on files; a list that cannot be created logs "Error: couldn't open %s".
void AnalyseVideoStream(const std::string& videoPath, const std::string& listPath,
                        VideoStreamInfo& info, double& startupTime);

// Scans an MPEG audio stream (layer I or II; layer III is read with its own tables), writes
// one 12-byte record per complete frame with PTS = frame time + `startupTime`. Each frame
// is measured by its own header (bit rate, padding, layer, frequency); the info record
// keeps the first header's fields. A stream without a complete frame logs its error line
// and throws CFileException.
void AnalyseAudioStream(std::FILE* audio, std::FILE* list, double startupTime,
                        AudioStreamInfo& info);
void AnalyseAudioStream(const std::string& audioPath, const std::string& listPath,
                        double startupTime, AudioStreamInfo& info);

// ISO/IEC 11172-3 bit rate in kbit/s for a layer code (3 = I, 2 = II, 1 = III) and
// bitrate_index; 0 for free format, index 15 and the reserved layer code 0.
unsigned AudioBitRateKbps(unsigned layerCode, unsigned bitrateIndex);
// Sampling frequency in Hz for the two-bit code; 0 for the reserved code 3.
unsigned AudioSamplingFrequency(unsigned code);
// Frame length in bytes, padding slot included when `padded`; 0 for unusable headers.
unsigned AudioFrameLength(unsigned layerCode, unsigned bitrateIndex, unsigned frequencyCode,
                          bool padded);
unsigned AudioSamplesPerFrame(unsigned layerCode);

}  // namespace quendrolix
