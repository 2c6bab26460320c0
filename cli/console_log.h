#pragma once

#include "platform/host/conversion_log.h"
#include "platform/host/user_prompts.h"

namespace quendrolix::cli {

// The CLI's conversion log: lines to standard output, the percentage as one progress
// bar on standard error when that is a terminal, fatal errors to standard error.
class ConsoleLog : public ConversionLog {
 public:
  ConsoleLog();
  void ReportLine(const std::string& text) override;
  void ReportFrame(unsigned frame) override;
  void ReportPercent(int percent) override;
  void ReportFatal(const std::string& text) override;
  int fatalCount() const { return fatalCount_; }
  void ClearBar();  // before other text reaches the terminal

 private:
  bool barShown_ = false;
  bool terminal_ = false;
  int fatalCount_ = 0;
  unsigned lastFrame_ = 0;
};

// Message boxes go to standard error; questions are answered by --yes / --no (default No).
class ConsolePrompts : public UserPrompts {
 public:
  void ShowMessage(const std::string& text, const std::string& title, PromptIcon icon) override;
  bool AskYesNo(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void SetAnswer(bool yes) { answer_ = yes; }
  void SetVerboseStatus(bool on) { verboseStatus_ = on; }

 private:
  bool answer_ = false;
  bool verboseStatus_ = false;
};

ConsoleLog& TheConsoleLog();
ConsolePrompts& TheConsolePrompts();

}  // namespace quendrolix::cli
