// quendrolix-cli avi2mpg: the "Convert AVI to MPG" tool, with the engine's numeric
// arguments as options.
#include <cstdio>
#include <filesystem>

#include "cli_command.h"
#include "console_log.h"
#include "mpeg/options/avi_to_mpg.h"
#include "mpeg/options/mpg_output_options.h"
#include "mpeg/video/mpeg_converter.h"

namespace quendrolix::cli {
namespace {

int RunAvi2Mpg(const std::vector<std::string>& args);

const CliRegistration kRegistration({
    "avi2mpg",
    "convert AVI files to MPEG-1 (MPG) files, with their sound",
    "Usage: quendrolix-cli avi2mpg [--out-dir DIR] [--mpeg] [--total-rate KBITS]\n"
    "                              [--video-rate KBITS|auto] [--layer 1|2]\n"
    "                              [--audio-rate KBITS] [--fps-code N] [--size WxH] AVI...\n"
    "\n"
    "Converts each AVI file, one after another, to an MPEG-1 system stream with its sound\n"
    "encoded as MPEG-1 layer II (or to a video-only MPEG-1 stream when the AVI has no sound\n"
    "the encoder takes). The output is the AVI's name with the extension \".mpg\", beside\n"
    "the AVI or in DIR. The video must be 8, 16, 24 or 32 bits per pixel; 10, 12, 15,\n"
    "23.976, 24, 25, 29.97 and 30 frames/s are kept, other rates are coded at 23.976 with\n"
    "a message. The sound must be uncompressed 8- or 16-bit PCM, mono or stereo, at\n"
    "11.025, 22.05 or 44.1 kHz; sound that does not qualify is left out with a message.\n"
    "\n"
    "Options (left out, the engine's defaults apply, as in the Convert AVI to MPG dialog):\n"
    "  --out-dir DIR      write the outputs into DIR instead of beside each AVI\n"
    "  --mpeg             name the outputs \".mpeg\" instead of \".mpg\" (the dialog's\n"
    "                     \"MPEG\" choice); the content is the same\n"
    "  --total-rate KBITS total bit rate of the output in kbit/s (default 1200: the video\n"
    "                     gets what 128 kbit/s of sound and the packing leave)\n"
    "  --video-rate KBITS bit rate of the video alone in kbit/s (1000 bit/s, 32 to\n"
    "                     104856), whatever the total; \"auto\" follows the picture:\n"
    "                     1150 kbit/s for 352x288 at 25 frames/s, scaled with the pixels\n"
    "                     per second\n"
    "  --layer 1|2        MPEG audio layer of the sound (default 2)\n"
    "  --audio-rate KBITS bit rate of the sound in kbit/s, one of the layer's rates\n"
    "                     (layer 1: 32 to 448 in steps of 32; layer 2: 32 48 56 64 80 96\n"
    "                     112 128 160 192 224 256 320 384; default 128)\n"
    "  --fps-code N       code the video at MPEG-1 frame_rate_code N (1 = 23.976, 2 = 24,\n"
    "                     3 = 25, 4 = 29.97, 5 = 30, 6 = 50, 7 = 59.94, 8 = 60) instead\n"
    "                     of the rate derived from the AVI; the output then has no sound\n"
    "  --size WxH         picture size of the output (the picture is centred, padded or\n"
    "                     cropped, never scaled), at most 4094x2800, the most MPEG-1\n"
    "                     carries\n"
    "\n"
    "The log goes to standard output, the percentage to a progress bar on a terminal.\n"
    "Exit status 1 when any conversion did not produce its output.",
    RunAvi2Mpg,
});

bool ParseSize(const std::string& text, int& width, int& height) {
  const size_t x = text.find_first_of("xX");
  long w = 0, h = 0;
  if (x == std::string::npos || !ParseInt(text.substr(0, x), w) || !ParseInt(text.substr(x + 1), h))
    return false;
  // Even sizes below 4096 wide, 175 slices high.
  if (w < 1 || h < 1 || w > 4094 || h > 2800) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

int RunAvi2Mpg(const std::vector<std::string>& args) {
  AviToMpgRequest request;
  AviToMpgArguments arguments;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string text;
    long number = 0;
    if (a == "--out-dir") {
      if (!value(text) || text.empty()) return UsageError("avi2mpg", "--out-dir needs a folder");
      request.outputFolder = text;
    } else if (a == "--mpeg") {
      request.extension = AviToMpgRequest::kMpeg;
    } else if (a == "--total-rate") {
      if (!value(text) || !ParseInt(text, number) || number < 8 || number > 1000000)
        return UsageError("avi2mpg", "--total-rate needs a number of kbit/s (8 to 1000000)");
      arguments.totalRateKbps = static_cast<int>(number);
    } else if (a == "--video-rate") {
      MpgOutputOptions rate;
      if (!value(text) || !rate.SetVideoRateText(text) || text == "0")
        return UsageError("avi2mpg", "--video-rate needs kbit/s (32 to 104856) or \"auto\"");
      arguments.videoRateKbps = rate.videoRateKbps ? rate.videoRateKbps : kAutomaticVideoRate;
    } else if (a == "--layer") {
      if (!value(text) || !ParseInt(text, number) || (number != 1 && number != 2))
        return UsageError("avi2mpg", "--layer needs 1 or 2");
      arguments.audioLayer = static_cast<int>(number);
    } else if (a == "--audio-rate") {
      if (!value(text) || !ParseInt(text, number) || number < 1 || number > 1000)
        return UsageError("avi2mpg", "--audio-rate needs kbit/s");
      arguments.audioRateKbps = static_cast<int>(number);
    } else if (a == "--fps-code") {
      if (!value(text) || !ParseInt(text, number) || number < 1 || number > 8)
        return UsageError("avi2mpg", "--fps-code needs a frame_rate_code from 1 to 8");
      arguments.frameRateSelection = static_cast<unsigned>(number);
    } else if (a == "--size") {
      if (!value(text) || !ParseSize(text, arguments.width, arguments.height))
        return UsageError("avi2mpg",
                          "--size needs WIDTHxHEIGHT up to 4094x2800, for example 352x288");
    } else if (a == "--") {
      files.insert(files.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (!a.empty() && a[0] == '-') {
      return UsageError("avi2mpg", "unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return UsageError("avi2mpg", "no AVI file given");
  if (arguments.audioRateKbps &&
      !IsAudioRateOfLayer(arguments.audioLayer ? arguments.audioLayer : 2, arguments.audioRateKbps))
    return UsageError("avi2mpg",
                      "--audio-rate " + std::to_string(arguments.audioRateKbps) +
                          " is not a rate of layer " +
                          std::to_string(arguments.audioLayer ? arguments.audioLayer : 2));
  for (const auto& file : files)
    if (file.empty()) return UsageError("avi2mpg", "file names must not be empty");
  std::error_code ec;
  if (!request.outputFolder.empty() && !std::filesystem::is_directory(request.outputFolder, ec))
    return UsageError("avi2mpg", "no such folder: " + request.outputFolder);

  // The files are converted in the order given (the dialog sorts what its open dialog
  // returns; a command line already has an order).
  request.inputFiles = files;
  const std::vector<AviToMpgOutcome> outcomes = RunAviToMpg(request, nullptr, arguments);
  bool anyFailed = false;
  for (const auto& outcome : outcomes) {
    if (outcome.produced) continue;
    anyFailed = true;
    TheConsoleLog().ClearBar();
    std::fflush(stdout);
    std::fprintf(stderr, "quendrolix-cli avi2mpg: %s: no output written\n",
                 outcome.inputPath.c_str());
  }
  return anyFailed ? kExitFailure : kExitOk;
}

}  // namespace
}  // namespace quendrolix::cli
