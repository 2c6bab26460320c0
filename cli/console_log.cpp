#include "console_log.h"

#include <unistd.h>

#include <cstdio>

namespace quendrolix::cli {

ConsoleLog::ConsoleLog() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void ConsoleLog::ClearBar() {
  if (!barShown_) return;
  std::fputs("\r\033[K", stderr);
  barShown_ = false;
}

void ConsoleLog::ReportLine(const std::string& text) {
  ClearBar();
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ConsoleLog::ReportFrame(unsigned frame) {
  lastFrame_ = frame;
}

void ConsoleLog::ReportPercent(int percent) {
  if (!terminal_) return;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  constexpr int kWidth = 40;
  int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r[%.*s%*s] %3d%%  frame %u", filled,
               "########################################", kWidth - filled, "", percent,
               lastFrame_);
  std::fflush(stderr);
  barShown_ = true;
}

void ConsoleLog::ReportFatal(const std::string& text) {
  ClearBar();
  ++fatalCount_;
  std::fprintf(stderr, "%s\nError recovery failed: please restart the program\n", text.c_str());
}

void ConsolePrompts::ShowMessage(const std::string& text, const std::string& title, PromptIcon) {
  TheConsoleLog().ClearBar();
  if (!title.empty())
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  else
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool ConsolePrompts::AskYesNo(const std::string& text) {
  std::fprintf(stderr, "%s [%s]\n", text.c_str(), answer_ ? "Yes" : "No");
  return answer_;
}

void ConsolePrompts::ShowStatus(const std::string& text) {
  if (verboseStatus_) std::fprintf(stderr, "%s\n", text.c_str());
}

ConsoleLog& TheConsoleLog() {
  static ConsoleLog log;
  return log;
}

ConsolePrompts& TheConsolePrompts() {
  static ConsolePrompts prompts;
  return prompts;
}

}  // namespace quendrolix::cli
