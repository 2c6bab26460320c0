#include "project/framewright_doc.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <iterator>
#include <type_traits>

#include "platform/host/atomic_file.h"
#include "platform/host/conversion_log.h"
#include "platform/host/program_folder.h"
#include "platform/host/user_prompts.h"
#include "project/file_io.h"
#include "project/project_file.h"

namespace quendrolix {
namespace fs = std::filesystem;
namespace {

std::string LowerExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

std::string CountText(int64_t count) {
  return std::to_string(std::clamp<int64_t>(count, INT32_MIN, INT32_MAX));
}

}  // namespace

std::string DisplayNameOf(const std::string& path) {
  return fs::path(path).filename().string();
}

bool IsImageExtension(const std::string& path) {
  static const char* const kImages[] = {"bmp", "dib",  "gif", "jpg", "jpeg", "pcx",  "png", "rle",
                                        "tif", "tiff", "tga", "cri", "webp", "heic", "heif"};
  std::string ext = LowerExtension(path);
  return std::any_of(std::begin(kImages), std::end(kImages),
                     [&](const char* image) { return ext == image; });
}

CFramewrightDoc::CFramewrightDoc(FrameList& list, SettingsStore& store)
    : list_(list), store_(store) {}

void CFramewrightDoc::Repaint() {
  if (listener_) listener_->RepaintView();
}

void CFramewrightDoc::SetImagePath(const std::string& displayName, const std::string& path) {
  imageNameTable_[displayName] = path;
}

std::string CFramewrightDoc::LookUpPath(const std::string& displayName) const {
  auto found = imageNameTable_.find(displayName);
  return found == imageNameTable_.end() ? std::string() : found->second;
}

std::string CFramewrightDoc::SelectedImagePath() const {
  int row = list_.FocusRow();
  if (row <= 0) return {};
  return LookUpPath(list_.Cell(row, FrameList::kNameColumn));
}

int CFramewrightDoc::DefaultFrameCount() const {
  int16_t replicate = 0;
  store_.GetInteger("General", "Replicate", replicate);
  return replicate > 0 ? replicate : 1;
}

int CFramewrightDoc::AddImage(const std::string& displayName, int insertAfter, int frameCount) {
  if (frameCount <= 0) frameCount = DefaultFrameCount();
  int row = insertAfter < 0 ? list_.AppendRow() : list_.InsertRowAfter(insertAfter);
  list_.SetCell(row, FrameList::kNameColumn, displayName);
  list_.SetCell(row, FrameList::kFramesColumn, CountText(frameCount));
  return row;
}

void CFramewrightDoc::ImportImages(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::string name = DisplayNameOf(path);
    SetImagePath(name, path);
    AddImage(name, -1, 0);
  }
}

void CFramewrightDoc::ImportChosenImages(std::vector<std::string> paths, DialogFolders& folders) {
  if (paths.empty()) return;
  std::sort(paths.begin(), paths.end());  // byte order of the whole path
  folders.RememberOpened(paths.front());
  ImportImages(paths);
}

bool CFramewrightDoc::DeleteSelected() {
  int row = list_.FocusRow();
  if (row <= 0 || !list_.DeleteRow(row)) return false;
  Repaint();
  return true;
}

bool CFramewrightDoc::Move(MoveDirection direction) {
  const int a = list_.FocusRow();
  const int n = list_.RowCount();
  if (a <= 0 || n <= 1) return false;
  auto copyRow = [&](int from, int to) {
    for (int column = 0; column < FrameList::kColumnCount; ++column)
      list_.SetCell(to, column, list_.Cell(from, column));
  };
  auto swapRows = [&](int x, int y) {
    std::string name = list_.Cell(x, 0), frames = list_.Cell(x, 1);
    copyRow(y, x);
    list_.SetCell(y, 0, name);
    list_.SetCell(y, 1, frames);
  };
  switch (direction) {
    case MoveDirection::kUp:
      if (a < 2) return false;
      swapRows(a, a - 1);
      list_.SetFocusRow(a - 1);
      break;
    case MoveDirection::kDown:
      if (a > n - 2) return false;
      swapRows(a, a + 1);
      list_.SetFocusRow(a + 1);
      break;
    case MoveDirection::kFirst:
      if (a < 2) return false;
      list_.InsertRowAfter(0);
      copyRow(a + 1, 1);
      list_.DeleteRow(a + 1);
      list_.SetFocusRow(1);
      list_.RequestScroll(false);
      break;
    case MoveDirection::kLast: {
      int last = list_.AppendRow();
      copyRow(a, last);
      list_.DeleteRow(a);
      list_.SetFocusRow(list_.EntryCount());
      list_.RequestScroll(true);
      break;
    }
  }
  return true;
}

