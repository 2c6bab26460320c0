#include "image/edit/edit_history.h"

namespace quendrolix::edit {

EditHistory::EditHistory(size_t maxSteps, size_t maxBytes)
    : maxSteps_(maxSteps < 1 ? 1 : maxSteps), maxBytes_(maxBytes) {}

void EditHistory::Reset(HBITMAP picture) {
  states_.clear();
  position_ = 0;
  saved_ = 0;
  if (picture) states_.push_back({std::move(picture), {}});
}

const HBITMAP& EditHistory::Current() const {
  static const HBITMAP kNone;
  return states_.empty() ? kNone : states_[position_].picture;
}

bool EditHistory::Apply(const EditOperation& operation) {
  if (!HasPicture()) return false;
  HBITMAP result = operation.Apply(*Current());
  if (!result) return false;
  Push(std::move(result), operation.Describe());
  return true;
}

void EditHistory::Push(HBITMAP picture, std::string description) {
  if (!picture) return;
  if (states_.empty()) {
    Reset(std::move(picture));
    saved_ = -1;  // a picture that was never loaded or saved
    return;
  }
  states_.resize(position_ + 1);
  if (saved_ > static_cast<std::ptrdiff_t>(position_)) saved_ = -1;
  states_.push_back({std::move(picture), std::move(description)});
  position_ = states_.size() - 1;
  Trim();
}

size_t EditHistory::BytesOf(const State& state) {
  return state.picture ? static_cast<size_t>(state.picture->width()) * state.picture->height() * 4
                       : 0;
}

void EditHistory::Trim() {
  // The oldest states go first; the current one always stays.
  auto total = [this] {
    size_t bytes = 0;
    for (const State& state : states_) bytes += BytesOf(state);
    return bytes;
  };
  while (states_.size() > 1 && (states_.size() - 1 > maxSteps_ || total() > maxBytes_)) {
    states_.erase(states_.begin());
    --position_;
    saved_ = saved_ > 0 ? saved_ - 1 : -1;
  }
}

bool EditHistory::Undo() {
  if (!CanUndo()) return false;
  --position_;
  return true;
}

bool EditHistory::Redo() {
  if (!CanRedo()) return false;
  ++position_;
  return true;
}

std::string EditHistory::UndoText() const {
  return CanUndo() ? states_[position_].description : std::string();
}

std::string EditHistory::RedoText() const {
  return CanRedo() ? states_[position_ + 1].description : std::string();
}

bool EditHistory::IsModified() const {
  return HasPicture() && saved_ != static_cast<std::ptrdiff_t>(position_);
}

void EditHistory::MarkSaved() {
  saved_ = static_cast<std::ptrdiff_t>(position_);
}

}  // namespace quendrolix::edit
