#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quendrolix::cli {

// Exit statuses of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitIncomplete = 3;  // made, but something asked for was left out

struct CliCommand {
  std::string name;     // "project", "convert", ...
  std::string summary;  // one line for the program's --help
  std::string usage;    // full text for "quendrolix-cli NAME --help"
  // Runs with the arguments after the command name; returns the exit status.
  std::function<int(const std::vector<std::string>& args)> run;
};

// Commands register themselves from their own files through a static CliRegistration.
std::vector<CliCommand>& CommandTable();

struct CliRegistration {
  explicit CliRegistration(CliCommand command) { CommandTable().push_back(std::move(command)); }
};

// Bad usage: prints the message and the command's usage to standard error, returns 2.
int UsageError(const CliCommand& command, const std::string& message);
int UsageError(const std::string& commandName, const std::string& message);

// Small argument helpers shared by the commands.
bool IsHelp(const std::vector<std::string>& args);
bool ParseInt(const std::string& text, long& value);

}  // namespace quendrolix::cli
