#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "project/frame_list.h"
#include "project/output_format.h"
#include "project/settings_store.h"

namespace quendrolix {

// Width and height of the project's images in pixels; 0 x 0 while unset. The view sets
// it whenever it paints the selected image; New resets it; the first paste sets it.
struct ProjectSize {
  int width = 0;
  int height = 0;
  bool IsUnset() const { return width == 0 && height == 0; }
  bool operator==(const ProjectSize&) const = default;
};

// The main frame's state that project operations need, without any window.
struct MainFrameState {
  ProjectSize projectSize;
  bool autoPaste = false;      // the automatic-paste toggle (its timer is the front's)
  std::string lastOutputFile;  // the file most recently written by Create or Quick create
};

// The logo settings of the document, with their construction values; section "Logo" of
// the settings file holds them between runs.
struct LogoSettings {
  int16_t bUseLogo = 1;
  int16_t bUseTransparent = 0;
  int16_t nXPos = 0, nYPos = 0;
  int16_t bColorFromLogo = 0;
  uint32_t crTrans = 0;             // 0x00BBGGRR
  std::string sLogoFile = "<LOGO";  // the built-in placeholder: no logo is drawn

  // Section "Logo": each key present replaces its member; WriteTo sets every key.
  void ReadFrom(const SettingsStore& store);
  void WriteTo(SettingsStore& store) const;
};

// What the document tells its front (the view, the sound button). All calls are optional.
class DocumentListener {
 public:
  virtual ~DocumentListener() = default;
  // The sound file changed (empty: none): the sound button's caption and visibility.
  virtual void SoundChanged(const std::string& /*soundFile*/) {}
  // The view should repaint (the selected image may have changed).
  virtual void RepaintView() {}
  // New project: the view releases its displayed picture.
  virtual void ProjectCleared() {}
};

enum class MoveDirection { kUp, kDown, kFirst, kLast };
enum class ReplicationMode { kSetForAll = 0, kAddToCurrent = 1 };

// How the document's open operation dealt with a path.
enum class OpenOutcome {
  kSettingsFile,   // ".ini": became the settings file path; start-up reads it
  kImageImported,  // an image extension: imported as one image
  kPending,        // before start-up finished: kept as the pending open path
  kProjectRead,    // read as a project file
  kProjectFailed,  // tried as a project file and refused (the reader showed why)
};

// Result of reading a project file. Everything but kOk has been shown through Prompts().
enum class ProjectReadStatus {
  kOk,
  kCannotOpen,          // the file could not be opened or read
  kUnknownFormat,       // "Unknown file format"
  kUnsupportedVersion,  // "Unsupported file version"
  kPastEnd,             // the file ends early
};

// The project document: settings of the project, the map from display names to image
// paths, and every operation on the project that needs no image decoding. The ordered
// list itself is the FrameList (held by the main frame's grid); defaults come from the
// SettingsStore. Both must outlive the document. One document serves the whole run and
// is reused by New and Open.
class CFramewrightDoc {
 public:
  CFramewrightDoc(FrameList& list, SettingsStore& store);

  FrameList& list() { return list_; }
  const FrameList& list() const { return list_; }
  SettingsStore& store() { return store_; }
  void SetListener(DocumentListener* listener) { listener_ = listener; }  // not owned

  // --- Members (plain data) -------------------------------------------------------
  std::string settingsFilePath;  // the settings file of this run; empty until start-up
  int16_t framesPerSecond = 10;
  int16_t bitsPerPixel = 24;  // 8, 16 or 24
  OutputFormat output;        // the frame size and how pictures fit it
  SoundFit soundFit = SoundFit::kTrim;
  int32_t pasteCounter = 0;  // numbers pasted images; New and Open keep it
  std::string outputFile;    // target of the unattended build
  std::string pendingOpenPath;
  bool initialised = false;  // set by the start-up sequence
  LogoSettings logo;
  // The framework's document name: the project file's path and title ("Untitled" after New).
  std::string pathName;
  std::string title = "Untitled";

  // --- Image names ---------------------------------------------------------------
  // Display name -> full path. Keyed by name alone: the path stored last wins for every
  // row showing that name. Entries are never removed.
  const std::unordered_map<std::string, std::string>& imageNameTable() const {
    return imageNameTable_;
  }
  void SetImagePath(const std::string& displayName, const std::string& path);
  // The path for a display name, or empty when the table has none.
  std::string LookUpPath(const std::string& displayName) const;
  // The path of the selected row's image, or empty when nothing is selected.
  std::string SelectedImagePath() const;

