#pragma once

// The fit stage as the MPG, GIF and MP4 roads use it: the project's rows from the first
// picture that loads, and a fitter that hands out each picture in the output frame.

#include <memory>
#include <string>
#include <vector>

#include "avi/picture_fitter.h"
#include "image/gif/gif_writer.h"
#include "tools/build_environment.h"

namespace quendrolix {

// MPEG-1 as our encoder codes it: widths in multiples of 16 (the nearest, 16 to 4080) and
// heights in multiples of 2 (2 to 2800).
void RoundForMpeg1(int& width, int& height);
inline constexpr const char* kMpeg1SizeRule =
    "MPEG-1 codes widths in multiples of 16 and heights in multiples of 2";
// H.264 in 4:2:0 takes even sides only (rounded down, at least 2).
void RoundToEven(int& width, int& height);
inline constexpr const char* kEvenSizeRule = "H.264 codes even widths and heights only";

struct FittedRows {
  std::shared_ptr<PictureFitter> fitter;
  FrameEntries entries;  // the rows from the first picture that loads on
  int first = -1;        // that picture's row in the project; -1 when no picture loads
  bool ok() const { return first >= 0; }
};

// The build's fitter (format and logo of doc and env, `rounding` for the road) over the
// rows; the rows before the first picture that loads are left out. With the fit "none"
// nothing is loaded here (ok, first 0, the rows as given): the road keeps its own rule.
FittedRows FitRows(const CFramewrightDoc& doc, const BuildEnvironment& env,
                   const FrameEntries& entries, SizeRounding rounding, const char* rule);

// Colours sampled evenly from every picture of the rows as the road shows them (about 2^18
// samples in all, each picture an equal share), for one colour map that serves them all.
// False when no picture gave any.
bool SampleColours(const FittedRows& rows, const FrameComposer& composer,
                   std::vector<uint8_t>& rgb);

}  // namespace quendrolix
