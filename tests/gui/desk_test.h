#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// The manual and its window, the checked number boxes, the image editor and the image
// processor, and the desktop's way of opening a project.
class DeskTest : public QObject {
  Q_OBJECT

 public slots:
  // Stands in for the desktop's browser.
  void OpenInBrowser(const QUrl& url) { browserUrls_ << url; }

 private:
  QList<QUrl> browserUrls_;

 private slots:
  void cleanup();
  void helpCommandsShowTheirPages();
  void dialogsOpenTheirPagesFromHelp();
  void countsAndRatesTakeOnlyNumbersInRange();
  void editorOperationsOnAPicture();
  void editorSavesBesideAndNeverOverTheOriginal();
  void imageProcessorWritesCopiesTheListUses();
  void desktopEntryOpensAProject();
  void editorTurnsOnInPlaceOfTheList();
  void webSiteItemOpensTheManualInTheBrowser();
  void missingPicturesAreMarkedWhenAProjectOpens();
  void importLeavesOutWhatIsNotAPicture();
  void statusAndProgressEndEachCommand();
};
