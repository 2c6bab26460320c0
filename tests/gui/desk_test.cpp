#include "desk_test.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTextBrowser>
#include <QToolBar>
#include <QtTest>
#include <filesystem>

#include "avi_output_options_dlg.h"
#include "command_table.h"
#include "conversion_log_window.h"
#include "editor/editor_dialogs.h"
#include "editor/image_editor.h"
#include "editor/image_processor_dlg.h"
#include "editor/paint_control.h"
#include "frame_replication_dlg.h"
#include "framewright_view.h"
#include "gif_output_settings_dlg.h"
#include "gui_session.h"
#include "help_topics.h"
#include "help_window.h"
#include "image/edit/image_edit.h"
#include "join_avis_dlg.h"
#include "morph_dlg.h"
#include "mpg_output_options_dlg.h"
#include "output_size_dlg.h"
#include "platform/host/program_folder.h"
#include "spin_edit.h"
#include "support/image_fixtures.h"

using namespace quendrolix;
using namespace quendrolix::app;
using quendrolix::gui_testing::ScriptedChooser;
using quendrolix::gui_testing::Session;
using quendrolix::gui_testing::WhenModal;
using quendrolix::testing::PatternBitmap;
using quendrolix::testing::ReadBytes;
using quendrolix::testing::ReadText;
using quendrolix::testing::RgbOf;
using quendrolix::testing::TempDir;
namespace fs = std::filesystem;

