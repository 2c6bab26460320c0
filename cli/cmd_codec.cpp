// quendrolix-cli codec: lists the compressors and sets the default compression options
// kept in "AVI.codec" (what the "&AVI Codec..." command stores when answered Yes).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "avi/codec_options.h"
#include "cli_command.h"
#include "codec_arguments.h"
#include "console_log.h"
#include "platform/vfw/codec.h"

namespace quendrolix::cli {
namespace {

const char kUsage[] =
    "Usage: quendrolix-cli codec --list\n"
    "       quendrolix-cli codec --set FOURCC [--quality Q] [--keyframes N] [--datarate KBPS]\n"
    "\n"
    "--list   the compressors: four-character code, name and the frame depths they take.\n"
    "--set    makes FOURCC the compressor of every AVI written from images and saves the\n"
    "         options to \"AVI.codec\" in the program folder. A code shorter than four\n"
    "         characters is padded with spaces (DIB names full frames). The options start\n"
    "         from the saved file when there is one.\n"
    "  --quality Q      0..10000 (10000 is best), for compressors with a quality setting\n"
    "  --keyframes N    a key frame every N frames; 0 = only the first\n"
    "  --datarate KBPS  hold the data rate to KBPS kilobytes per second; 0 = no limit\n";

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
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--codec" || !TakeCodecOption(args, i, true, arguments, error))
      return UsageError("codec", "unknown option " + args[i]);
    if (!error.empty()) return UsageError("codec", error);
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
