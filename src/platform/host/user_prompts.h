#pragma once

#include <string>
#include <vector>

namespace quendrolix {

enum class PromptIcon { kNone, kInformation, kWarning, kStop, kQuestion };
enum class PromptAnswer { kYes, kNo, kCancel };

// Message boxes, Yes/No questions and the status-bar text, as the engines and commands
// use them. The GUI shows dialogs; the CLI prints to standard error and answers questions
// from its options; tests record what was said and script the answers.
class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  virtual void ShowMessage(const std::string& text, const std::string& title = {},
                           PromptIcon icon = PromptIcon::kNone) = 0;
  virtual bool AskYesNo(const std::string& text) = 0;
  // A question that may also be called off ("Save changes to %s?"). Fronts without a
  // Cancel answer as AskYesNo does.
  virtual PromptAnswer AskYesNoCancel(const std::string& text) {
    return AskYesNo(text) ? PromptAnswer::kYes : PromptAnswer::kNo;
  }
  // Pane 0 of the status bar: "Adding %s...", "Creating AVI %s..." and the like.
  virtual void ShowStatus(const std::string& text) = 0;
};

// Says nothing and answers No; in force when no front has installed prompts.
class SilentPrompts : public UserPrompts {
 public:
  void ShowMessage(const std::string&, const std::string&, PromptIcon) override {}
  bool AskYesNo(const std::string&) override { return false; }
  void ShowStatus(const std::string&) override {}
};

// Records messages, questions and status texts; answers questions from a script.
class RecordingPrompts : public UserPrompts {
 public:
  void ShowMessage(const std::string& text, const std::string& title, PromptIcon icon) override;
  bool AskYesNo(const std::string& text) override;
  PromptAnswer AskYesNoCancel(const std::string& text) override;
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  bool HasMessage(const std::string& text) const;

  std::vector<std::string> messages;
  std::vector<std::string> titles;
  std::vector<std::string> questions;
  std::vector<std::string> statuses;
  std::vector<bool> answers;                  // consumed front to back; No when exhausted
  std::vector<PromptAnswer> threeWayAnswers;  // the same, for AskYesNoCancel
};

UserPrompts& Prompts();  // never null
void SetPrompts(UserPrompts* prompts);

class ScopedPrompts {
 public:
  explicit ScopedPrompts(UserPrompts& prompts);
  ~ScopedPrompts();
  ScopedPrompts(const ScopedPrompts&) = delete;
  ScopedPrompts& operator=(const ScopedPrompts&) = delete;

 private:
  UserPrompts* previous_;
};

}  // namespace quendrolix