namespace {

// The page the help window shows, relative to the manual ("faq/troubleshooting.htm").
QString ShownTopic() {
  HelpWindow* window = CurrentHelpWindow();
  if (!window || !window->isVisible()) return {};
  QString shown = window->currentPage().toLocalFile();
  QString folder = QString::fromStdString(HelpFolder().string());
  return shown.startsWith(folder + "/") ? shown.mid(folder.size() + 1) : shown;
}

void CloseHelp() {
  if (HelpWindow* window = CurrentHelpWindow()) window->hide();
}

std::string SavePattern(const std::string& path, int w, int h, int seed = 0) {
  CBmp picture;
  picture.Attach(PatternBitmap(w, h, seed));
  if (!picture.Save(path)) return {};
  return path;
}

std::vector<uint8_t> PixelsOf(const std::string& path) {
  CBmp picture;
  return picture.Load(path) ? RgbOf(picture) : std::vector<uint8_t>();
}

// Drags the mouse over the paint control between two picture points.
void DragOver(PaintControl* paint, QPoint from, QPoint to) {
  QTest::mousePress(paint, Qt::LeftButton, {}, paint->ToWidget(from));
  QMouseEvent move(QEvent::MouseMove, paint->ToWidget(to), paint->mapToGlobal(paint->ToWidget(to)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(paint, &move);
  QTest::mouseRelease(paint, Qt::LeftButton, {}, paint->ToWidget(to));
}

}  // namespace

void DeskTest::cleanup() {
  CloseHelp();
  ProgramFolder::SetOverride({});
}

void DeskTest::helpCommandsShowTheirPages() {
  QVERIFY2(!HelpFolder().empty(), "the manual is not beside the test program");
  Session s;
  QVERIFY(s.Start());
  const std::pair<int, const char*> commands[] = {
      {kIdHelpContents, "index.htm"},
      {kIdTroubleshooting, "faq/troubleshooting.htm"},
      {kIdTutorialFirst, "Tutorials/your_first_animation.htm"},
      {kIdTutorialAutoPaste, "Tutorials/smart_paste.htm"},
      {kIdTutorialWeb, "Tutorials/using_media_files_in_web_pages.htm"},
  };
  for (const auto& [id, topic] : commands) {
    CloseHelp();
    QVERIFY(s.Enabled(id));
    s.frame()->Action(id)->trigger();
    QCOMPARE(ShownTopic(), QString(topic));
    QVERIFY(!CurrentHelpWindow()->pageTitle().isEmpty());
    QVERIFY(CurrentHelpWindow()->windowTitle().contains(CurrentHelpWindow()->pageTitle()));
  }

  // F1 from the main window: the contents. A link leads on; Back comes home again.
  CloseHelp();
  s.frame()->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(s.frame()));
  QTest::keyClick(s.frame(), Qt::Key_F1);
  QCOMPARE(ShownTopic(), QString("index.htm"));
  HelpWindow* help = CurrentHelpWindow();
  QVERIFY(help->browser()->toPlainText().contains("Tutorial: Your first animation"));
  emit help->browser()->anchorClicked(QUrl("faq/troubleshooting.htm"));
  QCOMPARE(ShownTopic(), QString("faq/troubleshooting.htm"));
  help->browser()->backward();
  QCOMPARE(ShownTopic(), QString("index.htm"));
  help->homeAction()->trigger();
  QCOMPARE(ShownTopic(), QString("index.htm"));

  // A topic the manual does not have shows nothing.
  CloseHelp();
  QVERIFY(!ShowHelpTopic("no/such/page.htm"));
  QVERIFY(ShownTopic().isEmpty());
}

void DeskTest::dialogsOpenTheirPagesFromHelp() {
  Session s;
  QVERIFY(s.Start());
  CFramewrightDoc& doc = s.doc();

  // Every dialog the manual knows has its page in the manual.
  for (const char* name :
       {"AviOutputOptionsDlg", "OutputSizeDlg", "FrameReplicationDlg", "CompanyLogoDlg",
        "CompressionDlg", "MpgOutputOptionsDlg", "AviToMpgDlg", "ExtractImagesDlg", "JoinAvisDlg",
        "MorphDlg", "QuickCreateDlg", "RecorderDlg", "GifOutputSettingsDlg", "ConversionLogWindow",
        "ImageProcessorDlg", "ResizeDlg", "BrightnessContrastDlg"}) {
    QString topic = DialogHelpTopic(QString("quendrolix::app::") + name, {});
    QVERIFY2(!topic.isEmpty(), name);
    QVERIFY2(!HelpPage(topic).empty(), qPrintable(topic));
  }
  QCOMPARE(DialogHelpTopic("quendrolix::app::MergeDlg", "Merge MPG with AVI / WAV / MP2"),
           QString("dialogs/merge_mpg_sound.htm"));
  QCOMPARE(DialogHelpTopic("quendrolix::app::MergeDlg", "Merge AVI with AVI / WAV"),
           QString("dialogs/merge_avi_sound.htm"));
  QVERIFY(DialogHelpTopic("QFileDialog", "Open").isEmpty());

  // Dialogs without a Help button of their own get one, and F1.
  auto helpButtonShows = [](QDialog* dialog, const QString& topic) {
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog)) return false;
    auto* button = dialog->findChild<QPushButton*>("helpButton");
    if (!button) return false;
    CloseHelp();
    button->click();
    if (ShownTopic() != topic) return false;
    CloseHelp();
    dialog->activateWindow();
    if (!QTest::qWaitForWindowActive(dialog)) return false;
    QTest::keyClick(dialog, Qt::Key_F1);
    bool byKey = ShownTopic() == topic;
    dialog->reject();
    return byKey;
  };
  {
    FrameReplicationDlg dialog(doc, s.frame());
    QVERIFY(helpButtonShows(&dialog, "dialogs/frame_replication.htm"));
    // Shown again, it keeps the one Help button.
    dialog.show();
    QCOMPARE(dialog.findChildren<QPushButton*>("helpButton").size(), 1);
    dialog.reject();
  }
  {
    AviOutputOptionsDlg dialog(AviOutputOptionsDialog::ForProject(doc), s.frame());
    QVERIFY(helpButtonShows(&dialog, "dialogs/avi_output_options.htm"));
  }
  {
    ImageProcessorDlg dialog(false, "/tmp", {}, s.frame());
    QVERIFY(helpButtonShows(&dialog, "dialogs/image_processor.htm"));
  }
  {
    // Buttons in a row of their own, no button box: Help goes beside Close.
    JoinAvisDlg dialog(s.chooser, "/tmp", {}, s.frame());
    QVERIFY(helpButtonShows(&dialog, "dialogs/join_avis.htm"));
  }

  // The GIF options' own Help, and "Tips on Morphing".
  CloseHelp();
  WhenModal<GifOutputSettingsDlg>([](GifOutputSettingsDlg* dialog) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
      if (button->text() == "&Help") button->click();
    dialog->reject();
  });
  s.frame()->Action(kIdGifOutputSettings)->trigger();
  QCOMPARE(ShownTopic(), QString("Tutorials/gif.htm"));
  CloseHelp();
  WhenModal<MorphDlg>([](MorphDlg* dialog) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
      if (button->text() == "Tips on Morphing") button->click();
    dialog->reject();
  });
  s.frame()->Action(kIdMorphing)->trigger();
  QCOMPARE(ShownTopic(), QString("how_to.../perform_morphing.htm"));
}

