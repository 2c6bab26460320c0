#pragma once

// The picture options of the commands that build movies from pictures: --size and --fit
// (project new, quick-create, tiff2movie), --fps and --frames (quick-create, tiff2movie),
// and the IMAGE[,FRAMES] entries of project new.

#include <optional>
#include <string>
#include <vector>

#include "project/output_format.h"

namespace quendrolix::cli {

struct PictureArguments {
  int width = 0, height = 0;      // --size; 0 x 0: not given
  std::optional<PictureFit> fit;  // --fit
  long framesPerSecond = 0;       // 0: not given
  long framesPerPicture = 0;      // 0: not given
  bool changesFormat() const { return width > 0 || fit.has_value(); }
  // `base` with what was given put in.
  OutputFormat Apply(OutputFormat base) const;
};

// Reads the option at args[i] when it is --size or --fit (and, with `timing`, --fps or
// --frames), moving `i` past its value. False when args[i] is none of them; `error` is set
// when it is one but its value is wrong.
bool TakePictureOption(const std::vector<std::string>& args, size_t& i, bool timing,
                       PictureArguments& out, std::string& error);

// "--size WxH  ..." lines for the usage texts.
extern const char* const kSizeFitHelp;
extern const char* const kTimingHelp;

// An IMAGE[,FRAMES] entry: FRAMES is the text after the last comma when it is a whole
// number (digits only); otherwise the whole entry is the path ("Beach, Nice.jpg").
// `frames` is -1 when the entry names none.
void SplitImageEntry(const std::string& entry, std::string& path, int& frames);

}  // namespace quendrolix::cli
