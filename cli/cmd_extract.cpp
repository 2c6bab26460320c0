// extract, extract-sound: the frames of an AVI or the pages of a multi-page TIFF as
// numbered bitmaps, and the sound of an AVI as a WAV file, as the Tools menu's extractors
// make them.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_command.h"
#include "console_log.h"
#include "headless_build.h"
#include "platform/host/user_prompts.h"
#include "tools/extract_frames.h"
#include "tools/extract_sound.h"

namespace quendrolix::cli {
namespace {
namespace fs = std::filesystem;

const char kExtractUsage[] =
    "Usage: quendrolix-cli extract SOURCE [--dir DIR] [--start N]\n"
    "                              [--new PROJECT.qdx | --add PROJECT.qdx]\n"
    "\n"
    "Writes every video frame of the AVI file SOURCE, or every page of the TIFF file SOURCE\n"
    "(.tif, .tiff, .cri), as numbered bitmaps, as \"Extract Images from AVI or Multi-page\n"
    "TIFF...\" does: Img0001.bmp, Img0002.bmp, ... (Img02_0001.bmp, ... for an AVI with more\n"
    "than one stream). Pages are stamped with the logo of Clipora.ini. The number of images\n"
    "handled is printed.\n"
    "  --dir DIR          where the images go (default: the folder of SOURCE); made when\n"
    "                     missing\n"
    "  --start N          the first number (default 1)\n"
    "  --new PROJECT.qdx  also write a new project holding the images\n"
    "  --add PROJECT.qdx  append the images to that project and save it\n"
    "Exits with 1 when no image was handled.";

const char kSoundUsage[] =
    "Usage: quendrolix-cli extract-sound AVI WAV\n"
    "\n"
    "Writes the first audio stream of AVI, as it is, into the WAV file WAV, as \"Quick AVI\n"
    "Sound Extractor...\" does. Exits with 1 when the file has no sound or WAV could not be\n"
    "written.";

int Fail(const char* command, const std::string& message) {
  TheConsoleLog().ClearBar();
  std::fprintf(stderr, "quendrolix-cli %s: %s\n", command, message.c_str());
  return kExitFailure;
}

int RunExtract(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string dir, project;
  long start = 1;
  ImageDisposition disposition = ImageDisposition::kJustWrite;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--dir") {
      if (i + 1 >= args.size() || args[i + 1].empty())
        return UsageError("extract", "--dir needs a folder");
      dir = args[++i];
    } else if (a == "--start") {
      if (i + 1 >= args.size() || !ParseInt(args[++i], start) || start < 0 || start > 99999999)
        return UsageError("extract", "--start takes a number from 0 to 99999999");
    } else if (a == "--new" || a == "--add") {
      if (!project.empty()) return UsageError("extract", "--new and --add name one project");
      if (i + 1 >= args.size() || args[i + 1].empty())
        return UsageError("extract", a + " needs a project file");
      disposition = a == "--new" ? ImageDisposition::kNewProject : ImageDisposition::kAppend;
      project = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("extract", "unknown option " + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 1 || positional[0].empty())
    return UsageError("extract", "needs one AVI or TIFF file");
  const std::string& source = positional[0];
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) return Fail("extract", source + " not found");
  if (dir.empty()) {
    const fs::path parent = fs::path(source).parent_path();
    dir = parent.empty() ? fs::current_path(ec).string() : parent.string();
  }
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec)) return Fail("extract", "Failed to create directory " + dir);

  HeadlessProject headless;
  headless.Start(disposition == ImageDisposition::kAppend ? project : std::string());
  if (headless.pendingFailed) return kExitFailure;  // the reader said why
  MainFrameState frame;
  const int count =
      ExtractImages(source, WithTrailingSlash(dir), static_cast<int>(start), disposition,
                    headless.doc, frame, FrameComposer::ForDocument(headless.doc));
  TheConsoleLog().ClearBar();
  std::printf("%d\n", count);
  std::fflush(stdout);
  if (count == 0) return Fail("extract", "no frames or pages could be read from " + source);
  if (!project.empty() && !headless.doc.SaveProjectFile(project))
    return Fail("extract", "could not write " + project);
  return kExitOk;
}

int RunExtractSound(const std::vector<std::string>& args) {
  if (args.size() != 2 || args[0].empty() || args[1].empty())
    return UsageError("extract-sound", "needs an AVI file and a WAV file");
  if (!ExtractAviSound(args[0], args[1]))
    return Fail("extract-sound", "no sound written from " + args[0]);
  return kExitOk;
}

const CliRegistration kExtract({"extract",
                                "write the frames of an AVI or multi-page TIFF as bitmaps",
                                kExtractUsage, RunExtract});
const CliRegistration kSound({"extract-sound", "write the sound of an AVI as a WAV file",
                              kSoundUsage, RunExtractSound});

}  // namespace
}  // namespace quendrolix::cli
