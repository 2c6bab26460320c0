// The Tools menu's image tools: the quick extractors, the extraction dialog, joining two
// AVIs, merging an AVI with a sound, the TIFF converter and morphing.
#include <QFileInfo>
#include <filesystem>

#include "avi/avi_builder.h"
#include "avi/create_commands.h"
#include "command_table.h"
#include "conversion_log_window.h"
#include "extract_images_dlg.h"
#include "frame_progress_window.h"
#include "framewright_app.h"
#include "image/tools/frame_tools.h"
#include "image/tools/join_tools.h"
#include "image/tools/morph.h"
#include "join_avis_dlg.h"
#include "main_frame.h"
#include "merge_dlg.h"
#include "morph_dlg.h"
#include "platform/host/program_folder.h"

namespace quendrolix::app {
namespace {

const QString kAviOrMpgFilter = QStringLiteral("AVI Files|*.avi|MPG Files|*.mpg;*.mpeg||");
const QString kTiffFilter = QStringLiteral("TIFF Files (*.tif,*.tiff,*.cri)|*.cri;*.tif;*.tiff||");
const QString kMovieFilter =
    QStringLiteral("AVI Files (*.avi)|*.avi|MPEG Files (*.mpg,*.mpeg)|*.mpg;*.mpeg||");

// Runs `work` with the frame marked busy.
template <typename Work>
auto Busy(CMainFrame& frame, Work&& work) {
  frame.BeginConversion();
  struct End {
    CMainFrame& frame;
    ~End() { frame.EndConversion(); }
  } end{frame};
  return work();
}

// Each bitmap written shows in the "Progress" window and in the status bar.
FrameProgress WindowProgress(CMainFrame& frame, FrameProgressWindow& window) {
  return [&frame, &window](int number, const std::string& name) {
    frame.SetStatusText(QString::fromStdString(name));
    window.Report(number, QString::fromStdString(name));
  };
}

QString FirstOpen(CMainFrame& frame, FileChooser& chooser, const QString& title,
                  const QString& folder, const QString& filter) {
  QStringList files = chooser.ChooseOpenFiles(&frame, title, folder, filter, false);
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace

void WireImageTools(CMainFrame& frame) {
  CFramewrightApp& app = frame.app_;
  CFramewrightDoc& doc = app.doc();

  frame.Wire(kIdQuickImageExtractor, {[&frame, &app] {
               const QString file =
                   FirstOpen(frame, app.fileChooser(), "Quick AVI Image Extractor",
                             QString::fromStdString(app.folders().ImportFolder()), kAviOrMpgFilter);
               if (file.isEmpty()) return;
               app.folders().RememberOpened(file.toStdString(), true);
               // The folder the frames go to comes with the program; make it if it went away.
               std::error_code ec;
               std::filesystem::create_directories(ProgramFolder::Join("Samples"), ec);
               FrameProgressWindow window(file, &frame);
               Busy(frame, [&] {
                 return ExtractAviFrames(file.toStdString(), std::nullopt, 1, nullptr, {},
                                         WindowProgress(frame, window));
               });
             }});

  frame.Wire(
      kIdQuickSoundExtractor, {[&frame, &app] {
        const QString source =
            FirstOpen(frame, app.fileChooser(), "Quick AVI Sound Extractor",
                      QString::fromStdString(app.folders().ImportFolder()), kAviOrMpgFilter);
        if (source.isEmpty()) return;
        app.folders().RememberOpened(source.toStdString(), true);
        QString wav = app.fileChooser().ChooseSaveFile(
            &frame, "Save Sound As", QString::fromStdString(app.folders().SaveFolder()),
            kWaveFilter, "wav");
        if (wav.isEmpty()) return;
        wav = WithDefaultSuffix(wav, "wav");
        app.folders().RememberSaved(wav.toStdString(), true);
        if (Busy(frame, [&] { return ExtractAviSound(source.toStdString(), wav.toStdString()); }))
          frame.RememberOutputFile(wav.toStdString());
      }});

  frame.Wire(
      kIdExtractImages, {[&frame, &app, &doc] {
        const QString source = FirstOpen(frame, app.fileChooser(), ExtractImagesDialog::kTitle,
                                         QString::fromStdString(app.folders().ImportFolder()),
                                         ExtractImagesDialog::kOpenFilter);
        if (source.isEmpty()) return;
        app.folders().RememberOpened(source.toStdString());
        auto run = [&frame, &app, &doc](ExtractImagesDialog& rules) {
          FrameProgressWindow window(QString::fromStdString(rules.sourcePath), &frame);
          auto result = Busy(frame, [&] {
            return rules.DoIt(doc, app.frameState(), doc.store(), FrameComposer::ForDocument(doc),
                              WindowProgress(frame, window));
          });
          frame.OnDocumentChanged();
          return result;
        };
        ExtractImagesDlg dialog(ExtractImagesDialog::Open(source.toStdString(), doc.store()),
                                doc.store(), app.fileChooser(), run, &frame);
        dialog.exec();
      }});

  frame.Wire(kIdJoinAvis, {[&frame, &app, &doc] {
               auto run = [&](const QString& first, const QString& second, const QString& output) {
                 Busy(frame, [&] {
                   return JoinAvis(doc, first.toStdString(), second.toStdString(),
                                   output.toStdString(), frame.MakeBuildEnvironment());
                 });
               };
               JoinAvisDlg dialog(app.fileChooser(),
                                  QString::fromStdString(app.folders().ImportFolder()), run,
                                  &frame);
               dialog.exec();
             }});

  frame.Wire(kIdMergeAviSound, {[&frame, &app] {
               MergeDlg dialog(MergeForm::kAvi, app.fileChooser(),
                               QString::fromStdString(app.folders().ImportFolder()), &frame);
               if (dialog.exec() != QDialog::Accepted) return;
               const MergeDialog& chosen = dialog.rules();
               const BuildEnvironment env = frame.MakeBuildEnvironment();
               Busy(frame, [&] {
                 return MergeAviCommand(chosen.animationPath, chosen.soundPath, chosen.outputPath,
                                        env.playback);
               });
             }});

  frame.Wire(kIdTiffConverter, {[&frame, &app, &doc] {
               const QString tiff =
                   FirstOpen(frame, app.fileChooser(), "Multi-page TIFF->AVI/MPEG Converter",
                             QString::fromStdString(app.folders().ImportFolder()), kTiffFilter);
               if (tiff.isEmpty()) return;
               app.folders().RememberOpened(tiff.toStdString());
               const QString output = app.fileChooser().ChooseSaveFile(
                   &frame, "Save Movie As", QString::fromStdString(app.folders().SaveFolder()),
                   kMovieFilter, "avi");
               if (output.isEmpty()) return;
               app.folders().RememberSaved(output.toStdString());
               Busy(frame, [&] {
                 return ConvertTiffToMovie(doc, tiff.toStdString(), output.toStdString(),
                                           frame.MakeBuildEnvironment());
               });
             }});

  frame.Wire(kIdMorphing, {[&frame, &app, &doc] {
               MorphDlg dialog(MorphDialog::Open(doc.store()), doc.store(), app.fileChooser(),
                               QString::fromStdString(app.folders().ImportFolder()), &frame);
               if (dialog.exec() != QDialog::Accepted) return;
               const MorphDialog& rules = dialog.rules();
               std::vector<std::string> names;
               const bool ok = Busy(frame, [&] {
                 return MorphImages(names, rules.sourcePath, rules.targetPath, rules.folder,
                                    rules.steps, rules.start, FrameComposer::ForDocument(doc));
               });
               if (!ok) return;
               PutImagesIntoProject(doc, app.frameState(), names, rules.disposition);
               frame.OnDocumentChanged();
             }});
  // "GIF Output Settings" is wired once its dialog is part of the program.
}

}  // namespace quendrolix::app
