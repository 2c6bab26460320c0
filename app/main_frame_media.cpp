// The main frame's media tools: frame and sound extraction, joining, merging, the TIFF
// converter, morphing, and the sound converters and recorder.
#include <QFileInfo>
#include <filesystem>

#include "avi/avi_builder.h"
#include "command_table.h"
#include "conversion_log_window.h"
#include "extract_images_dlg.h"
#include "frame_progress_window.h"
#include "framewright_app.h"
#include "framewright_view.h"
#include "join_avis_dlg.h"
#include "main_frame.h"
#include "merge_dlg.h"
#include "morph_dlg.h"
#include "mpeg/audio/mp3/mp3_commands.h"
#include "mpeg/audio/sound_to_mp2.h"
#include "mpeg/system/mpg_merge.h"
#include "platform/host/file_exception.h"
#include "platform/host/program_folder.h"
#include "recorder_dlg.h"
#include "tools/extract_frames.h"
#include "tools/extract_sound.h"
#include "tools/join_avis.h"
#include "tools/merge_avi.h"
#include "tools/morph.h"
#include "tools/tiff_to_movie.h"

namespace quendrolix::app {
namespace {

const QString kAviOrMpgFilter = QStringLiteral("AVI Files|*.avi|MPG Files|*.mpg;*.mpeg||");
const QString kTiffFilter = QStringLiteral("TIFF Files (*.tif,*.tiff,*.cri)|*.cri;*.tif;*.tiff||");
const QString kMovieFilter = QStringLiteral(
    "AVI Files (*.avi)|*.avi|MPEG Files (*.mpg,*.mpeg)|*.mpg;*.mpeg|MP4 Files (*.mp4)|*.mp4||");

const QString kSoundToMp2Filter = QStringLiteral("Sound Files (*.avi, *.wav)|*.avi;*.wav||");
const QString kSoundToMp3Filter = QStringLiteral("Sound Files (*.wav)|*.wav||");

// The MP3 commands' marks go to the frame: busy and idle, the log hidden after a
// recording was saved, the file written.
class FrameMp3Host : public Mp3CommandHost {
 public:
  explicit FrameMp3Host(CMainFrame& frame) : frame_(frame) {}
  void SetLogBusy(bool busy) override {
    if (busy)
      frame_.BeginConversion();
    else
      frame_.EndConversion();
  }
  void HideLog() override { frame_.conversionLog()->hide(); }
  void RememberOutputFile(const std::string& path) override { frame_.RememberOutputFile(path); }

