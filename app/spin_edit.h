#pragma once

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

namespace quendrolix::app {

// An edit box with a spin control beside it. The box holds free text, as the dialog
// rules read it (a leading integer, not clamped); only the arrows keep to the range:
// they step the number in the box, taken into the range first, and write it back.
class SpinEdit : public QWidget {
  Q_OBJECT

 public:
  SpinEdit(int minimum, int maximum, QWidget* parent = nullptr);

  QString text() const { return edit_->text(); }
  void setText(const QString& text) { edit_->setText(text); }
  QLineEdit* edit() const { return edit_; }
  QToolButton* upButton() const { return up_; }
  QToolButton* downButton() const { return down_; }
  void Step(int delta);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int minimum_;
  int maximum_;
  QLineEdit* edit_;
  QToolButton* up_;
  QToolButton* down_;
};

}  // namespace quendrolix::app
