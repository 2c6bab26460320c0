// The main frame's production commands: Create, Quick create, the unattended build,
// playback, and the settings of what they make (codec, logo, MPG options) with the AVI to
// MPG converter.
#include <QApplication>
#include <QFileInfo>

#include "avi/codec_options.h"
#include "avi/company_logo_dialog.h"
#include "avi/frame_composition.h"
#include "avi_to_mpg_dlg.h"
#include "command_table.h"
#include "company_logo_dlg.h"
#include "compression_dlg.h"
#include "conversion_log_window.h"
#include "framewright_app.h"
#include "framewright_view.h"
#include "gif_output_settings_dlg.h"
#include "image/gif/gif_output_settings.h"
#include "main_frame.h"
#include "mpeg/options/mpg_output_options.h"
#include "mpg_output_options_dlg.h"
#include "platform/host/user_prompts.h"
#include "playback_window.h"
#include "quick_create_dlg.h"
#include "tools/create.h"
#include "tools/unattended_build.h"

namespace quendrolix::app {
namespace {

// The Create dialog offers GIF beside AVI and MPG: a ".gif" name goes to the GIF writer.
const QString kCreateFilter =
    QStringLiteral("AVI Files|*.avi|MPG Files|*.mpg;*.mpeg|GIF Files|*.gif|MP4 Files|*.mp4||");
const QString kAnimationFilter = QStringLiteral(
    "Animations (*.avi, *.mpg, *.gif, *.mp4)|*.avi;*.mpg;*.mpeg;*.gif;*.mp4|All Files (*.*)|*||");

// Every finished movie becomes the frame's output file and opens in the player.
class FramePlayback : public PlaybackRequest {
 public:
  explicit FramePlayback(CMainFrame& frame) : frame_(frame) {}
  void Play(const std::string& path) override {
    frame_.RememberOutputFile(path);
    frame_.PlayAnimation(QString::fromStdString(path));
  }

 private:
  CMainFrame& frame_;
};

// The view shows the selected image with the project's logo on it, stamped as every
// frame is.
class LogoStampingSource : public ViewPictureSource {
 public:
  void StampLogo(CBmp& picture, const CFramewrightDoc& doc) override {
    quendrolix::StampLogo(doc.logo, TheLogoPictures(), picture);
  }
};

class FrameAviToMpgHost : public AviToMpgHost {
 public:
  explicit FrameAviToMpgHost(CMainFrame& frame) : frame_(frame) {}
  void SetBusy(bool busy) override {
    if (busy)
      frame_.BeginConversion();
    else
      frame_.EndConversion();
  }
  void RememberOutputFile(const std::string& path) override { frame_.RememberOutputFile(path); }

