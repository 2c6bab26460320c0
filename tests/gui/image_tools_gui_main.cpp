// The image tools' GUI tests run without a display and keep QSettings in a folder of
// their own, as the other GUI tests do.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "image_tools_test.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication application(argc, argv);
  ImageToolsTest test;
  return QTest::qExec(&test, argc, argv);
}