void DeskTest::countsAndRatesTakeOnlyNumbersInRange() {
  Session s;
  QVERIFY(s.Start());
  std::string a = SavePattern(s.File("a.png").toStdString(), 8, 8);
  std::string b = SavePattern(s.File("b.png").toStdString(), 8, 8);
  s.doc().ImportImages({a, b});
  QAbstractItemModel* model = s.model();
  QModelIndex first = model->index(0, 1);

  // Text that is not a count in range is refused; the cell keeps its count.
  for (const char* bad : {"abc", "-4", "0", "40000", "", "3x", "1.5"}) {
    QVERIFY2(!model->setData(first, QString(bad)), bad);
    QCOMPARE(first.data().toString(), QString("1"));
  }
  QVERIFY(model->setData(first, QString(" 12 ")));
  QCOMPARE(s.doc().list().Cell(1, FrameList::kFramesColumn), std::string("12"));
  QVERIFY(model->setData(first, QString("32767")));

  // Typing in the grid: the number box takes digits only.
  QModelIndex second = model->index(1, 1);
  s.grid()->setCurrentIndex(second);
  s.grid()->edit(second);
  auto* editor = s.grid()->findChild<SpinEdit*>("frameCountEditor");
  QVERIFY(editor);
  QCOMPARE(editor->value(), 1);
  editor->selectAll();
  QTest::keyClicks(editor, "abc");
  QCOMPARE(editor->value(), 1);
  editor->selectAll();
  QTest::keyClicks(editor, "-4");
  QVERIFY(editor->value() >= 1);
  editor->selectAll();
  QTest::keyClicks(editor, "7");
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_COMPARE(QString::fromStdString(s.doc().list().Cell(2, FrameList::kFramesColumn)),
               QString("7"));

  // Frames per second: 1 to 500, and nothing else can be typed.
  AviOutputOptionsDlg dialog(AviOutputOptionsDialog::ForProject(s.doc()));
  SpinEdit* rate = dialog.rateEdit();
  QCOMPARE(rate->minimum(), 1);
  QCOMPARE(rate->maximum(), 500);
  rate->selectAll();
  QTest::keyClicks(rate, "abc");
  QCOMPARE(rate->text(), QString("10"));
  rate->selectAll();
  QTest::keyClicks(rate, "900");
  QVERIFY(rate->value() <= 500);
  rate->setText("600 fps");
  QCOMPARE(rate->text(), QString("500"));
  rate->setText("abc");
  QCOMPARE(rate->text(), QString("1"));
  dialog.Rules().Apply(s.doc());
  QCOMPARE(s.doc().framesPerSecond, 1);

  // Output Size: the custom boxes only for "Custom"; OK refuses a side out of range and
  // stores a good one with the fit.
  {
    OutputSizeDlg sizes(OutputSizeDialog::ForProject(s.doc()));
    QVERIFY(!sizes.widthEdit()->isEnabled());
    sizes.presetBox()->setCurrentIndex(OutputSizeDialog::kCustom);
    QVERIFY(sizes.widthEdit()->isEnabled());
    sizes.widthEdit()->setText("0");
    sizes.heightEdit()->setText("600");
    bool warned = false;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      warned = box->text().contains("16384");
      box->accept();
    });
    sizes.accept();
    QVERIFY(warned);
    QCOMPARE(sizes.result(), int(QDialog::Rejected));
    sizes.widthEdit()->setText("800");
    sizes.fitButton(PictureFit::kCrop)->setChecked(true);
    sizes.accept();
    QCOMPARE(sizes.result(), int(QDialog::Accepted));
    sizes.Rules().Apply(s.doc());
    QVERIFY(s.doc().output == (OutputFormat{800, 600, PictureFit::kCrop}));
    sizes.presetBox()->setCurrentIndex(OutputSizeDialog::k1920x1080);
    QVERIFY(!sizes.heightEdit()->isEnabled());
    sizes.Rules().Apply(s.doc());
    QVERIFY(s.doc().output == (OutputFormat{1920, 1080, PictureFit::kCrop}));
  }
  // Options > Output Size... opens the dialog on the project and OK stores its choice.
  WhenModal<OutputSizeDlg>([](OutputSizeDlg* dialog) {
    dialog->presetBox()->setCurrentIndex(OutputSizeDialog::k1280x720);
    dialog->fitButton(PictureFit::kLetterbox)->setChecked(true);
    dialog->accept();
  });
  s.frame()->Action(kIdOutputSize)->trigger();
  QVERIFY(s.doc().output == (OutputFormat{1280, 720, PictureFit::kLetterbox}));

  // The view shows a picture larger than itself scaled down, its proportions kept; one
  // that fits at 1:1.
  QCOMPARE(CFramewrightView::ShownSize(QSize(800, 600), QSize(5640, 3172)), QSize(796, 448));
  QCOMPARE(CFramewrightView::ShownSize(QSize(800, 600), QSize(4000, 6000)), QSize(397, 596));
  QCOMPARE(CFramewrightView::ShownSize(QSize(800, 600), QSize(640, 480)), QSize(640, 480));

  // Frame Replication keeps to -100..100.
  FrameReplicationDlg replication(s.doc());
  QCOMPARE(replication.countEdit()->minimum(), -100);
  QCOMPARE(replication.countEdit()->maximum(), 100);
  replication.countEdit()->selectAll();
  QTest::keyClicks(replication.countEdit(), "x5");
  QCOMPARE(replication.countEdit()->text(), QString("5"));
}

