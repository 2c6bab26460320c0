#include "headless_build.h"

#include <cstdio>

#include "avi/avi_startup.h"
#include "cli_command.h"
#include "console_log.h"
#include "image/gif/gif_output_settings.h"
#include "platform/host/program_folder.h"

namespace quendrolix::cli {

void HeadlessProject::Start(const std::string& file) {
  if (!file.empty()) doc.OpenDocument(file);  // as the command line is processed
  StartupHooks hooks;
  InstallAviStartupHooks(hooks);
  InstallGifSettingsHook(hooks);
  hooks.openPendingDocument = [this](const std::string& path) {
    pendingFailed = doc.OpenDocument(path) != OpenOutcome::kProjectRead;
  };
  // No screen here: a true-colour depth, so no palette warning.
  report = RunStartupSequence(doc, view, 24, hooks);
}

void HeadlessProject::StartWithDefaults() {
  store.Load(ProgramFolder::Join("Clipora.ini"));
  store.SetWritable(false);  // showing or making a project never changes the settings
  ReadProjectDefaults(store, doc);
  doc.initialised = true;
}

void ConsolePlayback::Play(const std::string& path) {
  TheConsoleLog().ClearBar();
  std::printf("%s\n", path.c_str());
  std::fflush(stdout);
}

int ExitStatusOf(const BuildResult& result) {
  if (result.status == BuildStatus::kIncomplete) return kExitIncomplete;
  return result.ok() ? kExitOk : kExitFailure;
}

}  // namespace quendrolix::cli
