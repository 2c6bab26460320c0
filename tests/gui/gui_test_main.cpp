// The GUI tests run without a display and keep QSettings (the recent-file list) in a
// folder of their own. `quendrolix_gui_tests [CLASS] [QTest arguments]` runs one test
// class (all of them without CLASS).
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <vector>

#include "desk_test.h"
#include "image_tools_test.h"
#include "main_window_test.h"
#include "media_tools_test.h"
#include "player_test.h"
#include "production_test.h"
#include "screenshot_tour.h"
#include "unsaved_work_test.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication application(argc, argv);
  MainWindowTest mainWindow;
  MediaToolsTest mediaTools;
  ProductionTest production;
  ImageToolsTest imageTools;
  DeskTest desk;
  ScreenshotTour screenshots;
  PlayerTest player;
  UnsavedWorkTest unsaved;
  QObject* classes[] = {&mainWindow, &mediaTools,  &production, &imageTools,
                        &desk,       &screenshots, &player,     &unsaved};

  // A first argument naming a class picks it; the rest go to QTest.
  std::vector<char*> args(argv, argv + argc);
  QObject* only = nullptr;
  if (argc > 1) {
    for (QObject* test : classes)
      if (std::strcmp(argv[1], test->metaObject()->className()) == 0) only = test;
    if (only) args.erase(args.begin() + 1);
  }
  int failures = 0;
  for (QObject* test : classes)
    if (!only || test == only)
      failures += QTest::qExec(test, static_cast<int>(args.size()), args.data());
  return failures;
}
