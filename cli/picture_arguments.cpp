#include "picture_arguments.h"

#include <cctype>

#include "cli_command.h"

namespace quendrolix::cli {

const char* const kSizeFitHelp =
    "  --size WxH       output frame size (1 to 16384 each side; default: the first\n"
    "                   picture's size after its EXIF orientation); each output kind\n"
    "                   rounds it to what it codes and says so in its log\n"
    "  --fit NAME       how every picture meets the frame: letterbox (default: the whole\n"
    "                   picture scaled to fit, centred on black), crop (scaled to fill,\n"
    "                   centred), stretch, or none (not scaled: an AVI stops at a picture\n"
    "                   of another size, an MPG centres it). Scaling uses a Lanczos filter.";
const char* const kTimingHelp =
    "  --fps N          frames per second (1 to 32767)\n"
    "  --frames N       frames each picture stays on screen (1 to 32767)";

OutputFormat PictureArguments::Apply(OutputFormat base) const {
  if (width > 0) {
    base.width = width;
    base.height = height;
  }
  if (fit) base.fit = *fit;
  return base;
}

bool TakePictureOption(const std::vector<std::string>& args, size_t& i, bool timing,
                       PictureArguments& out, std::string& error) {
  const std::string& a = args[i];
  const bool hasValue = i + 1 < args.size();
  const std::string value = hasValue ? args[i + 1] : std::string();
  if (a == "--size") {
    if (!hasValue || !ParseFrameSize(value, out.width, out.height))
      error = "--size needs WxH, each side 1 to 16384 (such as 1280x720)";
  } else if (a == "--fit") {
    PictureFit fit;
    if (!hasValue || !ParsePictureFit(value, fit))
      error = "--fit needs letterbox, crop, stretch or none";
    else
      out.fit = fit;
  } else if (timing && (a == "--fps" || a == "--frames")) {
    long number = 0;
    if (!hasValue || !ParseInt(value, number) || number < 1 || number > 32767)
      error = a + " needs a number from 1 to 32767";
    else
      (a == "--fps" ? out.framesPerSecond : out.framesPerPicture) = number;
  } else {
    return false;
  }
  if (hasValue) ++i;
  return true;
}

void SplitImageEntry(const std::string& entry, std::string& path, int& frames) {
  path = entry;
  frames = -1;
  const size_t comma = entry.rfind(',');
  if (comma == std::string::npos || comma + 1 == entry.size()) return;
  const std::string tail = entry.substr(comma + 1);
  for (char c : tail)
    if (!std::isdigit(static_cast<unsigned char>(c))) return;
  if (tail.size() > 9) return;  // no count that large; such text is part of a name
  path = entry.substr(0, comma);
  frames = std::stoi(tail);
}

}  // namespace quendrolix::cli
