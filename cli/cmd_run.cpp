// quendrolix-cli run: start as the desktop program does with a file on its command line,
// without a window: show the project that start-up made, or, for a settings file that
// asks for it, build it unattended.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_command.h"
#include "headless_build.h"
#include "platform/host/user_prompts.h"
#include "tools/unattended_build.h"

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
    "A settings file with \"Auto\" = 1 is a build job instead: the project is built into\n"
    "its \"Output\" with its \"Sound\": an AVI when the name holds \".avi\", an MP4 when it\n"
    "ends in \".mp4\", an MPG when it holds \".mpg\" or \".mpeg\", an AVI otherwise. Exit status 0 "
    "when the file was made.";

int RunStartup(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("run", "run needs one file");
  HeadlessProject project;
  project.Start(args[0]);
  if (!project.report.settingsLoaded)
    Prompts().ShowMessage("Cannot read the settings file " + project.doc.settingsFilePath +
                          ": the defaults are used.");

  int status = kExitOk;
  if (project.report.batchBuildRequested) {
    // The batch timer's tick: build, and end the program only when the build succeeded.
    BuildResult result = BuildUnattended(project.doc);
    status = ExitStatusOf(result);
    if (result.ok()) std::printf("%s\n", result.output.c_str());
  } else {
    std::fputs(DescribeProject(project.doc).c_str(), stdout);
    if (project.pendingFailed) status = kExitFailure;
  }
  project.store.Save();  // as at the end of the program: written only when something changed
  return status;
}

CliRegistration registration({"run", "start as the program does with a settings file, headless",
                              kUsage, RunStartup});

}  // namespace
}  // namespace quendrolix::cli
