// morph: one picture cross-dissolved into another as numbered bitmaps, as "Morphing..."
// makes them.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_command.h"
#include "console_log.h"
#include "headless_build.h"
#include "tools/morph.h"
#include "tools/morph_dialog.h"

namespace quendrolix::cli {
namespace {

const char kUsage[] =
    "Usage: quendrolix-cli morph SOURCE TARGET [--steps N] [--start S] [--dir DIR]\n"
    "                            [--new PROJECT.qdx | --add PROJECT.qdx]\n"
    "\n"
    "Writes SOURCE as ImgS.bmp (four digits: Img0001.bmp), N in-between pictures and TARGET\n"
    "as Img(S+N+1).bmp, 24-bit bitmaps stamped with the logo of Clipora.ini, as \"Morphing...\"\n"
    "does. Both pictures must be of one size. The names written are printed, one a line.\n"
    "  --steps N          in-between pictures (default 20; below 1 gives 1, above 254 gives\n"
    "                     254)\n"
    "  --start S          the first number (default 1; below 0 gives 0)\n"
    "  --dir DIR          where the pictures go (default: \"Dir\" of section \"Morph\" of\n"
    "                     Clipora.ini, else the program folder's Morph); it must exist\n"
    "  --new PROJECT.qdx  also write a new project holding the pictures\n"
    "  --add PROJECT.qdx  append the pictures to that project and save it\n"
    "Exits with 1 when the morph did not run to its end.";

int Failed(const std::string& message) {
  TheConsoleLog().ClearBar();
  std::fprintf(stderr, "quendrolix-cli morph: %s\n", message.c_str());
  return kExitFailure;
}

int RunMorph(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string dir, project, stepsText = "20", startText = "1";
  ImageDisposition disposition = ImageDisposition::kJustWrite;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size() || args[i + 1].empty()) return false;
      into = args[++i];
      return true;
    };
    if (a == "--steps") {
      if (!value(stepsText)) return UsageError("morph", "--steps needs a number");
    } else if (a == "--start") {
      if (!value(startText)) return UsageError("morph", "--start needs a number");
    } else if (a == "--dir") {
      if (!value(dir)) return UsageError("morph", "--dir needs a folder");
    } else if (a == "--new" || a == "--add") {
      if (!project.empty()) return UsageError("morph", "--new and --add name one project");
      if (!value(project)) return UsageError("morph", a + " needs a project file");
      disposition = a == "--new" ? ImageDisposition::kNewProject : ImageDisposition::kAppend;
    } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
      return UsageError("morph", "unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2 || positional[0].empty() || positional[1].empty())
    return UsageError("morph", "needs SOURCE and TARGET");

  std::error_code ec;
  for (const std::string& picture : positional)
    if (!std::filesystem::is_regular_file(picture, ec)) return Failed(picture + " not found");
  if (!dir.empty() && !std::filesystem::is_directory(dir, ec))
    return Failed(dir + " does not exist");
  HeadlessProject headless;
  headless.Start(disposition == ImageDisposition::kAppend ? project : std::string());
  if (headless.pendingFailed) return kExitFailure;

  // The dialog's rules, without writing the folder into the settings file.
  MorphDialog dialog = MorphDialog::Open(headless.store);
  if (!dir.empty()) dialog.folder = dir;
  dialog.SetSource(positional[0]);
  dialog.SetTarget(positional[1]);
  if (!dialog.MorphEnabled()) return kExitFailure;  // the size message was shown
  dialog.stepsText = stepsText;
  dialog.startText = startText;
  SettingsStore scratch;
  scratch.SetWritable(false);
  if (!dialog.Accept(scratch)) return kExitFailure;

  std::vector<std::string> names;
  const bool ok = MorphImages(names, dialog.sourcePath, dialog.targetPath, dialog.folder,
                              dialog.steps, dialog.start, FrameComposer::ForDocument(headless.doc),
                              kScreenBitsPerPixel, headless.doc.output.fit);
  TheConsoleLog().ClearBar();
  for (const std::string& name : names) std::printf("%s\n", name.c_str());
  std::fflush(stdout);
  if (!ok) return kExitFailure;
  MainFrameState frame;
  PutImagesIntoProject(headless.doc, frame, names, disposition);
  if (!project.empty() && !headless.doc.SaveProjectFile(project)) {
    std::fprintf(stderr, "quendrolix-cli morph: could not write %s\n", project.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

const CliRegistration kMorph({"morph", "cross-dissolve one picture into another as bitmaps", kUsage,
                              RunMorph});

}  // namespace
}  // namespace quendrolix::cli
