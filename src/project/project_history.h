#pragma once

// Undo, redo and the modified mark of a project, by snapshots: the list's rows, the
// selection and the sound as they were after each command. The front calls Checkpoint
// after every command (and after an edit in the grid); whatever changed since the last
// checkpoint becomes one step to undo. Opening, New and saving set the state the
// modified mark compares with.

#include <string>
#include <vector>

#include "project/framewright_doc.h"

namespace quendrolix {

struct ProjectSnapshot {
  std::vector<std::vector<std::string>> rows;  // the entries' cells, header left out
  int focus = FrameList::kNoRow;
  std::string sound;
  int16_t framesPerSecond = 0;
  int16_t bitsPerPixel = 0;

  // The same rows and sound: what undo takes back (the selection is not part of it).
  bool SameList(const ProjectSnapshot& other) const {
    return rows == other.rows && sound == other.sound;
  }
  // The same project file: the list, the sound, the rate and the depth.
  bool SameProject(const ProjectSnapshot& other) const {
    return SameList(other) && framesPerSecond == other.framesPerSecond &&
           bitsPerPixel == other.bitsPerPixel;
  }
};

ProjectSnapshot TakeSnapshot(const CFramewrightDoc& doc);
// Puts the rows, selection and sound back (the rate and depth are not undone: they are
// set in dialogs with a Cancel of their own).
void RestoreSnapshot(CFramewrightDoc& doc, const ProjectSnapshot& snapshot);

class ProjectHistory {
 public:
  static constexpr size_t kMaxSteps = 100;

  explicit ProjectHistory(CFramewrightDoc& doc);

  // Makes the present state one step later than the last checkpoint when the project
  // changed since (a new step drops what could be redone). True when it did.
  bool Checkpoint();
  // Forgets every step: a new or opened project starts here, unmodified.
  void Reset();
  // The project was saved as it is now.
  void MarkSaved();

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  // Goes back (or forward) one step; false when there is none.
  bool Undo();
  bool Redo();
  // True when the project differs from what was opened, made new or saved last.
  bool IsModified() const;

 private:
  CFramewrightDoc& doc_;
  ProjectSnapshot last_;   // the state after the last checkpoint
  ProjectSnapshot saved_;  // what the file holds (or a new project)
  std::vector<ProjectSnapshot> undo_;
  std::vector<ProjectSnapshot> redo_;
};

}  // namespace quendrolix
