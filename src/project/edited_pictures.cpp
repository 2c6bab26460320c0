#include "project/edited_pictures.h"

#include <filesystem>

#include "image/cbmp.h"
#include "image/edit/edited_copy.h"
#include "platform/host/user_prompts.h"

namespace quendrolix {
namespace fs = std::filesystem;

int UseEditedCopy(CFramewrightDoc& doc, const std::string& original, const std::string& copy) {
  if (original.empty() || copy.empty()) return 0;
  const std::string name = DisplayNameOf(copy);
  FrameList& list = doc.list();
  int changed = 0;
  for (int row = 1; row <= list.EntryCount(); ++row) {
    std::string path = doc.LookUpPath(list.Cell(row, FrameList::kNameColumn));
    if (path.empty() || !edit::SameFile(path, original)) continue;
    list.SetCell(row, FrameList::kNameColumn, name);
    ++changed;
  }
  if (changed) doc.SetImagePath(name, copy);
  return changed;
}

bool DecodesAsPicture(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  // The decoders' own messages ("Not a JPEG file...") would come one per file: the caller
  // names every refused file in one message instead.
  SilentPrompts silent;
  ScopedPrompts quiet(silent);
  CBmp picture;
  return picture.Load(path) && picture.IsValid();
}

PictureCheck CheckPictures(const std::vector<std::string>& paths, const PictureTest& isPicture) {
  PictureCheck check;
  for (const std::string& path : paths) {
    bool ok = isPicture ? isPicture(path) : DecodesAsPicture(path);
    (ok ? check.pictures : check.refused).push_back(path);
  }
  return check;
}

std::string RefusedPicturesMessage(const std::vector<std::string>& refused) {
  if (refused.empty()) return {};
  std::string text =
      refused.size() == 1
          ? "This file is not a picture the program can read and was not added:\n"
          : "These files are not pictures the program can read and were not added:\n";
  for (size_t i = 0; i < refused.size() && i < kListedRefusals; ++i) text += "\n" + refused[i];
  if (refused.size() > kListedRefusals)
    text += "\n... and " + std::to_string(refused.size() - kListedRefusals) + " more";
  return text;
}

std::vector<int> MissingPictureRows(const CFramewrightDoc& doc) {
  std::vector<int> rows;
  const FrameList& list = doc.list();
  for (int row = 1; row <= list.EntryCount(); ++row) {
    std::string path = doc.LookUpPath(list.Cell(row, FrameList::kNameColumn));
    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec)) rows.push_back(row);
  }
  return rows;
}

}  // namespace quendrolix