void DeskTest::editorOperationsOnAPicture() {
  TempDir dir;
  std::string path = SavePattern(dir.File("pic.png"), 40, 30, 3);
  QVERIFY(!path.empty());
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  ScriptedChooser chooser;
  QWidget view;
  view.resize(400, 300);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  ImageEditor editor(view, chooser);
  QVERIFY(!editor.action(ImageEditor::kRotate90)->isEnabled());
  QVERIFY(editor.Open(path));
  PaintControl* paint = editor.paintControl();
  QVERIFY(paint->isVisible());
  QCOMPARE(paint->geometry(), view.rect());
  view.resize(500, 360);
  QCOMPARE(paint->geometry(), view.rect());  // it keeps covering the view
  QCOMPARE(paint->pictureSize(), QSize(40, 30));
  QStringList menus;
  for (QMenu* menu : editor.menus()) menus << menu->title();
  QCOMPARE(menus, QStringList({"&Image", "&Rotate", "&Effects", "&Tools"}));

  HBITMAP original = PatternBitmap(40, 30, 3);
  editor.action(ImageEditor::kRotate90)->trigger();
  QCOMPARE(paint->pictureSize(), QSize(30, 40));
  QVERIFY(!editor.action(ImageEditor::kCrop)->isEnabled());  // nothing selected yet

  // A rubber band over the picture, then Crop to Selection.
  DragOver(paint, QPoint(2, 3), QPoint(12, 18));
  QCOMPARE(paint->Selection(), (edit::EditRect{2, 3, 10, 15}));
  QVERIFY(editor.action(ImageEditor::kCrop)->isEnabled());
  editor.action(ImageEditor::kCrop)->trigger();
  QCOMPARE(paint->pictureSize(), QSize(10, 15));
  QCOMPARE(RgbOf(*editor.history().Current()),
           RgbOf(*edit::Crop(*edit::Rotate(*original, 1), {2, 3, 10, 15})));
  QVERIFY(paint->Selection().IsEmpty());

  editor.action(ImageEditor::kGreyscale)->trigger();
  std::vector<uint8_t> grey = RgbOf(*editor.history().Current());
  for (size_t i = 0; i < grey.size(); i += 3) {
    QCOMPARE(grey[i], grey[i + 1]);
    QCOMPARE(grey[i], grey[i + 2]);
  }
  QCOMPARE(editor.action(ImageEditor::kUndo)->text(), QString("&Undo Greyscale"));

  // Resize through its dialog: proportions kept, the height follows the width.
  WhenModal<ResizeDlg>([](ResizeDlg* dialog) {
    dialog->widthEdit()->setValue(20);
    dialog->accept();
  });
  editor.action(ImageEditor::kResize)->trigger();
  QCOMPARE(paint->pictureSize(), QSize(20, 30));

  // Brightness/Contrast through its dialog.
  std::vector<uint8_t> before = RgbOf(*editor.history().Current());
  WhenModal<BrightnessContrastDlg>([](BrightnessContrastDlg* dialog) {
    dialog->brightnessEdit()->setValue(30);
    dialog->accept();
  });
  editor.action(ImageEditor::kBrightnessContrast)->trigger();
  std::vector<uint8_t> brighter = RgbOf(*editor.history().Current());
  QCOMPARE(brighter.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) QVERIFY(brighter[i] >= before[i]);
  QVERIFY(brighter != before);

  // Undo all the way back to the picture as it was read; redo brings the edits back.
  int undone = 0;
  while (editor.action(ImageEditor::kUndo)->isEnabled()) {
    editor.action(ImageEditor::kUndo)->trigger();
    ++undone;
  }
  QCOMPARE(undone, 5);
  QCOMPARE(RgbOf(*editor.history().Current()), RgbOf(*original));
  QVERIFY(!editor.IsModified());
  for (int i = 0; i < 3; ++i) editor.action(ImageEditor::kRedo)->trigger();
  QCOMPARE(paint->pictureSize(), QSize(10, 15));
  QVERIFY(editor.IsModified());

  // Flips, 180 and 270: four quarter turns come back to the start.
  editor.action(ImageEditor::kRotate180)->trigger();
  editor.action(ImageEditor::kRotate90)->trigger();
  editor.action(ImageEditor::kRotate90)->trigger();
  editor.action(ImageEditor::kFlipHorizontal)->trigger();
  editor.action(ImageEditor::kFlipHorizontal)->trigger();
  editor.action(ImageEditor::kFlipVertical)->trigger();
  editor.action(ImageEditor::kFlipVertical)->trigger();
  editor.action(ImageEditor::kRotate270)->trigger();
  editor.action(ImageEditor::kRotate90)->trigger();
  QCOMPARE(RgbOf(*editor.history().Current()), grey);

  // Closing with changes asks; No leaves the files as they were.
  prompts.answers = {false};
  QVERIFY(editor.Close());
  QCOMPARE(prompts.questions.size(), size_t{1});
  QCOMPARE(prompts.questions[0], std::string("Save changes to pic.png?"));
  QVERIFY(!fs::exists(dir.File("pic-edited.png")));
  QVERIFY(!paint->isVisible());
  QVERIFY(!editor.action(ImageEditor::kRotate90)->isEnabled());

  // A file that is not a picture is not opened.
  quendrolix::testing::WriteText(dir.File("notes.png"), "text");
  QVERIFY(!editor.Open(dir.File("notes.png")));
  QVERIFY(!prompts.messages.empty());
  QVERIFY(prompts.messages.back().rfind("Cannot open " + dir.File("notes.png") + " for editing: ",
                                        0) == 0);
  QVERIFY(!editor.IsOpen());
}

