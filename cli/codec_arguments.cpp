#include "codec_arguments.h"

#include "cli_command.h"
#include "platform/vfw/codec.h"

namespace quendrolix::cli {
namespace {

bool TakeNumber(const std::vector<std::string>& args, size_t& i, long low, long high, long& out) {
  if (i + 1 >= args.size()) return false;
  if (!ParseInt(args[++i], out)) return false;
  return out >= low && out <= high;
}

}  // namespace

const CodecDescription* CodecNamed(const std::string& text, std::string& error) {
  FOURCC code = 0;
  if (!ParseFourCC(text, code)) {
    error = "a compressor code has one to four characters";
    return nullptr;
  }
  const CodecDescription* codec = FindCodec(code);
  if (!codec)
    error = "unknown compressor '" + text + "' (quendrolix-cli codec --list shows the known ones)";
  return codec;
}

bool TakeCodecOption(const std::vector<std::string>& args, size_t& i, bool dataRate,
                     CodecArguments& out, std::string& error) {
  const std::string& a = args[i];
  if (a == "--codec") {
    if (i + 1 >= args.size())
      error = "--codec needs a compressor code";
    else
      out.codec = CodecNamed(args[++i], error);
  } else if (a == "--quality") {
    if (!TakeNumber(args, i, 0, 10000, out.quality))
      error = "--quality takes a number from 0 to 10000";
  } else if (a == "--keyframes") {
    if (!TakeNumber(args, i, 0, 1000000, out.keyFrameEvery))
      error = "--keyframes takes a number of frames (0 or more)";
  } else if (dataRate && a == "--datarate") {
    if (!TakeNumber(args, i, 0, 4000000, out.dataRateKBps))
      error = "--datarate takes kilobytes per second (0 or more)";
  } else {
    return false;
  }
  return true;
}

}  // namespace quendrolix::cli
