#pragma once

// What the building commands share: a project filled as the desktop program fills it at
// start-up (with the codec options file and the logo), and the console's playback.

#include <string>

#include "project/framewright_doc.h"
#include "project/startup_sequence.h"
#include "tools/build_environment.h"

namespace quendrolix::cli {

// The document after start-up, as the program has it with FILE on its command line: a
// settings file (.ini) replaces Clipora.ini, a project file is opened once start-up is
// done, an image is added to the list. Without FILE the program folder's Clipora.ini is
// read. The settings are not written back.
struct HeadlessProject {
  FrameList list;
  SettingsStore store;
  CFramewrightDoc doc{list, store};
  ViewSettings view;
  StartupReport report;
  bool pendingFailed = false;  // the project named could not be read

  void Start(const std::string& file);
  // Only the project defaults of the program folder's Clipora.ini, which is never written
  // back: what making or showing a project file starts from.
  void StartWithDefaults();
};

// The console's answer to "play the movie": it names the file on standard output.
class ConsolePlayback : public PlaybackRequest {
 public:
  void Play(const std::string& path) override;
};

// A build's result as an exit status (what went wrong has been shown).
int ExitStatusOf(const BuildResult& result);

}  // namespace quendrolix::cli