void DeskTest::editorSavesBesideAndNeverOverTheOriginal() {
  TempDir dir;
  std::string path = SavePattern(dir.File("sky.bmp"), 16, 12, 1);
  std::vector<uint8_t> originalBytes = ReadBytes(path);
  RecordingPrompts prompts;
  ScopedPrompts scoped(prompts);
  ScriptedChooser chooser;
  QWidget view;
  view.resize(300, 200);
  ImageEditor editor(view, chooser);
  QVERIFY(editor.Open(path));
  QSignalSpy saved(&editor, &ImageEditor::pictureSaved);

  editor.action(ImageEditor::kRotate90)->trigger();
  editor.action(ImageEditor::kSave)->trigger();
  QCOMPARE(saved.size(), 1);
  QCOMPARE(saved[0][0].value<std::string>(), path);
  QCOMPARE(saved[0][1].value<std::string>(), dir.File("sky-edited.bmp"));
  QCOMPARE(ReadBytes(path), originalBytes);
  QCOMPARE(PixelsOf(dir.File("sky-edited.bmp")),
           RgbOf(*edit::Rotate(*PatternBitmap(16, 12, 1), 1)));
  QVERIFY(!editor.IsModified());
  QCOMPARE(editor.path(), dir.File("sky-edited.bmp"));

  // Saving again writes over the copy, not a copy of the copy.
  editor.action(ImageEditor::kFlipVertical)->trigger();
  QVERIFY(editor.Save());
  QCOMPARE(saved.size(), 1);
  QVERIFY(!fs::exists(dir.File("sky-edited-edited.bmp")));
  QCOMPARE(PixelsOf(dir.File("sky-edited.bmp")), RgbOf(*editor.history().Current()));

  // Save As: a format we cannot write is refused; a chosen name is written.
  QVERIFY(!editor.SaveAs(QString::fromStdString(dir.File("out.gif"))));
  QVERIFY(prompts.HasMessage("Pictures are saved as PNG, JPEG, BMP, TIFF or PCX files."));
  QVERIFY(!fs::exists(dir.File("out.gif")));
  chooser.saveAnswers << QString::fromStdString(dir.File("chosen"));
  editor.action(ImageEditor::kSaveAs)->trigger();
  QVERIFY(fs::exists(dir.File("chosen.png")));
  QCOMPARE(saved.size(), 2);
  QCOMPARE(saved[1][1].value<std::string>(), dir.File("chosen.png"));

  // A copy that cannot be written says why and leaves the edit unsaved.
  editor.action(ImageEditor::kGreyscale)->trigger();
  QVERIFY(!editor.SaveAs(QString::fromStdString(dir.File("no/such/folder/x.png"))));
  QVERIFY(editor.IsModified());

  // A second picture of the same name gets the next free copy name.
  prompts.answers = {false};
  QVERIFY(editor.Close());
  std::string again = SavePattern(dir.File("sky.bmp"), 16, 12, 2);
  QVERIFY(editor.Open(again));
  editor.action(ImageEditor::kRotate180)->trigger();
  QVERIFY(editor.Save());
  QCOMPARE(editor.path(), dir.File("sky-edited-2.bmp"));
}

