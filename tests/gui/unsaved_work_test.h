#pragma once

#include <QObject>

// Unsaved work: the modified mark, "Save changes to %s?" before the project is replaced or
// the program ends, a failed open that changes nothing, and undo / redo of the list.
class UnsavedWorkTest : public QObject {
  Q_OBJECT

 private slots:
  void eachSavePromptAndItsThreeAnswers();
  void aFailedOpenLeavesTheProjectAsItWas();
  void undoAndRedoEachListOperation();
};
