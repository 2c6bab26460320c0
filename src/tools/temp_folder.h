#pragma once

// The program's "Temp" folder, where joining and the TIFF converter lay out numbered
// frames for Quick create to pick up.

#include <string>

#include "tools/build_environment.h"

namespace quendrolix {

// The program folder's "Temp" folder, ending in '/'.
std::string ProgramTempFolder();

// True when `folder` is a folder that could be entered. The current directory is never
// changed to find out.
bool TempFolderExists(const std::string& folder);
// Creates every missing level of `folder`; true when it exists afterwards.
bool CreateTempFolder(const std::string& folder);
// Deletes the plain files of the program's own temporary folder: files that are not
// links, not hidden (a leading '.') and not write-protected. Sub-folders and everything
// outside stay. `folder` must name ProgramTempFolder() (however spelt); any other folder
// is refused with false, so a wrong argument can never empty a user's folder. The
// current directory is left as it was.
bool EmptyTempFolder(const std::string& folder);

// How a tool that builds through the temporary folder ended.
enum class FrameToolStatus {
  kBuilt,          // the output was written
  kInputMissing,   // "Cannot find " + path
  kNoTempFolder,   // "Could not create %s folder for temporary files"
  kNothingToJoin,  // an input gave no frames or pages (nothing said)
  kBuildFailed,    // Quick create failed and has said why
  kIncomplete,     // written, but without pictures that could not be placed (named in a message)
};

// A folder of one run's own inside the program's "Temp" folder, where joining and the
// TIFF converter lay out their frames. It is made fresh (so nothing left over by another
// run, a crash or the user is ever mixed in) and removed with everything in it when the
// object goes away, whether the run succeeded or not. When "Temp" cannot be made, "Could
// not create %s folder for temporary files" is shown and ok() is false.
class TempRunFolder {
 public:
  TempRunFolder();
  ~TempRunFolder();
  TempRunFolder(const TempRunFolder&) = delete;
  TempRunFolder& operator=(const TempRunFolder&) = delete;
  bool ok() const { return !path_.empty(); }
  // The folder, ending in '/'; empty when it could not be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Quick create of the folder's frames into `output`, without a sound of its own, each held
// for `framesPerPicture` frames (the default frame count when 0).
FrameToolStatus BuildFromTempFolder(CFramewrightDoc& doc, const std::string& folder,
                                    const std::string& output, const BuildEnvironment& env,
                                    int framesPerPicture = 0);

}  // namespace quendrolix