void CFramewrightDoc::ReplicateFrames(int n, ReplicationMode mode) {
  for (int row = 1; row <= list_.EntryCount(); ++row) {
    int64_t count = n;
    if (mode == ReplicationMode::kAddToCurrent)
      count = std::max<int64_t>(
          int64_t{FrameCountFromText(list_.Cell(row, FrameList::kFramesColumn))} + n, 1);
    list_.SetCell(row, FrameList::kFramesColumn, CountText(count));
  }
}

bool CFramewrightDoc::SaveReplicateDefault(int typed) {
  int value = std::clamp(typed, 1, int{INT16_MAX});
  store_.SetInteger("General", "Replicate", static_cast<int16_t>(value));
  return store_.Save();
}

void CFramewrightDoc::AttachSound(const std::string& path) {
  soundFile_ = path;
  if (listener_) listener_->SoundChanged(soundFile_);
}

void CFramewrightDoc::DetachSound() {
  AttachSound(std::string());
}

bool CFramewrightDoc::AcceptPasteSize(ProjectSize& projectSize, int width, int height,
                                      bool autoPaste) {
  if (projectSize.IsUnset()) {
    projectSize = ProjectSize{width, height};
    return true;
  }
  if (projectSize == ProjectSize{width, height}) return true;
  if (!autoPaste)
    Prompts().ShowMessage(StringPrintf("All images must be the same size (%dx%d for this project)",
                                       projectSize.width, projectSize.height));
  return false;
}

std::string CFramewrightDoc::NextPasteFilePath() {
  fs::path folder = ProgramFolder::Get() / "Images";
  fs::path full;
  std::error_code ec;
  do {
    full = folder / StringPrintf("Image%d.bmp", pasteCounter);
    ++pasteCounter;
  } while (fs::exists(full, ec));
  return full.string();
}

int CFramewrightDoc::PasteInsertPosition() const {
  int s = list_.FocusRow();
  return (s > 0 && s < list_.RowCount() - 1) ? s : -1;
}

int CFramewrightDoc::Paste(int width, int height, bool autoPaste, MainFrameState& frame,
                           const SavePicture& savePicture) {
  if (!AcceptPasteSize(frame.projectSize, width, height, autoPaste)) return 0;
  std::string path = NextPasteFilePath();
  // The program folder starts without an "Images" folder here; without it every pasted
  // picture would be lost.
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (!savePicture || !savePicture(path)) {
    if (!autoPaste)
      Prompts().ShowMessage(StringPrintf("Could not save the pasted image as %s", path.c_str()));
    return 0;
  }
  std::string name = DisplayNameOf(path);
  SetImagePath(name, path);
  int row = AddImage(name, PasteInsertPosition(), 0);
  list_.SetFocusRow(row);
  Repaint();
  return row;
}

void CFramewrightDoc::NewProject(MainFrameState& frame) {
  list_.ResetToHeader();
  pathName = "Untitled";
  title = "Untitled";
  frame.projectSize = ProjectSize{};
  if (listener_) listener_->ProjectCleared();
  DetachSound();
  Repaint();
}

void CFramewrightDoc::Refresh() {
  if (listener_) listener_->SoundChanged(soundFile_);
  list_.SetFocusRow(1);
  Repaint();
}

