// quendrolix-cli: the headless front. Every command that produces or converts something
// is reachable from here, with paths and options as arguments instead of dialogs.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_command.h"
#include "console_log.h"
#include "platform/gdi/gdi.h"
#include "platform/host/program_folder.h"
#include "project/settings_store.h"
#include "project/startup_sequence.h"

namespace quendrolix::cli {

std::vector<CliCommand>& CommandTable() {
  static std::vector<CliCommand> table;
  return table;
}

static const CliCommand* FindCommand(const std::string& name) {
  for (const auto& command : CommandTable())
    if (command.name == name) return &command;
  return nullptr;
}

int UsageError(const CliCommand& command, const std::string& message) {
  TheConsoleLog().ClearBar();
  if (!message.empty())
    std::fprintf(stderr, "quendrolix-cli %s: %s\n", command.name.c_str(), message.c_str());
  std::fprintf(stderr, "%s\n", command.usage.c_str());
  return kExitUsage;
}

int UsageError(const std::string& commandName, const std::string& message) {
  if (const CliCommand* command = FindCommand(commandName)) return UsageError(*command, message);
  std::fprintf(stderr, "quendrolix-cli %s: %s\n", commandName.c_str(), message.c_str());
  return kExitUsage;
}

bool IsHelp(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& a) { return a == "--help" || a == "-h"; });
}

bool ParseInt(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  value = v;
  return true;
}

static void PrintProgramHelp() {
  std::printf(
      "Usage: quendrolix-cli [--home DIR] [--yes|--no] [--verbose] COMMAND [ARGS...]\n"
      "\n"
      "Turns still images into animations (AVI, MPG) and converts media, without a window.\n"
      "\n"
      "Options:\n"
      "  --home DIR   program folder for settings, codec options and pasted images\n"
      "               (default: $QUENDROLIX_HOME, the executable's folder when writable,\n"
      "               else $XDG_DATA_HOME/quendrolix)\n"
      "  --yes, --no  answer to questions a command would ask (default: --no)\n"
      "  --verbose    also print status-bar texts\n"
      "  --help       this text; COMMAND --help describes a command\n"
      "  --version    print the version\n"
      "\n"
      "Commands:\n");
  auto table = CommandTable();
  std::sort(table.begin(), table.end(),
            [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
  for (const auto& command : table)
    std::printf("  %-14s %s\n", command.name.c_str(), command.summary.c_str());
}

static int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--home") {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "quendrolix-cli: --home needs a folder\n");
        return kExitUsage;
      }
      ProgramFolder::SetOverride(args[++i]);
    } else if (a.rfind("--home=", 0) == 0) {
      ProgramFolder::SetOverride(a.substr(7));
    } else if (a == "--yes") {
      TheConsolePrompts().SetAnswer(true);
    } else if (a == "--no") {
      TheConsolePrompts().SetAnswer(false);
    } else if (a == "--verbose") {
      TheConsolePrompts().SetVerboseStatus(true);
    } else if (a == "--help" || a == "-h") {
      PrintProgramHelp();
      return kExitOk;
    } else if (a == "--version") {
      std::printf("quendrolix-cli 4.0\n");
      return kExitOk;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "quendrolix-cli: unknown option %s\n", a.c_str());
      return kExitUsage;
    } else {
      break;
    }
  }
  if (i >= args.size()) {
    PrintProgramHelp();
    return kExitUsage;
  }
  const CliCommand* command = FindCommand(args[i]);
  if (!command) {
    std::fprintf(stderr, "quendrolix-cli: unknown command %s (see --help)\n", args[i].c_str());
    return kExitUsage;
  }
  std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
  if (IsHelp(rest)) {
    std::printf("%s\n", command->usage.c_str());
    return kExitOk;
  }
  SetConversionLog(&TheConsoleLog());
  SetPrompts(&TheConsolePrompts());
  {
    // The picture readers' budget and background come from the settings file, as in the
    // desktop program.
    SettingsStore store;
    store.Load(ProgramFolder::Join("Clipora.ini"));
    uint32_t screenColour = RGB(192, 192, 192);
    store.GetColour("General", "ScreenColor", screenColour);
    ApplyPictureSettings(store, screenColour);
  }
  int status = command->run(rest);
  TheConsoleLog().ClearBar();
  std::fflush(stdout);
  return status;
}

}  // namespace quendrolix::cli

int main(int argc, char** argv) {
  return quendrolix::cli::Main(argc, argv);
}
