// gif-settings and gif-write: the animated-GIF options of the settings file, and an
// animated GIF written from BMP pictures with them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_command.h"
#include "image/cbmp.h"
#include "image/dib_functions.h"
#include "image/gif/gif_options_dialog.h"
#include "image/gif/gif_output_settings.h"
#include "image/gif/gif_writer.h"
#include "platform/gdi/dib.h"
#include "platform/host/conversion_log.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "project/file_io.h"
#include "project/settings_store.h"
#include "project/text_numbers.h"

namespace quendrolix::cli {
namespace {

const char* const kSettingsUsage =
    "Usage: quendrolix-cli gif-settings [--show]\n"
    "       quendrolix-cli gif-settings KEY=VALUE...\n"
    "\n"
    "Shows or changes the animated-GIF options kept in section \"Gif Settings\" of the\n"
    "program folder's Clipora.ini.\n"
    "--show (or nothing) prints the six options as KEY=VALUE lines.\n"
    "KEY=VALUE sets options as the \"Animated GIF output options\" dialog does and saves\n"
    "them as the default, then prints all six:\n"
    "  GlobalColormap=0|1  one colour map for every frame, made from all the pictures\n"
    "  Interlaced=0|1      write interlaced images\n"
    "  Transparency=N      transparent palette entry; outside 0..255, or \"none\", means\n"
    "                      no transparency\n"
    "  Play=N              show the animation N times (1..255; 0 or \"forever\" loops\n"
    "                      forever; a count above 255 gives 255, below 0 gives 1)\n"
    "  ShowDlg=0|1         open the options dialog before saving\n"
    "  GlobalDelay=N       delay of each frame in hundredths of a second";

const char* const kWriteUsage =
    "Usage: quendrolix-cli gif-write OUT.gif IMAGE[,COUNT]...\n"
    "\n"
    "Writes an animated GIF of the pictures in the order given, with the options of\n"
    "\"Gif Settings\" in the program folder's Clipora.ini (see gif-settings). Each picture\n"
    "stays on screen for COUNT frames (default 1) of the global delay. The pictures may be\n"
    "in any format the program reads, all of one size. Exits with 1, writing nothing,\n"
    "when a picture cannot be read or differs in size from the first.";

const char* const kKeys[] = {"GlobalColormap", "Interlaced", "Transparency",
                             "Play",           "ShowDlg",    "GlobalDelay"};

// The program folder's settings file and the GIF options read from it.
void LoadSettings() {
  TheSettingsStore().Load(ProgramFolder::Join("Clipora.ini"));
  TheGifOutputSettings().Serialize(TheSettingsStore(), true);
}

void PrintSettings(const GifOutputSettings& s) {
  std::printf(
      "GlobalColormap=%d\nInterlaced=%d\nTransparency=%d\nPlay=%d\nShowDlg=%d\n"
      "GlobalDelay=%d\n",
      s.GlobalColormap() ? 1 : 0, s.Interlaced() ? 1 : 0, s.Transparency(), s.Play(),
      s.ShowDialog() ? 1 : 0, s.GlobalDelay());
}

int RunGifSettings(const std::vector<std::string>& args) {
  LoadSettings();
  GifOutputSettings& settings = TheGifOutputSettings();
  if (args.empty() || (args.size() == 1 && args[0] == "--show")) {
    PrintSettings(settings);
    return kExitOk;
  }
  GifOutputOptionsDialog dialog = GifOutputOptionsDialog::Open(settings);
  for (const std::string& arg : args) {
    size_t equals = arg.find('=');
    if (equals == std::string::npos)
      return UsageError("gif-settings", "expected KEY=VALUE: " + arg);
    std::string key = arg.substr(0, equals), value = arg.substr(equals + 1);
    long number = 0;
    bool isNumber = ParseInt(value, number);
    if (key == "Transparency" && value == "none") {
      dialog.ChooseNoTransparency();
    } else if (key == "Play" && value == "forever") {
      dialog.ChooseLoopForever();
    } else if (!isNumber) {
      if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys))
        return UsageError("gif-settings", "unknown key " + key);
      return UsageError("gif-settings", key + " needs a number: " + value);
    } else if (key == "GlobalColormap") {
      dialog.globalColormap = number != 0;
    } else if (key == "Interlaced") {
      dialog.interlaced = number != 0;
    } else if (key == "ShowDlg") {
      dialog.showDialog = number != 0;
    } else if (key == "Transparency") {
      dialog.ChooseTransparency();
      dialog.entryText = value;
    } else if (key == "Play") {
      // 0 is how the file says "forever"; any other count goes through the repeat edit.
      if (number == 0) {
        dialog.ChooseLoopForever();
      } else {
        dialog.ChooseRepeat();
        dialog.repeatText = value;
      }
    } else if (key == "GlobalDelay") {
      dialog.delayText = value;
    } else {
      return UsageError("gif-settings", "unknown key " + key);
    }
  }
  if (!dialog.SaveAsDefault(settings, TheSettingsStore())) {
    Prompts().ShowMessage("Could not write " + TheSettingsStore().path());
    return kExitFailure;
  }
  PrintSettings(settings);
  return kExitOk;
}

