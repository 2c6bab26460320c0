#include "gui_prompts.h"

#include <QMessageBox>

#include "framewright_app.h"

namespace quendrolix::app {

void GuiPrompts::ShowMessage(const std::string& text, const std::string& title, PromptIcon icon) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  switch (icon) {
    case PromptIcon::kInformation:
      boxIcon = QMessageBox::Information;
      break;
    case PromptIcon::kWarning:
      boxIcon = QMessageBox::Warning;
      break;
    case PromptIcon::kStop:
      boxIcon = QMessageBox::Critical;
      break;
    case PromptIcon::kQuestion:
      boxIcon = QMessageBox::Question;
      break;
    case PromptIcon::kNone:
      break;
  }
  QMessageBox box(boxIcon, title.empty() ? kAppTitle : QString::fromStdString(title),
                  QString::fromStdString(text), QMessageBox::Ok, window_);
  box.exec();
}

bool GuiPrompts::AskYesNo(const std::string& text) {
  return QMessageBox::question(window_, kAppTitle, QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

PromptAnswer GuiPrompts::AskYesNoCancel(const std::string& text) {
  switch (QMessageBox::question(window_, kAppTitle, QString::fromStdString(text),
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                QMessageBox::Yes)) {
    case QMessageBox::Yes:
      return PromptAnswer::kYes;
    case QMessageBox::No:
      return PromptAnswer::kNo;
    default:
      return PromptAnswer::kCancel;  // Escape and the window's close button too
  }
}

void GuiPrompts::ShowStatus(const std::string& text) {
  if (status_) status_(QString::fromStdString(text));
}

}  // namespace quendrolix::app