void DeskTest::imageProcessorWritesCopiesTheListUses() {
  Session s;
  QVERIFY(s.Start());
  std::string a = SavePattern(s.File("a.png").toStdString(), 12, 8, 1);
  std::string b = SavePattern(s.File("b.bmp").toStdString(), 6, 4, 2);
  s.doc().ImportImages({a, b, s.File("gone.png").toStdString()});
  std::vector<uint8_t> aBytes = ReadBytes(a);

  // The dialog: the fit waits for an output size; a folder is needed.
  {
    ImageProcessorDlg dialog(false, QString(), {}, s.frame());
    auto* items = qobject_cast<QStandardItemModel*>(dialog.operationBox()->model());
    QVERIFY(items);
    QStandardItem* fit = items->item(dialog.operationBox()->count() - 1);
    QCOMPARE(fit->text(), QString("Fit to the project's output size"));
    QVERIFY(!fit->isEnabled());  // the project has no output size
    QVERIFY(!dialog.selectedButton()->isEnabled());
    QVERIFY(dialog.allButton()->isChecked());
    QVERIFY(!dialog.processButton()->isEnabled());
    dialog.folderEdit()->setText("/tmp/x");
    QVERIFY(dialog.processButton()->isEnabled());
    dialog.operationBox()->setCurrentText("Resize");
    dialog.widthEdit()->setValue(300);
    QCOMPARE(dialog.Operation().kind, edit::EditKind::kResize);
    QCOMPARE(dialog.Operation().width, 300);
  }

  {
    // With an output frame, the fit is offered with the project's size and fit.
    OutputFormat output{64, 48, PictureFit::kCrop};
    ImageProcessorDlg dialog(true, "/tmp/x", {}, s.frame(), output);
    auto* items = qobject_cast<QStandardItemModel*>(dialog.operationBox()->model());
    QStandardItem* fit = items->item(dialog.operationBox()->count() - 1);
    QVERIFY(fit->isEnabled());
    QCOMPARE(fit->text(), QString("Fit to the project's output size (64x48, crop)"));
    dialog.operationBox()->setCurrentIndex(dialog.operationBox()->count() - 1);
    edit::EditOperation operation = dialog.Operation();
    QCOMPARE(operation.kind, edit::EditKind::kFitToOutputSize);
    QCOMPARE(operation.width, 64);
    QCOMPARE(operation.height, 48);
    QCOMPARE(operation.fit, edit::FrameFit::kCrop);
  }

  // Through the command: all pictures, rotated, into a folder of their own.
  std::string out = s.File("rotated").toStdString();
  s.doc().store().SetString("Image Processor", "Dir", out);
  QStringList statuses;
  WhenModal<ImageProcessorDlg>([](ImageProcessorDlg* dialog) {
    dialog->operationBox()->setCurrentText("Rotate 90");
    dialog->allButton()->setChecked(true);
    dialog->accept();
  });
  ProcessorOutcome outcome =
      RunImageProcessor(s.frame(), s.doc(), {}, [&](const QString& text) { statuses << text; });
  QCOMPARE(outcome.written, 2);
  QCOMPARE(outcome.failed.size(), size_t{1});
  QVERIFY2(statuses.contains("Processing a.png (1 of 3)..."), qPrintable(statuses.join("|")));
  QCOMPARE(s.doc().LookUpPath("a.png"), out + "/a.png");
  QCOMPARE(s.doc().LookUpPath("b.bmp"), out + "/b.bmp");
  QCOMPARE(s.Rows(), QStringList({"a.png:1", "b.bmp:1", "gone.png:1"}));
  QCOMPARE(PixelsOf(out + "/b.bmp"), RgbOf(*edit::Rotate(*PatternBitmap(6, 4, 2), 1)));
  QCOMPARE(ReadBytes(a), aBytes);
  QCOMPARE(s.prompts.messages.size(), size_t{1});
  QVERIFY(s.prompts.messages[0].find("gone.png") != std::string::npos);

  // The selected picture only, into a folder where its name is taken by another file:
  // asked first; No keeps that file and writes beside it.
  std::string c = SavePattern(s.File("c.png").toStdString(), 5, 5, 3);
  QVERIFY(!SavePattern(out + "/c.png", 2, 2).empty());
  s.doc().ImportImages({c});
  s.doc().list().SetFocusRow(4);
  s.prompts.answers = {false};
  outcome = ProcessProjectPictures(s.doc(), edit::EditOperation{edit::EditKind::kGreyscale}, false,
                                   out, {});
  QCOMPARE(outcome.written, 1);
  QCOMPARE(s.prompts.questions.back(),
           "Some of the copies are already in " + out + ". Replace them?");
  QCOMPARE(s.doc().LookUpPath("c-2.png"), out + "/c-2.png");
  QCOMPARE(s.Rows().value(3), QString("c-2.png:1"));
  QCOMPARE(PixelsOf(out + "/c.png").size(), size_t{2 * 2 * 3});
  QCOMPARE(s.doc().LookUpPath("a.png"), out + "/a.png");  // not selected: untouched

  // A copy processed again into its own folder goes beside itself, without a question.
  s.doc().list().SetFocusRow(2);
  size_t asked = s.prompts.questions.size();
  outcome = ProcessProjectPictures(s.doc(), edit::EditOperation{edit::EditKind::kFlipVertical},
                                   false, out, {});
  QCOMPARE(outcome.written, 1);
  QCOMPARE(s.prompts.questions.size(), asked);
  QCOMPARE(s.Rows().value(1), QString("b-edited.bmp:1"));
  QVERIFY(fs::exists(out + "/b.bmp"));
}

void DeskTest::desktopEntryOpensAProject() {
  // The file manager runs the entry's Exec line with the project for %f.
  std::string entry = ReadText(quendrolix::testing::SourceDir() / "app/desktop" /
                               "org.quendrolix.MediaEditor.desktop");
  QString exec;
  for (const QString& line : QString::fromStdString(entry).split('\n'))
    if (line.startsWith("Exec=")) exec = line.mid(5);
  QStringList words = exec.split(' ', Qt::SkipEmptyParts);
  QVERIFY(words.size() >= 2);
  QCOMPARE(words[0], QString("quendrolix"));

  Session s;
  std::string picture = SavePattern(s.File("pic.png").toStdString(), 8, 8);
  {
    FrameList list;
    SettingsStore store;
    CFramewrightDoc doc(list, store);
    doc.ImportImages({picture});
    QVERIFY(doc.SaveProjectFile(s.File("handed.qdx").toStdString()));
  }
  QStringList arguments;
  for (const QString& word : words.mid(1))
    arguments << (word == "%f" || word == "%F" ? s.File("handed.qdx") : word);
  QVERIFY(arguments.contains(s.File("handed.qdx")));
  QVERIFY(s.Start(arguments));
  QCOMPARE(s.Rows(), QStringList({"pic.png:1"}));
  QCOMPARE(s.frame()->windowTitle(), QString("handed.qdx - Quendrolix Media Editor"));
}

