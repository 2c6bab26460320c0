// The main frame's clipboard commands and the sound and MPG tools.
#include <QFileInfo>
#include <filesystem>

#include "command_table.h"
#include "conversion_log_window.h"
#include "framewright_app.h"
#include "framewright_view.h"
#include "image/cbmp.h"
#include "main_frame.h"
#include "merge_dlg.h"
#include "mpeg/audio/mp3/mp3_commands.h"
#include "mpeg/audio/sound_to_mp2.h"
#include "mpeg/system/mpg_merge.h"
#include "platform/host/file_exception.h"
#include "qt_clipboard.h"
#include "recorder_dlg.h"

namespace quendrolix::app {
namespace {

constexpr int kAutoPasteTimerMs = 400;
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

}  // namespace

void CMainFrame::CreateConversionTools() {
  log_ = new ConversionLogWindow(this);
  previousLog_ = &CurrentConversionLog();
  SetConversionLog(log_);
  clipboard_ = std::make_unique<ScopedQtClipboard>();
  mp3Host_ = std::make_unique<FrameMp3Host>(*this);
  // The frame's automatic-paste timer (id 123): one paste every 400 ms while it is on.
  autoPasteTimer_ = new QTimer(this);
  autoPasteTimer_->setInterval(kAutoPasteTimerMs);
  connect(autoPasteTimer_, &QTimer::timeout, this, [this] {
    if (!conversionRunning()) Paste(true);
  });
}

void CMainFrame::BeginConversion() {
  if (conversions_++ > 0) return;
  UpdateCommandUi();  // before the busy mark lets events through
  log_->SetBusy(true);
}

void CMainFrame::EndConversion() {
  if (conversions_ == 0 || --conversions_ > 0) return;
  log_->SetBusy(false);
  UpdateCommandUi();
}

void CMainFrame::RememberOutputFile(const std::string& path) {
  app_.frameState().lastOutputFile = path;
  log_->SetFile(QString::fromStdString(path));
}

int CMainFrame::Paste(bool autoPaste) {
  // The picture is taken into a picture of its own: a refused one must not become the
  // view's, or the next paint would make its size the project's.
  CBmp pasted;
  if (!pasted.PasteFromClipboard(TheClipboard())) return 0;
  int width = 0, height = 0;
  pasted.GetSize(width, height);
  std::string savedAt;
  int row = doc_.Paste(width, height, autoPaste, app_.frameState(), [&](const std::string& path) {
    if (autoPaste) {
      // Accepted: the same picture must not be taken again at the next tick.
      Clipboard& clipboard = TheClipboard();
      if (clipboard.Open()) {
        clipboard.Empty();
        clipboard.Close();
      }
    }
    savedAt = path;
    return pasted.Save(path);
  });
  if (row > 0) view_->AdoptPicture(std::move(pasted), savedAt);
  UpdateCommandUi();
  return row;
}

void CMainFrame::Copy() {
  CBmp& picture = view_->picture();
  if (picture.IsValid()) picture.CopyToClipboard(TheClipboard());
}

void CMainFrame::Cut() {
  if (!view_->picture().IsValid()) return;
  Copy();
  doc_.DeleteSelected();
}

void CMainFrame::OnAutoPaste() {
  MainFrameState& state = app_.frameState();
  state.autoPaste = !state.autoPaste;
  if (state.autoPaste)
    autoPasteTimer_->start();
  else
    autoPasteTimer_->stop();
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
    const std::string mp2 = std::filesystem::path(source).replace_extension("mp2").string();
    std::string reason;
    bool ok = false;
    try {
      ok = ConvertSoundToMp2(source, mp2, &reason);
    } catch (const CFileException&) {
      // The encoder has logged why it stopped.
    }
    if (ok)
      RememberOutputFile(mp2);
    else if (!reason.empty())
      // Without a line the log would end in "Conversion completed" over a file that was
      // never written.
      ReportLine("Error: %s was not converted (%s)", source.c_str(), reason.c_str());
  }
  ReportLine("Conversion completed");
  EndConversion();
}

void CMainFrame::OnWavToMp3() {
  QStringList files = app_.fileChooser().ChooseOpenFiles(
      this, "WAV -> MP3 Converter", QString::fromStdString(app_.folders().ImportFolder()),
      kSoundToMp3Filter, true);
  if (files.isEmpty()) return;
  ConvertWavFilesToMp3(WithWavSuffix(files), mp3Host_.get());
}

void CMainFrame::OnRecorder() {
  std::unique_ptr<SoundBackend> backend =
      soundBackends_ ? soundBackends_() : MakeSystemSoundBackend();
  RecorderDlg dialog(*backend, app_.fileChooser(), mp3Host_.get(),
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
