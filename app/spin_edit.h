#pragma once

#include <QLineEdit>
#include <QSpinBox>

namespace quendrolix::app {

// A number box with arrows that holds only whole numbers within its range: letters and
// numbers outside it cannot be typed, so a dialog's rules always read a number. Values
// that come from the settings or a project are taken into the range when shown.
class SpinEdit : public QSpinBox {
  Q_OBJECT

 public:
  SpinEdit(int minimum, int maximum, QWidget* parent = nullptr);

  // The number as the dialog rules read it ("%d").
  QString text() const { return QString::number(value()); }
  // Shows the leading integer of `text` (0 when it has none), taken into the range.
  void setText(const QString& text);
  QLineEdit* edit() const { return lineEdit(); }
  void Step(int delta) { stepBy(delta); }
};

}  // namespace quendrolix::app
