#pragma once

// The editor's undo and redo: every state of the picture is kept (the operations make new
// bitmaps and never change old ones), up to a number of steps and an amount of memory.

#include <cstddef>
#include <string>
#include <vector>

#include "image/edit/edit_operation.h"

namespace quendrolix::edit {

class EditHistory {
 public:
  static constexpr size_t kDefaultMaxSteps = 50;
  static constexpr size_t kDefaultMaxBytes = size_t{1} << 30;

  explicit EditHistory(size_t maxSteps = kDefaultMaxSteps, size_t maxBytes = kDefaultMaxBytes);

  // A new picture: the history starts again from it, unmodified. Null clears it.
  void Reset(HBITMAP picture);
  // The picture as it stands now; null when there is none.
  const HBITMAP& Current() const;
  bool HasPicture() const { return !states_.empty(); }

  // Applies the operation to the current picture as a new step (redo steps are dropped).
  // False, with nothing changed, when there is no picture or the operation cannot apply.
  bool Apply(const EditOperation& operation);
  // Adds a finished result as a step.
  void Push(HBITMAP picture, std::string description);

  bool CanUndo() const { return position_ > 0; }
  bool CanRedo() const { return position_ + 1 < states_.size(); }
  bool Undo();
  bool Redo();
  // What Undo and Redo would take back or bring again; empty when they cannot.
  std::string UndoText() const;
  std::string RedoText() const;
  size_t StepCount() const { return states_.empty() ? 0 : states_.size() - 1; }

  // Modified: the current state is not the one last marked saved (or loaded).
  bool IsModified() const;
  void MarkSaved();

 private:
  struct State {
    HBITMAP picture;
    std::string description;  // of the step that made it
  };
  static size_t BytesOf(const State& state);
  void Trim();

  size_t maxSteps_;
  size_t maxBytes_;
  std::vector<State> states_;
  size_t position_ = 0;
  // Index of the saved state; -1 once it has been dropped from the history.
  std::ptrdiff_t saved_ = 0;
};

}  // namespace quendrolix::edit
