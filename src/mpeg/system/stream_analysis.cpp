#include "mpeg/system/stream_analysis.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "mpeg/audio/audio_tables.h"
#include "mpeg/system/access_unit_list.h"
#include "mpeg/system/bit_reader.h"
#include "platform/host/conversion_log.h"
#include "platform/host/file_exception.h"
#include "platform/host/file_handle.h"

namespace quendrolix {
namespace {

constexpr uint32_t kSequenceHeaderCode = 0x000001B3;
constexpr uint32_t kPictureStart = 0x00;
constexpr uint32_t kSequenceHeader = 0xB3;
constexpr uint32_t kSequenceEnd = 0xB7;
constexpr uint32_t kGroupStart = 0xB8;
constexpr uint32_t kFirstSlice = 0x01;
constexpr uint32_t kLastSlice = 0xAF;

// Pictures per second of frame_rate_code 1 to 8.
constexpr double kPictureRates[8] = {23.976, 24, 25, 29.97, 30, 50, 59.94, 60};

// Layer III bit rates in kbit/s by bitrate_index (layers I and II come from the audio
// encoder's tables).
constexpr unsigned kLayer3BitRates[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                          112, 128, 160, 192, 224, 256, 320};
constexpr unsigned kSamplingFrequencies[3] = {44100, 48000, 32000};

[[noreturn]] void MarkerBitMissing(uint64_t bitPosition) {
  AbortConversion(StringPrintf("Error: MPEG stream at %llul: marker bit not found",
                               static_cast<unsigned long long>(bitPosition)));
}

void WriteOrAbort(bool written) {
  if (!written) AbortConversion("Error: couldn't write the access-unit list");
}

// An input with a stdio buffer large enough that a long stream costs few system calls.
struct InputFile {
  std::unique_ptr<char[]> buffer;
  FileHandle file;  // after its buffer, so it is closed first
};

InputFile OpenInput(const std::string& path) {
  InputFile input;
  input.file.reset(std::fopen(path.c_str(), "rb"));
  if (!input.file) AbortConversion(StringPrintf("Error: %s not found", path.c_str()));
  constexpr size_t kBufferSize = 1 << 16;
  input.buffer.reset(new char[kBufferSize]);
  std::setvbuf(input.file.get(), input.buffer.get(), _IOFBF, kBufferSize);
  return input;
}

FileHandle CreateList(const std::string& path) {
  FileHandle file(std::fopen(path.c_str(), "wb"));
  if (!file) AbortConversion(StringPrintf("Error: couldn't open %s", path.c_str()));
  return file;
}

void CloseList(FileHandle& list) {
  std::FILE* f = list.release();
  if (std::fclose(f) != 0) AbortConversion("Error: couldn't write the access-unit list");
}

}  // namespace

unsigned AudioBitRateKbps(unsigned layerCode, unsigned bitrateIndex) {
  if (layerCode < 1 || layerCode > 3 || bitrateIndex > 14) return 0;
  // layer_code 3 is layer I, 2 layer II, 1 layer III.
  if (layerCode == 3) return static_cast<unsigned>(mp2::kLayer1BitRates[bitrateIndex]);
  if (layerCode == 2) return static_cast<unsigned>(mp2::kLayer2BitRates[bitrateIndex]);
  return kLayer3BitRates[bitrateIndex];
}

unsigned AudioSamplingFrequency(unsigned code) {
  return code < 3 ? kSamplingFrequencies[code] : 0;
}

unsigned AudioSamplesPerFrame(unsigned layerCode) {
  return layerCode == 3 ? 384 : 1152;
}

unsigned AudioFrameLength(unsigned layerCode, unsigned bitrateIndex, unsigned frequencyCode,
                          bool padded) {
  unsigned kbps = AudioBitRateKbps(layerCode, bitrateIndex);
  unsigned hz = AudioSamplingFrequency(frequencyCode);
  if (kbps == 0 || hz == 0) return 0;
  // Integer arithmetic: 144 x 56 / 48 must give 168, not 167.99...
  if (layerCode == 3) return (12 * kbps * 1000 / hz + (padded ? 1 : 0)) * 4;  // 4-byte slots
  return 144 * kbps * 1000 / hz + (padded ? 1 : 0);
}

void AnalyseVideoStream(std::FILE* video, std::FILE* list, VideoStreamInfo& info,
                        double& startupTime) {
  info = VideoStreamInfo{};
  StreamSource source(video);
  BitReader bits(source);

  if (bits.Read(32) != kSequenceHeaderCode) AbortConversion("Error: invalid MPG header");
  info.horizontalSize = bits.Read(12);
  info.verticalSize = bits.Read(12);
  info.aspectRatioCode = bits.Read(4);
  info.pictureRateCode = bits.Read(4);
  info.bitRate = bits.Read(18);
  const unsigned marker = bits.Read(1);
  if (bits.endOfStream()) AbortConversion("Error: invalid MPG header");
  if (marker == 0) MarkerBitMissing(bits.bitsConsumed() - 1);
  info.vbvBufferSize = bits.Read(10);
  info.constrainedParametersFlag = bits.Read(1);
  info.sequenceHeaders = 1;

  const unsigned code = info.pictureRateCode;
  const double secondsPerPicture = code >= 1 && code <= 8 ? 1.0 / kPictureRates[code - 1] : 0.04;
  info.secondsPerPicture = secondsPerPicture;

  // The open unit runs from unitStart to the next picture start code (or just past a
  // sequence end code), so the headers before a picture travel with the unit before it.
  uint64_t unitStart = 0;
  bool unitOpen = false;
  bool unitHasSlice = false;  // the open picture has coded data, not just its header
  VideoAccessUnit unit;
  double unitPts = 0;
  unsigned picturesSinceGroup = 0;
  auto closeUnit = [&](uint64_t end) {
    uint64_t length = end - unitStart;
    if (length > UINT32_MAX)
      AbortConversion(StringPrintf("Error: picture at byte %llu is too large",
                                   static_cast<unsigned long long>(unitStart)));
    unit.length = static_cast<uint32_t>(length);
    WriteOrAbort(WriteVideoAccessUnit(list, unit));
    if (unit.type >= kPictureI && unit.type <= kPictureD)
      info.totalSizePerType[unit.type - 1] += length;
    ++info.recordedPictures;
    info.streamLength = end;
    unitStart = end;
    // Only pictures that are multiplexed may set when the sound starts.
    startupTime = std::min(startupTime, unitPts);
  };

  while (bits.NextStartCode()) {
    const uint64_t codePosition = bits.bytePosition() - 3;
    const uint32_t value = bits.Read(8);
    if (bits.endOfStream()) break;
    switch (value) {
      case kPictureStart: {
        if (unitOpen) closeUnit(codePosition);
        const unsigned temporalReference = bits.Read(10);
        unit.type = bits.Read(3);
        const double n = info.pictures;
        const double g = picturesSinceGroup;
        unit.dts = TimeStampFromTicks(n * secondsPerPicture * 90000);
        // temporal_reference counts modulo 1024: a group longer than that (a picture held
        // for minutes in a slideshow) goes on counting, so the display position is the one
        // nearest to the decode position with those ten bits.
        const int64_t wrapped =
            (static_cast<int64_t>(temporalReference) - static_cast<int64_t>(picturesSinceGroup)) &
            1023;
        const double display = g + static_cast<double>(wrapped >= 512 ? wrapped - 1024 : wrapped);
        const double pts = (display + n - g + 1) * secondsPerPicture * 90000;
        unit.pts = TimeStampFromTicks(pts);
        unitPts = pts;
        unitHasSlice = false;
        ++info.pictures;
        ++picturesSinceGroup;
        if (unit.type >= kPictureI && unit.type <= kPictureD) ++info.picturesPerType[unit.type - 1];
        unitOpen = true;
        break;
      }
      case kSequenceHeader:
        ++info.sequenceHeaders;
        break;
      case kSequenceEnd:
        // Without a picture in it the bytes so far stay with the next unit, so the units
        // always tile the stream from its first byte.
        if (unitOpen) closeUnit(codePosition + 4);
        unitOpen = false;
        ++info.sequenceEndCodes;
        break;
      case kGroupStart:
        ++info.groupsOfPictures;
        picturesSinceGroup = 0;
        break;
      default:
        if (value >= kFirstSlice && value <= kLastSlice) unitHasSlice = true;
        break;
    }
  }
  // A stream that ends without a sequence end code still ends with its last picture, when
  // that picture has coded data: it runs to the end of the stream.
  if (unitOpen && unitHasSlice) closeUnit(bits.bytePosition());
  if (info.recordedPictures == 0)
    AbortConversion("Error: the video stream holds no complete picture");

  for (int t = 0; t < 4; ++t)
    if (info.picturesPerType[t] != 0)
      info.averageSizePerType[t] =
          static_cast<unsigned>(info.totalSizePerType[t] / info.picturesPerType[t]);
  if (info.pictures != 0) {
    double unitsOf10k = std::ceil(static_cast<double>(info.streamLength) / info.pictures /
                                  secondsPerPicture / 1250);
    info.computedBitRate = static_cast<unsigned>(std::min(unitsOf10k * 25, 4.0e9));
  }
}

void AnalyseVideoStream(const std::string& videoPath, const std::string& listPath,
                        VideoStreamInfo& info, double& startupTime) {
  InputFile video = OpenInput(videoPath);
  FileHandle list = CreateList(listPath);
  AnalyseVideoStream(video.file.get(), list.get(), info, startupTime);
  CloseList(list);
}

void AnalyseAudioStream(std::FILE* audio, std::FILE* list, double startupTime,
                        AudioStreamInfo& info) {
  info = AudioStreamInfo{};
  StreamSource source(audio);
  BitReader bits(source);

  if (bits.Read(12) != 0xFFF) AbortConversion("Error: invalid audio header");
  const unsigned id = bits.Read(1);
  if (bits.endOfStream()) AbortConversion("Error: invalid audio header");
  if (id == 0) MarkerBitMissing(bits.bitsConsumed() - 1);
  info.layerCode = bits.Read(2);
  info.protectionBit = bits.Read(1);
  info.bitrateIndex = bits.Read(4);
  info.samplingFrequencyCode = bits.Read(2);
  unsigned padding = bits.Read(1);
  bits.Read(1);  // private bit
  info.mode = bits.Read(2);
  info.modeExtension = bits.Read(2);
  info.copyright = bits.Read(1);
  info.originalOrCopy = bits.Read(1);
  info.emphasis = bits.Read(2);
  // Free format, a bad bit rate or frequency would give no frame length to walk by.
  info.frameLength =
      AudioFrameLength(info.layerCode, info.bitrateIndex, info.samplingFrequencyCode, false);
  info.paddedFrameLength =
      AudioFrameLength(info.layerCode, info.bitrateIndex, info.samplingFrequencyCode, true);
  if (bits.endOfStream() || info.frameLength == 0) AbortConversion("Error: invalid audio header");

  // Every frame is walked by its own header: a stream whose bit rate (or layer, or
  // frequency) changes keeps its frames whole and its time stamps right.
  unsigned layer = info.layerCode, bitrateIndex = info.bitrateIndex,
           frequencyCode = info.samplingFrequencyCode;
  // Time from the first frame in 90 kHz ticks: frames since the last change of frame
  // duration, times that duration, after the time up to that change.
  double segmentStart = 0;
  unsigned framesInSegment = 0;
  auto frameTicks = [](unsigned layerCode, unsigned code) {
    return static_cast<double>(AudioSamplesPerFrame(layerCode)) /
           (AudioSamplingFrequency(code) / 1000.0) * 90;
  };
  double ticksPerFrame = frameTicks(layer, frequencyCode);
  for (;;) {
    const unsigned length = AudioFrameLength(layer, bitrateIndex, frequencyCode, padding != 0);
    if (length == 0) break;  // a header no frame can follow: the stream ends here
    // A frame cut short by the end of the file is left out: the multiplexer must find
    // every byte that a record promises.
    if (bits.SkipBytes(length - 4) < length - 4) break;
    AudioAccessUnit unit;
    unit.length = length;
    const double duration = frameTicks(layer, frequencyCode);
    if (duration != ticksPerFrame) {
      segmentStart += framesInSegment * ticksPerFrame;
      framesInSegment = 0;
      ticksPerFrame = duration;
    }
    unit.pts = TimeStampFromTicks(framesInSegment * ticksPerFrame + segmentStart + startupTime);
    ++framesInSegment;
    WriteOrAbort(WriteAudioAccessUnit(list, unit));
    ++info.frames;
    ++(padding ? info.framesWithPadding : info.framesWithoutPadding);
    info.streamLength = bits.bytePosition();

    if (bits.Read(12) != 0xFFF || bits.endOfStream()) break;
    if (bits.Read(1) == 0) MarkerBitMissing(bits.bitsConsumed() - 1);
    layer = bits.Read(2);
    bits.Read(1);  // protection
    bitrateIndex = bits.Read(4);
    frequencyCode = bits.Read(2);
    padding = bits.Read(1);
    bits.Read(9);  // private bit, mode, mode extension, copyright, original, emphasis
    if (bits.endOfStream()) break;
  }
  if (info.frames == 0) AbortConversion("Error: the audio stream holds no complete frame");
}

void AnalyseAudioStream(const std::string& audioPath, const std::string& listPath,
                        double startupTime, AudioStreamInfo& info) {
  InputFile audio = OpenInput(audioPath);
  FileHandle list = CreateList(listPath);
  AnalyseAudioStream(audio.file.get(), list.get(), startupTime, info);
  CloseList(list);
}

}  // namespace quendrolix
