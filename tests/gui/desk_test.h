#pragma once

#include <QObject>

// The manual and its window, the checked number boxes, the image editor and the image
// processor, and the desktop's way of opening a project.
class DeskTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void helpCommandsShowTheirPages();
  void dialogsOpenTheirPagesFromHelp();
  void countsAndRatesTakeOnlyNumbersInRange();
  void editorOperationsOnAPicture();
  void editorSavesBesideAndNeverOverTheOriginal();
  void imageProcessorWritesCopiesTheListUses();
  void desktopEntryOpensAProject();
};
