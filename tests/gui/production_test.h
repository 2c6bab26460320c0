#pragma once

#include <QObject>

// Create, Quick create, the unattended build, playback and the settings of what they make,
// driven through the desktop program.
class ProductionTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void createAndConvertWriteFilesThatPlay();
  void createGifOpensItsOptionsFirst();
  void quickCreateAndUnattendedBuild();
  void codecDialogAsksBeforeSaving();
  void logoDialogStampsTheView();
};
