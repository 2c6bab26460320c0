#pragma once

// Where edited pictures are written. An original is never overwritten by the editor: its
// edited copy goes beside it under a name of its own.

#include <string>

#include "platform/gdi/gdi.h"

namespace quendrolix::edit {

// True for the extensions the image layer writes (bmp, jpg, jpeg, png, pcx, tif, tiff).
bool CanWritePictureAs(const std::string& path);
// `path` with ".png" in place of an extension the image layer cannot write.
std::string WritablePictureName(const std::string& path);
// The edited copy beside `original`: "<stem>-edited<ext>", else "<stem>-edited-2<ext>",
// "-edited-3", ... the first that does not exist. <ext> follows WritablePictureName. A
// picture that is itself such a copy is numbered beside it ("sky-edited.png" gives
// "sky-edited-2.png").
std::string EditedCopyPath(const std::string& original);
// `path` if no file is there, else "<stem>-2<ext>", "<stem>-3<ext>", ...
std::string FreePathLike(const std::string& path);

// True when both name the same file (the same text, or one file reached two ways).
bool SameFile(const std::string& a, const std::string& b);

// Writes the bitmap by the file's extension (through a temporary file, so that a failed
// write leaves what was there). False, with `error` worded for a message, when it fails.
bool SavePicture(const HBITMAP& picture, const std::string& path, std::string* error = nullptr);

}  // namespace quendrolix::edit
