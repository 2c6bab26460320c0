#pragma once

// The list's side of the image editor and the image processor: edited copies take the
// place of their originals in the project, and files that are not pictures stay out of it.

#include <functional>
#include <string>
#include <vector>

#include "project/framewright_doc.h"

namespace quendrolix {

// Every row whose image is `original` now shows the copy's file name and refers to the
// copy; frame counts and order stay. Returns the number of rows changed.
int UseEditedCopy(CFramewrightDoc& doc, const std::string& original, const std::string& copy);

// Paths split into those that are pictures and those that are not (missing, unreadable,
// or of a format the program cannot decode). `isPicture` defaults to decoding the file
// with the image layer.
struct PictureCheck {
  std::vector<std::string> pictures;
  std::vector<std::string> refused;
};
using PictureTest = std::function<bool(const std::string& path)>;
PictureCheck CheckPictures(const std::vector<std::string>& paths,
                           const PictureTest& isPicture = {});
bool DecodesAsPicture(const std::string& path);
// The one message that lists the refused files (at most kListedRefusals of them by name,
// then how many more).
inline constexpr size_t kListedRefusals = 15;
std::string RefusedPicturesMessage(const std::vector<std::string>& refused);

// Rows whose image file is not there (no path stored, or no file at the path).
std::vector<int> MissingPictureRows(const CFramewrightDoc& doc);

}  // namespace quendrolix
