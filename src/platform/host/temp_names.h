#pragma once

#include <filesystem>
#include <string>

namespace quendrolix {

// A private folder for one run's intermediate files (elementary streams, access-unit
// lists, sound converted on the way). It is made under the system's temporary folder
// with a unique name and removed with everything in it when the object goes away, so
// that an aborted conversion leaves nothing behind and never touches a user's file.
class PrivateTempFolder {
 public:
  explicit PrivateTempFolder(const std::string& purpose = "run");
  ~PrivateTempFolder();
  PrivateTempFolder(const PrivateTempFolder&) = delete;
  PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  bool ok() const { return !path_.empty(); }
  // A name inside the folder; `name` is used as given ("video.m1v").
  std::filesystem::path File(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// A file name that does not exist yet in `folder`, made from `stem` and `extension`
// ("zqtemp" ".avi" gives "zqtemp-1a2b3c.avi"); the file is created empty so that no
// other caller can take the same name.
std::filesystem::path UniqueFileIn(const std::filesystem::path& folder, const std::string& stem,
                                   const std::string& extension);

}  // namespace quendrolix
