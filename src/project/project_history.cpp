#include "project/project_history.h"

namespace quendrolix {

ProjectSnapshot TakeSnapshot(const CFramewrightDoc& doc) {
  ProjectSnapshot snapshot;
  const FrameList& list = doc.list();
  for (int row = 1; row < list.RowCount(); ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < FrameList::ColumnCount(); ++column)
      cells.push_back(list.Cell(row, column));
    snapshot.rows.push_back(std::move(cells));
  }
  snapshot.focus = list.FocusRow();
  snapshot.sound = doc.soundFile();
  snapshot.framesPerSecond = doc.framesPerSecond;
  snapshot.bitsPerPixel = doc.bitsPerPixel;
  return snapshot;
}

void RestoreSnapshot(CFramewrightDoc& doc, const ProjectSnapshot& snapshot) {
  FrameList& list = doc.list();
  const std::string nameHeader = list.Cell(0, FrameList::kNameColumn);
  const std::string framesHeader = list.Cell(0, FrameList::kFramesColumn);
  list.ResetToHeader(nameHeader, framesHeader);
  for (const auto& cells : snapshot.rows) {
    const int row = list.AppendRow();
    for (int column = 0; column < static_cast<int>(cells.size()); ++column)
      list.SetCell(row, column, cells[column]);
  }
  list.SetFocusRow(snapshot.focus);
  if (doc.soundFile() != snapshot.sound) {
    if (snapshot.sound.empty())
      doc.DetachSound();
    else
      doc.AttachSound(snapshot.sound);
  }
}

ProjectHistory::ProjectHistory(CFramewrightDoc& doc) : doc_(doc) {
  Reset();
}

bool ProjectHistory::Checkpoint() {
  ProjectSnapshot now = TakeSnapshot(doc_);
  if (now.SameList(last_)) {
    last_ = std::move(now);  // a new selection is no step of its own
    return false;
  }
  undo_.push_back(std::move(last_));
  if (undo_.size() > kMaxSteps) undo_.erase(undo_.begin());
  redo_.clear();
  last_ = std::move(now);
  return true;
}

void ProjectHistory::Reset() {
  undo_.clear();
  redo_.clear();
  last_ = TakeSnapshot(doc_);
  saved_ = last_;
}

void ProjectHistory::MarkSaved() {
  Checkpoint();
  saved_ = last_;
}

bool ProjectHistory::Undo() {
  Checkpoint();  // an edit not yet taken is undone first
  if (undo_.empty()) return false;
  redo_.push_back(std::move(last_));
  last_ = std::move(undo_.back());
  undo_.pop_back();
  RestoreSnapshot(doc_, last_);
  last_ = TakeSnapshot(doc_);
  return true;
}

bool ProjectHistory::Redo() {
  if (Checkpoint()) return false;  // a fresh edit has dropped what could be redone
  if (redo_.empty()) return false;
  undo_.push_back(std::move(last_));
  last_ = std::move(redo_.back());
  redo_.pop_back();
  RestoreSnapshot(doc_, last_);
  last_ = TakeSnapshot(doc_);
  return true;
}

bool ProjectHistory::IsModified() const {
  // Asked at every refresh of the window: compared in place, the cheap parts first.
  const FrameList& list = doc_.list();
  if (static_cast<size_t>(list.EntryCount()) != saved_.rows.size() ||
      doc_.framesPerSecond != saved_.framesPerSecond || doc_.bitsPerPixel != saved_.bitsPerPixel ||
      doc_.soundFile() != saved_.sound)
    return true;
  for (int row = 1; row < list.RowCount(); ++row) {
    const auto& cells = saved_.rows[row - 1];
    for (int column = 0; column < FrameList::ColumnCount(); ++column)
      if (list.Cell(row, column) != cells[column]) return true;
  }
  return false;
}

}  // namespace quendrolix
