// join, tiff2movie: two AVIs one after the other, or the pages of a multi-page TIFF, built
// into a new AVI or MPG through Quick create, as "Join 2 AVI-s Together..." and
// "Multi-page TIFF->AVI/MPEG Converter..." make them.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_command.h"
#include "console_log.h"
#include "headless_build.h"
#include "picture_arguments.h"
#include "tools/join_avis.h"
#include "tools/tiff_to_movie.h"

namespace quendrolix::cli {
namespace {

const char kJoinUsage[] =
    "Usage: quendrolix-cli join FIRST.avi SECOND.avi OUTPUT\n"
    "\n"
    "Writes every frame of FIRST followed by every frame of SECOND into OUTPUT, as \"Join 2\n"
    "AVI-s Together...\" does: the frames are laid out in the program folder's Temp folder\n"
    "and built by Quick create (an MP4 when OUTPUT ends in \".mp4\", an MPG when it holds\n"
    "\".mpg\" or \".mpeg\", an AVI otherwise) at the frames per second, colour depth and default "
    "frame count of\n"
    "Clipora.ini. SECOND's frames are fitted into FIRST's frame size (letterbox).\n"
    "The path of the finished movie is printed. Exits with 1 when nothing was\n"
    "made.";

const char kTiffUsageText[] =
    "Usage: quendrolix-cli tiff2movie TIFF OUTPUT [--fps N] [--frames N] [--size WxH]\n"
    "                                 [--fit NAME]\n"
    "\n"
    "Writes the pages of a multi-page TIFF file into OUTPUT, as \"Multi-page TIFF->AVI/MPEG\n"
    "Converter...\" does: the pages are laid out in the program folder's Temp folder and\n"
    "built by Quick create (an MP4 when OUTPUT ends in \".mp4\", an MPG when it holds\n"
    "\".mpg\" or \".mpeg\", an AVI otherwise). Every page is fitted into the output frame.\n"
    "The path of the finished movie is printed. Exits with 1 when nothing was made.\n";

std::string TiffUsage() {
  return std::string(kTiffUsageText) + kTimingHelp + "\n" + kSizeFitHelp;
}

bool NonEmpty(const std::vector<std::string>& args) {
  for (const std::string& a : args)
    if (a.empty()) return false;
  return true;
}

// The tool's own messages have been shown; an input without frames says nothing there, so
// the console says it.
int ToolExitStatus(const char* command, FrameToolStatus status, const std::string& nothing) {
  if (status == FrameToolStatus::kBuilt) return kExitOk;
  if (status == FrameToolStatus::kIncomplete) return kExitIncomplete;
  if (status == FrameToolStatus::kNothingToJoin) {
    TheConsoleLog().ClearBar();
    std::fprintf(stderr, "quendrolix-cli %s: %s\n", command, nothing.c_str());
  }
  return kExitFailure;
}

int RunJoin(const std::vector<std::string>& args) {
  if (args.size() != 3 || !NonEmpty(args))
    return UsageError("join", "needs FIRST, SECOND and OUTPUT");
  HeadlessProject project;
  project.Start({});
  ConsolePlayback playback;
  BuildEnvironment env;
  env.playback = &playback;
  return ToolExitStatus("join", JoinAvis(project.doc, args[0], args[1], args[2], env),
                        "no frames could be read from " + args[0] + " or " + args[1]);
}

int RunTiffToMovie(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  PictureArguments pictures;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    if (TakePictureOption(args, i, true, pictures, error)) {
      if (!error.empty()) return UsageError("tiff2movie", error);
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return UsageError("tiff2movie", "unknown option " + args[i]);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2 || !NonEmpty(positional))
    return UsageError("tiff2movie", "needs TIFF and OUTPUT");
  HeadlessProject project;
  project.Start({});
  if (pictures.framesPerSecond)
    project.doc.framesPerSecond = static_cast<int16_t>(pictures.framesPerSecond);
  const OutputFormat format = pictures.Apply(project.doc.output);
  ConsolePlayback playback;
  BuildEnvironment env;
  env.playback = &playback;
  env.format = &format;
  return ToolExitStatus("tiff2movie",
                        ConvertTiffToMovie(project.doc, positional[0], positional[1], env,
                                           static_cast<int>(pictures.framesPerPicture)),
                        "no pages could be read from " + positional[0]);
}

const CliRegistration kJoin({"join", "join two AVIs into one AVI or MPG", kJoinUsage, RunJoin});
const CliRegistration kTiff({"tiff2movie",
                             "build the pages of a multi-page TIFF into an AVI or MPG", TiffUsage(),
                             RunTiffToMovie});

}  // namespace
}  // namespace quendrolix::cli