  // --- The list ------------------------------------------------------------------
  // Adds a row: `insertAfter` -1 appends, p >= 0 inserts directly after row p. A count
  // <= 0 becomes DefaultFrameCount(). Returns the new row's number.
  int AddImage(const std::string& displayName, int insertAfter, int frameCount);
  // "Replicate" of section "General" when greater than 0, otherwise 1.
  int DefaultFrameCount() const;
  // For each path in the given order: name = file name with extension, the name's path
  // is set, and the image is appended with the default frame count.
  void ImportImages(const std::vector<std::string>& paths);
  // The import command after its dialog: the chosen paths sorted in ascending byte order
  // (so "B.bmp" comes before "a.bmp"), the first one's folder remembered as the import
  // folder, then ImportImages.
  void ImportChosenImages(std::vector<std::string> paths, DialogFolders& folders);
  // Removes the selected row (s > 0); the name keeps its path. False when none selected.
  bool DeleteSelected();
  // Moves the selected row; false when the move does not apply (nothing selected, Up or
  // First on row 1, Down on the last row). Last on the last row keeps the order. The
  // selection follows the moved image; First and Last also ask the view to scroll.
  bool Move(MoveDirection direction);
  // Sets every row's count to `n` (kSetForAll) or to max(count + n, 1) (kAddToCurrent).
  // `n` is taken as given: the dialog clamps it (FrameReplicationDialog).
  void ReplicateFrames(int n, ReplicationMode mode);
  // "Save as default": stores max(typed, 1) (at most 32767) as "Replicate" and saves the
  // settings file at once. Returns the store's save result.
  bool SaveReplicateDefault(int typed);

  // --- Sound ---------------------------------------------------------------------
  const std::string& soundFile() const { return soundFile_; }
  void AttachSound(const std::string& path);
  void DetachSound();

  // --- Paste (the picture comes from the front) ---------------------------------
  // The same-size rule: an unset ProjectSize takes w x h; an equal size is accepted;
  // any other is refused, with the message "All images must be the same size (%dx%d for
  // this project)" unless `autoPaste`.
  static bool AcceptPasteSize(ProjectSize& projectSize, int width, int height, bool autoPaste);
  // The next free "Image%d.bmp" under the program folder's "Images" folder: numbers are
  // taken from pasteCounter (which advances past each), skipping files that exist.
  std::string NextPasteFilePath();
  // Where a pasted image goes: after the selected row s when 0 < s < last row,
  // otherwise -1 (append).
  int PasteInsertPosition() const;
  // Writes the picture as a BMP file at `path`; true when it was written.
  using SavePicture = std::function<bool(const std::string& path)>;
  // Paste of a w x h picture. The caller takes it from the clipboard (and, for an
  // automatic paste, empties the clipboard once the paste is accepted). Returns the new
  // row, selected, or 0 when refused or when the picture could not be saved.
  int Paste(int width, int height, bool autoPaste, MainFrameState& frame,
            const SavePicture& savePicture);

  // --- Whole project -------------------------------------------------------------
  // New: list cut back to the header row, name "Untitled", no sound, ProjectSize 0 x 0.
  // Names, paste counter, rate, depth and logo are kept.
  void NewProject(MainFrameState& frame);
  // After the project was filled: sound label, row 1 selected, view repainted.
  void Refresh();
  // The document's open operation (command line, drop, Open, recent files), by extension.
  OpenOutcome OpenDocument(const std::string& path);
  // Reads a project file into the document (messages through Prompts()). Only a file read
  // in full changes the document and gives it the file's name.
  ProjectReadStatus ReadProjectFile(const std::string& path);
  // Writes the project file through a temporary file; the old file stays on failure.
  // On success the document takes the file's name.
  bool SaveProjectFile(const std::string& path);

 private:
  void Repaint();

  FrameList& list_;
  SettingsStore& store_;
  DocumentListener* listener_ = nullptr;
  std::unordered_map<std::string, std::string> imageNameTable_;
  std::string soundFile_;
};

// The file name with its extension ("/a/sky.jpg" gives "sky.jpg").
std::string DisplayNameOf(const std::string& path);
// True for the image extensions the open operation accepts (bmp, dib, gif, jpg, jpeg,
// pcx, png, rle, tif, tiff, tga, cri, webp, heic, heif; any case).
bool IsImageExtension(const std::string& path);

// A plain listing of the project: "fps: N", "bpp: N", "sound: PATH", "size: WxH" (or
// "size: first picture"), "fit: letterbox", "sound fit: trim", then one line per row:
// row number, display name, frame count as consumed, full path, separated by tabs.
std::string DescribeProject(const CFramewrightDoc& doc);

}  // namespace quendrolix
