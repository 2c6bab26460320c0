#include "help_window.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QKeySequence>
#include <QStatusBar>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>

#include "help_topics.h"

namespace quendrolix::app {

HelpWindow::HelpWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("helpWindow");
  setWindowTitle("Quendrolix Media Editor Help");
  resize(760, 620);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("helpBrowser");
  // Links to pages of the manual stay here; web addresses and media files go to the
  // desktop, which knows how to show them.
  browser_->setOpenLinks(false);
  connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    QUrl target = browser_->source().resolved(url);
    QString path = target.toLocalFile();
    if (target.isLocalFile() && (path.endsWith(".htm") || path.endsWith(".html")))
      ShowPage(target);
    else
      OpenExternal(target);
  });
  connect(browser_, &QTextBrowser::highlighted, this,
          [this](const QUrl& url) { statusBar()->showMessage(url.toString()); });
  setCentralWidget(browser_);

  QToolBar* bar = addToolBar("Help");
  bar->setObjectName("helpToolbar");
  bar->setMovable(false);
  QAction* back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), "&Back");
  back->setShortcut(QKeySequence::Back);
  back->setEnabled(false);
  connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  QAction* forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), "&Forward");
  forward->setShortcut(QKeySequence::Forward);
  forward->setEnabled(false);
  connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  home_ = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), "&Contents");
  connect(home_, &QAction::triggered, this, [] { ShowHelpTopic(kHelpContents); });
  bar->addSeparator();
  QAction* external = bar->addAction("Open in &Browser");
  external->setToolTip("Shows this page in the desktop's web browser");
  connect(external, &QAction::triggered, this, [this] { OpenExternal(browser_->source()); });
  connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
    QString title = pageTitle();
    setWindowTitle(title.isEmpty() ? QString("Quendrolix Media Editor Help")
                                   : title + " - Quendrolix Media Editor Help");
  });
}

void HelpWindow::ShowPage(const QUrl& page) {
  // The text browser does not follow <link rel="stylesheet">: the manual's sheet is
  // given to it as the default instead.
  if (browser_->document()->defaultStyleSheet().isEmpty()) {
    QFile sheet(QString::fromStdString((HelpFolder() / "style.css").string()));
    if (sheet.open(QIODevice::ReadOnly))
      browser_->document()->setDefaultStyleSheet(QString::fromUtf8(sheet.readAll()));
  }
  browser_->setSource(page, QTextDocument::HtmlResource);
}

QUrl HelpWindow::currentPage() const {
  return browser_->source();
}

QString HelpWindow::pageTitle() const {
  return browser_->documentTitle();
}

void HelpWindow::OpenExternal(const QUrl& url) {
  if (url.isValid()) QDesktopServices::openUrl(url);
}

}  // namespace quendrolix::app
