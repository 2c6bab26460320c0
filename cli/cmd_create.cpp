// create, quick-create: a project, a settings file or a folder of images made into an
// AVI or MPG file, as "Step 3: Create AVI or MPG File..." and "Quick AVI / MPG Create..."
// make them.
#include <cstdio>
#include <string>
#include <vector>

#include "avi/codec_options.h"
#include "cli_command.h"
#include "codec_arguments.h"
#include "headless_build.h"
#include "picture_arguments.h"
#include "tools/create.h"
#include "tools/quick_create.h"

namespace quendrolix::cli {
namespace {

const char kCreateUsage[] =
    "Usage: quendrolix-cli create PROJECT.qdx|SETTINGS.ini OUTPUT [--codec FOURCC]\n"
    "                             [--quality Q] [--keyframes N]\n"
    "\n"
    "Builds the project into OUTPUT as the program's Create does. A project file is opened\n"
    "after the program folder's Clipora.ini was read (logo, MPG options, codec options\n"
    "file); a settings file takes Clipora.ini's place and its \"Images\" and \"Sound\" make\n"
    "the project. A name holding \".avi\" anywhere is written as an AVI (frames per second\n"
    "and colour depth of the project, the compressor of AVI.codec, the sound merged in);\n"
    "a name ending in \".mp4\" as an MP4 (H.264 and AAC, for browsers and players; the\n"
    "project's frame rate and sound); a name holding \".gif\" as an animated GIF (the \"Gif "
    "Settings\" options: see\n"
    "gif-settings); any other name is written as an MPG (the \"MPEG\" options of the\n"
    "settings). The path of the finished movie is printed. Every picture is turned upright\n"
    "and fitted into the project's output frame (project new --size and --fit); a picture\n"
    "that cannot be loaded is left out (the one before it holds its frames) and named at\n"
    "the end, and the exit status is then 3.\n"
    "  --codec FOURCC   compressor for this build (quendrolix-cli codec --list)\n"
    "  --quality Q      0..10000 (10000 is best), for compressors with a quality setting\n"
    "  --keyframes N    a key frame every N frames; 0 = only the first";

const char kQuickUsageText[] =
    "Usage: quendrolix-cli quick-create FOLDER OUTPUT [--sound FILE] [--fps N] [--frames N]\n"
    "                                   [--size WxH] [--fit NAME]\n"
    "\n"
    "Builds every picture file of FOLDER (hidden files, folders and files of other kinds\n"
    "are passed over), in byte order of the names, each held for the default frame count\n"
    "(\"Replicate\" of Clipora.ini, else 1), as \"Quick AVI / MPG Create...\" does: an MP4\n"
    "when OUTPUT ends in \".mp4\", an MPG when it holds \".mpg\" or \".mpeg\", an AVI\n"
    "otherwise. FILE, a sound file, is\n"
    "merged in; without it an MPG carries the project's sound (\"Sound\" of Clipora.ini),\n"
    "as the program's Quick create does. The path of the finished movie is printed.\n"
    "Every picture is turned upright by its EXIF orientation and fitted into the output\n"
    "frame. A picture that cannot be loaded is left out (the one before it stays on screen\n"
    "for its frames) and named at the end; the exit status is then 3.\n"
    "  --sound FILE     a sound file to merge in\n";

std::string QuickUsage() {
  return std::string(kQuickUsageText) + kTimingHelp + "\n" + kSizeFitHelp;
}

int RunCreate(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  CodecArguments codec;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string error;
    if (TakeCodecOption(args, i, false, codec, error)) {
      if (!error.empty()) return UsageError("create", error);
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return UsageError("create", "unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2 || positional[0].empty() || positional[1].empty())
    return UsageError("create", "needs a project or settings file and an output name");

  HeadlessProject project;
  project.Start(positional[0]);
  if (project.pendingFailed) return kExitFailure;  // the reader said why
  ApplyCodecArguments(codec, CodecOptions());

  ConsolePlayback playback;
  BuildEnvironment env;
  env.playback = &playback;
  return ExitStatusOf(CreateFromProject(project.doc, positional[1], env));
}

int RunQuickCreate(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  QuickCreateRequest request;
  PictureArguments pictures;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string error;
    if (TakePictureOption(args, i, true, pictures, error)) {
      if (!error.empty()) return UsageError("quick-create", error);
    } else if (a == "--sound") {
      if (i + 1 >= args.size() || args[i + 1].empty())
        return UsageError("quick-create", "--sound needs a file");
      request.soundFile = args[++i];
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return UsageError("quick-create", "unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2 || positional[0].empty() || positional[1].empty())
    return UsageError("quick-create", "needs a folder and an output name");
  request.folder = positional[0];
  request.output = positional[1];

  HeadlessProject project;
  project.Start({});
  // What the options leave open keeps the program's own output settings.
  if (pictures.changesFormat()) request.format = pictures.Apply(project.doc.output);
  if (pictures.framesPerSecond)
    project.doc.framesPerSecond = static_cast<int16_t>(pictures.framesPerSecond);
  request.framesPerPicture = static_cast<int>(pictures.framesPerPicture);
  ConsolePlayback playback;
  BuildEnvironment env;
  env.playback = &playback;
  return ExitStatusOf(QuickCreate(project.doc, request, env));
}

const CliRegistration kCreate({"create",
                               "build a project or settings file into an AVI, MPG or animated GIF",
                               kCreateUsage, RunCreate});
const CliRegistration kQuick({"quick-create", "build every image of a folder into an AVI or MPG",
                              QuickUsage(), RunQuickCreate});

}  // namespace
}  // namespace quendrolix::cli
