#include "project/frame_list.h"

#include <algorithm>

#include "project/text_numbers.h"

namespace quendrolix {

int32_t FrameCountFromText(std::string_view text) {
  return LeadingInteger(text);
}

int32_t ConsumedFrameCount(std::string_view text) {
  // A negative count would become billions of frames for the builders, which count
  // unsigned; it is treated as 0 is.
  int32_t count = FrameCountFromText(text);
  return count <= 0 ? 1 : count;
}

FrameList::FrameList() {
  rows_.push_back({"Image", "Frames"});
}

template <typename F>
void FrameList::Notify(F&& call) {
  // A copy, so that an observer may remove itself while being told.
  auto observers = observers_;
  for (FrameListObserver* observer : observers) call(*observer);
}

const std::string& FrameList::Cell(int row, int column) const {
  static const std::string kEmpty;
  if (row < 0 || row >= RowCount() || column < 0 || column >= kColumnCount) return kEmpty;
  return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void FrameList::SetCell(int row, int column, const std::string& text) {
  if (row < 0 || row >= RowCount() || column < 0 || column >= kColumnCount) return;
  rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
  Notify([&](FrameListObserver& o) { o.CellChanged(row, column); });
}

int FrameList::InsertRowAfter(int row) {
  if (row < 0 || row >= RowCount()) row = RowCount() - 1;
  int newRow = row + 1;
  Notify([&](FrameListObserver& o) { o.RowsAboutToBeInserted(newRow, 1); });
  rows_.insert(rows_.begin() + newRow, Row(kColumnCount));
  Notify([&](FrameListObserver& o) { o.RowsInserted(newRow, 1); });
  if (focus_ >= newRow) {
    ++focus_;
    Notify([&](FrameListObserver& o) { o.FocusChanged(focus_); });
  }
  return newRow;
}

int FrameList::AppendRow() {
  return InsertRowAfter(RowCount() - 1);
}

bool FrameList::DeleteRow(int row) {
  if (row < 1 || row >= RowCount()) return false;
  Notify([&](FrameListObserver& o) { o.RowsAboutToBeRemoved(row, 1); });
  rows_.erase(rows_.begin() + row);
  Notify([&](FrameListObserver& o) { o.RowsRemoved(row, 1); });
  int focus = focus_;
  if (focus > row) {
    --focus;
  } else if (focus == row && focus > EntryCount()) {
    focus = EntryCount() >= 1 ? EntryCount() : kNoRow;
  }
  if (focus != focus_) {
    focus_ = focus;
    Notify([&](FrameListObserver& o) { o.FocusChanged(focus_); });
  }
  return true;
}

void FrameList::ResetToHeader(const std::string& nameHeader, const std::string& framesHeader) {
  Notify([](FrameListObserver& o) { o.AboutToReset(); });
  rows_.clear();
  rows_.push_back({nameHeader, framesHeader});
  bool hadFocus = focus_ != kNoRow;
  focus_ = kNoRow;
  Notify([](FrameListObserver& o) { o.Reset(); });
  if (hadFocus) Notify([](FrameListObserver& o) { o.FocusChanged(kNoRow); });
}

void FrameList::SetFocusRow(int row) {
  if (row < 1 || row > EntryCount()) row = kNoRow;
  if (row == focus_) return;
  focus_ = row;
  Notify([&](FrameListObserver& o) { o.FocusChanged(focus_); });
}

void FrameList::RequestScroll(bool toBottom) {
  Notify([&](FrameListObserver& o) { o.ScrollRequested(toBottom); });
}

void FrameList::AddObserver(FrameListObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void FrameList::RemoveObserver(FrameListObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

}  // namespace quendrolix
