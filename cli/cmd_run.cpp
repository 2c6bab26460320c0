// quendrolix-cli run: start as the desktop program does with a file on its command line,
// without a window, and show the project that start-up made.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_command.h"
#include "platform/host/user_prompts.h"
#include "project/framewright_doc.h"
#include "project/startup_sequence.h"

namespace quendrolix::cli {
namespace {

const char* const kUsage =
    "Usage: quendrolix-cli run FILE\n"
    "\n"
    "Starts as the program does with FILE on its command line, without a window. FILE is\n"
    "usually a settings file (.ini): start-up reads it in place of the program folder's\n"
    "Clipora.ini and fills the project from its \"General\", \"Logo\" and \"Images\"\n"
    "sections. A project file is opened after start-up; an image is added to the list.\n"
    "The project is then printed as \"project show\" prints it.\n"
    "A settings file with \"Auto\" = 1 and an \"Output\" asks for an unattended AVI build,\n"
    "which this build cannot do yet: it is refused with exit status 1.";

int RunStartup(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("run", "run needs one file");
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc(list, store);
  doc.OpenDocument(args[0]);  // as the command line is processed, before start-up

  bool pendingFailed = false;
  StartupHooks hooks;
  hooks.openPendingDocument = [&](const std::string& path) {
    pendingFailed = doc.OpenDocument(path) != OpenOutcome::kProjectRead;
  };
  ViewSettings view;
  // No screen here: a true-colour depth, so no palette warning.
  StartupReport report = RunStartupSequence(doc, view, 24, hooks);
  if (!report.settingsLoaded)
    Prompts().ShowMessage("Cannot read the settings file " + doc.settingsFilePath +
                          ": the defaults are used.");

  int status = kExitOk;
  if (report.batchBuildRequested && !doc.outputFile.empty()) {
    std::fprintf(stderr,
                 "quendrolix-cli run: cannot build %s unattended: the AVI builder is not part "
                 "of this build yet\n",
                 doc.outputFile.c_str());
    status = kExitFailure;
  } else {
    std::fputs(DescribeProject(doc).c_str(), stdout);
    if (pendingFailed) status = kExitFailure;
  }
  store.Save();  // as at the end of the program: written only when something changed
  return status;
}

CliRegistration registration({"run", "start as the program does with a settings file, headless",
                              kUsage, RunStartup});

}  // namespace
}  // namespace quendrolix::cli
