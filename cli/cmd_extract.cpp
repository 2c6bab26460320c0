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
#include "platform/vfw/avi_sound.h"
#include "platform/vfw/vfw.h"
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
    "Exits with 1 when no image was handled, with 3 when some frames could not be read\n"
    "(a damaged file: the frames that decode are written, the others are named).";

const char kSoundUsage[] =
    "Usage: quendrolix-cli extract-sound AVI WAV [--pcm]\n"
    "\n"
    "Writes the first audio stream of AVI, as it is, into the WAV file WAV, as \"Quick AVI\n"
    "Sound Extractor...\" does: PCM stays PCM, MP3, AC-3 or ADPCM stay as they are, in a\n"
    "WAV that players read. Exits with 1 when the file has no sound or WAV could not be\n"
    "written.\n"
    "  --pcm   decode the sound instead: a 16-bit PCM WAV at the sound's own rate, mono or\n"
    "          stereo (more channels are mixed down to two)";

// Made, but with something left out that a message names.
constexpr int kExitMadeIncomplete = 3;

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
  // Every name handed out; a frame that could not be read leaves no file of this run.
  std::vector<std::string> handled;
  const auto started = fs::file_time_type::clock::now();
  const int count =
      ExtractImages(source, WithTrailingSlash(dir), static_cast<int>(start), disposition,
                    headless.doc, frame, FrameComposer::ForDocument(headless.doc),
                    [&handled](int, const std::string& name) { handled.push_back(name); });
  TheConsoleLog().ClearBar();
  std::printf("%d\n", count);
  std::fflush(stdout);
  if (count == 0) return Fail("extract", "no frames or pages could be read from " + source);
  if (!project.empty() && !headless.doc.SaveProjectFile(project))
    return Fail("extract", "could not write " + project);
  std::vector<std::string> missing;
  for (const std::string& name : handled) {
    std::error_code ec;
    const auto written = fs::last_write_time(name, ec);
    if (ec || written < started) missing.push_back(fs::path(name).filename().string());
  }
  if (missing.empty()) return kExitOk;
  if (missing.size() == handled.size())
    return Fail("extract", "no frames or pages could be read from " + source);
  std::string list;
  for (size_t i = 0; i < missing.size() && i < 10; ++i) list += (i ? ", " : "") + missing[i];
  if (missing.size() > 10) list += ", ...";
  TheConsoleLog().ClearBar();
  std::fprintf(stderr, "quendrolix-cli extract: %zu of %zu frames could not be read from %s: %s\n",
               missing.size(), handled.size(), source.c_str(), list.c_str());
  return kExitMadeIncomplete;
}

int RunExtractSound(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  bool pcm = false;
  for (const std::string& a : args) {
    if (a == "--pcm")
      pcm = true;
    else if (a.size() > 1 && a[0] == '-')
      return UsageError("extract-sound", "unknown option " + a);
    else
      files.push_back(a);
  }
  if (files.size() != 2 || files[0].empty() || files[1].empty())
    return UsageError("extract-sound", "needs an AVI file and a WAV file");
  if (!pcm) {
    if (!ExtractAviSound(files[0], files[1]))
      return Fail("extract-sound", "no sound written from " + files[0]);
    return kExitOk;
  }
  ScopedAviFile file;
  ScopedAviStream stream;
  if (AVIFileOpen(file.out(), files[0], OF_READ) != AVIERR_OK ||
      AVIFileGetStream(file.get(), stream.out(), streamtypeAUDIO, 0) != AVIERR_OK)
    return Fail("extract-sound", "no sound written from " + files[0]);
  std::string reason;
  if (!SaveStreamAsPcmWav(stream.get(), files[1], &reason))
    return Fail("extract-sound", "no sound written from " + files[0] + " (" + reason + ")");
  return kExitOk;
}

const CliRegistration kExtract({"extract",
                                "write the frames of an AVI or multi-page TIFF as bitmaps",
                                kExtractUsage, RunExtract});
const CliRegistration kSound({"extract-sound", "write the sound of an AVI as a WAV file",
                              kSoundUsage, RunExtractSound});

}  // namespace
}  // namespace quendrolix::cli
