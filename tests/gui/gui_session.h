#pragma once

// One run of the desktop program as the GUI tests drive it.
#include <QAbstractItemModel>
#include <QApplication>
#include <QList>
#include <QStringList>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "file_chooser.h"
#include "framewright_app.h"
#include "framewright_view.h"
#include "image_list_bar.h"
#include "main_frame.h"
#include "platform/host/user_prompts.h"
#include "support/test_support.h"

namespace quendrolix::gui_testing {

using namespace quendrolix::app;

// Answers the next modal dialog of type T, once it shows, as the user would. The answer
// must end the dialog (accept, reject or a button that does).
template <typename T>
void WhenModal(std::function<void(T*)> answer) {
  auto* timer = new QTimer(qApp);
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, answer, tries] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog && ++*tries < 500) return;
    timer->stop();
    timer->deleteLater();
    if (dialog) answer(dialog);
  });
  timer->start(10);
}

// Answers the file dialogs in place of the user.
struct ScriptedChooser : FileChooser {
  QList<QStringList> openAnswers;
  QStringList saveAnswers;
  int openCalls = 0;
  int saveCalls = 0;
  QString lastFolder;
  QString lastFilter;

  QStringList ChooseOpenFiles(QWidget*, const QString&, const QString& folder,
                              const QString& filter, bool) override {
    ++openCalls;
    lastFolder = folder;
    lastFilter = filter;
    return openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
  }
  QString ChooseSaveFile(QWidget*, const QString&, const QString& start, const QString& filter,
                         const QString&) override {
    ++saveCalls;
    lastFolder = start;
    lastFilter = filter;
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
  }
};

// One run of the program with its own program folder, recorded messages and scripted
// file dialogs.
struct Session {
  quendrolix::testing::TempDir home;
  RecordingPrompts prompts;
  ScriptedChooser chooser;
  std::unique_ptr<CFramewrightApp> app;

  bool Start(const QStringList& extra = {}) {
    QStringList args{"quendrolix", "--home", QString::fromStdString(home.path().string())};
    args << extra;
    CommandLineInfo info;
    QString error;
    if (!CommandLineInfo::Parse(args, info, error)) return false;
    app = std::make_unique<CFramewrightApp>(&prompts);
    app->SetFileChooser(&chooser);
    if (!app->InitInstance(info)) return false;
    // The start-up sequence runs after the view's first paint.
    if (!QTest::qWaitForWindowExposed(frame())) return false;
    return QTest::qWaitFor([this] { return frame()->view()->started(); }, 5000);
  }
  void Stop() { app.reset(); }

  CMainFrame* frame() const { return app->mainFrame(); }
  CFramewrightDoc& doc() const { return app->doc(); }
  QTableView* grid() const { return frame()->listBar()->grid(); }
  QAbstractItemModel* model() const { return grid()->model(); }
  bool Enabled(int id) const {
    frame()->UpdateCommandUi();
    return frame()->Action(id)->isEnabled();
  }
  // The grid as "name:frames" per row.
  QStringList Rows() const {
    QStringList rows;
    for (int r = 0; r < model()->rowCount(); ++r)
      rows << model()->index(r, 0).data().toString() + ":" + model()->index(r, 1).data().toString();
    return rows;
  }
  void ClickRow(int modelRow) const {
    QRect cell = grid()->visualRect(model()->index(modelRow, 0));
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cell.center());
  }
  void Click(int buttonId) const {
    QTest::mouseClick(frame()->listBar()->button(buttonId), Qt::LeftButton);
  }
  QString File(const char* name) const { return QString::fromStdString(home.File(name)); }
};

}  // namespace quendrolix::gui_testing
