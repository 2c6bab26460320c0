#pragma once

#include <QMainWindow>
#include <QUrl>

class QAction;
class QTextBrowser;

namespace quendrolix::app {

// The manual's window: one page at a time with its links, back and forward, the contents
// page, and the page in the desktop's browser for printing or a larger view.
class HelpWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows a page file (an absolute path, optionally with "#anchor").
  void ShowPage(const QUrl& page);
  QUrl currentPage() const;
  QString pageTitle() const;
  QTextBrowser* browser() const { return browser_; }
  QAction* homeAction() const { return home_; }

 private:
  void OpenExternal(const QUrl& url);
  QTextBrowser* browser_;
  QAction* home_;
};

}  // namespace quendrolix::app
