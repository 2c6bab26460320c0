#pragma once

#include <QDialog>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "file_chooser.h"

namespace quendrolix::app {

// "Join 2 AVI-s Together": two AVIs and an output, each typed or browsed for. "&Do it!"
// is offered while all three are filled in and runs the join through `run`; the dialog
// stays open until "Close".
class JoinAvisDlg : public QDialog {
  Q_OBJECT

 public:
  using Runner =
      std::function<void(const QString& first, const QString& second, const QString& output)>;
  JoinAvisDlg(FileChooser& chooser, const QString& folder, Runner run, QWidget* parent = nullptr);

  static constexpr int kFirstEdit = 1070;
  static constexpr int kSecondEdit = 1071;
  static constexpr int kOutputEdit = 1072;
  static constexpr int kFirstButton = 1073;
  static constexpr int kSecondButton = 1074;
  static constexpr int kOutputButton = 1075;

  QLineEdit* edit(int id) const { return edits_.value(id); }
  QPushButton* button(int id) const { return buttons_.value(id); }
  QPushButton* doItButton() const { return doIt_; }
  QPushButton* closeButton() const { return close_; }

 private:
  void Browse(int editId);
  void UpdateDoIt();

  FileChooser& chooser_;
  QString folder_;
  Runner run_;
  QHash<int, QLineEdit*> edits_;
  QHash<int, QPushButton*> buttons_;
  QPushButton* doIt_;
  QPushButton* close_;
};

}  // namespace quendrolix::app
