#pragma once

#include <filesystem>
#include <string>

namespace quendrolix {

// Where the program keeps what it writes ("Clipora.ini", "AVI.codec", "Images/",
// "Samples/", "Temp/", "Morph/"), and where it finds what it ships with ("Dll/", help,
// samples). See the README for the search order.
class ProgramFolder {
 public:
  // The writable program folder, created on first use. Order: an override (--home),
  // $QUENDROLIX_HOME, the executable's folder when writable, $XDG_DATA_HOME/quendrolix
  // (default ~/.local/share/quendrolix).
  static std::filesystem::path Get();
  static void SetOverride(const std::filesystem::path& folder);  // empty clears it
  // Get() followed by a name, as the original's "program folder + name" strings.
  static std::string Join(const std::string& name);

  // The folder of the running executable.
  static std::filesystem::path ExecutableFolder();
  // The files that come with the program: beside the executable in a build tree, under
  // PREFIX/lib/quendrolix or PREFIX/share/quendrolix after an install. Returns the first
  // existing candidate that holds `relative`, or the build-tree candidate when none does.
  static std::filesystem::path LibraryFile(const std::string& relative);
  static std::filesystem::path DataFile(const std::string& relative);
};

}  // namespace quendrolix
