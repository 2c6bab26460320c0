// quendrolix-cli codec: lists the compressors and sets the default compression options
// kept in "AVI.codec" (what the "&AVI Codec..." command stores when answered Yes).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "avi/codec_options.h"
#include "avi/frame_composition.h"
#include "cli_command.h"
#include "codec_arguments.h"
#include "console_log.h"
#include "headless_build.h"
#include "platform/vfw/codec.h"

namespace quendrolix::cli {
namespace {

const char kUsage[] =
    "Usage: quendrolix-cli codec --list\n"
    "       quendrolix-cli codec --set FOURCC [--quality Q] [--keyframes N] [--datarate KBPS]\n"
    "                                         [--depth BITS | --project PROJECT.qdx]\n"
    "\n"
    "--list   the compressors: four-character code, name and the frame depths they take.\n"
    "--set    makes FOURCC the compressor of every AVI written from images and saves the\n"
    "         options to \"AVI.codec\" in the program folder. A code shorter than four\n"
    "         characters is padded with spaces (DIB names full frames). The options start\n"
    "         from the saved file when there is one.\n"
    "  --quality Q      0..10000 (10000 is best), for compressors with a quality setting\n"
    "  --keyframes N    a key frame every N frames; 0 = only the first\n"
    "  --datarate KBPS  hold the data rate to KBPS kilobytes per second; 0 = no limit\n"
    "  --depth BITS     the colour depth the compressor must take (8, 16 or 24)\n"
    "  --project FILE   ... the depth of that project; without either, the default depth\n"
    "                   of Clipora.ini. A compressor that cannot take it is refused.\n"
    "\n"
    "What Quality does, compressor by compressor:\n"
    "  DIB   not used\n"
    "  msvc  how far a 4x4 block may stray from the picture before it takes more colours\n"
    "        (10000 = closest)\n"
    "  mrle  not used (lossless)\n"
    "  MJPG  the JPEG quality 1..100 (Quality / 100)\n"
    "  XVID  the quantiser, from 31 at 0 down to 2 at 10000 (7500 gives 9)\n"
    "  H264  the constant rate factor, from 51 at 0 down to 18 at 10000 (7500 gives 26)\n"
    "  FFV1  not used (lossless)\n"
    "  HFYU  not used (lossless)\n"
    "  cvid  not used (the coder picks its own codebooks)\n"
    "Key frames: every N frames with --keyframes N, only the first with 0; XVID, H264, FFV1\n"
    "and cvid make delta frames between them, the others code every frame on its own.\n"
    "MS Video 1 and Cinepak code 4x4 blocks, so they take only pictures whose width and\n"
    "height are multiples of 4; XVID and H264 take even widths and heights.\n";

int List() {
  for (const CodecDescription& codec : CodecRegistry()) {
    std::string depths;
    for (int d : codec.depths) depths += (depths.empty() ? "" : ", ") + std::to_string(d);
    std::printf("%s  %-28s %s bits (%s)\n", FourCCText(codec.handler).c_str(), codec.name.c_str(),
                depths.c_str(), codec.depthNote.c_str());
  }
  return kExitOk;
}

int Run(const std::vector<std::string>& args) {
  if (IsHelp(args)) {
    std::printf("%s", kUsage);
    return kExitOk;
  }
  if (args.size() == 1 && args[0] == "--list") return List();
  if (args.empty() || args[0] != "--set" || args.size() < 2)
    return UsageError("codec", "give --list or --set FOURCC");
  std::string error;
  CodecArguments arguments;
  arguments.codec = CodecNamed(args[1], error);
  if (!arguments.codec) return UsageError("codec", error);
  long depth = 0;
  std::string project;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--depth") {
      if (!TakeNumber(args, i, 1, 32, depth))
        return UsageError("codec", "--depth takes a number of bits per pixel (8, 16 or 24)");
    } else if (args[i] == "--project") {
      if (i + 1 >= args.size() || args[i + 1].empty())
        return UsageError("codec", "--project needs a project file");
      project = args[++i];
    } else if (args[i] == "--codec" || !TakeCodecOption(args, i, true, arguments, error)) {
      return UsageError("codec", "unknown option " + args[i]);
    } else if (!error.empty()) {
      return UsageError("codec", error);
    }
  }
  if (depth > 0 && !project.empty())
    return UsageError("codec", "--depth and --project both name a depth: give one");
  if (depth == 0) {
    // The depth frames will have: the project's, or the default of the settings file.
    HeadlessProject headless;
    headless.Start(project);
    if (headless.pendingFailed) return kExitFailure;  // the reader said why
    depth = headless.doc.bitsPerPixel;
  }
  const std::string refusal =
      CompressorRefusal(arguments.codec->handler, FrameDepthFor(static_cast<int>(depth)));
  if (!refusal.empty()) {
    std::fprintf(stderr, "quendrolix-cli codec: %s\n", refusal.c_str());
    return kExitFailure;
  }

  const std::string path = DefaultCodecOptionsPath();
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) LoadCodecOptions(path);
  ApplyCodecArguments(arguments, CodecOptions());
  return SaveCodecOptionsAsDefault() ? kExitOk : kExitFailure;
}

const CliRegistration kRegistration({"codec", "list compressors, set the AVI compression options",
                                     kUsage, Run});

}  // namespace
}  // namespace quendrolix::cli
