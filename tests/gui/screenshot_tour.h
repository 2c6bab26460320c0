#pragma once

#include <QObject>

// Every window of the program, with a project of real pictures, drawn as a user sees it.
// With QUENDROLIX_SCREENSHOTS set (make screenshots) the pictures are kept there; the
// manual shows them.
class ScreenshotTour : public QObject {
  Q_OBJECT

 private slots:
  void everyWindowDrawsItself();
};
