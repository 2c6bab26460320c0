// The GUI tests run without a display and keep QSettings (the recent-file list) in a
// folder of their own.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "main_window_test.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication application(argc, argv);
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}
