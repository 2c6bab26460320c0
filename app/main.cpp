// quendrolix: the desktop program.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "framewright_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(quendrolix::app::kAppTitle);
  QApplication::setOrganizationName(quendrolix::app::kRegistryKey);
  QApplication::setApplicationVersion(quendrolix::app::kVersion);
  // The desktop matches the window with its launcher and icon by these.
  QApplication::setDesktopFileName("org.quendrolix.MediaEditor");
  QIcon icon;
  icon.addFile(":/icons/icons/32/quendrolix.png");
  icon.addFile(":/icons/icons/256/quendrolix.png");
  QApplication::setWindowIcon(icon);

  quendrolix::app::CommandLineInfo info;
  QString error;
  if (!quendrolix::app::CommandLineInfo::Parse(QApplication::arguments(), info, error)) {
    std::fprintf(stderr, "quendrolix: %s\n", qPrintable(error));
    return 2;
  }
  if (info.helpRequested) {
    std::fputs(qPrintable(info.helpText), stdout);
    return 0;
  }
  if (info.versionRequested) {
    std::printf("%s %s\n", qPrintable(quendrolix::app::kAppTitle),
                qPrintable(quendrolix::app::kVersion));
    return 0;
  }

  quendrolix::app::CFramewrightApp app;
  if (!app.InitInstance(info)) return 1;
  return application.exec();
}
