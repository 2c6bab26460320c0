#pragma once

#include <QObject>

// The Tools menu's image tools driven through the desktop program: the morph dialog and
// command, the extraction dialog and command.
class ImageToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void morphCommandStartsANewAnimation();
  void extractionDialogContinuesItsNumbering();
  void joinCommandWritesBothFilesFrames();
};
