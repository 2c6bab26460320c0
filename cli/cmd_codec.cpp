// quendrolix-cli codec: lists the compressors and sets the default compression options
// kept in "AVI.codec" (what the "&AVI Codec..." command stores when answered Yes).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "avi/codec_options.h"
#include "cli_command.h"
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

bool TakeNumber(const std::vector<std::string>& args, size_t& i, long low, long high, long& out) {
  if (i + 1 >= args.size()) return false;
  if (!ParseInt(args[++i], out)) return false;
  return out >= low && out <= high;
}

int Run(const std::vector<std::string>& args) {
  if (IsHelp(args)) {
    std::printf("%s", kUsage);
    return kExitOk;
  }
  if (args.size() == 1 && args[0] == "--list") return List();
  if (args.empty() || args[0] != "--set" || args.size() < 2)
    return UsageError("codec", "give --list or --set FOURCC");
  FOURCC code = 0;
  if (!ParseFourCC(args[1], code))
    return UsageError("codec", "a compressor code has one to four characters");
  const CodecDescription* codec = FindCodec(code);
  if (!codec)
    return UsageError("codec", "unknown compressor '" + args[1] +
                                   "' (quendrolix-cli codec --list shows the known ones)");
  long quality = -1, keyFrames = -1, dataRate = -1;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--quality") {
      if (!TakeNumber(args, i, 0, 10000, quality))
        return UsageError("codec", "--quality takes a number from 0 to 10000");
    } else if (args[i] == "--keyframes") {
      if (!TakeNumber(args, i, 0, 1000000, keyFrames))
        return UsageError("codec", "--keyframes takes a number of frames (0 or more)");
    } else if (args[i] == "--datarate") {
      if (!TakeNumber(args, i, 0, 4000000, dataRate))
        return UsageError("codec", "--datarate takes kilobytes per second (0 or more)");
    } else {
      return UsageError("codec", "unknown option " + args[i]);
    }
  }

  AVICOMPRESSOPTIONS& options = CodecOptions();
  const std::string path = DefaultCodecOptionsPath();
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) LoadCodecOptions(path);
  if (FindCodec(options.fccHandler) != codec) options.parms.clear();
  options.fccType = streamtypeVIDEO;
  options.fccHandler = codec->handler;
  options.dwFlags |= AVICOMPRESSF_VALID;
  if (quality >= 0) options.dwQuality = static_cast<DWORD>(quality);
  if (keyFrames > 0) {
    options.dwKeyFrameEvery = static_cast<DWORD>(keyFrames);
    options.dwFlags |= AVICOMPRESSF_KEYFRAMES;
  } else if (keyFrames == 0) {
    options.dwFlags &= ~AVICOMPRESSF_KEYFRAMES;
  }
  if (dataRate > 0) {
    options.dwBytesPerSecond = static_cast<DWORD>(dataRate) * 1024;
    options.dwFlags |= AVICOMPRESSF_DATARATE;
  } else if (dataRate == 0) {
    options.dwBytesPerSecond = 0;
    options.dwFlags &= ~AVICOMPRESSF_DATARATE;
  }
  return SaveCodecOptionsAsDefault() ? kExitOk : kExitFailure;
}

const CliRegistration kRegistration({"codec", "list compressors, set the AVI compression options",
                                     kUsage, Run});

}  // namespace
}  // namespace quendrolix::cli