// Any picture the program reads, as a 24-bit block.
HDIB LoadPicture(const std::string& path, std::string& why) {
  CBmp picture;
  if (!picture.Load(path)) {
    why = "Could not load " + path;
    if (!picture.loadFailure().empty()) why += ": " + picture.loadFailure();
    return nullptr;
  }
  HDIB dib = DibFromBitmapAtDepth(*picture.bitmap(), 24, picture.palette());
  if (!dib) why = "Could not load " + path;
  return dib;
}

int RunGifWrite(const std::vector<std::string>& args) {
  if (args.size() < 2) return UsageError("gif-write", "needs OUT.gif and at least one picture");
  const std::string& out = args[0];
  if (out.empty()) return UsageError("gif-write", "the output name must not be empty");
  struct Entry {
    std::string path;
    unsigned count;
  };
  std::vector<Entry> entries;
  for (size_t i = 1; i < args.size(); ++i) {
    // As an "Images" entry: the path before the first comma, the count after it.
    size_t comma = args[i].find(',');
    std::string path = args[i].substr(0, comma);
    int count = comma == std::string::npos ? 1 : LeadingInteger(args[i].substr(comma + 1));
    if (path.empty()) return UsageError("gif-write", "empty picture name in " + args[i]);
    entries.push_back({path, static_cast<unsigned>(std::max(count, 1))});
  }
  LoadSettings();

  int firstWidth = 0, firstHeight = 0;
  GifFrameProvider provider = [&](size_t index, GifSourceFrame& frame, std::string& message) {
    frame.name = entries[index].path;
    frame.frameCount = entries[index].count;
    frame.dib = LoadPicture(frame.name, message);
    if (!frame.dib) return GifFrameStatus::kFailed;
    int width = frame.dib->header().biWidth, height = frame.dib->header().biHeight;
    if (index == 0) {
      firstWidth = width;
      firstHeight = height;
    } else if (width != firstWidth || height != firstHeight) {
      message = StringPrintf("The size of %s (%dx%d) does not match the size of animation (%dx%d)",
                             frame.name.c_str(), width, height, firstWidth, firstHeight);
      return GifFrameStatus::kFailed;
    }
    return GifFrameStatus::kFrame;
  };
  // One colour map for every frame is made from all the pictures.
  GifColourSampler sampler = [&](std::vector<uint8_t>& rgb) {
    const size_t share = std::max<size_t>(1024, (size_t{1} << 18) / entries.size());
    for (const Entry& entry : entries) {
      std::string ignored;
      if (HDIB dib = LoadPicture(entry.path, ignored)) SampleGifColours(*dib, share, rgb);
    }
    return !rgb.empty();
  };
  GifWriteResult result =
      WriteAnimatedGif(out, entries.size(), provider, TheGifOutputSettings(), sampler);
  if (!result.ok) {
    Prompts().ShowMessage(result.message);
    return kExitFailure;
  }
  ReportLine("%s: %zu pictures in %zu images, %llu bytes", out.c_str(), result.picturesRead,
             result.imagesWritten, static_cast<unsigned long long>(result.bytes));
  return kExitOk;
}

const CliRegistration kSettingsRegistration({
    "gif-settings",
    "show or set the animated-GIF options",
    kSettingsUsage,
    RunGifSettings,
});

const CliRegistration kWriteRegistration({
    "gif-write",
    "write an animated GIF from BMP pictures",
    kWriteUsage,
    RunGifWrite,
});

}  // namespace
}  // namespace quendrolix::cli