 private:
  CMainFrame& frame_;
};

}  // namespace

void CMainFrame::CreateProductionServices() {
  playback_ = std::make_unique<FramePlayback>(*this);
  view_->SetPictureSource(std::make_unique<LogoStampingSource>());
}

BuildEnvironment CMainFrame::MakeBuildEnvironment() {
  BuildEnvironment env;
  env.frame = &app_.frameState();
  env.playback = playback_.get();
  env.showConversionLog = [this](bool shown) {
    if (shown) {
      log_->show();
      log_->raise();
    } else {
      log_->hide();
    }
  };
  env.conversionLogFile = [this](const std::string& path) {
    log_->SetFile(QString::fromStdString(path));
  };
  return env;
}

namespace {

// After a build: the file written becomes the last output file; a failed MPG keeps the
// log in sight, since its lines are the only account of what went wrong.
void AfterBuild(CMainFrame& frame, const BuildResult& result) {
  if (result.ok())
    frame.RememberOutputFile(result.output);
  else if (result.status == BuildStatus::kFailed && result.kind == OutputKind::kMpg)
    frame.conversionLog()->show();
}

}  // namespace

void CMainFrame::OnCreate() {
  QString path = app_.fileChooser().ChooseSaveFile(
      this, "Create AVI or MPG File", QString::fromStdString(app_.folders().SaveFolder()),
      kCreateFilter, "avi");
  if (path.isEmpty()) return;
  path = WithDefaultSuffix(path, "avi");
  app_.folders().RememberSaved(path.toStdString(), true);
  CreateOutput(path);
}

std::optional<BuildResult> CMainFrame::CreateOutput(const QString& path) {
  const std::string name = path.toStdString();
  if (CreateOutputKind(name) == OutputKind::kGif && TheGifOutputSettings().ShowDialog() &&
      !GifOutputSettingsDlg::Run(this))
    return std::nullopt;
  BuildEnvironment env = MakeBuildEnvironment();
  BeginConversion();
  BuildResult result = CreateFromProject(doc_, name, env);
  EndConversion();
  AfterBuild(*this, result);
  UpdateCommandUi();
  return result;
}

void CMainFrame::OnQuickCreate() {
  QuickCreateDlg dialog(app_.fileChooser(), QString::fromStdString(app_.folders().ImportFolder()),
                        QString::fromStdString(app_.folders().SaveFolder()), this);
  if (dialog.exec() != QDialog::Accepted) return;
  app_.folders().RememberSaved(dialog.request().output, true);
  QuickCreateFrom(dialog.request());
}

BuildResult CMainFrame::QuickCreateFrom(const QuickCreateRequest& request) {
  BuildEnvironment env = MakeBuildEnvironment();
  BeginConversion();
  BuildResult result = QuickCreate(doc_, request, env);
  EndConversion();
  AfterBuild(*this, result);
  return result;
}

void CMainFrame::BuildBatch() {
  // The job's build: nothing is played; a success ends the program (a posted close, as
  // the job's caller waits for the program to go), a failure leaves it open with the
  // error shown.
  BuildEnvironment env = MakeBuildEnvironment();
  env.playback = nullptr;
  BeginConversion();
  BuildResult result = BuildUnattended(doc_, env);
  EndConversion();
  // The job's project is the settings file's, not unsaved work: closing asks nothing.
  app_.history().Reset();
  AfterBuild(*this, result);
  if (result.ok()) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

PlaybackWindow* CMainFrame::playbackWindow() const {
  return player_;
}

void CMainFrame::PlayAnimation(const QString& path) {
  if (player_) {
    player_->close();
    player_ = nullptr;
  }
  player_ = new PlaybackWindow(this);
  if (!player_->Open(path)) {
    const QString why = player_->error();
    player_->close();
    player_ = nullptr;
    Prompts().ShowMessage(
        QString("The animation %1 cannot be played: %2.").arg(path, why).toStdString());
    return;
  }
  player_->show();
}

void CMainFrame::OnViewAnimation() {
  QStringList files = app_.fileChooser().ChooseOpenFiles(
      this, "View Animation", QString::fromStdString(app_.folders().SaveFolder()), kAnimationFilter,
      false);
  if (files.isEmpty()) return;
  PlayAnimation(files.first());
}

void CMainFrame::OnAviCodec() {
  ChooseCodecOptions(
      [this](CompressionDialogState& state) {
        CompressionDlg dialog(state, this);
        return dialog.exec() == QDialog::Accepted;
      },
      doc_.bitsPerPixel);
}

void CMainFrame::OnLogo() {
  CompanyLogoDlg dialog(CompanyLogoDialog::ForDocument(doc_), app_.fileChooser(),
                        QString::fromStdString(app_.folders().ImportFolder()), this);
  if (dialog.exec() != QDialog::Accepted) return;
  dialog.Rules().Apply(doc_);
  view_->ReloadPicture();
}

void CMainFrame::OnMpgOutputSettings() {
  MpgOutputOptionsDlg dialog(MpgOutputOptions::FromStore(doc_.store()), this);
  if (dialog.exec() != QDialog::Accepted) return;
  dialog.Rules().Accept(doc_.store());
}

void CMainFrame::OnAviToMpg() {
  AviToMpgDlg dialog(app_.fileChooser(), app_.folders(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  ConvertAvisToMpg(dialog.Request());
}

void CMainFrame::ConvertAvisToMpg(const AviToMpgRequest& request) {
  FrameAviToMpgHost host(*this);
  RunAviToMpg(request, &host);
}

}  // namespace quendrolix::app
