// quendrolix-cli project: make a project file from a list of images, and show one.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli_command.h"
#include "headless_build.h"
#include "picture_arguments.h"
#include "platform/host/user_prompts.h"
#include "project/framewright_doc.h"
#include "project/text_numbers.h"

namespace quendrolix::cli {
namespace {
namespace fs = std::filesystem;

const char* const kUsageText =
    "Usage: quendrolix-cli project new OUT.qdx [--fps N] [--bpp 8|16|24] [--sound FILE]\n"
    "                                  [--size WxH] [--fit NAME]\n"
    "                                  [--sound-fit trim|fit|keep] IMAGE[,COUNT]...\n"
    "       quendrolix-cli project show FILE\n"
    "\n"
    "new   writes a new project file holding the images in the order given. COUNT, the\n"
    "      text after the last comma when it is a whole number, is the number of frames\n"
    "      the image stays on screen; otherwise the whole entry is the path (so\n"
    "      \"Beach, Nice.jpg\" is a picture). Without COUNT, or when it is not above 0,\n"
    "      the default frame count (\"Replicate\" of Clipora.ini, else 1) is used.\n"
    "      --fps N      frames per second (default: \"FPS\" of Clipora.ini, else 10)\n"
    "      --bpp B      colour depth 8, 16 or 24 (default: \"BPP\" of Clipora.ini, else 24)\n"
    "      --sound FILE the sound file to attach\n"
    "%s\n"
    "      --sound-fit trim|fit|keep\n"
    "                   a sound longer or shorter than the pictures: \"trim\" (default)\n"
    "                   ends it with the last picture, faded out over half a second;\n"
    "                   \"fit\" scales every frame count so the pictures last as long as\n"
    "                   the sound; \"keep\" keeps the whole sound and holds the last\n"
    "                   picture until it ends\n"
    "show  opens FILE as the program's Open does (a project file, or a single image) and\n"
    "      prints fps, bpp and sound, then one line per image: row, name, frame count as\n"
    "      built, full path, separated by tabs. Exit status 1 when FILE could not be read\n"
    "      as a project.";

const std::string kUsage = [] {
  std::string text = kUsageText;
  text.replace(text.find("%s"), 2, kSizeFitHelp);
  return text;
}();

int Fail(const std::string& message) {
  std::fprintf(stderr, "quendrolix-cli project: %s\n", message.c_str());
  return kExitFailure;
}

int RunNew(const std::vector<std::string>& args) {
  std::string out, sound;
  long fps = -1, bpp = -1;
  std::optional<SoundFit> soundFit;
  std::vector<std::string> images;
  PictureArguments pictures;
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    std::string text;
    // The output frame and fit.
    std::string error;
    if (!optionsDone && TakePictureOption(args, i, false, pictures, error)) {
      if (!error.empty()) return UsageError("project", error);
      continue;
    }
    if (!optionsDone && a == "--") {
      optionsDone = true;
    } else if (!optionsDone && a == "--fps") {
      if (!value(text) || !ParseInt(text, fps) || fps < 1 || fps > 32767)
        return UsageError("project", "--fps needs a number from 1 to 32767");
    } else if (!optionsDone && a == "--bpp") {
      if (!value(text) || !ParseInt(text, bpp) || (bpp != 8 && bpp != 16 && bpp != 24))
        return UsageError("project", "--bpp needs 8, 16 or 24");
    } else if (!optionsDone && a == "--sound") {
      if (!value(sound) || sound.empty()) return UsageError("project", "--sound needs a file");
    } else if (!optionsDone && a == "--sound-fit") {
      SoundFit fit;
      if (!value(text) || !ParseSoundFit(text, fit))
        return UsageError("project", "--sound-fit needs trim, fit or keep");
      soundFit = fit;
    } else if (!optionsDone && a.size() > 1 && a[0] == '-') {
      return UsageError("project", "unknown option " + a);
    } else if (out.empty()) {
      out = a;
    } else {
      images.push_back(a);
    }
  }
  if (out.empty()) return UsageError("project", "new needs the project file to write");

  HeadlessProject project;
  project.StartWithDefaults();
  CFramewrightDoc& doc = project.doc;
  if (fps > 0) doc.framesPerSecond = static_cast<int16_t>(fps);
  if (bpp > 0) doc.bitsPerPixel = static_cast<int16_t>(bpp);
  doc.output = pictures.Apply(doc.output);
  if (soundFit) doc.soundFit = *soundFit;
  std::error_code ec;
  if (!sound.empty()) {
    if (!fs::is_regular_file(sound, ec)) return Fail("no such sound file: " + sound);
    doc.AttachSound(fs::absolute(sound).lexically_normal().string());
  }
  for (const std::string& entry : images) {
    std::string path;
    int count = -1;
    SplitImageEntry(entry, path, count);
    if (path.empty() || !fs::is_regular_file(path, ec)) return Fail("no such image: " + path);
    std::string full = fs::absolute(path).lexically_normal().string();
    std::string name = DisplayNameOf(full);
    doc.SetImagePath(name, full);
    doc.AddImage(name, -1, count);
  }
  return doc.SaveProjectFile(out) ? kExitOk : kExitFailure;
}

int RunShow(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("project", "show needs one file");
  HeadlessProject project;
  project.StartWithDefaults();
  switch (project.doc.OpenDocument(args[0])) {
    case OpenOutcome::kProjectRead:
    case OpenOutcome::kImageImported:
      break;
    case OpenOutcome::kSettingsFile:
      return Fail(args[0] + " is a settings file (see quendrolix-cli run)");
    default:
      return kExitFailure;  // the reader has said why
  }
  std::fputs(DescribeProject(project.doc).c_str(), stdout);
  return kExitOk;
}

int RunProject(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("project", "which: new or show?");
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "new") return RunNew(rest);
  if (args[0] == "show") return RunShow(rest);
  return UsageError("project", "unknown subcommand " + args[0]);
}

CliRegistration registration({"project", "make a project file from images, or show one", kUsage,
                              RunProject});

}  // namespace
}  // namespace quendrolix::cli