OpenOutcome CFramewrightDoc::OpenDocument(const std::string& path) {
  if (LowerExtension(path) == "ini") {
    settingsFilePath = path;
    return OpenOutcome::kSettingsFile;
  }
  if (IsImageExtension(path)) {
    ImportImages({path});
    return OpenOutcome::kImageImported;
  }
  if (!initialised) {
    pendingOpenPath = path;
    return OpenOutcome::kPending;
  }
  return ReadProjectFile(path) == ProjectReadStatus::kOk ? OpenOutcome::kProjectRead
                                                         : OpenOutcome::kProjectFailed;
}

ProjectReadStatus CFramewrightDoc::ReadProjectFile(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    Prompts().ShowMessage(StringPrintf("Cannot open the file %s.", path.c_str()));
    return ProjectReadStatus::kCannotOpen;
  }
  ProjectReadStatus status = ReadProject(*this, bytes, path);
  if (status == ProjectReadStatus::kOk) {
    pathName = path;
    title = DisplayNameOf(path);
  }
  return status;
}

bool CFramewrightDoc::SaveProjectFile(const std::string& path) {
  std::string error;
  if (!AtomicFile::WriteWhole(path, WriteProject(*this), &error, true)) {
    Prompts().ShowMessage(StringPrintf("Could not save %s (%s).", path.c_str(), error.c_str()));
    return false;
  }
  pathName = path;
  title = DisplayNameOf(path);
  return true;
}

namespace {

// The keys of section "Logo" and the fields they hold, for reading and writing alike.
template <typename Settings, typename Visit>
void ForEachLogoKey(Settings& logo, Visit&& visit) {
  visit("bUseLogo", logo.bUseLogo);
  visit("bUseTransparent", logo.bUseTransparent);
  visit("nXPos", logo.nXPos);
  visit("nYPos", logo.nYPos);
  visit("bColorFromLogo", logo.bColorFromLogo);
  visit("crTrans", logo.crTrans);
  visit("sLogoFile", logo.sLogoFile);
}

}  // namespace

void LogoSettings::ReadFrom(const SettingsStore& store) {
  ForEachLogoKey(*this, [&](const char* key, auto& field) {
    using Field = std::decay_t<decltype(field)>;
    if constexpr (std::is_same_v<Field, std::string>)
      store.GetString("Logo", key, field);
    else if constexpr (std::is_same_v<Field, uint32_t>)
      store.GetColour("Logo", key, field);
    else
      store.GetInteger("Logo", key, field);
  });
}

void LogoSettings::WriteTo(SettingsStore& store) const {
  ForEachLogoKey(*this, [&](const char* key, const auto& field) {
    using Field = std::decay_t<decltype(field)>;
    if constexpr (std::is_same_v<Field, std::string>)
      store.SetString("Logo", key, field);
    else if constexpr (std::is_same_v<Field, uint32_t>)
      store.SetColour("Logo", key, field);
    else
      store.SetInteger("Logo", key, field);
  });
}

std::string DescribeProject(const CFramewrightDoc& doc) {
  std::string text = StringPrintf("fps: %d\nbpp: %d\n", doc.framesPerSecond, doc.bitsPerPixel);
  text += "sound: " + doc.soundFile() + "\n";
  text += doc.output.HasSize() ? StringPrintf("size: %dx%d\n", doc.output.width, doc.output.height)
                               : std::string("size: first picture\n");
  text += std::string("fit: ") + PictureFitName(doc.output.fit) + "\n";
  text += std::string("sound fit: ") + SoundFitName(doc.soundFit) + "\n";
  const FrameList& list = doc.list();
  for (int row = 1; row <= list.EntryCount(); ++row) {
    const std::string& name = list.Cell(row, FrameList::kNameColumn);
    text += std::to_string(row) + "\t" + name + "\t" +
            std::to_string(ConsumedFrameCount(list.Cell(row, FrameList::kFramesColumn))) + "\t" +
            doc.LookUpPath(name) + "\n";
  }
  return text;
}

}  // namespace quendrolix
