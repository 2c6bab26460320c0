#include "mpeg/video/encoding_parameters.h"

#include <algorithm>
#include <cmath>

#include "mpeg/video/engine_memory.h"
#include "platform/host/conversion_log.h"

namespace quendrolix {

double FrameRateOfCode(int code) {
  switch (code) {
    case 1:
      return 24000.0 / 1001.0;
    case 2:
      return 24.0;
    case 3:
      return 25.0;
    case 4:
      return 30000.0 / 1001.0;
    case 5:
      return 30.0;
    case 6:
      return 50.0;
    case 7:
      return 60000.0 / 1001.0;
    case 8:
      return 60.0;
    default:
      return 0.0;
  }
}

bool CheckPictureSize(int width, int height, int maxWidth) {
  if (width <= maxWidth && height <= kMaxVerticalSize) return true;
  ReportLine("Error: frame is too big (%dx%d pixels)", width, height);
  ReportLine("MPEG-1 pictures are at most %d pixels wide and %d lines high", maxWidth,
             kMaxVerticalSize);
  return false;
}

double AutomaticVideoBitRate(int width, int height, double frameRate) {
  constexpr double kBitsPerPixel = 1150000.0 / (352.0 * 288.0 * 25.0);
  double rate = kBitsPerPixel * width * height * frameRate;
  rate = std::clamp(rate, 150000.0, kMaxBitRate);
  return std::floor(rate / 400.0 + 0.5) * 400.0;
}

static const char* FrameRateText(int code) {
  static const char* const kTexts[] = {"23.976", "24", "25", "29.97", "30", "50", "59.94", "60"};
  return code >= 1 && code <= 8 ? kTexts[code - 1] : nullptr;
}

int EncodingParameters::TimeCodeRate() const {
  return static_cast<int>(std::floor(frameRate + 0.5));
}

int EncodingParameters::BitRateField() const {
  return static_cast<int>(std::ceil(bitRate / 400.0));
}

bool FrameRateFromSource(uint32_t rate, uint32_t scale, int& code, int& replication) {
  // g = integer part of 100 x rate / scale; every bound is exclusive.
  uint64_t g = scale ? (uint64_t{100} * rate) / scale : 0;
  struct Range {
    uint64_t low, high;
    int code, replication;
  };
  static constexpr Range kRanges[] = {
      {951, 1009, 5, 3},  {1151, 1249, 2, 2}, {1451, 1549, 5, 2}, {2351, 2399, 1, 1},
      {2400, 2449, 2, 1}, {2451, 2549, 3, 1}, {2951, 2999, 4, 1}, {3000, 3049, 5, 1},
  };
  for (const Range& r : kRanges) {
    if (g >= r.low && g <= r.high) {
      code = r.code;
      replication = r.replication;
      return true;
    }
  }
  return false;
}

bool NearestCodedFrameRate(double fps, int& code) {
  if (!(fps > 0)) return false;
  double bestError = 1e300;
  for (int c = 1; c <= 5; ++c) {
    const double rate = FrameRateOfCode(c);
    // How far from a whole number of coded frames per source frame (or source frames per
    // coded frame), relative to it.
    const double ratio = rate >= fps ? rate / fps : fps / rate;
    const double error = std::abs(ratio - std::round(ratio)) / ratio;
    if (error <= bestError + 1e-9) {
      bestError = error;
      code = c;
    }
  }
  return true;
}

int EncodingParameters::SourceFrameOf(int n) const {
  if (sourceStep > 0) return static_cast<int>(std::floor((n + 0.5) * sourceStep));
  return n / std::max(1, replication);
}

bool DeriveEncodingParameters(const SourceDescription& source, EngineSettings& settings,
                              EncodingParameters& p) {
  p = EncodingParameters{};

  // Frame rate.
  int replication = 1;
  int code = static_cast<int>(settings.frameRateSelection);
  if (settings.frameRateSelection == 0) {
    const double fps = source.scale ? static_cast<double>(source.rate) / source.scale : 0.0;
    if (!FrameRateFromSource(source.rate, source.scale, code, replication)) {
      if (settings.sourceIsAvi && NearestCodedFrameRate(fps, code)) {
        // Coded at a rate MPEG-1 has, each frame shown for its own time: frames are
        // dropped or repeated, never played faster or slower than the sound.
        p.sourceStep = fps / FrameRateOfCode(code);
        ReportLine("Frame rate %.3f FPS coded at %.3f FPS, frames %s to keep the duration", fps,
                   FrameRateOfCode(code), p.sourceStep > 1 ? "dropped" : "repeated");
      } else {
        ReportLine("Error: frame rate must be 10, 12, 15, 23.976, 24, 25, 29.97, or 30 FPS");
        ReportLine("Using 23.976 FPS");
        settings.frameRateSelection = 1;
        code = 1;
        replication = 1;
      }
    }
  }
  if (settings.frameRateSelection > 8) code = 0;  // refused by the range checks below
  settings.replicationFactor = replication;
  p.replication = replication;
  p.frameRateCode = code;
  p.frameRate = FrameRateOfCode(code);
  p.frames = static_cast<int>(std::min<uint64_t>(uint64_t{source.length} * replication, 1u << 30));
  if (p.sourceStep > 0)
    // Every coded frame n shows source frame floor((n + 0.5) x step), which must exist.
    p.frames = static_cast<int>(std::clamp<double>(
        std::ceil(source.length / p.sourceStep - 0.5 - 1e-9), 1, static_cast<double>(1u << 30)));

  // Picture size: never scaled, only placed (the source reader centres, pads or crops).
  if (settings.resizeRequested) {
    p.horizontalSize = (settings.requestedWidth + 1) & ~1;
    p.verticalSize = (settings.requestedHeight + 1) & ~1;
  } else {
    p.horizontalSize = static_cast<int>((source.width + 15) / 16 * 16);
    p.verticalSize = static_cast<int>((source.height + 1) & ~1u);
  }

  if (!CheckPictureSize(p.horizontalSize, p.verticalSize)) return false;

  // Bit rate: the video's own when one is given, else what is left of the total once the
  // audio and the multiplex overhead are paid.
  if (settings.automaticVideoRate) {
    p.bitRate = AutomaticVideoBitRate(p.horizontalSize, p.verticalSize, p.frameRate);
  } else if (settings.videoRate > 0) {
    p.bitRate = std::min(std::floor(settings.videoRate / 400.0 + 0.5) * 400.0, kMaxBitRate);
  } else if (settings.noAudio) {
    p.bitRate = settings.totalRateUnits * 8192.0;
  } else {
    p.bitRate = settings.totalRateUnits * 8192.0 - settings.audioRate * 1024.0 - 32768.0;
    if (!(p.bitRate > 81920.0)) {
      ReportLine("Error: bit-rate too low (minimum:  81920)");
      return false;
    }
  }
  p.vbvBufferSize = settings.vbvBufferSize;

  ReportLine("Bit-rate: %u", static_cast<unsigned>(p.bitRate));
  if (static_cast<uint32_t>(p.horizontalSize) != source.width ||
      static_cast<uint32_t>(p.verticalSize) != source.height)
    ReportLine("Output frame size: %ix%i", p.horizontalSize, p.verticalSize);
  if (replication != 1) {
    uint64_t g = source.scale ? (uint64_t{100} * source.rate) / source.scale : 0;
    unsigned fps = static_cast<unsigned>((g + 50) / 100);
    ReportLine("Frame rate: %u FPS", fps);
    ReportLine("Frame rate with replication: %u FPS", fps * replication);
    ReportLine("Total number of frames: %u", static_cast<unsigned>(p.frames));
  }
  if (settings.frameRateSelection != 0) {
    if (const char* text = FrameRateText(static_cast<int>(settings.frameRateSelection)))
      ReportLine("Frame rate: %s FPS", text);
  }

  p.N = p.frameRateCode < 4 ? 12 : 15;
  p.M = 3;
  p.mbWidth = (p.horizontalSize + 15) / 16;
  p.mbHeight = (p.verticalSize + 15) / 16;
  p.codedWidth = 16 * p.mbWidth;
  p.codedHeight = 16 * p.mbHeight;
  p.chromaWidth = p.codedWidth / 2;
  p.chromaHeight = p.codedHeight / 2;

  int64_t macroblocks = int64_t{p.mbWidth} * p.mbHeight;
  bool largeFCode = false;
  for (const MotionTableRow& row : kMotionTable)
    largeFCode = largeFCode || row.forwardHorizontalFCode > 4 || row.forwardVerticalFCode > 4 ||
                 row.backwardHorizontalFCode > 4 || row.backwardVerticalFCode > 4;
  p.constrainedParameters = !(p.horizontalSize > 768 || p.verticalSize > 576 || macroblocks > 396 ||
                              macroblocks * p.frameRate > 9900 || p.frameRate > 30 || largeFCode);

  CheckEncodingParameters(p);
  return true;
}

void CheckEncodingParameters(const EncodingParameters& p) {
  if (p.horizontalSize < 1 || p.horizontalSize > 16383)
    FatalError("horizontal_size must be between 1 and 16383");
  if (p.horizontalSize >= 4096) FatalError("horizontal_size must be less than 4096 (MPEG-1)");
  if (p.horizontalSize % 4096 == 0) FatalError("horizontal_size must not be a multiple of 4096");
  if (p.horizontalSize % 2 != 0) FatalError("horizontal_size must be a even (4:2:0 / 4:2:2)");
  if (p.verticalSize < 1 || p.verticalSize > 16383)
    FatalError("vertical_size must be between 1 and 16383");
  if (p.verticalSize >= 4096) FatalError("vertical size must be less than 4096 (MPEG-1)");
  if (p.verticalSize % 4096 == 0) FatalError("vertical_size must not be a multiple of 4096");
  if (p.verticalSize % 2 != 0) FatalError("vertical_size must be a even (4:2:0)");
  if (p.aspectRatioCode < 1 || p.aspectRatioCode > 14)
    FatalError("pel_aspect_ratio must be between 1 and 14 (MPEG-1)");
  if (p.frameRateCode < 1 || p.frameRateCode > 8)
    FatalError("frame_rate code must be between 1 and 8");
  if (p.bitRate <= 0.0) FatalError("bit_rate must be positive");
  if (p.bitRate > ((1 << 30) - 1) * 400.0) FatalError("bit_rate must be less than 429 Gbit/s");
  if (p.bitRate > ((1 << 18) - 1) * 400.0)
    FatalError("bit_rate must be less than 104 Mbit/s (MPEG-1)");
  if (p.vbvBufferSize < 1 || p.vbvBufferSize > 0x3ffff)
    FatalError("vbv_buffer_size must be in range 1..(2^18-1)");
  if (p.vbvBufferSize >= 1024) FatalError("vbv_buffer_size must be less than 1024 (MPEG-1)");
  if (p.intraDcPrecision < 0 || p.intraDcPrecision > 3)
    FatalError("intra_dc_precision must be in range 0...3");
  for (const MotionTableRow& row : kMotionTable) {
    const int codes[] = {row.forwardHorizontalFCode, row.forwardVerticalFCode};
    for (int f : codes) {
      if (f < 1 || f > 9) FatalError("f_code must be between 1 and 9");
      if (f > 7) FatalError("f_code must be le less than 8");
    }
    if (row.forwardSearchX < 1 || row.forwardSearchY < 1)
      FatalError("search window must be positive");
  }
  for (int i = 1; i < 3; ++i) {
    const MotionTableRow& row = kMotionTable[i];
    const int codes[] = {row.backwardHorizontalFCode, row.backwardVerticalFCode};
    for (int f : codes) {
      if (f < 1 || f > 9) FatalError("f_code must be between 1 and 9");
      if (f > 7) FatalError("f_code must be le less than 8");
    }
    if (row.backwardSearchX < 1 || row.backwardSearchY < 1)
      FatalError("search window must be positive");
  }
}

}  // namespace quendrolix
