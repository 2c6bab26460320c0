#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/host/user_prompts.h"

namespace quendrolix::app {

// Messages and questions as message boxes over the main window; status texts to pane 0.
class GuiPrompts : public UserPrompts {
 public:
  void SetWindow(QWidget* window) { window_ = window; }
  void SetStatusSink(std::function<void(const QString&)> sink) { status_ = std::move(sink); }

  void ShowMessage(const std::string& text, const std::string& title = {},
                   PromptIcon icon = PromptIcon::kNone) override;
  bool AskYesNo(const std::string& text) override;
  PromptAnswer AskYesNoCancel(const std::string& text) override;
  void ShowStatus(const std::string& text) override;

 private:
  QPointer<QWidget> window_;
  std::function<void(const QString&)> status_;
};

}  // namespace quendrolix::app