void DeskTest::editorTurnsOnInPlaceOfTheList() {
  Session s;
  QVERIFY(s.Start());
  CMainFrame* frame = s.frame();
  QVERIFY(!s.Enabled(kIdImageEditor));  // no picture selected
  QVERIFY(!s.Enabled(kIdImageProcessor));
  std::string path = SavePattern(s.File("photo.png").toStdString(), 24, 16, 5);
  std::vector<uint8_t> originalBytes = ReadBytes(path);
  frame->ImportFiles({QString::fromStdString(path)});
  s.doc().list().SetFocusRow(1);
  QVERIFY(s.Enabled(kIdImageEditor));
  QVERIFY(s.Enabled(kIdImageProcessor));

  auto visibleMenus = [frame] {
    QStringList titles;
    for (QAction* entry : frame->menuBar()->actions())
      if (entry->isVisible()) titles << entry->text();
    return titles;
  };
  QStringList mainMenus = visibleMenus();
  QVERIFY(mainMenus.contains("&File"));

  frame->Action(kIdImageEditor)->trigger();
  auto* editor = frame->findChild<ImageEditor*>("imageEditor");
  QVERIFY(editor);
  QVERIFY(frame->Action(kIdImageEditor)->isChecked());
  QVERIFY(frame->listBar()->isHidden());
  QVERIFY(editor->paintControl()->isVisible());
  QVERIFY(editor->toolbar()->isVisible());
  QCOMPARE(visibleMenus(), QStringList({"&Image", "&Rotate", "&Effects", "&Tools"}));
  QCOMPARE(editor->paintControl()->pictureSize(), QSize(24, 16));
  // The Tools menu offers the processor and the way back.
  QMenu* tools = editor->menus().last();
  QVERIFY(tools->actions().contains(frame->Action(kIdImageEditor)));
  QVERIFY(tools->actions().contains(frame->Action(kIdImageProcessor)));

  editor->action(ImageEditor::kRotate270)->trigger();
  editor->action(ImageEditor::kSave)->trigger();
  std::string copy = s.File("photo-edited.png").toStdString();
  QVERIFY(fs::exists(copy));
  QCOMPARE(ReadBytes(path), originalBytes);
  // The list now shows and uses the copy.
  QCOMPARE(s.Rows(), QStringList({"photo-edited.png:1"}));
  QCOMPARE(s.doc().LookUpPath("photo-edited.png"), copy);

  frame->Action(kIdImageEditor)->trigger();
  QVERIFY(!frame->Action(kIdImageEditor)->isChecked());
  QVERIFY(!frame->listBar()->isHidden());
  QVERIFY(!editor->paintControl()->isVisible());
  QVERIFY(editor->toolbar()->isHidden());
  QCOMPARE(visibleMenus(), mainMenus);
  // The view shows the edited copy.
  QTRY_COMPARE(frame->view()->pictureSize(), QSize(16, 24));
  QCOMPARE(frame->view()->picturePath(), copy);

  // Closing the window while a picture has unsaved edits asks first.
  frame->Action(kIdImageEditor)->trigger();
  editor->action(ImageEditor::kGreyscale)->trigger();
  std::vector<uint8_t> edited = RgbOf(*editor->history().Current());
  s.prompts.answers = {true};
  s.prompts.threeWayAnswers = {PromptAnswer::kCancel};
  frame->close();
  // The picture first; then the project, whose list now names the edited copy (the
  // answer Cancel keeps the window open).
  QCOMPARE(s.prompts.questions.size(), size_t{2});
  QCOMPARE(s.prompts.questions[0], std::string("Save changes to photo-edited.png?"));
  QCOMPARE(s.prompts.questions[1], std::string("Save changes to Untitled?"));
  QVERIFY(frame->isVisible());
  std::string second = s.File("photo-edited-2.png").toStdString();
  QCOMPARE(PixelsOf(second), edited);
  QCOMPARE(s.Rows(), QStringList({"photo-edited-2.png:1"}));
}

void DeskTest::webSiteItemOpensTheManualInTheBrowser() {
  browserUrls_.clear();
  QDesktopServices::setUrlHandler("file", this, "OpenInBrowser");
  Session s;
  QVERIFY(s.Start());
  QVERIFY(s.Enabled(kIdWebSite));
  s.frame()->Action(kIdWebSite)->trigger();
  QDesktopServices::unsetUrlHandler("file");
  QCOMPARE(browserUrls_.size(), 1);
  QCOMPARE(browserUrls_[0].toLocalFile(), QString::fromStdString(HelpPage(kHelpContents).string()));
  QVERIFY(ShownTopic().isEmpty());  // in the browser, not the help window
}

