#pragma once

#include <QObject>

// The desktop program driven as a user would: command line, menus, list-bar buttons, the
// grid, dialogs, and the files it writes.
class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void commandLineProjectFillsGrid();
  void createFollowsImagesAndSound();
  void listBarMovesShowInGrid();
  void frameCountEditedInGridReachesList();
  void saveAsWritesWhatCliReads();
  void dialogsApplyTheirRules();
  void viewCentresPictureInEtchedFrame();
  void dropsAndSettingsAtExit();
  void settingsFileJobRunsAfterStartup();
};
