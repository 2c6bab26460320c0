#pragma once

// The program's "Temp" folder, where joining and the TIFF converter lay out numbered
// frames for Quick create to pick up.

#include <string>

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

}  // namespace quendrolix