void DeskTest::missingPicturesAreMarkedWhenAProjectOpens() {
  Session s;
  std::string here = SavePattern(s.File("here.png").toStdString(), 8, 8);
  std::string gone = SavePattern(s.File("gone.png").toStdString(), 8, 8);
  {
    FrameList list;
    SettingsStore store;
    CFramewrightDoc doc(list, store);
    doc.ImportImages({here, gone});
    QVERIFY(doc.SaveProjectFile(s.File("trip.qdx").toStdString()));
  }
  fs::remove(gone);
  QVERIFY(s.Start({s.File("trip.qdx")}));
  QAbstractItemModel* model = s.model();
  QCOMPARE(s.Rows(), QStringList({"here.png:1", "gone.png:1"}));
  QVERIFY(!model->index(0, 0).data(Qt::ForegroundRole).isValid());
  QVERIFY(!model->index(0, 0).data(Qt::DecorationRole).isValid());
  QVERIFY(model->index(1, 0).data(Qt::ForegroundRole).isValid());
  QVERIFY(model->index(1, 0).data(Qt::DecorationRole).isValid());
  QCOMPARE(model->index(1, 0).data(Qt::ToolTipRole).toString(),
           "Missing picture: " + QString::fromStdString(gone));

  // Put back and opened again: the mark is gone.
  SavePattern(gone, 8, 8);
  QVERIFY(s.app->OpenDocumentFile(s.File("trip.qdx")));
  QVERIFY(!s.model()->index(1, 0).data(Qt::ForegroundRole).isValid());
}

void DeskTest::importLeavesOutWhatIsNotAPicture() {
  Session s;
  QVERIFY(s.Start());
  std::string real = SavePattern(s.File("real.png").toStdString(), 8, 6);
  quendrolix::testing::WriteText(s.File("fake.jpg").toStdString(), "not a picture");
  quendrolix::testing::WriteText(s.File("notes.txt").toStdString(), "text");
  s.chooser.openAnswers << QStringList{s.File("fake.jpg"), QString::fromStdString(real),
                                       s.File("notes.txt")};
  s.frame()->Action(kIdImportImages)->trigger();
  QCOMPARE(s.Rows(), QStringList({"real.png:1"}));
  QVERIFY2(s.prompts.messages.size() == 1,
           [&] {
             std::string all;
             for (const auto& m : s.prompts.messages) all += m + " | ";
             return all;
           }()
               .c_str());
  const std::string& message = s.prompts.messages[0];
  QVERIFY(message.rfind("These files are not pictures", 0) == 0);
  QVERIFY(message.find(s.File("fake.jpg").toStdString()) != std::string::npos);
  QVERIFY(message.find(s.File("notes.txt").toStdString()) != std::string::npos);
  QCOMPARE(s.frame()->PaneText(0), QString("Ready"));

  // Only files that are not pictures: nothing added, the one message again.
  s.chooser.openAnswers << QStringList{s.File("notes.txt")};
  s.frame()->Action(kIdImportImages)->trigger();
  QCOMPARE(s.Rows(), QStringList({"real.png:1"}));
  QCOMPARE(s.prompts.messages.size(), size_t{2});

  // The view says why a missing picture is not shown.
  s.doc().ImportImages({s.File("gone.png").toStdString()});
  s.ClickRow(1);
  QTRY_COMPARE(s.frame()->view()->picturePath(), s.File("gone.png").toStdString());
  QImage shot = s.frame()->view()->grab().toImage();
  QRgb background = shot.pixel(0, 0);
  int marked = 0;
  for (int y = 0; y < shot.height(); y += 2)
    for (int x = 0; x < shot.width(); x += 2) marked += shot.pixel(x, y) != background;
  QVERIFY(marked > 20);  // the words, where an empty screen was
}

void DeskTest::statusAndProgressEndEachCommand() {
  Session s;
  QVERIFY(s.Start());
  // A command that leaves its own words in the status bar ends with "Ready".
  bool ran = false;
  s.frame()->Wire(kIdScreenBackground, {[&] {
                    s.frame()->SetStatusText("Merging...");
                    ran = true;
                  }});
  s.frame()->Action(kIdScreenBackground)->trigger();
  QVERIFY(ran);
  QCOMPARE(s.frame()->PaneText(0), QString("Ready"));

  // The Progress bar: a conversion that ends without an error stands at 100 %.
  ConversionLogWindow* log = s.frame()->conversionLog();
  log->SetBusy(true);
  log->ReportLine("Compressing video...");
  log->ReportPercent(97);
  log->SetBusy(false);
  QCOMPARE(log->progressBar()->value(), 100);
  // One that failed keeps where it stopped.
  log->SetBusy(true);
  log->ReportPercent(40);
  log->ReportLine("Error: the disk is full");
  log->SetBusy(false);
  QCOMPARE(log->progressBar()->value(), 40);
  log->hide();
}
