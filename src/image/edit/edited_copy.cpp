#include "image/edit/edited_copy.h"

#include <filesystem>
#include <regex>

#include "image/cbmp.h"
#include "image/image_io.h"

namespace quendrolix::edit {
namespace fs = std::filesystem;

bool CanWritePictureAs(const std::string& path) {
  const std::string ext = UpperExtension(path);
  return ext == "BMP" || ext == "JPG" || ext == "JPEG" || ext == "PNG" || ext == "PCX" ||
         ext == "TIF" || ext == "TIFF";
}

std::string WritablePictureName(const std::string& path) {
  if (CanWritePictureAs(path)) return path;
  return fs::path(path).replace_extension(".png").string();
}

namespace {

std::string NumberedFree(const fs::path& folder, const std::string& stem, const std::string& ext,
                         const std::string& firstSuffix, const std::string& numberedSuffix) {
  std::error_code ec;
  fs::path candidate = folder / (stem + firstSuffix + ext);
  for (int n = 2; fs::exists(candidate, ec) || ec; ++n) {
    ec.clear();
    candidate = folder / (stem + numberedSuffix + std::to_string(n) + ext);
  }
  return candidate.string();
}

}  // namespace

std::string EditedCopyPath(const std::string& original) {
  fs::path target(WritablePictureName(original));
  // A copy of a copy is numbered beside the first one, not named "-edited-edited".
  static const std::regex kEdited("(.+)-edited(-[0-9]+)?");
  std::string stem = target.stem().string();
  std::smatch match;
  if (std::regex_match(stem, match, kEdited)) stem = match[1].str();
  return NumberedFree(target.parent_path(), stem, target.extension().string(), "-edited",
                      "-edited-");
}

std::string FreePathLike(const std::string& path) {
  fs::path target(path);
  return NumberedFree(target.parent_path(), target.stem().string(), target.extension().string(), "",
                      "-");
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

bool SavePicture(const HBITMAP& picture, const std::string& path, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!picture) return fail("there is no picture to save");
  if (!CanWritePictureAs(path)) return fail("pictures cannot be saved in this format");
  CBmp bmp;
  bmp.Attach(picture);  // shared: saving does not change the pixels
  if (!bmp.Save(path)) return fail("the file could not be written");
  return true;
}

}  // namespace quendrolix::edit
