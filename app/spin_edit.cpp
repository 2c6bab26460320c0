#include "spin_edit.h"

#include <algorithm>

#include "project/text_numbers.h"

namespace quendrolix::app {

SpinEdit::SpinEdit(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
  setRange(minimum, maximum);
  // An emptied box goes back to the last number when it loses the focus.
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setAccelerated(true);
}

void SpinEdit::setText(const QString& text) {
  setValue(std::clamp(LeadingInteger(text.toStdString()), minimum(), maximum()));
}

}  // namespace quendrolix::app
