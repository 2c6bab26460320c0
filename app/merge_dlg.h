#pragma once

#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QPushButton>

#include "file_chooser.h"
#include "tools/merge_dialog.h"

namespace quendrolix::app {

// The merge dialog: pick an animation, a sound and an output; each picker button shows
// the chosen path as its caption. "Do it!" follows the core's MergeDialog rule.
class MergeDlg : public QDialog {
  Q_OBJECT

 public:
  MergeDlg(MergeForm form, FileChooser& chooser, const QString& folder, QWidget* parent = nullptr);

  // The pickers: merge_dialog::kAnimationButton, kSoundButton, kOutputButton.
  QPushButton* button(int id) const { return buttons_.value(id); }
  QLabel* prompt(int id) const { return prompts_.value(id); }
  QPushButton* okButton() const { return ok_; }
  const MergeDialog& rules() const { return rules_; }

  // What the pickers do once the user has chosen.
  void SetAnimation(const QString& path);
  void SetSound(const QString& path);
  void SetOutput(const QString& path);

 private:
  void Pick(int id);
  void SetPath(int id, std::string& slot, const QString& path);

  MergeDialog rules_;
  FileChooser& chooser_;
  QString folder_;
  QHash<int, QPushButton*> buttons_;
  QHash<int, QLabel*> prompts_;
  QPushButton* ok_;
};

}  // namespace quendrolix::app
