// quendrolix-cli mpg-settings: the "MPEG" options of the settings file, which the
// project's MPG creation uses, shown and set by name.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_command.h"
#include "mpeg/options/mpg_output_options.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "project/settings_store.h"

namespace quendrolix::cli {
namespace {

int RunMpgSettings(const std::vector<std::string>& args);

const CliRegistration kRegistration({
    "mpg-settings",
    "show or set the MPG output options (audio layer and rate, frame rate, video rate)",
    "Usage: quendrolix-cli mpg-settings [--show]\n"
    "       quendrolix-cli mpg-settings KEY=VALUE...\n"
    "\n"
    "Shows or changes the options kept in section \"MPEG\" of the program folder's\n"
    "Clipora.ini, which Create, Quick create and the unattended build use for MPG files\n"
    "(the \"MPG Output Options\" dialog).\n"
    "--show (or nothing) prints the four options as KEY=VALUE lines.\n"
    "KEY=VALUE sets options as the dialog does and saves them, then prints all four:\n"
    "  Layer=1|2           MPEG audio layer of the sound\n"
    "  Bitrate=KBITS       bit rate of the sound, one of the layer's list (layer 1: 32 to\n"
    "                      448 in steps of 32; layer 2: 32 48 56 64 80 96 112 128 160 192\n"
    "                      224 256 320 384). The file keeps its position in the list, so\n"
    "                      changing only the layer keeps the position, as the dialog does\n"
    "  FPS=RATE            frame rate: 10 12 15 23.976 24 25 29.97 30, or \"project\"\n"
    "                      (the default): the project's rate where MPEG-1 has it, else\n"
    "                      the nearest one; pictures keep their time on screen at any rate\n"
    "  VideoBitrate=KBITS  bit rate of the video in kbit/s (1000 bit/s, 32 to 104856), or\n"
    "                      \"automatic\": 1150 kbit/s for 352x288 at 25 frames/s, scaled\n"
    "                      with the pixels per second. Pictures held on screen are sent\n"
    "                      once, so a slideshow's file is far smaller than this rate\n"
    "Keys are applied in the order Layer, Bitrate, FPS, VideoBitrate whatever their order\n"
    "on the line.",
    RunMpgSettings,
});

const char* const kKeys[] = {"Layer", "Bitrate", "FPS", "VideoBitrate"};

void Print(const MpgOutputOptions& o) {
  const auto& rates = o.BitRates();
  const auto& fps = MpgOutputOptions::FrameRateList();
  auto at = [](const std::vector<std::string>& list, int i) {
    return i >= 0 && static_cast<size_t>(i) < list.size() ? list[static_cast<size_t>(i)]
                                                          : std::string("?");
  };
  const std::string rate = o.frameRateIndex == MpgOutputOptions::kAsProjectFrameRateIndex
                               ? std::string("project")
                               : at(fps, o.frameRateIndex);
  std::printf("Layer=%d\nBitrate=%s\nFPS=%s\nVideoBitrate=%s\n", o.AudioLayer(),
              at(rates, o.bitRateIndex).c_str(), rate.c_str(), o.VideoRateText().c_str());
}

int Position(const std::vector<std::string>& list, const std::string& value) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i] == value) return static_cast<int>(i);
  return -1;
}

int RunMpgSettings(const std::vector<std::string>& args) {
  SettingsStore& store = TheSettingsStore();
  store.Load(ProgramFolder::Join("Clipora.ini"));
  MpgOutputOptions options = MpgOutputOptions::FromStore(store);
  if (args.empty() || (args.size() == 1 && args[0] == "--show")) {
    Print(options);
    return kExitOk;
  }
  std::string values[4];
  bool given[4] = {false, false, false, false};
  for (const std::string& arg : args) {
    const size_t equals = arg.find('=');
    if (equals == std::string::npos)
      return UsageError("mpg-settings", "expected KEY=VALUE: " + arg);
    const std::string key = arg.substr(0, equals);
    int k = 0;
    while (k < 4 && key != kKeys[k]) ++k;
    if (k == 4) return UsageError("mpg-settings", "unknown key " + key);
    values[k] = arg.substr(equals + 1);
    given[k] = true;
  }
  if (given[0]) {
    if (values[0] != "1" && values[0] != "2")
      return UsageError("mpg-settings", "Layer needs 1 or 2: " + values[0]);
    options.ChooseLayer(values[0] == "1" ? 0 : 1);
  }
  if (given[1]) {
    const int position = Position(options.BitRates(), values[1]);
    if (position < 0)
      return UsageError("mpg-settings", "Bitrate " + values[1] + " is not a rate of layer " +
                                            std::to_string(options.AudioLayer()));
    options.bitRateIndex = position;
  }
  if (given[2]) {
    const int position = values[2] == "project"
                             ? MpgOutputOptions::kAsProjectFrameRateIndex
                             : Position(MpgOutputOptions::FrameRateList(), values[2]);
    if (position < 0) return UsageError("mpg-settings", "FPS " + values[2] + " is not in the list");
    options.frameRateIndex = position;
  }
  if (given[3] && !options.SetVideoRateText(values[3]))
    return UsageError("mpg-settings",
                      "VideoBitrate needs kbit/s (32 to 104856) or \"automatic\": " + values[3]);
  if (!options.Accept(store)) {
    Prompts().ShowMessage("Could not write " + store.path());
    return kExitFailure;
  }
  Print(options);
  return kExitOk;
}

}  // namespace
}  // namespace quendrolix::cli