 private:
  CMainFrame& frame_;
};

std::vector<std::string> WithWavSuffix(const QStringList& files) {
  std::vector<std::string> out;
  for (const QString& file : files) out.push_back(WithDefaultSuffix(file, "wav").toStdString());
  return out;
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

void CMainFrame::OnQuickImageExtractor() {
  const QString file =
      FirstOpen(*this, app_.fileChooser(), "Quick AVI Image Extractor",
                QString::fromStdString(app_.folders().ImportFolder()), kAviOrMpgFilter);
  if (file.isEmpty()) return;
  app_.folders().RememberOpened(file.toStdString(), true);
  // The folder the frames go to comes with the program; make it if it went away.
  std::error_code ec;
  std::filesystem::create_directories(ProgramFolder::Join("Samples"), ec);
  FrameProgressWindow window(file, this);
  Busy([&] {
    return ExtractAviFrames(file.toStdString(), std::nullopt, 1, nullptr, {},
                            WindowProgress(*this, window));
  });
}

void CMainFrame::OnQuickSoundExtractor() {
  const QString source =
      FirstOpen(*this, app_.fileChooser(), "Quick AVI Sound Extractor",
                QString::fromStdString(app_.folders().ImportFolder()), kAviOrMpgFilter);
  if (source.isEmpty()) return;
  app_.folders().RememberOpened(source.toStdString(), true);
  QString wav = app_.fileChooser().ChooseSaveFile(
      this, "Save Sound As", QString::fromStdString(app_.folders().SaveFolder()), kWaveFilter,
      "wav");
  if (wav.isEmpty()) return;
  wav = WithDefaultSuffix(wav, "wav");
  app_.folders().RememberSaved(wav.toStdString(), true);
  if (Busy([&] { return ExtractAviSound(source.toStdString(), wav.toStdString()); }))
    RememberOutputFile(wav.toStdString());
}

void CMainFrame::OnExtractImages() {
  const QString source = FirstOpen(*this, app_.fileChooser(), ExtractImagesDialog::kTitle,
                                   QString::fromStdString(app_.folders().ImportFolder()),
                                   ExtractImagesDialog::kOpenFilter);
  if (source.isEmpty()) return;
  app_.folders().RememberOpened(source.toStdString());
  auto run = [this](ExtractImagesDialog& rules) {
    FrameProgressWindow window(QString::fromStdString(rules.sourcePath), this);
    auto result = Busy([&] {
      return rules.DoIt(doc_, app_.frameState(), doc_.store(), FrameComposer::ForDocument(doc_),
                        WindowProgress(*this, window));
    });
    OnDocumentChanged();
    return result;
  };
  ExtractImagesDlg dialog(ExtractImagesDialog::Open(source.toStdString(), doc_.store()),
                          doc_.store(), app_.fileChooser(), run, this);
  dialog.exec();
}

void CMainFrame::OnJoinAvis() {
  auto run = [this](const QString& first, const QString& second, const QString& output) {
    Busy([&] {
      return JoinAvis(doc_, first.toStdString(), second.toStdString(), output.toStdString(),
                      MakeBuildEnvironment());
    });
  };
  JoinAvisDlg dialog(app_.fileChooser(), QString::fromStdString(app_.folders().ImportFolder()), run,
                     this);
  dialog.exec();
}

void CMainFrame::OnMergeAviSound() {
  MergeDlg dialog(MergeForm::kAvi, app_.fileChooser(),
                  QString::fromStdString(app_.folders().ImportFolder()), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const MergeDialog& chosen = dialog.rules();
  const BuildEnvironment env = MakeBuildEnvironment();
  Busy([&] {
    return MergeAviCommand(chosen.animationPath, chosen.soundPath, chosen.outputPath, env.playback);
  });
}

void CMainFrame::OnTiffConverter() {
  const QString tiff =
      FirstOpen(*this, app_.fileChooser(), "Multi-page TIFF->AVI/MPEG Converter",
                QString::fromStdString(app_.folders().ImportFolder()), kTiffFilter);
  if (tiff.isEmpty()) return;
  app_.folders().RememberOpened(tiff.toStdString());
  const QString output = app_.fileChooser().ChooseSaveFile(
      this, "Save Movie As", QString::fromStdString(app_.folders().SaveFolder()), kMovieFilter,
      "avi");
  if (output.isEmpty()) return;
  app_.folders().RememberSaved(output.toStdString());
  Busy([&] {
    return ConvertTiffToMovie(doc_, tiff.toStdString(), output.toStdString(),
                              MakeBuildEnvironment());
  });
}

void CMainFrame::OnMorphing() {
  MorphDlg dialog(MorphDialog::Open(doc_.store()), doc_.store(), app_.fileChooser(),
                  QString::fromStdString(app_.folders().ImportFolder()), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const MorphDialog& rules = dialog.rules();
  std::vector<std::string> names;
  const bool ok = Busy([&] {
    return MorphImages(names, rules.sourcePath, rules.targetPath, rules.folder, rules.steps,
                       rules.start, FrameComposer::ForDocument(doc_), kScreenBitsPerPixel,
                       doc_.output.fit);
  });
  if (!ok) return;
  PutImagesIntoProject(doc_, app_.frameState(), names, rules.disposition);
  OnDocumentChanged();
}

Mp3CommandHost* CMainFrame::Mp3Host() {
  if (!mp3Host_) mp3Host_ = std::make_unique<FrameMp3Host>(*this);
  return mp3Host_.get();
}

void CMainFrame::OnWavToMp2() {
  QStringList files = app_.fileChooser().ChooseOpenFiles(
      this, "WAV -> MP2 Converter", QString::fromStdString(app_.folders().ImportFolder()),
      kSoundToMp2Filter, true);
  if (!files.isEmpty()) ConvertToMp2(files);
}

void CMainFrame::ConvertToMp2(const QStringList& files) {
  BeginConversion();
  for (const std::string& source : WithWavSuffix(files)) {
    const Mp2FileConversion made = ConvertSoundFileToMp2(source);
    if (made.ok)
      RememberOutputFile(made.mp2Path);
    else if (!made.abandoned)
      // Without a line the log would end in "Conversion completed" over a file that was
      // never written; an abandoned run has logged its own.
      ReportLine("Error: %s was not converted (%s)", source.c_str(), made.reason.c_str());
  }
  ReportLine("Conversion completed");
  EndConversion();
}

void CMainFrame::OnWavToMp3() {
  QStringList files = app_.fileChooser().ChooseOpenFiles(
      this, "WAV -> MP3 Converter", QString::fromStdString(app_.folders().ImportFolder()),
      kSoundToMp3Filter, true);
  if (files.isEmpty()) return;
  ConvertWavFilesToMp3(WithWavSuffix(files), Mp3Host());
}

void CMainFrame::OnRecorder() {
  std::unique_ptr<SoundBackend> backend =
      soundBackends_ ? soundBackends_() : MakeSystemSoundBackend();
  RecorderDlg dialog(*backend, app_.fileChooser(), Mp3Host(),
                     QString::fromStdString(app_.folders().SaveFolder()), this);
  dialog.exec();
}

void CMainFrame::OnMergeMpg() {
  MergeDlg dialog(MergeForm::kMpg, app_.fileChooser(),
                  QString::fromStdString(app_.folders().ImportFolder()), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const MergeDialog& chosen = dialog.rules();
  BeginConversion();
  std::string written;
  try {
    MergeMpgCommand(chosen.animationPath, chosen.soundPath, chosen.outputPath, &written);
  } catch (const CFileException&) {
    // Every abort has been told in the log or in a message box on its way out.
  }
  if (!written.empty()) RememberOutputFile(written);
  EndConversion();
}

}  // namespace quendrolix::app
