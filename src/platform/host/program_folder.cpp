#include "platform/host/program_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace quendrolix {
namespace fs = std::filesystem;
namespace {

fs::path& Override() {
  static fs::path folder;
  return folder;
}

bool IsWritableFolder(const fs::path& folder) {
  std::error_code ec;
  return fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

fs::path Resolve() {
  if (!Override().empty()) return Override();
  if (const char* home = std::getenv("QUENDROLIX_HOME"); home && *home) return home;
  fs::path exe = ProgramFolder::ExecutableFolder();
  if (!exe.empty() && IsWritableFolder(exe)) return exe;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
    return fs::path(xdg) / "quendrolix";
  if (const char* home = std::getenv("HOME"); home && *home)
    return fs::path(home) / ".local/share/quendrolix";
  return fs::current_path() / "quendrolix";
}

fs::path FirstExisting(std::initializer_list<fs::path> candidates, const std::string& relative) {
  std::error_code ec;
  for (const auto& base : candidates)
    if (fs::exists(base / relative, ec)) return base / relative;
  return *candidates.begin() / relative;
}

}  // namespace

fs::path ProgramFolder::Get() {
  fs::path folder = Resolve();
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder;
}

void ProgramFolder::SetOverride(const fs::path& folder) {
  Override() = folder.empty() ? fs::path() : fs::absolute(folder);
}

std::string ProgramFolder::Join(const std::string& name) {
  return (Get() / name).string();
}

fs::path ProgramFolder::ExecutableFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

fs::path ProgramFolder::LibraryFile(const std::string& relative) {
  fs::path exe = ExecutableFolder();
  return FirstExisting({exe, exe.parent_path() / "lib/quendrolix"}, relative);
}

fs::path ProgramFolder::DataFile(const std::string& relative) {
  fs::path exe = ExecutableFolder();
  return FirstExisting({exe, exe.parent_path() / "share/quendrolix"}, relative);
}

}  // namespace quendrolix
