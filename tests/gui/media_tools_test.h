#pragma once

#include <QObject>

// The picture view, the clipboard, the preview panel of the image dialogs and the sound
// and MPG tools, driven through the desktop program.
class MediaToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void viewShowsEachImportedImage();
  void pasteGoesThroughTheSystemClipboard();
  void autoPasteTakesEachPictureOnce();
  void copyAndCutPutThePictureOnTheClipboard();
  void importDialogPreviewsTheSelection();
  void recorderRecordsPlaysAndSaves();
  void mergeDialogOffersDoItWhenReady();
  void mergeCommandWritesSystemStream();
  void wavToMp2CommandWritesBesideEachSource();
  void wavToMp3CommandUsesTheEncoderLibrary();
  void recorderCommandSavesMp3();
};
