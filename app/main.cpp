// quendrolix: the desktop program.
#include <QApplication>
#include <QCommandLineParser>

#include "main_frame.h"
#include "platform/host/program_folder.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("QuendrolixMediaEditor");
  QApplication::setOrganizationName("Quendrolix");
  QApplication::setApplicationVersion("4.0");

  QCommandLineParser parser;
  parser.setApplicationDescription("Quendrolix Media Editor");
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption home("home", "Program folder for settings and pasted images.", "DIR");
  parser.addOption(home);
  parser.addPositionalArgument("file", "A project, settings file or image to open.", "[file]");
  parser.process(app);
  if (parser.isSet(home)) quendrolix::ProgramFolder::SetOverride(parser.value(home).toStdString());

  quendrolix::app::CMainFrame frame;
  frame.show();
  return app.exec();
}
