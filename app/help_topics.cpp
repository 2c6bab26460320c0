#include "help_topics.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHash>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

#include "help_window.h"
#include "platform/host/program_folder.h"

namespace quendrolix::app {
namespace fs = std::filesystem;

namespace {

QPointer<HelpWindow>& TheHelpWindow() {
  static QPointer<HelpWindow> window;
  return window;
}

// Dialogs by class; the merge dialog serves two commands and is told apart by its title.
const QHash<QString, QString>& DialogPages() {
  static const QHash<QString, QString> pages = {
      {"AviOutputOptionsDlg", "dialogs/avi_output_options.htm"},
      {"OutputSizeDlg", "dialogs/output_size.htm"},
      {"FrameReplicationDlg", "dialogs/frame_replication.htm"},
      {"CompanyLogoDlg", "dialogs/company_logo.htm"},
      {"ColourPickerDlg", "dialogs/company_logo.htm"},
      {"CompressionDlg", "dialogs/video_compression.htm"},
      {"MpgOutputOptionsDlg", "dialogs/mpg_output_options.htm"},
      {"AviToMpgDlg", "dialogs/convert_avi_to_mpg.htm"},
      {"ExtractImagesDlg", "dialogs/extract_images.htm"},
      {"JoinAvisDlg", "dialogs/join_avis.htm"},
      {"MorphDlg", "dialogs/morphing.htm"},
      {"QuickCreateDlg", "dialogs/quick_create.htm"},
      {"RecorderDlg", "dialogs/sound_recorder.htm"},
      {"GifOutputSettingsDlg", "Tutorials/gif.htm"},
      {"ConversionLogWindow", "dialogs/progress.htm"},
      {"FrameProgressWindow", "dialogs/progress.htm"},
      {"ImageProcessorDlg", "dialogs/image_processor.htm"},
      {"ResizeDlg", kHelpImageEditor},
      {"BrightnessContrastDlg", kHelpImageEditor},
  };
  return pages;
}

// Watches every dialog that is shown and, the first time, gives it its help.
class DialogHelpFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      if (auto* dialog = qobject_cast<QDialog*>(watched)) Decorate(dialog);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static void Decorate(QDialog* dialog) {
    if (dialog->property("quendrolixHelp").isValid()) return;
    QString topic = DialogHelpTopic(dialog->metaObject()->className(), dialog->windowTitle());
    dialog->setProperty("quendrolixHelp", topic);
    if (topic.isEmpty()) return;
    auto show = [topic] { ShowHelpTopic(topic); };
    auto* key = new QShortcut(QKeySequence::HelpContents, dialog);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, dialog, show);
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
      if (QString(button->text()).remove('&') == "Help") return;  // its own
    auto* help = new QPushButton("&Help");
    help->setObjectName("helpButton");
    help->setAutoDefault(false);
    QObject::connect(help, &QPushButton::clicked, dialog, show);
    // Into the dialog's own button box (a nested one belongs to a part of it), else
    // beside its Close or Cancel button.
    const auto boxes =
        dialog->findChildren<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly);
    if (!boxes.isEmpty()) {
      boxes.first()->addButton(help, QDialogButtonBox::HelpRole);
      return;
    }
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
      QString text = QString(button->text()).remove('&');
      if (text != "Close" && text != "Cancel") continue;
      for (QBoxLayout* row : dialog->findChildren<QBoxLayout*>()) {
        int at = row->indexOf(button);
        if (at < 0) continue;
        row->insertWidget(at + 1, help);
        return;
      }
    }
    delete help;  // nowhere to put it: F1 still leads there
  }
};

}  // namespace

fs::path HelpFolder() {
  std::error_code ec;
  for (const fs::path& folder :
       {ProgramFolder::DataFile("VareZazu"), ProgramFolder::Get() / "VareZazu"}) {
    if (fs::is_regular_file(folder / kHelpContents, ec)) return folder;
  }
  return {};
}

fs::path HelpPage(const QString& topic) {
  fs::path folder = HelpFolder();
  if (folder.empty() || topic.isEmpty()) return {};
  QString file = topic.section('#', 0, 0);
  fs::path page = (folder / file.toStdString()).lexically_normal();
  std::error_code ec;
  if (!fs::is_regular_file(page, ec)) return {};
  return page;
}

bool ShowHelpTopic(const QString& topic) {
  fs::path page = HelpPage(topic);
  if (page.empty()) return false;
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(page.string()));
  if (topic.contains('#')) url.setFragment(topic.section('#', 1));
  QPointer<HelpWindow>& window = TheHelpWindow();
  if (!window) {
    window = new HelpWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The last window of the program closing (the main window) takes help along.
    QObject::connect(qApp, &QApplication::lastWindowClosed, window, &QWidget::close);
  }
  window->ShowPage(url);
  window->show();
  window->raise();
  window->activateWindow();
  return true;
}

HelpWindow* CurrentHelpWindow() {
  return TheHelpWindow();
}

bool OpenManualInBrowser() {
  fs::path page = HelpPage(kHelpContents);
  if (page.empty()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page.string())));
}

QString DialogHelpTopic(const QString& className, const QString& title) {
  QString name = className.section("::", -1);
  if (name == "MergeDlg")
    return title.startsWith("Merge MPG") ? "dialogs/merge_mpg_sound.htm"
                                         : "dialogs/merge_avi_sound.htm";
  return DialogPages().value(name);
}

void InstallDialogHelp() {
  static DialogHelpFilter* filter = nullptr;
  if (filter || !qApp) return;
  filter = new DialogHelpFilter(qApp);
  qApp->installEventFilter(filter);
}

}  // namespace quendrolix::app
