#include "platform/host/user_prompts.h"

#include <algorithm>

namespace quendrolix {
namespace {

UserPrompts*& InstalledPrompts() {
  static UserPrompts* prompts = nullptr;
  return prompts;
}

}  // namespace

void RecordingPrompts::ShowMessage(const std::string& text, const std::string& title, PromptIcon) {
  messages.push_back(text);
  titles.push_back(title);
}

bool RecordingPrompts::AskYesNo(const std::string& text) {
  questions.push_back(text);
  if (answers.empty()) return false;
  bool answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

PromptAnswer RecordingPrompts::AskYesNoCancel(const std::string& text) {
  questions.push_back(text);
  if (threeWayAnswers.empty()) return PromptAnswer::kNo;
  PromptAnswer answer = threeWayAnswers.front();
  threeWayAnswers.erase(threeWayAnswers.begin());
  return answer;
}

bool RecordingPrompts::HasMessage(const std::string& text) const {
  return std::find(messages.begin(), messages.end(), text) != messages.end();
}

UserPrompts& Prompts() {
  static SilentPrompts silent;
  UserPrompts* prompts = InstalledPrompts();
  return prompts ? *prompts : silent;
}

void SetPrompts(UserPrompts* prompts) {
  InstalledPrompts() = prompts;
}

ScopedPrompts::ScopedPrompts(UserPrompts& prompts) : previous_(InstalledPrompts()) {
  InstalledPrompts() = &prompts;
}

ScopedPrompts::~ScopedPrompts() {
  InstalledPrompts() = previous_;
}

}  // namespace quendrolix
