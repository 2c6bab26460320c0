#pragma once

// The rules of "Extract Images from AVI or Multi-page TIFF": source, disposition, output
// folder (optionally remembered), first number. "Do it!" runs the extraction and keeps
// the dialog open, moving the first number on so that a second run continues the
// numbering.

#include <string>

#include "avi/frame_composition.h"
#include "project/framewright_doc.h"
#include "project/settings_store.h"
#include "tools/extract_frames.h"

namespace quendrolix {

struct ExtractImagesDialog {
  static constexpr const char* kTitle = "Extract Images from AVI or Multi-page TIFF";
  static constexpr const char* kOpenFilter =
      "AVI or TIFF (*.avi,*.tif,*.tiff,*.cri)|*.avi;*.tif;*.tiff;*.cri||";
  static constexpr const char* kFolderTitle = "Select folder to store the images";

  std::string sourcePath;
  ImageDisposition disposition = ImageDisposition::kJustWrite;
  std::string folder;
  bool alwaysUseFolder = false;  // section "Extract", key "UseDir"
  std::string startText = "1";

  // Opened on the file chosen first: "UseDir" (0 when missing) decides whether the folder
  // is "Dir" of section "Extract" or the source's own folder.
  static ExtractImagesDialog Open(const std::string& source, const SettingsStore& store);

  enum class Outcome {
    kNothing,        // the source path holds no '.'
    kSourceMissing,  // source + " not found"
    kCancelled,      // the folder was not to be created
    kFolderFailed,   // "Failed to create directory"
    kExtracted,      // ran; `count` images ("Done!" shown when not 0)
  };
  struct Result {
    Outcome outcome = Outcome::kNothing;
    int count = 0;
  };
  // "Do it!". A missing folder is offered for creation with " does not exist. Create?"
  // (AskYesNo: yes = OK). On a run the folder ends in '/', the first number becomes the
  // old one plus the count, and with "Always use this folder" the folder is stored and the
  // store saved.
  Result DoIt(CFramewrightDoc& doc, MainFrameState& frame, SettingsStore& store,
              const FrameComposer& composer = {}, const FrameProgress& progress = {});
  // Closing: "UseDir" and "Dir" are stored and the store saved.
  void Close(SettingsStore& store) const;
};

}  // namespace quendrolix
